#include "app/CommandLine.h"

namespace velomaris {

namespace {

THeadlessCommand BadUsage(std::string error) {
    THeadlessCommand command;
    command.action = THeadlessCommand::TAction::BadUsage;
    command.error = std::move(error);
    return command;
}

}  // namespace

THeadlessCommand ParseHeadlessCommandLine(const std::vector<std::string>& arguments) {
    THeadlessCommand command;
    bool help = false;
    bool version = false;
    bool configGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--once") {
            command.once = true;
        } else if (argument == "--config" || argument.rfind("--config=", 0) == 0) {
            std::string path;
            if (argument == "--config") {
                if (i + 1 == arguments.size()) {
                    return BadUsage("--config needs the path of a settings file");
                }
                path = arguments[++i];
            } else {
                path = argument.substr(9);
            }
            if (path.empty()) {
                return BadUsage("--config needs the path of a settings file");
            }
            if (configGiven) {
                return BadUsage("--config may be given only once");
            }
            configGiven = true;
            command.configPath = path;
        } else {
            return BadUsage("unknown argument: " + argument);
        }
    }
    if (help) {
        command.action = THeadlessCommand::TAction::Help;
    } else if (version) {
        command.action = THeadlessCommand::TAction::Version;
    }
    return command;
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
