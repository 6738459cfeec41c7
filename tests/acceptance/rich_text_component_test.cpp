// The rich-text component as a user meets it on a real X server: a form with
// the tool bar (every icon and list), a ruler, a status bar and an editor,
// driven by mouse events. Opening a drop-down list and giving the focus back
// depend on real window activation, which the offscreen platform does not have.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <vector>
#include <string>

#include <QWidget>
#include <QWindow>

#include "platform/core/process.h"
#include "platform/gui/forms.h"
#include "platform/gui/printer.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rich_text.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {
using namespace gui;

constexpr TJDIconSet kAllStatus = (1u << (SelCenter + 1)) - 1;
constexpr TJDIconSet kAllEdit = (1u << (SelSpellCheck + 1)) - 1;
constexpr TJDIconSet kAllAction = (1u << (SelPrintSetup + 1)) - 1;
constexpr TJDIconSet kAllLists = (1u << (SelParColor + 1)) - 1;

TJDCharAttr AttrAt(TJDCustomRtfEdit& e, int pos) {
    TTextPointer p;
    e.Engine().PositionToPointer(pos, p);
    return p.line->attrs.at(static_cast<std::size_t>(p.pos));
}

class RichTextComponent : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        form = new TForm(Application);
        form->SetBounds(40, 40, 760, 420);
        bar = new TJDToolBar(form);
        bar->SetParent(form);
        bar->SetAlign(alTop);
        bar->Setsel_StatusIcons(kAllStatus);
        bar->Setsel_EditIcons(kAllEdit);
        bar->Setsel_ActionIcons(kAllAction);
        bar->Setsel_ListBoxes(kAllLists);
        ruler = new TJDRuler(form);
        ruler->SetParent(form);
        ruler->SetBounds(0, 90, 700, 24);
        status = new TJDStatusBarBasic(form);
        status->SetParent(form);
        status->SetAlign(alBottom);
        status->Items().Add("80stStatus=");
        status->Items().Add("stFileName=");
        a = new TJDRichText(form);
        a->SetParent(form);
        a->SetBounds(0, 120, 700, 220);
        a->SetJDToolBar(bar);
        a->SetJDRuler(ruler);
        a->SetStatusBar(status);
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override { delete form; }
    void Focus(TJDRichText* e) {
        e->SetFocus();
        guitest::ProcessEvents();
        ASSERT_TRUE(e->Focused());
    }
    TForm* form = nullptr;
    TJDToolBar* bar = nullptr;
    TJDRuler* ruler = nullptr;
    TJDStatusBarBasic* status = nullptr;
    TJDRichText* a = nullptr;
};

// The bar's font and size lists open with one click and stay open; a click
// on an item applies it to the selection and gives the editor its focus back.
TEST_F(RichTextComponent, BarCombosOpenWithAClickAndApplyTheChosenItem) {
    struct Case {
        int tag;
        TJdSelNr kind;
    };
    for (const Case& c : {Case{1, jdSelFontName}, Case{2, jdSelFontSize}}) {
        SCOPED_TRACE(c.tag);
        a->SetText("some words to format");
        Focus(a);
        a->Engine().SetSelPosLen(0, 4);
        TJDTBCombo* combo = bar->Combo(c.tag);
        ASSERT_NE(combo, nullptr);
        ASSERT_GE(combo->Items().Count(), 2);
        guitest::Click(combo, {combo->Width() - 8, combo->Height() / 2});
        guitest::ProcessEvents();
        ASSERT_TRUE(combo->DroppedDown());
        TComboListBox* list = combo->ListBox();
        ASSERT_TRUE(list->Visible());
        // The X server maps and places the list on its own time; a click
        // before it is exposed lands where the list is not yet.
        ASSERT_TRUE(guitest::WaitFor([&] {
            QWindow* h = list->Widget()->window()->windowHandle();
            return h && h->isExposed();
        }));
        // The last item shown (the list opens scrolled to the text's own
        // font): another font than the text's, size 15 for the sizes.
        const int top = list->TopIndex();
        int item = top + std::min(combo->Items().Count() - top, combo->DropDownCount) - 1;
        if (item == combo->ItemIndex()) item = top;
        ASSERT_NE(item, combo->ItemIndex());
        const std::string chosen = combo->Items()[item];
        TRect r = list->ItemRect(item);
        guitest::Click(list, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
        EXPECT_TRUE(guitest::WaitFor([&] { return !combo->DroppedDown() && a->Focused(); }));
        EXPECT_FALSE(combo->DroppedDown());
        EXPECT_TRUE(a->Focused());
        for (int pos : {0, 3}) {
            TJDCharAttr at = AttrAt(*a, pos);
            if (c.kind == jdSelFontName) EXPECT_EQ(a->Engine().Header().fontNames[at.font], chosen);
            else EXPECT_EQ(std::to_string(at.size), chosen);
        }
        EXPECT_NE(AttrAt(*a, 10), AttrAt(*a, 0));  // outside the selection nothing changed
    }
}

// The print icon of a shown component with its bars puts every line of a
// long text on paper once, in order, as pdftotext reads the PDF.
TEST_F(RichTextComponent, PrintIconPrintsEveryLineOfALongText) {
    const std::string tool = plat::FindProgram("pdftotext");
    if (tool.empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    testsupport::TempDir dir;
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 ";
    for (int i = 0; i < 300; ++i) rtf += "row " + std::to_string(i) + " of a text longer than the window\\par ";
    rtf += "}";
    a->SetText(rtf);
    Focus(a);
    Printer()->OutputFileName = (dir / "icon.pdf").string();
    guitest::Click(bar->Icon(bar->FindIcon("JDI_PRINT", 0, 0)).button, {5, 5});
    guitest::ProcessEvents();
    Printer()->OutputFileName.clear();
    ASSERT_EQ(plat::RunAndWait({tool, (dir / "icon.pdf").string(), (dir / "icon.txt").string()}), 0);
    const std::string text = testsupport::ReadFileBytes(dir / "icon.txt");
    std::vector<int> rows, all(300);
    std::regex row("row (\\d+) of");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it)
        rows.push_back(std::stoi((*it)[1].str()));
    for (int i = 0; i < 300; ++i) all[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(rows, all);
}

}  // namespace
}  // namespace richtext
