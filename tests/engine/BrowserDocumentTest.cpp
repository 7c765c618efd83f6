// What counts as an HTML document, its character set and its page HTML.
#include <gtest/gtest.h>

#include <string>

#include "app/BrowserDocument.h"

namespace velomaris {
namespace {

// "中文" in GBK and in UTF-8.
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(BrowserDocumentTest, OnlyHtmlMediaTypesOrUntypedMarkupAreDocuments) {
    struct Case {
        const char* contentType;
        std::string body;
        bool html;
    };
    const Case cases[] = {
        {"text/html", "anything", true},
        {"Text/HTML; charset=gbk", "", true},
        {" application/xhtml+xml ", "<html/>", true},
        {"text/plain", "<html></html>", false},
        {"image/png", "\x89PNG", false},
        {"application/json", "{}", false},
        {"application/octet-stream", "<html>", false},
        {"", "  \r\n<!DOCTYPE html><html>", true},
        {"", "\xEF\xBB\xBF<html>", true},
        {"", "plain words", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsHtmlDocument(c.contentType, c.body), c.html)
            << "'" << c.contentType << "' / '" << c.body << "'";
    }
}

TEST(BrowserDocumentTest, TheCharsetComesFromTheMarkTheHeaderOrAMetaDeclaration) {
    struct Case {
        const char* contentType;
        std::string body;
        const char* charset;
    };
    const Case cases[] = {
        {"text/html; charset=UTF-8", "<html>", "utf-8"},
        {"text/html;charset=\"GB2312\"", "<html>", "gb2312"},
        {"text/html; q=1; Charset = big5 ", "<html>", "big5"},
        {"text/html", "<html><head><meta charset=\"utf-8\">", "utf-8"},
        {"text/html",
         "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">",
         "gbk"},
        // The header wins over the document, a byte-order mark over both.
        {"text/html; charset=gbk", "<meta charset=utf-8>", "gbk"},
        {"text/html; charset=gbk", "\xEF\xBB\xBF<html>", "utf-8"},
        {"text/html", "\xFF\xFE<\0h\0", "utf-16le"},
        // Too late in the document, or not a label at all.
        {"text/html", std::string(1100, ' ') + "<meta charset=utf-8>", ""},
        {"text/html; charset=\"bad label!\"", "<html>", ""},
        {"text/html", "<html>", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DocumentCharset(c.contentType, c.body), c.charset) << c.contentType;
    }
}

TEST(BrowserDocumentTest, TextBecomesGbkWithoutEverFailing) {
    struct Case {
        const char* contentType;
        std::string body;
        std::string gbk;
    };
    const Case cases[] = {
        // GBK, its subsets and undeclared text are kept byte for byte, invalid bytes too.
        {"text/html", kChineseGbk, kChineseGbk},
        {"text/html; charset=gb2312", kChineseGbk + "\xFF\x80", kChineseGbk + "\xFF\x80"},
        {"text/html; charset=x-no-such-set", "\xFF" + kChineseGbk, "\xFF" + kChineseGbk},
        // Other sets are converted; what GBK lacks becomes a character reference.
        {"text/html; charset=utf-8", kChineseUtf8 + "\xF0\x9F\x98\x80", kChineseGbk + "&#128512;"},
        {"text/html; charset=utf-8",
         "\xEF\xBB\xBF"
         "a",
         "a"},
        {"text/html; charset=iso-8859-1", "caf\xE9", "caf\xA8\xA6"},
        // Broken sequences of the declared set become "?", a cut one at the end too.
        {"text/html; charset=utf-8",
         "a\xFF"
         "b\xE4\xB8",
         "a?b?"},
        {"text/html; charset=utf-16le", std::string("a\0", 2) + "\x2D\x4E",
         "a" + kChineseGbk.substr(0, 2)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DocumentTextToGbk(c.contentType, c.body), c.gbk) << c.contentType;
    }
}

TEST(BrowserDocumentTest, PageHtmlStartsAtTheRootElementAndKeepsTheRestAsReceived) {
    struct Case {
        std::string body;
        std::string html;
    };
    const Case cases[] = {
        {"<!DOCTYPE html>\r\n<html>\r\n<body>x</body>\r\n</html>\r\n",
         "<html>\r\n<body>x</body>\r\n</html>\r\n"},
        {"<!-- <html> in a comment --><HTML lang=\"zh\">\n<b>\n", "<HTML lang=\"zh\">\n<b>\n"},
        {"  <html>", "<html>"},
        // "<htmlx" is no root element; without one the document is taken whole.
        {"<htmlx><p>a</p>", "<htmlx><p>a</p>"},
        {"<p>no root</p>", "<p>no root</p>"},
        {"<!-- unterminated <html>", "<!-- unterminated <html>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageHtml("text/html", c.body), c.html) << c.body;
    }
    // Converted before the cut: a UTF-8 page gives GBK bytes from its root element on.
    EXPECT_EQ(PageHtml("text/html; charset=utf-8",
                       "\xEF\xBB\xBF<!doctype html><html>" + kChineseUtf8 + "</html>"),
              "<html>" + kChineseGbk + "</html>");
}

}  // namespace
}  // namespace velomaris
