#include "platform/DataDirectory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

// "run-" and an emoji, which GBK cannot hold.
const std::string kEmojiName = "run-\xF0\x9F\x98\x80";

TEST(DataDirectoryTest, ADirectoryGbkCannotNameIsReachedThroughAKeptHandle) {
    TempDir dir;
    const std::string os = dir.File(kEmojiName + "/");
    ASSERT_EQ(::mkdir(os.c_str(), 0755), 0);
    const std::string named = ProgramNameForDirectory(os);
    EXPECT_EQ(named.rfind("/proc/self/fd/", 0), 0u) << named;
    EXPECT_EQ(ProgramNameForDirectory(os), named);  // one handle per directory
    // A GBK name joined to it lands in the real directory, and atomic replacement works there.
    ReplaceFileAtomically(named + "index.html", "page");
    EXPECT_EQ(dir.Read(kEmojiName + "/index.html"), "page");
    EXPECT_TRUE(FileExists(named + "index.html"));
    EXPECT_EQ(DisplayPath(named + "index.html"), os + "index.html");
    // A name GBK can hold is kept as it is.
    EXPECT_EQ(ProgramNameForDirectory(dir.Path()), dir.Path());
    EXPECT_THROW(ProgramNameForDirectory(dir.File("missing-\xF0\x9F\x98\x80/")), Exception);
}

TEST(DataDirectoryTest, AChosenSettingsFileMovesTheDataDirectory) {
    TempDir dir;
    ScopedProgramDirectory program(dir.Path());
    EXPECT_EQ(DataDirectory(), dir.Path());
    EXPECT_EQ(SettingsFileName(), "setfile.ini");

    ASSERT_EQ(::mkdir(dir.File("site").c_str(), 0755), 0);
    UseSettingsFile(dir.File("site/site.ini"));
    EXPECT_EQ(DataDirectory(), dir.File("site/"));
    EXPECT_EQ(SettingsFileName(), "site.ini");
    UseProgramDirectorySettings();
    EXPECT_EQ(DataDirectory(), dir.Path());

    struct Row {
        std::string path;
        std::string message;
    };
    const Row refused[] = {
        {dir.File("missing/site.ini"), "does not exist"},
        {dir.File("site/"), "names a directory, not a file"},
        {dir.File("site/\xF0\x9F\x98\x80.ini"), "cannot be written in GBK"},
    };
    for (const Row& row : refused) {
        try {
            UseSettingsFile(row.path);
            ADD_FAILURE() << row.path;
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(row.message), std::string::npos) << e.Message();
        }
        EXPECT_EQ(DataDirectory(), dir.Path()) << row.path;
    }
}

}  // namespace
}  // namespace velomaris
