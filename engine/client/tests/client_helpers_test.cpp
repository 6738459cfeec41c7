#include "engine/client/client_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv {
namespace {

TEST(ClientHelpers, IsPathName) {
    struct Case {
        const char* name;
        bool allowDot;
        bool path;
    };
    const Case cases[] = {
        {"C:", false, true},          {"work.qvd", false, false}, {"work.qvd", true, true},
        {"\\\\srv\\share", false, true}, {"Work", true, false},      {"", true, false},
        {nullptr, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPathName(c.name, c.allowDot), c.path) << (c.name ? c.name : "(nil)") << " " << c.allowDot;
}

TEST(ClientHelpers, AddBackslash) {
    struct Case {
        std::string src;
        std::string dest;
    };
    const Case cases[] = {
        {"C:\\Data", "C:\\Data\\"},
        {"C:\\Data\\", "C:\\Data\\"},
        {"", "\\"},
        // A full 255-character string has no room left and stays as it is.
        {std::string(255, 'a'), std::string(255, 'a')},
        {std::string(254, 'a'), std::string(254, 'a') + "\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(AddBackslash(c.src), c.dest) << c.src.size();
}

TEST(ClientHelpers, SmallStringAndBufferHelpers) {
    EXPECT_EQ(RemoveChar("a\"b\"c", '"'), "abc");
    EXPECT_EQ(RemoveChar("", 'x'), "");

    char text[] = "Orders;Index";
    TruncateAt(text, ';');
    EXPECT_STREQ(text, "Orders");
    char none[] = "Orders";
    TruncateAt(none, ';');
    EXPECT_STREQ(none, "Orders");

    unsigned char buf[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(IsAllZero(buf, 6));
    EXPECT_TRUE(IsAllZero(buf, 0));
    ZeroFill(buf, 4);
    EXPECT_TRUE(IsAllZero(buf, 4));
    EXPECT_EQ(buf[4], 5);

    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(BoundedCString(unterminated, 4), "abcd");
    EXPECT_EQ(BoundedCString("ab\0cd", 5), "ab");
    EXPECT_TRUE(SameTextNoCase("\xC9TUDE", "\xE9tude"));  // E acute in both cases
}

}  // namespace
}  // namespace qv
