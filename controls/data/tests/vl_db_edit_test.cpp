// The edit with picture masks: the key algorithm as a table, leaving with an
// invalid text, a bound edit's mask in the dataset's lines, and the field
// update's mask check.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_edit.h"
#include "controls/data/vl_db_grid.h"
#include "data/vl_lines.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;
using namespace vl;

class ProbeEdit : public TvlDBEdit {
public:
    using TvlDBEdit::TvlDBEdit;
    void Press(char& key) { KeyPress(key); }
    void Down(unsigned& key, TShiftState shift) { KeyDown(key, shift); }
    TRect Area() const { return TextArea(); }
    bool MultiLine() const { return multiLine_; }
    bool Wraps() const { return wordWrap_; }
    bool Returns() const { return wantReturns_; }
};

// The columns of an image where something darker than the window colour is drawn,
// inside the frame.
std::pair<int, int> InkColumns(TControl* control) {
    TBitmap image;
    guitest::Grab(control, image);
    int first = -1, last = -1;
    for (int x = 3; x < image.Width() - 3; ++x)
        for (int y = 3; y < image.Height() - 3; ++y) {
            const TColor c = image.Canvas().Pixel(x, y);
            if ((c & 0xFF) < 0x80 && ((c >> 8) & 0xFF) < 0x80 && ((c >> 16) & 0xFF) < 0x80) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    return {first, last};
}

class EditTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        form = new TForm(Application);
        form->SetBounds(10, 10, 300, 120);
        edit = new ProbeEdit(form);
        edit->SetParent(form);
        edit->SetBounds(8, 8, 200, 21);
        other = new TEdit(form);
        other->SetParent(form);
        other->SetBounds(8, 40, 200, 21);
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    void Bind() {
        MakePageTable(3);
        pages->Open();
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        edit->SetDataSource(source.get());
        edit->SetDataField("Title");
    }
    TForm* form = nullptr;
    ProbeEdit* edit = nullptr;
    TEdit* other = nullptr;
    std::unique_ptr<db::TDataSource> source;
};

TEST_F(EditTest, TheKeyAlgorithm) {
    struct {
        const char* text;
        int selStart, selLength;
        char key;
        const char* mask;
        bool autoFill, border;
        const char* textOut;
        int caret;
        char keyOut;
        int beeps;
    } cases[] = {
        // Literals the picture fixes are filled in behind the key.
        {"12", 2, 0, '3', "###-####", true, true, "123-", 4, 0, 0},
        {"123-", 4, 0, '4', "###-####", true, true, "123-4", 5, 0, 0},
        // Literals are filled in behind the text, never inserted into it.
        {"123", 3, 0, '4', "###-####", true, true, "123", 3, 0, 1},
        // Complete: with a border the text is set; without one the last
        // character is left for the normal typing.
        {"123-456", 7, 0, '7', "###-####", true, true, "123-4567", 8, 0, 0},
        {"123-456", 7, 0, '7', "###-####", true, false, "123-456", 7, '7', 0},
        // Refused at the end: a beep, nothing typed.
        {"12", 2, 0, 'a', "###-####", true, true, "12", 2, 0, 1},
        {"123", 3, 0, '4', "###-####", false, true, "123", 3, 0, 1},
        // Refused inside the text: left to the normal handling.
        {"12", 0, 0, 'a', "###-####", true, true, "12", 0, 'a', 0},
        // A replaced selection.
        {"12", 0, 2, '9', "###", true, true, "9", 1, 0, 0},
        // Alternatives complete themselves.
        {"", 0, 0, 'Y', "{Yes,No}", true, true, "Yes", 3, 0, 0},
        {"", 0, 0, 'n', "{Yes,No}", true, true, "No", 2, 0, 0},
        // No mask: the key is the edit's own business.
        {"ab", 2, 0, 'c', "", true, true, "ab", 2, 'c', 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " + " + c.key + " / " + c.mask);
        edit->Picture().SetPictureMask(c.mask);
        edit->Picture().SetAutoFill(c.autoFill);
        edit->SetBorderStyle(c.border ? bsSingle : bsNone);
        edit->SetText(c.text);
        edit->SetSelStart(c.selStart);
        edit->SetSelLength(c.selLength);
        const int beeps = MessageBeepCount();
        char key = c.key;
        edit->Press(key);
        EXPECT_EQ(edit->Text(), c.textOut);
        EXPECT_EQ(edit->SelStart(), c.caret);
        EXPECT_EQ(key, c.keyOut);
        EXPECT_EQ(MessageBeepCount() - beeps, c.beeps);
    }
}

