// Every command of the main window, as a user would try them: in each of the
// four views, first with no project and then on a fresh project the wizard
// made, every enabled main-menu item, tool-bar button, item of the pop-up
// menu at hand and key of the window runs, and every window or box it shows
// is answered with Cancel (or No, or its only button). Printing goes to a
// file of the test and the help viewer to a recorder.
// Afterwards no box may have reported an error the program should have
// handled, no exception may have escaped, the project, page and contents
// tables hold the rows they held, and the window still switches views and
// takes typing in the page grid.
#include "data/vl_table.h"
#include "project/project_tables.h"
#include "editor/forms/editor_app.h"
#include "editor/forms/lifecycle_forms.h"
#include "editor/forms/main_form.h"
#include "editor/lifecycle/project_wizard.h"
#include "platform/core/exceptions.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using editor::TForm1;

constexpr unsigned kVkReturn = 0x0D;

// What the sweep leaves alone, and why. Generate User Rtf Document, Generate
// KWF and Copy Help File To run: without a compiled help file they refuse
// before any program starts.
const std::map<std::string, std::string> kSkipped = {
    {"miExit", "ends the program"},
    {"sbtnExit", "ends the program"},
    {"QuickCompile1", "runs the help compiler"},
    {"miRecompile", "runs the help compiler"},
    {"sbtnPartCompile", "runs the help compiler"},
    {"miErrorLog", "starts the text editor on the error log"},
    {"sbtnErrorLog", "starts the text editor on the error log"},
    {"miShed", "starts the hotspot editor"},
    {"sbtnShed", "starts the hotspot editor"},
    {"miPaint", "starts the paint package"},
    {"sbtnPaint", "starts the paint package"},
    {"miWord", "starts the word processor"},
    {"sbtnWord", "starts the word processor"},
};

// The boxes a cancelled command may show: it refuses, or asks first. Any
// other box is a fault to look at.
const char* const kExpectedBoxes[] = {
    "Tavrin.HLP was not found.",
    "Tavrin.HLP not found.",
    "Tavrin.hlp not found.",
    "This Procedure takes a looooong time! Do you wish to proceed now?",
    "Please move to the field you wish to save.",
    "Please highlight the text you want to define as a Jump.",
    "Please highlight the text you want to define as a Macro.",
    "Please highlight the section to format.",
    "You must first Compile your .HLP file before you can view it.",
    "You need to Compile your Project first, before you can generate a keyword file.",
    "Please compile your Help project first. There is no help file to copy.",
    "WARNING! This will permanently delete this Help Project. Are you sure you want to delete Sweep?",
    "Are you sure you want to Delete this Topic/Popup page?",
    // A spell check of a page with no misspelt word reports its end.
    "No errors found. Spell checking complete...",
    // Spell with no project, or a project without pages, says why not.
    "There is no project to check: create a project or open one first.",
    "This project has no page to check yet: add a page first.",
    "This will delete all contents entries for this Project. Are you sure you want to do this?",
};

bool ExpectedBox(const std::string& text) {
    for (const char* e : kExpectedBoxes)
        if (text.find(e) != std::string::npos) return true;
    return false;
}

// Answers every box with its Cancel, else its No, else its default, and
// records it with the command that raised it.
class CancellingDialogs : public gui::DialogService {
public:
    struct Box {
        std::string during;
        gui::DialogRequest request;
    };
    gui::DialogReply Run(const gui::DialogRequest& r) override {
        boxes.push_back({during, r});
        gui::DialogReply reply;
        reply.result = gui::IDCANCEL;
        if (r.kind == gui::DialogKind::InputQuery || r.buttons.empty()) return reply;
        int pick = r.cancelButton;
        for (std::size_t i = 0; pick < 0 && i < r.buttons.size(); ++i)
            if (r.buttons[i].result == gui::IDNO) pick = static_cast<int>(i);
        if (pick < 0) pick = r.defaultButton;
        reply.result = r.buttons.at(static_cast<std::size_t>(pick)).result;
        return reply;
    }
    std::string during;
    std::vector<Box> boxes;
};

