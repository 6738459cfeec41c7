// Contents editing on the engine's tables: adding above and below, the
// levels a new entry takes, moving right and left with sub-entries and each
// refusal, clearing, keeping jumps right after a page's HelpId or context
// string changed, and the title rules on a page being posted.
#include "contents_fixture.h"

#include "engine/api/dbi_test_hooks.h"
#include "platform/core/exceptions.h"

#include <functional>

namespace {

using namespace build;
using cnttest::ContentsFixture;
using cnttest::Row;
using Kind = CntAddChoice::Kind;

std::vector<int> Levels(const std::vector<Row>& rows) {
    std::vector<int> out;
    for (const Row& r : rows) out.push_back(r.level);
    return out;
}

TEST(ContentsEditing, AddAboveAndBelow) {
    struct Case {
        const char* name;
        std::vector<Row> rows;
        int current;  // 0: the grid's first row (none when empty)
        bool above;
        CntAddChoice choice;
        std::vector<Row> want;
    };
    const Row h1{1, 1, "H", "One", "", ""}, t2{2, 2, "T", "Two", "two", ""}, t3{3, 2, "T", "Three", "three", ""};
    const std::vector<Case> cases = {
        {"below into empty", {}, 0, false, {Kind::Heading, "New"}, {{2, 1, "H", "New", "", ""}}},
        {"above into empty", {}, 0, true, {Kind::Heading, "New"}, {{0, 1, "H", "New", "", ""}}},
        {"above the only row", {h1}, 1, true, {Kind::Heading, "New"},
         {{1, 1, "H", "New", "", ""}, {2, 1, "H", "One", "", ""}}},
        {"below the only row", {h1}, 1, false, {Kind::Topic, "New", "ctx"},
         {h1, {2, 2, "T", "New", "ctx", ""}}},
        {"above the first", {h1, t2, t3}, 1, true, {Kind::Heading, "New"},
         {{1, 1, "H", "New", "", ""}, {2, 1, "H", "One", "", ""}, {3, 2, "T", "Two", "two", ""},
          {4, 2, "T", "Three", "three", ""}}},
        {"below the first", {h1, t2, t3}, 1, false, {Kind::Topic, "New", "n"},
         {h1, {2, 2, "T", "New", "n", ""}, {4, 2, "T", "Two", "two", ""}, {5, 2, "T", "Three", "three", ""}}},
        {"above the last", {h1, t2, t3}, 3, true, {Kind::Topic, "New", "n"},
         {h1, t2, {3, 2, "T", "New", "n", ""}, {4, 2, "T", "Three", "three", ""}}},
        {"below the last", {h1, t2, t3}, 3, false, {Kind::Macro, "Run", "Mac()"},
         {h1, t2, t3, {4, 2, "M", "Run", "Mac()", ""}}},
        {"heading next to a level-3 topic", {{1, 3, "T", "Deep", "d", ""}}, 1, false, {Kind::Heading, "Up"},
         {{1, 3, "T", "Deep", "d", ""}, {2, 2, "H", "Up", "", ""}}},
        {"topic next to a level-2 heading", {{1, 2, "H", "Book", "", ""}}, 1, false,
         {Kind::Topic, "Page", "p", "x.hlp", "main"},
         {{1, 2, "H", "Book", "", ""}, {2, 3, "T", "Page", "p", "x.hlp>main"}}},
        {"topic next to a level-9 heading", {{1, 9, "H", "Deepest", "", ""}}, 1, false, {Kind::Topic, "P", "p"},
         {{1, 9, "H", "Deepest", "", ""}, {2, 9, "T", "P", "p", ""}}},
        {"include", {{1, 4, "T", "Deep", "d", ""}}, 1, true, {Kind::Include, "sub.cnt"},
         {{1, 1, "I", ":include sub.cnt", "", ""}, {2, 4, "T", "Deep", "d", ""}}},
        {"below a row numbered 0", {{0, 1, "H", "Zero", "", ""}, {1, 1, "H", "One", "", ""}}, 0, false,
         {Kind::Heading, "New"},
         {{0, 1, "H", "Zero", "", ""}, {1, 1, "H", "New", "", ""}, {3, 1, "H", "One", "", ""}}},
    };
    ContentsFixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.Reset();
        f.Fill(c.rows);
        if (c.current) f.Current(c.current);
        AddContentsEntryWith(*f.ctx, c.above, c.choice);
        EXPECT_EQ(f.Rows(), c.want);
        EXPECT_EQ(f.Project("AutogenerateContents"), "N");
        EXPECT_TRUE(f.dialogs.Requests().empty());
    }
}