TEST_F(EditTest, CheckValueReportsAndMaxLengthComesBeforeTheMask) {
    std::vector<bool> reports;
    edit->OnCheckValue = [&](plat::TObject*, bool passes) { reports.push_back(passes); };
    edit->Picture().SetPictureMask("###");
    edit->SetText("12");
    edit->SetSelStart(2);
    char key = '3';
    edit->Press(key);
    key = 'x';
    edit->SetText("1");
    edit->SetSelStart(1);
    edit->Press(key);  // refused: no report
    EXPECT_EQ(reports, (std::vector<bool>{true}));
    EXPECT_TRUE(edit->TestPictureText(""));  // an empty text always passes
    EXPECT_FALSE(edit->TestPictureText("12"));
    EXPECT_EQ(reports, (std::vector<bool>{true, true, false}));

    // The limit refuses the key before the picture could fill past it.
    edit->SetMaxLength(3);
    edit->Picture().SetPictureMask("###-####");
    edit->SetText("123");
    edit->SetSelStart(3);
    key = '4';
    edit->Press(key);
    EXPECT_EQ(edit->Text(), "123");
    EXPECT_EQ(key, '4');  // left to the edit, whose limit refuses it
}

TEST_F(EditTest, AnInvalidExitKeepsTheFocusAndBeepsWithoutABox) {
    edit->Picture().SetPictureMask("###");
    bool passed = true;
    edit->OnCheckValue = [&](plat::TObject*, bool passes) { passed = passes; };
    form->Show();
    edit->SetFocus();
    guitest::TypeText(edit, "12");
    EXPECT_TRUE(edit->Modified());
    const int beeps = MessageBeepCount();
    other->SetFocus();
    guitest::ProcessEvents(20);
    EXPECT_TRUE(edit->Focused());
    EXPECT_TRUE(edit->InvalidExit());
    EXPECT_EQ(MessageBeepCount() - beeps, 1);
    EXPECT_FALSE(passed);
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_EQ(edit->SelLength(), 2);

    edit->Picture().SetAllowInvalidExit(true);
    other->SetFocus();
    guitest::ProcessEvents(20);
    EXPECT_TRUE(other->Focused());
    EXPECT_FALSE(passed);  // still reported as failing

    // A complete text leaves at once.
    edit->Picture().SetAllowInvalidExit(false);
    edit->SetFocus();
    edit->SelectAll();
    guitest::TypeText(edit, "123");
    other->SetFocus();
    guitest::ProcessEvents(20);
    EXPECT_TRUE(other->Focused());
    EXPECT_TRUE(passed);
}

TEST_F(EditTest, ABoundMaskLivesInThePictureMasksLine) {
    edit->Picture().SetPictureMask("###");  // unbound: the object's own
    Bind();
    EXPECT_EQ(edit->Picture().PictureMask(), "");  // the dataset has no line
    edit->Picture().SetPictureMask("Page *#");
    ASSERT_EQ(pages->PictureMasks().Count(), 1);
    EXPECT_EQ(pages->PictureMasks()[0], "Title\tPage *#\tT\tT");
    EXPECT_EQ(edit->Picture().PictureMask(), "Page *#");
    edit->Picture().SetAutoFill(false);
    EXPECT_EQ(pages->PictureMasks()[0], "Title\tPage *#\tF\tT");
    EXPECT_FALSE(edit->Picture().AutoFill());
    // Another line written for the field is what the edit reads.
    plat::StringList lines;
    lines.Add("Title\t&&&&\tT\tF");
    pages->SetPictureMasks(lines);
    EXPECT_EQ(edit->Picture().PictureMask(), "&&&&");
    EXPECT_TRUE(edit->Picture().AutoFill());
}

