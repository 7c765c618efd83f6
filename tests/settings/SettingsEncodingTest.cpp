#include "settings/SettingsEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

// "FTP参数" and "WEB参数" in GBK and in UTF-8.
const std::string kFtpGbk = "FTP\xB2\xCE\xCA\xFD";
const std::string kWebGbk = "WEB\xB2\xCE\xCA\xFD";
const std::string kFtpUtf8 = "FTP\xE5\x8F\x82\xE6\x95\xB0";
const std::string kWebUtf8 = "WEB\xE5\x8F\x82\xE6\x95\xB0";

TEST(SettingsEncodingTest, OnlyAFileWhoseSectionsAreAllUtf8IsReported) {
    struct Row {
        const char* what;
        std::string content;
        bool reported;
    };
    const Row rows[] = {
        {"GBK, as the program writes it", "[" + kFtpGbk + "]\r\nftpaddr=h\r\n[" + kWebGbk + "]\r\n",
         false},
        {"UTF-8, LF line breaks", "[" + kFtpUtf8 + "]\nftpaddr=h\n[" + kWebUtf8 + "]\n", true},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[" + kWebUtf8 + "]\r\nwebfile=x\r\n", true},
        {"UTF-8, lower-case letters, blanks before", "  [ftp\xE5\x8F\x82\xE6\x95\xB0]\n", true},
        {"one GBK section is enough to read", "[" + kFtpUtf8 + "]\n[" + kWebGbk + "]\n", false},
        {"no sections at all", "ftpaddr=h\n", false},
        {"unknown sections only", "[other]\n[FTP]\n", false},
        {"an unclosed UTF-8 header", "[" + kFtpUtf8 + "\n", false},
        {"empty", "", false},
    };
    for (const Row& row : rows) {
        TempDir dir;
        dir.Write("setfile.ini", row.content);
        EXPECT_EQ(HoldsSectionsOnlyInUtf8(dir.File("setfile.ini"), {kFtpGbk, kWebGbk}),
                  row.reported)
            << row.what;
    }
    TempDir dir;
    EXPECT_FALSE(HoldsSectionsOnlyInUtf8(dir.File("missing.ini"), {kFtpGbk}));
}

}  // namespace
}  // namespace velomaris
