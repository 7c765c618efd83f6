// The full path of the running executable, as autorun entries and shortcuts name it.
#pragma once

#include <string>

namespace velomaris {

// The target of /proc/self/exe, in GBK.
std::string ExecutablePath();

// Makes ExecutablePath() give another path for as long as it lives (tests only: they move
// the executable without moving the test binary).
class ScopedExecutablePath {
public:
    explicit ScopedExecutablePath(std::string gbkPath);
    ~ScopedExecutablePath();
    ScopedExecutablePath(const ScopedExecutablePath&) = delete;
    ScopedExecutablePath& operator=(const ScopedExecutablePath&) = delete;

private:
    std::string previous_;
};

}  // namespace velomaris
