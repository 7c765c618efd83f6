#include "platform/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Stream.h"
#include "platform/ui/Memo.h"

namespace velomaris {
namespace {

struct LineBreakCase {
    std::string text;
    std::string normalised;
};

const std::vector<LineBreakCase> kCases = {
    {"", ""},
    {"plain", "plain"},
    {"a\r\nb", "a\r\nb"},
    {"a\rb", "a\r\nb"},
    {"a\nb", "a\r\nb"},
    {"\r", "\r\n"},
    {"\n", "\r\n"},
    {"\r\r", "\r\n\r\n"},
    {"\n\n", "\r\n\r\n"},
    {"\n\r", "\r\n\r\n"},
    {"\r\r\n", "\r\n\r\n"},
    {"\r\n\n", "\r\n\r\n"},
    {"\r\n\r\n", "\r\n\r\n"},
    {"x\r", "x\r\n"},
    {"\nx\r\ny\rz\n", "\r\nx\r\ny\r\nz\r\n"},
};

// The text cut at every place into two pieces, and fed one byte at a time: a CR LF pair split
// between pieces must stay one line break.
TEST(LineBreaksTest, EveryCutOfTheTextGivesTheSameNormalisedText) {
    for (const auto& c : kCases) {
        EXPECT_EQ(AdjustLineBreaks(c.text), c.normalised) << "whole: " << c.text;
        for (size_t cut = 0; cut <= c.text.size(); ++cut) {
            TLineBreakNormalizer normalizer;
            std::string out;
            normalizer.Append(std::string_view(c.text).substr(0, cut), out);
            normalizer.Append(std::string_view(), out);
            normalizer.Append(std::string_view(c.text).substr(cut), out);
            EXPECT_EQ(out, c.normalised) << "cut at " << cut << ": " << c.text;
        }
        TLineBreakNormalizer normalizer;
        std::string out;
        for (char ch : c.text) {
            normalizer.Append(std::string_view(&ch, 1), out);
        }
        EXPECT_EQ(out, c.normalised) << "byte by byte: " << c.text;
    }
}

// Reads the normalised text of bytes back in blocks of the given size.
std::string ReadNormalised(const std::string& bytes, size_t blockSize) {
    TMemoryStream stream(bytes);
    TNormalizedReader reader(stream, blockSize);
    std::string out;
    for (std::string_view piece = reader.Next(); !piece.empty(); piece = reader.Next()) {
        out += piece;
    }
    return out;
}

TEST(LineBreaksTest, TheReaderGivesTheNormalisedTextWhateverItsBlockSize) {
    for (const auto& c : kCases) {
        for (size_t block : {1, 2, 3, 64}) {
            EXPECT_EQ(ReadNormalised(c.text, block), c.normalised)
                << "block " << block << ": " << c.text;
        }
    }
}

struct CompareCase {
    std::string a;
    std::string b;
    bool same;
};

TEST(LineBreaksTest, TextsCompareAsTheTextBuffersWouldHoldThem) {
    const std::vector<CompareCase> cases = {
        {"", "", true},
        {"", "\n", false},
        {"a\nb\n", "a\r\nb\r\n", true},
        {"a\rb", "a\nb", true},
        {"a\r\nb", "a\r\r\nb", false},  // two breaks against one
        {"a\n\rb", "a\r\n\r\nb", true},
        {"abc", "abcd", false},
        {"abcd", "abc", false},
        {"abc\r", "abc", false},
        {"page\r\n", "page\r", true},
        {"Page", "page", false},
    };
    for (const auto& c : cases) {
        for (size_t blockA : {1, 2, 5, 64}) {
            for (size_t blockB : {1, 3, 64}) {
                TMemoryStream a(c.a);
                TMemoryStream b(c.b);
                TNormalizedReader readerA(a, blockA);
                TNormalizedReader readerB(b, blockB);
                EXPECT_EQ(SameText(readerA, readerB), c.same)
                    << '"' << c.a << "\" vs \"" << c.b << "\" blocks " << blockA << "/" << blockB;
            }
            // Against a text held as it is (not normalised itself).
            TMemoryStream a(c.a);
            TNormalizedReader readerA(a, blockA);
            EXPECT_EQ(SameText(readerA, AdjustLineBreaks(c.b)), c.same) << c.a << " vs " << c.b;
        }
    }
}

TEST(LineBreaksTest, ARawTextWithALoneBreakNeverEqualsANormalisedOne) {
    TMemoryStream page("a\nb");
    TNormalizedReader reader(page, 2);
    EXPECT_FALSE(SameText(reader, "a\nb"));
}

TEST(LineBreaksTest, CopyTextWritesTheNormalisedTextAfterWhatTheTargetHolds) {
    TMemoryStream source(std::string("one\rtwo\n") + std::string(100, 'x') + "\r\n");
    TNormalizedReader reader(source, 7);
    TMemoryStream target("head:");
    target.SetPosition(target.Size());
    CopyText(reader, target);
    EXPECT_EQ(target.Bytes(), "head:one\r\ntwo\r\n" + std::string(100, 'x') + "\r\n");
}

}  // namespace
}  // namespace velomaris
