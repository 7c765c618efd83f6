// The page name (webfile) names the local page file beside the program and the file uploaded
// into the FTP directory, so it must stay one plain file name: a name that climbs out of
// either directory or breaks a protocol line must never reach the disk or the server.
#pragma once

#include <string_view>

namespace velomaris {

// True for one plain file name: not empty once the bytes of value 32 or less are trimmed from
// its ends, not "." or "..", no "/", no control byte (00h to 1Fh, 7Fh) and no "\" (a
// directory separator on the server's side too). A GBK double-byte character whose second
// byte happens to be 5Ch is a character, not a backslash.
bool IsPlainFileName(std::string_view name);

}  // namespace velomaris
