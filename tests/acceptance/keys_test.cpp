// The page grid and the main window's keys as a user meets them: keys typed
// through the X server to whatever has the focus, the tables and the screen
// looked at afterwards.
#include "tests/acceptance/user_actions.h"

#include "editor/forms/main_form.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/model/rtf_text.h"
#include "richtext/view/caret.h"
#include "data/tables.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

namespace {

using acceptance::NewProjectByKeys;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

// The page titles of the project, in the page table's order.
std::vector<std::string> Titles(User& u) {
    editor::TForm1* form = u.Form();
    return u.Gui([&] {
        std::vector<std::string> out;
        db::TDataSet* d = form->ctx->detailTable;
        if (d->State() != db::dsBrowse) return std::vector<std::string>{"(editing)"};
        const db::TBookmark at = d->GetBookmark();
        for (d->First(); !d->Eof(); d->Next()) out.push_back(d->FieldByName("Title")->AsString());
        d->GotoBookmark(at);
        return out;
    });
}

// Leaves nothing unsaved that would stop the program's close: whatever
// box is up is answered, and the page row's edits are dropped.
void CancelPageRow(User& u) {
    for (int i = 0; i < 5; ++i)
        if (QWidget* box = u.Gui([] { return QApplication::activeModalWidget(); })) {
            u.Activate(box);
            u.Keys("Return");
        }
    editor::TForm1* form = u.Form();
    u.Gui([&] { form->ctx->detailTable->Cancel(); });
}

// A click on the page grid's cell of `field` in the grid's row `row` (the
// first data row is 1; 0: the current row).
void ClickPageGridCell(User& u, const std::string& field, int row = 0) {
    editor::TForm1* form = u.Form();
    QWidget* grid = u.WidgetOf(form->detailGrid);
    const gui::TRect r = u.Gui([&] {
        vl::TvlCustomDBGrid* g = form->detailGrid;
        int col = g->Col();
        for (int i = 0; i < g->GetFieldCount(); ++i)
            if (g->GetFields(i)->FieldName == field) col = i + g->IndicatorOffset();
        return g->CellRect(col, row > 0 ? row : g->Row());
    });
    u.ClickAt(grid, r.Left + 8, (r.Top + r.Bottom) / 2);
}

// A new page row takes every key typed into its cells, however the row was
// made: Down below the last page, Insert or Edit › Insert Topic in front of
// the first (where the user types the help id, none being free).
TEST(Keys, ANewPageRowKeepsEveryTypedLetter) {
    ProgramFolder home;
    struct Case {
        const char* how;    // the keys that make the row, on the grid
        const char* id;     // typed into its HelpId cell, or nothing
        const char* title;  // typed into its Title cell
    };
    const std::vector<Case> cases = {
        {"Down", "", "zz"}, {"Insert", "500", "yy"}, {"ctrl+End Down", "", "xxx"}, {"alt+e i", "300", "ww"}};
    std::vector<std::string> shown, titles, boxes;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Rows", "ROWS"));
        editor::TForm1* form = u.Form();
        auto editorText = [&] {
            gui::TInplaceEdit* e = form->detailGrid->InplaceEditor();
            return e && e->Visible() ? e->Text() : std::string("(no editor)");
        };
        for (const Case& c : cases) {
            // Onto the first page, without opening its cell.
            ClickPageGridCell(u, "HelpId", 1);
            ClickPageGridCell(u, "TopicPopup", 1);
            u.Keys(c.how);
            ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsInsert; })) << c.how;
            if (*c.id) {
                u.Type(c.id);
                u.WaitUntil([&] { return editorText() == c.id; }, 3000);
                shown.push_back(u.Gui(editorText));
            }
            ClickPageGridCell(u, "Title");
            u.Type(c.title);
            u.WaitUntil([&] { return editorText() == c.title; }, 3000);
            shown.push_back(u.Gui(editorText));
            u.Keys("Return");
            u.Click(u.Control("SpeedButton6"));
            if (!u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; })) {
                ADD_FAILURE() << c.how << ": the new page was not saved";
                CancelPageRow(u);
                return;
            }
        }
        titles = Titles(u);
        for (const gui::DialogRequest& b : u.Boxes()) boxes.push_back(b.text);
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, (std::vector<std::string>{"zz", "500", "yy", "xxx", "300", "ww"}));
    EXPECT_EQ(titles, (std::vector<std::string>{"ww", "yy", "Welcome", "zz", "xxx"}));
    EXPECT_EQ(boxes, std::vector<std::string>{});
}

