// The editor end to end, in this process on a fresh program folder: the
// program starts, File › New Project runs the wizard with three titles, a
// popup and a topic page are inserted and titled in the page grid, the
// topic's text typed, a word made bold, a topic jump and a popup jump made
// through the jumps dialog, a corpus bitmap inserted through the picture
// dialog, keywords typed in the Filter View's grid, page 1000 renumbered in
// the page grid, the project saved, the window closed, and the program
// started once more on it. Plain tables then read back what the road wrote.
#include "data/vl_table.h"
#include "project/page_marks.h"
#include "project/project_tables.h"
#include "editor/forms/editor_app.h"
#include "editor/forms/lifecycle_forms.h"
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"
#include "editor/lifecycle/project_wizard.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/view/rtf_text_io.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#ifndef E2E_SHOT_DIR
#define E2E_SHOT_DIR "."
#endif

namespace {

namespace fs = std::filesystem;
using editor::TForm1;

constexpr unsigned kVkReturn = 0x0D;

gui::TMenuItem* Menu(TForm1& form, const char* name) {
    auto* item = dynamic_cast<gui::TMenuItem*>(form.FindComponent(name));
    if (!item) throw std::runtime_error(std::string("no menu item ") + name);
    return item;
}

// Runs `act` on the visible top-level form named `name` once a modal loop
// shows it; `done` tells whether it ran.
void WhenShown(const std::string& name, std::function<void(gui::TForm*)> act, bool* done = nullptr) {
    auto h = std::make_shared<plat::HWND>(0);
    auto tries = std::make_shared<int>(0);
    *h = plat::AllocateHWnd([h, tries, name, act, done](gui::TMessage& m) {
        if (m.Msg != gui::WM_USER + 23) return;
        gui::TForm* shown = nullptr;
        for (int i = 0; gui::Screen && i < gui::Screen->FormCount(); ++i)
            if (gui::Screen->Forms(i)->Name() == name && gui::Screen->Forms(i)->Visible()) shown = gui::Screen->Forms(i);
        if (!shown) {
            if (++*tries < 20000) plat::PostMessage(*h, gui::WM_USER + 23, 0, 0);
            else plat::DeallocateHWnd(*h);
            return;
        }
        act(shown);
        if (done) *done = true;
        plat::DeallocateHWnd(*h);
    });
    plat::PostMessage(*h, gui::WM_USER + 23, 0, 0);
}

// Moves a dataset to the row whose field holds `value`.
bool GoTo(db::TDataSet* t, const char* field, std::int64_t value) {
    for (t->First(); !t->Eof(); t->Next())
        if (t->FieldByName(field)->AsInteger() == value) return true;
    return false;
}

// Types into a grid cell as a user does: the first key opens the cell's
// editor, the rest go to that editor, Enter closes it.
void TypeInGrid(editor::TViewGrid* grid, const std::string& text) {
    if (text.empty()) return;
    guitest::TypeText(grid, text.substr(0, 1));
    gui::TWinControl* editor = grid->InplaceEditor();
    if (!editor) return;
    if (text.size() > 1) guitest::TypeText(editor, text.substr(1));
    guitest::SendKey(editor, kVkReturn);

}

void SelectColumn(editor::TViewGrid* grid, const std::string& field) {
    for (int i = 0; i < grid->GetFieldCount(); ++i)
        if (grid->GetFields(i)->FieldName == field) grid->SetSelectedIndex(i);
}

// Selects the first occurrence of `words` in the editor's text.
bool SelectWords(richtext::TJDCustomRtfEdit* e, const std::string& words) {
    const std::string text = e->GetPlainText();
    const std::size_t at = text.find(words);
    if (at == std::string::npos) return false;
    e->SetSelStart(static_cast<int>(at));
    e->SetSelLength(static_cast<int>(words.size()));
    return true;
}

void Focus(TForm1& form, gui::TWinControl* c) {
    // Offscreen nothing gives the window its activation back after a modal
    // dialog, as a window manager would.
    if (!form.Active()) {
        form.SetFocus();
        guitest::ProcessEvents(10);
    }
    if (!form.Active()) form.Activated(true);
    form.SetActiveControl(c);
    c->SetFocus();
    guitest::ProcessEvents(10);
}

// The characters of a stored text with their style bits (a picture is character 1).
struct StoredText {
    std::string chars;
    std::vector<std::uint16_t> styles;
    // The style of the first character of `words` (0xFFFF when absent).
    std::uint16_t StyleOf(const std::string& words) const {
        const std::size_t at = chars.find(words);
        if (at == std::string::npos) return 0xFFFF;
        for (std::size_t i = at; i < at + words.size(); ++i)
            if (styles[i] != styles[at]) return 0xFFFE;  // not one run
        return styles[at];
    }
    // The hidden run right after `words`.
    std::string HiddenAfter(const std::string& words) const {
        std::size_t at = chars.find(words);
        if (at == std::string::npos) return "";
        std::string out;
        for (at += words.size(); at < chars.size() && (styles[at] & editor::kMarkHidden); ++at) out += chars[at];
        return out;
    }
};

StoredText ReadStored(const std::string& rtf) {
    richtext::TJDRTFTextIo io;
    io.LoadFromString(rtf);
    StoredText out;
    for (richtext::TParagraph* p = io.FirstParagraph(); p; p = p->next) {
        for (richtext::TLine* l = p->lines; l; l = l->next)
            for (int i = 0; i < l->Length(); ++i) {
                const richtext::TJDCharAttr& a = l->attrs.at(static_cast<std::size_t>(i));
                out.chars += l->text[static_cast<std::size_t>(i)];
                out.styles.push_back(a.style);
            }
        out.chars += '\n';
        out.styles.push_back(0);
    }
    return out;
}

class EditorRoad : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        fs::create_directories(home);
        ::setenv("TAVRIN_HOME", home.c_str(), 1);
        plat::SetDataHome(home);
    }
    void TearDown() override {
        db::Session().SetDriver(nullptr);
        plat::SetDataHome("");
        ::unsetenv("TAVRIN_HOME");
    }
    int Run(std::function<void(TForm1&)> script) {
        char name[] = "tavrin";
        char* argv[] = {name, nullptr};
        return editor::RunTavrin(1, argv, std::move(script));
    }
    // A table of the program folder, read with nothing of the program around it.
    std::unique_ptr<vl::TvlTable> Plain(const char* file) {
        auto t = std::make_unique<vl::TvlTable>(nullptr);
        t->DatabaseName = editor::kTavrinAlias;
        t->SetTableName(file);
        t->Open();
        return t;
    }
    testsupport::TempDir tmp;
    std::string home;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
};

