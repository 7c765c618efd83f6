// Failures of the desktop-integration helpers (autostart entries, desktop shortcut).
#pragma once

#include "platform/Exception.h"

namespace velomaris {

// A name or path that a desktop entry cannot carry, or a directory that cannot be made.
class EShellError : public Exception {
    using Exception::Exception;
};

}  // namespace velomaris
