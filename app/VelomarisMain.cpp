// velomaris: the program on the desktop, with its nine windows, the tray icon and a rendering
// browser. SIGINT and SIGTERM end it cleanly, like the tray menu's exit item. Its own options
// (app/CommandLine.h) are read before Qt starts, so --help needs no display.
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/GuiStart.h"

int main(int argc, char** argv) {
    using namespace velomaris;
    const TDesktopCommand command =
        ParseDesktopCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = ActOnProgramCommand("velomaris", command, DesktopUsage())) {
        return *status;
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
