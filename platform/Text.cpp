#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>
#include <limits>

#include "platform/Exception.h"

namespace velomaris {

namespace {

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            throw ETextConversionError(std::string("Text conversion from ") + from + " to " + to +
                                       " is not available");
        }
    }
    ~IconvHandle() { iconv_close(handle_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

std::string Convert(std::string_view input, const char* to, const char* from) {
    IconvHandle cd(to, from);
    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t done = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + done;
        size_t outLeft = out.size() - done;
        size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        size_t offset = input.size() - inLeft;
        throw ETextConversionError(std::string("Cannot convert text from ") + from + " to " + to +
                                   ": invalid byte sequence at offset " + std::to_string(offset));
    }
    out.resize(done);
    return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return Convert(gbk, "UTF-8", "GBK");
}

std::string Utf8ToGbk(std::string_view utf8) {
    return Convert(utf8, "GBK", "UTF-8");
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::optional<std::int32_t> TryStrToInt(std::string_view input) {
    std::string text(input);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.replace(0, 2, "$");
    }
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    if (hex) {
        std::uint64_t value = 0;
        for (; i < text.size(); ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull) {
                return std::nullopt;
            }
        }
        // The 32-bit pattern is taken as signed, then negated when "-" was given.
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative) {
            bits = 0u - bits;
        }
        return static_cast<std::int32_t>(bits);
    }
    // The sign is already taken: a second one is not a digit.
    if (!IsAsciiDigit(text[i])) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> magnitude =
        TryParseDecimalInt64(std::string_view(text).substr(i));
    if (!magnitude || *magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -*magnitude : *magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int64_t> TryParseDecimalInt64(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    for (; i < text.size(); ++i) {
        if (!IsAsciiDigit(text[i])) {
            return std::nullopt;
        }
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        return magnitude == limit ? std::numeric_limits<std::int64_t>::min()
                                  : -static_cast<std::int64_t>(magnitude);
    }
    return static_cast<std::int64_t>(magnitude);
}

std::int32_t StrToInt(std::string_view text) {
    if (auto value = TryStrToInt(text)) {
        return *value;
    }
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::string CutToken(std::string& text, std::size_t pos, std::size_t delimiterLength) {
    if (pos == std::string::npos) {
        std::string token = std::move(text);
        text.clear();
        return token;
    }
    std::string token = text.substr(0, pos);
    text.erase(0, pos + delimiterLength);
    return token;
}

std::string IntToStr(std::int64_t value) {
    return std::to_string(value);
}

namespace {
char LowerByte(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperByte(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerByte(a[i]) != LowerByte(b[i])) {
            return false;
        }
    }
    return true;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = LowerByte(c);
    }
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = UpperByte(c);
    }
    return out;
}

}  // namespace velomaris
