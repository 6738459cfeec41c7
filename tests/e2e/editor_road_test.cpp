// The editor end to end, in this process on a fresh program folder: the
// program starts, File › New Project runs the wizard with three titles, a
// popup and a topic page are inserted and titled in the page grid, keywords
// typed in the Filter View's grid, a page renumbered in the page grid, the
// project saved, the window closed, and the program starts once more on it.
// Plain tables then read back what the road wrote.
#include "controls/data/vl_table.h"
#include "editor/core/project_tables.h"
#include "editor/forms/editor_app.h"
#include "editor/forms/lifecycle_forms.h"
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"
#include "editor/lifecycle/project_wizard.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/db/fields.h"
#include "platform/db/tables.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

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

void Focus(TForm1& form, gui::TWinControl* c) {
    form.SetActiveControl(c);
    c->SetFocus();
    guitest::ProcessEvents(10);
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
    const std::string shot = std::string(E2E_SHOT_DIR) + "/editor_road.png";
    fs::remove(shot);

    std::map<std::string, std::int64_t> ids;
    bool wizardRan = false;
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

    // The program starts again on the project it closed with.
    std::string shownProject;
    const int second = Run([&](TForm1& form) {
        shownProject = form.ctx->mainTable->FieldByName("Application")->AsString();
        form.TabBook->SetActivePageName(editor::kSplitViewPage);
        form.TabBookClick();
        guitest::ProcessEvents(100);
        guitest::SaveGrab(&form, shot);
    });
    EXPECT_EQ(second, 0);
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
        std::map<std::int64_t, std::string> titles, keys;
        for (items->First(); !items->Eof(); items->Next()) {
            if (items->FieldByName("Application")->AsString() != "Road") continue;
            const std::int64_t id = items->FieldByName("HelpId")->AsInteger();
            titles[id] = items->FieldByName("Title")->AsString();
            keys[id] = items->FieldByName("Keys")->AsString();
        }
        EXPECT_EQ(titles.count(1000), 0u);
        EXPECT_EQ(titles[1500], "Welcome");
        EXPECT_EQ(titles[2000], "Getting started");
        EXPECT_EQ(titles[3000], "Reference");
        EXPECT_EQ(titles[ids["popup"]], "A note");
        EXPECT_EQ(titles[ids["topic"]], "Road map");
        EXPECT_EQ(titles.size(), 5u);
        EXPECT_EQ(keys[ids["topic"]], "road;map");

    }
    db::Session().SetDriver(nullptr);
}

}  // namespace
