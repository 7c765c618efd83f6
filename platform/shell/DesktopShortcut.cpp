#include "platform/shell/DesktopShortcut.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/shell/DesktopEntry.h"
#include "platform/shell/ShellError.h"
#include "platform/shell/XdgDirectories.h"

namespace velomaris {

std::string ShortcutFileName(const std::string& gbkExecutablePath) {
    const size_t slash = gbkExecutablePath.rfind('/');
    std::string name =
        slash == std::string::npos ? gbkExecutablePath : gbkExecutablePath.substr(slash + 1);
    if (name.empty()) {
        throw EShellError("No executable name in \"" + gbkExecutablePath + "\"");
    }
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name + ".desktop";
}

std::string CreateDesktopShortcut(const std::string& gbkExecutablePath,
                                  const std::string& gbkProgramDirectory) {
    const std::string fileName = ShortcutFileName(gbkExecutablePath);
    const std::string desktop = DesktopDirectory();
    struct stat st {};
    if (::stat(OsPath(desktop).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw EShellError("The desktop directory \"" + desktop + "\" does not exist");
    }
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Type", "Application"},
        {"Name", DesktopEntryString(GbkToUtf8(fileName.substr(0, fileName.size() - 8)))},
        {"Exec", DesktopEntryExecArgument(GbkToUtf8(gbkExecutablePath))},
        {"Path", DesktopEntryString(GbkToUtf8(gbkProgramDirectory))},
    };
    if (const auto icon = ProgramIconValue(gbkExecutablePath)) {
        keys.emplace_back("Icon", *icon);
    }
    keys.emplace_back("Terminal", "false");
    const std::string text = DesktopEntryText(keys);
    const std::string path = desktop + "/" + fileName;
    ReplaceFileAtomically(path, text, 0755);
    // A replaced shortcut keeps the old file's mode; it must be executable all the same.
    if (::chmod(OsPath(path).c_str(), 0755) != 0) {
        throw EShellError("Cannot make \"" + path + "\" executable. " + std::strerror(errno));
    }
    return path;
}

}  // namespace velomaris
