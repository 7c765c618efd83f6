// The start-up both programs share: termination signals, the backend, the application with its
// title and nine windows, the program's own preparations, then the message loop.
#pragma once

#include <functional>
#include <memory>

#include "platform/Clock.h"
#include "platform/ui/Application.h"
#include "platform/ui/UiBackend.h"

namespace velomaris {

struct TProgramStart {
    // The name error messages start with ("velomaris-headless: ...").
    const char* programName = "velomaris";
    // Makes the backend; runs after the signals are blocked, so threads it starts leave them
    // to the program.
    std::function<std::unique_ptr<TUiBackend>(Clock& clock)> makeBackend;
    // Runs after the windows exist and before the main window is shown.
    std::function<void(TApplication& app, TUiBackend& backend)> prepare;
    // The exit status once the loop has ended; without it, 0.
    std::function<int()> exitStatus;
    // The exit status when start-up fails.
    int failureStatus = 1;
};

// Runs the program to its end and returns its exit status: exitStatus() (or 0) when the loop
// ended (tray exit, SIGINT, SIGTERM), failureStatus when start-up failed (the message is
// written to stderr).
int RunProgram(const TProgramStart& start);

}  // namespace velomaris
