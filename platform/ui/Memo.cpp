#include "platform/ui/Memo.h"

#include "platform/Files.h"
#include "platform/LineBreaks.h"
#include "platform/Stream.h"

namespace velomaris {

std::string AdjustLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    TLineBreakNormalizer().Append(text, out);
    return out;
}

void TMemo::LoadFromFile(const std::string& gbkPath) {
    SetText(AdjustLineBreaks(ReadWholeFile(gbkPath)));
}

void TMemo::SaveToFile(const std::string& gbkPath) const {
    ReplaceFileAtomically(gbkPath, Text());
}

}  // namespace velomaris