class CancellingFileDialogs : public gui::CommonDialogService {
public:
    gui::CommonDialogReply Run(const gui::CommonDialogRequest& r) override {
        titles.push_back(r.title);
        return {};
    }
    std::vector<std::string> titles;
};

struct Place {
    const char* view;
    const char* focus;  // the control the author works in
};
const Place kPlaces[] = {
    {editor::kSplitViewPage, "detailGrid"},
    {editor::kSplitViewPage, "HelpText"},
    {editor::kMaxViewPage, "maxHelpText"},
    {editor::kFilterViewPage, "filterGrid"},
    {editor::kContentsPage, "cntGrid"},
    {editor::kSplitViewPage, "ApplicationFld"},
};

class MainWindowSweep : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        fs::create_directories(home);
        ::setenv("TAVRIN_HOME", home.c_str(), 1);
        plat::SetDataHome(home);
        gui::SetCommonDialogService(&files);
    }
    void TearDown() override {
        gui::SetCommonDialogService(nullptr);
        db::Session().SetDriver(nullptr);
        plat::SetDataHome("");
        ::unsetenv("TAVRIN_HOME");
    }

    // Rows of a table of the program folder, read beside the program.
    int Rows(const char* file) {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.SetTableName(file);
        t.Open();
        int n = 0;
        for (t.First(); !t.Eof(); t.Next()) ++n;
        t.Close();
        return n;
    }
    std::vector<int> Counts() {
        return {Rows(editor::kMainTableFile), Rows(editor::kItemTableFile), Rows(editor::kCntTableFile)};
    }

    void Note(const std::string& what) { faults.push_back(what); }

    void Focus(TForm1& form, const Place& p) {
        if (form.CurrentView() != p.view) {
            form.TabBook->SetActivePageName(p.view);
            form.TabBookClick();
        }
        auto* c = dynamic_cast<gui::TWinControl*>(form.FindComponent(p.focus));
        if (!form.Active()) {
            form.SetFocus();
            guitest::ProcessEvents(0);
        }
        if (!form.Active()) form.Activated(true);
        try {
            form.SetActiveControl(c);
            c->SetFocus();
        } catch (const std::exception& e) {
            Note(std::string("focus ") + p.focus + ": " + e.what());
        }
        guitest::ProcessEvents(0);
    }

    // Closes what a command left open: modal windows are cancelled by the
    // watcher; a window shown without a modal loop is hidden here.
    void CloseLeftovers(TForm1& form, const std::string& during) {
        for (int i = 0; gui::Screen && i < gui::Screen->FormCount(); ++i) {
            gui::TForm* f = gui::Screen->Forms(i);
            if (f == &form || !f->Visible()) continue;
            shown.insert(during + " -> " + f->Name() + " (modeless)");
            f->Hide();
        }
        // Pending edits a command began (Insert Topic) are dropped.
        editor::EditorContext& ctx = *form.ctx;
        for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx.detailTable), static_cast<db::TDataSet*>(ctx.mainTable),
                                static_cast<db::TDataSet*>(ctx.cntTable), static_cast<db::TDataSet*>(ctx.tblFilter)}) {
            if (!t->Active() || t->State() == db::dsBrowse) continue;
            try {
                t->Cancel();
            } catch (const std::exception& e) {
                Note(during + ": cancel of " + t->Name() + " threw " + e.what());
            }
        }
    }

    // Runs one command by `click`, checking what it leaves behind.
    void Try(TForm1& form, const std::string& name, const std::function<void()>& click, bool keepsRows) {
        const std::vector<int> before = Counts();
        const std::size_t boxesBefore = dialogs.boxes.size();
        dialogs.during = current = state + " / " + place + " / " + name;
        try {
            click();
        } catch (const plat::EAbort&) {
        } catch (const std::exception& e) {
            Note(current + ": exception escaped: " + e.what());
        } catch (...) {
            Note(current + ": unknown exception escaped");
        }
        guitest::ProcessEvents(0);
        CloseLeftovers(form, current);
        ++ran;
        if (stuck) return;
        for (std::size_t i = boxesBefore; i < dialogs.boxes.size(); ++i) {
            const gui::DialogRequest& r = dialogs.boxes[i].request;
            if (r.icon == gui::DialogIcon::Error || !ExpectedBox(r.text)) Note(current + ": box: " + r.text);
        }
        if (!form.Enabled() || !form.Visible()) Note(current + ": the main window is left disabled or hidden");
        if (gui::Screen->Cursor() != gui::crDefault) {
            Note(current + ": the busy cursor stays");
            gui::Screen->SetCursor(gui::crDefault);
        }
        editor::EditorContext& ctx = *form.ctx;
        for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx.detailTable), static_cast<db::TDataSet*>(ctx.mainTable),
                                static_cast<db::TDataSet*>(ctx.cntTable), static_cast<db::TDataSet*>(ctx.tblFilter)})
            if (t->ControlsDisabled()) {
                Note(current + ": " + t->Name() + " keeps its controls disabled");
                while (t->ControlsDisabled()) t->EnableControls();
            }
        const std::vector<int> after = Counts();
        if (keepsRows && after != before) {
            std::ostringstream s;
            s << current << ": rows " << before[0] << "/" << before[1] << "/" << before[2] << " -> " << after[0] << "/"
              << after[1] << "/" << after[2];
            Note(s.str());
        }
        // A command may move to another view; it must be a real one.
        const std::string v = form.CurrentView();
        if (v != editor::kSplitViewPage && v != editor::kMaxViewPage && v != editor::kFilterViewPage &&
            v != editor::kContentsPage)
            Note(current + ": the notebook shows \"" + v + "\"");
    }

    void CollectItems(gui::TMenuItem* item, std::vector<std::vector<gui::TMenuItem*>>& out,
                      std::vector<gui::TMenuItem*> chain) {
        chain.push_back(item);
        if (item->Count() == 0) {
            out.push_back(chain);
            return;
        }
        for (int i = 0; i < item->Count(); ++i) CollectItems(item->Items(i), out, chain);
    }

    // Every command at every place.
    void Sweep(TForm1& form, const std::string& stateName) {
        state = stateName;
        for (const Place& p : kPlaces) {
            place = std::string(p.view) + ":" + p.focus;
            std::vector<std::vector<gui::TMenuItem*>> items;
            gui::TMenuItem* bar = form.MainMenu1->Items();
            for (int i = 0; i < bar->Count(); ++i) CollectItems(bar->Items(i), items, {});
            for (const auto& chain : items) {
                gui::TMenuItem* leaf = chain.back();
                if (leaf->IsLine() || kSkipped.count(leaf->Name())) continue;
                Focus(form, p);
                // Opening each menu on the way sets its items' states.
                bool enabled = true;
                for (gui::TMenuItem* m : chain) {
                    if (m != leaf) m->Click();
                    enabled = enabled && m->Enabled && m->Visible;
                }
                if (!enabled) continue;
                Try(form, leaf->Name(), [leaf] { leaf->Click(); }, true);
                if (stuck) return;
            }
            // The pop-up menu of the control worked in, and the spell button's.
            std::vector<gui::TPopupMenu*> popups;
            if (auto* c = dynamic_cast<gui::TControl*>(form.FindComponent(p.focus)))
                if (gui::TPopupMenu* m = gui::GetPopupMenu(c)) popups.push_back(m);
            if (auto* m = dynamic_cast<gui::TPopupMenu*>(form.FindComponent("popSpell"))) popups.push_back(m);
            for (gui::TPopupMenu* m : popups) {
                std::vector<std::vector<gui::TMenuItem*>> popItems;
                for (int i = 0; i < m->Items()->Count(); ++i) CollectItems(m->Items()->Items(i), popItems, {});
                for (const auto& chain : popItems) {
                    gui::TMenuItem* leaf = chain.back();
                    if (leaf->IsLine()) continue;
                    Focus(form, p);
                    if (m->OnPopup) m->OnPopup(m);
                    bool enabled = true;
                    for (gui::TMenuItem* i : chain) {
                        if (i != leaf) i->Click();
                        enabled = enabled && i->Enabled && i->Visible;
                    }
                    if (!enabled) continue;
                    Try(form, m->Name() + "." + leaf->Name(), [leaf] { leaf->Click(); }, true);
                    if (stuck) return;
                }
            }
            // The window's own keys.
            struct Key {
                const char* name;
                unsigned vk;
                gui::TShiftState shift;
            };
            const Key keys[] = {{"F3", 0x72, 0},   {"F4", 0x73, 0},          {"F5", 0x74, 0},
                                {"F9", 0x78, 0},   {"Alt+Backspace", 0x08, gui::ssAlt},
                                {"Ctrl+Z", 'Z', gui::ssCtrl}};
            for (const Key& k : keys) {
                Focus(form, p);
                auto* c = dynamic_cast<gui::TWinControl*>(form.FindComponent(p.focus));
                Try(form, k.name, [&] { guitest::SendKey(c, k.vk, k.shift); }, true);
                if (stuck) return;
            }
            std::vector<gui::TSpeedButton*> buttons;
            auto collect = [&](gui::TWinControl* panel) {
                for (int i = 0; i < panel->ControlCount(); ++i)
                    if (auto* b = dynamic_cast<gui::TSpeedButton*>(panel->Controls(i))) buttons.push_back(b);
            };
            collect(form.pnlTools);
            if (std::string(p.view) == editor::kContentsPage) collect(form.pnlCntButtons);
            if (std::string(p.view) == editor::kMaxViewPage) buttons.push_back(form.SpeedButton2);
            for (gui::TSpeedButton* b : buttons) {
                if (kSkipped.count(b->Name())) continue;
                Focus(form, p);
                if (!b->Visible() || !b->Enabled()) continue;
                Try(form, b->Name(), [b] { b->Click(); }, true);
                if (stuck) return;
            }
        }
    }

    // File › New Project's wizard makes "Sweep" with three pages.
    void WhenShownWizard(bool& ran) {
        auto h = std::make_shared<plat::HWND>(0);
        *h = plat::AllocateHWnd([this, h, &ran](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 23) return;
            gui::TForm* shown = nullptr;
            for (int i = 0; gui::Screen && i < gui::Screen->FormCount(); ++i)
                if (gui::Screen->Forms(i)->Name() == "NewAppForm" && gui::Screen->Forms(i)->Visible())
                    shown = gui::Screen->Forms(i);
            if (!shown) {
                plat::PostMessage(*h, gui::WM_USER + 23, 0, 0);
                return;
            }
            auto* w = static_cast<editor::TNewAppForm*>(shown);
            w->editNewApp->SetText("Sweep");
            w->editFilename->SetText("SWEEP");
            w->editHelpTitle->SetText("Sweep help");
            w->editDirectory->SetText(home + "/SWEEP");
            if (!w->NextClick() || !w->NextClick()) Note("wizard steps");
            for (const char* t : {"Welcome", "Getting started", "Reference"}) editor::AppendTitle(*w->tblTopics, t);
            if (!w->FinishClick()) Note("wizard finish");
            ran = true;
            plat::DeallocateHWnd(*h);
        });
        plat::PostMessage(*h, gui::WM_USER + 23, 0, 0);
    }

    // Cancels every modal window as it shows, recording its name.
    void StartWatcher() {
        watcher = std::make_unique<gui::TTimer>(nullptr);
        watcher->SetInterval(5);
        watcher->OnTimer = [this](gui::TObject*) {
            for (int i = 0; gui::Screen && i < gui::Screen->FormCount(); ++i) {
                gui::TForm* f = gui::Screen->Forms(i);
                if (!f->Modal() || !f->Visible()) continue;
                shown.insert(current + " -> " + f->Name());
                if (++tries[f] > 200 && !stuck) {
                    stuck = true;
                    Note(current + ": " + f->Name() + " does not close on Cancel");
                    gui::Application->Terminate();
                    return;
                }
                f->SetModalResult(gui::mrCancel);
            }
        };
        watcher->SetEnabled(true);
    }

    testsupport::TempDir tmp;
    std::string home;
    CancellingDialogs dialogs;
    gui::ScopedDialogService scope{dialogs};
    CancellingFileDialogs files;
    std::unique_ptr<gui::TTimer> watcher;
    std::map<gui::TForm*, int> tries;
    bool stuck = false;
    std::string state, place, current;
    std::vector<std::string> faults;
    std::set<std::string> shown;
    int ran = 0;
};

