// The "Run" key of our small registry layer: values that make the desktop session start a
// program when the user logs in.
//
// On Linux the convention for "start when the user logs on" is the per-user XDG autostart
// directory ($XDG_CONFIG_HOME/autostart, by default ~/.config/autostart): each value is one
// desktop entry "<name>.desktop" whose Exec is the program's full path. A per-user entry
// needs no administrator rights, unlike the machine-wide key it stands for.
#pragma once

#include <string>

namespace velomaris {

// The directory holding the Run key's values (GBK).
std::string AutostartDirectory();

// The file that holds the value of that name.
std::string RunValueFileName(const std::string& gbkName);

// Sets the value: writes "<name>.desktop" with Exec the executable's full path, quoted as the
// freedesktop.org desktop entry format requires, replacing an existing entry of that name. Creates
// the directory when it is missing. Raises (EShellError, EFCreateError, ETextConversionError) when
// the entry cannot be written; a name that is empty, "." or "..", or holds "/" or a control
// byte is refused.
void SetRunValue(const std::string& gbkName, const std::string& gbkExecutablePath);

// Deletes the value. Never raises: returns true when no entry of that name is left (removed,
// or there was none, or no directory), false when the entry could not be removed.
bool DeleteRunValue(const std::string& gbkName) noexcept;

}  // namespace velomaris