// Adding an entry above the first of many renumbers every row after it;
// row by row outside a transaction each post waited on its own disk syncs.
TEST(ContentsEditing, AddingAboveManyRowsSyncsOnceNotOncePerRow) {
    constexpr int kRows = 40;
    ContentsFixture f;
    std::vector<Row> rows, want{{1, 1, "H", "New", "", ""}};
    for (int i = 1; i <= kRows; ++i) {
        rows.push_back({i, 2, "T", "Page " + std::to_string(i), "p" + std::to_string(i), ""});
        want.push_back({i + 1, 2, "T", "Page " + std::to_string(i), "p" + std::to_string(i), ""});
    }
    f.Fill(rows);
    f.Current(1);
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        AddContentsEntryWith(*f.ctx, true, {Kind::Heading, "New"});
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kRows);
    EXPECT_EQ(f.Rows(), want);
}

TEST(ContentsEditing, AddCommandPreselectsAndCancels) {
    ContentsFixture f;
    f.Fill({{1, 2, "T", "Topic", "t", ""}});
    ContentsHooks hooks;
    CntAddChoice::Kind offered = Kind::Include;
    hooks.runAddDialog = [&](CntAddChoice& c) {
        offered = c.kind;
        return false;
    };
    AddContentsEntry(*f.ctx, true, hooks);
    EXPECT_EQ(offered, Kind::Topic);
    EXPECT_EQ(f.Rows().size(), 1u);
    EXPECT_EQ(f.Project("AutogenerateContents"), "Y");
}

struct MoveCase {
    const char* name;
    std::vector<Row> rows;
    int current;
    bool right;
    std::vector<int> answers;  // to the questions, in order
    std::vector<int> want;     // levels after
    std::string caption, text; // the refusal or question shown last, if any
};

TEST(ContentsEditing, MoveRightAndLeft) {
    auto H = [](int s, int l) { return Row{s, l, "H", "H" + std::to_string(s), "", ""}; };
    auto T = [](int s, int l) { return Row{s, l, "T", "T" + std::to_string(s), "j", ""}; };
    auto M = [](int s, int l) { return Row{s, l, "M", "M" + std::to_string(s), "m", ""}; };
    auto I = [](int s) { return Row{s, 1, "I", ":include x", "", ""}; };
    const std::vector<MoveCase> cases = {
        {"level 9 right", {H(1, 8), T(2, 9)}, 2, true, {}, {8, 9}, "Maximum Level", kMaxLevelText},
        {"macro right", {H(1, 1), M(2, 2)}, 2, true, {}, {1, 2}, "Warning", kOnlyHeadingsOrTopics},
        {"include left", {H(1, 2), I(2)}, 2, false, {}, {2, 1}, "Warning", kOnlyHeadingsOrTopics},
        {"first heading right compares with itself", {H(1, 1), T(2, 2), H(3, 1), T(4, 2)}, 1, true, {},
         {2, 3, 1, 2}, "", ""},
        {"first topic right asks, No", {T(1, 1), T(2, 1)}, 1, true, {gui::mrNo}, {1, 1}, "", kLooksWrongQuestion},
        {"first topic right asks, Yes", {T(1, 1), T(2, 1)}, 1, true, {gui::mrYes}, {2, 2}, "",
         kLooksWrongQuestion},
        {"heading after a topic of its level", {H(1, 1), T(2, 2), H(3, 2)}, 3, true, {}, {1, 2, 2}, "Warning",
         kSkipLevelText},
        {"heading deeper than the heading before", {H(1, 1), H(2, 2)}, 2, true, {}, {1, 2}, "Warning",
         kSkipLevelText},
        {"level-2 heading takes its entries up to the next level 1",
         {H(1, 1), H(2, 2), H(3, 2), T(4, 3), I(5), T(6, 2), H(7, 1), T(8, 2)}, 3, true, {},
         {1, 2, 3, 4, 1, 3, 1, 2}, "", ""},
        {"sub levels at 9", {H(1, 1), H(2, 1), T(3, 9)}, 2, true, {}, {1, 1, 9}, "Warning", kSubLevelsAtMaxText},
        {"heading left takes its entries", {H(1, 1), H(2, 2), T(3, 3), T(4, 2), H(5, 1)}, 2, false, {},
         {1, 1, 2, 1, 1}, "", ""},
        {"topic after a topic left, with sub-entries", {H(1, 1), T(2, 2), T(3, 2), T(4, 3)}, 3, false,
         {gui::mrYes}, {1, 2, 1, 2}, "", kMoveSubEntriesQuestion},
        {"topic after a topic left, alone", {H(1, 1), T(2, 2), T(3, 2), T(4, 3)}, 3, false, {gui::mrNo},
         {1, 2, 1, 3}, "", kMoveSubEntriesQuestion},
        {"topic after a heading left, alone", {H(1, 1), T(2, 2), T(3, 3)}, 2, false, {}, {1, 1, 3}, "", ""},
    };
    ContentsFixture f;
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        f.Reset();
        f.Fill(c.rows);
        f.Current(c.current);
        for (int a : c.answers) f.dialogs.Answer(a);
        if (c.right)
            MoveContentsEntryRight(*f.ctx);
        else
            MoveContentsEntryLeft(*f.ctx);
        EXPECT_EQ(Levels(f.Rows()), c.want);
        if (c.text.empty()) {
            EXPECT_TRUE(f.dialogs.Requests().empty());
        } else {
            ASSERT_FALSE(f.dialogs.Requests().empty());
            EXPECT_EQ(f.dialogs.Last().text, c.text);
            if (!c.caption.empty()) EXPECT_EQ(f.dialogs.Last().caption, c.caption);
        }
        EXPECT_EQ(f.dialogs.Pending(), 0u);
    }
}

