// The bars around the rich-text editor, driven through their own controls
// (mouse on buttons, choices in combos) with a real edit control attached.
#include <gtest/gtest.h>

#include <set>

#include <QImage>

#include <iterator>
#include <string>
#include <vector>

#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rtf_edit.h"
#include "richtext/controls/status_bar.h"
#include "richtext/controls/tool_bar.h"

namespace richtext {
namespace {
using namespace gui;
using guitest::Click;

constexpr TJDIconSet kAllStatus = (1u << (SelCenter + 1)) - 1;
constexpr TJDIconSet kAllAction = (1u << (SelPrintSetup + 1)) - 1;
constexpr TJDIconSet kAllDatabase = (1u << (SelPost + 1)) - 1;
constexpr TJDIconSet kAllEdit = (1u << (SelSpellCheck + 1)) - 1;
constexpr TJDIconSet kAllLists = (1u << (SelParColor + 1)) - 1;

// An editor that records what the bar sends it.
class RecordingEdit : public TJDCustomRtfEdit, public TJDBarClient {
public:
    using TJDCustomRtfEdit::TJDCustomRtfEdit;
    struct Call {
        TJdSelNr kind;
        std::string str;
        int group, num;
    };
    std::vector<Call> calls;
    void IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) override {
        calls.push_back({typ, name, group, num});
    }
    void ListSelection(TJdSelNr& typ, const std::string& str, int num) override {
        calls.push_back({typ, str, 0, num});
    }
};

class ToolBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        form = new TForm(Application);
        form->SetBounds(40, 40, 700, 300);
        bar = new TJDToolBar(form);
        bar->SetParent(form);
        bar->SetAlign(alTop);
        edit = new RecordingEdit(form);
        edit->SetParent(form);
        edit->SetBounds(0, 80, 600, 200);
    }
    void TearDown() override { delete form; }
    void ShowAll() {
        bar->Setsel_StatusIcons(kAllStatus);
        bar->Setsel_ActionIcons(kAllAction);
        bar->Setsel_DatabaseIcons(kAllDatabase);
        bar->Setsel_EditIcons(kAllEdit);
    }
    TForm* form = nullptr;
    TJDToolBar* bar = nullptr;
    RecordingEdit* edit = nullptr;
};

TEST_F(ToolBarTest, DefaultHintsAreOneLinePerIconInTheirOrder) {
    const char* expected[] = {"Normal", "Bold", "Italic", "Under", "Hyperlink", "StrikeOut", "Sub", "Super",
                              "Hidden", "RTFCode", "Left", "Right", "Justified", "Center", "Copy", "Cut", "Paste",
                              "SelAll", "HideSel", "Find", "Replace", "Spell", "Exit", "New", "Open", "Save",
                              "Close", "Print", "PrintSetup", "Next", "Prev", "Add", "Del", "Edit", "Cancel",
                              "ToStart", "ToEnd", "Post"};
    ASSERT_EQ(bar->Hints().Count(), 38);
    for (int i = 0; i < 38; ++i)
        EXPECT_EQ(bar->Hints()[i], std::string("JDI_") + expected[i] + "=" + expected[i]);
    bar->Hints().Clear();
    EXPECT_EQ(bar->Hints().Count(), 38);  // reading an empty list fills it again
}

