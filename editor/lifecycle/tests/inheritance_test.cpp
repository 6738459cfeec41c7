// Inheritance links and jump integrity on two projects, through the page
// rules' after-post chain where a page is saved.
#include "editor/lifecycle/inheritance.h"
#include "lifecycle_fixture.h"

#include "engine/api/dbi_test_hooks.h"
#include "project/page_text.h"
#include "richtext/view/rtf_text_io.h"

namespace {

using lctest::Row;

std::string Body(const std::string& text) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 " + text + "\\par}";
}
std::string Jump(const std::string& shown, const std::string& target) {
    return "{\\uldb " + shown + "}{\\v " + target + "}";
}

// The hidden runs of stored RTF, in order.
std::vector<std::string> HiddenRuns(const std::string& rtf) {
    std::vector<std::string> out;
    if (rtf.empty()) return out;
    richtext::TJDRTFTextIo io;
    io.LoadFromString(rtf);
    for (richtext::TParagraph* p = io.FirstParagraph(); p; p = p->next)
        for (richtext::TLine* l = p->lines; l; l = l->next)
            for (int i = 0; i < l->Length();) {
                if (l->attrs.empty() || !(l->attrs[i].style & editor::kStyleHidden)) {
                    ++i;
                    continue;
                }
                int e = i;
                while (e < l->Length() && (l->attrs[e].style & editor::kStyleHidden)) ++e;
                out.push_back(l->text.substr(i, e - i));
                i = e;
            }
    return out;
}

class Inheritance : public lctest::Lifecycle {
protected:
    std::vector<std::string> log, status;

    void SetUp() override {
        Lifecycle::SetUp();
        editor::InstallPageRules(*ctx);
        editor::InstallLifecycleFollowers(*ctx, [this](const std::string& s) { status.push_back(s); });
        for (const char* p : {"Alpha", "Beta"}) Add(editor::kMainTableFile, {{"Application", p}});
    }
    static void AddPage(const std::string& app, long id, const std::string& body = "", const Row& extra = {}) {
        Row r = {{"Application", app}, {"HelpId", std::to_string(id)}, {"TopicPopup", "T"},
                 {"Title", "Page " + std::to_string(id)}};
        if (!body.empty()) r["HelpText"] = body;
        for (const auto& [k, v] : extra) r[k] = v;
        Add(editor::kItemTableFile, r);
    }
    static void Link(const std::string& master, long id, const std::string& app, long inheritor) {
        Add(editor::kInhTableFile, {{"Application", master},
                                    {"HelpId", std::to_string(id)},
                                    {"InheritedApplication", app},
                                    {"InheritedId", std::to_string(inheritor)}});
    }
    static void Ref(const std::string& app, long target, long by) {
        Add(editor::kRefiTableFile,
            {{"Application", app}, {"HelpId", std::to_string(target)}, {"ReferencedBy", std::to_string(by)}});
    }
    static int Links(const std::string& master, long id) {
        int n = 0;
        for (const Row& r : Rows(editor::kInhTableFile, "Application", master))
            if (r.at("HelpId") == std::to_string(id)) ++n;
        return n;
    }
    static std::vector<std::string> RefsOf(const std::string& app) {
        std::vector<std::string> out;
        for (const Row& r : Rows(editor::kRefiTableFile, "Application", app))
            out.push_back(r.at("HelpId") + "<" + r.at("ReferencedBy"));
        return out;
    }
    void Save(const std::function<void(db::TDataSet&)>& change) {
        auto* d = ctx->detailTable;
        d->Edit();
        change(*d);
        d->Post();
    }
    editor::InheritSelectDialog Choose(const std::string& app, long id, editor::InheritSelectRequest* seen = nullptr) {
        return [=](const editor::InheritSelectRequest& r, editor::InheritChoice& c) {
            if (seen) *seen = r;
            c.application = app;
            c.helpId = id;
            return true;
        };
    }
};

