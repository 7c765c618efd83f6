// Redirect targets resolved as a browser resolves them.
#include <gtest/gtest.h>

#include "app/BrowserAddress.h"

namespace velomaris {
namespace {

struct Resolution {
    const char* base;
    const char* reference;
    const char* expected;
};

// RFC 3986 section 5.4 examples, and what redirects of real sites look like.
TEST(BrowserAddressTest, ReferencesResolveAgainstTheBase) {
    const Resolution cases[] = {
        {"http://a/b/c/d;p?q", "g", "http://a/b/c/g"},
        {"http://a/b/c/d;p?q", "./g", "http://a/b/c/g"},
        {"http://a/b/c/d;p?q", "g/", "http://a/b/c/g/"},
        {"http://a/b/c/d;p?q", "/g", "http://a/g"},
        {"http://a/b/c/d;p?q", "//g", "http://g"},
        {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y"},
        {"http://a/b/c/d;p?q", "g?y", "http://a/b/c/g?y"},
        {"http://a/b/c/d;p?q", "#s", "http://a/b/c/d;p?q#s"},
        {"http://a/b/c/d;p?q", "", "http://a/b/c/d;p?q"},
        {"http://a/b/c/d;p?q", ".", "http://a/b/c/"},
        {"http://a/b/c/d;p?q", "..", "http://a/b/"},
        {"http://a/b/c/d;p?q", "../g", "http://a/b/g"},
        {"http://a/b/c/d;p?q", "../../g", "http://a/g"},
        {"http://a/b/c/d;p?q", "../../../g", "http://a/g"},
        {"http://a/b/c/d;p?q", "/./g", "http://a/g"},
        {"http://a/b/c/d;p?q", "g..", "http://a/b/c/g.."},
        {"http://a/b/c/d;p?q", "./../g", "http://a/b/g"},
        {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y"},
        {"http://a/b/c/d;p?q", "g:h", "g:h"},
        // Absolute targets, including another scheme and another port.
        {"http://127.0.0.1:8080/index.php", "http://example.com/x", "http://example.com/x"},
        {"http://127.0.0.1:8080/index.php", "https://example.com/", "https://example.com/"},
        {"http://127.0.0.1:8080/index.php", "//other:81/p", "http://other:81/p"},
        // A base without a path, and blanks around a header value.
        {"http://host", "page.php", "http://host/page.php"},
        {"http://host:8080/dir/", "  next.php?a=1  ", "http://host:8080/dir/next.php?a=1"},
        // GBK bytes stay as they are.
        {"http://host/\xD6\xD0/a.php", "\xCE\xC4.php", "http://host/\xD6\xD0/\xCE\xC4.php"},
    };
    for (const Resolution& c : cases) {
        EXPECT_EQ(ResolveReference(c.base, c.reference), c.expected)
            << c.base << " + " << c.reference;
    }
}

TEST(BrowserAddressTest, TheFragmentIsNotPartOfTheRequest) {
    EXPECT_EQ(WithoutFragment("http://h/p?q=1#top"), "http://h/p?q=1");
    EXPECT_EQ(WithoutFragment("http://h/p"), "http://h/p");
}

}  // namespace
}  // namespace velomaris