// Each of the bar's 38 icons has a picture of its own: told apart by its
// shape, not only by colour (a black "C" and a red "C" are one icon to many).
TEST(ToolBarIcons, EveryIconHasItsOwnShape) {
    InitApplication();
    const char* names[] = {"JDI_NORMAL",  "JDI_BOLD",   "JDI_ITALIC",  "JDI_UNDER",      "JDI_SUPER",   "JDI_SUB",
                           "JDI_STRIKEOUT", "JDI_HYPERLINK", "JDI_HIDDEN", "JDI_RTFCODE", "JDI_LEFT",    "JDI_CENTER",
                           "JDI_JUSTIFIED", "JDI_RIGHT",  "JDI_New",     "JDI_OPEN",       "JDI_SAVE",    "JDI_CLOSE",
                           "JDI_EXIT",    "JDI_PRINT",  "JDI_PRINTSETUP", "JDI_TOSTART", "JDI_PREV",    "JDI_NEXT",
                           "JDI_TOEND",   "JDI_ADD",    "JDI_DEL",     "JDI_EDIT",       "JDI_CANCEL",  "JDI_POST",
                           "JDI_SelAll",  "JDI_HideSel", "JDI_CUT",    "JDI_COPY",       "JDI_PASTE",   "JDI_FIND",
                           "JDI_REPLACE", "JDI_SPELL"};
    static_assert(std::size(names) == 38);
    // The shape: which pixels differ from the button face.
    std::vector<std::vector<bool>> shapes;
    for (const char* name : names) {
        TBitmap bmp;
        JDToolIconGlyph(name, bmp);
        ASSERT_EQ(bmp.Width(), 16) << name;
        const QImage img = bmp.Image()->convertToFormat(QImage::Format_RGB32);
        const QRgb face = img.pixel(0, 0);
        std::vector<bool> shape;
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                shape.push_back(img.pixel(x, y) != face);
                ink += shape.back();
            }
        EXPECT_GE(ink, 12) << name << " is nearly empty";
        shapes.push_back(shape);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i)
        for (std::size_t j = i + 1; j < shapes.size(); ++j) {
            int differ = 0;
            for (std::size_t k = 0; k < shapes[i].size(); ++k) differ += shapes[i][k] != shapes[j][k];
            EXPECT_GE(differ, 8) << names[i] << " and " << names[j] << " look alike";
        }
}

TEST_F(ToolBarTest, IconsComeInLayoutOrderWithTags) {
    EXPECT_EQ(bar->IconCount(), 0);
    ShowAll();
    ASSERT_EQ(bar->IconCount(), 38);
    struct Row {
        int index;
        const char* name;
        int group, number;
    } rows[] = {{0, "JDI_NORMAL", 0x100, 1},   {4, "JDI_SUPER", 0x100, 7},    {9, "JDI_RTFCODE", 0x100, 19},
                {10, "JDI_LEFT", 0x200, 1},    {11, "JDI_CENTER", 0x200, 4},  {13, "JDI_RIGHT", 0x200, 2},
                {14, "JDI_New", 0x400, 2},     {18, "JDI_EXIT", 0x400, 1},    {20, "JDI_PRINTSETUP", 0x500, 2},
                {21, "JDI_TOSTART", 0x600, 7}, {29, "JDI_POST", 0x600, 9},    {30, "JDI_SelAll", 0x300, 4},
                {37, "JDI_SPELL", 0x300, 8}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const auto& ic = bar->Icon(r.index);
        EXPECT_EQ(ic.name, r.name);
        EXPECT_EQ(ic.group, r.group);
        EXPECT_EQ(ic.number, r.number);
        EXPECT_EQ(ic.button->Tag, 10 + r.index);
        EXPECT_EQ(ic.button->Glyph().Width(), 16);
    }
    // Only the chosen elements, and buttons of a larger layout are freed.
    bar->Setsel_StatusIcons((1u << SelBold) | (1u << SelLeft));
    bar->Setsel_ActionIcons(0);
    bar->Setsel_DatabaseIcons(0);
    bar->Setsel_EditIcons(0);
    ASSERT_EQ(bar->IconCount(), 2);
    EXPECT_EQ(bar->Icon(0).name, "JDI_BOLD");
    EXPECT_EQ(bar->Icon(1).name, "JDI_LEFT");
    int buttons = 0;
    for (int i = 0; i < bar->ControlCount(); ++i)
        if (dynamic_cast<TSpeedButton*>(bar->Controls(i))) ++buttons;
    EXPECT_EQ(buttons, 2);
}