// A typed new page row is cancelled by the keys for it: the first Escape
// drops what the cell holds, the next the row (after the grid's question:
// the row holds its defaults); Alt+Backspace (Edit › Undo record) drops the
// row at once. The page count is back where it was.
TEST(Keys, EscapeAndAltBackspaceCancelATypedNewRow) {
    ProgramFolder home;
    struct Case {
        const char* keys;
        const char* afterFirst;  // the cell's text after the first key
    };
    const std::vector<Case> cases = {{"Escape Escape", ""}, {"alt+BackSpace", nullptr}};
    std::vector<std::string> cellAfterFirst;
    std::vector<int> rowsBefore, rowsAfter, recordsAfter;
    std::vector<int> states;
    std::vector<std::string> questions;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Undo", "UNDO"));
        editor::TForm1* form = u.Form();
        auto gridRows = [&] { return form->detailGrid->RowCount(); };
        for (const Case& c : cases) {
            ClickPageGridCell(u, "HelpId", 1);
            ClickPageGridCell(u, "Title", 1);
            rowsBefore.push_back(u.Gui(gridRows));
            u.Keys("Down");
            ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsInsert; }));
            ClickPageGridCell(u, "Title");
            u.Type("zz");
            u.WaitUntil([&] {
                gui::TInplaceEdit* e = form->detailGrid->InplaceEditor();
                return e && e->Text() == "zz";
            }, 3000);
            const std::string first = c.keys;
            const std::size_t space = first.find(' ');
            u.Keys(first.substr(0, space));
            if (c.afterFirst) {
                u.WaitUntil([&] { return form->detailGrid->InplaceEditor()->Text() == c.afterFirst; }, 3000);
                cellAfterFirst.push_back(u.Gui([&] { return form->detailGrid->InplaceEditor()->Text(); }));
                u.Keys(first.substr(space + 1));
                // The new page holds its defaults: the grid asks before it drops them.
                if (u.WaitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 3000)) {
                    questions.push_back(u.Gui([] { return QApplication::activeModalWidget()->windowTitle().toStdString(); }));
                    u.Activate(u.Gui([] { return QApplication::activeModalWidget(); }));
                    u.Keys("Return");
                }
            }
            u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; }, 3000);
            states.push_back(u.Gui([&] { return int(form->ctx->detailTable->State()); }));
            rowsAfter.push_back(u.Gui(gridRows));
            recordsAfter.push_back(u.Gui([&] { return form->ctx->detailTable->RecordCount(); }));
            CancelPageRow(u);
        }
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(cellAfterFirst, std::vector<std::string>{""});
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(states, (std::vector<int>{db::dsBrowse, db::dsBrowse}));
    EXPECT_EQ(rowsAfter, rowsBefore);
    EXPECT_EQ(recordsAfter, (std::vector<int>{1, 1}));
}

// The page grid's short columns fit its pane: no horizontal scroll bar
// shows, and with the title cell current the help id is still in view.
TEST(Keys, ThePageGridFitsItsPaneWithoutAHorizontalBar) {
    ProgramFolder home;
    bool barShown = true;
    int leftCol = -1, fixedCols = 0, titleRight = 0, clientWidth = 0;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Fits", "FITS"));
        editor::TForm1* form = u.Form();
        ClickPageGridCell(u, "Title", 1);
        u.WaitUntil([&] {
            return form->detailGrid->GetSelectedField() && form->detailGrid->GetSelectedField()->FieldName == "Title";
        });
        QWidget* grid = u.WidgetOf(form->detailGrid);
        u.Gui([&] {
            barShown = false;
            for (QScrollBar* b : grid->findChildren<QScrollBar*>())
                if (b->orientation() == Qt::Horizontal && b->isVisible()) barShown = true;
            vl::TvlCustomDBGrid* g = form->detailGrid;
            leftCol = g->LeftCol();
            fixedCols = g->FixedCols();
            titleRight = g->CellRect(g->ColCount() - 1, 1).Right;
            clientWidth = g->ClientWidth();
        });
        if (const char* dir = std::getenv("TAVRIN_SHOT_DIR"))
            u.Grab(u.WaitForMainWindow()).save(QString::fromUtf8(dir) + "/page_grid.png");
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(barShown) << "a horizontal scroll bar under columns that fit";
    EXPECT_EQ(leftCol, fixedCols) << "the help id column scrolled out of view";
    EXPECT_GT(titleRight, 0);
    EXPECT_LE(titleRight, clientWidth);
}

