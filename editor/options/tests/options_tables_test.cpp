// Options, filters, fonts and preferences on installed project tables.
#include "project/page_rules.h"
#include "project/page_text.h"
#include "project/settings.h"
#include "project/tests/editor_test_support.h"
#include "editor/options/font_sync.h"
#include "engine/api/dbi_test_hooks.h"
#include "editor/options/font_tables.h"
#include "editor/options/page_filters.h"
#include "editor/options/preferences.h"
#include "editor/options/project_options.h"

#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "data/fields.h"
#include "platform/gui/clipboard.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using editor::EditorContext;
using db::TValue;

const std::string kColours = "{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;}";

std::string Page(const std::string& fonts, const std::string& body) {
    return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl" + fonts + "}" + kColours +
           "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440" + body + "\r\n}";
}
std::string Font(int n, const std::string& name) {
    return "{\\f" + std::to_string(n) + "\\fnil\\charset0 " + name + ";}";
}

// Each run of the text as the engine reads it: its characters and its font name.
std::vector<std::pair<std::string, std::string>> Runs(const std::string& rtf) {
    richtext::TJDRTFTextIo t;
    t.LoadFromString(rtf);
    std::vector<std::pair<std::string, std::string>> runs;
    for (richtext::TParagraph* p = t.FirstParagraph(); p; p = p->next)
        for (richtext::TLine* l = p->lines; l; l = l->next)
            for (std::size_t i = 0; i < l->attrs.size() && i < l->text.size(); ++i) {
                const std::string font = t.Header().fontNames[l->attrs[i].font];
                if (runs.empty() || runs.back().second != font) runs.push_back({"", font});
                runs.back().first += l->text[i];
            }
    return runs;
}

class OptionsTables : public ::testing::Test {
protected:
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<EditorContext> ctx;

    void SetUp() override {
        ctx = std::make_unique<EditorContext>();
        ctx->ProgramDir = folder.dir;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
        ctx->StartupDone = true;
    }
    void AddProject(const std::string& name) {
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString(name);
        ctx->mainTable->Post();
        Select(name);
    }
    void Select(const std::string& name) { ASSERT_TRUE(ctx->mainTable->FindKey({TValue(name)})); }
    void SetMain(const char* field, const std::string& value) {
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName(field)->SetAsString(value);
        ctx->mainTable->Post();
    }
    struct RawPage {
        long id;
        std::string title, fullTitle, helpText, topicPopup = "T";
    };
    void RawPages(const std::string& app, const std::vector<RawPage>& pages) {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.SetTableName(editor::kItemTableFile);
        t.Open();
        for (const auto& p : pages) {
            t.Append();
            t.FieldByName("Application")->SetAsString(app);
            t.FieldByName("HelpId")->SetAsInteger(p.id);
            t.FieldByName("TopicPopup")->SetAsString(p.topicPopup);
            t.FieldByName("Title")->SetAsString(p.title);
            t.FieldByName("FullTitle")->SetAsString(p.fullTitle);
            t.FieldByName("HelpText")->SetAsString(p.helpText);
            t.FieldByName("TitleUserModified")->SetAsString("Y");
            t.Post();
        }
        ctx->detailTable->Refresh();
        ctx->CdetailTable->Refresh();
    }
    std::string PageField(long id, const char* field) {
        auto* c = ctx->CdetailTable;
        for (c->First(); !c->Eof(); c->Next())
            if (c->FieldByName("HelpId")->AsInteger() == id) return c->FieldByName(field)->AsString();
        ADD_FAILURE() << "no page " << id;
        return {};
    }
    // Each page as a fresh cursor reads it from the table file; how many.
    int CheckStoredPages(const std::function<void(db::TDataSet&)>& check) {
        vl::TvlTable fresh(nullptr);
        fresh.DatabaseName = editor::kTavrinAlias;
        fresh.SetTableName(editor::kItemTableFile);
        fresh.Open();
        int seen = 0;
        for (fresh.First(); !fresh.Eof(); fresh.Next(), ++seen) check(fresh);
        return seen;
    }
    // The pages the page table shows, or with `view` those of the Filter
    // View's table.
    std::vector<long> VisibleIds(bool view = false) {
        std::vector<long> ids;
        db::TDataSet* d = view ? static_cast<db::TDataSet*>(ctx->tblFilter) : ctx->detailTable;
        for (d->First(); !d->Eof(); d->Next()) ids.push_back(static_cast<long>(d->FieldByName("HelpId")->AsInteger()));
        return ids;
    }
    void SetRegistry(const std::vector<std::string>& fonts) {
        auto* f = ctx->tblFont;
        f->Append();
        f->FieldByName("Application")->SetAsString(ctx->mainTable->FieldByName("Application")->AsString());
        f->FieldByName("FontList")->SetAsString(fonts.empty() ? "" : fonts[0]);
        f->Post();
        ASSERT_TRUE(editor::StoreFontRegistry(*ctx, fonts));
    }
};