TEST_F(ToolBarTest, LookupByNameGroupAndNumber) {
    ShowAll();
    EXPECT_EQ(bar->FindIcon("jdi_bold", 0, 0), 1);
    EXPECT_EQ(bar->FindIcon("", 0x200, 2), 13);  // JDI_RIGHT
    EXPECT_EQ(bar->FindIcon("", 0x600, 0), 21);  // the first of the group
    EXPECT_EQ(bar->FindIcon("JDI_NOPE", 0x100, 1), -1);
    // Number 0 enables or disables the whole group.
    bar->EnableIcon("", 0x600, false, 0);
    for (int i = 21; i <= 29; ++i) EXPECT_FALSE(bar->Icon(i).button->Enabled()) << i;
    EXPECT_TRUE(bar->Icon(20).button->Enabled());
    EXPECT_FALSE(bar->SetIconDown("JDI_BOLD", 0, 0));
    EXPECT_TRUE(bar->Icon(1).button->Down());
    EXPECT_TRUE(bar->SetIconUp("", 0x100, 2));
    EXPECT_FALSE(bar->Icon(1).button->Down());
    // Alignment icons are one radio group that starts with Left down.
    EXPECT_TRUE(bar->Icon(10).button->Down());
    bar->SetIconDown("", 0x200, 4);
    EXPECT_FALSE(bar->Icon(10).button->Down());
    EXPECT_TRUE(bar->Icon(11).button->Down());
}

TEST_F(ToolBarTest, HintsMatchTheResourceNameInAnyCase) {
    plat::StringList& hints = bar->Hints();
    hints.SetString(1, "JDI_BOLD=Fett");
    hints.SetString(2, "jdi_italic=Kursiv");
    hints.Delete(3);  // the Under line
    bar->Setsel_StatusIcons((1u << SelBold) | (1u << SelItalic) | (1u << SelUnder));
    EXPECT_EQ(bar->Icon(0).button->Hint(), "Fett");
    EXPECT_EQ(bar->Icon(1).button->Hint(), "Kursiv");
    EXPECT_EQ(bar->Icon(2).button->Hint(), "");
}

TEST_F(ToolBarTest, ChainOfTwoBarsPointingAtEachOtherBreaksOnce) {
    ScriptedDialogService dialogs;
    ScopedDialogService scoped(dialogs);
    auto* second = new TJDToolBar(form);
    second->SetParent(form);
    second->Setsel_StatusIcons(1u << SelBold);
    bar->SetNextToolBar(second);
    second->SetNextToolBar(bar);
    // The first bar has no Bold: the call travels to the second, which finds it.
    EXPECT_FALSE(bar->SetIconDown("JDI_BOLD", 0, 0));
    EXPECT_TRUE(second->Icon(0).button->Down());
    EXPECT_EQ(dialogs.Requests().size(), 0u);
    // A call nobody handles goes round: the chain error once, chain broken.
    bar->EnableIcon("JDI_NOPE", 0, false, 0);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Error: NextToolBar points to prior Toolbar");
    int broken = (bar->NextToolBar() == nullptr) + (second->NextToolBar() == nullptr);
    EXPECT_EQ(broken, 1);
    bar->EnableIcon("JDI_NOPE", 0, false, 0);
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    // A bar never passes to itself.
    bar->SetNextToolBar(bar);
    EXPECT_EQ(bar->NextToolBar(), nullptr);
}