// The main window's keys in the running program: Ctrl+S in the page editor
// stores the page, Alt+M and Alt+S switch views from inside the page, and
// File › Exit with a page that cannot be stored says why and stays open;
// with an empty new page it drops the page and closes.
TEST(Keys, SaveViewKeysAndExitWorkFromThePage) {
    ProgramFolder home;
    std::string stored, maxView, splitView, typedInto;
    int stateAfterSave = -1;
    bool stayedOpen = false;
    std::string refusal;
    bool quit = false;
    std::size_t boxesBeforeExit = 0;
    std::vector<gui::DialogRequest> boxesAtExit;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Keys", "KEYS"));
        editor::TForm1* form = u.Form();
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Stored by keys"));
        u.Keys("ctrl+s");
        u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; }, 3000);
        u.Gui([&] {
            stateAfterSave = form->ctx->detailTable->State();
            form->ctx->detailTable->Refresh();
            stored = form->ctx->detailTable->FieldByName("HelpText")->AsString();
        });
        u.Click(u.Control("HelpText"));
        u.Keys("alt+m");
        u.WaitUntil([&] { return form->CurrentView() == editor::kMaxViewPage; }, 3000);
        maxView = u.Gui([&] { return form->CurrentView(); });
        u.Keys("alt+s");
        u.WaitUntil([&] { return form->CurrentView() == editor::kSplitViewPage; }, 3000);
        splitView = u.Gui([&] { return form->CurrentView(); });
        typedInto = acceptance::PageText(u);
        // A new page in front of the first has no free help id: with a title
        // it cannot be stored.
        ClickPageGridCell(u, "HelpId", 1);
        ClickPageGridCell(u, "TopicPopup", 1);
        u.Keys("Insert");
        ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsInsert; }));
        ClickPageGridCell(u, "Title");
        u.Type("No id yet");
        u.Keys("Return");
        u.Keys("alt+f x");
        if (u.WaitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 5000)) {
            QWidget* box = u.Gui([] { return QApplication::activeModalWidget(); });
            for (const gui::DialogRequest& b : u.Boxes()) refusal += b.caption + ": " + b.text + "\n";
            u.Activate(box);
            u.Keys("Return");
            u.WaitUntil([] { return QApplication::activeModalWidget() == nullptr; }, 5000);
        }
        stayedOpen = u.Gui([&] { return form->Widget()->isVisible(); });
        CancelPageRow(u);
        // An empty new page is dropped by the close, which goes on without a box.
        ClickPageGridCell(u, "HelpId", 1);
        u.Keys("Insert");
        ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsInsert; }));
        boxesBeforeExit = u.Boxes().size();
        u.Activate(u.WidgetOf(form));
        u.Keys("alt+f x");
        // The program may end while it is looked at: that is the close too.
        for (int look = 0; look < 400 && !quit; ++look) {
            try {
                quit = u.ended || !u.Gui([&] { return form->Widget()->isVisible(); });
            } catch (const std::exception&) {
                quit = u.ended;
            }
            if (!quit) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        if (!quit) boxesAtExit = u.Boxes();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(stateAfterSave, db::dsBrowse);
    EXPECT_NE(stored.find("Stored by keys"), std::string::npos) << stored;
    EXPECT_EQ(maxView, editor::kMaxViewPage);
    EXPECT_EQ(splitView, editor::kSplitViewPage);
    EXPECT_EQ(typedInto.find("ms"), std::string::npos) << "a view key typed into the page: " << typedInto;
    EXPECT_TRUE(stayedOpen);
    EXPECT_NE(refusal.find("without a HelpId"), std::string::npos) << refusal;
    EXPECT_TRUE(quit) << "File > Exit did not close the window";
    for (std::size_t i = boxesBeforeExit; i < boxesAtExit.size(); ++i)
        ADD_FAILURE() << "a box at exit: " << boxesAtExit[i].text;
}

