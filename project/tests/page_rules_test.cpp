// The page and project rules on installed project tables through the context.
#include "project/page_rules.h"
#include "project/title_rules.h"
#include "context_string_cases.h"
#include "editor_test_support.h"

#include "engine/api/dbi_test_hooks.h"
#include "platform/core/exceptions.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using editor::EditorContext;
using db::TValue;

class PageRules : public ::testing::Test {
protected:
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<EditorContext> ctx;
    std::vector<std::string> calls;

    void SetUp() override {
        ctx = std::make_unique<EditorContext>();
        ctx->ProgramDir = folder.dir;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
        editor::InstallPageRules(*ctx);
        auto& h = ctx->Hooks;
        h.SyncTopicTitleFields = [this](db::TDataSet&) { calls.push_back("sync"); };
        h.RebuildJumpReferences = [this](long id, const std::string& cs) {
            calls.push_back("jumps " + std::to_string(id) + " " + cs);
        };
        h.UpdateContentsJumps = [this](long id, const std::string& cs, long nid, const std::string& ncs) {
            calls.push_back("contents " + std::to_string(id) + " " + cs + " > " + std::to_string(nid) + " " + ncs);
        };
        h.ReachInheritedCopies = [this](long, const std::string&) { calls.push_back("copies"); };
        h.PassMasterText = [this] { calls.push_back("master"); };
    }

    void AddProject(const std::string& name, const std::string& extra = "") {
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString(name);
        if (!extra.empty()) ctx->mainTable->FieldByName("AutoAddTopicsToMaxTitle")->SetAsString(extra);
        ctx->mainTable->Post();
    }
    void Select(const std::string& name) { ASSERT_TRUE(ctx->mainTable->FindKey({TValue(name)})); }
    // Pages written straight into the table file, past the rules.
    void RawPages(const std::string& app, const std::vector<long>& ids) {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.SetTableName(editor::kItemTableFile);
        t.Open();
        for (long id : ids) {
            t.Append();
            t.FieldByName("Application")->SetAsString(app);
            t.FieldByName("HelpId")->SetAsInteger(id);
            t.FieldByName("TopicPopup")->SetAsString("T");
            t.FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            t.Post();
        }
        ctx->detailTable->Refresh();
    }
    void GoToPage(long id) {
        auto* d = ctx->detailTable;
        for (d->First(); !d->Eof(); d->Next())
            if (d->FieldByName("HelpId")->AsInteger() == id) return;
        FAIL() << "no page " << id;
    }
    std::string Field(const char* name) { return ctx->detailTable->FieldByName(name)->AsString(); }
    // Posts, answering whether the post went through; a refusal must be silent.
    bool TryPost() {
        try {
            ctx->detailTable->Post();
            return true;
        } catch (const plat::EAbort&) {
            return false;
        }
    }
    std::vector<std::string> Warnings() {
        std::vector<std::string> out;
        for (const auto& r : dialogs.Requests()) out.push_back(r.text);
        return out;
    }
};

