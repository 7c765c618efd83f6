#include "settings/ValueEscape.h"

#include "platform/Text.h"

namespace velomaris {

bool NeedsEscape(std::string_view value) {
    if (value.empty()) {
        return false;
    }
    if (IsTrimmedBlank(value.front()) || IsTrimmedBlank(value.back())) {
        return true;
    }
    for (char c : value) {
        if (IsLineControlByte(c)) {
            return true;
        }
    }
    return false;
}

std::string EscapeValue(std::string_view value) {
    if (!NeedsEscape(value)) {
        return std::string(value);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(1, kEscapedValueMark);
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool atEnd = i == 0 || i + 1 == value.size();
        if (IsLineControlByte(c) || c == '\\' || (atEnd && IsTrimmedBlank(c))) {
            const auto byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeValue(std::string_view stored) {
    if (stored.empty() || stored.front() != kEscapedValueMark) {
        return std::string(stored);
    }
    std::string out;
    out.reserve(stored.size());
    for (size_t i = 1; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 3 < stored.size() && stored[i + 1] == 'x') {
            const int high = HexDigitValue(stored[i + 2]);
            const int low = HexDigitValue(stored[i + 3]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

}  // namespace velomaris
