// The desktop program's side of the shared start-up: the Qt backend with the rendering browser
// and the application icon.
#pragma once

#include <memory>

#include "app/ProgramStart.h"
#include "platform/shell/DesktopEntry.h"
#include "platform/ui/qt/QtBackend.h"

namespace velomaris {

// Makes the Qt backend for velomaris: Chromium prepared for where it runs, the icon, and a
// QtWebEngine engine for each browser control. With the environment variable
// VELOMARIS_SIDE_PAGE set to "off" the side browser loads nothing (offline use, tests).
std::unique_ptr<TQtBackend> MakeDesktopBackend(int& argc, char** argv, Clock& clock);

// The start-up of velomaris: the shared one on the desktop backend.
TProgramStart DesktopProgramStart(int& argc, char** argv);

}  // namespace velomaris