TEST(ContentsEditing, LevelOneLeftOnlyBeepsAndTells) {
    ContentsFixture f;
    f.Fill({{1, 1, "T", "T", "t", ""}});
    int beeps = 0;
    std::string status;
    ContentsHooks hooks;
    hooks.beep = [&] { ++beeps; };
    hooks.setStatus = [&](const std::string& s) { status = s; };
    MoveContentsEntryLeft(*f.ctx, hooks);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(status, kFarLeftText);
    EXPECT_EQ(Levels(f.Rows()), std::vector<int>{1});
    EXPECT_TRUE(f.dialogs.Requests().empty());
}

TEST(ContentsEditing, ClearAllAsksFirst) {
    ContentsFixture f;
    f.Fill({{1, 1, "H", "A", "", ""}, {2, 2, "T", "B", "b", ""}});
    f.SetProject("CntTabs", "tab");
    f.dialogs.Answer(gui::mrNo);
    ClearAllContents(*f.ctx);
    EXPECT_EQ(f.Rows().size(), 2u);
    EXPECT_EQ(f.dialogs.Last().text, kClearContentsQuestion);
    f.dialogs.Answer(gui::mrYes);
    ClearAllContents(*f.ctx);
    EXPECT_TRUE(f.Rows().empty());
    EXPECT_EQ(f.Project("CntTabs"), "");
}

// A heading moved with its entries, or the whole contents cleared, rewrites
// every row; each command waits on the disk once for the lot.
TEST(ContentsEditing, CommandsOverManyRowsSyncOnceNotOncePerRow) {
    constexpr int kRows = 40;
    struct Case {
        const char* name;
        int headingLevel, entryLevel;  // of the current heading and the entries under it
        std::function<void(ContentsFixture&)> run;
        int headingAfter, entryAfter;  // 0: no rows left
    };
    const std::vector<Case> cases = {
        {"heading right with its entries", 1, 2, [](ContentsFixture& f) { MoveContentsEntryRight(*f.ctx); }, 2, 3},
        {"heading left with its entries", 2, 3, [](ContentsFixture& f) { MoveContentsEntryLeft(*f.ctx); }, 1, 2},
        {"clear all", 1, 2,
         [](ContentsFixture& f) {
             f.dialogs.Answer(gui::mrYes);
             ClearAllContents(*f.ctx);
         },
         0, 0},
    };
    ContentsFixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.Reset();
        std::vector<Row> rows{{1, 1, "H", "Top", "", ""}, {2, c.headingLevel, "H", "Moved", "", ""}};
        for (int i = 1; i <= kRows; ++i) rows.push_back({i + 2, c.entryLevel, "T", "Page", "p" + std::to_string(i), ""});
        f.Fill(rows);
        f.Current(2);
        long syncs = 0;
        {
            qv::DbiSyncCounter counter;
            c.run(f);
            syncs = counter.Syncs();
        }
        EXPECT_LT(syncs, kRows);
        std::vector<int> want;
        if (c.headingAfter) {
            want = {1, c.headingAfter};
            want.insert(want.end(), kRows, c.entryAfter);
        }
        EXPECT_EQ(Levels(f.Rows()), want);
    }
}

