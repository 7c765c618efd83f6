#include "platform/Stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

TEST(StreamTest, MemoryStreamReadsWritesAndResizes) {
    TMemoryStream s;
    s.WriteString("hello");
    EXPECT_EQ(s.Position(), 5);
    s.SetPosition(1);
    char buf[3];
    EXPECT_EQ(s.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "ell");
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Bytes(), "he");
    EXPECT_EQ(s.Read(buf, 3), 0);
}

TEST(StreamTest, FileErrorsNameThePathAndTheReason) {
    TempDir dir;
    const std::string missing = dir.File("missing.html");
    try {
        TFileStream f(missing, TFileMode::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". No such file or directory");
    }
    const std::string nowhere = dir.File("no/such/dir.html");
    try {
        TFileStream f(nowhere, TFileMode::fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + nowhere + "\". No such file or directory");
    }
}

TEST(StreamTest, GbkFileNamesAreStoredAsUtf8) {
    TempDir dir;
    const std::string gbkName = dir.File("\xD6\xD0.html");  // "中.html"
    {
        TFileStream f(gbkName, TFileMode::fmCreate);
        f.WriteString("x");
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("\xE4\xB8\xAD.html")));
    EXPECT_EQ(ReadWholeFile(gbkName), "x");
    EXPECT_THROW(TFileStream(dir.File("\xFF.html"), TFileMode::fmCreate), ETextConversionError);
}

TEST(StreamTest, AtomicReplaceKeepsModeAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.File("setfile.ini");
    ReplaceFileAtomically(path, "a=1\r\n", 0600);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ::chmod(path.c_str(), 0640);
    ReplaceFileAtomically(path, "a=2\r\n", 0600);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadWholeFile(path), "a=2\r\n");
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.File(""))) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_THROW(ReplaceFileAtomically(dir.File("none/x"), "y"), EFCreateError);
}

// Counts how often the storage moves while a stream grows.
struct GrowthRecord {
    int moves = 0;
    std::int64_t lastCapacity = -1;
    void Look(const TMemoryStream& s) {
        if (s.Capacity() != lastCapacity) {
            ++moves;
            lastCapacity = s.Capacity();
        }
    }
};

TEST(StreamTest, MemoryStreamGrowsGeometricallyByWritesAndByGrowingReservations) {
    // 1 MiB in 100-byte writes: a stream that grew to fit each write would move thousands of
    // times; doubling moves about twenty.
    TMemoryStream written;
    GrowthRecord writes;
    std::string expected;
    for (int i = 0; i < 10486; ++i) {
        const std::string piece(100, static_cast<char>('a' + i % 26));
        written.WriteString(piece);
        expected += piece;
        writes.Look(written);
    }
    EXPECT_EQ(written.Bytes(), expected);
    EXPECT_LE(writes.moves, 24);

    // One reservation per chunk of a chunked body, each a little further.
    TMemoryStream chunked;
    GrowthRecord reservations;
    for (int i = 1; i <= 1000; ++i) {
        chunked.Reserve(chunked.Position() + 1000);
        chunked.WriteString(std::string(1000, 'c'));
        reservations.Look(chunked);
    }
    EXPECT_EQ(chunked.Size(), 1000000);
    EXPECT_LE(reservations.moves, 24);
}

TEST(StreamTest, MemoryStreamReservationKeepsContentSizeAndPositionAndIsTakenOnce) {
    TMemoryStream s("abc");
    s.SetPosition(1);
    s.Reserve(1 << 20);
    EXPECT_EQ(s.Bytes(), "abc");
    EXPECT_EQ(s.Size(), 3);
    EXPECT_EQ(s.Position(), 1);
    const std::int64_t room = s.Capacity();
    EXPECT_GE(room, 1 << 20);
    s.SetPosition(3);
    for (int i = 0; i < 1000; ++i) {
        s.WriteString(std::string(1000, 'x'));
    }
    EXPECT_EQ(s.Capacity(), room) << "writes within the reservation never move the storage";
    s.Reserve(10);
    EXPECT_EQ(s.Capacity(), room) << "a smaller reservation never shrinks";
}

