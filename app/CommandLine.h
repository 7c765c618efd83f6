// The command lines of velomaris, velomaris-headless and velomaris-set-ftp-password, parsed into
// what the program is asked to do; the programs' main functions only act on the result.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velomaris {

// Exit statuses shared by both programs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What velomaris and velomaris-headless share: --help (-h), --version and --config PATH (or
// --config=PATH). Help and version win over everything else given with them.
struct TProgramCommand {
    enum class TAction { Run, Help, Version, BadUsage };
    TAction action = TAction::Run;
    std::string configPath;  // as given (the file system's bytes); empty: setfile.ini beside
    std::string error;       // for BadUsage: what was wrong
};

// Acts on the shared part before the program starts: prints the help, the version or the
// usage error, or takes the --config file. Returns the exit status when the program ends here.
std::optional<int> ActOnProgramCommand(const std::string& program, const TProgramCommand& command,
                                       const std::string& usage);

struct THeadlessCommand : TProgramCommand {
    bool once = false;
};

// Options: --help, --version, --config PATH (or --config=PATH), --once. Help and version win
// over everything else given with them.
THeadlessCommand ParseHeadlessCommandLine(const std::vector<std::string>& arguments);
std::string HeadlessUsage();

struct TDesktopCommand : TProgramCommand {
    // What is left for Qt (-platform NAME, -style NAME, ...), in its order.
    std::vector<std::string> toolkitArguments;
};

// The desktop program's own options are --help, --version and --config PATH (or
// --config=PATH); --once belongs to velomaris-headless only. Every other argument is Qt's,
// which ignores what it does not know, as desktop programs do.
TDesktopCommand ParseDesktopCommandLine(const std::vector<std::string>& arguments);
std::string DesktopUsage();

struct TSetPasswordCommand {
    enum class TAction { Store, Help, BadUsage };
    TAction action = TAction::BadUsage;
    std::string settingsPath;
    std::string error;
};

// One argument, the settings file; "--help" asks for help, and no other argument may start
// with "-" (a mistyped option must never become a file of that name).
TSetPasswordCommand ParseSetPasswordCommandLine(const std::vector<std::string>& arguments);
std::string SetPasswordUsage();

}  // namespace velomaris
