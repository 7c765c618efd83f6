#include "platform/shell/ExecutablePath.h"

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

std::string& Override() {
    static std::string value;
    return value;
}

}  // namespace

std::string ExecutablePath() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (!Override().empty()) {
            return Override();
        }
    }
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        throw Exception(std::string("Cannot find the program's path. ") + std::strerror(errno));
    }
    return Utf8ToGbk(std::string(buffer.data(), static_cast<size_t>(n)));
}

ScopedExecutablePath::ScopedExecutablePath(std::string gbkPath) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    previous_ = Override();
    Override() = std::move(gbkPath);
}

ScopedExecutablePath::~ScopedExecutablePath() {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    Override() = previous_;
}

}  // namespace velomaris