TEST(StreamTest, MemoryStreamWritesOverwriteExtendAndFillAGapWithZeros) {
    struct Case {
        std::string start;
        std::int64_t position;
        std::string write;
        std::string result;
    };
    const Case cases[] = {
        {"abcdef", 2, "XY", "abXYef"},                // inside
        {"abcdef", 4, "XYZ", "abcdXYZ"},              // across the end
        {"abc", 3, "XYZ", "abcXYZ"},                  // at the end
        {"ab", 4, "XY", std::string("ab\0\0XY", 6)},  // past the end
        {"", 0, "", ""},                              // nothing
    };
    for (const auto& c : cases) {
        TMemoryStream s(c.start);
        s.SetPosition(c.position);
        s.WriteString(c.write);
        EXPECT_EQ(s.Bytes(), c.result) << c.start << " @" << c.position << " + " << c.write;
        EXPECT_EQ(s.Position(), c.position + static_cast<std::int64_t>(c.write.size()));
    }
}

TEST(StreamTest, TakingTheBytesEmptiesTheStream) {
    TMemoryStream s("page");
    EXPECT_EQ(s.TakeBytes(), "page");
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
    s.WriteString("next");
    EXPECT_EQ(s.Bytes(), "next");
}

int EntriesIn(const std::string& directory) {
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(directory)) {
        ++entries;
    }
    return entries;
}

TEST(StreamTest, AReplacingStreamTakesThePlaceOfTheFileOnlyWhenCommitted) {
    TempDir dir;
    const std::string path = dir.File("index.html");
    ReplaceFileAtomically(path, "old page");
    ::chmod(path.c_str(), 0640);
    {
        TReplacingFileStream page(path);
        page.WriteString("half a new pa");
        EXPECT_EQ(ReadWholeFile(path), "old page") << "nothing shows before the commit";
        EXPECT_EQ(EntriesIn(dir.File("")), 2);
    }
    EXPECT_EQ(ReadWholeFile(path), "old page") << "dropped without a commit";
    EXPECT_EQ(EntriesIn(dir.File("")), 1) << "the temporary file is gone";
    {
        TReplacingFileStream page(path);
        page.WriteString("new page, longer than the old one");
        page.SetSize(8);  // a redirect's body is dropped like this before the next one
        page.SetPosition(8);
        page.WriteString("!");
        page.Commit();
        EXPECT_THROW(page.WriteString("late"), EFCreateError);
    }
    EXPECT_EQ(ReadWholeFile(path), "new page!");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file keeps its mode";
    EXPECT_EQ(EntriesIn(dir.File("")), 1);
}

// A page of several megabytes, written in the pieces a download brings, replaces the file
// whole whether it waits for the disk or not (a scratch file does not).
TEST(StreamTest, ALargeReplacementIsExactForBothKinds) {
    TempDir dir;
    std::string body;
    for (int line = 0; body.size() < 9u * 1024 * 1024 + 333; ++line) {
        body += "<p>line " + std::to_string(line) + "</p>\r\n";
    }
    for (const TReplacement replacement : {TReplacement::Durable, TReplacement::Scratch}) {
        SCOPED_TRACE(replacement == TReplacement::Durable ? "durable" : "scratch");
        const std::string path = dir.File("newweb.html");
        ReplaceFileAtomically(path, "old page");
        {
            TReplacingFileStream page(path, 0644, replacement);
            for (size_t at = 0; at < body.size(); at += 32768) {
                const std::string_view piece =
                    std::string_view(body).substr(at, std::min<size_t>(32768, body.size() - at));
                page.Write(piece.data(), static_cast<std::int64_t>(piece.size()));
            }
            EXPECT_EQ(ReadWholeFile(path), "old page");
            page.Commit();
        }
        EXPECT_EQ(ReadWholeFile(path), body);
        EXPECT_EQ(EntriesIn(dir.File("")), 1);
    }
}

TEST(StreamTest, AReplacingStreamThatCannotBeCreatedNamesTheTarget) {
    TempDir dir;
    const std::string path = dir.File("none/index.html");
    try {
        TReplacingFileStream page(path);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + path + "\". No such file or directory");
    }
}

}  // namespace
}  // namespace velomaris
