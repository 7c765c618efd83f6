#include "net/IdRFCReply.h"

#include "platform/Text.h"

namespace velomaris {

void TIdRFCReply::SetNumericCode(std::int32_t code) {
    numericCode_ = code;
    if (code > 0) {
        textCode_ = std::to_string(code);
    }
}

void TIdRFCReply::SetTextCode(const std::string& code) {
    textCode_ = code;
    if (!code.empty()) {
        numericCode_ = TryStrToInt(code).value_or(0);
    }
}

void TIdRFCReply::Clear() {
    numericCode_ = 0;
    textCode_.clear();
    Text.clear();
}

void TIdRFCReply::ParseReply(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty()) {
        return;
    }
    std::string code = Trim(lines.front().substr(0, 4));
    if (code.size() == 4 && code[3] == '-') {
        code.resize(3);
    }
    SetTextCode(code);
    for (const std::string& line : lines) {
        Text.push_back(line.size() > 4 ? line.substr(4) : std::string());
    }
}

std::string TIdRFCReply::TextWithLineBreaks() const {
    std::string message;
    for (const std::string& line : Text) {
        message += line;
        message += "\r\n";
    }
    return message;
}

}  // namespace velomaris
