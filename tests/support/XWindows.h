// Asking the X server about another process's windows, for the GUI tests and the start-up
// benchmark: xwininfo (x11-utils) answers for the display in DISPLAY.
#pragma once

#include <cstdio>
#include <string>

namespace velomaris {

// Whether a viewable top-level window with this caption exists (no quote in the caption).
inline bool XWindowViewable(const std::string& caption) {
    const std::string command = "xwininfo -name '" + caption + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    ::pclose(pipe);
    return output.find("Map State: IsViewable") != std::string::npos;
}

}  // namespace velomaris
