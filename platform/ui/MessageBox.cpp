#include "platform/ui/MessageBox.h"

namespace velomaris {

const char* IconName(TMessageBoxIcon icon) {
    switch (icon) {
        case TMessageBoxIcon::mbNone:
            return "none";
        case TMessageBoxIcon::mbWarning:
            return "warning";
        case TMessageBoxIcon::mbError:
            return "error";
        case TMessageBoxIcon::mbInformation:
            return "information";
        case TMessageBoxIcon::mbQuestion:
            return "question";
    }
    return "unknown";
}

std::string ErrorReportText(std::string_view message) {
    std::string text(message);
    // Compared as an unsigned byte: the trail byte of a GBK character is never at or before ".".
    if (!text.empty() &&
        static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
        text += '.';
    }
    return text;
}

}  // namespace velomaris
