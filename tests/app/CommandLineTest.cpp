#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velomaris {
namespace {

using Action = THeadlessCommand::TAction;

TEST(CommandLineTest, HeadlessOptions) {
    struct Row {
        std::vector<std::string> arguments;
        Action action;
        bool once;
        std::string configPath;
        std::string error;
    };
    const Row rows[] = {
        {{}, Action::Run, false, "", ""},
        {{"--once"}, Action::Run, true, "", ""},
        {{"--config", "/srv/a/setfile.ini"}, Action::Run, false, "/srv/a/setfile.ini", ""},
        {{"--config=site b.ini", "--once"}, Action::Run, true, "site b.ini", ""},
        {{"--once", "--config", "-odd.ini"}, Action::Run, true, "-odd.ini", ""},
        {{"--help"}, Action::Help, false, "", ""},
        {{"-h"}, Action::Help, false, "", ""},
        {{"--version"}, Action::Version, false, "", ""},
        {{"--once", "--help"}, Action::Help, true, "", ""},
        {{"--version", "--help"}, Action::Help, false, "", ""},
        {{"--config"}, Action::BadUsage, false, "", "--config needs the path of a settings file"},
        {{"--config="}, Action::BadUsage, false, "", "--config needs the path of a settings file"},
        {{"--config", "a", "--config", "b"},
         Action::BadUsage,
         false,
         "",
         "--config may be given only once"},
        {{"--onec"}, Action::BadUsage, false, "", "unknown argument: --onec"},
        {{"setfile.ini"}, Action::BadUsage, false, "", "unknown argument: setfile.ini"},
        {{"--help", "--bogus"}, Action::BadUsage, false, "", "unknown argument: --bogus"},
    };
    for (const Row& row : rows) {
        std::string shown;
        for (const std::string& argument : row.arguments) {
            shown += "[" + argument + "]";
        }
        const THeadlessCommand command = ParseHeadlessCommandLine(row.arguments);
        EXPECT_EQ(command.action, row.action) << shown;
        EXPECT_EQ(command.error, row.error) << shown;
        if (row.action != Action::BadUsage) {
            EXPECT_EQ(command.once, row.once) << shown;
            EXPECT_EQ(command.configPath, row.configPath) << shown;
        }
    }
}

TEST(CommandLineTest, DesktopOptionsLeaveTheRestToQt) {
    using DesktopAction = TDesktopCommand::TAction;
    struct Row {
        std::vector<std::string> arguments;
        DesktopAction action;
        std::string configPath;
        std::vector<std::string> toolkit;
        std::string error;
    };
    const Row rows[] = {
        {{}, DesktopAction::Run, "", {}, ""},
        {{"--config", "/srv/a.ini"}, DesktopAction::Run, "/srv/a.ini", {}, ""},
        {{"-platform", "offscreen", "--config=b.ini", "-style", "fusion"},
         DesktopAction::Run,
         "b.ini",
         {"-platform", "offscreen", "-style", "fusion"},
         ""},
        // The value of --config is never Qt's, even when it looks like an option.
        {{"--config", "-platform"}, DesktopAction::Run, "-platform", {}, ""},
        {{"-platform", "xcb", "--help"}, DesktopAction::Help, "", {"-platform", "xcb"}, ""},
        {{"--version"}, DesktopAction::Version, "", {}, ""},
        {{"--once"},
         DesktopAction::BadUsage,
         "",
         {},
         "--once is an option of velomaris-headless, which converts without windows"},
        {{"--config"},
         DesktopAction::BadUsage,
         "",
         {},
         "--config needs the path of a settings file"},
        {{"--config=a", "--config", "b"},
         DesktopAction::BadUsage,
         "",
         {},
         "--config may be given only once"},
    };
    for (const Row& row : rows) {
        std::string shown;
        for (const std::string& argument : row.arguments) {
            shown += "[" + argument + "]";
        }
        const TDesktopCommand command = ParseDesktopCommandLine(row.arguments);
        EXPECT_EQ(command.action, row.action) << shown;
        EXPECT_EQ(command.error, row.error) << shown;
        if (row.action != DesktopAction::BadUsage) {
            EXPECT_EQ(command.configPath, row.configPath) << shown;
            EXPECT_EQ(command.toolkitArguments, row.toolkit) << shown;
        }
    }
}

TEST(CommandLineTest, SetPasswordTakesOneFileThatIsNotAnOption) {
    using SetAction = TSetPasswordCommand::TAction;
    struct Row {
        std::vector<std::string> arguments;
        SetAction action;
        std::string path;
    };
    const Row rows[] = {
        {{"setfile.ini"}, SetAction::Store, "setfile.ini"},
        {{"/srv/site/setfile.ini"}, SetAction::Store, "/srv/site/setfile.ini"},
        {{"./-odd.ini"}, SetAction::Store, "./-odd.ini"},
        {{"--help"}, SetAction::Help, ""},
        {{"-h"}, SetAction::Help, ""},
        {{"setfile.ini", "--help"}, SetAction::Help, ""},
        {{}, SetAction::BadUsage, ""},
        {{"--version"}, SetAction::BadUsage, ""},
        {{"-"}, SetAction::BadUsage, ""},
        {{""}, SetAction::BadUsage, ""},
        {{"a.ini", "b.ini"}, SetAction::BadUsage, ""},
    };
    for (const Row& row : rows) {
        const TSetPasswordCommand command = ParseSetPasswordCommandLine(row.arguments);
        const std::string shown = row.arguments.empty() ? "(none)" : row.arguments[0];
        EXPECT_EQ(command.action, row.action) << shown;
        EXPECT_EQ(command.settingsPath, row.path) << shown;
        EXPECT_EQ(command.error.empty(), row.action != SetAction::BadUsage) << shown;
    }
}

TEST(CommandLineTest, UsageNamesEveryOption) {
    for (const char* option : {"--config PATH", "--once", "--help", "--version"}) {
        EXPECT_NE(HeadlessUsage().find(option), std::string::npos) << option;
    }
    EXPECT_NE(SetPasswordUsage().find("SETFILE.INI"), std::string::npos);
}

}  // namespace
}  // namespace velomaris
