// The main window as its user sees it: the formatting bars over the page
// editors, the boxes of the first start over a painted window, and a window
// that fits the screen whatever Tavrin.ini says. The Screen suite also runs
// at QT_SCALE_FACTOR=2.
#include "tests/acceptance/user_actions.h"

#include "editor/forms/main_form.h"
#include "controls/richdb/db_rich_text.h"
#include "data/tables.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

// Dark pixels of the editor, looked at until two looks in a row agree: the
// editor repaints on its own time and the caret blinks.
int SettledDarkPixels(User& u, QWidget* editor) {
    const QRect all = u.RectIn(editor, editor);
    int last = -1;
    for (int look = 0; look < 40; ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(look ? 60 : 150));
        const int now = acceptance::DarkPixels(u.Grab(editor), all);
        if (now == last) return now;
        last = now;
    }
    return last;
}

// The stored RTF of the current page, after the Save button posted it.
std::string StoredPage(User& u) {
    editor::TForm1* form = u.Form();
    u.Click(u.Control("SpeedButton6"));
    u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; });
    return u.Gui([&] { return form->ctx->detailTable->FieldByName("HelpText")->AsString(); });
}

// A word selected in the page and the bar's Bold icon clicked: the page
// shows it heavier and its stored RTF has it bold; then a size chosen from
// the bar's size list shows it larger and stores the size.
TEST(Window, TheSplitViewBarFormatsTheSelectedText) {
    ProgramFolder home;
    std::string afterBold, afterSize, chosen;
    int plain = 0, bold = 0, sized = 0;
    int selected = 0;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Bars", "BARS"));
        editor::TForm1* form = u.Form();
        ASSERT_TRUE(acceptance::TypeIntoPage(u, "\rMWHB mwhb MWHB"));
        QWidget* editor = u.WidgetOf(u.Control("HelpText"));
        plain = SettledDarkPixels(u, editor);

        u.Keys("End shift+Home");
        selected = u.Gui([&] { return form->HelpText->GetSelLength(); });
        richtext::TJDToolBar* bar = u.Gui([&] { return dynamic_cast<richtext::TJDToolBar*>(form->FindComponent("JDToolBar1")); });
        ASSERT_TRUE(bar);
        gui::TControl* boldIcon = u.Gui([&]() -> gui::TControl* {
            const int i = bar->FindIcon("JDI_BOLD", 0, 0);
            return i < 0 ? nullptr : bar->Icon(i).button;
        });
        ASSERT_TRUE(boldIcon) << "the bar has no Bold icon";
        u.Click(boldIcon);
        u.Keys("End");
        bold = SettledDarkPixels(u, editor);
        afterBold = StoredPage(u);

        // The size list: opened with a click on its arrow, an item clicked.
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End shift+Home");
        auto* sizes = u.Gui([&] { return bar->Combo(2); });
        ASSERT_TRUE(sizes) << "the bar has no size list";
        QWidget* sizeBox = u.WidgetOf(sizes);
        const QSize box = u.Gui([&] { return sizeBox->size(); });
        u.ClickAt(sizeBox, box.width() - 6, box.height() / 2);
        ASSERT_TRUE(u.WaitUntil([&] { return sizes->DroppedDown(); })) << "the size list did not open";
        const int item = u.Gui([&] {
            for (int i = 0; i < sizes->Items().Count(); ++i)
                if (sizes->Items()[i] == "14") return i;
            return -1;
        });
        ASSERT_GE(item, 0);
        const gui::TRect r = u.Gui([&] { return sizes->ListBox()->ItemRect(item); });
        chosen = u.Gui([&] { return sizes->Items()[item]; });
        u.ClickAt(u.WidgetOf(sizes->ListBox()), (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        u.WaitUntil([&] { return !sizes->DroppedDown(); });
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End");
        sized = SettledDarkPixels(u, editor);
        afterSize = StoredPage(u);
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(selected, 14);
    // Bold strokes are wider: a dozen glyphs darken many more pixels.
    EXPECT_GT(bold, plain + plain / 10) << "plain " << plain << ", bold " << bold;
    EXPECT_TRUE(std::regex_search(afterBold, std::regex(R"(\\b[ \\{][^}]*MWHB mwhb MWHB)"))) << afterBold;
    EXPECT_EQ(chosen, "14");
    EXPECT_GT(sized, bold + bold / 5) << "bold " << bold << ", size 14 " << sized;
    EXPECT_TRUE(std::regex_search(afterSize, std::regex(R"(\\fs28[ \\{][^}]*MWHB mwhb MWHB)"))) << afterSize;
}

// The bars' font lists offer the project's registered fonts (what the page
// header's font table holds), not whatever the screen has installed; a
// font chosen from the open list gives the selected words that font in the
// editor and in the stored page.
TEST(Window, TheBarsListTheProjectFontsAndApplyTheChosenOne) {
    ProgramFolder home;
    std::vector<std::string> registry;
    std::vector<std::vector<std::string>> listed(2);
    std::string chosen, shownInEditor, stored;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Fonts", "FONTS"));
        editor::TForm1* form = u.Form();
        registry = u.Gui([&] {
            std::vector<std::string> out;
            db::TDataSet* t = form->ctx->tblFont;
            std::string lines = t->FieldByName("FontList")->AsString(), line;
            for (char c : lines + "\n")
                if (c == '\r' || c == '\n') {
                    if (!line.empty()) out.push_back(line);
                    line.clear();
                } else {
                    line += c;
                }
            return out;
        });
        int i = 0;
        for (const char* name : {"JDToolBar1", "JDToolBar2"}) {
            listed[i++] = u.Gui([&] {
                std::vector<std::string> out;
                auto* bar = dynamic_cast<richtext::TJDToolBar*>(form->FindComponent(name));
                if (bar && bar->Combo(1))
                    for (int k = 0; k < bar->Combo(1)->Items().Count(); ++k) out.push_back(bar->Combo(1)->Items()[k]);
                return out;
            });
        }
        ASSERT_TRUE(acceptance::TypeIntoPage(u, "\rMWHB mwhb MWHB"));
        u.Keys("End shift+Home");
        auto* bar = u.Gui([&] { return dynamic_cast<richtext::TJDToolBar*>(form->FindComponent("JDToolBar1")); });
        ASSERT_TRUE(bar);
        richtext::TJDTBCombo* names = u.Gui([&] { return bar->Combo(1); });
        ASSERT_TRUE(names);
        QWidget* box = u.WidgetOf(names);
        const QSize size = u.Gui([&] { return box->size(); });
        u.ClickAt(box, size.width() - 6, size.height() / 2);
        ASSERT_TRUE(u.WaitUntil([&] { return names->DroppedDown(); })) << "the font list did not open";
        QWidget* list = u.WidgetOf(names->ListBox());
        ASSERT_TRUE(u.WaitUntil([&] {
            QWindow* h = list->window()->windowHandle();
            return h && h->isExposed();
        }));
        // The last name the open list shows, or its first when that one is
        // the text's font already.
        const int item = u.Gui([&] {
            const int top = names->ListBox()->TopIndex();
            int k = top + std::min(names->Items().Count() - top, names->DropDownCount) - 1;
            return k == names->ItemIndex() ? top : k;
        });
        chosen = u.Gui([&] { return names->Items()[item]; });
        const gui::TRect r = u.Gui([&] { return names->ListBox()->ItemRect(item); });
        u.ClickAt(list, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        u.WaitUntil([&] { return !names->DroppedDown(); });
        shownInEditor = u.Gui([&] {
            auto& engine = form->HelpText->Engine();
            richtext::TTextPointer p;
            engine.PositionToPointer(form->HelpText->GetSelStart() + 1, p);
            const auto a = p.line->attrs.at(static_cast<std::size_t>(p.pos));
            return a.font >= 0 && a.font < static_cast<int>(engine.Header().fontNames.size())
                       ? engine.Header().fontNames[static_cast<std::size_t>(a.font)]
                       : std::string();
        });
        u.Click(u.Control("HelpText"));
        stored = StoredPage(u);
    });
    EXPECT_EQ(code, 0);
    ASSERT_GE(registry.size(), 2u);
    std::vector<std::string> sorted = registry;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(listed[0], sorted) << "the split view's bar";
    EXPECT_EQ(listed[1], sorted) << "the max view's bar";
    EXPECT_NE(std::find(registry.begin(), registry.end(), chosen), registry.end()) << chosen;
    EXPECT_EQ(shownInEditor, chosen);
    // The stored page's font table has the chosen font, and the words use it.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(stored, m, std::regex(R"(\\f(\d+)(\\[a-z]+\d*)* ?)" + chosen + ";"))) << stored;
    EXPECT_TRUE(std::regex_search(stored, std::regex("\\\\f" + m[1].str() + R"([ \\{][^}]*MWHB mwhb MWHB)")))
        << stored;
}

// The max view's bar does the same for its page editor.
TEST(Window, TheMaxViewBarFormatsItsEditor) {
    ProgramFolder home;
    std::string stored;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Max Bars", "MAXBARS"));
        editor::TForm1* form = u.Form();
        u.Keys("alt+m");
        if (!u.WaitUntil([&] { return form->CurrentView() == editor::kMaxViewPage; }, 3000)) {
            u.Gui([&] {
                form->TabBook->SetActivePageName(editor::kMaxViewPage);
                form->TabBookClick();
            });
        }
        u.Click(u.Control("maxHelpText"));
        u.Keys("ctrl+End Return");
        u.Type("Italic words");
        ASSERT_TRUE(u.WaitUntil([&] { return form->maxHelpText->GetPlainText().find("Italic words") != std::string::npos; }));
        u.Keys("shift+Home");
        richtext::TJDToolBar* bar = u.Gui([&] { return dynamic_cast<richtext::TJDToolBar*>(form->FindComponent("JDToolBar2")); });
        ASSERT_TRUE(bar);
        gui::TControl* italic = u.Gui([&]() -> gui::TControl* {
            const int i = bar->FindIcon("JDI_ITALIC", 0, 0);
            return i < 0 ? nullptr : bar->Icon(i).button;
        });
        ASSERT_TRUE(italic);
        u.Click(italic);
        u.Click(u.Control("SpeedButton6"));
        u.WaitUntil([&] { return form->ctx->detailTable->State() == db::dsBrowse; });
        stored = u.Gui([&] { return form->ctx->detailTable->FieldByName("HelpText")->AsString(); });
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(std::regex_search(stored, std::regex(R"(\\i[ \\{][^}]*Italic words)"))) << stored;
}

// A line longer than the pane: the page is wider than the split view's
// editor, and a horizontal scroll bar on the editor brings its start back.
TEST(Window, APageWiderThanItsPaneCanBeScrolledTo) {
    ProgramFolder home;
    {
        // A window of the ini file's default size: its page pane is narrower than a page.
        std::ofstream ini(home / "Tavrin.ini");
        ini << "[WindowPosition]\nTop=1\nLeft=1\nHeight=600\nWidth=800\n";
    }
    bool wider = false, barShown = false, startShownAgain = false;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Wide", "WIDE"));
        editor::TForm1* form = u.Form();
        ASSERT_TRUE(acceptance::TypeIntoPage(
            u, "\rA long paragraph that runs on past the width of the pane and then some more words after it"));
        QWidget* editor = u.WidgetOf(u.Control("HelpText"));
        wider = u.Gui([&] {
            richtext::TJDRTFTextInput& e = form->HelpText->Engine();
            return e.Header().textWidth + e.leftMargin > form->HelpText->ClientWidth();
        });
        QScrollBar* bar = u.Gui([&]() -> QScrollBar* {
            for (QScrollBar* b : editor->findChildren<QScrollBar*>())
                if (b->orientation() == Qt::Horizontal && b->isVisible() && b->maximum() > b->minimum()) return b;
            return nullptr;
        });
        barShown = bar != nullptr;
        if (!bar) return;
        // The caret at the line's end scrolled the page; clicks on the bar
        // left of its thumb bring the start back a page at a time.
        const int y = u.Gui([&] { return bar->height() / 2; });
        for (int i = 0; i < 10 && !startShownAgain; ++i) {
            u.ClickAt(bar, 2 * y + 4, y);  // past the arrow, in the trough
            startShownAgain = u.WaitUntil([&] { return form->HelpText->Engine().LeftOffset == 0; }, 300);
        }
    });
    EXPECT_EQ(code, 0);
    ASSERT_TRUE(wider) << "the page fits its pane: nothing to scroll";
    EXPECT_TRUE(barShown) << "no horizontal scroll bar on a page wider than its pane";
    EXPECT_TRUE(startShownAgain);
}

