// The command and reply exchange of TIdTCPConnection: one command line, one numbered reply of
// one or more lines (RFC 959 section 4.2).
#include "net/IdTCPConnection.h"
#include "platform/Text.h"

namespace velomaris {

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, const TIdReplyCodes& allowed) {
    // Nothing is read first: a reply that arrived unasked would be taken as this answer.
    WriteLine(line);
    return ReadReply(allowed);
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, std::int16_t code) {
    return SendCommand(line, code == -1 ? TIdReplyCodes{} : TIdReplyCodes{code});
}

std::int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& allowed) {
    ReadRawReply();
    return CheckReplyCode(static_cast<std::int16_t>(lastReply_.NumericCode()), allowed);
}

std::int16_t TIdTCPConnection::CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed) {
    if (allowed.empty()) {
        return code;
    }
    for (std::int16_t candidate : allowed) {
        if (candidate == code) {
            return code;
        }
    }
    RaiseReplyError();
    return code;  // not reached: RaiseReplyError always raises
}

void TIdTCPConnection::RaiseReplyError() {
    throw EIdProtocolReplyError(lastReply_.NumericCode(), lastReply_.TextWithLineBreaks());
}

std::string TIdTCPConnection::ReadNonEmptyLine(std::int32_t maxAttempts) {
    std::string result;
    for (std::int32_t attempts = 0; result.empty() && attempts < maxAttempts; ++attempts) {
        result = Trim(ReadLine());
    }
    return result;
}

void TIdTCPConnection::ReadRawReply() {
    std::vector<std::string> lines;
    lines.push_back(ReadNonEmptyLine(INT32_MAX));
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        // A multi-line reply ends with the line that starts with the same code and a blank.
        const std::string endMark = first.substr(0, 3) + " ";
        for (;;) {
            std::string line = ReadNonEmptyLine(INT32_MAX);
            lines.push_back(line);
            if (line.size() < 4 || SameTextAscii(line.substr(0, 4), endMark)) {
                break;
            }
        }
    }
    lastReply_.ParseReply(lines);
}

}  // namespace velomaris
