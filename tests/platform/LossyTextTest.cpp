#include "platform/LossyText.h"

#include <gtest/gtest.h>

#include <string>

namespace velomaris {
namespace {

// Display conversion: valid GBK converts, each byte that does not start a valid character
// becomes U+FFFD and the rest still converts.
TEST(LossyTextTest, InvalidBytesShowAsReplacementCharactersAndTheRestConverts) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string gbk;
        std::string utf8;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},  // two characters
        {"a\xFF"
         "b",
         "a" + fffd + "b"},  // 0xFF starts no GBK character
        {"\xD6\xD0\xFF\xD6\xD0", "\xE4\xB8\xAD" + fffd + "\xE4\xB8\xAD"},  // 0xFF in between
        {"ab\xD6", "ab" + fffd},                                           // cut-off character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GbkToUtf8Lossy(c.gbk), c.utf8);
    }
}

}  // namespace
}  // namespace velomaris