// The share of the main window's pixels outside `box` that are not black.
double LitOutside(User& u, QWidget* main, QWidget* box) {
    const QRect mainRect = u.Gui([&] { return QRect(main->mapToGlobal(QPoint(0, 0)), main->size()); });
    const QRect boxRect = u.Gui([&] { return box->frameGeometry(); });
    const QImage shot = u.Grab(main);
    long lit = 0, all = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            if (boxRect.contains(mainRect.topLeft() + QPoint(x, y))) continue;
            ++all;
            if ((shot.pixel(x, y) & 0xFFFFFF) != 0) ++lit;
        }
    return all ? static_cast<double>(lit) / all : 1.0;
}

// The boxes of the deferred start-up (the missing help on the first start,
// the tip on the next) come over a main window that is already painted.
TEST(Window, TheFirstStartsBoxesComeOverAPaintedWindow) {
    ProgramFolder home;
    struct Case {
        const char* what;
        const char* box;
    };
    for (const Case& c : {Case{"first start", "Warning"}, Case{"next start", "Tip of the Day"}}) {
        SCOPED_TRACE(c.what);
        double lit = 0;
        bool mainShown = false;
        const int code = RunProgram([&](User& u) {
            QWidget* box = u.WaitForWindow(c.box, 20000);
            ASSERT_TRUE(box);
            QWidget* main = u.Gui([&]() -> QWidget* {
                editor::TForm1* f = dynamic_cast<editor::TForm1*>(gui::Application->MainForm());
                return f ? f->Widget() : nullptr;
            });
            ASSERT_TRUE(main);
            mainShown = u.Gui([&] { return main->isVisible(); });
            // The box has been on the screen a while: whatever the main window
            // shows now is what the user looks at.
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            lit = LitOutside(u, main, box);
            u.Activate(box);
            u.Keys("Return");
            u.WaitForWindowGone(c.box);
        });
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(mainShown) << "the box came before the main window";
        EXPECT_GT(lit, 0.9) << "the main window is black around the box";
    }
}

