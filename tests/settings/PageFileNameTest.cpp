// The page name check: what may name the page file beside the program and on the server.
#include "settings/PageFileName.h"

#include <gtest/gtest.h>

#include <string>

namespace velomaris {
namespace {

TEST(PageFileNameTest, OnlyOnePlainFileNamePasses) {
    struct Row {
        std::string name;
        bool plain;
    };
    const Row rows[] = {
        {"index", true},
        {"page.html", true},  // an extension typed by the user is kept, not refused
        {"my page", true},
        {"a..b", true},
        {".hidden", true},
        {"...", true},
        {"\xca\xd7\xd2\xb3", true},  // a GBK name
        // GBK characters whose second byte is 5Ch: characters, not backslashes.
        {"\x81\x5c", true},
        {"\x8a\x5cindex", true},
        {"", false},
        {"   ", false},
        {".", false},
        {"..", false},
        {" .. ", false},
        {"../escaped", false},
        {"..\\escaped", false},
        {"dir/index", false},
        {"/etc/passwd", false},
        {"index/", false},
        {"a\\b", false},
        {"\\", false},
        {"line\r\nbreak", false},
        {"tab\tname", false},
        {std::string("nul\0byte", 8), false},
        {"del\x7f", false},
        {"\x1b[31m", false},
        // A lead byte before a byte that no GBK character ends with keeps that byte checked.
        {"\x81/", false},
        {"\x81\x7f", false},
        {"\x81\n", false},
        // A lead byte at the very end is just a byte.
        {"index\x81", true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsPlainFileName(row.name), row.plain) << ::testing::PrintToString(row.name);
    }
}

}  // namespace
}  // namespace velomaris
