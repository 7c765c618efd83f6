#include "app/BrowserDocument.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/Text.h"

namespace velomaris {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
// A <meta> declaration counts only this near the start, as in browsers.
constexpr size_t kMetaScanBytes = 1024;

// Labels that name GBK itself, a subset of it, or ASCII: the bytes are already GBK.
constexpr std::array<std::string_view, 14> kGbkLabels = {
    "gbk",        "gb2312",    "cp936",   "x-gbk",           "windows-936", "ms936", "csgb2312",
    "gb_2312-80", "iso-ir-58", "chinese", "csiso58gb231280", "us-ascii",    "ascii", "csgb231280"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == ':';
}

// The label as it may reach iconv: lower-case letters, digits and "-_.:" only, else "".
std::string CleanLabel(std::string_view raw) {
    std::string label = LowerAscii(Trim(raw));
    if (label.size() >= 2 && (label.front() == '"' || label.front() == '\'') &&
        label.back() == label.front()) {
        label = label.substr(1, label.size() - 2);
    }
    if (label.empty() || label.size() > 40) {
        return {};
    }
    for (char c : label) {
        if (!IsLabelChar(c)) {
            return {};
        }
    }
    return label;
}

std::string MediaType(std::string_view contentType) {
    return LowerAscii(Trim(contentType.substr(0, contentType.find(';'))));
}

std::string CharsetParameter(std::string_view contentType) {
    size_t at = contentType.find(';');
    while (at != std::string_view::npos) {
        const std::string_view rest = contentType.substr(at + 1);
        const size_t next = rest.find(';');
        const std::string_view parameter = rest.substr(0, next);
        const size_t equals = parameter.find('=');
        if (equals != std::string_view::npos &&
            SameTextAscii(Trim(parameter.substr(0, equals)), "charset")) {
            return CleanLabel(parameter.substr(equals + 1));
        }
        at = next == std::string_view::npos ? next : at + 1 + next;
    }
    return {};
}

// <meta charset="x"> or <meta http-equiv="Content-Type" content="text/html; charset=x">.
std::string MetaCharset(std::string_view body) {
    const std::string head = LowerAscii(body.substr(0, kMetaScanBytes));
    for (size_t meta = head.find("<meta"); meta != std::string::npos;
         meta = head.find("<meta", meta + 5)) {
        const size_t end = head.find('>', meta);
        const std::string_view tag = std::string_view(head).substr(
            meta, end == std::string::npos ? std::string::npos : end - meta);
        const size_t name = tag.find("charset");
        if (name == std::string_view::npos) {
            continue;
        }
        size_t i = name + 7;
        while (i < tag.size() && IsBlank(tag[i])) {
            ++i;
        }
        if (i >= tag.size() || tag[i] != '=') {
            continue;
        }
        ++i;
        while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '"' || tag[i] == '\'')) {
            ++i;
        }
        size_t stop = i;
        while (stop < tag.size() && IsLabelChar(tag[stop])) {
            ++stop;
        }
        const std::string label = CleanLabel(tag.substr(i, stop - i));
        if (!label.empty()) {
            return label;
        }
    }
    return {};
}

bool IsGbkLabel(std::string_view label) {
    for (std::string_view gbk : kGbkLabels) {
        if (label == gbk) {
            return true;
        }
    }
    return false;
}

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return handle_; }

private:
    iconv_t handle_;
};

void AppendCodePoint(std::string& utf32, std::uint32_t codePoint) {
    for (int shift = 0; shift < 32; shift += 8) {
        utf32.push_back(static_cast<char>((codePoint >> shift) & 0xFF));
    }
}

std::uint32_t CodePointAt(std::string_view utf32, size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(utf32[at + static_cast<size_t>(i)]);
    }
    return value;
}

