#include "settings/ProfileFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "settings/PasswordCodec.h"
#include "tests/settings/OtherUser.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using testing::FileMode;
using testing::Literal;
using testing::ReadBytes;
using testing::WriteBytes;

class ProfileFileTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::string path_ = dir_.File("setfile.ini");
    TProfileFile profile_{path_};

    std::vector<std::string> DirectoryEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(ProfileFileTest, ReadsFollowTheLookupRules) {
    struct Row {
        const char* why;
        std::string file;
        const char* section;
        const char* key;
        std::string expected;
    };
    const Row rows[] = {
        {"plain value", "[FTP]\r\nftpaddr=host\r\n", "FTP", "ftpaddr", "host"},
        {"empty value is the empty text", "[FTP]\r\nftpaddr=\r\n", "FTP", "ftpaddr", ""},
        {"only blanks is the empty text", "[FTP]\r\nftpaddr= \t \r\n", "FTP", "ftpaddr", ""},
        {"ASCII case ignored", "[ftp]\r\nFTPADDR=host\r\n", "Ftp", "FtpAddr", "host"},
        {"spaces and tabs trimmed at both ends, kept inside", "[S]\r\nk = \t a b \t \r\n", "S", "k",
         "a b"},
        {"value after the first equals sign", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"first of two equal keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
        {"key of another section", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n", "B", "k", "default"},
        {"key before any section", "k=1\r\n[S]\r\n", "S", "k", "default"},
        {"missing section", "[A]\r\nk=1\r\n", "S", "k", "default"},
        {"first of two equal sections", "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n", "S", "j", "default"},
        {"no final line break", "[S]\r\nk=last", "S", "k", "last"},
        {"LF line breaks", "[S]\nk=lf\nj=2\n", "S", "j", "2"},
        {"CR line breaks", "[S]\rk=cr\rj=2\r", "S", "k", "cr"},
        {"comment line is no key", "[S]\r\n;k=commented\r\nk=real\r\n", "S", "k", "real"},
        {"line without equals is no key", "[S]\r\nk\r\nk=2\r\n", "S", "k", "2"},
        {"header with blanks and trailing text", "  [ S ] ; note\r\nk=1\r\n", "S", "k", "1"},
        {"header without ] opens nothing", "[S\r\nk=1\r\n", "S", "k", "default"},
        {"header without ] ends the section before it", "[S]\r\n[T\r\nk=1\r\n", "S", "k",
         "default"},
        {"value with NUL bytes is kept whole", Literal("[S]\r\nk=a\0b\0\r\n"), "S", "k",
         Literal("a\0b\0")},
        {"binary file",
         Literal("\x7F"
                 "ELF\x02\x01\x01\0\0\0[\xFF\xFE=\x01\r\n"),
         "S", "k", "default"},
        {"section ] as second byte of a GBK character",
         "[\x95\x5D"
         "A]\r\nk=gbk\r\n",
         "\x95\x5D"
         "a",
         "k", "gbk"},
        {"GBK second byte is no ASCII letter", "[\x81\x41]\r\nk=1\r\n", "\x81\x61", "k", "default"},
        {"escaped value", "[S]\r\nk=\x7F\\x20a\\x0D\\x0A\\x00\r\n", "S", "k", Literal(" a\r\n\0")},
        {"DEL inside a value is no escape", "[S]\r\nk=a\x7F\\x41\r\n", "S", "k", "a\x7F\\x41"},
    };
    for (const Row& row : rows) {
        WriteBytes(path_, row.file);
        EXPECT_EQ(profile_.ReadString(row.section, row.key, "default"), row.expected) << row.why;
    }
}

TEST_F(ProfileFileTest, ReadingWithoutAFileGivesTheDefault) {
    EXPECT_EQ(profile_.ReadString("S", "k", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(profile_.ReadInteger("S", "k", 60000), 60000);
    EXPECT_FALSE(FileExists(path_)) << "a read never creates the file";
}

TEST_F(ProfileFileTest, ABinaryFileGivesDefaultsAndKeepsItsBytesOnAWrite) {
    std::mt19937 generator(20100831);
    std::string binary(1024 * 1024, '\0');
    for (char& c : binary) {
        c = static_cast<char>(generator());
    }
    // Make sure the bytes cannot hold the section by chance.
    for (size_t at = binary.find('['); at != std::string::npos; at = binary.find('[', at)) {
        binary[at] = '{';
    }
    WriteBytes(path_, binary);
    EXPECT_EQ(profile_.ReadString("S", "k", "d"), "d");
    EXPECT_EQ(profile_.ReadInteger("S", "k", 7), 7);

    profile_.WriteString("S", "k", "v");
    const std::string after = ReadBytes(path_);
    EXPECT_EQ(after.substr(0, binary.size()), binary);
    EXPECT_EQ(profile_.ReadString("S", "k", "d"), "v");
}

TEST_F(ProfileFileTest, ALongValueIsCutTo2047Bytes) {
    const std::string megabyte(1024 * 1024, 'x');
    WriteBytes(path_, "[S]\r\nk=" + megabyte + "\r\nj=after\r\n");
    EXPECT_EQ(profile_.ReadString("S", "k", ""), std::string(2047, 'x'));
    EXPECT_EQ(profile_.ReadString("S", "j", ""), "after");

    WriteBytes(path_, "[S]\r\nk=" + std::string(2047, 'y') + "\r\n");
    EXPECT_EQ(profile_.ReadString("S", "k", "").size(), 2047u);
}

TEST_F(ProfileFileTest, IntegersParseOrGiveTheDefault) {
    struct Row {
        const char* stored;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"90000", 90000},
        {"0", 0},
        {"-5", -5},
        {"0x1D4C0", 120000},
        {"$1D4C0", 120000},
        {"abc", 60000},
        {"", 60000},
        {"99999999999", 60000},
        {"1 ", 1},
        {"12abc", 60000},
        {"2147483647", 2147483647},
    };
    for (const Row& row : rows) {
        WriteBytes(path_, std::string("[S]\r\nk=") + row.stored + "\r\n");
        EXPECT_EQ(profile_.ReadInteger("S", "k", 60000), row.expected) << row.stored;
    }
    WriteBytes(path_, "[S]\r\n");
    EXPECT_EQ(profile_.ReadInteger("S", "k", 60000), 60000);
}

TEST_F(ProfileFileTest, FirstWriteCreatesAPrivateFileWithTheKeysInOrder) {
    profile_.WriteString("FTP", "ftpaddr", "127.0.0.1");
    profile_.WriteString("FTP", "ftpuser", "kq");
    profile_.WriteString("FTP", "ftppass", "p");
    profile_.WriteString("FTP", "ftpdir", "www");
    EXPECT_EQ(ReadBytes(path_),
              "[FTP]\r\nftpaddr=127.0.0.1\r\nftpuser=kq\r\nftppass=p\r\nftpdir=www\r\n");
    EXPECT_EQ(FileMode(path_), 0600u);
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"setfile.ini"});
}

TEST_F(ProfileFileTest, WritesChangeOnlyTheirOwnLines) {
    // Hand-edited: comments, an unknown key and section, LF and CR LF mixed, a blank line
    // between sections, odd spacing and no line break at the end.
    const std::string before =
        "; written by hand\r\n"
        "[FTP]\n"
        "  FTPADDR = old.example  \r\n"
        "unknown=keep me\r\n"
        "\r\n"
        "[other]\r\n"
        "x = 1 ; not a comment\r\n"
        "[WEB]\r\n"
        "webfile=index";
    WriteBytes(path_, before);
    ::chmod(path_.c_str(), 0640);

    profile_.WriteString("ftp", "ftpaddr", "new.example");
    profile_.WriteString("FTP", "ftpuser", "kq");
    profile_.WriteString("WEB", "webmain", "http://www.example.com/");
    profile_.WriteInteger("Timing", "difftime", -120000);

    EXPECT_EQ(ReadBytes(path_),
              "; written by hand\r\n"
              "[FTP]\n"
              "ftpaddr=new.example\r\n"
              "unknown=keep me\r\n"
              "ftpuser=kq\r\n"
              "\r\n"
              "[other]\r\n"
              "x = 1 ; not a comment\r\n"
              "[WEB]\r\n"
              "webfile=index\r\n"
              "webmain=http://www.example.com/\r\n"
              "[Timing]\r\n"
              "difftime=-120000\r\n");
    EXPECT_EQ(FileMode(path_), 0640u) << "an existing file keeps its mode";
    EXPECT_EQ(profile_.ReadString("other", "x", ""), "1 ; not a comment");
}

TEST_F(ProfileFileTest, ALinkedFileIsWrittenThroughItsLink) {
    TempDir elsewhere;
    const std::string real = elsewhere.File("real.ini");
    WriteBytes(real, "[S]\r\nk=old\r\n");
    std::filesystem::create_symlink(real, path_);
    profile_.WriteString("S", "k", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(ReadBytes(real), "[S]\r\nk=new\r\n");
}

TEST_F(ProfileFileTest, ABrokenHeaderStaysAndTheSectionIsAddedAgain) {
    WriteBytes(path_, "[FTP\r\nftpaddr=lost\r\n");
    profile_.WriteString("FTP", "ftpaddr", "h");
    EXPECT_EQ(ReadBytes(path_), "[FTP\r\nftpaddr=lost\r\n[FTP]\r\nftpaddr=h\r\n");
    EXPECT_EQ(profile_.ReadString("FTP", "ftpaddr", ""), "h");
}

TEST_F(ProfileFileTest, AKeyIsAddedToASectionEndingTheFileWithoutALineBreak) {
    WriteBytes(path_, "[S]");
    profile_.WriteString("S", "k", "v");
    EXPECT_EQ(ReadBytes(path_), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, ValuesALineCannotHoldReadBackByteForByte) {
    const std::string values[] = {
        "",
        " leading",
        "trailing ",
        "\ttab\t",
        "line\r\nbreak",
        "\r",
        "\n",
        Literal("\0"),
        Literal("ends in NUL\0"),
        "back\\slash \\x41",
        "\x7F",
        "\x7F"
        "looks escaped",
        "\\x20",
        "a;b=c",
        "[not a header]",
        "\xC3\xDC\xC2\xEB \xB2\xCE\x5C",  // GBK text whose last character ends in 5C
    };
    for (const std::string& value : values) {
        profile_.WriteString("S", "k", value);
        profile_.WriteString("S", "after", "still here");
        EXPECT_EQ(profile_.ReadString("S", "k", "default"), value) << value;
        EXPECT_EQ(profile_.ReadString("S", "after", ""), "still here") << value;
    }
}

TEST_F(ProfileFileTest, OrdinaryValuesAreStoredExactlyAsGiven) {
    const std::string values[] = {"127.0.0.1",        "a b", "x\\y",    "\"quoted\"",
                                  "\xB2\xCE\xCA\xFD", "=",   "\xFF\x80"};
    for (const std::string& value : values) {
        std::filesystem::remove(path_);
        profile_.WriteString("S", "k", value);
        EXPECT_EQ(ReadBytes(path_), "[S]\r\nk=" + value + "\r\n");
    }
}

TEST_F(ProfileFileTest, TheNastiestStoredPasswordsSurviveTheFile) {
    // The stored form begins with the second key and ends with the first key XORed with the
    // second key's low four bits, so these pairs give its worst first and last bytes.
    struct Keys {
        unsigned char first;
        unsigned char second;
    };
    const Keys keys[] = {
        {0x20, 0x20},  // blank ... blank
        {0x0A, 0x0A},  // LF ... NUL
        {0x07, 0x0D},  // CR ... LF
        {0x04, 0x09},  // TAB ... CR
        {0x21, 0x01},  // 01h ... blank
        {0x5C, 0x5C},  // backslash ... "P"
        {0x7E, 0x7E},  // ordinary at both ends
    };
    const std::string passwords[] = {"", " ", "abc", " \x01;=\r\n\xC3\xDC ",
                                     std::string(300, '\0')};
    for (const Keys& pair : keys) {
        for (const std::string& password : passwords) {
            int draws = 0;
            PasswordCodecSources sources{[&] { return draws++ == 0 ? pair.first : pair.second; },
                                         [] {
                                             std::tm t{};
                                             t.tm_year = 2026 - 1900;
                                             t.tm_mday = 1;
                                             return t;
                                         }};
            const std::string stored = EncodePassword(password, sources);
            profile_.WriteString("FTP", "ftppass", stored);
            const std::string back = profile_.ReadString("FTP", "ftppass", "kq");
            EXPECT_EQ(back, stored) << int(pair.first) << "/" << int(pair.second);
            EXPECT_EQ(DecodePassword(back), password);
        }
    }
}

TEST_F(ProfileFileTest, AFailedWriteLeavesTheFileAsItWas) {
    const std::string before = "[S]\r\nk=old\r\n";
    WriteBytes(path_, before);
    ::chmod(path_.c_str(), 0444);
    try {
        profile_.WriteString("S", "k", "new");
        FAIL() << "a read-only file was written";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + path_ + "\". Permission denied");
    }
    EXPECT_EQ(ReadBytes(path_), before);
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"setfile.ini"});
}

