#include "platform/shell/DesktopShortcut.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/shell/Autorun.h"
#include "platform/shell/DesktopEntry.h"
#include "platform/shell/XdgDirectories.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using testing::FileMode;
using testing::ReadBytes;
using testing::WriteBytes;

class DesktopShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.Set("HOME", home_.Directory());
        env_.Set("XDG_CONFIG_HOME", std::nullopt);
        std::filesystem::create_directories(home_.File(".config"));
    }
    std::string Home() const { return home_.Directory(); }

    TempDir home_;
    testing::ScopedEnvironment env_;
};

TEST_F(DesktopShortcutTest, TheDesktopComesFromUserDirsOrIsDesktopInHome) {
    struct Row {
        const char* why;
        std::optional<std::string> userDirs;
        std::string expected;
    };
    const std::string home = Home();
    const Row rows[] = {
        {"no user-dirs.dirs", std::nullopt, home + "/Desktop"},
        {"relative to home", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", home + "/Schreibtisch"},
        {"absolute, with comments and other dirs",
         "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/dl\"\n"
         "XDG_DESKTOP_DIR=\"/srv/desk\"\n",
         "/srv/desk"},
        {"escaped quote and CR LF", "XDG_DESKTOP_DIR=\"$HOME/a\\\"b\"\r\n", home + "/a\"b"},
        {"the last line wins", "XDG_DESKTOP_DIR=\"$HOME/one\"\nXDG_DESKTOP_DIR=\"$HOME/two\"\n",
         home + "/two"},
        {"home itself", "XDG_DESKTOP_DIR=\"$HOME/\"\n", home},
        {"relative without $HOME is invalid", "XDG_DESKTOP_DIR=\"Desk\"\n", home + "/Desktop"},
        {"unquoted is invalid", "XDG_DESKTOP_DIR=$HOME/Desk\n", home + "/Desktop"},
        {"$HOMEX is no home", "XDG_DESKTOP_DIR=\"$HOMEX\"\n", home + "/Desktop"},
        {"unterminated is invalid", "XDG_DESKTOP_DIR=\"$HOME/Desk\n", home + "/Desktop"},
        {"blanks around", "  XDG_DESKTOP_DIR = \"$HOME/Desk\"\n", home + "/Desk"},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(home_.File(".config/user-dirs.dirs"));
        if (row.userDirs) {
            WriteBytes(home_.File(".config/user-dirs.dirs"), *row.userDirs);
        }
        EXPECT_EQ(DesktopDirectory(), row.expected) << row.why;
    }
}

TEST_F(DesktopShortcutTest, TheShortcutIsNamedAfterTheExecutableWithoutItsExtension) {
    struct Row {
        const char* executable;
        const char* expected;
    };
    const Row rows[] = {
        {"/opt/tool.exe", "tool.desktop"},
        {"/opt/velomaris", "velomaris.desktop"},
        {"/opt/velomaris-headless", "velomaris-headless.desktop"},
        {"/opt/v3.0/velomaris", "velomaris.desktop"},
        {"/opt/a.b.c", "a.b.desktop"},
        {"/opt/.hidden", ".hidden.desktop"},
        {"tool.sh", "tool.desktop"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShortcutFileName(row.executable), row.expected) << row.executable;
    }
    EXPECT_THROW(ShortcutFileName("/opt/"), Exception);
}

TEST_F(DesktopShortcutTest, TheShortcutStartsTheExecutableInTheProgramDirectory) {
    std::filesystem::create_directories(home_.File("Desktop"));
    const std::string path =
        CreateDesktopShortcut("/opt/\xC8\xED\xBC\xFE dir/velomaris", "/opt/\xC8\xED\xBC\xFE dir/");
    EXPECT_EQ(path, Home() + "/Desktop/velomaris.desktop");
    EXPECT_EQ(ReadBytes(path),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=velomaris\n"
              "Exec=\"/opt/\xE8\xBD\xAF\xE4\xBB\xB6 dir/velomaris\"\n"
              "Path=/opt/\xE8\xBD\xAF\xE4\xBB\xB6 dir/\n"
              "Terminal=false\n");
    EXPECT_EQ(FileMode(path), 0755u);
}

// Both entries that start the program show its icon when the icon is installed beside it,
// by an absolute path; a directory named "velomaris.png" is no icon.
TEST_F(DesktopShortcutTest, EntriesCarryTheIconInstalledBesideTheProgram) {
    std::filesystem::create_directories(home_.File("Desktop"));
    TempDir install;
    const std::string programDirectory = install.File(" a dir") + "/";
    std::filesystem::create_directories(programDirectory);
    const std::string program = programDirectory + "velomaris";
    const std::string iconLine = "\nIcon=" + programDirectory + "velomaris.png\n";

    const std::string withoutIcon = ReadBytes(CreateDesktopShortcut(program, programDirectory));
    EXPECT_EQ(withoutIcon.find("Icon="), std::string::npos) << withoutIcon;

    std::filesystem::create_directory(programDirectory + kProgramIconFileName);
    EXPECT_EQ(ReadBytes(CreateDesktopShortcut(program, programDirectory)).find("Icon="),
              std::string::npos);
    std::filesystem::remove(programDirectory + kProgramIconFileName);

    WriteBytes(programDirectory + kProgramIconFileName, "\x89PNG");
    const std::string shortcut = ReadBytes(CreateDesktopShortcut(program, programDirectory));
    EXPECT_NE(shortcut.find(iconLine + "Terminal=false\n"), std::string::npos) << shortcut;
    SetRunValue("VelomarisV3.0", program);
    const std::string autostart = ReadBytes(home_.File(".config/autostart/VelomarisV3.0.desktop"));
    EXPECT_NE(autostart.find(iconLine + "Terminal=false\n"), std::string::npos) << autostart;
}

TEST_F(DesktopShortcutTest, AnExistingShortcutIsReplacedAndMadeExecutable) {
    std::filesystem::create_directories(home_.File("Desktop"));
    const std::string path = home_.File("Desktop/tool.desktop");
    WriteBytes(path, "old contents");
    ::chmod(path.c_str(), 0600);
    CreateDesktopShortcut("/usr/local/bin/tool.exe", "/usr/local/bin/");
    EXPECT_NE(ReadBytes(path).find("Exec=\"/usr/local/bin/tool.exe\"\n"), std::string::npos);
    EXPECT_EQ(FileMode(path), 0755u);
}

TEST_F(DesktopShortcutTest, AMissingDesktopIsAFailureAndCreatesNothing) {
    EXPECT_THROW(CreateDesktopShortcut("/usr/bin/velomaris", "/usr/bin/"), Exception);
    EXPECT_FALSE(std::filesystem::exists(home_.File("Desktop")));
}

}  // namespace
}  // namespace velomaris