TEST_F(ToolBarTest, ShowSelectionCases) {
    bar->Setsel_ListBoxes(kAllLists);
    TJDTBCombo* names = bar->Combo(1);
    TJDTBCombo* sizes = bar->Combo(2);
    ASSERT_TRUE(names && sizes && bar->Combo(3) && bar->Combo(4) && bar->Combo(5) && bar->Combo(6));
    EXPECT_EQ(bar->Combo(3)->Items().Count(), 17);
    ASSERT_GT(names->Items().Count(), 0);
    std::string font = names->Items()[names->Items().Count() - 1];
    std::string shouted = font;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bar->ShowSelection(jdSelFontName, 0, shouted);
    EXPECT_EQ(names->ItemIndex(), names->Items().Count() - 1);
    struct Case {
        TJdSelNr kind;
        int number;
        int tag;
        int expected;
    } cases[] = {
        {jdSelFontSize, 12, 2, 4},   // 8..72: 12 is the fifth
        {jdSelFontSize, 6, 2, 4},    // 6 and below: ignored
        {jdSelFontSize, 80, 2, 4},   // outside the range: nothing selected anew
        {jdSelFontColor, 9, 3, 9},   {jdSelFontColor, 16, 3, 9},  // 16 ("none") is never shown
        {jdSelBackColor, 2, 5, 2},   {jdSelParColor, 15, 6, 15},
    };
    for (const Case& c : cases) {
        bar->ShowSelection(c.kind, c.number, {});
        EXPECT_EQ(bar->Combo(c.tag)->ItemIndex(), c.expected) << c.kind << " " << c.number;
    }
    // Font attributes: name, size and an exact table colour.
    TFont f;
    f.SetName(font);
    f.SetSize(10);
    f.SetColor(clRed);
    bar->ShowFontAttributes(f, clWhite, true);
    EXPECT_EQ(sizes->ItemIndex(), 2);
    EXPECT_EQ(bar->Combo(3)->ItemIndex(), 9);
    EXPECT_EQ(bar->Combo(5)->ItemIndex(), 0);
    bar->Setsel_ListBoxes(0);
    EXPECT_EQ(bar->Combo(1), nullptr);
}

// A given list of names replaces the installed fonts in the name combo
// (sorted, each once); the shown name stays selected when the new list has
// it; an empty list brings the installed fonts back.
TEST_F(ToolBarTest, GivenFontNamesReplaceTheInstalledFonts) {
    bar->Setsel_ListBoxes(JDSet({SelFontName}));
    TJDTBCombo* names = bar->Combo(1);
    ASSERT_TRUE(names);
    const int installed = names->Items().Count();
    bar->ShowSelection(jdSelFontName, 0, "Zz Not Installed");
    bar->SetFontNames({"Times New Roman", "Arial", "Courier New", "arial", ""});
    ASSERT_EQ(names->Items().Count(), 3);
    EXPECT_EQ(names->Items()[0], "Arial");
    EXPECT_EQ(names->Items()[1], "Courier New");
    EXPECT_EQ(names->Items()[2], "Times New Roman");
    EXPECT_EQ(names->ItemIndex(), -1);
    bar->ShowSelection(jdSelFontName, 0, "COURIER NEW");
    EXPECT_EQ(names->ItemIndex(), 1);
    bar->SetFontNames({"Courier New", "Symbol"});
    EXPECT_EQ(names->Items().Count(), 2);
    EXPECT_EQ(names->ItemIndex(), 0) << "the shown font is still listed";
    // A bar whose combos are laid out again keeps the given list.
    bar->Setsel_ListBoxes(JDSet({SelFontName, SelFontSize}));
    EXPECT_EQ(bar->Combo(1)->Items().Count(), 2);
    bar->Setsel_ListBoxes(0);
    bar->Setsel_ListBoxes(JDSet({SelFontName}));
    EXPECT_EQ(bar->Combo(1)->Items().Count(), 2);
    bar->SetFontNames({});
    EXPECT_EQ(bar->Combo(1)->Items().Count(), installed);
}

TEST_F(ToolBarTest, ButtonsWrapInRowsOfTheFontHeight) {
    bar->Font().SetHeight(-11);
    bar->SetWidth(200);
    ShowAll();
    const int rowH = 11 + 9;
    std::vector<int> rows;
    int x = 4;
    for (int i = 0; i < bar->IconCount(); ++i) {
        TSpeedButton* b = bar->Icon(i).button;
        EXPECT_EQ(b->Width(), rowH);
        if (i == 0) EXPECT_EQ(b->Top(), 3);
        if (i > 0 && b->Top() != bar->Icon(i - 1).button->Top()) {
            EXPECT_EQ(b->Top(), bar->Icon(i - 1).button->Top() + rowH + 2);
            EXPECT_EQ(b->Left(), 4);
            // The previous row ended where the next button would pass the width.
            EXPECT_GT(x + rowH, 200);
        } else if (i > 0) {
            EXPECT_EQ(b->Left(), x);
        }
        x = b->Left() + rowH + 2;
    }
    EXPECT_GT(bar->Icon(37).button->Top(), 3);
    // The bar is as high as its rows: no button hides behind what lies below it.
    for (int width : {200, 420, 700}) {
        SCOPED_TRACE(width);
        bar->SetWidth(width);
        bar->Relayout();
        for (int i = 0; i < bar->IconCount(); ++i) EXPECT_LE(bar->Icon(i).button->BoundsRect().Bottom, bar->Height());
    }
    // Aligned left, the bar never wraps.
    bar->SetAlign(alLeft);
    bar->Relayout();
    EXPECT_EQ(bar->Icon(37).button->Top(), 3);
}

