// The header list on any lines: lookups, unfolding and folding never fail, folding keeps every
// byte above 32 in its order, a value set reads back with the same bytes (folding moves only
// blanks), and an empty value removes the header.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/support/FuzzInput.h"
#include "http/IdHeaderList.h"
#include "platform/Text.h"

using namespace velomaris;
using namespace velomaris::fuzz;

namespace {

// The bytes that trimming keeps: every byte above 32 (folding trims the others at a fold).
std::string WithoutBlanks(const std::string& text) {
    std::string kept;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 32) {
            kept += c;
        }
    }
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int width = 1 + input.Byte() % 120;
    std::string name = input.Part();
    std::string value = input.Part();
    const std::string block = input.Rest();

    // A received header block, one line per CR LF.
    TIdHeaderList list(width);
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t end = block.find("\r\n", start);
        if (end == std::string::npos) {
            end = block.size();
        }
        list.Add(block.substr(start, end - start));
        start = end + 2;
    }
    for (int i = 0; i < list.Count(); ++i) {
        (void)list.NameAt(i);
        (void)list.ValueAt(i);
    }
    (void)list.Text();
    (void)list.HeaderValue(name);
    std::vector<std::string> values;
    list.CollectValues(name, values);

    // Folding a line keeps its bytes: only blanks move.
    const std::string line = name + ": " + value;
    std::string joined;
    for (const std::string& piece : TIdHeaderList::FoldLine(line, width)) {
        joined += piece;
    }
    Require(WithoutBlanks(joined) == WithoutBlanks(line), "folding keeps every byte above 32",
            line);

    // A value set under a plain name reads back as set, whatever the fold width did to it.
    // A field name is a token (RFC 9110 section 5.6.2): no blank, comma or colon to fold at.
    bool plainName = !name.empty();
    for (const char c : name) {
        plainName =
            plainName && (std::isalnum(static_cast<unsigned char>(c)) != 0 ||
                          std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos);
    }
    bool plainValue = true;
    for (const char c : value) {
        plainValue = plainValue && c != '"' && (c == '\t' || static_cast<unsigned char>(c) >= 32);
    }
    if (plainName && plainValue && !value.empty()) {
        list.SetHeader(name, value);
        // A fold at a comma comes back with a space after it.
        Require(WithoutBlanks(list.HeaderValue(name)) == WithoutBlanks(value),
                "a value set reads back as set",
                name + ": " + value + " -> " + list.HeaderValue(name));
        std::vector<std::string> before;
        list.CollectValues(name, before);
        list.SetHeader(name, "");
        std::vector<std::string> after;
        list.CollectValues(name, after);
        Require(after.size() + 1 == before.size(), "an empty value removes the header", name);
    }
    return 0;
}