TEST(ContentsEditing, JumpsFollowHelpIdAndContextString) {
    struct Case {
        const char* name;
        long prevId;
        std::string prevCs;
        long newId;
        std::string newCs;
        std::vector<std::string> want;
    };
    const std::vector<std::string> jumps = {"12", "ctx", "12", "other", "", "40"};
    const std::vector<Case> cases = {
        {"HelpId 12 to 40", 12, "ctx", 40, "ctx", {"40", "ctx", "40", "other", "", "40"}},
        {"context string only", 12, "ctx", 12, "renamed", {"12", "renamed", "12", "other", "", "40"}},
        {"both changed", 12, "ctx", 41, "renamed", {"41", "renamed", "41", "other", "", "40"}},
        {"each row changes once", 12, "40", 40, "12", {"40", "ctx", "40", "other", "", "12"}},
        {"new page", 0, "", 12, "x", jumps},
        {"no old context string", 5, "", 5, "now", jumps},
        {"quote in the context string", 7, "a\"b", 7, "ab", jumps},
    };
    ContentsFixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.Reset();
        std::vector<Row> rows;
        for (std::size_t i = 0; i < jumps.size(); ++i)
            rows.push_back({static_cast<int>(i) + 1, 1, jumps[i].empty() ? "H" : "T", "R", jumps[i], ""});
        f.Fill(rows);
        UpdateContentsJumps(*f.ctx, c.prevId, c.prevCs, c.newId, c.newCs);
        std::vector<std::string> got;
        for (const Row& r : f.Rows()) got.push_back(r.jump);
        EXPECT_EQ(got, c.want);
    }
}

TEST(ContentsEditing, RewritingManyJumpsSyncsOnceNotOncePerRow) {
    constexpr int kRows = 40;
    ContentsFixture f;
    std::vector<Row> rows;
    for (int i = 1; i <= kRows; ++i) rows.push_back({i, 1, "T", "R", i % 2 ? "12" : "ctx", ""});
    f.Fill(rows);
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        UpdateContentsJumps(*f.ctx, 12, "ctx", 40, "renamed");
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kRows);
    const std::vector<Row> got = f.Rows();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kRows));
    for (int i = 1; i <= kRows; ++i) EXPECT_EQ(got[i - 1].jump, i % 2 ? "40" : "renamed") << i;
}

TEST(ContentsEditing, JumpsOfOtherProjectsStay) {
    ContentsFixture f;
    f.Fill({{1, 1, "T", "Mine", "12", ""}});
    f.AddProject("Other", "other");
    f.Fill({{1, 1, "T", "Theirs", "12", ""}});
    UpdateContentsJumps(*f.ctx, 12, "", 40, "");
    EXPECT_EQ(f.Rows()[0].jump, "40");
    f.ctx->mainTable->First();
    ASSERT_EQ(f.Project("Application"), "Demo");
    EXPECT_EQ(f.Rows()[0].jump, "12");
}

struct PageFixture : ContentsFixture {
    void AddPage(long id, const std::string& title, const std::string& cs) {
        db::TDataSet* d = ctx->detailTable;
        d->Append();
        d->FieldByName("HelpId")->SetAsInteger(id);
        d->FieldByName("TopicPopup")->SetAsString("T");
        d->FieldByName("Title")->SetAsString(title);
        d->FieldByName("ContextString")->SetAsString(cs);
        d->Post();
    }
};

TEST(ContentsEditing, TitleRulesOnThePageBeingPosted) {
    PageFixture f;
    f.AddPage(1, "Printing", "printing");  // letter case aside, taken
    f.AddPage(2, "Printing again", "Printing2");
    db::TDataSet* d = f.ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(3);
    d->FieldByName("TopicPopup")->SetAsString("T");
    d->FieldByName("Title")->SetAsString("Printing");
    d->FieldByName("TitleUserModified")->SetAsString("Y");
    d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi \\par }");
    SyncTopicTitleFields(*f.ctx, *d);
    d->Post();
    EXPECT_EQ(d->FieldByName("ContextString")->AsString(), "Printing3");
    EXPECT_EQ(d->FieldByName("Keys")->AsString(), "Printing");
    EXPECT_EQ(d->FieldByName("TitleUserModified")->AsString(), "N");
    EXPECT_EQ(d->FieldByName("BrowseId")->AsInteger(), 3);

    // Its own context string does not count as taken; a body keeps the browse id.
    d->Edit();
    d->FieldByName("ContextString")->SetAsString("");
    d->FieldByName("Title")->SetAsString("Printing again");
    d->FieldByName("BrowseId")->SetAsInteger(8);
    d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi Some text\\par }");
    SyncTopicTitleFields(*f.ctx, *d);
    EXPECT_EQ(d->FieldByName("ContextString")->AsString(), "PrintingAgain");
    EXPECT_EQ(d->FieldByName("BrowseId")->AsInteger(), 8);
    d->Cancel();
}

TEST(ContentsEditing, TitleRuleFailureIsTheSilentAbort) {
    PageFixture f;
    db::TDataSet* d = f.ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(1);
    d->FieldByName("Title")->SetAsString("Broken");
    EXPECT_THROW(SyncTopicTitleFields(*f.ctx, *d, [] () -> bool { throw std::runtime_error("no editor"); }),
                 plat::EAbort);
    EXPECT_EQ(d->FieldByName("ContextString")->AsString(), "");
    d->Cancel();
}

}  // namespace
