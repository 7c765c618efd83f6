#include "platform/shell/XdgDirectories.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/shell/ShellError.h"

namespace velomaris {

namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The home directory in the file system's own encoding.
std::string OsHomeDirectory() {
    std::string home = EnvironmentValue("HOME");
    if (!home.empty()) {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    throw EShellError("Cannot find the home directory: HOME is not set");
}

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string OsConfigHome() {
    std::string configHome = EnvironmentValue("XDG_CONFIG_HOME");
    // A relative value is invalid by the base-directory rules and is ignored.
    if (!configHome.empty() && configHome.front() == '/') {
        return StripTrailingSlashes(configHome);
    }
    return StripTrailingSlashes(OsHomeDirectory()) + "/.config";
}

// One line of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" or XDG_DESKTOP_DIR="/abs".
// Inside the quotes a backslash takes the next byte literally.
std::optional<std::string> DesktopLineValue(std::string_view line, const std::string& home) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    constexpr std::string_view kName = "XDG_DESKTOP_DIR";
    if (line.substr(0, kName.size()) != kName) {
        return std::nullopt;
    }
    line.remove_prefix(kName.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    if (line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    if (line.empty() || line.front() != '"') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    std::string value;
    constexpr std::string_view kHome = "$HOME";
    if (line.substr(0, kHome.size()) == kHome) {
        line.remove_prefix(kHome.size());
        if (line.empty() || (line.front() != '/' && line.front() != '"')) {
            return std::nullopt;
        }
        value = StripTrailingSlashes(home);
        if (value == "/") {
            value.clear();
        }
    } else if (line.empty() || line.front() != '/') {
        return std::nullopt;
    }
    while (!line.empty() && line.front() != '"') {
        if (line.front() == '\\' && line.size() > 1) {
            line.remove_prefix(1);
        }
        value += line.front();
        line.remove_prefix(1);
    }
    if (line.empty()) {
        return std::nullopt;  // no closing quote
    }
    value = StripTrailingSlashes(value);
    return value.empty() ? std::string("/") : value;
}

}  // namespace

std::string HomeDirectory() {
    return Utf8ToGbk(OsHomeDirectory());
}

std::string ConfigHomeDirectory() {
    return Utf8ToGbk(OsConfigHome());
}

std::string DesktopDirectory() {
    const std::string home = OsHomeDirectory();
    std::optional<std::string> desktop;
    const std::string userDirs = OsConfigHome() + "/user-dirs.dirs";
    struct stat st {};
    std::ifstream file;
    // Only a regular file is read: opening a FIFO put in its place would wait for a writer.
    if (::stat(userDirs.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        file.open(userDirs, std::ios::binary);
    }
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (auto value = DesktopLineValue(line, home)) {
            desktop = value;
        }
    }
    return Utf8ToGbk(desktop ? *desktop : StripTrailingSlashes(home) + "/Desktop");
}

void MakeDirectories(const std::string& gbkPath, unsigned mode) {
    const std::string path = OsPath(gbkPath);
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        struct stat st {};
        if (prefix.empty() || (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
            // Existing directories are left as they are, whoever owns them.
        } else if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0) {
            const int error = errno;
            if (error != EEXIST || ::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                throw EShellError("Cannot create directory \"" + Utf8ToGbk(prefix) + "\". " +
                                  std::strerror(error == EEXIST ? ENOTDIR : error));
            }
        }
        if (slash == std::string::npos) {
            break;
        }
    }
}

}  // namespace velomaris
