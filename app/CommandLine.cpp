#include "app/CommandLine.h"

namespace velomaris {

namespace {

template <class Command>
Command BadUsage(std::string error) {
    Command command;
    command.action = Command::TAction::BadUsage;
    command.error = std::move(error);
    return command;
}

// The options both programs share: --help (-h), --version and --config.
struct TSharedOptions {
    bool help = false;
    bool version = false;
    std::string configPath;
};

enum class TOptionResult { Taken, NotShared, Error };

// Takes the shared option at arguments[i] (and the value after it), or says it is not one.
TOptionResult TakeSharedOption(const std::vector<std::string>& arguments, std::size_t& i,
                               TSharedOptions& options, std::string& error) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
        options.help = true;
        return TOptionResult::Taken;
    }
    if (argument == "--version") {
        options.version = true;
        return TOptionResult::Taken;
    }
    if (argument != "--config" && argument.rfind("--config=", 0) != 0) {
        return TOptionResult::NotShared;
    }
    std::string path;
    if (argument == "--config") {
        if (i + 1 < arguments.size()) {
            path = arguments[++i];
        }
    } else {
        path = argument.substr(9);
    }
    if (path.empty()) {
        error = "--config needs the path of a settings file";
        return TOptionResult::Error;
    }
    if (!options.configPath.empty()) {
        error = "--config may be given only once";
        return TOptionResult::Error;
    }
    options.configPath = path;
    return TOptionResult::Taken;
}

// Help and version win over everything else given with them.
template <class Command>
void ApplySharedOptions(const TSharedOptions& options, Command& command) {
    command.configPath = options.configPath;
    if (options.help) {
        command.action = Command::TAction::Help;
    } else if (options.version) {
        command.action = Command::TAction::Version;
    }
}

}  // namespace

THeadlessCommand ParseHeadlessCommandLine(const std::vector<std::string>& arguments) {
    THeadlessCommand command;
    TSharedOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string error;
        switch (TakeSharedOption(arguments, i, options, error)) {
            case TOptionResult::Taken:
                break;
            case TOptionResult::Error:
                return BadUsage<THeadlessCommand>(error);
            case TOptionResult::NotShared:
                if (arguments[i] != "--once") {
                    return BadUsage<THeadlessCommand>("unknown argument: " + arguments[i]);
                }
                command.once = true;
        }
    }
    ApplySharedOptions(options, command);
    return command;
}

TDesktopCommand ParseDesktopCommandLine(const std::vector<std::string>& arguments) {
    TDesktopCommand command;
    TSharedOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string error;
        switch (TakeSharedOption(arguments, i, options, error)) {
            case TOptionResult::Taken:
                break;
            case TOptionResult::Error:
                return BadUsage<TDesktopCommand>(error);
            case TOptionResult::NotShared:
                if (arguments[i] == "--once") {
                    return BadUsage<TDesktopCommand>(
                        "--once is an option of velomaris-headless, which converts without "
                        "windows");
                }
                command.toolkitArguments.push_back(arguments[i]);
        }
    }
    ApplySharedOptions(options, command);
    return command;
}

std::string DesktopUsage() {
    return "usage: velomaris [--config PATH] [Qt options]\n"
           "       velomaris --help | --version\n"
           "\n"
           "Keeps a static copy of a dynamic home page on an FTP server, as set up in\n"
           "setfile.ini beside the program: the desktop program, with its windows and\n"
           "tray icon.\n"
           "\n"
           "  --config PATH  use this settings file; its directory holds the page files\n"
           "                 and velomaris.log instead of the program's directory\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Every other argument goes to Qt (for example -platform NAME). SIGINT or SIGTERM\n"
           "ends the program like the tray menu's exit item. velomaris-headless runs the\n"
           "same program without windows.\n";
}

std::string HeadlessUsage() {
    return "usage: velomaris-headless [--config PATH] [--once]\n"
           "       velomaris-headless --help | --version\n"
           "\n"
           "Keeps a static copy of a dynamic home page on an FTP server, as set up in\n"
           "setfile.ini beside the program.\n"
           "\n"
           "  --config PATH  use this settings file; its directory holds the page files\n"
           "                 and velomaris.log instead of the program's directory\n"
           "  --once         convert and upload the page once, then exit:\n"
           "                 0 uploaded, 1 failed, 2 bad usage or settings\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Without --once the start-up items of the settings file decide what runs; SIGINT\n"
           "or SIGTERM ends the program. Events are logged to velomaris.log and stderr.\n";
}

TSetPasswordCommand ParseSetPasswordCommandLine(const std::vector<std::string>& arguments) {
    TSetPasswordCommand command;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            command.action = TSetPasswordCommand::TAction::Help;
            return command;
        }
    }
    if (arguments.size() != 1) {
        command.error =
            arguments.empty() ? "the settings file is missing" : "give exactly one settings file";
        return command;
    }
    if (arguments[0].empty() || arguments[0][0] == '-') {
        command.error = "not a settings file: \"" + arguments[0] +
                        "\" (a path that starts with \"-\" can be given as ./" + arguments[0] + ")";
        return command;
    }
    command.action = TSetPasswordCommand::TAction::Store;
    command.settingsPath = arguments[0];
    return command;
}

std::string SetPasswordUsage() {
    return "usage: velomaris-set-ftp-password SETFILE.INI < password\n"
           "\n"
           "Stores the FTP password, read from the first line of standard input (UTF-8), in\n"
           "the settings file as Velomaris keeps it (scrambled, key ftppass of the FTP\n"
           "section). Every other line of the file stays as it is; a missing file is created\n"
           "in an existing directory.\n";
}

}  // namespace velomaris
