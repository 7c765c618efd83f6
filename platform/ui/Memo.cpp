#include "platform/ui/Memo.h"

#include "platform/Files.h"
#include "platform/Stream.h"

namespace velomaris {

std::string AdjustLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

void TMemo::LoadFromFile(const std::string& gbkPath) {
    SetText(AdjustLineBreaks(ReadWholeFile(gbkPath)));
}

void TMemo::SaveToFile(const std::string& gbkPath) const {
    ReplaceFileAtomically(gbkPath, Text());
}

}  // namespace velomaris