// A bar across a pane whose width changes (the window or a splitter moved)
// places its buttons again: they wrap when the pane narrows, come back to
// one row when it widens, and the bar is as high as its rows each time.
TEST_F(ToolBarTest, ButtonsFollowTheWidthOfTheBar) {
    bar->Setsel_StatusIcons(kAllStatus);
    bar->Setsel_ListBoxes(JDSet({SelFontName, SelFontSize, SelFontColor}));
    form->Show();
    auto rowsOf = [&] {
        std::set<int> tops;
        for (int i = 0; i < bar->IconCount(); ++i) {
            TSpeedButton* b = bar->Icon(i).button;
            EXPECT_LE(b->BoundsRect().Right, bar->Width()) << i;
            EXPECT_LE(b->BoundsRect().Bottom, bar->Height()) << i;
            tops.insert(b->Top());
        }
        return tops.size();
    };
    struct Case {
        int width;
        bool oneRow;
    };
    for (const Case& c : {Case{700, true}, Case{260, false}, Case{700, true}}) {
        SCOPED_TRACE(c.width);
        form->SetBounds(40, 40, c.width, 300);
        guitest::ProcessEvents(10);
        ASSERT_EQ(bar->Width(), form->ClientWidth());
        const std::size_t rows = rowsOf();
        if (c.oneRow) {
            EXPECT_EQ(rows, 1u);
            EXPECT_LE(bar->Height(), 31);
        } else {
            EXPECT_GT(rows, 1u);
        }
    }
}

TEST_F(ToolBarTest, ClicksReachTheEditorWithTheirKind) {
    bar->Setsel_StatusIcons((1u << SelBold) | (1u << SelCenter));
    bar->Setsel_ListBoxes((1u << SelFontSize) | (1u << SelFontColor));
    bar->AttachEditor(edit);
    std::vector<int> events;
    bar->OnIconSelection = [&](TObject*, TJdSelNr& t, const std::string&, int, int, int index) {
        events.push_back(t * 100 + index);
    };
    form->Show();
    TSpeedButton* bold = bar->Icon(0).button;
    Click(bold, {5, 5});
    Click(bold, {5, 5});
    Click(bar->Icon(1).button, {5, 5});
    ASSERT_EQ(edit->calls.size(), 3u);
    EXPECT_EQ(edit->calls[0].kind, jdSelIconDown);
    EXPECT_EQ(edit->calls[0].str, "JDI_BOLD");
    EXPECT_EQ(edit->calls[0].group, 0x100);
    EXPECT_EQ(edit->calls[0].num, 2);
    EXPECT_EQ(edit->calls[1].kind, jdSelIconUp);
    EXPECT_EQ(edit->calls[2].kind, jdSelIconDown);
    EXPECT_EQ(edit->calls[2].num, 4);
    EXPECT_EQ(events, (std::vector<int>{600, 700, 601}));
    // A combo choice: the size as a number, the colour as its index.
    edit->calls.clear();
    bar->Combo(2)->SetItemIndex(6);  // 14
    bar->ItemClicked(bar->Combo(2));
    bar->Combo(3)->SetItemIndex(12);
    bar->ItemClicked(bar->Combo(3));
    ASSERT_EQ(edit->calls.size(), 2u);
    EXPECT_EQ(edit->calls[0].kind, jdSelFontSize);
    EXPECT_EQ(edit->calls[0].num, 14);
    EXPECT_EQ(edit->calls[1].kind, jdSelFontColor);
    EXPECT_EQ(edit->calls[1].num, 12);
    // Destroying the editor unlinks it.
    delete edit;
    edit = nullptr;
    EXPECT_EQ(bar->Editor(), nullptr);
    Click(bold, {5, 5});
}

