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

[[noreturn]] void ThrowCreate(const std::string& gbkPath, int error) {
    throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + std::strerror(error));
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
    const std::string target = OsPath(gbkPath);
    mode_t mode = newFileMode;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        ThrowCreate(gbkPath, errno);
    }
    const std::string temporary(name.data());
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        ThrowCreate(gbkPath, error);
    };
    if (::fchmod(fd, mode) != 0) {
        fail(errno);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        fail(errno);
    }
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        ThrowCreate(gbkPath, error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        ThrowCreate(gbkPath, error);
    }
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
