// Where the settings file and the files kept beside it (the page files, the log) live: the
// program directory, or the directory of a settings file chosen on the command line, so one
// installed copy can serve several sites. Paths handed out are GBK like every path of the
// program; a directory whose name GBK cannot hold is named through a handle the process keeps
// open on it, so nothing the program names there ever needs its bytes converted.
#pragma once

#include <string>

namespace velomaris {

// The GBK name the program uses for a directory the system named (UTF-8, trailing "/"): its
// GBK form, or, when GBK cannot hold it, "/proc/self/fd/N/" of a handle opened on it once and
// kept for the life of the process. Raises Exception when neither works (the directory does
// not exist, for one).
std::string ProgramNameForDirectory(const std::string& osDirectoryWithSlash);

// The path as the file system names it, for people (the log, messages): a directory reached
// through a kept handle is shown by its own name.
std::string DisplayPath(const std::string& gbkPath);

// The directory holding the settings file, with a trailing "/".
std::string DataDirectory();
// The settings file's name in that directory: "setfile.ini" unless one was chosen.
std::string SettingsFileName();

// Uses the settings file at this path (as the system names it; relative to the current
// directory or absolute) instead of setfile.ini in the program directory. The file itself need
// not exist yet. Raises Exception with a sentence for the user when its directory does not
// exist or its name cannot be written in GBK.
void UseSettingsFile(const std::string& osPath);

// Goes back to setfile.ini in the program directory; for tests.
void UseProgramDirectorySettings();

}  // namespace velomaris
