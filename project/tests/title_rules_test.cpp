// The title rules on a page record: the context string derived from the
// title with its number suffixes, the search keys of topics and popups, and
// the browse id of an empty topic.
#include <gtest/gtest.h>

#include <set>

#include "project/title_rules.h"

namespace {

using namespace build;

TEST(TitleRules, DerivedContextStrings) {
    struct Case {
        std::string title, want;
    };
    const std::vector<Case> cases = {
        {"the big  picture", "TheBigPicture"},
        {"Page 2: setup", "Page2Setup"},
        {"my first page", "MyFirstPage"},
        {"a b c", "ABC"},
        {"UPPER case", "UpperCase"},
        {"Caf\xE9 cr\xE8me", "CafCrme"},          // accents dropped (Windows-1252)
        {"Caf\xC3\xA9 au lait", "CafAuLait"},    // and as UTF-8
        {"snake_case stays", "Snake_caseStays"},
        {" leading blank", "LeadingBlank"},
        {"?!- ...", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(DeriveContextString(c.title), c.want) << c.title;
}

TEST(TitleRules, ContextStringSuffixes) {
    std::set<std::string> taken = {"Printing", "Printing2"};
    std::vector<std::string> asked;
    auto isTaken = [&](const std::string& s) {
        asked.push_back(s);
        return taken.count(s) > 0;
    };
    TitleRulePage p;
    p.title = "Printing";
    p.topicPopup = "T";
    EXPECT_TRUE(ApplyTitleRules(p, false, isTaken));
    EXPECT_EQ(p.contextString, "Printing3");
    EXPECT_EQ((std::vector<std::string>{"Printing", "Printing2", "Printing3"}), asked);

    // All ten taken: no context string, and the browse rule does not run.
    for (int n = 3; n <= 10; ++n) taken.insert("Printing" + std::to_string(n));
    TitleRulePage q;
    q.title = "Printing";
    q.topicPopup = "T";
    q.helpId = 7;
    q.bodyEmpty = true;
    ApplyTitleRules(q, false, isTaken);
    EXPECT_EQ(q.contextString, "");
    EXPECT_EQ(q.browseId, 0);

    // A title without letters or digits asks nobody.
    asked.clear();
    TitleRulePage r;
    r.title = "???";
    r.topicPopup = "T";
    ApplyTitleRules(r, false, isTaken);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(r.contextString, "");

    // An existing context string stays, whatever the title.
    asked.clear();
    TitleRulePage s;
    s.title = "Printing";
    s.contextString = "mine";
    ApplyTitleRules(s, false, isTaken);
    EXPECT_EQ(s.contextString, "mine");
    EXPECT_TRUE(asked.empty());
}

TEST(TitleRules, KeysBrowseIdAndEmptyTitle) {
    auto none = [](const std::string&) { return false; };
    struct Case {
        const char* name;
        std::string kind, keys;
        bool popupKeysSetting, bodyEmpty;
        std::string wantKeys;
        long wantBrowse;
    };
    const std::vector<Case> cases = {
        {"popup, setting off", "P", "", false, true, "", 3},
        {"popup, setting on", "P", "", true, true, "Intro", 3},
        {"popup keeps its keys", "P", "k", true, true, "k", 3},
        {"topic always", "T", "", false, true, "Intro", 9},
        {"topic keeps its keys", "T", "old;keys", false, true, "old;keys", 9},
        {"topic with body keeps its browse id", "T", "", false, false, "Intro", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TitleRulePage p;
        p.title = "Intro";
        p.titleUserModified = "Y";
        p.topicPopup = c.kind;
        p.keys = c.keys;
        p.helpId = 9;
        p.browseId = 3;
        p.bodyEmpty = c.bodyEmpty;
        ASSERT_TRUE(ApplyTitleRules(p, c.popupKeysSetting, none));
        EXPECT_EQ(p.keys, c.wantKeys);
        EXPECT_EQ(p.browseId, c.wantBrowse);
        EXPECT_EQ(p.titleUserModified, "N");
        EXPECT_EQ(p.contextString, "Intro");
    }
    TitleRulePage empty;
    empty.titleUserModified = "Y";
    EXPECT_FALSE(ApplyTitleRules(empty, true, none));
    EXPECT_EQ(empty.titleUserModified, "Y");
    EXPECT_EQ(empty.keys, "");
}

TEST(TitleRules, FreeContextStringRange) {
    auto all = [](const std::string&) { return true; };
    EXPECT_EQ(FreeContextString("X", 20, all), std::nullopt);
    int calls = 0;
    auto upTo19 = [&](const std::string& s) {
        ++calls;
        return s != "X20";
    };
    EXPECT_EQ(FreeContextString("X", 20, upTo19), std::optional<std::string>("X20"));
    EXPECT_EQ(calls, 20);
    EXPECT_EQ(FreeContextString("", 20, all), std::nullopt);
}

}  // namespace