// --- font synchronisation -------------------------------------------------------------------

TEST_F(OptionsTables, SynchronisingThreePagesFollowsTheInstalledHeader) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    SetRegistry({"Times New Roman", "Arial", "Courier"});  // stored sorted: Arial, Courier, Times New Roman
    const std::string header = editor::InstalledHeader(*ctx);
    ASSERT_EQ(editor::FontTableNames(header), (std::vector<std::string>{"Arial", "Courier", "Times New Roman"}));
    RawPages("Demo", {
        {1, "One", Page(Font(0, "Courier"), "\\f0 Head"),
         Page(Font(0, "Courier") + Font(3, "Gone") + Font(7, "Times New Roman"), "\\f7 seven\\f0 zero\\f3 gone\\par")},
        {2, "Two", "", Page(Font(0, "Arial") + Font(1, "Courier"), "\\f1 cour\\f0 arial")},
        {3, "Three", "", Page(Font(0, "Courier"), "\\f0 only")},
    });
    gui::Clipboard()->SetAsText("the user's words");
    dialogs.Answer(gui::mrYes);
    build::NullProgress progress;
    int prepared = 0, rewritten = 0;
    editor::FontSyncOptions o;
    o.prepareRecord = [&] { ++prepared; };
    EXPECT_EQ(editor::SynchroniseFonts(*ctx, progress, o, &rewritten), editor::FontSyncResult::Done);
    EXPECT_EQ(rewritten, 3);
    EXPECT_EQ(prepared, 3);
    EXPECT_EQ(progress.Status(), "Synchronizing fonts...");
    EXPECT_EQ(progress.Percent(), 100);
    EXPECT_EQ(gui::Clipboard()->AsText(), "the user's words");
    EXPECT_EQ(dialogs.Last().text, "Font Synchronization complete!");

    for (long id : {1, 2, 3}) {
        EXPECT_EQ(editor::FontTableNames(PageField(id, "HelpText")), editor::FontTableNames(header)) << id;
        EXPECT_EQ(PageField(id, "TitleUserModified"), "N");
    }
    // Page font 7 is the header's third font: now f2; the missing font becomes f0.
    const std::string body1 = PageField(1, "HelpText");
    EXPECT_NE(body1.find("\\f2 seven\\f1 zero\\f0 gone"), std::string::npos) << body1;
    using Runs_t = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(Runs(body1), (Runs_t{{"seven", "Times New Roman"}, {"zero", "Courier"}, {"gone", "Arial"}}));
    EXPECT_EQ(Runs(PageField(2, "HelpText")), (Runs_t{{"cour", "Courier"}, {"arial", "Arial"}}));
    EXPECT_EQ(Runs(PageField(1, "FullTitle")), (Runs_t{{"Head", "Courier"}}));
    // An empty title stays untouched.
    EXPECT_EQ(PageField(2, "FullTitle"), "");
}

