// Writing desktop entry files (freedesktop.org desktop entry format, version 1.5), the Linux
// form of a shortcut and of an autostart item.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velomaris {

// The program's icon, installed beside its executable.
inline constexpr char kProgramIconFileName[] = "velomaris.png";

// A value of type string: backslash, newline, tab and carriage return are written as \\, \n,
// \t and \r ("Possible value types"), a leading blank as \s. Raises EShellError for any other
// control character, which no such value may hold.
std::string DesktopEntryString(std::string_view utf8);

// One argument of an Exec key: always in double quotes, with ", `, $ and \ escaped by a
// backslash inside them and % doubled (field codes), then escaped as a string value, so a
// backslash ends up as four ("The Exec key").
std::string DesktopEntryExecArgument(std::string_view utf8);

// The Icon value of an entry that starts the executable: the absolute path of the program's
// icon beside it, when that file is there. Nothing otherwise (the headless program is often
// installed without one), and the desktop shows its generic icon.
std::optional<std::string> ProgramIconValue(const std::string& gbkExecutablePath);

// The file text of a [Desktop Entry] group with the keys in the given order. The values must
// already be encoded for their key (see above); lines end in LF.
std::string DesktopEntryText(const std::vector<std::pair<std::string, std::string>>& keys);

}  // namespace velomaris
