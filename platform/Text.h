// Byte-string helpers: every text of the program is GBK (code page 936) in a std::string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velomaris {

// GBK <-> UTF-8 at the edges of the system (file names, terminal, widgets). A byte sequence
// that does not convert raises ETextConversionError naming the offending offset: a silently
// different file name would be worse than a clear failure.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Removes every byte of value 32 or less from both ends.
std::string Trim(std::string_view text);

// Parses a signed 32-bit integer: decimal, or hexadecimal after "$", "x", "X", "0x" or "0X",
// with leading spaces and one optional sign; nothing may follow the digits.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, raising EConvertError "'%s' is not a valid integer value" on failure.
std::int32_t StrToInt(std::string_view text);

// Strict decimal: one optional "+" or "-", then one or more ASCII digits and nothing else (no
// spaces, no hexadecimal); std::nullopt for anything else and outside the signed 64-bit range.
// Callers narrow the result to the range they accept.
std::optional<std::int64_t> TryParseDecimalInt64(std::string_view text);

inline bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit in either case, -1 for any other byte.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Cuts a token off the front of text at pos, where a delimiter of delimiterLength bytes stands:
// returns what stands before it and leaves in text what follows the delimiter. With pos npos
// (no delimiter found) the whole text is the token and text becomes empty.
std::string CutToken(std::string& text, std::size_t pos, std::size_t delimiterLength);

// Decimal text of a 32-bit integer, with "-" before a negative value.
std::string IntToStr(std::int64_t value);

// True when the first byte of a GBK character (0x81..0xFE) starts a double-byte character.
inline bool IsGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// True when text holds a CR, LF or NUL byte: such a value would end a protocol line early and
// could smuggle in a second command or header line.
inline bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// ASCII-only case-insensitive comparison (bytes from 0x80 up compare exactly).
bool SameTextAscii(std::string_view a, std::string_view b);
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

}  // namespace velomaris
