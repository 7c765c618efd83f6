// The user's directories as the XDG base-directory and user-dirs conventions define them.
// Every path is returned in GBK, like every text of the program; a directory whose name has
// no GBK form raises ETextConversionError rather than naming another directory.
#pragma once

#include <string>

namespace velomaris {

// $HOME, or the home directory of the user's account entry when HOME is unset or empty.
std::string HomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config.
std::string ConfigHomeDirectory();

// XDG_DESKTOP_DIR from user-dirs.dirs in the config home ("$HOME/..." or an absolute path in
// double quotes, the last valid line winning), otherwise ~/Desktop. The directory may not exist.
std::string DesktopDirectory();

// Creates the directory and any missing parent, new ones with the given mode. Raises
// EShellError "Cannot create directory "%s". %s" on failure.
void MakeDirectories(const std::string& gbkPath, unsigned mode);

}  // namespace velomaris
