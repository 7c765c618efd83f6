// The command and reply exchange of TIdTCPConnection: one command line, one numbered reply of
// one or more lines (RFC 959 section 4.2).
#include "net/IdTCPConnection.h"
#include "net/NetworkLimits.h"
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

std::string TIdTCPConnection::ReadReplyLine(int& lines, std::size_t& bytes) {
    for (;;) {
        std::string line = ReadLine();
        bytes += line.size() + 2;
        // Blank lines before a line count too: an endless run of them is no reply either.
        if (++lines > limits::kMaxReplyLines || bytes > limits::kMaxReplyBytes) {
            CloseConnection();
            throw EIdReplyTooLarge("The server's reply is longer than " +
                                   std::to_string(limits::kMaxReplyLines) + " lines or " +
                                   std::to_string(limits::kMaxReplyBytes) +
                                   " bytes; the connection was closed.");
        }
        line = Trim(line);
        if (!line.empty()) {
            return line;
        }
    }
}

void TIdTCPConnection::ReadRawReply() {
    int lineCount = 0;
    std::size_t byteCount = 0;
    std::vector<std::string> lines;
    lines.push_back(ReadReplyLine(lineCount, byteCount));
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        // A multi-line reply ends with the line that starts with the same code and a blank.
        const std::string endMark = first.substr(0, 3) + " ";
        for (;;) {
            std::string line = ReadReplyLine(lineCount, byteCount);
            lines.push_back(line);
            if (line.size() < 4 || SameTextAscii(line.substr(0, 4), endMark)) {
                break;
            }
        }
    }
    lastReply_.ParseReply(lines);
}

}  // namespace velomaris
