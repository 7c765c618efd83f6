#include "platform/Files.h"

#include "platform/DataDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/Exception.h"
#include "platform/Stream.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

std::mutex& OverrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& ProgramDirectoryOverride() {
    static std::string value;
    return value;
}

}  // namespace

std::string OsPath(const std::string& gbkPath) {
    return GbkToUtf8(gbkPath);
}

bool FileExists(const std::string& gbkPath) {
    struct stat st {};
    return ::stat(OsPath(gbkPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void ReplaceFileAtomically(const std::string& gbkPath, std::string_view bytes, mode_t newFileMode) {
    TReplacingFileStream file(gbkPath, newFileMode);
    file.WriteString(bytes);
    file.Commit();
}

std::optional<std::string> RunningExecutableOsPath() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (!ProgramDirectoryOverride().empty()) {
            return ProgramDirectoryOverride();
        }
    }
    std::optional<std::string> path = RunningExecutableOsPath();
    if (!path) {
        throw Exception(std::string("Cannot find the program directory. ") + std::strerror(errno));
    }
    path->erase(path->rfind('/') + 1);
    return ProgramNameForDirectory(*path);
}

ScopedProgramDirectory::ScopedProgramDirectory(std::string gbkDirectoryWithSlash) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    previous_ = ProgramDirectoryOverride();
    ProgramDirectoryOverride() = std::move(gbkDirectoryWithSlash);
}

ScopedProgramDirectory::~ScopedProgramDirectory() {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    ProgramDirectoryOverride() = previous_;
}

}  // namespace velomaris
