// velomaris: the program on the desktop, with its nine windows, the tray icon and a rendering
// browser. SIGINT and SIGTERM end it cleanly, like the tray menu's exit item. Its own options
// (app/CommandLine.h) are read before Qt starts, so --help needs no display.
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/GuiStart.h"
#include "platform/DataDirectory.h"
#include "platform/Exception.h"

int main(int argc, char** argv) {
    using namespace velomaris;
    const TDesktopCommand command =
        ParseDesktopCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.action) {
        case TDesktopCommand::TAction::Help:
            std::cout << DesktopUsage();
            return kExitOk;
        case TDesktopCommand::TAction::Version:
            std::cout << "velomaris " VELOMARIS_VERSION << std::endl;
            return kExitOk;
        case TDesktopCommand::TAction::BadUsage:
            std::cerr << "velomaris: " << command.error << "\n\n" << DesktopUsage();
            return kExitUsage;
        case TDesktopCommand::TAction::Run:
            break;
    }
    try {
        if (!command.configPath.empty()) {
            UseSettingsFile(command.configPath);
        }
    } catch (const Exception& e) {
        // The message holds the path as the system names it.
        std::cerr << "velomaris: " << e.Message() << std::endl;
        return kExitUsage;
    }
    // Qt sees the program's name and the arguments that are not the program's own; both
    // outlive the application, as Qt requires.
    std::vector<std::string> toolkitArguments = command.toolkitArguments;
    toolkitArguments.insert(toolkitArguments.begin(), argv[0]);
    std::vector<char*> toolkitArgv;
    for (std::string& argument : toolkitArguments) {
        toolkitArgv.push_back(argument.data());
    }
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArguments.size());
    return RunProgram(DesktopProgramStart(toolkitArgc, toolkitArgv.data()));
}