TEST_F(ToolBarTest, UpdateObjectFollowsTheChoices) {
    auto* label = new TPanel(form);
    label->SetParent(form);
    label->SetName("Sample");
    bar->UpdateObjectName = "Sample";
    bar->Setsel_StatusIcons((1u << SelBold) | (1u << SelUnder));
    bar->Setsel_ListBoxes(1u << SelFontColor);
    form->Show();
    Click(bar->Icon(0).button, {5, 5});
    Click(bar->Icon(1).button, {5, 5});
    EXPECT_EQ(label->Font().Style(), fsBold | fsUnderline);
    Click(bar->Icon(0).button, {5, 5});
    EXPECT_EQ(label->Font().Style(), fsUnderline);
    bar->Combo(3)->SetItemIndex(4);
    bar->ItemClicked(bar->Combo(3));
    EXPECT_EQ(label->Font().Color(), clNavy);
}

TEST_F(ToolBarTest, DisablingKeepsEachControlsOwnState) {
    bar->Setsel_StatusIcons((1u << SelBold) | (1u << SelItalic));
    bar->EnableIcon("JDI_ITALIC", 0, false, 0);
    bar->SetEnabled(false);
    EXPECT_FALSE(bar->Icon(0).button->Enabled());
    bar->SetEnabled(true);
    EXPECT_TRUE(bar->Icon(0).button->Enabled());
    EXPECT_FALSE(bar->Icon(1).button->Enabled());
}


class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        form = new TForm(Application);
        form->SetBounds(40, 40, 600, 200);
        bar = new TJDStatusBarBasic(form);
        bar->SetParent(form);
        bar->SetBounds(0, 100, 500, 22);
    }
    void TearDown() override { delete form; }
    int Width(const std::string& s) {
        TBitmap b;
        b.SetSize(10, 10);
        b.Canvas().Font().Assign(bar->Font());
        return b.Canvas().TextWidth(s);
    }
    TForm* form = nullptr;
    TJDStatusBarBasic* bar = nullptr;
};

