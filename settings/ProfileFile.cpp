#include "settings/ProfileFile.h"

#include "platform/DataDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"
#include "settings/ValueEscape.h"

namespace velomaris {

namespace {

constexpr char kLineBreak[] = "\r\n";

// ---- reading the file -------------------------------------------------------------------

enum class FileState { Missing, Unreadable, TooLarge, Loaded };

struct FileContent {
    FileState state = FileState::Missing;
    std::string bytes;
    std::string reason;  // why the file could not be read, for the write's error message
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

FileContent LoadFile(const std::string& gbkPath) {
    FileContent content;
    std::string osPath;
    try {
        osPath = OsPath(gbkPath);
    } catch (const ETextConversionError& e) {
        content.state = FileState::Unreadable;
        content.reason = e.Message();
        return content;
    }
    // O_NONBLOCK: a FIFO put in the file's place must not stall the program on open.
    FileDescriptor fd(::open(osPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        content.state = errno == ENOENT ? FileState::Missing : FileState::Unreadable;
        content.reason = std::strerror(errno);
        return content;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        content.state = FileState::Unreadable;
        content.reason = "not a regular file";
        return content;
    }
    if (st.st_size > kMaxProfileFileSize) {
        content.state = FileState::TooLarge;
        return content;
    }
    // The size is only a hint: a file growing while it is read is still capped.
    char block[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), block, sizeof block);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            content.state = FileState::Unreadable;
            content.reason = std::strerror(errno);
            content.bytes.clear();
            return content;
        }
        if (n == 0) {
            break;
        }
        content.bytes.append(block, static_cast<size_t>(n));
        if (static_cast<std::int64_t>(content.bytes.size()) > kMaxProfileFileSize) {
            content.state = FileState::TooLarge;
            content.bytes.clear();
            return content;
        }
    }
    content.state = FileState::Loaded;
    return content;
}

// ---- lines, sections and keys -----------------------------------------------------------

struct Line {
    std::string text;        // without its line break
    std::string terminator;  // "\r\n", "\n", "\r", or empty for a last line without one
};

std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({std::string(bytes.substr(start)), ""});
            break;
        }
        size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') {
            ++next;
        }
        lines.push_back({std::string(bytes.substr(start, end - start)),
                         std::string(bytes.substr(end, next - end))});
        start = next;
    }
    return lines;
}

std::string_view StripBlanks(std::string_view text) {
    while (!text.empty() && IsTrimmedBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsTrimmedBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsLeadByteAt(std::string_view text, size_t i) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
}

// Position of the first single-byte occurrence of c, stepping over double-byte characters
// (whose second byte may have the same value as "]" or an ASCII letter).
size_t FindSingleByte(std::string_view text, char c) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByteAt(text, i)) {
            ++i;
        } else if (text[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

char LowerAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters match without regard to case; double-byte characters match exactly.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByteAt(a, i)) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                return false;
            }
            ++i;
        } else if (LowerAsciiLetter(a[i]) != LowerAsciiLetter(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Other, Header, BrokenHeader };

// A line whose first non-blank byte is "[" opens a section. Without a closing "]" it still
// ends the section before it but opens none that any name matches.
LineKind KindOf(std::string_view line, std::string_view* sectionName) {
    std::string_view text = StripBlanks(line);
    if (text.empty() || text.front() != '[') {
        return LineKind::Other;
    }
    text.remove_prefix(1);
    size_t close = FindSingleByte(text, ']');
    if (close == std::string_view::npos) {
        return LineKind::BrokenHeader;
    }
    *sectionName = StripBlanks(text.substr(0, close));
    return LineKind::Header;
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyLineOf(std::string_view line) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{StripBlanks(line.substr(0, equals)), StripBlanks(line.substr(equals + 1))};
}

bool HasControlByte(std::string_view text) {
    for (char c : text) {
        if (IsLineControlByte(c)) {
            return true;
        }
    }
    return false;
}

bool IsValidSectionName(std::string_view name) {
    return !name.empty() && StripBlanks(name) == name && !HasControlByte(name) &&
           FindSingleByte(name, ']') == std::string_view::npos;
}

bool IsValidKeyName(std::string_view key) {
    return !key.empty() && StripBlanks(key) == key && !HasControlByte(key) &&
           key.find('=') == std::string_view::npos && key.front() != '[';
}

// Where a section's lines are: its header and the index just past its last line.
struct SectionRange {
    size_t header;
    size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (KindOf(lines[i].text, &name) != LineKind::Header || !SameName(name, section)) {
            continue;
        }
        size_t end = i + 1;
        std::string_view ignored;
        while (end < lines.size() && KindOf(lines[end].text, &ignored) == LineKind::Other) {
            ++end;
        }
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, SectionRange range,
                              std::string_view key) {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        auto keyLine = KeyLineOf(lines[i].text);
        if (keyLine && SameName(keyLine->key, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string JoinLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& line : lines) {
        out += line.text;
        out += line.terminator;
    }
    return out;
}

[[noreturn]] void ThrowReadOnly(const std::string& gbkPath) {
    throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + std::strerror(EACCES));
}

// A read-only file is not replaced even where the directory would allow it (and even for
// root, who could write it anyway): read-only is how a user protects the file.
void CheckWritable(const std::string& gbkPath) {
    const std::string osPath = OsPath(gbkPath);
    struct stat st {};
    if (::stat(osPath.c_str(), &st) != 0) {
        return;
    }
    if ((st.st_mode & 0222) == 0 || ::access(osPath.c_str(), W_OK) != 0) {
        ThrowReadOnly(gbkPath);
    }
}

// The file a write replaces: the target of a symbolic link, so that the link stays a link
// and the file it points to gets the new content.
std::string ReplacementTarget(const std::string& gbkPath) {
    const std::string osPath = OsPath(gbkPath);
    struct stat st {};
    if (::lstat(osPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return gbkPath;
    }
    char* resolved = ::realpath(osPath.c_str(), nullptr);
    if (resolved == nullptr) {
        return gbkPath;  // a dangling link is replaced by the file itself
    }
    const std::string target(resolved);
    std::free(resolved);
    return Utf8ToGbk(target);
}

}  // namespace

std::string TProfileFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    if (!IsValidSectionName(section) || !IsValidKeyName(key)) {
        return std::string(defaultValue);
    }
    FileContent content = LoadFile(path_);
    if (content.state != FileState::Loaded) {
        return std::string(defaultValue);
    }
    std::vector<Line> lines = SplitLines(content.bytes);
    auto range = FindSection(lines, section);
    if (!range) {
        return std::string(defaultValue);
    }
    auto index = FindKey(lines, *range, key);
    if (!index) {
        return std::string(defaultValue);
    }
    std::string value = UnescapeValue(KeyLineOf(lines[*index].text)->value);
    if (value.size() > kMaxProfileValueLength) {
        value.resize(kMaxProfileValueLength);
    }
    return value;
}