TEST_F(OptionsTables, SynchronisingWithoutTheRegistryUsesTheProgramHeader) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = false;
    ctx->memoScreenFonts = {"Symbol", "Courier"};
    editor::BuildProgramRtfHeader(*ctx);
    RawPages("Demo", {{1, "One", "", Page(Font(0, "Arial") + Font(4, "Courier"), "\\f4 c")},
                      {2, "Two", "", "plain words, not RTF"}});
    build::NullProgress progress;
    editor::FontSyncOptions o;
    o.ask = false;
    o.prepareRecord = [this] { editor::PrepareBuildRecord(*ctx); };
    EXPECT_EQ(editor::SynchroniseFonts(*ctx, progress, o), editor::FontSyncResult::Done);
    EXPECT_NE(PageField(1, "HelpText").find("\\f1 c"), std::string::npos);
    // The build's record is prepared again for the rewritten page.
    EXPECT_EQ(PageField(1, "TitleUserModified"), "Y");
    EXPECT_FALSE(PageField(1, "Prepared").empty());
    EXPECT_EQ(PageField(2, "HelpText"), "plain words, not RTF");
    EXPECT_EQ(PageField(2, "TitleUserModified"), "Y");
}

TEST_F(OptionsTables, SynchronisationDeclinedOrCancelledStops) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    SetRegistry({"Arial"});
    RawPages("Demo", {{1, "One", "", Page(Font(0, "Arial") + Font(1, "X"), "\\f1 a")},
                      {2, "Two", "", Page(Font(0, "Arial") + Font(1, "X"), "\\f1 b")}});
    dialogs.Answer(gui::mrNo);
    build::NullProgress progress;
    EXPECT_EQ(editor::SynchroniseFonts(*ctx, progress, {}), editor::FontSyncResult::Declined);
    EXPECT_FALSE(progress.Shown());
    EXPECT_EQ(PageField(1, "TitleUserModified"), "Y");
    // A cancel during the run ends it after the page being worked on, with no message.
    editor::FontSyncOptions o;
    o.ask = false;
    build::NullProgress stopper;
    int pages = 0, prepared = 0;
    o.prepareRecord = [&] {
        ++prepared;
        stopper.RequestCancel();
    };
    dialogs.Clear();
    EXPECT_EQ(editor::SynchroniseFonts(*ctx, stopper, o, &pages), editor::FontSyncResult::Cancelled);
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(dialogs.Requests().empty());
}

// Row by row outside a transaction each rewritten page waited on its own
// disk syncs: 1,000 pages took seconds on a disk and a fifth of that on tmpfs.
TEST_F(OptionsTables, SynchronisingManyPagesSyncsOnceNotOncePerPage) {
    constexpr int kPages = 40;
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    SetRegistry({"Arial"});
    std::vector<RawPage> pages;
    for (int id = 1; id <= kPages; ++id)
        pages.push_back({id, "Page", "", Page(Font(0, "Arial") + Font(1, "Gone"), "\\f1 word")});
    RawPages("Demo", pages);
    build::NullProgress progress;
    editor::FontSyncOptions o;
    o.ask = false;
    int rewritten = 0;
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        EXPECT_EQ(editor::SynchroniseFonts(*ctx, progress, o, &rewritten), editor::FontSyncResult::Done);
        syncs = counter.Syncs();
    }
    EXPECT_EQ(rewritten, kPages);
    EXPECT_LT(syncs, kPages);
    // Every page is rewritten, and on disk for another cursor too.
    for (long id : {1L, 20L, 40L}) {
        EXPECT_EQ(editor::FontTableNames(PageField(id, "HelpText")), (std::vector<std::string>{"Arial"})) << id;
        EXPECT_EQ(PageField(id, "TitleUserModified"), "N") << id;
    }
    EXPECT_EQ(CheckStoredPages([](db::TDataSet& page) {
                  EXPECT_EQ(editor::FontTableNames(page.FieldByName("HelpText")->AsString()),
                            (std::vector<std::string>{"Arial"}));
              }),
              kPages);
}

// --- enforcement ---------------------------------------------------------------------------------

TEST_F(OptionsTables, EnforcingSizeZeroChangesNothingAndFontsApply) {
    AddProject("Demo");
    SetMain("DefaultTextSize", "0");
    SetMain("DefaultTextFont", "Courier New");
    const std::string body = Page(Font(0, "Arial"), "\\f0\\fs24 words\\par");
    RawPages("Demo", {{1, "One", "", body}});
    editor::EnforceChoice only;
    only.font = only.nonscrollColour = false;
    only.size = true;
    int changed = -1;
    EXPECT_TRUE(editor::EnforceFormatting(*ctx, only, &changed));
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(PageField(1, "HelpText"), body);
    EXPECT_EQ(PageField(1, "TitleUserModified"), "Y");

    editor::EnforceChoice font;
    font.size = font.nonscrollColour = false;
    EXPECT_TRUE(editor::EnforceFormatting(*ctx, font, &changed));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Runs(PageField(1, "HelpText")), (std::vector<std::pair<std::string, std::string>>{{"words", "Courier New"}}));
    EXPECT_EQ(PageField(1, "TitleUserModified"), "N");

    dialogs.Clear();
    EXPECT_FALSE(editor::EnforceFormatting(*ctx, {false, false, false, false}));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].caption, "Nothing Selected");
}

