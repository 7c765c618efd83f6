// The real velomaris-headless as a site owner installs it: the program and its two error-page
// templates copied into a directory of its own (where its setfile.ini then goes).
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

// The copied program's path. VELOMARIS_HEADLESS_PATH names the built program.
inline std::string CopyHeadlessProgram(const TempDir& dir) {
    const std::string beside = std::filesystem::path(VELOMARIS_HEADLESS_PATH).parent_path();
    std::filesystem::copy_file(VELOMARIS_HEADLESS_PATH, dir.File("velomaris-headless"));
    for (const char* name : {"checkweb.html", "checkweb2.html"}) {
        std::filesystem::copy_file(beside + "/" + name, dir.File(name));
    }
    return dir.File("velomaris-headless");
}

}  // namespace velomaris