TEST_F(MainWindowSweep, EveryCommandCancelledLeavesTheWindowAndTablesWhole) {
    bool wizardRan = false;
    std::vector<std::string> viewersStarted;
    int pagesBefore = -1, pagesAfter = -1;
    std::string typedTitle;
    const std::string printed = (tmp.path() / "printed.pdf").string();
    char name[] = "tavrin";
    char* argv[] = {name, nullptr};
    const int code = editor::RunTavrin(1, argv, [&](TForm1& form) {
        editor::EditorContext& ctx = *form.ctx;
        form.StartHelpViewer = [&](const std::string& file) {
            viewersStarted.push_back(file);
            return true;
        };
        // Printing asks nothing: it goes to a file here, not to a printer.
        gui::Printer()->OutputFileName = printed;
        StartWatcher();
        Sweep(form, "no project");
        if (stuck) return;

        // A fresh project with three pages, through the wizard.
        watcher->SetEnabled(false);
        current = "new project";
        WhenShownWizard(wizardRan);
        Focus(form, kPlaces[0]);
        if (auto* miNew = dynamic_cast<gui::TMenuItem*>(form.FindComponent("miNew"))) miNew->Click();
        watcher->SetEnabled(true);
        if (ctx.mainTable->FieldByName("Application")->AsString() != "Sweep") return Note("not on the new project");
        Sweep(form, "project");
        if (stuck) return;

        // The window still answers: each view shows, and a page typed into
        // the page grid is stored.
        state = "after";
        for (const Place& p : kPlaces) {
            Focus(form, p);
            if (form.CurrentView() != p.view) Note(std::string("view ") + p.view + " does not show");
        }
        Focus(form, kPlaces[0]);
        pagesBefore = Rows(editor::kItemTableFile);
        try {
            // Between the wizard's first two pages, where the page rules find a free HelpId.
            db::TDataSet* d = ctx.detailTable;
            d->First();
            while (!d->Eof() && d->FieldByName("HelpId")->AsInteger() != 2000) d->Next();
            if (d->Eof()) return Note("page 2000 gone");
            form.InsertTopic1Click();
            if (ctx.detailTable->State() != db::dsInsert) return Note("Insert Topic does not insert");
            for (int i = 0; i < form.detailGrid->GetFieldCount(); ++i)
                if (form.detailGrid->GetFields(i)->FieldName == "Title") form.detailGrid->SetSelectedIndex(i);
            guitest::TypeText(form.detailGrid, "T");
            if (gui::TWinControl* e = form.detailGrid->InplaceEditor()) {
                guitest::TypeText(e, "yped");
                guitest::SendKey(e, kVkReturn);
            }
            ctx.detailTable->Post();
            typedTitle = ctx.detailTable->FieldByName("Title")->AsString();
        } catch (const std::exception& e) {
            Note(std::string("typing a page: ") + e.what() +
                 (dialogs.boxes.empty() ? std::string() : " / last box: " + dialogs.boxes.back().request.text));
        }
        pagesAfter = Rows(editor::kItemTableFile);
        watcher.reset();
        gui::Printer()->OutputFileName.clear();
    });

    std::ostringstream report;
    report << ran << " commands ran\n";
    for (const std::string& s : shown) report << "  window: " << s << "\n";
    for (const auto& b : dialogs.boxes) report << "  box: " << b.during << ": " << b.request.text << "\n";
    for (const std::string& t : files.titles) report << "  file dialog: " << t << "\n";
    for (const std::string& f : viewersStarted) report << "  viewer: " << f << "\n";
    std::cout << report.str();

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(wizardRan);
    EXPECT_FALSE(stuck);
    EXPECT_GT(ran, 200);
    std::string all;
    for (const std::string& f : faults) all += f + "\n";
    EXPECT_TRUE(faults.empty()) << all;
    EXPECT_EQ(pagesAfter, pagesBefore + 1);
    EXPECT_EQ(typedTitle, "Typed");
    EXPECT_TRUE(fs::exists(printed));
}

}  // namespace