// Like the font synchronisation, enforcing formatting on every page waits
// on the disk once for the lot, and every page is on disk after it.
TEST_F(OptionsTables, EnforcingOnManyPagesSyncsOnceNotOncePerPage) {
    constexpr int kPages = 40;
    AddProject("Demo");
    SetMain("DefaultTextFont", "Courier New");
    std::vector<RawPage> pages;
    for (int id = 1; id <= kPages; ++id) pages.push_back({id, "Page", "", Page(Font(0, "Arial"), "\\f0 word\\par")});
    RawPages("Demo", pages);
    editor::EnforceChoice font;
    font.size = font.nonscrollColour = false;
    int changed = 0;
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        EXPECT_TRUE(editor::EnforceFormatting(*ctx, font, &changed));
        syncs = counter.Syncs();
    }
    EXPECT_EQ(changed, kPages);
    EXPECT_LT(syncs, kPages);
    EXPECT_EQ(CheckStoredPages([](db::TDataSet& page) {
                  EXPECT_EQ(Runs(page.FieldByName("HelpText")->AsString()),
                            (std::vector<std::pair<std::string, std::string>>{{"word", "Courier New"}}));
                  EXPECT_EQ(page.FieldByName("TitleUserModified")->AsString(), "N");
              }),
              kPages);
}

// --- registry -------------------------------------------------------------------------------------

TEST_F(OptionsTables, RegistryDialogListsAndStore) {
    editor::FontRegistryLists l;
    l.Fill({"Symbol", "Arial"}, {"arial", "Wingdings", "Courier", "Symbol"});
    EXPECT_EQ(l.used, (std::vector<std::string>{"Arial", "Symbol"}));
    EXPECT_EQ(l.available, (std::vector<std::string>{"Courier", "Wingdings"}));
    l.availableIndex = 1;
    l.MoveToUsed();
    EXPECT_EQ(l.used, (std::vector<std::string>{"Arial", "Symbol", "Wingdings"}));
    EXPECT_EQ(l.availableIndex, 0);  // the item now at the same place, or the last
    l.AllToAvailable();
    EXPECT_TRUE(l.used.empty());
    l.MoveToAvailable();  // nothing selected: nothing happens
    EXPECT_EQ(l.available.size(), 4u);

    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    dialogs.Clear();
    EXPECT_FALSE(editor::StoreFontRegistry(*ctx, {}));
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    ASSERT_TRUE(editor::StoreFontRegistry(*ctx, {"Wingdings", "Arial"}));
    EXPECT_EQ(editor::CurrentFontRegistry(*ctx), (std::vector<std::string>{"Arial", "Wingdings"}));
    EXPECT_EQ(editor::FontTableNames(editor::InstalledHeader(*ctx)), (std::vector<std::string>{"Arial", "Wingdings"}));
}

TEST_F(OptionsTables, AnEmptyRegistryOfA32BitProjectGetsFourteenFonts) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    SetMain("Compile", "32");
    EXPECT_EQ(editor::ApplyProjectDisplaySettings(*ctx).fontList.size(), 14u);
    EXPECT_EQ(editor::CurrentFontRegistry(*ctx).size(), 14u);
}

