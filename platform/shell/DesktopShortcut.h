// A shortcut to the program on the user's desktop: a desktop entry file in the XDG desktop
// directory (the Linux counterpart of a shell link).
#pragma once

#include <string>

namespace velomaris {

// The shortcut's file name: the executable's file name without its extension, plus
// ".desktop" ("tool.exe" gives "tool.desktop", "velomaris" gives "velomaris.desktop"). A
// leading dot starts no extension.
std::string ShortcutFileName(const std::string& gbkExecutablePath);

// Writes the shortcut into DesktopDirectory(), replacing one of the same name, and makes it
// executable (desktops launch only executable entries): Exec the executable, Path the program
// directory. Returns the file's path. Raises when the desktop directory is missing or the
// file cannot be written.
std::string CreateDesktopShortcut(const std::string& gbkExecutablePath,
                                  const std::string& gbkProgramDirectory);

}  // namespace velomaris
