#include "platform/Text.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace velomaris {
namespace {

TEST(TextTest, IntegerParsingFollowsTheSettingsRules) {
    struct Row {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Row rows[] = {
        {"60000", 60000},
        {"  42", 42},
        {"+7", 7},
        {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"2147483648", std::nullopt},
        {"99999999999", std::nullopt},
        {"0x1D4C0", 120000},
        {"0X1d4c0", 120000},
        {"$1D4C0", 120000},
        {"x10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"$100000000", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12 ", std::nullopt},
        {"1 2", std::nullopt},
        {"--1", std::nullopt},
        {"\t5", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TryStrToInt(row.text), row.expected) << "text: \"" << row.text << "\"";
    }
}

TEST(TextTest, StrictDecimalParsingTakesASignAndDigitsOnly) {
    struct Row {
        const char* text;
        std::optional<std::int64_t> expected;
    };
    const Row rows[] = {
        {"0", 0},
        {"42", 42},
        {"+7", 7},
        {"-1", -1},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1 2", std::nullopt},
        {"0x10", std::nullopt},
        {"$10", std::nullopt},
        {"1e3", std::nullopt},
        {"1.5", std::nullopt},
        {"\xD2\xBB", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TryParseDecimalInt64(row.text), row.expected) << "text: \"" << row.text << "\"";
    }
    // The whole view is read, an embedded NUL included.
    EXPECT_EQ(TryParseDecimalInt64(std::string_view("12\0", 3)), std::nullopt);
}

TEST(TextTest, HexDigitValuesInEitherCase) {
    const std::string digits = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(HexDigitValue(digits[i]), i) << digits[i];
        EXPECT_EQ(HexDigitValue(UpperAscii(digits.substr(i, 1))[0]), i) << digits[i];
    }
    for (char c : std::string("gG/:@`xX \xC1")) {
        EXPECT_EQ(HexDigitValue(c), -1) << c;
    }
    EXPECT_EQ(HexDigitValue('\0'), -1);
}

TEST(TextTest, CutTokenTakesTheFrontAndDropsTheDelimiter) {
    std::string text = "a::b::c";
    EXPECT_EQ(CutToken(text, text.find("::"), 2), "a");
    EXPECT_EQ(text, "b::c");
    EXPECT_EQ(CutToken(text, text.find("::"), 2), "b");
    EXPECT_EQ(CutToken(text, text.find("::"), 2), "c");
    EXPECT_EQ(text, "");
    std::string leading = ":x";
    EXPECT_EQ(CutToken(leading, 0, 1), "");
    EXPECT_EQ(leading, "x");
}

TEST(TextTest, StrToIntRaisesWithTheQuotedText) {
    try {
        StrToInt("1a");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1a' is not a valid integer value");
    }
}

TEST(TextTest, TrimRemovesControlBytesAndBlanksOnly) {
    EXPECT_EQ(Trim(" \t\r\n abc \x01\x20"), "abc");
    EXPECT_EQ(Trim("\xB2\xCE "), "\xB2\xCE");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("a b"), "a b");
}

TEST(TextTest, GbkRoundTripsThroughUtf8) {
    const std::string gbk = "FTP\xB2\xCE\xCA\xFD";  // "FTP参数"
    EXPECT_EQ(GbkToUtf8(gbk), "FTP\xE5\x8F\x82\xE6\x95\xB0");
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(gbk)), gbk);
}

TEST(TextTest, UnconvertibleBytesRaiseInsteadOfChangingTheText) {
    EXPECT_THROW(GbkToUtf8("abc\xFF"), ETextConversionError);
    EXPECT_THROW(GbkToUtf8("\xB2"), ETextConversionError);  // lead byte cut off
    EXPECT_THROW(Utf8ToGbk("\xC3"), ETextConversionError);
}

TEST(TextTest, AsciiCaseRulesLeaveOtherBytesAlone) {
    EXPECT_TRUE(SameTextAscii("FtpAddr", "ftpaddr"));
    EXPECT_FALSE(SameTextAscii("\xC1", "\xE1"));
    EXPECT_EQ(LowerAscii("ABC\xC1"), "abc\xC1");
}

}  // namespace
}  // namespace velomaris