TEST_F(PageRules, NextFreeHelpIdFollowsTheNeighbours) {
    struct Case {
        std::vector<long> pages;
        long current;  // 0: the project is empty
        bool append;
        std::string expected;  // "" for no id
    };
    const Case cases[] = {
        {{10, 20}, 20, false, "11"},     {{18, 20}, 20, false, "19"},   {{19, 20}, 20, false, ""},
        {{100, 700}, 700, false, "600"}, {{100, 5000}, 5000, false, "1100"},
        {{100, 400}, 400, false, "200"}, {{10, 30}, 30, true, "50"},    {{10}, 10, true, "1010"},
        {{}, 0, true, "1000"},           {{10, 20}, 10, false, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string app = "P" + std::to_string(n++);
        AddProject(app);
        Select(app);
        for (long id : c.pages) RawPages(app, {id});
        if (c.current) GoToPage(c.current);
        if (c.append)
            ctx->detailTable->Append();
        else
            ctx->detailTable->Insert();
        EXPECT_EQ(Field("HelpId"), c.expected) << app;
        EXPECT_EQ(Field("TopicPopup"), "T");
        ctx->detailTable->Cancel();
    }
}

TEST_F(PageRules, RefusalsKeepTheRowAndAnEmptyRowGoesSilently) {
    AddProject("Demo");
    Select("Demo");
    auto* d = ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->Clear();
    EXPECT_FALSE(TryPost());
    EXPECT_EQ(d->State(), db::dsBrowse);
    EXPECT_TRUE(d->IsEmpty());
    EXPECT_TRUE(dialogs.Requests().empty());

    struct Case {
        bool id;
        const char* kind;
        const char* title;
        const char* text;
    };
    const Case cases[] = {
        {false, "T", "Has title", editor::kNoHelpIdText},
        {true, "", "Has title", editor::kNoTopicPopupText},
    };
    for (const Case& c : cases) {
        dialogs.Clear();
        d->Append();
        if (!c.id) d->FieldByName("HelpId")->Clear();
        d->FieldByName("TopicPopup")->SetAsString(c.kind);
        d->FieldByName("Title")->SetAsString(c.title);
        EXPECT_FALSE(TryPost());
        EXPECT_EQ(d->State(), db::dsInsert);
        EXPECT_EQ(Field("Title"), c.title);
        ASSERT_EQ(Warnings(), std::vector<std::string>{c.text});
        EXPECT_EQ(dialogs.Last().caption, "Warning");
        d->Cancel();
    }
    // A title missing from a page being edited is refused too.
    RawPages("Demo", {5});
    GoToPage(5);
    dialogs.Clear();
    d->Edit();
    d->FieldByName("Title")->SetAsString("");
    EXPECT_FALSE(TryPost());
    EXPECT_EQ(d->State(), db::dsEdit);
    EXPECT_EQ(Warnings(), std::vector<std::string>{editor::kNoTitleText});
    d->Cancel();
    EXPECT_TRUE(calls.empty());
}

// Before any project exists the page grid still takes an insert (Edit ›
// Insert Topic, or typing past the end): the page it makes belongs to no
// project and must not reach the table.
TEST_F(PageRules, APageWithoutAProjectIsRefused) {
    ASSERT_TRUE(ctx->mainTable->IsEmpty());
    auto* d = ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(1000);
    d->FieldByName("TopicPopup")->SetAsString("T");
    d->FieldByName("Title")->SetAsString("Orphan");
    EXPECT_FALSE(TryPost());
    EXPECT_EQ(d->State(), db::dsInsert);
    EXPECT_EQ(Warnings(), std::vector<std::string>{editor::kNoProjectText});
    d->Cancel();
    vl::TvlTable t(nullptr);
    t.DatabaseName = editor::kTavrinAlias;
    t.SetTableName(editor::kItemTableFile);
    t.Open();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(PageRules, ThePagesEditPendingWhenTheContextGoesIsPostedOrDroppedWithoutThrowing) {
    AddProject("Demo");
    Select("Demo");
    RawPages("Demo", {5});
    GoToPage(5);
    // A valid edit is kept.
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("Title")->SetAsString("Kept title");
    ctx.reset();
    // A refused one (no title) is dropped; the rules abort its post.
    ctx = std::make_unique<EditorContext>();
    ctx->ProgramDir = folder.dir;
    ctx->ScreenFonts = {"Arial"};
    ctx->ShowTipOfTheDayWindow = [](bool&) {};
    ASSERT_TRUE(ctx->FormCreate());
    editor::InstallPageRules(*ctx);
    Select("Demo");
    GoToPage(5);
    EXPECT_EQ(Field("Title"), "Kept title");
    ctx->detailTable->Append();
    ctx->detailTable->FieldByName("HelpId")->SetAsInteger(6);
    ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
    EXPECT_NO_THROW(ctx.reset());
    vl::TvlTable t(nullptr);
    t.DatabaseName = editor::kTavrinAlias;
    t.SetTableName(editor::kItemTableFile);
    t.Open();
    int rows = 0;
    for (t.First(); !t.Eof(); t.Next()) ++rows;
    EXPECT_EQ(rows, 1);
}

TEST_F(PageRules, DuplicateHelpIdRefusedOnInsertAndEditWithinAProjectOnly) {
    AddProject("One");
    AddProject("Two");
    RawPages("One", {10, 20});
    RawPages("Two", {30});
    Select("One");
    auto* d = ctx->detailTable;
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(20);
    d->FieldByName("Title")->SetAsString("Again");
    EXPECT_FALSE(TryPost());
    EXPECT_EQ(Warnings(), std::vector<std::string>{editor::kDuplicateHelpIdText});
    d->FieldByName("HelpId")->SetAsInteger(30);  // only the other project has it
    EXPECT_TRUE(TryPost());
    EXPECT_EQ(d->RecordCount(), 3);

    dialogs.Clear();
    GoToPage(10);
    d->Edit();
    d->FieldByName("HelpId")->SetAsInteger(20);
    EXPECT_FALSE(TryPost());
    EXPECT_EQ(d->State(), db::dsEdit);
    EXPECT_EQ(Warnings(), std::vector<std::string>{editor::kDuplicateHelpIdText});
    d->FieldByName("HelpId")->SetAsInteger(10);  // unchanged: no search needed, no refusal
    EXPECT_TRUE(TryPost());
}

TEST_F(PageRules, HooksRunWhenTheRulesSay) {
    AddProject("Demo");
    Select("Demo");
    RawPages("Demo", {10});
    auto* d = ctx->detailTable;
    GoToPage(10);
    d->Edit();
    d->FieldByName("Title")->SetAsString("Renamed");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(calls, std::vector<std::string>{"sync"});  // neither id nor context string changed

    calls.clear();
    d->Edit();
    d->FieldByName("HelpId")->SetAsInteger(11);
    d->FieldByName("ContextString")->SetAsString("NewPlace");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(calls, (std::vector<std::string>{"sync", "jumps 10 ", "contents 10  > 11 NewPlace", "copies"}));

    calls.clear();
    d->Append();
    d->FieldByName("Title")->SetAsString("Fresh");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(calls, std::vector<std::string>{"sync"});  // a new page repairs nothing

    calls.clear();
    d->Edit();
    d->FieldByName("InheritedStatus")->SetAsString("Master");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(calls, (std::vector<std::string>{"sync", "master"}));
}

// The title rules and the check of a typed context string derive the same
// string from the same text; each then searches its own range of numbers.
TEST_F(PageRules, EveryRoadDerivesOneContextString) {
    AddProject("Demo");
    Select("Demo");
    RawPages("Demo", {10});
    GoToPage(10);
    auto nothingTaken = [](const std::string&) { return false; };
    for (const auto& c : testcases::ContextStringCases()) {
        EXPECT_EQ(build::DeriveContextString(c.title), c.want) << c.title;
        EXPECT_EQ(editor::DeriveContextString(c.title), c.want) << c.title;
        std::string derived = "unset";
        editor::MakeContextString(*ctx, c.title, &derived);
        EXPECT_EQ(derived, c.want) << c.title;
        build::TitleRulePage page;
        page.title = c.title;
        page.topicPopup = "T";
        build::ApplyTitleRules(page, false, nothingTaken);
        EXPECT_EQ(page.contextString, c.want) << c.title;
    }

    // Printing and Printing2..Printing10 taken: a title gets no context
    // string (numbers up to 10), a typed one is offered Printing11 (up to 20).
    vl::TvlTable t(nullptr);
    t.DatabaseName = editor::kTavrinAlias;
    t.SetTableName(editor::kItemTableFile);
    t.Open();
    for (int n = 1; n <= 10; ++n) {
        const std::string cs = n == 1 ? "Printing" : "printing" + std::to_string(n);
        t.Append();
        t.FieldByName("Application")->SetAsString("Demo");
        t.FieldByName("HelpId")->SetAsInteger(100 + n);
        t.FieldByName("TopicPopup")->SetAsString("T");
        t.FieldByName("Title")->SetAsString("Printing " + std::to_string(n));
        t.FieldByName("ContextString")->SetAsString(cs);
        t.Post();
    }
    ctx->detailTable->Refresh();
    GoToPage(10);
    std::string derived;
    EXPECT_FALSE(editor::MakeContextString(*ctx, "printing", &derived));
    EXPECT_EQ(derived, "Printing11");
    build::TitleRulePage page;
    page.title = "printing";
    page.topicPopup = "T";
    build::ApplyTitleRules(page, false, [&](const std::string& cs) {
        std::string owner;
        editor::FindContextStringOwner(*ctx, cs, owner);
        return !owner.empty();
    });
    EXPECT_EQ(page.contextString, "");
}

TEST_F(PageRules, ContextStringsDerivedCheckedAndOwned) {
    AddProject("Demo");
    Select("Demo");
    RawPages("Demo", {10, 20});
    auto* d = ctx->detailTable;
    GoToPage(10);
    d->Edit();
    d->FieldByName("ContextString")->SetAsString("my_page2");
    ASSERT_TRUE(TryPost());

    EXPECT_EQ(editor::DeriveContextString("my first page"), "MyFirstPage");
    EXPECT_EQ(editor::DeriveContextString("  what's  NEW-here? "), "WhatsNewhere");
    std::string derived;
    EXPECT_TRUE(editor::MakeContextString(*ctx, "MyFirstPage", &derived));
    EXPECT_FALSE(editor::MakeContextString(*ctx, "My Page", &derived));
    EXPECT_EQ(derived, "MyPage");
    // Taken by page 10 (whose context string differs only in case): a number is added.
    GoToPage(20);
    EXPECT_FALSE(editor::MakeContextString(*ctx, "My_Page2", &derived));
    EXPECT_EQ(derived, "My_page22");
    std::string owner;
    editor::FindContextStringOwner(*ctx, "MY_PAGE2", owner);
    EXPECT_EQ(owner, "Page 10");
    GoToPage(10);
    editor::FindContextStringOwner(*ctx, "my_page2", owner);
    EXPECT_EQ(owner, "");  // the current page itself
    std::string id;
    editor::LookupHelpIdByContext(*ctx, "MY_page2", id);
    EXPECT_EQ(id, "10");

    // Typed into page 20: a blank is refused and the old value comes back,
    // a string page 10 has is emptied.
    GoToPage(20);
    d->Edit();
    EXPECT_THROW(d->FieldByName("ContextString")->SetAsString("My Page"), plat::EAbort);
    EXPECT_EQ(Field("ContextString"), "");
    EXPECT_EQ(dialogs.Last().text, editor::kInvalidContextStringText);
    EXPECT_THROW(d->FieldByName("ContextString")->SetAsString("MY_PAGE2"), plat::EAbort);
    EXPECT_EQ(Field("ContextString"), "");
    EXPECT_EQ(dialogs.Last().text,
              "This Context String is already used by page \"Page 10\". Please re-enter a unique context string.");
    d->FieldByName("ContextString")->SetAsString("Other_1");
    EXPECT_TRUE(TryPost());
    EXPECT_EQ(Field("ContextString"), "Other_1");
}

// --- rename --------------------------------------------------------------------------

class RenameTest : public PageRules {
protected:
    void FillProject(const std::string& app) {
        RawPages(app, {10, 20});
        auto add = [&](const char* file, std::map<std::string, TValue> values) {
            vl::TvlTable t(nullptr);
            t.DatabaseName = editor::kTavrinAlias;
            t.SetTableName(file);
            t.Open();
            t.Append();
            for (auto& [k, v] : values) t.FieldByName(k)->SetValue(v);
            t.Post();
        };
        add(editor::kRefiTableFile, {{"Application", TValue(app)}, {"HelpId", TValue(std::int64_t{10})},
                                     {"ReferencedBy", TValue(std::int64_t{20})}});
        add(editor::kCntTableFile, {{"Application", TValue(app)}, {"Sequence", TValue(std::int64_t{1})},
                                    {"Title", TValue(std::string("Entry"))}});
        add(editor::kFontTableFile, {{"Application", TValue(app)}, {"FontList", TValue(std::string("Arial"))}});
        add(editor::kInhTableFile, {{"Application", TValue(app)}, {"HelpId", TValue(std::int64_t{10})},
                                    {"InheritedApplication", TValue(std::string("Other"))},
                                    {"InheritedId", TValue(std::int64_t{1})}});
        add(editor::kInhTableFile, {{"Application", TValue(std::string("Other"))}, {"HelpId", TValue(std::int64_t{1})},
                                    {"InheritedApplication", TValue(app)}, {"InheritedId", TValue(std::int64_t{10})}});
    }
    // "file.field=value" for every row of the project tables that names `app`.
    std::vector<std::string> RowsNaming(const std::string& app) {
        std::vector<std::string> out;
        for (const char* file : {editor::kItemTableFile, editor::kRefiTableFile, editor::kCntTableFile,
                                 editor::kFontTableFile, editor::kInhTableFile}) {
            vl::TvlTable t(nullptr);
            t.DatabaseName = editor::kTavrinAlias;
            t.SetTableName(file);
            t.Open();
            for (t.First(); !t.Eof(); t.Next())
                for (const char* f : {"Application", "InheritedApplication"})
                    if (t.FindField(f) && t.FieldByName(f)->AsString() == app)
                        out.push_back(std::string(file) + "." + f);
        }
        return out;
    }
    void TypeName(const std::string& name) {
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName("Application")->SetAsString(name);
    }
};

TEST_F(RenameTest, MovesEveryRowInOneGo) {
    AddProject("Old");
    AddProject("Keep");
    FillProject("Old");
    RawPages("Keep", {10});
    const auto before = RowsNaming("Old");
    EXPECT_EQ(before.size(), 7u);
    Select("Old");
    dialogs.Answer(gui::mrYes);
    TypeName("New");
    ctx->mainTable->Post();
    EXPECT_TRUE(RowsNaming("Old").empty());
    EXPECT_EQ(RowsNaming("New"), before);
    EXPECT_EQ(RowsNaming("Keep").size(), 1u);
    Select("New");
    EXPECT_EQ(ctx->detailTable->RecordCount(), 2);
}

TEST_F(RenameTest, NoKeepsTheOldNameAndAClashIsRefused) {
    AddProject("Old");
    AddProject("Taken");
    FillProject("Old");
    Select("Old");
    dialogs.Answer(gui::mrNo);
    EXPECT_THROW(TypeName("New"), plat::EAbort);
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Old");
    EXPECT_EQ(RowsNaming("Old").size(), 7u);
    dialogs.Clear();
    dialogs.Answer(gui::mrYes);
    EXPECT_THROW(ctx->mainTable->FieldByName("Application")->SetAsString("TAKEN"), plat::EAbort);
    EXPECT_EQ(dialogs.Last().caption, "Warning");
    EXPECT_NE(dialogs.Last().text.find("TAKEN"), std::string::npos);
    EXPECT_EQ(RowsNaming("Old").size(), 7u);
    ctx->mainTable->Cancel();
}

TEST_F(RenameTest, AFailureOnTheWayLeavesEveryRowUnderTheOldName) {
    AddProject("Old");
    FillProject("Old");
    Select("Old");
    // The contents table fails once the pages and references have moved.
    ctx->tblBackFrom->BeforePost = [](db::TDataSet* t) {
        if (t->FindField("Sequence")) throw std::runtime_error("disk full");
    };
    dialogs.Answer(gui::mrYes);
    EXPECT_THROW(TypeName("New"), std::runtime_error);
    EXPECT_EQ(RowsNaming("Old").size(), 7u);
    EXPECT_TRUE(RowsNaming("New").empty());
    ctx->mainTable->Cancel();
    Select("Old");
    EXPECT_EQ(ctx->detailTable->RecordCount(), 2);
}

// --- pages with jumps ---------------------------------------------------------------

// A page text as the editor stores it: runs of visible text, hot spots with
// their hidden targets.
struct TextRun {
    std::string text;
    unsigned style = 0;
    int colour = 0;
};
std::string PageRtf(const std::vector<TextRun>& runs) {
    richtext::TJDRTFTextIo io;
    richtext::TLine* line = io.FirstParagraph()->lines;
    for (const TextRun& r : runs) {
        richtext::TJDCharAttr a = io.currentAttr;
        a.style = static_cast<std::uint16_t>(r.style);
        a.SetTextColor(static_cast<unsigned>(r.colour));
        for (char c : r.text) io.InsertChar(line, static_cast<unsigned char>(c), a);
    }
    return io.SaveToString();
}
struct Seen {
    std::string visible, hidden;
    int hotSpots = 0;
};
Seen Look(const std::string& rtf) {
    richtext::TJDRTFTextIo io;
    io.LoadFromString(rtf);
    Seen s;
    for (auto* p = io.FirstParagraph(); p; p = p->next)
        for (auto* l = p->lines; l; l = l->next) {
            bool inHot = false;
            for (int i = 0; i < l->Length(); ++i) {
                const auto& a = l->attrs[i];
                if (a.style & 0x0100) {
                    s.hidden += l->text[i];
                    continue;
                }
                s.visible += l->text[i];
                const bool hot = (a.style & 0x0010) || ((a.style & 0x0004) && a.TextColor() != 0);
                if (hot && !inHot) ++s.hotSpots;
                inHot = hot;
            }
        }
    return s;
}

TEST(JumpRemoval, WholeTargetRunsOfTheDeletedPageOnly) {
    const TextRun to12{"12", 0x0100}, to123{"123", 0x0100}, toCtx{"MyPage", 0x0100};
    const TextRun hot{"see", 0x0010, 12}, popup{"pop", 0x0004, 9}, plain{" and "};
    struct Case {
        const char* name;
        std::vector<TextRun> runs;
        std::string context;
        int removed;
        std::string hidden;
        int hotSpots;
    };
    const Case cases[] = {
        {"id", {hot, to12, plain, hot, to123}, "", 1, "123", 1},
        {"two jumps to one page", {hot, to12, plain, hot, {"mypage", 0x0100}}, "MyPage", 2, "", 0},
        {"empty context string never matches", {hot, {"", 0}, plain, hot, toCtx}, "", 0, "MyPage", 2},
        {"popup", {popup, to12, plain}, "MyPage", 1, "", 0},
        {"other targets stay", {hot, {"99", 0x0100}}, "MyPage", 0, "99", 1},
    };
    for (const Case& c : cases) {
        const std::string before = PageRtf(c.runs);
        int removed = -1;
        const std::string after = editor::RemoveJumpTargets(before, c.context, 12, removed);
        EXPECT_EQ(removed, c.removed) << c.name;
        const Seen s = Look(after);
        EXPECT_EQ(s.hidden, c.hidden) << c.name;
        EXPECT_EQ(s.hotSpots, c.hotSpots) << c.name;
        EXPECT_EQ(s.visible, Look(before).visible) << c.name;
        if (c.removed == 0) EXPECT_EQ(after, before) << c.name;
    }
}

class DeleteTopicTest : public PageRules {
protected:
    void SetUp() override {
        PageRules::SetUp();
        AddProject("Demo");
        Select("Demo");
        RawPages("Demo", {0, 12, 20, 30});
        // Page 20 jumps to 12 twice (once by context string), page 30 once and to 20.
        SetText(20, PageRtf({{"a", 0x0010, 12}, {"12", 0x0100}, {" b", 0}, {"c", 0x0010, 12}, {"target", 0x0100}}));
        SetText(30, PageRtf({{"d", 0x0004, 9}, {"12", 0x0100}, {"e", 0x0010, 12}, {"20", 0x0100}}));
        GoToPage(12);
        ctx->detailTable->Edit();
        ctx->detailTable->FieldByName("ContextString")->SetAsString("Target");
        ctx->detailTable->Post();
        Reference(12, 20);
        Reference(12, 30);
        Reference(20, 30);
        dialogs.Clear();
    }
    void SetText(long id, const std::string& rtf) {
        GoToPage(id);
        ctx->detailTable->Edit();
        ctx->detailTable->FieldByName("HelpText")->SetAsString(rtf);
        ctx->detailTable->Post();
    }
    void Reference(long id, long by) {
        auto* r = ctx->refIntegTable;
        r->Append();
        r->FieldByName("Application")->SetAsString("Demo");
        r->FieldByName("HelpId")->SetAsInteger(id);
        r->FieldByName("ReferencedBy")->SetAsInteger(by);
        r->Post();
    }
    int References() {
        ctx->refIntegTable->vlFilter().Clear();
        ctx->refIntegTable->ApplyFilter();
        return ctx->refIntegTable->RecordCount();
    }
    Seen PageText(long id) {
        GoToPage(id);
        return Look(Field("HelpText"));
    }
};

TEST_F(DeleteTopicTest, NoKeepsEverythingAndYesRemovesTheJumps) {
    std::string status;
    GoToPage(12);
    dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(editor::DeleteTopic(*ctx, status));
    dialogs.Answer(gui::mrYes);
    dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(editor::DeleteTopic(*ctx, status));
    EXPECT_EQ(dialogs.Last().text, editor::kJumpIntegrityQuestionText);
    EXPECT_EQ(ctx->detailTable->RecordCount(), 4);
    EXPECT_EQ(References(), 3);
    EXPECT_EQ(PageText(20).hidden, "12target");

    GoToPage(12);
    dialogs.Answer(gui::mrYes);
    dialogs.Answer(gui::mrYes);
    EXPECT_TRUE(editor::DeleteTopic(*ctx, status));
    EXPECT_EQ(status, "Jump Integrity updated 3 references for helpId 12");
    EXPECT_EQ(ctx->detailTable->RecordCount(), 3);
    EXPECT_EQ(References(), 1);  // 30's jump to 20 stays
    EXPECT_EQ(PageText(20).hidden, "");
    EXPECT_EQ(PageText(20).hotSpots, 0);
    EXPECT_EQ(PageText(30).hidden, "20");
    EXPECT_EQ(PageText(30).hotSpots, 1);
    EXPECT_EQ(PageText(30).visible, "de");
}

// Many pages jumping to the deleted topic are rewritten waiting on the disk
// once for the lot rather than once a page.
TEST_F(DeleteTopicTest, ManyReferringPagesSyncOnceNotOncePerPage) {
    constexpr long kPages = 40;
    std::vector<long> ids;
    for (long id = 100; id < 100 + kPages; ++id) ids.push_back(id);
    RawPages("Demo", ids);
    for (long id : ids) {
        SetText(id, PageRtf({{"see", 0x0010, 12}, {"12", 0x0100}, {" more", 0}}));
        Reference(12, id);
    }
    std::string status;
    GoToPage(12);
    dialogs.Answer(gui::mrYes);
    dialogs.Answer(gui::mrYes);
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        EXPECT_TRUE(editor::DeleteTopic(*ctx, status));
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kPages);
    EXPECT_EQ(status, "Jump Integrity updated " + std::to_string(kPages + 3) + " references for helpId 12");
    EXPECT_EQ(References(), 1);
    for (long id : {100L, 100 + kPages - 1}) {
        EXPECT_EQ(PageText(id).hidden, "") << id;
        EXPECT_EQ(PageText(id).visible, "see more") << id;
    }
}

TEST_F(DeleteTopicTest, HelpIdZeroAsksOnceAndLeavesTheReferences) {
    std::string status;
    GoToPage(0);
    dialogs.Answer(gui::mrYes);
    EXPECT_TRUE(editor::DeleteTopic(*ctx, status));
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(ctx->detailTable->RecordCount(), 3);
    EXPECT_EQ(References(), 3);
    EXPECT_EQ(status, "");
}

// --- after a post ----------------------------------------------------------------------

TEST_F(PageRules, AutoTitleOnlyWhereNothingButTextWouldBeReplaced) {
    AddProject("Demo", "Y");
    Select("Demo");
    auto* d = ctx->detailTable;
    d->Append();
    d->FieldByName("Title")->SetAsString("First Title");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(Look(Field("FullTitle")).visible, "First Title");
    d->Edit();
    d->FieldByName("Title")->SetAsString("Second");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(Look(Field("FullTitle")).visible, "Second");  // rewritten after each post

    // A popup whose body holds only hidden text is no empty body: kept.
    const std::string body = PageRtf({{"x", 0x0100}});
    d->Append();
    d->FieldByName("Title")->SetAsString("Pop");
    d->FieldByName("TopicPopup")->SetAsString("P");
    d->FieldByName("HelpText")->SetAsString(body);
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(Field("HelpText"), body);
    d->Append();
    d->FieldByName("Title")->SetAsString("Pop two");
    d->FieldByName("TopicPopup")->SetAsString("P");
    ASSERT_TRUE(TryPost());
    EXPECT_EQ(Look(Field("HelpText")).visible, "Pop two");
}

// --- headers ---------------------------------------------------------------------------

TEST_F(PageRules, RegistryHeaderForThreeFontsAndAnEmptyListLeavesItAlone) {
    AddProject("Demo");
    Select("Demo");
    auto* f = ctx->tblFont;
    f->Append();
    f->FieldByName("Application")->SetAsString("Demo");
    f->FieldByName("FontList")->SetAsString("Arial\r\nCourier New\r\nSymbol");
    f->FieldByName("RtfHeader")->SetAsString("kept");
    f->Post();
    ASSERT_TRUE(editor::BuildFontRegistryHeader(*ctx));
    const std::string header = f->FieldByName("RtfHeader")->AsString();
    EXPECT_EQ(header,
              "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\charset0 Arial;}{\\f1\\fnil\\charset0 Courier New;}"
              "{\\f2\\fnil\\charset0 Symbol;}}{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;"
              "\\red0\\green128\\blue0;\\red128\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green0\\blue128;"
              "\\red0\\green128\\blue128;\\red128\\green128\\blue128;\\red192\\green192\\blue192;\\red255\\green0\\blue0;"
              "\\red0\\green255\\blue0;\\red255\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue255;"
              "\\red0\\green255\\blue255;\\red255\\green255\\blue255;}"
              "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440{\\plain\\f0\\fs20\\cf0 }");
    EXPECT_EQ(ctx->ScratchStream->Bytes(), header);

    f->Edit();
    f->FieldByName("FontList")->SetAsString("\r\n");
    f->Post();
    dialogs.Clear();
    EXPECT_FALSE(editor::BuildFontRegistryHeader(*ctx));
    EXPECT_EQ(f->FieldByName("RtfHeader")->AsString(), header);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
}

TEST_F(PageRules, GenericHeaderIsOneConstant) {
    EXPECT_EQ(editor::GenericProjectRtfHeader(),
              "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\charset0 Arial;}{\\f1\\fnil\\charset0 Courier;}"
              "{\\f2\\fnil\\charset0 Courier New;}{\\f3\\fnil\\charset0 Fixedsys;}{\\f4\\fnil\\charset0 MS Sans Serif;}"
              "{\\f5\\fnil\\charset0 Sans Serif;}{\\f6\\fnil\\charset0 Roman;}{\\f7\\fnil\\charset0 Script;}"
              "{\\f8\\fnil\\charset0 Small Fonts;}{\\f9\\fnil\\charset0 Symbol;}{\\f10\\fnil\\charset0 System;}"
              "{\\f11\\fnil\\charset0 Terminal;}{\\f12\\fnil\\charset0 Times New Roman;}{\\f13\\fnil\\charset0 "
              "Wingdings;}}{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;\\red0\\green128\\blue0;"
              "\\red128\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green0\\blue128;\\red0\\green128\\blue128;"
              "\\red128\\green128\\blue128;\\red192\\green192\\blue192;\\red255\\green0\\blue0;\\red0\\green255\\blue0;"
              "\\red255\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue255;\\red0\\green255\\blue255;"
              "\\red255\\green255\\blue255;}\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440"
              "{\\plain\\f0\\fs20\\cf0 }}");
}

TEST_F(PageRules, AShortProgramHeaderIsRebuiltFromTheScreenFonts) {
    auto* p = ctx->prefsTable;
    p->First();
    p->Edit();
    p->FieldByName("RtfHeader")->SetAsString("{\\rtf1 }}");  // 9 bytes
    p->Post();
    ctx->memoScreenFonts = {"Arial", "Symbol"};
    editor::LoadProgramRtfHeader(*ctx);
    const std::string header = p->FieldByName("RtfHeader")->AsString();
    EXPECT_NE(header.find("{\\f1\\fnil\\charset0 Symbol;}"), std::string::npos);
    EXPECT_EQ(ctx->ScratchStream->Bytes(), header);
    // A full header is only loaded.
    ctx->memoScreenFonts = {"Wingdings"};
    editor::LoadProgramRtfHeader(*ctx);
    EXPECT_EQ(p->FieldByName("RtfHeader")->AsString(), header);
}

TEST_F(PageRules, DisplaySettingsFillAnEmptyFontRow) {
    AddProject("Demo");
    Select("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("Compile")->SetAsString("16");
    ctx->mainTable->FieldByName("ScrollColor")->SetAsInteger(0xECFFFF);
    ctx->mainTable->Post();
    std::vector<std::string> order;
    ctx->Hooks.RefreshPageFilters = [&] { order.push_back("filters"); };
    ctx->Hooks.ApplyContentsFilter = [&] { order.push_back("contents"); };
    ctx->Hooks.LoadExplorerView = [&] { order.push_back("explorer"); };
    ctx->StartupDone = false;
    EXPECT_FALSE(editor::ApplyProjectDisplaySettings(*ctx).applied);
    EXPECT_TRUE(order.empty());
    ctx->StartupDone = true;
    const editor::DisplaySettings s = editor::ApplyProjectDisplaySettings(*ctx);
    EXPECT_TRUE(s.applied);
    EXPECT_EQ(order, (std::vector<std::string>{"filters", "contents", "explorer"}));
    EXPECT_EQ(s.scrollColour, 0xECFFFF);
    EXPECT_EQ(s.nonscrollColour, 0xC0C0C0);
    EXPECT_EQ(s.fontList, editor::DefaultFontList16());
    ASSERT_TRUE(ctx->tblFont->FindKey({TValue(std::string("Demo"))}));
    EXPECT_EQ(ctx->tblFont->FieldByName("RtfHeader")->AsString(), editor::GenericProjectRtfHeader());
    EXPECT_EQ(ctx->ScratchStream->Bytes(), editor::GenericProjectRtfHeader());
}

}  // namespace