// The project's stored lists, each read by its own command, split at every
// line end alike: the filters keep their empty lines, the font registry skips them.
TEST_F(OptionsTables, StoredListsSplitAtEveryLineEnd) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    ASSERT_TRUE(editor::StoreFontRegistry(*ctx, {"Arial"}));
    using L = std::vector<std::string>;
    struct Case {
        const char* name;
        const char* text;
        L keep, skip;
    };
    const Case cases[] = {
        {"CR LF", "A\r\nB", {"A", "B"}, {"A", "B"}},
        {"lone CR", "A\rB\r", {"A", "B"}, {"A", "B"}},
        {"lone LF", "A\nB\n", {"A", "B"}, {"A", "B"}},
        {"empty lines", "A\r\n\r\nB\r\n", {"A", "", "B"}, {"A", "B"}},
        {"LF then CR", "A\n\rB", {"A", "", "B"}, {"A", "B"}},
    };
    auto setFonts = [&](const std::string& text) {
        ctx->tblFont->Edit();
        ctx->tblFont->SetFieldStr("FontList", text);
        ctx->tblFont->Post();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetMain("DetailFilter", c.text);
        EXPECT_EQ(editor::StoredFilterLines(*ctx), c.keep);
        SetMain("PmFilter", c.text);
        EXPECT_EQ(editor::ContentsFilterHistory(*ctx), c.keep);
        setFonts(c.text);
        EXPECT_EQ(editor::CurrentFontRegistry(*ctx), c.skip);
        setFonts(c.text);
        EXPECT_EQ(editor::ApplyProjectDisplaySettings(*ctx).fontList, c.keep);
    }
}

// --- page filters ----------------------------------------------------------------------------------

TEST_F(OptionsTables, AppliedFiltersShowTheirPagesAndAreStored) {
    AddProject("Demo");
    RawPages("Demo", {{1, "Intro", "", ""}, {2, "Setup", "", ""}, {3, "Intro", "", "", "P"}, {4, "Usage", "", ""}});
    editor::FilterValues v;
    v[editor::flHelpIdFrom] = "2";
    v[editor::flHelpIdTo] = "3";
    EXPECT_TRUE(editor::ApplyPageFilter(*ctx, v));
    EXPECT_EQ(VisibleIds(), (std::vector<long>{2, 3}));
    EXPECT_EQ(VisibleIds(true), (std::vector<long>{2, 3}));  // the Filter View shows the same pages
    EXPECT_EQ(editor::StoredFilterLines(*ctx).size(), 17u);

    editor::FilterValues t;
    t[editor::flTitle] = "Intro";
    t[editor::flTopicPopup] = "T";
    EXPECT_TRUE(editor::ApplyPageFilter(*ctx, t));
    EXPECT_EQ(VisibleIds(), (std::vector<long>{1}));
    EXPECT_EQ(editor::StoredFilterLines(*ctx)[2], "TopicPopup = T");

    editor::ClearPageFilters(*ctx);
    EXPECT_EQ(VisibleIds(), (std::vector<long>{1, 2, 3, 4}));
    EXPECT_EQ(VisibleIds(true), (std::vector<long>{1, 2, 3, 4}));
    const auto cleared = editor::StoredFilterLines(*ctx);
    ASSERT_EQ(cleared.size(), 17u);
    EXPECT_EQ(cleared[0], "HelpID >= 0");
    EXPECT_EQ(cleared[16], " ");
}

// Filter › Clear Filters before any project exists.
TEST_F(OptionsTables, ClearingFiltersWithoutAProjectWritesNoRow) {
    auto* m = ctx->mainTable;
    ASSERT_TRUE(m->IsEmpty());
    dialogs.Clear();
    editor::ClearPageFilters(*ctx);
    for (const auto& r : dialogs.Requests()) ADD_FAILURE() << r.caption << ": " << r.text;
    EXPECT_EQ(m->State(), db::dsBrowse);
    m->Refresh();
    EXPECT_TRUE(m->IsEmpty());
}

TEST_F(OptionsTables, ABadFilterIsStillStoredAndAQuoteIsRefused) {
    AddProject("Demo");
    RawPages("Demo", {{1, "A", "", ""}});
    editor::FilterValues bad;
    bad[editor::flHelpIdFrom] = "abc";
    dialogs.Clear();
    EXPECT_FALSE(editor::ApplyPageFilter(*ctx, bad));
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_EQ(dialogs.Requests()[0].caption, "Filter Error");
    ASSERT_EQ(editor::StoredFilterLines(*ctx).size(), 17u);
    EXPECT_EQ(editor::StoredFilterLines(*ctx)[0], "HelpID >= abc");

    editor::FilterValues quoted;
    quoted[editor::flTitle] = "A\" OR Title = \"B";
    dialogs.Clear();
    EXPECT_FALSE(editor::ApplyPageFilter(*ctx, quoted));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].caption, "Warning");
    EXPECT_EQ(editor::StoredFilterLines(*ctx)[0], "HelpID >= abc");  // unchanged
}