TEST_F(Inheritance, InheritAndBreakKeepTheMasterRight) {
    AddPage("Alpha", 10, Body("Master text"));
    AddPage("Beta", 20);
    AddPage("Beta", 21);
    AddPage("Beta", 22, Body("Own words"));
    Select("Beta");
    GoToPage(20);
    editor::InheritSelectRequest seen;
    ASSERT_TRUE(editor::InheritFromMaster(*ctx, Choose("Alpha", 10, &seen)));
    EXPECT_EQ(seen.caption, "Select a Topic to Inherit From");
    EXPECT_EQ(seen.currentProject, "Beta");
    EXPECT_EQ(Page("Beta", 20).at("InheritedStatus"), "Inherited");
    EXPECT_EQ(Page("Beta", 20).at("InheritedApplication"), "Alpha");
    EXPECT_EQ(Page("Beta", 20).at("HelpText"), Page("Alpha", 10).at("HelpText"));
    EXPECT_EQ(Page("Alpha", 10).at("InheritedStatus"), "Master");
    EXPECT_EQ(ctx->Settings.kqIniSettings.LastInheritedFrom, "Alpha");
    EXPECT_EQ(Links("Alpha", 10), 1);
    EXPECT_EQ(Rows(editor::kInhTableFile).at(0).at("InheritedTitle"), "Page 20");
    EXPECT_EQ(editor::InheritMenuFor("Inherited").breakLink, true);

    GoToPage(21);
    ASSERT_TRUE(editor::InheritFromMaster(*ctx, Choose("Alpha", 10)));
    EXPECT_EQ(Links("Alpha", 10), 2);
    EXPECT_TRUE(dialogs.Requests().empty());  // empty bodies: no question

    // A page with its own text is asked first; No leaves it alone.
    GoToPage(22);
    dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(editor::InheritFromMaster(*ctx, Choose("Alpha", 10)));
    EXPECT_EQ(dialogs.Last().caption, "Overwrite current text?");
    EXPECT_EQ(Page("Beta", 22).at("InheritedStatus"), "");

    GoToPage(20);
    dialogs.Clear();
    EXPECT_FALSE(editor::InheritFromMaster(*ctx, Choose("Alpha", 10)));
    EXPECT_EQ(dialogs.Last().text, editor::kAlreadyInheritsText);

    ASSERT_TRUE(editor::BreakInheritance(*ctx));
    EXPECT_EQ(Page("Alpha", 10).at("InheritedStatus"), "Master");  // page 21 still inherits
    EXPECT_EQ(Page("Beta", 20).at("InheritedStatus"), "");
    EXPECT_EQ(Page("Beta", 20).at("HelpText"), Page("Alpha", 10).at("HelpText"));  // keeps its text
    GoToPage(21);
    ASSERT_TRUE(editor::BreakInheritance(*ctx));
    EXPECT_EQ(Page("Alpha", 10).at("InheritedStatus"), "");
    EXPECT_EQ(Links("Alpha", 10), 0);
}

TEST_F(Inheritance, MasterPostReachesInheritorsAndDropsDeadLinks) {
    AddPage("Alpha", 10, Body("Old"), {{"InheritedStatus", "Master"}});
    AddPage("Beta", 20, Body("Old"), {{"InheritedStatus", "Inherited"}});
    AddPage("Beta", 21, Body("Old"), {{"InheritedStatus", "Inherited"}});
    Link("Alpha", 10, "Beta", 20);
    Link("Alpha", 10, "Beta", 19);  // its page was deleted
    Link("Alpha", 10, "Beta", 21);
    Select("Alpha");
    GoToPage(10);
    Save([](db::TDataSet& d) { d.FieldByName("HelpText")->SetAsString(Body("New master text")); });
    for (long id : {20L, 21L}) {
        EXPECT_EQ(Page("Beta", id).at("HelpText"), Page("Alpha", 10).at("HelpText")) << id;
        EXPECT_EQ(Page("Beta", id).at("TitleUserModified"), "N") << id;
        EXPECT_EQ(Page("Beta", id).at("FullTitle"), "") << id;  // the master has no title
    }
    EXPECT_EQ(Links("Alpha", 10), 2);
    EXPECT_EQ(status, (std::vector<std::string>{editor::kUpdatingInheritanceText, ""}));
    EXPECT_TRUE(dialogs.Requests().empty());
}

