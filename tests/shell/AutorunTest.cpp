#include "platform/shell/Autorun.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/shell/DesktopEntry.h"
#include "platform/shell/ShellError.h"
#include "tests/settings/OtherUser.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using testing::FileMode;
using testing::ReadBytes;

class AutorunTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.Set("HOME", home_.Directory());
        env_.Set("XDG_CONFIG_HOME", std::nullopt);
    }

    std::string EntryPath() const { return home_.File(".config/autostart/VelomarisV3.0.desktop"); }

    TempDir home_;
    testing::ScopedEnvironment env_;
};

std::string ExpectedEntry(const std::string& exec) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=VelomarisV3.0\n"
           "Exec=" +
           exec +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

TEST_F(AutorunTest, TheRunKeyIsTheXdgAutostartDirectory) {
    const std::string home = home_.Directory();
    struct Row {
        std::optional<std::string> configHome;
        std::string expected;
    };
    const Row rows[] = {
        {std::nullopt, home + "/.config/autostart"},
        {"", home + "/.config/autostart"},
        {"relative/config", home + "/.config/autostart"},  // invalid, so ignored
        {"/etc/xdg-user", "/etc/xdg-user/autostart"},
        {"/etc/xdg-user//", "/etc/xdg-user/autostart"},
    };
    for (const Row& row : rows) {
        testing::ScopedEnvironment env;
        env.Set("XDG_CONFIG_HOME", row.configHome);
        EXPECT_EQ(AutostartDirectory(), row.expected) << row.configHome.value_or("(unset)");
    }
}

TEST_F(AutorunTest, SettingAValueWritesADesktopEntryWithTheQuotedPath) {
    SetRunValue("VelomarisV3.0", "/opt/velo maris/velomaris");
    EXPECT_EQ(ReadBytes(EntryPath()), ExpectedEntry("\"/opt/velo maris/velomaris\""));
    EXPECT_EQ(FileMode(EntryPath()), 0644u);
    EXPECT_EQ(FileMode(home_.File(".config")), 0700u) << "a new config home is private";
}

TEST_F(AutorunTest, ExecArgumentsAreQuotedAndEscaped) {
    struct Row {
        std::string path;
        std::string exec;
    };
    const Row rows[] = {
        {"/usr/bin/velomaris", "\"/usr/bin/velomaris\""},
        {"/a b/c", "\"/a b/c\""},
        {"/q\"uote", "\"/q\\\\\"uote\""},
        {"/$HOME/`x`", "\"/\\\\$HOME/\\\\`x\\\\`\""},
        {"/back\\slash", "\"/back\\\\\\\\slash\""},
        {"/100%/x", "\"/100%%/x\""},
        {"/line\nbreak", "\"/line\\nbreak\""},
        {"/\xE8\xBD\xAF\xE4\xBB\xB6/v", "\"/\xE8\xBD\xAF\xE4\xBB\xB6/v\""},  // UTF-8 passes
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DesktopEntryExecArgument(row.path), row.exec) << row.path;
    }
    EXPECT_THROW(DesktopEntryExecArgument("/bell\x07"), EShellError);
}

TEST_F(AutorunTest, TheExecutablePathIsConvertedFromGbk) {
    SetRunValue("VelomarisV3.0", "/opt/\xC8\xED\xBC\xFE/velomaris");  // "软件"
    EXPECT_EQ(ReadBytes(EntryPath()), ExpectedEntry("\"/opt/\xE8\xBD\xAF\xE4\xBB\xB6/velomaris\""));
}

TEST_F(AutorunTest, SettingAgainReplacesTheOneEntry) {
    SetRunValue("VelomarisV3.0", "/old/velomaris");
    SetRunValue("VelomarisV3.0", "/old/velomaris");
    SetRunValue("VelomarisV3.0", "/moved/velomaris");
    EXPECT_EQ(ReadBytes(EntryPath()), ExpectedEntry("\"/moved/velomaris\""));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(home_.File(".config/autostart"))) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"VelomarisV3.0.desktop"});
}

TEST_F(AutorunTest, DeletingRemovesTheEntryAndAMissingOneIsNoError) {
    EXPECT_TRUE(DeleteRunValue("VelomarisV3.0")) << "no directory at all";
    std::filesystem::create_directories(home_.File(".config/autostart"));
    EXPECT_TRUE(DeleteRunValue("VelomarisV3.0")) << "no entry";

    SetRunValue("VelomarisV3.0", "/usr/bin/velomaris");
    SetRunValue("Other", "/usr/bin/other");
    EXPECT_TRUE(DeleteRunValue("VelomarisV3.0"));
    EXPECT_FALSE(std::filesystem::exists(EntryPath()));
    EXPECT_TRUE(std::filesystem::exists(home_.File(".config/autostart/Other.desktop")));
}

TEST_F(AutorunTest, AnUnwritableDirectoryMakesSettingFail) {
    // The autostart directory's place is taken by a file.
    std::filesystem::create_directories(home_.File(".config"));
    testing::WriteBytes(home_.File(".config/autostart"), "not a directory");
    EXPECT_THROW(SetRunValue("VelomarisV3.0", "/usr/bin/velomaris"), Exception);
    EXPECT_TRUE(DeleteRunValue("VelomarisV3.0"));
}

TEST_F(AutorunTest, AnotherUsersDirectoryCanNeitherBeWrittenNorCleared) {
    SetRunValue("VelomarisV3.0", "/usr/bin/velomaris");
    ::chmod(home_.Path().c_str(), 0755);
    ::chmod(home_.File(".config").c_str(), 0755);
    // Read-only for its owner too, for runs that are not root and so stay the owner.
    ::chmod(home_.File(".config/autostart").c_str(), 0555);
    EXPECT_TRUE(testing::RunUnprivileged([] {
        try {
            SetRunValue("VelomarisV3.0", "/elsewhere/velomaris");
            return false;
        } catch (const Exception&) {
        }
        return !DeleteRunValue("VelomarisV3.0");
    }));
    EXPECT_EQ(ReadBytes(EntryPath()), ExpectedEntry("\"/usr/bin/velomaris\""));
}

TEST_F(AutorunTest, NamesThatAreNoFileNameAreRefused) {
    for (const char* name : {"", ".", "..", "a/b", "tab\tname"}) {
        EXPECT_THROW(SetRunValue(name, "/usr/bin/velomaris"), EShellError) << name;
        EXPECT_FALSE(DeleteRunValue(name)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(home_.File(".config")));
}

}  // namespace
}  // namespace velomaris
