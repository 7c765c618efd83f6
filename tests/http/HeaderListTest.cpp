#include "http/IdHeaderList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velomaris {
namespace {

TIdHeaderList ListOf(const std::vector<std::string>& lines, int foldWidth = 78) {
    TIdHeaderList list(foldWidth);
    for (const std::string& line : lines) {
        list.Add(line);
    }
    return list;
}

TEST(HeaderListTest, ValuesAreReadByNameIgnoringCaseAndTrimmed) {
    struct Row {
        std::vector<std::string> lines;
        const char* name;
        const char* expected;
    };
    const Row rows[] = {
        {{"Content-Length:   512  "}, "Content-Length", "512"},
        {{"Content-Length:   512  "}, "content-LENGTH", "512"},
        {{"X-A:b"}, "X-A", "b"},
        {{"Host: a", "Host: b"}, "Host", "a"},
        {{"Name : v"}, "Name", ""},
        {{"Name : v"}, "Name ", "v"},
        {{"Location: http://h/x?a=b:c"}, "Location", "http://h/x?a=b:c"},
        {{"Empty:"}, "Empty", ""},
        {{"no colon here"}, "no colon here", ""},
        {{"A: value", " more", "\ttail", "B: next"}, "A", "value more tail"},
        {{"A:  value  ", "   more  "}, "A", "value more"},
        {{"A: x"}, "Absent", ""},
    };
    for (const Row& row : rows) {
        const TIdHeaderList list = ListOf(row.lines);
        EXPECT_EQ(list.HeaderValue(row.name), row.expected) << "name: \"" << row.name << "\"";
    }
}

TEST(HeaderListTest, NamesAreUpperCasedUpToTheFirstColon) {
    const TIdHeaderList list = ListOf({"Name : v", "x-a:b:c", "no colon", " cont: x"});
    EXPECT_EQ(list.NameAt(0), "NAME ");
    EXPECT_EQ(list.NameAt(1), "X-A");
    EXPECT_EQ(list.NameAt(2), "");
    EXPECT_EQ(list.FindHeader("name"), -1);
    EXPECT_EQ(list.FindHeader("X-a"), 1);
    EXPECT_EQ(list.ValueAt(1), "b:c");
    EXPECT_EQ(list.ValueAt(4), "");
    EXPECT_EQ(list.ValueAt(-1), "");
}

TEST(HeaderListTest, CollectValuesKeepsOrderAndUnfolds) {
    const TIdHeaderList list =
        ListOf({"Set-Cookie: a=1", "Server: x", "set-cookie: b=2", " ; path=/", "SET-COOKIE:c=3"});
    std::vector<std::string> values;
    list.CollectValues("Set-Cookie", values);
    EXPECT_EQ(values, (std::vector<std::string>{"a=1", "b=2 ; path=/", "c=3"}));

    TIdHeaderList into;
    into.Add("kept");
    list.CollectValues("set-cookie", into);
    EXPECT_EQ(into.Lines(), (std::vector<std::string>{"kept", "a=1", "b=2 ; path=/", "c=3"}));
}

TEST(HeaderListTest, SetHeaderReplacesInPlaceAppendsOrRemoves) {
    TIdHeaderList list = ListOf({"A: 1", "B: 2", " continued", "C: 3"});
    list.SetHeader("b", "new");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"A: 1", "b: new", "C: 3"}));

    list.SetHeader("D", "4");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"A: 1", "b: new", "C: 3", "D: 4"}));

    list.SetHeader("A", "");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"b: new", "C: 3", "D: 4"}));

    list.SetHeader("Absent", "");
    EXPECT_EQ(list.Count(), 3);

    TIdHeaderList folded = ListOf({"X: a", " b", "\tc", "Y: 1"});
    folded.SetHeader("X", "");
    EXPECT_EQ(folded.Lines(), (std::vector<std::string>{"Y: 1"}));
}

TEST(HeaderListTest, LongCookieIsFoldedIntoTwoLinesAtWidth1024) {
    std::string value;
    while (value.size() < 1100) {
        value += "a=1; ";
    }
    ASSERT_EQ(value.size(), 1100u);
    TIdHeaderList list(1024);
    list.Add("Host: h");
    list.SetHeader("Cookie", value);
    list.Add("Accept: x");

    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[0], "Host: h");
    EXPECT_EQ(list[1].rfind("Cookie: a=1;", 0), 0u);
    EXPECT_EQ(list[2][0], ' ');
    for (int i = 1; i <= 2; ++i) {
        EXPECT_LE(list[i].size(), 1024u) << i;
        EXPECT_NE(list[i].back(), ' ') << i;
    }
    // Unfolding gives back the value (without its trailing blank).
    EXPECT_EQ(list.HeaderValue("Cookie"), value.substr(0, value.size() - 1));
    EXPECT_EQ(list.HeaderValue("Accept"), "x");

    // Replacing the folded header removes its continuation line.
    list.SetHeader("Cookie", "short");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"Host: h", "Cookie: short", "Accept: x"}));
}

TEST(HeaderListTest, FoldingRules) {
    struct Row {
        const char* what;
        std::string line;
        int width;
        std::vector<std::string> expected;
    };
    const std::string q = "\"" + std::string(30, 'q') + " " + std::string(30, 'q') + "\"";
    const Row rows[] = {
        {"fits", "N: aaa bbb", 20, {"N: aaa bbb"}},
        {"exactly the width stays", "N: " + std::string(7, 'a') + " b", 12, {"N: aaaaaaa b"}},
        {"fold at last blank", "N: aaaa bbbbb cc", 12, {"N: aaaa", " bbbbb cc"}},
        {"break byte past the width", "N: aaaa bbbb cccc", 12, {"N: aaaa bbbb", " cccc"}},
        {"fold after comma", "N: aaaa,bbbbb,cc", 12, {"N: aaaa,", " bbbbb,cc"}},
        {"no break byte", "N:" + std::string(40, 'x'), 10, {"N:" + std::string(40, 'x')}},
        {"blanks after the break are skipped",
         "N: aaaaaaa,    bbbbbbbb",
         12,
         {"N: aaaaaaa,", "   bbbbbbbb"}},
        {"never inside quotes", "N:" + q, 20, {"N:" + q}},
        {"break before the quotes", "N: a " + q + " z", 20, {"N: a", " " + q + " z"}},
        {"nothing left after the quotes", "N: a " + q, 20, {"N: a " + q}},
        {"existing break kept", "N: a\r\n b", 78, {"N: a", " b"}},
        {"one byte left joins", "N:aaaaaaaa, b", 10, {"N:aaaaaaaa, b"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TIdHeaderList::FoldLine(row.line, row.width), row.expected) << row.what;
    }
}

TEST(HeaderListTest, FoldingNeverSplitsADoubleByteCharacter) {
    // 0xB0 0xA1 is one GBK character; a lead byte followed by a byte that looks like a blank
    // or a comma (not valid GBK, but possible in a byte string) is kept together as well.
    std::string gbk;
    for (int i = 0; i < 10; ++i) {
        gbk += "\xB0\xA1";
    }
    const std::string line = "N: " + gbk + " " + gbk + "\x81," + gbk;
    const std::vector<std::string> lines = TIdHeaderList::FoldLine(line, 30);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "N: " + gbk);
    EXPECT_EQ(lines[1], " " + gbk + "\x81," + gbk);
}

}  // namespace
}  // namespace velomaris
