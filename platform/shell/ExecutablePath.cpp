#include "platform/shell/ExecutablePath.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/Exception.h"
#include "platform/Files.h"
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
    const std::optional<std::string> path = RunningExecutableOsPath();
    if (!path) {
        throw Exception(std::string("Cannot find the program's path. ") + std::strerror(errno));
    }
    return Utf8ToGbk(*path);
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
