#include "settings/ValueEscape.h"

#include <gtest/gtest.h>

#include "settings/PasswordCodec.h"
#include "tests/support/FileBytes.h"

namespace velomaris {
namespace {

// What a line of the file can hold and read back as it is: no control byte and no blank at
// either end (reading trims spaces and tabs).
bool LineCanHold(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            return false;
        }
    }
    return text.empty() || (text.front() != ' ' && text.back() != ' ');
}

TEST(ValueEscapeTest, EscapedFormsAreExact) {
    struct Row {
        std::string value;
        std::string stored;
    };
    const Row rows[] = {
        {"plain", "plain"},
        {"", ""},
        {"a b", "a b"},
        {"a\\b", "a\\b"},
        {" a b ",
         "\x7F\\x20"
         "a b\\x20"},
        {"\t", "\x7F\\x09"},
        {"a\\b\r\n",
         "\x7F"
         "a\\x5Cb\\x0D\\x0A"},
        // The example in the README.
        {" a\\b\r\n",
         "\x7F\\x20"
         "a\\x5Cb\\x0D\\x0A"},
        {testing::Literal("\0"), "\x7F\\x00"},
        {"\x7F", "\x7F\\x7F"},
        {"\xB2\xCE\x01", "\x7F\xB2\xCE\\x01"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EscapeValue(row.value), row.stored);
        EXPECT_EQ(UnescapeValue(row.stored), row.value);
    }
}

TEST(ValueEscapeTest, DamagedEscapesKeepTheirBytes) {
    EXPECT_EQ(UnescapeValue("\x7F"), "");
    EXPECT_EQ(UnescapeValue("\x7F\\"), "\\");
    EXPECT_EQ(UnescapeValue("\x7F\\x4"), "\\x4");
    EXPECT_EQ(UnescapeValue("\x7F\\xG1\\x41"), "\\xG1A");
    EXPECT_EQ(UnescapeValue("\x7F\\x4a"), "J");
}

TEST(ValueEscapeTest, EveryStoredPasswordFormFitsOnALineAndComesBack) {
    // Every pair of keys, for passwords that put every byte value in the middle.
    std::string allBytes;
    for (int b = 0; b < 256; ++b) {
        allBytes += static_cast<char>(b);
    }
    const std::string passwords[] = {"", " a;=b ", allBytes};
    for (int first = 1; first <= 126; ++first) {
        for (int second = 1; second <= 126; ++second) {
            for (const std::string& password : passwords) {
                int draws = 0;
                PasswordCodecSources sources{
                    [&] { return static_cast<unsigned char>(draws++ == 0 ? first : second); },
                    [] { return std::tm{}; }};
                const std::string stored = EncodePassword(password, sources);
                const std::string line = EscapeValue(stored);
                ASSERT_TRUE(LineCanHold(line)) << first << "/" << second;
                ASSERT_EQ(UnescapeValue(line), stored) << first << "/" << second;
            }
        }
    }
}

}  // namespace
}  // namespace velomaris
