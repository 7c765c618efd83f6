// What the embedded Chromium needs to start where it runs: no sandbox for root (Chromium
// refuses to start sandboxed as root), and software rendering on a machine without a GPU or
// in CI (no GPU, often no working GL under a virtual display).
#pragma once

#include <string>

namespace velomaris {

struct TWebEngineConditions {
    bool runningAsRoot = false;
    bool continuousIntegration = false;  // the CI variable is set
    bool gpuPresent = true;              // a render node under /dev/dri
    std::string existingFlags;           // QTWEBENGINE_CHROMIUM_FLAGS as the user set it
};

// The complete flags: the user's own, then each needed flag that is not there yet.
std::string ChromiumFlags(const TWebEngineConditions& conditions);

// The conditions of this process.
TWebEngineConditions CurrentWebEngineConditions();

// Sets QTWEBENGINE_CHROMIUM_FLAGS for this process; call before the Qt application exists.
void PrepareWebEngineEnvironment();

}  // namespace velomaris
