#include "platform/DataDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
}

// Handle names and the directories they stand for, both with a trailing "/".
std::map<std::string, std::string>& KeptHandles() {
    static std::map<std::string, std::string> handles;
    return handles;
}

struct TChosenSettings {
    std::string directory;  // GBK, trailing "/"; empty: the program directory
    std::string fileName = "setfile.ini";
};

TChosenSettings& Chosen() {
    static TChosenSettings chosen;
    return chosen;
}

}  // namespace

std::string ProgramNameForDirectory(const std::string& osDirectoryWithSlash) {
    try {
        return Utf8ToGbk(osDirectoryWithSlash);
    } catch (const ETextConversionError&) {
        // Named by the bytes the system gave; only the handle's number is ours.
    }
    std::lock_guard<std::mutex> lock(Mutex());
    for (const auto& [handleName, directory] : KeptHandles()) {
        if (directory == osDirectoryWithSlash) {
            return handleName;
        }
    }
    const int fd = ::open(osDirectoryWithSlash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        throw Exception("Cannot open the directory " + std::string(std::strerror(errno)));
    }
    std::string handleName = "/proc/self/fd/" + std::to_string(fd) + "/";
    KeptHandles()[handleName] = osDirectoryWithSlash;
    return handleName;
}

std::string DisplayPath(const std::string& gbkPath) {
    {
        std::lock_guard<std::mutex> lock(Mutex());
        for (const auto& [handleName, directory] : KeptHandles()) {
            if (gbkPath.compare(0, handleName.size(), handleName) == 0) {
                try {
                    return directory + GbkToUtf8(gbkPath.substr(handleName.size()));
                } catch (const ETextConversionError&) {
                    return gbkPath;
                }
            }
        }
    }
    try {
        return GbkToUtf8(gbkPath);
    } catch (const ETextConversionError&) {
        return gbkPath;
    }
}

std::string DataDirectory() {
    {
        std::lock_guard<std::mutex> lock(Mutex());
        if (!Chosen().directory.empty()) {
            return Chosen().directory;
        }
    }
    return ProgramDirectory();
}

std::string SettingsFileName() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Chosen().fileName;
}

void UseSettingsFile(const std::string& osPath) {
    const std::size_t slash = osPath.rfind('/');
    std::string directory = slash == std::string::npos ? "." : osPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? osPath : osPath.substr(slash + 1);
    if (name.empty()) {
        throw Exception("The settings file " + osPath + " names a directory, not a file");
    }
    char resolved[PATH_MAX];
    struct stat st {};
    if (::realpath(directory.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
        throw Exception("The directory of the settings file " + osPath + " does not exist");
    }
    directory = resolved;
    if (directory.back() != '/') {
        directory += '/';
    }
    std::string gbkName;
    try {
        gbkName = Utf8ToGbk(name);
    } catch (const ETextConversionError&) {
        throw Exception("The settings file's name " + name +
                        " cannot be written in GBK; choose a name of letters, digits and GBK "
                        "characters");
    }
    std::string gbkDirectory = ProgramNameForDirectory(directory);
    std::lock_guard<std::mutex> lock(Mutex());
    Chosen().directory = std::move(gbkDirectory);
    Chosen().fileName = std::move(gbkName);
}

void UseProgramDirectorySettings() {
    std::lock_guard<std::mutex> lock(Mutex());
    Chosen() = TChosenSettings();
}

}  // namespace velomaris
