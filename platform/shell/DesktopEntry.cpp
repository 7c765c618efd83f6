#include "platform/shell/DesktopEntry.h"

#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/shell/ShellError.h"

namespace velomaris {

std::string DesktopEntryString(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                // Readers trim blanks after "=", so a leading one must be escaped.
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
                    throw EShellError("A desktop entry cannot hold the control character " +
                                      std::to_string(static_cast<unsigned char>(c)));
                }
                out += c;
        }
    }
    return out;
}

std::string DesktopEntryExecArgument(std::string_view utf8) {
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return DesktopEntryString(quoted);
}

std::optional<std::string> ProgramIconValue(const std::string& gbkExecutablePath) {
    const size_t slash = gbkExecutablePath.rfind('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const std::string icon = gbkExecutablePath.substr(0, slash + 1) + kProgramIconFileName;
    struct stat st {};
    if (::stat(OsPath(icon).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return DesktopEntryString(GbkToUtf8(icon));
}

std::string DesktopEntryText(const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[Desktop Entry]\n";
    for (const auto& [key, value] : keys) {
        text += key + "=" + value + "\n";
    }
    return text;
}

}  // namespace velomaris
