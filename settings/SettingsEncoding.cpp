#include "settings/SettingsEncoding.h"

#include <fstream>
#include <iterator>
#include <set>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// Larger files are never read as settings either.
constexpr std::streamsize kMaxSettingsBytes = 16 * 1024 * 1024;

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The names of the section headers of the file, lower-cased in ASCII.
std::set<std::string> SectionHeaders(const std::string& bytes) {
    std::set<std::string> headers;
    std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::size_t open = bytes.find_first_not_of(" \t", start);
        if (open < end && bytes[open] == '[') {
            const std::size_t close = bytes.find(']', open);
            if (close != std::string::npos && close < end) {
                headers.insert(AsciiLower(bytes.substr(open + 1, close - open - 1)));
            }
        }
        start = end + 1;
    }
    return headers;
}

}  // namespace

bool HoldsSectionsOnlyInUtf8(const std::string& gbkPath,
                             const std::vector<std::string>& gbkSectionNames) {
    std::string bytes;
    try {
        std::ifstream file(OsPath(gbkPath), std::ios::binary);
        if (!file) {
            return false;
        }
        bytes.resize(static_cast<std::size_t>(kMaxSettingsBytes) + 1);
        file.read(bytes.data(), kMaxSettingsBytes + 1);
        if (file.gcount() > kMaxSettingsBytes) {
            return false;
        }
        bytes.resize(static_cast<std::size_t>(file.gcount()));
    } catch (const std::exception&) {
        return false;
    }
    const std::set<std::string> headers = SectionHeaders(bytes);
    bool anyUtf8 = false;
    for (const std::string& name : gbkSectionNames) {
        if (headers.count(AsciiLower(name)) != 0) {
            return false;
        }
        try {
            anyUtf8 = anyUtf8 || headers.count(AsciiLower(GbkToUtf8(name))) != 0;
        } catch (const ETextConversionError&) {
            // A name with no UTF-8 form cannot have been written in UTF-8 either.
        }
    }
    return anyUtf8;
}

}  // namespace velomaris