TEST_F(StatusBarTest, DeclarationLines) {
    struct Case {
        const char* line;
        TJDStatusKind kind;
        unsigned char flags;
        int declared;
        const char* text;
    } cases[] = {
        {"@120stFileName=untitled", stFileName, jdsNoFrame, 120, "untitled"},
        {"@$%40stInsert=INS", stInsert, jdsNoFrame | jdsShifted | jdsGrey, 40, "INS"},
        {"$STTXTFMT=RTF", stTxtFmt, jdsShifted, 0, "RTF"},
        {"stCaps", stCaps, 0, 0, "stCaps"},
        {"80Anything=x", stString, 0, 80, "x"},
        {"5stNum=", stNum, 0, 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        bar->Items().Clear();
        bar->Items().Add(c.line);
        ASSERT_EQ(bar->ItemCount(), 1);
        const TJDStatusItem& it = bar->Item(0);
        EXPECT_EQ(it.kind, c.kind);
        EXPECT_EQ(it.flags, c.flags);
        EXPECT_EQ(it.declaredWidth, c.declared);
        EXPECT_EQ(it.text, c.text);
        EXPECT_EQ(it.line, 0);
    }
}

TEST_F(StatusBarTest, WidthsAndTheItemLimit) {
    bar->SetWidth(5000);
    bar->Items().Add("stCaps");
    bar->Items().Add("");
    bar->Items().Add("5stNum=x");  // below 10: 30
    bar->Items().Add("stDate=W");
    ASSERT_EQ(bar->ItemCount(), 3);
    EXPECT_EQ(bar->Item(0).width, std::max(30, Width("stCaps")));
    EXPECT_EQ(bar->Item(1).width, 30);
    EXPECT_EQ(bar->Item(1).line, 2);  // empty lines are skipped but counted
    bar->Items().Clear();
    for (int i = 0; i < 24; ++i) bar->Items().Add("20stString=" + std::to_string(i));
    EXPECT_EQ(bar->ItemCount(), 23);  // the 24th is ignored
    // 23 declared items and the automatic gauge: all 24 slots.
    bar->SetAutoGauge(true, 60);
    ASSERT_EQ(bar->ItemCount(), 24);
    EXPECT_EQ(bar->Item(23).kind, stGauge);
    EXPECT_EQ(bar->Item(23).text, "Gauge");
    EXPECT_EQ(bar->Item(23).line, -1);
    EXPECT_EQ(bar->Item(22).text, "22");
}

TEST_F(StatusBarTest, LayoutArithmetic) {
    // Room to spare, no gauge: the last item reaches the right edge.
    bar->Items().Add("100stFileName=a");
    bar->Items().Add("50stInsert=b");
    ASSERT_EQ(bar->ClientWidth(), 500);
    EXPECT_EQ(bar->Item(0).left, 2);
    EXPECT_EQ(bar->Item(0).width, 100);
    EXPECT_EQ(bar->Item(1).left, 104);
    EXPECT_EQ(bar->Item(1).width, 500 - 2 - 104);
    // With the gauge: it keeps its width at the right, the item before reaches it.
    bar->SetAutoGauge(true, 80);
    ASSERT_EQ(bar->ItemCount(), 3);
    EXPECT_EQ(bar->Item(2).left, 500 - 2 - 80);
    EXPECT_EQ(bar->Item(2).width, 80);
    EXPECT_EQ(bar->Item(1).left + bar->Item(1).width + 2, bar->Item(2).left);
    // Too wide: all scale down and the last ends 2 pixels before the edge.
    bar->SetAutoGauge(false, 0);
    bar->Items().Clear();
    bar->Items().Add("400stFileName=a");
    bar->Items().Add("400stInsert=b");
    bar->Items().Add("200stDate=c");
    ASSERT_EQ(bar->ItemCount(), 3);
    EXPECT_EQ(bar->Item(0).width, 400 * (500 - 4 - 4) / 1000);
    EXPECT_EQ(bar->Item(1).left, bar->Item(0).left + bar->Item(0).width + 2);
    EXPECT_EQ(bar->Item(2).left + bar->Item(2).width, 498);
    for (int i = 0; i < 3; ++i) EXPECT_GT(bar->Item(i).width, 0);
}

TEST_F(StatusBarTest, SetItemTextRules) {
    int changes = 0;
    bar->OnChange = [&](TObject*) { ++changes; };
    bar->Items().Add("100stFileName=untitled");
    bar->Items().Add("100stFileName=second");
    EXPECT_EQ(changes, 2);
    form->Show();
    guitest::ProcessEvents(50);
    int painted = bar->PaintCount();
    bar->SetItemText(stFileName, "doc.rtf");
    EXPECT_EQ(bar->Item(0).text, "doc.rtf");  // the first of the kind only
    EXPECT_EQ(bar->Item(1).text, "second");
    EXPECT_EQ(bar->PaintCount(), painted + 1);
    bar->SetItemText(stFileName, "");  // keeps the text, repaints
    EXPECT_EQ(bar->Item(0).text, "doc.rtf");
    EXPECT_EQ(bar->PaintCount(), painted + 2);
    bar->SetItemText(stCaps, "CAPS");  // no such item: nothing
    EXPECT_EQ(bar->PaintCount(), painted + 2);
    // A click reports the item under the mouse.
    std::vector<int> clicked;
    bar->OnItemClick = [&](TObject*, int left, int width, int line, TJDStatusKind kind) {
        clicked = {left, width, line, kind};
    };
    guitest::Click(bar, {150, 10});
    EXPECT_EQ(clicked, (std::vector<int>{104, 500 - 2 - 104, 1, stFileName}));
}

}  // namespace
}  // namespace richtext
