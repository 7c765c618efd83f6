// Compiled with GBK literals, like the windows that use these names.
#include "windows/SetFileSections.h"

#include <gtest/gtest.h>

#include "settings/ProfileFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

TEST(SectionNamesTest, NamesHaveTheirFixedGbkBytes) {
    EXPECT_EQ(std::string(kSectionFtp), "\x46\x54\x50\xB2\xCE\xCA\xFD");
    EXPECT_EQ(std::string(kSectionWeb), "\x57\x45\x42\xB2\xCE\xCA\xFD");
    EXPECT_EQ(std::string(kSectionStartup), "\xC6\xF4\xB6\xAF\xC9\xE8\xD6\xC3");
    EXPECT_EQ(std::string(kSectionAutoStart), "\xC8\xED\xBC\xFE\xC6\xF4\xB6\xAF\xCF\xEE");
}

TEST(SectionNamesTest, TheFileCarriesTheGbkBytesAndNoOtherEncodingMatches) {
    TempDir dir;
    const std::string path = dir.File("setfile.ini");
    TProfileFile profile(path);
    profile.WriteString(kSectionFtp, "ftpaddr", "h");
    profile.WriteString(kSectionAutoStart, "soft", "1");
    EXPECT_EQ(testing::ReadBytes(path),
              "[\x46\x54\x50\xB2\xCE\xCA\xFD]\r\nftpaddr=h\r\n"
              "[\xC8\xED\xBC\xFE\xC6\xF4\xB6\xAF\xCF\xEE]\r\nsoft=1\r\n");
    EXPECT_EQ(profile.ReadString("ftp\xB2\xCE\xCA\xFD", "FTPADDR", "d"), "h");

    // The same file saved by an editor in UTF-8 matches none of the sections.
    const char8_t utf8[] = u8"[FTP参数]\r\nftpaddr=h\r\n[软件启动项]\r\nsoft=1\r\n";
    testing::WriteBytes(path, reinterpret_cast<const char*>(utf8));
    EXPECT_EQ(profile.ReadString(kSectionFtp, "ftpaddr", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(profile.ReadString(kSectionAutoStart, "soft", "0"), "0");
}

}  // namespace
}  // namespace velomaris