TEST_F(EditTest, UpdateDataCallsOnInvalidValueOrRaises) {
    Bind();
    edit->Picture().SetPictureMask("Page #");
    pages->SetValidateWithMask(true);
    EXPECT_EQ(edit->Text(), "Page 1");
    int invalid = 0;
    pages->OnInvalidValue = [&](db::TDataSet* ds, db::TField* f) {
        ++invalid;
        EXPECT_EQ(ds, pages.get());
        EXPECT_EQ(f->FieldName, "Title");
    };
    pages->Edit();
    edit->SetText("Page 12");
    edit->SetModified(true);
    edit->UpdateData();
    EXPECT_EQ(invalid, 1);
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page 12");  // the handler decided to let it be
    pages->OnInvalidValue = nullptr;
    edit->SetText("Page x");
    edit->SetModified(true);
    EXPECT_THROW(edit->UpdateData(), EDBEditError);
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page 12");
    edit->SetText("Page 7");
    edit->SetModified(true);
    edit->UpdateData();
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page 7");
    pages->Cancel();
}

}  // namespace

#include "platform/core/clock.h"
#include "platform/core/format_settings.h"

namespace {

TEST(DateAutoFillTest, EachSpaceAddsThePartThatComesNext) {
    const plat::TDateTime afternoon = plat::EncodeDate(2026, 3, 7) + plat::EncodeTime(15, 4, 9, 0);
    const plat::TDateTime midnight = plat::EncodeDate(2005, 11, 23) + plat::EncodeTime(0, 30, 0, 0);
    struct {
        const char* format;
        char dateSep;
        bool twelveHour;
        TvlEditDataType kind;
        plat::TDateTime now;
        const char* before;
        const char* after;  // nullptr: nothing to add
    } cases[] = {
        {"M/d/yyyy", '/', true, vlEdtDate, afternoon, "", "3/"},
        {"M/d/yyyy", '/', true, vlEdtDate, afternoon, "3/", "3/7/"},
        {"M/d/yyyy", '/', true, vlEdtDate, afternoon, "3/7/", "3/7/2026"},
        {"M/d/yyyy", '/', true, vlEdtDate, afternoon, "12", "12/"},
        {"M/d/yyyy", '/', true, vlEdtDate, afternoon, "3/7/2026", nullptr},
        {"dd/mm/yy", '/', true, vlEdtDate, afternoon, "", "07/"},
        {"dd/mm/yy", '/', true, vlEdtDate, afternoon, "07/", "07/03/"},
        {"dd/mm/yy", '/', true, vlEdtDate, afternoon, "07/03/", "07/03/26"},
        {"dd/mm/yy", '/', true, vlEdtDate, midnight, "23/11/", "23/11/05"},
        {"yyyy-mm-dd", '-', true, vlEdtDate, afternoon, "", "2026-"},
        {"yyyy-mm-dd", '-', true, vlEdtDate, afternoon, "2026-", "2026-03-"},
        {"yyyy-mm-dd", '-', true, vlEdtDate, afternoon, "2026-03-", "2026-03-07"},
        {"yy-m-d", '-', true, vlEdtDate, midnight, "", "05-"},
        // 12-hour times: the mark takes the place of the seconds.
        {"M/d/yyyy", '/', true, vlEdtTime, afternoon, "", "3:"},
        {"M/d/yyyy", '/', true, vlEdtTime, afternoon, "3:", "3:04:"},
        {"M/d/yyyy", '/', true, vlEdtTime, afternoon, "3:04:", "3:04 PM"},
        {"M/d/yyyy", '/', true, vlEdtTime, afternoon, "3:04 pm", nullptr},
        {"M/d/yyyy", '/', true, vlEdtTime, midnight, "", "12:"},
        {"M/d/yyyy", '/', true, vlEdtTime, midnight, "12:30:", "12:30 AM"},
        {"M/d/yyyy", '/', true, vlEdtTime, afternoon, "3", "3:"},
        // 24-hour times end with the seconds.
        {"M/d/yyyy", '/', false, vlEdtTime, afternoon, "", "15:"},
        {"M/d/yyyy", '/', false, vlEdtTime, afternoon, "15:04:", "15:04:09"},
        {"M/d/yyyy", '/', false, vlEdtTime, afternoon, "15:04:09", nullptr},
        // Date and time: a blank between them.
        {"M/d/yyyy", '/', true, vlEdtDateTime, afternoon, "3/7/2026", "3/7/2026 "},
        {"M/d/yyyy", '/', true, vlEdtDateTime, afternoon, "3/7/2026 ", "3/7/2026 3:"},
        {"dd/mm/yyyy", '/', false, vlEdtDateTime, afternoon, "07/03/2026 15:", "07/03/2026 15:04:"},
        {"M/d/yyyy", '/', true, vlDefault, afternoon, "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " [" + c.before + "]");
        plat::FormatSettings fs;
        fs.ShortDateFormat = c.format;
        fs.DateSeparator = c.dateSep;
        if (!c.twelveHour) fs.TimeAMString = fs.TimePMString = "";
        plat::ScopedFormatSettings scope(fs);
        std::string text = c.before;
        EXPECT_EQ(DateAutoFill(text, c.kind, c.now), c.after != nullptr);
        EXPECT_EQ(text, c.after ? c.after : c.before);
    }
}

TEST_F(EditTest, SpaceInADateEditFillsTodayFromTheClock) {
    plat::FakeClock clock(1000, plat::EncodeDate(2026, 3, 7) + plat::EncodeTime(15, 4, 9, 0));
    plat::ScopedClock scope(clock);
    edit->UnboundDataType = vlEdtDate;
    edit->SetText("");
    for (int i = 0; i < 3; ++i) {
        char key = ' ';
        edit->Press(key);
        EXPECT_EQ(key, 0);
    }
    EXPECT_EQ(edit->Text(), "3/7/2026");
    EXPECT_EQ(edit->SelStart(), 8);
    // Read-only: a beep and nothing else.
    edit->SetReadOnly(true);
    const int beeps = MessageBeepCount();
    edit->SelectAll();
    char key = ' ';
    edit->Press(key);
    EXPECT_EQ(MessageBeepCount() - beeps, 1);
    EXPECT_EQ(edit->Text(), "3/7/2026");
}

}  // namespace

namespace {

TEST_F(EditTest, InAGridCellTheRecordKeysGoToTheGrid) {
    Bind();
    auto* grid = new TvlCustomDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(0, 0, 280, 100);
    grid->SetDataSource(source.get());
    edit->SetParent(grid);
    struct {
        unsigned key;
        TShiftState shift;
        bool toGrid;
    } cases[] = {
        {VK_DOWN, 0, true},   {VK_DOWN, ssAlt, false}, {VK_INSERT, 0, true}, {VK_INSERT, ssShift, false},
        {VK_DELETE, 0, false}, {VK_DELETE, ssCtrl, true}, {VK_LEFT, 0, false}, {VK_LEFT, ssCtrl, false},
        {VK_HOME, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        unsigned key = c.key;
        edit->Down(key, c.shift);
        EXPECT_EQ(key == 0, c.toGrid);
    }
    pages->First();
    unsigned key = VK_DOWN;
    edit->Down(key, 0);
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 2);  // the grid moved the dataset
    // With the editor always shown, Left at the start of the text leaves the cell.
    grid->SetOptions(grid->Options() | Opt(dgAlwaysShowEditor));
    edit->SetSelStart(0);
    key = VK_LEFT;
    edit->Down(key, 0);
    EXPECT_EQ(key, 0u);
    edit->SetParent(form);
}

TEST_F(EditTest, TheWindowStyleAndTheEditingRectangleFollowTheProperties) {
    using namespace edit_style;
    struct {
        bool border, wordWrap, wantReturns, vertBar;
        unsigned style;
    } cases[] = {
        {true, false, false, false, ES_AUTOHSCROLL},
        {false, false, false, false, ES_AUTOHSCROLL | ES_MULTILINE},
        {true, true, false, false, ES_MULTILINE | ES_AUTOVSCROLL},
        {true, false, true, false, ES_AUTOHSCROLL | ES_WANTRETURN},
        {true, true, true, true, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL},
        {false, false, false, true, ES_AUTOHSCROLL | ES_MULTILINE | WS_VSCROLL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.border << c.wordWrap << c.wantReturns << c.vertBar);
        edit->SetBorderStyle(c.border ? bsSingle : bsNone);
        edit->SetWordWrap(c.wordWrap);
        edit->SetWantReturns(c.wantReturns);
        edit->SetShowVertScrollBar(c.vertBar);
        EXPECT_EQ(edit->WindowStyle(), c.style);
        EXPECT_EQ(edit->MultiLine(), (c.style & ES_MULTILINE) != 0);
        EXPECT_EQ(edit->Wraps(), c.wordWrap);
        EXPECT_EQ(edit->Returns(), c.wantReturns);
        // Inside the 2-pixel frame a bordered edit paints.
        const int w = edit->ClientWidth(), h = edit->ClientHeight();
        EXPECT_EQ(edit->Area(), c.border ? Rect(2, 2, w - 3, h - 1) : Rect(2, 2, w - 1, h + 1));
    }
    // The rectangle follows a resize.
    edit->SetBounds(8, 8, 120, 30);
    EXPECT_EQ(edit->Area().Right, edit->ClientWidth() - 1);
    EXPECT_EQ(edit->Area().Bottom, edit->ClientHeight() + 1);
}

TEST_F(EditTest, CutAndPasteEditTheRecordMarkTheEditAndCheckTheText) {
    struct Case {
        bool readOnly;
        UINT msg;
        const char* mask;
        const char* before;
        int selStart, selLength;  // -1: all
        const char* clip;
        const char* after;
        bool modified;
        std::vector<bool> reports;
    };
    auto run = [&](const Case& c, bool bound) {
        SCOPED_TRACE(std::string(c.msg == WM_PASTE ? "paste " : "cut ") + c.clip + " into " + c.before + " / " +
                     c.mask + (bound ? " bound" : ""));
        std::vector<bool> reports;
        edit->OnCheckValue = nullptr;
        edit->Picture().SetPictureMask(c.mask);
        edit->SetReadOnly(c.readOnly);
        if (!bound) edit->SetText(c.before);
        edit->SetModified(false);
        edit->SetSelStart(c.selStart);
        edit->SetSelLength(c.selLength < 0 ? static_cast<int>(edit->Text().size()) : c.selLength);
        if (c.msg == WM_PASTE) Clipboard()->SetAsText(c.clip);
        edit->OnCheckValue = [&](plat::TObject*, bool passes) { reports.push_back(passes); };
        edit->Perform(c.msg, 0, 0);
        EXPECT_EQ(edit->Text(), c.after);
        EXPECT_EQ(edit->Modified(), c.modified);
        EXPECT_EQ(reports, c.reports);
        if (bound) {
            EXPECT_EQ(pages->State() == db::dsEdit, c.modified);
            pages->Cancel();
        }
    };
    const Case unbound[] = {
        // A paste into a picture gets the literals filled in, then is checked.
        {false, WM_PASTE, "###-####", "", 0, 0, "123", "123-", true, {false}},
        {false, WM_PASTE, "###-####", "", 0, 0, "123-4567", "123-4567", true, {true}},
        // A text the picture refuses is kept as pasted, and reported.
        {false, WM_PASTE, "###", "", 0, 0, "ab", "ab", true, {false}},
        {false, WM_PASTE, "", "ab", 2, 0, "cd", "abcd", true, {true}},
        {false, WM_CUT, "###", "123", 1, 2, "", "1", true, {false}},
        {false, WM_CUT, "###", "123", 0, -1, "", "", true, {true}},
        // An unbound read-only edit refuses a paste.
        {true, WM_PASTE, "", "ab", 2, 0, "cd", "ab", false, {}},
    };
    for (const Case& c : unbound) run(c, false);
    Bind();
    ASSERT_EQ(edit->Text(), "Page 1");
    const Case bound[] = {
        // Bound: the record goes into edit state first.
        {false, WM_PASTE, "", "", 0, -1, "Pasted", "Pasted", true, {true}},
        {false, WM_CUT, "", "", 0, 4, "", " 1", true, {true}},
        // A read-only bound edit leaves record and text alone.
        {true, WM_PASTE, "", "", 0, -1, "Pasted", "Page 1", false, {}},
    };
    for (const Case& c : bound) run(c, true);
}

TEST_F(EditTest, EscapeReadsTheFieldAgainOrRestoresTheTextItWasEnteredWith) {
    std::vector<bool> reports;
    edit->OnCheckValue = [&](plat::TObject*, bool passes) { reports.push_back(passes); };
    // Unbound: the text it had when it took the focus.
    edit->SetText("abc");
    form->Show();
    edit->SetFocus();
    guitest::SendKey(edit, VK_END);
    guitest::TypeText(edit, "xyz");
    ASSERT_EQ(edit->Text(), "abcxyz");
    guitest::SendKey(edit, VK_ESCAPE);
    EXPECT_EQ(edit->Text(), "abc");
    EXPECT_FALSE(edit->Modified());
    EXPECT_EQ(edit->SelLength(), 3);
    EXPECT_EQ(reports, (std::vector<bool>{true}));

    // Bound: the field's text, read again.
    other->SetFocus();
    Bind();
    const std::string title = pages->FieldByName("Title")->Text();
    edit->SetFocus();
    guitest::SendKey(edit, VK_END);
    guitest::TypeText(edit, "xyz");
    ASSERT_EQ(edit->Text(), title + "xyz");
    guitest::SendKey(edit, VK_ESCAPE);
    EXPECT_EQ(edit->Text(), title);
    EXPECT_FALSE(edit->Modified());
    EXPECT_EQ(edit->SelLength(), static_cast<int>(title.size()));
    EXPECT_EQ(pages->FieldByName("Title")->Text(), title);
}

TEST_F(EditTest, WithoutTheFocusTheTextSitsInTheFieldsAlignment) {
    Bind();
    pages->FieldByName("Title")->Alignment = db::taRightJustify;
    form->Show();
    edit->SetFocus();
    // Showing the field is no change: leaving untouched writes nothing.
    other->SetFocus();
    EXPECT_EQ(pages->State(), db::dsBrowse);
    edit->Invalidate();
    const auto unfocused = InkColumns(edit);
    ASSERT_GE(unfocused.first, 0);
    EXPECT_GT(unfocused.first, edit->Width() / 2);      // right-aligned
    EXPECT_GE(unfocused.second, edit->ClientWidth() - 12);  // against the margin
    edit->SetFocus();
    edit->SetSelLength(0);
    const auto focused = InkColumns(edit);
    ASSERT_GE(focused.first, 0);
    EXPECT_LT(focused.first, 10);  // edited from the left
    // A left-aligned field is shown from the left either way.
    pages->FieldByName("Title")->Alignment = db::taLeftJustify;
    other->SetFocus();
    edit->Invalidate();
    EXPECT_LT(InkColumns(edit).first, 10);
}

}  // namespace