// Runs one iconv conversion over the whole input; onInvalid is told the input offset of each
// sequence the converter refuses and returns how many input bytes to skip (at least 1).
template <class OnInvalid>
void ConvertAll(iconv_t cd, std::string_view input, std::string& out, OnInvalid onInvalid) {
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    std::array<char, 8192> buffer;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1) || error == E2BIG) {
            continue;
        }
        const size_t offset = input.size() - inLeft;
        // EINVAL: the input ends inside a sequence, which counts as one invalid sequence.
        const size_t skip = std::min(inLeft, onInvalid(offset));
        if (error == EINVAL) {
            break;
        }
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    }
}

std::string ConvertToGbk(std::string_view body, const std::string& label) {
    Converter decode("UTF-32LE", label.c_str());
    if (!decode.Valid()) {
        return std::string(body);  // an unknown set: taken as GBK, like an undeclared one
    }
    // First into code points: an invalid byte becomes "?".
    std::string utf32;
    ConvertAll(decode.Get(), body, utf32, [&utf32](size_t) -> size_t {
        AppendCodePoint(utf32, '?');
        return 1;
    });
    // Then into GBK: a character GBK lacks becomes a numeric character reference.
    Converter encode("GBK", "UTF-32LE");
    std::string gbk;
    if (!encode.Valid()) {
        return std::string(body);
    }
    ConvertAll(encode.Get(), utf32, gbk, [&gbk, &utf32](size_t offset) -> size_t {
        if (offset + 4 <= utf32.size()) {
            gbk += "&#" + std::to_string(CodePointAt(utf32, offset)) + ";";
        }
        return 4;
    });
    return gbk;
}

std::string_view WithoutBom(std::string_view body) {
    for (std::string_view bom : {kUtf8Bom, kUtf16LeBom, kUtf16BeBom}) {
        if (body.starts_with(bom)) {
            return body.substr(bom.size());
        }
    }
    return body;
}

bool StartsTag(std::string_view text, size_t at, std::string_view name) {
    if (at + 1 + name.size() > text.size() || text[at] != '<' ||
        !SameTextAscii(text.substr(at + 1, name.size()), name)) {
        return false;
    }
    const size_t after = at + 1 + name.size();
    return after == text.size() || IsBlank(text[after]) || text[after] == '>' || text[after] == '/';
}

}  // namespace

bool IsHtmlDocument(std::string_view contentType, std::string_view body) {
    const std::string media = MediaType(contentType);
    if (!media.empty()) {
        return media == "text/html" || media == "application/xhtml+xml";
    }
    body = WithoutBom(body);
    size_t i = 0;
    while (i < body.size() && IsBlank(body[i])) {
        ++i;
    }
    return i < body.size() && body[i] == '<';
}

std::string DocumentCharset(std::string_view contentType, std::string_view body) {
    if (body.starts_with(kUtf8Bom)) {
        return "utf-8";
    }
    if (body.starts_with(kUtf16LeBom)) {
        return "utf-16le";
    }
    if (body.starts_with(kUtf16BeBom)) {
        return "utf-16be";
    }
    std::string label = CharsetParameter(contentType);
    return label.empty() ? MetaCharset(body) : label;
}

std::string DocumentTextToGbk(std::string_view contentType, std::string_view body) {
    const std::string label = DocumentCharset(contentType, body);
    if (label.empty() || IsGbkLabel(label)) {
        return std::string(body);
    }
    return ConvertToGbk(WithoutBom(body), label);
}

std::string PageHtml(std::string_view contentType, std::string_view body) {
    std::string text = DocumentTextToGbk(contentType, body);
    // "<" is below 0x40, so it is never the second byte of a GBK character.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 4, "<!--") == 0) {
            const size_t end = text.find("-->", i + 4);
            if (end == std::string::npos) {
                break;
            }
            i = end + 2;
        } else if (StartsTag(text, i, "html")) {
            // Cut in place: a large page is not held twice.
            text.erase(0, i);
            return text;
        }
    }
    return text;
}

}  // namespace velomaris
