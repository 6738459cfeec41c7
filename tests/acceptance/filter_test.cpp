// The page filter as its user sets it: Filter › Set Filter, criteria typed
// (or pasted) into the dialog's HelpID box, Apply and Close. The page list
// then shows the pages the criteria let through, or the program says it
// could not set the filter; it never shows an empty list without a word.
#include "tests/acceptance/user_actions.h"

#include "data/vl_table.h"
#include "editor/forms/main_form.h"
#include "platform/gui/controls.h"
#include "platform/gui/edits.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QGuiApplication>
#include <QWidget>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using acceptance::NewProjectByKeys;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

struct Outcome {
    std::vector<int> shown;       // HelpIds the page table shows
    std::vector<std::string> boxes;  // captions of the boxes on the way
    int welcome = -1;             // the new project's one page
};

std::vector<int> ShownPages(User& u) {
    editor::TForm1* form = u.Form();
    return u.Gui([&] {
        std::vector<int> ids;
        vl::TvlTable* t = form->ctx->detailTable;
        for (t->First(); !t->Eof(); t->Next()) ids.push_back(static_cast<int>(t->FieldByName("HelpId")->AsInteger()));
        return ids;
    });
}

// A new project, then Filter › Set Filter with `helpIdFrom(welcome)` in the
// HelpID ">=" box (pasted when `paste`, else typed) and `helpIdTo` in the
// "<=" box, then Apply and Close; any box that comes is answered with Enter.
Outcome SetPageFilter(const std::function<std::string(int)>& helpIdFrom, const std::string& helpIdTo, bool paste) {
    ProgramFolder home;
    Outcome out;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(NewProjectByKeys(u, "Filters", "FILTERS"));
        const std::vector<int> before = ShownPages(u);
        ASSERT_EQ(before.size(), 1u);
        out.welcome = before[0];
        u.Activate(u.WaitForMainWindow());
        // Every menu of the bar has a letter of its own, so each opens by its
        // Alt key; Filter › Set Filter is then reached by keys alone.
        QWidget* main = u.WaitForMainWindow();
        std::vector<QChar> letters;
        u.Gui([&] {
            if (QMenuBar* bar = main->findChild<QMenuBar*>())
                for (QAction* a : bar->actions()) {
                    const QString t = a->text();
                    const int amp = static_cast<int>(t.indexOf('&'));
                    if (amp >= 0 && amp + 1 < t.size()) letters.push_back(t.at(amp + 1).toLower());
                }
        });
        ASSERT_GE(letters.size(), 8u);
        for (std::size_t i = 0; i < letters.size(); ++i)
            for (std::size_t j = i + 1; j < letters.size(); ++j)
                EXPECT_NE(letters[i], letters[j]) << "two menus share Alt+" << QString(letters[i]).toStdString();
        u.Keys("alt+l");
        ASSERT_TRUE(u.WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
        u.Keys("f");
        QWidget* dialog = u.WaitForWindow("Filter");
        ASSERT_TRUE(dialog);
        u.Activate(dialog);
        QWidget* from = u.Gui([&] {
            auto* c = dynamic_cast<gui::TWinControl*>(acceptance::FindOnForms("fHelpID"));
            return c ? c->Widget() : nullptr;
        });
        ASSERT_TRUE(from);
        u.Click(from);
        const std::string text = helpIdFrom(out.welcome);
        if (paste) {
            u.Gui([&] { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); });
            u.Keys("ctrl+a ctrl+v");
        } else if (!text.empty() && text[0] == '-') {
            // (xdotool would take a leading "-" for an option of its own.)
            u.Keys("minus");
            u.Type(text.substr(1));
        } else {
            u.Type(text);
        }
        ASSERT_TRUE(u.WaitUntil([&] {
            auto* c = dynamic_cast<gui::TCustomEdit*>(acceptance::FindOnForms("fHelpID"));
            return c && c->Text() == text;
        }));
        u.Keys("Tab");
        u.Type(helpIdTo);
        u.Keys("alt+p");
        // Apply and Close: the dialog goes, after a box when the filter failed.
        for (int i = 0; i < 200 && u.WindowShown("Filter") && !u.WindowShown("Filter Error"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (u.WindowShown("Filter Error")) {
            u.Activate(u.WaitForWindow("Filter Error"));
            u.Keys("Return");
            u.WaitForWindowGone("Filter Error");
        }
        u.WaitForWindowGone("Filter");
        for (const gui::DialogRequest& r : u.Boxes()) out.boxes.push_back(r.caption);
        out.shown = ShownPages(u);
    });
    EXPECT_EQ(code, 0);
    return out;
}

// "-1" in the ">=" box and a bound in the "<=" box: the two lines join into
// "HelpID >= -1 AND (HelpID <= 100000)", which shows the page.
TEST(Filter, ANegativeHelpIdIsANumber) {
    const Outcome o = SetPageFilter([](int) { return std::string("-1"); }, "100000", false);
    EXPECT_EQ(o.boxes, std::vector<std::string>{});
    EXPECT_EQ(o.shown, std::vector<int>{o.welcome});
}

// Seventy alternatives pasted into the ">=" box, the page's own number the
// last: "HelpID >= 100000 OR HelpID = 1000 OR ... OR HelpID = <page>".
TEST(Filter, SeventyAlternativesShowThePageTheyName) {
    auto alternatives = [](int welcome) {
        std::string text = "100000";
        for (int k = 0; k < 70; ++k) text += " OR HelpID = " + std::to_string(1000 + k);
        return text + " OR HelpID = " + std::to_string(welcome);
    };
    const Outcome o = SetPageFilter(alternatives, "", true);
    EXPECT_EQ(o.boxes, std::vector<std::string>{});
    EXPECT_EQ(o.shown, std::vector<int>{o.welcome});
}

// Brackets nested far past what the filter takes (as many as the box
// holds): the program says so, goes on, and the page list keeps its page.
TEST(Filter, TooDeepBracketsAreRefusedWithABox) {
    auto nested = [](int) { return std::string(16000, '(') + "0" + std::string(16000, ')'); };
    const Outcome o = SetPageFilter(nested, "", true);
    EXPECT_EQ(o.boxes, std::vector<std::string>{"Filter Error"});
    EXPECT_EQ(o.shown, std::vector<int>{o.welcome});
}

}  // namespace