// The text of a PDF, as pdftotext reads it; empty when it cannot.
std::string PdfText(const std::filesystem::path& pdf) {
    const std::filesystem::path out = pdf.string() + ".txt";
    const std::string command = "pdftotext -layout '" + pdf.string() + "' '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The PDFs in `folder` and its Documents folder.
std::vector<std::filesystem::path> Pdfs(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    for (const auto& dir : {folder, folder / "Documents"}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec))
            if (e.path().extension() == ".pdf") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Printing from the pop-up menus of the running window, with no printer
// installed: the page list (grid pop-up › Print Page List) and a page long
// enough for several sheets (page pop-up › Print this Page) each become a
// PDF, with every page's text in it.
TEST(Keys, PrintPageListAndPrintThisPageWriteTheirText) {
    ProgramFolder home;
    const std::filesystem::path user = home.path().parent_path() / "user";
    std::filesystem::create_directories(user);
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", user.c_str(), 1);
    std::vector<std::string> told;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Printed", "PRINTED"));
        editor::TForm1* form = u.Form();
        auto answerBox = [&] {
            if (!u.WaitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 20000)) return;
            QWidget* box = u.Gui([] { return QApplication::activeModalWidget(); });
            told.push_back(u.Gui([&] { return box->windowTitle().toStdString(); }));
            u.Activate(box);
            u.Keys("Return");
            u.WaitUntil([] { return QApplication::activeModalWidget() == nullptr; }, 5000);
        };
        // The page list, from the page grid's pop-up.
        ClickPageGridCell(u, "HelpId", 1);
        QWidget* grid = u.WidgetOf(form->detailGrid);
        u.RightClickAt(grid, 30, 60);
        ASSERT_TRUE(u.WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
        u.Keys("p");
        answerBox();
        // A page of many lines, printed from the page editor's pop-up.
        // The lines come from another program through the clipboard.
        std::string lines = "\n";
        for (int i = 1; i <= 90; ++i) lines += "Line " + std::to_string(i) + "\n";
        lines += "Last line";
        u.Gui([&] { QApplication::clipboard()->setText(QString::fromStdString(lines)); });
        ASSERT_TRUE(acceptance::TypeIntoPage(u, "First"));
        u.Keys("ctrl+End ctrl+v");
        u.WaitUntil([&] { return form->HelpText->GetPlainText().find("Last line") != std::string::npos; });
        QWidget* page = u.WidgetOf(u.Control("HelpText"));
        u.RightClickAt(page, 40, 40);
        ASSERT_TRUE(u.WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
        u.Keys("p");
        answerBox();
    });
    if (oldHome.empty()) ::unsetenv("HOME");
    else ::setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(code, 0);
    const std::vector<std::filesystem::path> pdfs = Pdfs(user);
    ASSERT_EQ(pdfs.size(), 2u) << "told: " << told.size();
    std::string list, pages;
    if (const char* dir = std::getenv("TAVRIN_SHOT_DIR"))
        for (const auto& p : pdfs)
            std::filesystem::copy_file(p, std::filesystem::path(dir) / p.filename(),
                                       std::filesystem::copy_options::overwrite_existing);
    for (const auto& p : pdfs) {
        const std::string text = PdfText(p);
        (text.find("HelpID") != std::string::npos ? list : pages) = text;
    }
    EXPECT_NE(list.find("T/P Title"), std::string::npos) << list;
    EXPECT_NE(list.find("1000"), std::string::npos) << list;
    EXPECT_NE(list.find("Welcome"), std::string::npos) << list;
    EXPECT_NE(pages.find("Line 1"), std::string::npos) << pages;
    EXPECT_NE(pages.find("Last line"), std::string::npos) << pages;
    // pdftotext ends each sheet with a form feed: 90 lines take two at least.
    EXPECT_GE(std::count(pages.begin(), pages.end(), '\f'), 2) << "one sheet for a page of 90 lines";
    EXPECT_NE(pages.find("Line 90"), std::string::npos) << pages;
}