std::int32_t TProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const {
    return TryStrToInt(ReadString(section, key, "")).value_or(defaultValue);
}

void TProfileFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) const {
    if (!IsValidSectionName(section)) {
        throw EProfileError("Invalid section name \"" + std::string(section) + "\" for file \"" +
                            path_ + "\"");
    }
    if (!IsValidKeyName(key)) {
        throw EProfileError("Invalid key name \"" + std::string(key) + "\" for file \"" + path_ +
                            "\"");
    }
    FileContent content = LoadFile(path_);
    switch (content.state) {
        case FileState::Missing:
        case FileState::Loaded:
            break;
        case FileState::TooLarge:
            throw EProfileError("Cannot write file \"" + path_ + "\". It is larger than " +
                                std::to_string(kMaxProfileFileSize / (1024 * 1024)) +
                                " MiB and is left unchanged");
        case FileState::Unreadable:
            throw EProfileError("Cannot write file \"" + path_ + "\". It cannot be read (" +
                                content.reason + ") and is left unchanged");
    }
    CheckWritable(path_);

    std::vector<Line> lines = SplitLines(content.bytes);
    Line keyLine{std::string(key) + "=" + EscapeValue(value), kLineBreak};
    // A new line must not run on from a last line that has no line break of its own.
    auto breakLineBefore = [&lines](size_t index) {
        if (index > 0 && lines[index - 1].terminator.empty()) {
            lines[index - 1].terminator = kLineBreak;
        }
    };
    if (auto range = FindSection(lines, section)) {
        if (auto index = FindKey(lines, *range, key)) {
            lines[*index].text = keyLine.text;
        } else {
            // After the section's last non-blank line, so blank lines separating it from the
            // next section stay where they are.
            size_t insertAt = range->end;
            while (insertAt > range->header + 1 && StripBlanks(lines[insertAt - 1].text).empty()) {
                --insertAt;
            }
            breakLineBefore(insertAt);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), keyLine);
        }
    } else {
        breakLineBefore(lines.size());
        lines.push_back({"[" + std::string(section) + "]", kLineBreak});
        lines.push_back(keyLine);
    }
    ReplaceFileAtomically(ReplacementTarget(path_), JoinLines(lines), 0600);
}

void TProfileFile::WriteInteger(std::string_view section, std::string_view key,
                                std::int32_t value) const {
    WriteString(section, key, IntToStr(value));
}

std::string SettingsFilePath() {
    return DataDirectory() + SettingsFileName();
}

}  // namespace velomaris
