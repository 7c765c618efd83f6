#include "settings/PasswordCodec.h"

#include <set>

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace velomaris {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// Hands out the given keys in order, then fails the test.
PasswordCodecSources FixedSources(std::vector<unsigned char> keys, std::tm now) {
    auto next = std::make_shared<size_t>(0);
    return PasswordCodecSources{[keys, next]() -> unsigned char {
                                    if (*next >= keys.size()) {
                                        ADD_FAILURE() << "more keys drawn than expected";
                                        return 1;
                                    }
                                    return keys[(*next)++];
                                },
                                [now] { return now; }};
}

TEST(PasswordCodecTest, WorkedExample) {
    const auto sources = FixedSources({0x35, 0x4A}, LocalTime(2010, 8, 31, 15, 45, 46));
    const std::string stored = EncodePassword("abc", sources);
    EXPECT_EQ(stored, Bytes({0x4A, 0x39, 0x3B, 0x3A, 0x3B, 0x3A, 0x3E, 0x3E, 0x3C, 0x37, 0x3F, 0x3F,
                             0x3E, 0x3F, 0x3D, 0x6C, 0x6D, 0x6E, 0x3F}));
    EXPECT_EQ(DecodePassword(stored), "abc");

    // The intermediate steps of the same example.
    const std::string b = UnscrambleText(stored);
    EXPECT_EQ(b, Bytes({0x33, 0x31, 0x30, 0x31, 0x30, 0x34, 0x34, 0x36, 0x3D, 0x35, 0x35, 0x34,
                        0x35, 0x37, 0x66, 0x67, 0x64, 0x35}));
    const std::string a(b.rbegin(), b.rend());
    EXPECT_EQ(UnscrambleText(a), "abc20100831154546");
}

TEST(PasswordCodecTest, ScrambleChangesOnlyTheLowFourBits) {
    const std::string text = Bytes({0x00, 0x0F, 0x30, 0x7F, 0x80, 0xFF});
    const auto sources = FixedSources({0x7A}, std::tm{});
    const std::string scrambled = ScrambleText(text, sources);
    EXPECT_EQ(scrambled, Bytes({0x7A, 0x0A, 0x05, 0x3A, 0x75, 0x8A, 0xF5}));
    EXPECT_EQ(UnscrambleText(scrambled), text);
    EXPECT_EQ(UnscrambleText(""), "");
    EXPECT_EQ(UnscrambleText("\x35"), "");
}

TEST(PasswordCodecTest, ShortStoredFormsDecodeToTheEmptyPassword) {
    EXPECT_EQ(DecodePassword(""), "");
    EXPECT_EQ(DecodePassword("kq"), "") << "the readers' default";
    for (size_t length = 1; length <= 16; ++length) {
        EXPECT_EQ(DecodePassword(std::string(length, '\x41')), "") << length;
    }
    const std::string empty = EncodePassword("");
    EXPECT_EQ(empty.size(), 16u);
    EXPECT_EQ(DecodePassword(empty), "");
}

TEST(PasswordCodecTest, A17ByteFormDecodesToOneByteWhateverItsTimeStampHolds) {
    // Build stored forms by hand around "Z" followed by 14 arbitrary stamp bytes.
    const std::string stamps[] = {std::string(14, '\0'), std::string(14, '\xFF'), "not a date!!!!"};
    for (const std::string& stamp : stamps) {
        const auto sources = FixedSources({0x11, 0x6C}, std::tm{});
        std::string a = ScrambleText("Z" + stamp, sources);
        std::string b(a.rbegin(), a.rend());
        const std::string stored = ScrambleText(b, sources);
        ASSERT_EQ(stored.size(), 17u);
        EXPECT_EQ(DecodePassword(stored), "Z");
    }
}

TEST(PasswordCodecTest, PasswordsComeBackUnchanged) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) {
        allBytes += static_cast<char>(b);
    }
    const std::string passwords[] = {
        "a",
        "\xC3\xDC\xC2\xEB\xB2\xCE",  // GBK double-byte characters
        " blanks at both ends ",
        "semi;colon=equals",
        std::string(3000, 'p'),
        allBytes,
    };
    for (const std::string& password : passwords) {
        const std::string stored = EncodePassword(password);
        EXPECT_EQ(stored.size(), password.size() + 16);
        EXPECT_EQ(DecodePassword(stored), password);
    }
}

TEST(PasswordCodecTest, EveryScrambleDrawsAFreshKeyFromOneTo126) {
    std::set<unsigned char> keys;
    for (int i = 0; i < 10000; ++i) {
        const auto key = static_cast<unsigned char>(ScrambleText("x").front());
        ASSERT_GE(key, 1);
        ASSERT_LE(key, 126);
        keys.insert(key);
    }
    // 10000 uniform draws from 126 values miss one of them with a chance below 1e-30.
    EXPECT_EQ(keys.size(), 126u);

    std::set<std::string> forms;
    for (int i = 0; i < 20; ++i) {
        const std::string stored = EncodePassword("same");
        EXPECT_EQ(DecodePassword(stored), "same");
        forms.insert(stored);
    }
    EXPECT_GT(forms.size(), 1u) << "encodings within one second differ by their keys";
}

TEST(PasswordCodecTest, AKeyOutsideTheRangeIsRefused) {
    EXPECT_THROW(ScrambleText("x", FixedSources({0}, std::tm{})), Exception);
    EXPECT_THROW(ScrambleText("x", FixedSources({127}, std::tm{})), Exception);
}

TEST(PasswordCodecTest, TheTimeStampIsTheLocalTimeInFourteenDigits) {
    const auto sources = FixedSources({0x10, 0x10}, LocalTime(2026, 1, 2, 3, 4, 5));
    // A key whose low four bits are 0 leaves the bytes as they are.
    const std::string stored = EncodePassword("", sources);
    const std::string inner = UnscrambleText(stored);
    EXPECT_EQ(UnscrambleText(std::string(inner.rbegin(), inner.rend())), "20260102030405");
}

}  // namespace
}  // namespace velomaris
