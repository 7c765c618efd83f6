// Recognises a settings file that an editor saved in UTF-8: its section names then match none
// of the GBK names the program looks for, and every read silently gives its default.
#pragma once

#include <string>
#include <vector>

namespace velomaris {

// True when the file (GBK path) can be read, holds none of the sections named (GBK names) and
// holds at least one of them written in UTF-8. ASCII letters match without regard to case, as
// in every read; a UTF-8 byte-order mark at the start is passed over.
bool HoldsSectionsOnlyInUtf8(const std::string& gbkPath,
                             const std::vector<std::string>& gbkSectionNames);

}  // namespace velomaris
