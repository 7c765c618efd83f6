// velomaris-set-ftp-password: stores the FTP password in a setfile.ini as the program keeps it
// (scrambled by EncodePassword under ftppass of section "FTP参数"), so velomaris-headless can be
// set up for a site without the windowed program's settings window. The file is the argument;
// the password is the first line of standard input, in the terminal's UTF-8. Every other line
// of the file stays as it is, and the file is replaced in one step.
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/DataDirectory.h"
#include "platform/Text.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "windows/SetFileSections.h"

int main(int argc, char** argv) {
    using namespace velomaris;
    const TSetPasswordCommand command =
        ParseSetPasswordCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.action == TSetPasswordCommand::TAction::Help) {
        std::cout << SetPasswordUsage();
        return kExitOk;
    }
    if (command.action == TSetPasswordCommand::TAction::BadUsage) {
        std::cerr << "velomaris-set-ftp-password: " << command.error << "\n\n"
                  << SetPasswordUsage();
        return kExitUsage;
    }
    try {
        // The directory must exist; a directory whose name GBK cannot hold works too.
        UseSettingsFile(command.settingsPath);
    } catch (const Exception& e) {
        std::cerr << "velomaris-set-ftp-password: " << e.Message() << std::endl;
        return kExitUsage;
    }
    try {
        std::string password;
        std::getline(std::cin, password);
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
        const TProfileFile settings(SettingsFilePath());
        settings.WriteString(kSectionFtp, "ftppass", EncodePassword(Utf8ToGbk(password)));
        return kExitOk;
    } catch (const Exception& e) {
        // The message is GBK; a byte that does not convert must not hide the failure itself.
        try {
            std::cerr << "velomaris-set-ftp-password: " << GbkToUtf8(e.Message()) << std::endl;
        } catch (const Exception&) {
            std::cerr << "velomaris-set-ftp-password: the password could not be stored"
                      << std::endl;
        }
    }
    return kExitFailed;
}
