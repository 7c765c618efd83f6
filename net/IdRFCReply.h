// The record of one numbered reply ("220 Service ready", or several lines of the RFC 959
// multi-line form "230-...", ..., "230 ...").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velomaris {

class TIdRFCReply {
public:
    std::int32_t NumericCode() const { return numericCode_; }
    // A value above 0 also sets TextCode to its decimal text.
    void SetNumericCode(std::int32_t code);
    const std::string& TextCode() const { return textCode_; }
    // A non-empty value also sets NumericCode to its integer value, or 0 when not a number.
    void SetTextCode(const std::string& code);
    // The text of each reply line without its code part.
    std::vector<std::string> Text;

    void Clear();
    void Assign(const TIdRFCReply& other) { *this = other; }
    // Fills the record from the lines of one reply: the code is the first line's first 4
    // bytes trimmed (a trailing "-" dropped), each line contributes its text from the 5th byte.
    void ParseReply(const std::vector<std::string>& lines);
    // All text lines, each followed by CR LF (the message of a rejected reply).
    std::string TextWithLineBreaks() const;

private:
    std::int32_t numericCode_ = 0;
    std::string textCode_;
};

}  // namespace velomaris