TEST_F(OptionsTables, AColumnFilterChangesOnlyItsOwnLines) {
    AddProject("Demo");
    RawPages("Demo", {{100, "Intro", "", ""}, {150, "Intro", "", ""}, {250, "Intro", "", ""}, {120, "Other", "", ""}});
    editor::FilterValues t;
    t[editor::flTitle] = "Intro";
    t[editor::flVersion] = "";
    editor::ApplyPageFilter(*ctx, t);
    const auto before = editor::StoredFilterLines(*ctx);
    EXPECT_TRUE(editor::ApplyColumnFilter(*ctx, editor::CriterionOfField("HelpID", false), {"100", "200"}));
    const auto after = editor::StoredFilterLines(*ctx);
    ASSERT_EQ(after.size(), 17u);
    EXPECT_EQ(after[0], "HelpID >= 100");
    EXPECT_EQ(after[1], "HelpID <= 200");
    for (std::size_t i = 2; i < 17; ++i) EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(VisibleIds(), (std::vector<long>{100, 150}));
}

TEST_F(OptionsTables, TheStoredFilterFollowsAProjectChange) {
    AddProject("Alpha");
    AddProject("Beta");
    RawPages("Alpha", {{1, "A1", "", ""}, {2, "A2", "", ""}});
    RawPages("Beta", {{1, "B1", "", ""}, {2, "B2", "", ""}, {3, "B3", "", ""}});
    editor::InstallFilterFollowers(*ctx);
    Select("Alpha");
    editor::FilterValues a;
    a[editor::flHelpIdFrom] = "2";
    editor::ApplyPageFilter(*ctx, a);
    Select("Beta");
    editor::FilterValues b;
    b[editor::flHelpIdTo] = "1";
    editor::ApplyPageFilter(*ctx, b);
    Select("Alpha");
    editor::ApplyProjectDisplaySettings(*ctx);  // runs RestoreDetailFilter
    EXPECT_EQ(VisibleIds(), (std::vector<long>{2}));
    Select("Beta");
    EXPECT_TRUE(editor::RestoreDetailFilter(*ctx));
    EXPECT_EQ(VisibleIds(), (std::vector<long>{1}));
    EXPECT_EQ(VisibleIds(true), (std::vector<long>{1}));
}

// A tab change re-applies the stored filter: the page the user is on stays
// current when it still passes; one that no longer passes gives way to the
// filter's first page.
TEST_F(OptionsTables, ReapplyingTheFilterKeepsThePageThatStillPasses) {
    AddProject("Demo");
    RawPages("Demo", {{1, "One", "", ""}, {2, "Two", "", ""}, {3, "Three", "", ""}, {4, "Four", "", ""}});
    editor::FilterValues v;
    v[editor::flHelpIdFrom] = "2";
    ASSERT_TRUE(editor::ApplyPageFilter(*ctx, v));
    db::TDataSet* d = ctx->detailTable;
    d->Last();
    ASSERT_EQ(d->FieldByName("HelpId")->AsInteger(), 4);
    ASSERT_TRUE(editor::RestoreDetailFilter(*ctx));
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 4);
    EXPECT_EQ(VisibleIds(), (std::vector<long>{2, 3, 4}));

    editor::ClearPageFilters(*ctx);
    d->First();
    ASSERT_EQ(d->FieldByName("HelpId")->AsInteger(), 1);
    editor::FilterValues w;
    w[editor::flHelpIdFrom] = "3";
    ASSERT_TRUE(editor::ApplyPageFilter(*ctx, w));  // page 1 is filtered out now
    ASSERT_TRUE(editor::RestoreDetailFilter(*ctx));
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 3);
    EXPECT_EQ(VisibleIds(), (std::vector<long>{3, 4}));
}

