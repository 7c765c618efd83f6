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

}  // namespace
}  // namespace velomaris
