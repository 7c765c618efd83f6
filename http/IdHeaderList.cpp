#include "http/IdHeaderList.h"

#include "platform/Text.h"

namespace velomaris {

namespace {

constexpr std::string_view kSeparator = ": ";
constexpr std::string_view kBreakText = "\r\n ";

bool IsFoldBreakByte(char byte) {
    return byte == '\t' || byte == ' ' || byte == ',';
}

bool IsSkippedAfterFold(char byte) {
    return IsFoldBreakByte(byte) || byte == '\r' || byte == '\n';
}

std::string TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    return std::string(text.substr(0, end));
}

}  // namespace

void TIdHeaderList::Insert(int index, std::string line) {
    lines_.insert(lines_.begin() + index, std::move(line));
}

void TIdHeaderList::Delete(int index) {
    lines_.erase(lines_.begin() + index);
}

std::string TIdHeaderList::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string TIdHeaderList::NameAt(int index) const {
    const std::string& line = (*this)[index];
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return {};
    }
    return UpperAscii(std::string_view(line).substr(0, colon));
}

int TIdHeaderList::FindHeader(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        if (SameTextAscii(NameAt(i), name)) {
            return i;
        }
    }
    return -1;
}

bool TIdHeaderList::IsContinuation(int index) const {
    if (index < 0 || index >= Count()) {
        return false;
    }
    const std::string& line = (*this)[index];
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string TIdHeaderList::ValueAt(int index) const {
    if (index < 0 || index >= Count()) {
        return {};
    }
    const std::string& line = (*this)[index];
    const size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
    // Continuation lines (RFC 2616 section 2.2, LWS): each joins with a single space.
    for (int next = index + 1; IsContinuation(next); ++next) {
        value = Trim(value) + " " + Trim((*this)[next]);
    }
    return Trim(value);
}

std::string TIdHeaderList::HeaderValue(std::string_view name) const {
    return ValueAt(FindHeader(name));
}

void TIdHeaderList::CollectValues(std::string_view name, TIdHeaderList& list) const {
    for (int i = 0; i < Count(); ++i) {
        if (SameTextAscii(NameAt(i), name)) {
            list.Add(ValueAt(i));
        }
    }
}

void TIdHeaderList::CollectValues(std::string_view name, std::vector<std::string>& values) const {
    for (int i = 0; i < Count(); ++i) {
        if (SameTextAscii(NameAt(i), name)) {
            values.push_back(ValueAt(i));
        }
    }
}

void TIdHeaderList::DeleteContinuations(int index) {
    while (IsContinuation(index + 1)) {
        Delete(index + 1);
    }
}

void TIdHeaderList::SetHeader(std::string_view name, std::string_view value) {
    int index = FindHeader(name);
    if (value.empty()) {
        if (index >= 0) {
            DeleteContinuations(index);
            Delete(index);
        }
        return;
    }
    if (index < 0) {
        Add({});
        index = Count() - 1;
    }
    DeleteContinuations(index);
    std::string line(name);
    line += kSeparator;
    line += value;
    std::vector<std::string> pieces = FoldLine(line, FoldWidth);
    lines_[static_cast<size_t>(index)] = std::move(pieces.front());
    for (size_t i = 1; i < pieces.size(); ++i) {
        Insert(index + static_cast<int>(i), std::move(pieces[i]));
    }
}

// Long header lines are folded at a TAB, space or comma outside double quotes, continuing on
// a line that begins with a space (RFC 2616 section 2.2). A CR LF space already in the line
// is kept as a break of its own, and the two bytes of a GBK character are never separated.
std::vector<std::string> TIdHeaderList::FoldLine(std::string_view line, int foldWidth) {
    const size_t size = line.size();
    std::string folded;
    size_t pieceStart = 0;
    constexpr size_t kNoBreak = std::string_view::npos;
    size_t lastBreak = kNoBreak;
    bool existingBreak = false;
    bool inQuotes = false;
    long column = 0;  // column of the byte just read, counted from 1 in each piece
    size_t pos = 0;
    while (pos < size) {
        const char byte = line[pos];
        const bool quote = byte == '"';
        if (IsGbkLeadByte(static_cast<unsigned char>(byte)) && pos + 1 < size) {
            pos += 2;
            column += 2;
        } else {
            if (quote) {
                inQuotes = !inQuotes;
            } else if (!inQuotes) {
                if (IsFoldBreakByte(byte)) {
                    lastBreak = pos;
                } else if (byte == '\r' && line.substr(pos, 3) == kBreakText) {
                    pos += 2;
                    column += 2;
                    lastBreak = pos;
                    existingBreak = true;
                }
            }
            ++pos;
            ++column;
        }
        if (inQuotes || !(existingBreak || (column > foldWidth && lastBreak != kNoBreak))) {
            continue;
        }
        const size_t breakPos = lastBreak;
        folded.append(line.substr(pieceStart, breakPos + 1 - pieceStart));
        column = static_cast<long>(pos - (breakPos + 1));
        if (!quote) {
            while (pos < size && IsSkippedAfterFold(line[pos])) {
                ++pos;
            }
        }
        if (!existingBreak && size - pos > 1) {
            folded += kBreakText;
        }
        pieceStart = breakPos + 1;
        lastBreak = kNoBreak;
        existingBreak = false;
    }
    folded.append(line.substr(pieceStart));

    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = folded.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(TrimRight(std::string_view(folded).substr(start)));
            break;
        }
        lines.push_back(TrimRight(std::string_view(folded).substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

}  // namespace velomaris