// Bullets and Table from their tool buttons: with the page's line
// selected, Bullets (its dialog's OK, then the font warning) makes the line
// a list; Table (a size picked in its dialog) puts a table into the page.
TEST(Keys, BulletsAndTableButtonsChangeThePage) {
    ProgramFolder home;
    int numberedBefore = -1, numberedAfter = -1;
    std::string rtfBefore, rtfAfter;
    std::vector<std::string> windows;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Lists", "LISTS"));
        editor::TForm1* form = u.Form();
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " A listed line"));
        auto numbered = [&] {
            int n = 0;
            for (const richtext::TParagraph* p = form->HelpText->RtfText().FirstParagraph(); p; p = p->next)
                n += p->numbering != 0;
            return n;
        };
        auto answer = [&](const std::string& title) {
            QWidget* w = u.WaitForWindow(title);
            if (!w) return;
            windows.push_back(title);
            u.Activate(w);
            u.Keys("Return");
            u.WaitForWindowGone(title);
        };
        numberedBefore = u.Gui(numbered);
        u.Keys("shift+Home");
        u.Click(u.Control("sbtnBullets"));
        answer("Bullets and Numbers");
        if (u.WindowShown("Font Warning")) answer("Font Warning");
        numberedAfter = u.Gui(numbered);
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End");
        rtfBefore = u.Gui([&] { return form->HelpText->RtfText().SaveToString(); });
        u.Click(u.Control("sbtnCreateTable"));
        // The size is picked in the dialog's cells: a double click two
        // cells across and down takes it.
        if (QWidget* sizes = u.WaitForWindow("New table")) {
            windows.push_back("New table");
            u.DoubleClickAt(sizes, 30 + 40, 30);
            u.WaitForWindowGone("New table");
        }
        rtfAfter = u.Gui([&] { return form->HelpText->RtfText().SaveToString(); });
        u.Click(u.Control("SpeedButton6"));
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(numberedBefore, 0);
    EXPECT_GE(numberedAfter, 1);
    EXPECT_EQ(rtfBefore.find("\\trowd"), std::string::npos);
    EXPECT_NE(rtfAfter.find("\\trowd"), std::string::npos) << rtfAfter;
}

// The control named `name` on the shown form captioned `caption`.
gui::TControl* OnForm(User& u, const std::string& caption, const std::string& name) {
    return u.Gui([&]() -> gui::TControl* {
        for (int i = 0; i < gui::Screen->FormCount(); ++i)
            if (gui::Screen->Forms(i)->Caption() == caption && gui::Screen->Forms(i)->Visible())
                return dynamic_cast<gui::TControl*>(gui::Screen->Forms(i)->FindComponent(name));
        return nullptr;
    });
}

// A jump made by F4 through the Jumps window, then a double click on its
// text in the page: the jump window offers to follow it, and following it
// (No to going back) shows the target page.
TEST(Keys, AHotSpotClickFollowsTheJump) {
    ProgramFolder home;
    std::string hidden, followedTo;
    std::vector<std::string> windows;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Hot", "HOT"));
        editor::TForm1* form = u.Form();
        // A second page, "Target" (help id 2000).
        ClickPageGridCell(u, "HelpId", 1);
        ClickPageGridCell(u, "TopicPopup", 1);
        u.Keys("Down");
        ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsInsert; }));
        ClickPageGridCell(u, "Title");
        u.Type("Target");
        u.Keys("Return");
        u.Click(u.Control("SpeedButton6"));
        ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; }));
        // Back on the first page, a word made a jump to it.
        ClickPageGridCell(u, "HelpId", 1);
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End Return");
        u.Type("Onward");
        u.Keys("shift+Home F4");
        ASSERT_TRUE(u.WaitForWindow("Jumps"));
        windows.push_back("Jumps");
        gui::TControl* jumpTo = OnForm(u, "Jumps", "editJump");
        ASSERT_TRUE(jumpTo);
        u.Click(jumpTo);
        u.Type("2000");
        u.Keys("Return");
        ASSERT_TRUE(u.WaitForWindowGone("Jumps"));
        hidden = acceptance::PageText(u);
        // A double click on the jump's text, which starts the caret's line.
        const QPoint at = u.Gui([&] {
            const auto& caret = form->HelpText->Engine().caret;
            return QPoint(12, caret.y + caret.height / 2);
        });
        u.DoubleClickAt(u.WidgetOf(u.Control("HelpText")), at.x(), at.y());
        if (const char* dir = std::getenv("TAVRIN_SHOT_DIR"))
            u.Grab(u.WidgetOf(u.Control("HelpText"))).save(QString::fromUtf8(dir) + "/jump.png");
        QWidget* change = u.WaitForWindow("View/Remove Jump");
        ASSERT_TRUE(change);
        windows.push_back("View/Remove Jump");
        u.Activate(change);
        u.Keys("alt+f");
        QWidget* back = u.WaitForWindow("Confirm");
        if (back) {
            u.Activate(back);
            u.Keys("n");
            u.WaitForWindowGone("Confirm");
        }
        u.WaitUntil([&] { return form->ctx->detailTable->FieldByName("Title")->AsString() == "Target"; }, 3000);
        followedTo = u.Gui([&] { return form->ctx->detailTable->FieldByName("Title")->AsString(); });
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(hidden.find("Onward2000"), std::string::npos) << hidden;
    EXPECT_EQ(followedTo, "Target");
}