TEST_F(ProfileFileTest, AMissingDirectoryMakesTheWriteFail) {
    TProfileFile nowhere(dir_.File("missing/setfile.ini"));
    EXPECT_THROW(nowhere.WriteString("S", "k", "v"), EFCreateError);
}

TEST_F(ProfileFileTest, AnUnwritableDirectoryMakesTheWriteFail) {
    const std::string before = "[S]\r\nk=old\r\n";
    WriteBytes(path_, before);
    ::chmod(path_.c_str(), 0666);
    // Read-only for its owner too, for runs that are not root and so stay the owner.
    ::chmod(dir_.Path().c_str(), 0555);
    // The file itself is writable, but it can only be replaced atomically through the
    // directory, which is not.
    const std::string path = path_;
    EXPECT_TRUE(testing::RunUnprivileged([path] {
        try {
            TProfileFile(path).WriteString("S", "k", "new");
        } catch (const EFCreateError& e) {
            return e.Message().find("Permission denied") != std::string::npos;
        }
        return false;
    }));
    EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(ProfileFileTest, AnUnreadableFileGivesDefaultsAndIsNeverOverwritten) {
    // A directory and a FIFO in the file's place: neither is read, neither hangs.
    std::filesystem::create_directory(path_);
    EXPECT_EQ(profile_.ReadString("S", "k", "d"), "d");
    EXPECT_THROW(profile_.WriteString("S", "k", "v"), EProfileError);
    std::filesystem::remove(path_);

    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    EXPECT_EQ(profile_.ReadInteger("S", "k", 7), 7);
    EXPECT_THROW(profile_.WriteString("S", "k", "v"), EProfileError);
    std::filesystem::remove(path_);

    // A file its reader has no permission for.
    const std::string before = "[S]\r\nk=secret\r\n";
    WriteBytes(path_, before);
    ::chmod(path_.c_str(), 0);
    ::chmod(dir_.Path().c_str(), 0777);
    const std::string path = path_;
    EXPECT_TRUE(testing::RunUnprivileged([path] {
        TProfileFile profile(path);
        if (profile.ReadString("S", "k", "d") != "d") {
            return false;
        }
        try {
            profile.WriteString("S", "k", "v");
        } catch (const EProfileError&) {
            return true;
        }
        return false;
    }));
    ::chmod(path_.c_str(), 0600);
    EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(ProfileFileTest, AFileOverTheLimitGivesDefaultsAndIsNeverOverwritten) {
    WriteBytes(path_, "[S]\r\nk=v\r\n");
    ASSERT_EQ(::truncate(path_.c_str(), kMaxProfileFileSize + 1), 0);
    EXPECT_EQ(profile_.ReadString("S", "k", "d"), "d");
    try {
        profile_.WriteString("S", "k", "new");
        FAIL() << "an enormous file was rewritten";
    } catch (const EProfileError& e) {
        EXPECT_NE(e.Message().find("larger than 16 MiB"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(std::filesystem::file_size(path_), std::uintmax_t(kMaxProfileFileSize + 1));

    // Exactly at the limit the file is still read.
    ASSERT_EQ(::truncate(path_.c_str(), kMaxProfileFileSize), 0);
    EXPECT_EQ(profile_.ReadString("S", "k", "d"), "v");
}

TEST_F(ProfileFileTest, NamesALineCannotCarryAreRefused) {
    // "S\xFD": the "]" after a trailing GBK lead byte would be read as its second byte, and
    // the header would never match again.
    const char* sections[] = {"", "a]b", " S", "S\r\n", "S\xFD"};
    for (const char* section : sections) {
        EXPECT_THROW(profile_.WriteString(section, "k", "v"), EProfileError) << section;
        EXPECT_EQ(profile_.ReadString(section, "k", "d"), "d");
    }
    const char* keys[] = {"", "a=b", "[k", "k ", "k\n"};
    for (const char* key : keys) {
        EXPECT_THROW(profile_.WriteString("S", key, "v"), EProfileError) << key;
    }
    EXPECT_FALSE(FileExists(path_));
}

TEST_F(ProfileFileTest, TheSettingsFileLivesInTheProgramDirectory) {
    ScopedProgramDirectory here(dir_.Path());
    EXPECT_EQ(SettingsFilePath(), dir_.Path() + "setfile.ini");
}

}  // namespace
}  // namespace velomaris
