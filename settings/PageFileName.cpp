#include "settings/PageFileName.h"

#include "platform/Text.h"

namespace velomaris {

namespace {

bool IsGbkTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
    const std::string trimmed = Trim(name);
    if (trimmed.empty() || trimmed == "." || trimmed == "..") {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\') {
            return false;
        }
        // The trail byte of a double-byte character is skipped, whatever its value.
        if (IsGbkLeadByte(byte) && i + 1 < name.size() &&
            IsGbkTrailByte(static_cast<unsigned char>(name[i + 1]))) {
            ++i;
        }
    }
    return true;
}

}  // namespace velomaris