TEST_F(EditorRoad, ANewProjectFromTheWizardToTheTables) {
    TAVRIN_REQUIRE_CORPUS();
    const fs::path pictures = testsupport::CorpusDir() / "hpj" / "ddablib-dropfiles";
    ASSERT_TRUE(fs::exists(pictures / "TPJDropFiles.bmp"));
    const std::string shot = std::string(E2E_SHOT_DIR) + "/editor_road.png";
    fs::remove(shot);

    std::map<std::string, std::int64_t> ids;
    bool wizardRan = false, topicJumpChosen = false, popupJumpChosen = false, pictureChosen = false;
    std::string note;  // the first step that went wrong inside the program
    auto fail = [&note](const std::string& why) {
        if (note.empty()) note = why;
    };

    auto road = [&](TForm1& form) {
        editor::EditorContext& ctx = *form.ctx;
        // File › New Project: the three steps, three page titles, Finish.
        WhenShown("NewAppForm", [&](gui::TForm* f) {
            auto* w = static_cast<editor::TNewAppForm*>(f);
            w->editNewApp->SetText("Road");
            w->editFilename->SetText("ROAD");
            w->editHelpTitle->SetText("Road help");
            w->editDirectory->SetText(home + "/ROAD");
            if (!w->NextClick() || !w->NextClick()) return fail("wizard steps");
            for (const char* t : {"Welcome", "Getting started", "Reference"}) editor::AppendTitle(*w->tblTopics, t);
            if (!w->FinishClick()) fail("wizard finish");
        }, &wizardRan);
        // The menus' own items are clicked: the script runs inside the loop's
        // message dispatch, where a Qt menu popped up by mouse is not safe.
        Menu(form, "miNew")->Click();
        if (ctx.mainTable->FieldByName("Application")->AsString() != "Road") return fail("not on the new project");

        // The split view: a topic page inserted in the grid and titled there.
        form.TabBook->SetActivePageName(editor::kSplitViewPage);
        form.TabBookClick();
        db::TDataSet* d = ctx.detailTable;
        Focus(form, form.detailGrid);
        auto insertPage = [&](const char* kind, const char* title) {
            // Inserted before the last page, where the page rules find a free HelpId.
            GoTo(d, "HelpId", 3000);
            Menu(form, "InsertTopic1")->Click();
            if (d->State() != db::dsInsert)
                return fail(std::string("insert ") + kind), std::int64_t{0};
            SelectColumn(form.detailGrid, "TopicPopup");
            TypeInGrid(form.detailGrid, kind);
            SelectColumn(form.detailGrid, "Title");
            TypeInGrid(form.detailGrid, title);
            const std::int64_t id = d->FieldByName("HelpId")->AsInteger();
            try {
                d->Post();
            } catch (const std::exception& e) {
                fail(std::string("post ") + title + ": " + e.what() +
                     (dialogs.Requests().empty() ? std::string() : " / " + dialogs.Last().text) + " id " +
                     d->FieldByName("HelpId")->AsString());
            }
            if (d->FieldByName("Title")->AsString() != title || d->FieldByName("TopicPopup")->AsString() != kind)
                fail(std::string("grid typing: '") + d->FieldByName("TopicPopup")->AsString() + "' '" +
                     d->FieldByName("Title")->AsString() + "'");
            return id;
        };
        ids["popup"] = insertPage("P", "A note");
        ids["topic"] = insertPage("T", "Road map");
        if (!GoTo(d, "HelpId", ids["topic"])) return fail("topic page gone");

        // The topic's text typed, a word made bold.
        if (!GoTo(d, "HelpId", ids["topic"])) return fail("topic page gone");
        Focus(form, form.HelpText);
        form.HelpText->SetCPPosition(0);
        guitest::TypeText(form.HelpText, "Read the bold words, the first page and a note.");
        if (!SelectWords(form.HelpText, "bold")) return fail("typed text missing: " + form.HelpText->GetPlainText());
        Menu(form, "miBold")->Click();

        // A topic jump to page 1000 through the jumps dialog.
        WhenShown("JumpsForm", [&](gui::TForm* f) {
            auto* j = static_cast<editor::TJumpsForm*>(f);
            if (!GoTo(j->Table, "HelpId", 1000)) return fail("page 1000 not offered");
            j->SetModalResult(gui::mrOk);
        }, &topicJumpChosen);
        SelectWords(form.HelpText, "first page");
        Menu(form, "miTopicJump")->Click();
        // A popup jump to the new popup.
        WhenShown("JumpsForm", [&](gui::TForm* f) {
            auto* j = static_cast<editor::TJumpsForm*>(f);
            if (!GoTo(j->Table, "HelpId", ids["popup"])) return fail("popup not offered");
            j->SetModalResult(gui::mrOk);
        }, &popupJumpChosen);
        Focus(form, form.HelpText);
        SelectWords(form.HelpText, "a note");
        Menu(form, "miPopupJump")->Click();

        // A corpus bitmap at the end through Edit › Insert a Graphic.
        WhenShown("GraphicDlg", [&](gui::TForm* f) {
            auto* g = static_cast<editor::TGraphicDlg*>(f);
            editor::PictureChoice c;
            c.directory = pictures.string();
            c.fileName = "TPJDropFiles.bmp";
            g->SetChoice(c);
            g->FileSelected();
            if (g->FileName().empty()) return fail("picture not chosen");
            g->SetModalResult(editor::kGraphicOk);
        }, &pictureChosen);
        Focus(form, form.HelpText);
        form.HelpText->SetCPPosition(static_cast<int>(form.HelpText->GetPlainText().size()));
        Menu(form, "miGraphic")->Click();
        try {
            if (d->State() == db::dsEdit) d->Post();
        } catch (const std::exception& e) {
            fail(std::string("page post: ") + e.what());
        }

        // Keywords typed into the Filter View's Keys column.
        form.TabBook->SetActivePageName(editor::kFilterViewPage);
        form.TabBookClick();
        db::TDataSet* f = ctx.tblFilter;
        if (!GoTo(f, "HelpId", ids["topic"])) return fail("topic not in the filter view");
        Focus(form, form.filterGrid);
        SelectColumn(form.filterGrid, "Keys");
        TypeInGrid(form.filterGrid, "road;map");
        try {
            if (f->State() == db::dsEdit) f->Post();
        } catch (const std::exception& e) {
            fail(std::string("keys post: ") + e.what());
        }

        // Page 1000 renumbered to 1500 in the split view's grid.
        form.TabBook->SetActivePageName(editor::kSplitViewPage);
        form.TabBookClick();
        d->Refresh();
        if (!GoTo(d, "HelpId", 1000)) return fail("page 1000 gone");
        Focus(form, form.detailGrid);
        SelectColumn(form.detailGrid, "HelpId");
        TypeInGrid(form.detailGrid, "1500");
        // File › Save.
        Menu(form, "miSave")->Click();
        guitest::ProcessEvents(20);
    };
    const int first = Run([&](TForm1& form) {
        try {
            road(form);
        } catch (const std::exception& e) {
            fail(std::string("exception: ") + e.what());
        }
    });
    EXPECT_EQ(first, 0);
    EXPECT_TRUE(note.empty()) << note;
    EXPECT_TRUE(wizardRan);
    EXPECT_TRUE(topicJumpChosen);
    EXPECT_TRUE(popupJumpChosen);
    EXPECT_TRUE(pictureChosen);

    // The program starts again on the project it closed with; the tip of
    // the day comes first, as on every start but the first, and is closed.
    bool tipShown = false;
    WhenShown("TipsForm", [](gui::TForm* f) { f->SetModalResult(gui::mrOk); }, &tipShown);
    std::string shownProject;
    const int second = Run([&](TForm1& form) {
        shownProject = form.ctx->mainTable->FieldByName("Application")->AsString();
        form.TabBook->SetActivePageName(editor::kSplitViewPage);
        form.TabBookClick();
        guitest::ProcessEvents(100);
        guitest::SaveGrab(&form, shot);
    });
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(tipShown);
    EXPECT_EQ(shownProject, "Road");
    EXPECT_TRUE(fs::exists(shot));

    // Plain tables.
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    {
        auto main = Plain(editor::kMainTableFile);
        main->SetIndexName(editor::kPrimaryIndex);
        ASSERT_TRUE(main->FindKey({db::TValue("Road")}));
        EXPECT_EQ(main->FieldByName("DosName")->AsString(), "ROAD");
        EXPECT_EQ(main->FieldByName("HelpTitle")->AsString(), "Road help");

        auto items = Plain(editor::kItemTableFile);
        std::map<std::int64_t, std::string> titles, keys, bodies;
        for (items->First(); !items->Eof(); items->Next()) {
            if (items->FieldByName("Application")->AsString() != "Road") continue;
            const std::int64_t id = items->FieldByName("HelpId")->AsInteger();
            titles[id] = items->FieldByName("Title")->AsString();
            keys[id] = items->FieldByName("Keys")->AsString();
            bodies[id] = items->FieldByName("HelpText")->AsString();
        }
        EXPECT_EQ(titles.count(1000), 0u);
        EXPECT_EQ(titles[1500], "Welcome");
        EXPECT_EQ(titles[2000], "Getting started");
        EXPECT_EQ(titles[3000], "Reference");
        EXPECT_EQ(titles[ids["popup"]], "A note");
        EXPECT_EQ(titles[ids["topic"]], "Road map");
        EXPECT_EQ(titles.size(), 5u);
        EXPECT_EQ(keys[ids["topic"]], "road;map");

        const StoredText body = ReadStored(bodies[ids["topic"]]);
        EXPECT_NE(body.chars.find("Read the bold words"), std::string::npos) << body.chars;
        EXPECT_EQ(body.StyleOf("bold") & 0x00FF, editor::kMarkBold);
        EXPECT_EQ(body.StyleOf("first page") & 0x00FF, editor::kMarkJump);
        EXPECT_EQ(body.StyleOf("a note") & 0x00FF, editor::kMarkUnderline);
        // The hidden targets: the context strings the wizard and the page rules gave.
        std::string welcomeContext, noteContext;
        for (items->First(); !items->Eof(); items->Next()) {
            if (items->FieldByName("Application")->AsString() != "Road") continue;
            const std::int64_t id = items->FieldByName("HelpId")->AsInteger();
            if (id == 1500) welcomeContext = items->FieldByName("ContextString")->AsString();
            if (id == ids["popup"]) noteContext = items->FieldByName("ContextString")->AsString();
        }
        const std::string topicTarget = body.HiddenAfter("first page");
        const std::string popupTarget = body.HiddenAfter("a note");
        EXPECT_EQ(topicTarget, welcomeContext.empty() ? "1500" : welcomeContext);
        EXPECT_EQ(popupTarget, noteContext.empty() ? std::to_string(ids["popup"]) : noteContext);
        // One picture, with its reference kept in the stored text.
        EXPECT_EQ(std::count(body.chars.begin(), body.chars.end(), '\x01'), 1);
        const std::string& stored = bodies[ids["topic"]];
        const std::size_t ref = stored.find("{\\*\\jdpicref bmc ");
        ASSERT_NE(ref, std::string::npos);
        EXPECT_NE(stored.find("TPJDropFiles.bmp}", ref), std::string::npos);

        // The jump-reference rows: the topic jump's row follows the page to 1500.
        auto refs = Plain(editor::kRefiTableFile);
        std::vector<std::pair<std::int64_t, std::int64_t>> rows;
        for (refs->First(); !refs->Eof(); refs->Next())
            if (refs->FieldByName("Application")->AsString() == "Road")
                rows.emplace_back(refs->FieldByName("HelpId")->AsInteger(), refs->FieldByName("ReferencedBy")->AsInteger());
        EXPECT_NE(std::find(rows.begin(), rows.end(), std::pair{std::int64_t{1500}, ids["topic"]}), rows.end());
        EXPECT_NE(std::find(rows.begin(), rows.end(), std::pair{ids["popup"], ids["topic"]}), rows.end());
        for (const auto& r : rows) EXPECT_NE(r.first, 1000);
    }
    db::Session().SetDriver(nullptr);
}

}  // namespace
