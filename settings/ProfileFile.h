// Access to one profile (INI) file such as setfile.ini: read and write text and integer values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Exception.h"

namespace velomaris {

// A settings file that cannot be rewritten without losing what it holds (unreadable, larger
// than the limit), or a section or key name that a line of the file cannot carry.
class EProfileError : public Exception {
    using Exception::Exception;
};

// The largest settings file that is read. A bigger file is treated like an unreadable one:
// reads give their defaults and writes refuse to replace it, so nothing in it is lost.
inline constexpr std::int64_t kMaxProfileFileSize = 16 * 1024 * 1024;

// The longest value a read returns; a longer value is cut to its first bytes.
inline constexpr size_t kMaxProfileValueLength = 2047;

// Every call opens the file anew, reads or rewrites it and closes it again: nothing is cached,
// and a value written is on disk when the call returns.
//
// Lines end in CR LF (LF or CR alone are accepted when reading). Section and key names match
// without regard to the case of ASCII letters. A value is the text after the first "=" of its
// line without the spaces and tabs at its ends; values that a line cannot hold that way are
// kept in an escaped form (settings/ValueEscape.h). Writes replace the file atomically: a
// new file gets mode 0600 (it holds the FTP password), an existing one keeps its mode, and
// every line the write does not set stays byte for byte.
class TProfileFile {
public:
    explicit TProfileFile(std::string gbkPath) : path_(std::move(gbkPath)) {}

    const std::string& FileName() const { return path_; }

    // The key's value; the default when the file, the section or the key is missing or the file
    // can't be read. A key with an empty value gives the empty text.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // The key's value parsed as a signed 32-bit integer (decimal or hexadecimal, see
    // TryStrToInt); the default when the key is missing or empty or the text is no such number.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;

    // Sets the key, creating the file and the section when needed. Raises on failure
    // (EFCreateError for a file or directory that can't be written, EProfileError for a file
    // that can't be read back first or a name a line can't hold); the file is then unchanged.
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    // Writes the decimal text of the value, with "-" before a negative one.
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value) const;

private:
    std::string path_;
};

// The settings file of the program: "setfile.ini" in the program directory, or the file
// chosen with UseSettingsFile.
std::string SettingsFilePath();

}  // namespace velomaris