TEST_F(OptionsTables, ContentsFilterAndHistory) {
    AddProject("Demo");
    for (int i = 1; i <= 11; ++i) editor::SaveContentsFilterWord(*ctx, "w" + std::to_string(i));
    auto h = editor::ContentsFilterHistory(*ctx);
    ASSERT_EQ(h.size(), 10u);
    EXPECT_EQ(h.front(), "w11");
    EXPECT_EQ(h.back(), "w2");
    auto* c = ctx->cntTable;
    for (const char* f : {"alpha", "beta", "alpha"}) {
        c->Append();
        c->FieldByName("Application")->SetAsString("Demo");
        c->FieldByName("Filter")->SetAsString(f);
        c->FieldByName("Title")->SetAsString(std::string("entry ") + f);
        c->Post();
    }
    SetMain("ContentsFilter", "alpha");
    EXPECT_TRUE(editor::ApplyContentsFilter(*ctx));
    int n = 0;
    for (c->First(); !c->Eof(); c->Next()) ++n;
    EXPECT_EQ(n, 2);
    SetMain("ContentsFilter", "");
    EXPECT_TRUE(editor::ApplyContentsFilter(*ctx));
    n = 0;
    for (c->First(); !c->Eof(); c->Next()) ++n;
    EXPECT_EQ(n, 3);
}

// --- project options -------------------------------------------------------------------------------

TEST_F(OptionsTables, GroupsStoreTheirFieldsAndStyleTexts) {
    AddProject("Demo");
    SetMain("TitleColor", "15");
    EXPECT_EQ(editor::LoadGroup(*ctx, editor::OptionGroup::TopicTitle).colourName, "Black");
    editor::GroupValues v;
    v.font = "Courier";
    v.size = "11";
    v.colourName = "Navy";
    v.bold = true;
    editor::StoreGroup(*ctx, editor::OptionGroup::PopupTitle, v, 0xC0C0C0, 0xECFFFF);
    auto* m = ctx->mainTable;
    EXPECT_EQ(m->FieldByName("PopupFont")->AsString(), "Courier");
    EXPECT_EQ(m->FieldByName("PopupSize")->AsInteger(), 11);
    EXPECT_EQ(m->FieldByName("PopupColor")->AsInteger(), 4);
    EXPECT_EQ(m->FieldByName("PopupStyle")->AsString(), "[afsBold]");
    EXPECT_EQ(m->FieldByName("ScrollColor")->AsInteger(), 0xECFFFF);
    EXPECT_FALSE(m->FieldByName("LastModified")->IsNull());
    const editor::GroupValues back = editor::LoadGroup(*ctx, editor::OptionGroup::PopupTitle);
    EXPECT_EQ(back.colourName, "Navy");
    EXPECT_TRUE(back.bold);
    EXPECT_FALSE(back.italic);
    // An empty font and size show the defaults.
    const editor::GroupValues text = editor::LoadGroup(*ctx, editor::OptionGroup::HelpText);
    EXPECT_EQ(text.font, "Arial");
}

// Project Options opened and closed with no project stores its panel: that
// must not leave a blank project row behind.
TEST_F(OptionsTables, WithoutAProjectTheStoresWriteNoRow) {
    auto* m = ctx->mainTable;
    ASSERT_TRUE(m->IsEmpty());
    editor::GroupValues v;
    v.font = "Arial";
    v.size = "10";
    v.colourName = "Black";
    editor::StoreGroup(*ctx, editor::OptionGroup::TopicTitle, v, 0xC0C0C0, 0xFFFFFF);
    editor::StoreProjectField(*ctx, "AddButton1", "Y");
    editor::StoreWindowUnits(*ctx, false, {10, 20, 300, 400});
    EXPECT_EQ(m->State(), db::dsBrowse);
    m->Refresh();
    EXPECT_TRUE(m->IsEmpty());
    // With a project they write as before.
    AddProject("Demo");
    editor::StoreWindowUnits(*ctx, false, {10, 20, 300, 400});
    EXPECT_EQ(m->FieldByName("Ww")->AsInteger(), 300);
}

