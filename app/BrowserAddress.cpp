#include "app/BrowserAddress.h"

#include <optional>

#include "platform/Text.h"

namespace velomaris {

namespace {

// The five parts of RFC 3986 section 3; a missing part differs from an empty one. The
// delimiters searched for are all below 0x40, so none of them can be the second byte of a
// GBK character.
struct UriParts {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) {
        return letter;
    }
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Splits as the regular expression of RFC 3986 appendix B does.
UriParts Split(std::string_view text) {
    UriParts parts;
    const size_t colon = text.find_first_of(":/?#");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') {
        bool valid = true;
        for (size_t i = 0; i < colon && valid; ++i) {
            valid = IsSchemeChar(text[i], i == 0);
        }
        if (valid) {
            parts.scheme = std::string(text.substr(0, colon));
            text.remove_prefix(colon + 1);
        }
    }
    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const size_t end = text.find_first_of("/?#");
        parts.authority = std::string(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    const size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        parts.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    const size_t question = text.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    parts.path = std::string(text);
    return parts;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string input) {
    std::string output;
    auto dropLastSegment = [&output] {
        const size_t last = output.rfind('/');
        output.erase(last == std::string::npos ? 0 : last);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.erase(0, 3);
        } else if (input.starts_with("./")) {
            input.erase(0, 2);
        } else if (input.starts_with("/./")) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.erase(0, 3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            const size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            const size_t length = next == std::string::npos ? input.size() : next;
            output.append(input, 0, length);
            input.erase(0, length);
        }
    }
    return output;
}

// RFC 3986 section 5.2.3.
std::string MergePaths(const UriParts& base, const std::string& reference) {
    if (base.authority && base.path.empty()) {
        return "/" + reference;
    }
    const size_t slash = base.path.rfind('/');
    return (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) +
           reference;
}

// RFC 3986 section 5.3.
std::string Recompose(const UriParts& parts) {
    std::string result;
    if (parts.scheme) {
        result += *parts.scheme + ":";
    }
    if (parts.authority) {
        result += "//" + *parts.authority;
    }
    result += parts.path;
    if (parts.query) {
        result += "?" + *parts.query;
    }
    if (parts.fragment) {
        result += "#" + *parts.fragment;
    }
    return result;
}

}  // namespace

std::string ResolveReference(std::string_view base, std::string_view reference) {
    const std::string trimmed = Trim(reference);
    const UriParts r = Split(trimmed);
    const UriParts b = Split(base);
    UriParts t;
    // RFC 3986 section 5.2.2 (strict: a scheme in the reference always makes it absolute).
    if (r.scheme) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        if (r.authority) {
            t.authority = r.authority;
            t.path = RemoveDotSegments(r.path);
            t.query = r.query;
        } else {
            if (r.path.empty()) {
                t.path = b.path;
                t.query = r.query ? r.query : b.query;
            } else {
                t.path = RemoveDotSegments(r.path[0] == '/' ? r.path : MergePaths(b, r.path));
                t.query = r.query;
            }
            t.authority = b.authority;
        }
        t.scheme = b.scheme;
    }
    t.fragment = r.fragment;
    return Recompose(t);
}

std::string WithoutFragment(std::string_view address) {
    return std::string(address.substr(0, address.find('#')));
}

}  // namespace velomaris
