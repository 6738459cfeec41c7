#include "platform/core/string_list.h"

#include <gtest/gtest.h>

#include "platform/core/exceptions.h"

using namespace plat;

TEST(StringList, SortedWithDuplicateRules) {
    for (auto rule : {Duplicates::Ignore, Duplicates::Accept, Duplicates::Error}) {
        StringList l;
        l.SetSorted(true);
        l.SetDuplicates(rule);
        l.Add("pear");
        l.Add("Apple");
        l.Add("banana");
        if (rule == Duplicates::Error) {
            EXPECT_THROW(l.Add("APPLE"), EListError);
        } else {
            l.Add("APPLE");
        }
        EXPECT_EQ(l.Count(), rule == Duplicates::Accept ? 4 : 3);
        EXPECT_EQ(l.IndexOf("apple"), 0);
        EXPECT_EQ(l[1 + (rule == Duplicates::Accept ? 1 : 0)], "banana");
        EXPECT_EQ(l[l.Count() - 1], "pear");
        EXPECT_EQ(l.IndexOf("BANANA"), rule == Duplicates::Accept ? 2 : 1);
        EXPECT_THROW(l.Insert(0, "x"), EListError);
    }
}

TEST(StringList, CaseSensitiveLookup) {
    StringList l;
    l.SetCaseSensitive(true);
    l.Add("Help");
    EXPECT_EQ(l.IndexOf("help"), -1);
    l.SetCaseSensitive(false);
    EXPECT_EQ(l.IndexOf("help"), 0);
}

TEST(StringList, TextSplitsEveryLineEnd) {
    StringList l;
    l.SetText("a\r\nb\nc\rd\r\n");
    ASSERT_EQ(l.Count(), 4);
    EXPECT_EQ(l[3], "d");
    EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n");
    l.SetText("one\r\n\r\ntwo");
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l[1], "");
    l.SetText("");
    EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, SplitLinesAtEveryLineEnd) {
    using L = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string_view text;
        L keep, skip;
    };
    const Case cases[] = {
        {"empty input", "", {}, {}},
        {"one line", "a", {"a"}, {"a"}},
        {"CR LF", "a\r\nb", {"a", "b"}, {"a", "b"}},
        {"lone LF", "a\nb", {"a", "b"}, {"a", "b"}},
        {"lone CR", "a\rb", {"a", "b"}, {"a", "b"}},
        {"mixed ends", "a\rb\nc\r\nd", {"a", "b", "c", "d"}, {"a", "b", "c", "d"}},
        {"trailing CR LF", "a\r\n", {"a"}, {"a"}},
        {"trailing LF", "a\n", {"a"}, {"a"}},
        {"trailing CR", "a\r", {"a"}, {"a"}},
        {"only a line end", "\r\n", {""}, {}},
        {"empty lines", "a\r\n\r\nb\r\n", {"a", "", "b"}, {"a", "b"}},
        {"leading empty line", "\nA", {"", "A"}, {"A"}},
        {"LF then CR is two ends", "a\n\rb", {"a", "", "b"}, {"a", "b"}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}, {"a", "b"}},
        {"blanks are text", " \r\n\t", {" ", "\t"}, {" ", "\t"}},
        {"8-bit and NUL bytes", std::string_view("\xe9t\xe9\n\0x", 6), {"\xe9t\xe9", std::string("\0x", 2)},
         {"\xe9t\xe9", std::string("\0x", 2)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitLines(c.text), c.keep);
        EXPECT_EQ(SplitLines(c.text, EmptyLines::Keep), c.keep);
        EXPECT_EQ(SplitLines(c.text, EmptyLines::Skip), c.skip);
        // A string list takes the same lines.
        StringList l;
        l.SetText(c.text);
        L got;
        for (int i = 0; i < l.Count(); ++i) got.push_back(l[i]);
        EXPECT_EQ(got, c.keep);
    }
}

TEST(StringList, NamesAndValues) {
    StringList l;
    l.Add("Title=Help");
    l.Add("Compress=0");
    EXPECT_EQ(l.Values("title"), "Help");
    l.SetValue("Compress", "1");
    EXPECT_EQ(l[1], "Compress=1");
    l.SetValue("New", "x");
    EXPECT_EQ(l.Count(), 3);
    l.SetValue("Title", "");
    EXPECT_EQ(l.IndexOfName("Title"), -1);
    EXPECT_EQ(l.Names(0), "Compress");
}

TEST(StringList, CommaTextRoundTrip) {
    StringList l;
    l.SetCommaText("a, \"b c\",\"say \"\"hi\"\"\",,d");
    ASSERT_EQ(l.Count(), 5);
    EXPECT_EQ(l[1], "b c");
    EXPECT_EQ(l[2], "say \"hi\"");
    EXPECT_EQ(l[3], "");
    StringList m;
    m.SetCommaText(l.CommaText());
    EXPECT_EQ(m.Text(), l.Text());
}

TEST(StringList, BadIndexRaisesAndChangeEventsAreBatched) {
    StringList l;
    int changes = 0;
    l.OnChange = [&](StringList&) { ++changes; };
    EXPECT_THROW(l.Strings(0), EListError);
    EXPECT_THROW(l.Delete(-1), EListError);
    l.BeginUpdate();
    l.Add("a");
    l.Add("b");
    l.EndUpdate();
    EXPECT_EQ(changes, 1);
    MemoryStream ms;
    l.SaveToStream(ms);
    EXPECT_EQ(ms.Bytes(), "a\r\nb\r\n");
    ms.SetPosition(0);
    StringList back;
    back.LoadFromStream(ms);
    EXPECT_EQ(back.Count(), 2);
}