// A master saved with many inheriting pages rewrites them all, waiting on
// the disk once for the lot rather than once a page.
TEST_F(Inheritance, AMasterWithManyInheritorsSyncsOnceNotOncePerPage) {
    constexpr int kPages = 40;
    AddPage("Alpha", 10, Body("Old"), {{"InheritedStatus", "Master"}});
    for (long id = 1; id <= kPages; ++id) {
        AddPage("Beta", id, Body("Old"), {{"InheritedStatus", "Inherited"}});
        Link("Alpha", 10, "Beta", id);
    }
    Select("Alpha");
    GoToPage(10);
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        Save([](db::TDataSet& d) { d.FieldByName("HelpText")->SetAsString(Body("New master text")); });
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kPages);
    for (long id = 1; id <= kPages; ++id) {
        EXPECT_EQ(Page("Beta", id).at("HelpText"), Page("Alpha", 10).at("HelpText")) << id;
        EXPECT_EQ(Page("Beta", id).at("TitleUserModified"), "N") << id;
    }
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(Inheritance, RenumberingRewritesWholeTargetsAndMovesRows) {
    AddPage("Alpha", 12);
    AddPage("Alpha", 123);
    AddPage("Alpha", 30, Body("See " + Jump("this", "12") + " and " + Jump("that", "123") + "."));
    AddPage("Alpha", 31, Body(Jump("back", "12>second")));
    AddPage("Beta", 30, Body(Jump("other project", "12")));
    Ref("Alpha", 12, 30);
    Ref("Alpha", 12, 31);
    Ref("Alpha", 40, 31);  // the pair is recorded already under the new id
    Ref("Alpha", 123, 30);
    Ref("Alpha", 123, 12);  // a jump page 12 itself makes
    Ref("Alpha", 12, 77);   // its page is gone
    Ref("Beta", 12, 30);
    Link("Beta", 5, "Alpha", 12);  // page 12 inherits
    AddPage("Beta", 7, "", {{"InheritedStatus", "Inherited"}, {"InheritedApplication", "Alpha"}, {"InheritedId", "12"}});
    Link("Alpha", 12, "Beta", 7);  // and is a master
    Select("Alpha");
    GoToPage(12);
    Save([](db::TDataSet& d) { d.FieldByName("HelpId")->SetAsInteger(40); });

    EXPECT_EQ(status, std::vector<std::string>{"Jump Integrity updated 2 references for helpId 12"});
    EXPECT_EQ(HiddenRuns(Page("Alpha", 30).at("HelpText")), (std::vector<std::string>{"40", "123"}));
    EXPECT_EQ(HiddenRuns(Page("Alpha", 31).at("HelpText")), std::vector<std::string>{"40>second"});
    EXPECT_EQ(HiddenRuns(Page("Beta", 30).at("HelpText")), std::vector<std::string>{"12"});
    EXPECT_EQ(Page("Alpha", 30).at("TitleUserModified"), "N");
    auto refs = RefsOf("Alpha");
    std::sort(refs.begin(), refs.end());
    EXPECT_EQ(refs, (std::vector<std::string>{"123<30", "123<40", "40<30", "40<31"}));
    EXPECT_EQ(RefsOf("Beta"), std::vector<std::string>{"12<30"});
    EXPECT_EQ(Rows(editor::kInhTableFile, "Application", "Beta").at(0).at("InheritedId"), "40");
    EXPECT_EQ(Rows(editor::kInhTableFile, "Application", "Alpha").at(0).at("HelpId"), "40");
    EXPECT_EQ(Page("Beta", 7).at("InheritedId"), "40");
}

