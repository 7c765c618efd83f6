// What the headless browser makes of a response: whether it is an HTML document, in which
// character set it is written, and its page HTML (the text the site check compares).
#pragma once

#include <string>
#include <string_view>

namespace velomaris {

// True when the response is an HTML document: its media type is text/html or
// application/xhtml+xml, or, without a "Content-Type", its first byte after blanks (and a
// byte-order mark) is "<". Anything else (text/plain, an image, a download) is not.
bool IsHtmlDocument(std::string_view contentType, std::string_view body);

// The character set the document is written in, lower-case: a byte-order mark first, then
// the "charset" parameter of the "Content-Type" value, then a <meta> declaration within the
// first 1024 bytes; "" when none says.
std::string DocumentCharset(std::string_view contentType, std::string_view body);

// The body converted to GBK. Without a character set, or with one that is GBK, GB2312 or
// ASCII, or one this system does not know, the bytes are taken as GBK and kept as they are.
// Otherwise they are converted: a byte sequence that is invalid in the declared set becomes
// "?", a character GBK cannot hold becomes its numeric character reference ("&#8364;"), and
// a byte-order mark is dropped. Never raises for any input.
std::string DocumentTextToGbk(std::string_view contentType, std::string_view body);

// The page HTML of an HTML document: the body converted to GBK (above), from its root
// element on, that is from the first "<html" tag (letters in any case) to the end, exactly
// as received (no line breaks changed). What comes before the root element (blanks, a
// doctype, comments) is not part of it. A document without an "<html" tag is taken whole.
std::string PageHtml(std::string_view contentType, std::string_view body);

}  // namespace velomaris
