// How a value that one line of setfile.ini cannot hold is kept so that it reads back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace velomaris {

// The first byte of an escaped value. DEL is a control byte, so no ordinary text (and nothing
// typed by hand into the file) ever begins with it: an ordinary value is stored and read
// exactly as it is.
inline constexpr char kEscapedValueMark = '\x7F';

// What a line of setfile.ini cannot hold as it is: a control byte (0x00 to 0x1F, or 0x7F)
// anywhere, and a blank (space or tab) at either end of a name or value, which reading trims.
// The file's reader and this escape must agree on both, or a value would not read back.
inline bool IsLineControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
inline bool IsTrimmedBlank(char c) {
    return c == ' ' || c == '\t';
}

// True when the value cannot be stored verbatim on a line: it holds a control byte (0x00 to
// 0x1F, or 0x7F), or begins or ends with a blank that reading would trim.
bool NeedsEscape(std::string_view value);

// The text written after "key=": the value itself when it is ordinary, otherwise the mark
// followed by the value with every control byte, every backslash and a blank at either end
// written as "\xHH" (two upper-case hex digits).
std::string EscapeValue(std::string_view value);

// The inverse of EscapeValue for the text read after "key=" (already without its blanks).
// Text without the mark is returned as it is. Inside an escaped value, a backslash that does
// not start a well-formed "\xHH" is kept as it is, so a damaged value still reads back
// without loss of the bytes that are there.
std::string UnescapeValue(std::string_view stored);

}  // namespace velomaris
