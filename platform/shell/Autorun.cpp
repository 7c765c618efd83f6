#include "platform/shell/Autorun.h"

#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/shell/DesktopEntry.h"
#include "platform/shell/ShellError.h"
#include "platform/shell/XdgDirectories.h"

namespace velomaris {

namespace {

void CheckValueName(const std::string& gbkName) {
    bool valid = !gbkName.empty() && gbkName != "." && gbkName != "..";
    for (char c : gbkName) {
        const auto byte = static_cast<unsigned char>(c);
        valid = valid && c != '/' && byte >= 0x20 && byte != 0x7F;
    }
    if (!valid) {
        throw EShellError("Invalid autostart value name \"" + gbkName + "\"");
    }
}

}  // namespace

std::string AutostartDirectory() {
    return ConfigHomeDirectory() + "/autostart";
}

std::string RunValueFileName(const std::string& gbkName) {
    CheckValueName(gbkName);
    return AutostartDirectory() + "/" + gbkName + ".desktop";
}

void SetRunValue(const std::string& gbkName, const std::string& gbkExecutablePath) {
    const std::string file = RunValueFileName(gbkName);
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Type", "Application"},
        {"Name", DesktopEntryString(GbkToUtf8(gbkName))},
        {"Exec", DesktopEntryExecArgument(GbkToUtf8(gbkExecutablePath))},
    };
    if (const auto icon = ProgramIconValue(gbkExecutablePath)) {
        keys.emplace_back("Icon", *icon);
    }
    keys.emplace_back("Terminal", "false");
    keys.emplace_back("X-GNOME-Autostart-enabled", "true");
    const std::string text = DesktopEntryText(keys);
    // The config home is private by the base-directory rules; autostart itself is not.
    MakeDirectories(ConfigHomeDirectory(), 0700);
    MakeDirectories(AutostartDirectory(), 0755);
    ReplaceFileAtomically(file, text, 0644);
}

bool DeleteRunValue(const std::string& gbkName) noexcept {
    try {
        if (::unlink(OsPath(RunValueFileName(gbkName)).c_str()) == 0) {
            return true;
        }
        return errno == ENOENT || errno == ENOTDIR;
    } catch (const Exception&) {
        // Removal is best effort by design: its callers report success either way, and a
        // name or home directory that cannot be expressed has no entry to remove.
        return false;
    }
}

}  // namespace velomaris