TEST_F(OptionsTables, FolderButtonsChangeTheFieldOnlyOnOk) {
    AddProject("Demo");
    SetMain("ProjectDir", "missing-folder");
    std::string startSeen;
    auto cancel = [&](const std::string&, const std::string& start, std::string&) {
        startSeen = start;
        return false;
    };
    dialogs.Clear();
    EXPECT_FALSE(editor::ChooseProjectFolder(*ctx, "ProjectDir", cancel));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_NE(dialogs.Requests()[0].text.find("This directory does not exist. Please pick another."), std::string::npos);
    EXPECT_EQ(startSeen, ctx->ProgramDir);
    EXPECT_EQ(ctx->mainTable->FieldByName("ProjectDir")->AsString(), "missing-folder");  // Cancel keeps it

    std::filesystem::create_directories(folder.Path("pics"));
    SetMain("GraphicsDir", "pics");
    dialogs.Clear();
    auto ok = [&](const std::string& caption, const std::string& start, std::string& chosen) {
        EXPECT_EQ(caption, "Graphics dir");
        startSeen = start;
        chosen = "C:\\art";
        return true;
    };
    EXPECT_TRUE(editor::ChooseProjectFolder(*ctx, "GraphicsDir", ok));
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_NE(startSeen.find("pics"), std::string::npos);
    EXPECT_EQ(ctx->mainTable->FieldByName("GraphicsDir")->AsString(), "C:\\art");
}

TEST_F(OptionsTables, DraggingTheMainMiniatureToTheLeftStoresZero) {
    AddProject("Demo");
    editor::StoreWindowUnits(*ctx, false, editor::UnitsFromMiniature({-12, 10, 100, 80}, 256, 192));
    const editor::WindowUnitsRect u = editor::LoadWindowUnits(*ctx, false);
    EXPECT_EQ(u.x, 0);
    EXPECT_EQ(u.y, 50);  // 1024 / 192 = 5.33 -> 5
    EXPECT_EQ(u.w, 400);
}

// --- preferences -------------------------------------------------------------------------------------

TEST_F(OptionsTables, PreferencesClosedWithEscApply) {
    AddProject("Demo");
    ctx->Settings.kqIniSettings.DictionaryName = "Klingon.dct";
    editor::PreferenceValues v = editor::LoadPreferences(*ctx);
    EXPECT_EQ(v.dictionary, "British");
    v.gridFontSize = "11";
    v.gridFontBold = true;
    v.showLines = false;
    v.wordProcessor = "/usr/bin/wp";
    bool applied = false;
    ctx->ApplyProjectDisplaySettings = [&] { applied = true; };
    editor::ApplyPreferences(*ctx, v);  // Esc and OK close the same way
    EXPECT_TRUE(applied);
    EXPECT_EQ(ctx->Settings.GridFontSize, 11);
    EXPECT_TRUE(ctx->Settings.GridFontBold);
    EXPECT_FALSE(ctx->Settings.kqIniSettings.TreeShowLines);
    EXPECT_EQ(ctx->Settings.kqIniSettings.DictionaryName, "British.dct");
    EXPECT_EQ(editor::GetWordProcessorPath(ctx->ProgramDir), "/usr/bin/wp");
    EXPECT_EQ(editor::GetPaintPackagePath(ctx->ProgramDir), "");

    v.gridFontSize = "eleven";
    editor::ApplyPreferences(*ctx, v);
    EXPECT_EQ(ctx->Settings.GridFontSize, 11);

    editor::StoreJumpColour(*ctx, true, 0x123456);
    EXPECT_EQ(editor::PreferenceColourName(editor::LoadPreferences(*ctx).topicColour), "Green");
    editor::StoreJumpColour(*ctx, false, 0x0000FF);
    EXPECT_EQ(editor::PreferenceColourName(editor::LoadPreferences(*ctx).popupColour), "Red");
}

TEST_F(OptionsTables, MissingDictionaryAndProgramAreReported) {
    dialogs.Clear();
    EXPECT_FALSE(editor::CheckDictionaryPresent(*ctx, "Dutch"));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].caption, "Dictionary not found");
    EXPECT_EQ(dialogs.Requests()[0].text.rfind("This dictionary was not found.", 0), 0u);
    EXPECT_EQ(editor::ChooseOutsideProgram(folder.Path("nope.exe"), "old"), "old");
    const std::string real = folder.Path("paint.exe");
    std::ofstream(real) << "x";
    EXPECT_EQ(editor::ChooseOutsideProgram(real, "old"), real);
}

}  // namespace