// A page many others jump to, given a new id, has their targets rewritten
// waiting on the disk once for the lot rather than once a page.
TEST_F(Inheritance, ManyJumpsToARenumberedPageSyncOnceNotOncePerPage) {
    constexpr long kPages = 40;
    AddPage("Alpha", 12);
    for (long id = 100; id < 100 + kPages; ++id) {
        AddPage("Alpha", id, Body("See " + Jump("this", "12") + "."));
        Ref("Alpha", 12, id);
    }
    Select("Alpha");
    GoToPage(12);
    long syncs = 0;
    {
        qv::DbiSyncCounter counter;
        Save([](db::TDataSet& d) { d.FieldByName("HelpId")->SetAsInteger(40); });
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kPages);
    EXPECT_EQ(status, std::vector<std::string>{"Jump Integrity updated " + std::to_string(kPages) +
                                               " references for helpId 12"});
    for (long id : {100L, 100 + kPages - 1})
        EXPECT_EQ(HiddenRuns(Page("Alpha", id).at("HelpText")), std::vector<std::string>{"40"}) << id;
    EXPECT_EQ(RefsOf("Alpha").size(), static_cast<std::size_t>(kPages));
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(Inheritance, ContextStringChanges) {
    AddPage("Alpha", 12, "", {{"ContextString", "Target"}});
    AddPage("Alpha", 13);
    const std::string body =
        Body(Jump("a", "Target") + " " + Jump("b", "12") + " " + Jump("c", "TargetMore") + " " + Jump("d", "target"));
    AddPage("Alpha", 30, body);
    Ref("Alpha", 12, 30);
    Ref("Alpha", 13, 30);
    Select("Alpha");

    // A first context string: nothing to rewrite, nothing corrupted.
    GoToPage(13);
    Save([](db::TDataSet& d) { d.FieldByName("ContextString")->SetAsString("Fresh"); });
    EXPECT_EQ(Page("Alpha", 30).at("HelpText"), body);

    GoToPage(12);
    Save([](db::TDataSet& d) { d.FieldByName("ContextString")->SetAsString("Goal"); });
    EXPECT_EQ(HiddenRuns(Page("Alpha", 30).at("HelpText")),
              (std::vector<std::string>{"Goal", "12", "TargetMore", "Goal"}));

    // A cleared context string leaves the jumps on the page's help id.
    GoToPage(12);
    Save([](db::TDataSet& d) { d.FieldByName("ContextString")->SetAsString(""); });
    EXPECT_EQ(HiddenRuns(Page("Alpha", 30).at("HelpText")),
              (std::vector<std::string>{"12", "12", "TargetMore", "12"}));
    EXPECT_EQ(RefsOf("Alpha").size(), 2u);
}

TEST_F(Inheritance, FollowersRunInTheirOrderAfterAPost) {
    AddPage("Alpha", 12, "", {{"InheritedStatus", "Master"}});
    auto wrap = [this](auto& hook, const char* name) {
        auto inner = hook;
        hook = [this, inner, name](auto&&... a) {
            log.push_back(name);
            if (inner) inner(a...);
        };
    };
    wrap(ctx->Hooks.RebuildJumpReferences, "jump integrity");
    wrap(ctx->Hooks.UpdateContentsJumps, "contents jumps");
    wrap(ctx->Hooks.ReachInheritedCopies, "inheritance links");
    wrap(ctx->Hooks.PassMasterText, "inherited pages");
    Select("Alpha");
    GoToPage(12);
    Save([](db::TDataSet& d) { d.FieldByName("HelpId")->SetAsInteger(14); });
    EXPECT_EQ(log, (std::vector<std::string>{"jump integrity", "contents jumps", "inheritance links",
                                             "inherited pages"}));
}

TEST_F(Inheritance, WhoInheritsLists) {
    AddPage("Alpha", 10, "", {{"InheritedStatus", "Master"}});
    AddPage("Beta", 20, "", {{"InheritedStatus", "Inherited"}});
    Add(editor::kInhTableFile, {{"Application", "Alpha"},
                                {"HelpId", "10"},
                                {"InheritedApplication", "Beta"},
                                {"InheritedId", "20"},
                                {"InheritedTitle", "Page 20"}});
    Select("Alpha");
    GoToPage(10);
    std::vector<editor::Inheritor> shown;
    dialogs.Answer(gui::mrNo);  // stay on the inheriting page
    editor::ShowInheritors(*ctx, [&](const std::vector<editor::Inheritor>& rows, int& sel) {
        shown = rows;
        sel = 0;
        return 4;
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Page 20");
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Beta");
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpId")->AsInteger(), 20);
    EXPECT_EQ(dialogs.Last().text, "Go back to the Master page?");
    // A plain page is refused.
    dialogs.Clear();
    editor::ShowInheritors(*ctx, [](const std::vector<editor::Inheritor>&, int&) { return 4; });
    EXPECT_EQ(dialogs.Last().text, editor::kOnlyMasterText);
}

}  // namespace