// --- the Screen suite: run at scale 1 and at scale 2 --------------------------

// The windows an author meets on the main road, each looked at as it shows:
// painted (not black), more than a blank face. With TAVRIN_SHOT_DIR set the
// grabs are kept there for a person to look at.
TEST(Screen, TheMainRoadsWindowsShowPainted) {
    ProgramFolder home;
    std::vector<std::string> blank;
    const char* dir = std::getenv("TAVRIN_SHOT_DIR");
    const std::string scale = std::getenv("QT_SCALE_FACTOR") ? std::getenv("QT_SCALE_FACTOR") : "1";
    auto look = [&](User& u, QWidget* w, const std::string& name) {
        if (!w) {
            blank.push_back(name + " (not shown)");
            return;
        }
        u.WaitUntil([&] { return w->windowHandle() && w->windowHandle()->isExposed(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const QImage shot = u.Grab(w);
        if (acceptance::LitShare(shot) < 0.9 || acceptance::Colours(shot) < 4) blank.push_back(name);
        if (dir) shot.save(QString::fromStdString(std::string(dir) + "/" + name + "_x" + scale + ".png"));
    };
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        look(u, main, "main_empty");
        u.Keys("alt+f n");
        QWidget* wizard = u.WaitForWindow("New Help Project");
        ASSERT_TRUE(wizard);
        u.Activate(wizard);
        u.Type("Tour");
        u.Keys("Tab");
        u.Type("TOUR");
        u.Keys("Tab");
        look(u, wizard, "wizard_step1");
        u.Keys("Tab Tab alt+n");
        look(u, wizard, "wizard_step2");
        u.Keys("alt+n");
        QWidget* grid = u.Gui([&] {
            auto* g = dynamic_cast<gui::TWinControl*>(acceptance::FindOnForms("gridTopics"));
            return g ? g->Widget() : nullptr;
        });
        ASSERT_TRUE(grid);
        u.ClickAt(grid, 100, 34);
        u.Type("Welcome");
        u.Keys("Return");
        look(u, wizard, "wizard_step3");
        u.Keys("alt+f");
        u.WaitForWindowGone("New Help Project");
        editor::TForm1* form = u.Form();
        ASSERT_TRUE(u.WaitUntil([&] { return form->ctx->mainTable->FieldByName("Application")->AsString() == "Tour"; }));
        look(u, main, "main_new_project");
        look(u, main, "main_new_project");
        EXPECT_TRUE(acceptance::TypeIntoPage(u, "\rA paragraph longer than the pane is wide, ending in a jump word"))
            << acceptance::PageText(u);
        look(u, main, "main_page");
        u.Keys("shift+ctrl+Left");
        u.Keys("F4");
        QWidget* jumps = u.WaitForWindow("Jumps");
        look(u, jumps, "jumps");
        if (jumps) {
            u.Activate(jumps);
            u.Keys("Escape");
            u.WaitForWindowGone("Jumps");
        }
        u.Gui([&] {
            form->TabBook->SetActivePageName(editor::kContentsPage);
            form->TabBookClick();
        });
        look(u, main, "contents");
        u.Gui([&] {
            form->TabBook->SetActivePageName(editor::kMaxViewPage);
            form->TabBookClick();
        });
        look(u, main, "max_view");
        // Tools › Tavrin Preferences (its letter is taken by Paint package first).
        u.Gui([&] { QTimer::singleShot(0, [form] { form->ClickMenuItem("miGeneralPrefs"); }); });
        QWidget* prefs = u.WaitForWindow("Tavrin Preferences");
        look(u, prefs, "preferences");
        if (prefs) {
            u.Activate(prefs);
            u.Keys("Escape");
            u.WaitForWindowGone("Tavrin Preferences");
        }
    });
    EXPECT_EQ(code, 0);
    for (const std::string& b : blank) ADD_FAILURE() << b << " shows blank or black";
}


struct Geometry {
    QRect frame, available;
    QSize minimum;
    QRect tools, toolsShown;
    std::vector<std::string> cutButtons;
    // The split view's page editor and the page it shows.
    int editorWidth = 0, pageWidth = 0;
};

Geometry MainGeometry(User& u, QWidget* main) {
    return u.Gui([&] {
        Geometry g;
        g.frame = main->frameGeometry();
        g.available = main->screen()->availableGeometry();
        g.minimum = main->minimumSize();
        auto* f = dynamic_cast<editor::TForm1*>(gui::Application->MainForm());
        QWidget* tools = f->pnlTools->Widget();
        g.tools = QRect(tools->mapTo(main, QPoint(0, 0)), tools->size());
        // What of the tool panel the window shows: inside its client area.
        g.toolsShown = g.tools.intersected(main->rect());
        g.editorWidth = f->HelpText->ClientWidth();
        richtext::TJDRTFTextInput& e = f->HelpText->Engine();
        g.pageWidth = e.Header().textWidth + e.leftMargin;
        // Buttons the panel cuts off: past its right or bottom edge.
        for (int i = 0; i < f->pnlTools->ControlCount(); ++i) {
            gui::TControl* b = f->pnlTools->Controls(i);
            if (!b->Visible()) continue;
            const gui::TRect r = b->BoundsRect();
            if (r.Right > f->pnlTools->ClientWidth() || r.Bottom > f->pnlTools->ClientHeight())
                g.cutButtons.push_back(b->Name());
        }
        return g;
    });
}

// A damaged or outsized Tavrin.ini: the window comes up inside the screen,
// no smaller than its minimum, with the whole tool bar in it.
TEST(Screen, ASavedPlaceThatDoesNotFitIsFittedToTheScreen) {
    struct Case {
        const char* what;
        const char* ini;
    };
    const Case cases[] = {
        {"no file", nullptr},
        {"huge width", "Top=1\nLeft=1\nHeight=600\nWidth=2147483647\n"},
        {"far above", "Top=-99999999\nLeft=1\nHeight=600\nWidth=800\n"},
        {"zero width", "Top=1\nLeft=1\nHeight=600\nWidth=0\n"},
        {"32767 by 19", "Top=0\nLeft=0\nHeight=19\nWidth=32767\n"},
        {"off right", "Top=10\nLeft=30000\nHeight=500\nWidth=700\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder home;
        if (c.ini) {
            std::ofstream ini(home / "Tavrin.ini");
            ini << "[Help]\nShowTipOfTheDay=0\n[WindowPosition]\n" << c.ini;
        }
        Geometry g;
        const int code = RunProgram([&](User& u) {
            QWidget* main = acceptance::MainWindowReady(u);
            ASSERT_TRUE(main);
            g = MainGeometry(u, main);
        });
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(g.available.contains(g.frame)) << "frame " << g.frame.x() << "," << g.frame.y() << " "
                                                   << g.frame.width() << "x" << g.frame.height() << " in "
                                                   << g.available.width() << "x" << g.available.height();
        EXPECT_GE(g.frame.width(), std::min(g.minimum.width(), g.available.width()));
        EXPECT_GE(g.frame.height(), std::min(g.minimum.height(), g.available.height()));
        EXPECT_EQ(g.toolsShown, g.tools) << "the tool bar is cut off";
        for (const std::string& b : g.cutButtons) ADD_FAILURE() << "the tool bar cuts off " << b;
        // The first start, on a screen with room for it, shows a whole page line.
        if (!c.ini && g.available.width() >= 1100 && g.available.height() >= 800)
            EXPECT_GE(g.editorWidth, g.pageWidth) << "the first start cuts the page's lines";
    }
}

// The Contents page reached by its key on the window the screen allows, at
// any scale: each of its buttons, the project fields and their navigator
// whole inside the window (and drawn there), the entry's fields on the
// page, and the contents grid with room for several entries.
TEST(Screen, TheContentsPageFitsItsWindow) {
    ProgramFolder home;
    const std::vector<std::string> names = {
        "btnCntAddAbove", "btnCntAddBelow", "btnCntMoveRight", "btnCntMoveLeft", "btnCntDeleteEntry",
        "btnCntClearAll", "btnCntReadCnt",  "btnCntWriteCnt",  "btnFilterNow",   "DBNavigator1",
        "ApplicationFld", "DosNameFld",     "HelpTitleFld",    "comboFilter",    "memoContentsFilterHistory",
        "editCntTitle",   "editCntJump",    "nbCntExtras",     "tabCntExtras",   "cntGrid"};
    std::vector<std::string> cut, undrawn;
    int gridRows = 0, columnsWidth = 0, gridWidth = 0;
    std::string view;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Fit", "FIT"));
        editor::TForm1* form = u.Form();
        u.Click(u.Control("HelpText"));
        u.Keys("alt+o");
        u.WaitUntil([&] { return form->CurrentView() == editor::kContentsPage; }, 3000);
        view = u.Gui([&] { return form->CurrentView(); });
        // The page settles once its rows are arranged.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::vector<QRect> rects(names.size());
        u.Gui([&] {
            for (std::size_t i = 0; i < names.size(); ++i) {
                auto* c = dynamic_cast<gui::TControl*>(form->FindComponent(names[i]));
                if (!c || !c->Showing()) {
                    cut.push_back(names[i] + " (not shown)");
                    continue;
                }
                // Inside each parent's client area, all the way up to the window.
                gui::TRect r = c->BoundsRect();
                bool whole = true;
                for (gui::TWinControl* p = c->Parent(); p; p = p->Parent()) {
                    whole = whole && r.Left >= 0 && r.Top >= 0 && r.Right <= p->ClientWidth() &&
                            r.Bottom <= p->ClientHeight();
                    if (p == form) break;
                    const gui::TRect pr = p->BoundsRect();
                    r = {r.Left + pr.Left, r.Top + pr.Top, r.Right + pr.Left, r.Bottom + pr.Top};
                }
                if (!whole) cut.push_back(names[i]);
                rects[i] = QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
            }
            // Rows of the default height under the title row.
            const auto* g = form->cntGrid;
            gridRows = g->ClientHeight() / (g->DefaultRowHeight() + g->GridLineWidth()) - 1;
            columnsWidth = 0;
            for (int c = 0; c < g->ColCount(); ++c) columnsWidth += g->ColWidths(c) + g->GridLineWidth();
            gridWidth = g->ClientWidth();
        });
        // What the screen shows there: the buttons' captions and the
        // navigator's arrows, drawn dark on the face.
        const QImage shot = u.Grab(main);
        // The form's client origin in the window (under its menu bar).
        const QPoint client = u.Gui([&] {
            gui::TWinControl* top = form->Panel6;
            return top->Widget()->mapTo(main, QPoint(0, 0)) - QPoint(top->Left(), top->Top());
        });
        const double k = static_cast<double>(shot.width()) / u.Gui([&] { return main->width(); });
        if (const char* dir = std::getenv("TAVRIN_SHOT_DIR")) shot.save(QString::fromUtf8(dir) + "/contents_fit.png");
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i].rfind("btn", 0) != 0 && names[i] != "DBNavigator1") continue;
            const QRect r = rects[i].translated(client);
            const QRect inShot(static_cast<int>(r.x() * k), static_cast<int>(r.y() * k),
                               static_cast<int>(r.width() * k), static_cast<int>(r.height() * k));
            if (!shot.rect().contains(inShot) || acceptance::DarkPixels(shot, inShot) < 10) undrawn.push_back(names[i]);
        }
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(view, editor::kContentsPage);
    for (const std::string& c : cut) ADD_FAILURE() << "the window cuts off " << c;
    for (const std::string& c : undrawn) ADD_FAILURE() << "the screen does not show " << c;
    EXPECT_GE(gridRows, 4) << "the contents grid has room for too few entries";
    EXPECT_LE(columnsWidth, gridWidth) << "the contents grid's columns run past its side";
}

}  // namespace
