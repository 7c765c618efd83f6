// A multi-line text buffer holding GBK bytes.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/Component.h"

namespace velomaris {

class TMemo : public TControl {
public:
    using TControl::TControl;

    // Replaces the text with the file's bytes, every lone CR and every lone LF turned into
    // CR LF (CR LF pairs stay). Raises EFOpenError or EReadError and then keeps the old text.
    void LoadFromFile(const std::string& gbkPath);
    // Writes the text unchanged (no line break added), replacing the file in one step so a
    // failure never leaves it half-written. Raises EFCreateError.
    void SaveToFile(const std::string& gbkPath) const;
};

// Turns every lone CR and every lone LF into CR LF.
std::string AdjustLineBreaks(std::string_view text);

}  // namespace velomaris
