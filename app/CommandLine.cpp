#include "app/CommandLine.h"

#include <iostream>

#include "platform/DataDirectory.h"
#include "platform/Exception.h"

namespace velomaris {

namespace {

// Parses the shared options; every other argument goes to takeOther, which returns an error
// text when the program has no use for it.
template <class Command, class TakeOther>
Command ParseProgramCommand(const std::vector<std::string>& arguments, TakeOther takeOther) {
    Command command;
    bool help = false;
    bool version = false;
    std::optional<std::string> error;
    for (std::size_t i = 0; i < arguments.size() && !error; ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--config" || argument.rfind("--config=", 0) == 0) {
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
            } else if (!command.configPath.empty()) {
                error = "--config may be given only once";
            } else {
                command.configPath = path;
            }
        } else {
            error = takeOther(argument, command);
        }
    }
    if (error) {
        Command bad;
        bad.action = TProgramCommand::TAction::BadUsage;
        bad.error = *error;
        return bad;
    }
    if (help) {
        command.action = TProgramCommand::TAction::Help;
    } else if (version) {
        command.action = TProgramCommand::TAction::Version;
    }
    return command;
}

}  // namespace

std::optional<int> ActOnProgramCommand(const std::string& program, const TProgramCommand& command,
                                       const std::string& usage) {
    switch (command.action) {
        case TProgramCommand::TAction::Help:
            std::cout << usage;
            return kExitOk;
        case TProgramCommand::TAction::Version:
            std::cout << program << " " VELOMARIS_VERSION << std::endl;
            return kExitOk;
        case TProgramCommand::TAction::BadUsage:
            std::cerr << program << ": " << command.error << "\n\n" << usage;
            return kExitUsage;
        case TProgramCommand::TAction::Run:
            break;
    }
    if (!command.configPath.empty()) {
        try {
            UseSettingsFile(command.configPath);
        } catch (const Exception& e) {
            // The message holds the path as the system names it.
            std::cerr << program << ": " << e.Message() << std::endl;
            return kExitUsage;
        }
    }
    return std::nullopt;
}

THeadlessCommand ParseHeadlessCommandLine(const std::vector<std::string>& arguments) {
    return ParseProgramCommand<THeadlessCommand>(
        arguments,
        [](const std::string& argument, THeadlessCommand& command) -> std::optional<std::string> {
            if (argument != "--once") {
                return "unknown argument: " + argument;
            }
            command.once = true;
            return std::nullopt;
        });
}

TDesktopCommand ParseDesktopCommandLine(const std::vector<std::string>& arguments) {
    return ParseProgramCommand<TDesktopCommand>(
        arguments,
        [](const std::string& argument, TDesktopCommand& command) -> std::optional<std::string> {
            if (argument == "--once") {
                return "--once is an option of velomaris-headless, which converts without "
                       "windows";
            }
            command.toolkitArguments.push_back(argument);
            return std::nullopt;
        });
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
