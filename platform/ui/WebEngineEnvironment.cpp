#include "platform/ui/WebEngineEnvironment.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace velomaris {

namespace {

bool HasFlag(const std::string& flags, const std::string& flag) {
    std::istringstream words(flags);
    std::string word;
    while (words >> word) {
        if (word == flag || word.rfind(flag + "=", 0) == 0) {
            return true;
        }
    }
    return false;
}

bool RenderNodePresent() {
    DIR* dir = opendir("/dev/dri");
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "renderD", 7) == 0 ||
            std::strncmp(entry->d_name, "card", 4) == 0) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string ChromiumFlags(const TWebEngineConditions& conditions) {
    std::vector<std::string> needed;
    if (conditions.runningAsRoot) {
        needed.emplace_back("--no-sandbox");
    }
    if (conditions.continuousIntegration || !conditions.gpuPresent) {
        needed.emplace_back("--disable-gpu");
        needed.emplace_back("--disable-gpu-compositing");
    }
    std::string flags = conditions.existingFlags;
    for (const std::string& flag : needed) {
        if (!HasFlag(flags, flag)) {
            flags += (flags.empty() ? "" : " ") + flag;
        }
    }
    return flags;
}

TWebEngineConditions CurrentWebEngineConditions() {
    TWebEngineConditions conditions;
    conditions.runningAsRoot = geteuid() == 0;
    const char* ci = std::getenv("CI");
    conditions.continuousIntegration =
        ci != nullptr && *ci != '\0' && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
    conditions.gpuPresent = RenderNodePresent();
    if (const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS")) {
        conditions.existingFlags = flags;
    }
    return conditions;
}

void PrepareWebEngineEnvironment() {
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", ChromiumFlags(CurrentWebEngineConditions()).c_str(), 1);
}

}  // namespace velomaris