// The letters the main window answers to with Alt in the view shown: the
// menus of its bar, its tabs and the labels that lead to a field.
std::vector<std::pair<char, std::string>> WindowLetters(User& u) {
    editor::TForm1* form = u.Form();
    return u.Gui([&] {
        std::vector<std::pair<char, std::string>> out;
        auto letter = [&](const std::string& caption) {
            for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
                if (caption[i] != '&') continue;
                if (caption[i + 1] == '&') {
                    ++i;
                    continue;
                }
                out.emplace_back(static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1]))), caption);
                return;
            }
        };
        if (QMenuBar* bar = form->Widget()->findChild<QMenuBar*>())
            for (QAction* a : bar->actions())
                if (a->isVisible()) letter(a->text().toStdString());
        for (int i = 0; i < form->TabBook->PageCount(); ++i) letter(form->TabBook->Pages(i)->Caption());
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* l = dynamic_cast<gui::TLabel*>(form->Components(i)))
                if (l->FocusControl() && l->Showing() && l->ShowAccelChar) letter(l->Caption());
        return out;
    });
}

// Alt and a letter from inside the page: each letter belongs to one menu,
// tab or field label of the window, in every view, and does what it shows.
TEST(Keys, EachAltLetterOfTheMainWindowHasOneOwner) {
    ProgramFolder home;
    struct Case {
        const char* keys;
        const char* expect;  // "view:", "menu:" or "focus:" and what
    };
    const std::vector<Case> cases = {
        {"alt+i", "menu:&Inheritance"},  {"alt+v", "view:Filter"}, {"alt+o", "view:Contents"},
        {"alt+u", "focus:editCntJump"},  {"alt+m", "view:Max"},    {"alt+j", "focus:ApplicationFld"},
        {"alt+a", "focus:DosNameFld"},   {"alt+p", "focus:HelpTitleFld"}, {"alt+s", "view:Split"},
        {"alt+r", "menu:Fo&rmat"},       {"alt+l", "menu:Fi&lter"},       {"alt+c", "menu:&Compile"},
    };
    std::vector<std::string> seen(cases.size()), shared;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Letters", "LETTERS"));
        editor::TForm1* form = u.Form();
        auto views = [&] {
            return std::vector<std::string>{editor::kSplitViewPage, editor::kMaxViewPage, editor::kFilterViewPage,
                                            editor::kContentsPage};
        };
        for (const std::string& view : views()) {
            u.Gui([&] {
                form->TabBook->SetActivePageName(view);
                form->TabBookClick();
            });
            const auto letters = WindowLetters(u);
            for (std::size_t i = 0; i < letters.size(); ++i)
                for (std::size_t j = i + 1; j < letters.size(); ++j)
                    if (letters[i].first == letters[j].first)
                        shared.push_back(view + ": " + letters[i].second + " and " + letters[j].second);
        }
        u.Gui([&] {
            form->TabBook->SetActivePageName(editor::kSplitViewPage);
            form->TabBookClick();
        });
        u.Click(u.Control("HelpText"));
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const std::string before = u.Gui([&] { return form->CurrentView(); });
            u.Keys(cases[k].keys);
            const std::string expect = cases[k].expect;
            const std::string kind = expect.substr(0, expect.find(':') + 1);
            auto now = [&] {
                if (QWidget* p = QApplication::activePopupWidget())
                    if (auto* m = qobject_cast<QMenu*>(p)) return "menu:" + m->menuAction()->text().toStdString();
                if (form->CurrentView() != before) {
                    std::string v = form->CurrentView();
                    v.erase(std::remove(v.begin(), v.end(), '&'), v.end());
                    return "view:" + v.substr(0, v.find(' '));
                }
                gui::TWinControl* a = form->ActiveControl();
                return "focus:" + (a ? a->Name() : std::string());
            };
            u.WaitUntil([&] { return now() == expect; }, 3000);
            seen[k] = u.Gui(now);
            if (kind == "menu:") {
                u.Keys("Escape");
                u.WaitUntil([] { return QApplication::activePopupWidget() == nullptr; }, 3000);
                u.Keys("Escape");
            }
        }
    });
    EXPECT_EQ(code, 0);
    for (const std::string& s : shared) ADD_FAILURE() << "one Alt letter for two: " << s;
    for (std::size_t k = 0; k < cases.size(); ++k) EXPECT_EQ(seen[k], cases[k].expect) << cases[k].keys;
}

}  // namespace
