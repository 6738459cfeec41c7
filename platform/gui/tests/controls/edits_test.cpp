// Edits and the masked edit, driven by keys and messages as a user's input
// arrives.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/clipboard.h"
#include "platform/gui/edits.h"
#include "platform/gui/grids.h"
#include "platform/gui/lists.h"
#include "platform/gui/mask_edit.h"
#include "platform/gui/spin_gauge.h"
#include "highlight_check.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace guitest {
namespace {

using namespace gui;

class Edits : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SetClipboardBackend(&memory);
        form->Show();
        ProcessEvents();
    }
    void TearDown() override {
        SetClipboardBackend(nullptr);
        GuiTest::TearDown();
    }
    template <class T>
    T* Make(int top = 10) {
        auto* e = new T(form);
        e->SetParent(form);
        e->SetBounds(10, top, 150, 21);
        return e;
    }
    MemoryClipboardBackend memory;
};

TEST_F(Edits, EveryEditTypeControlHighlightsOnlyItsSelection) {
    auto* other = Make<TEdit>(200);
    auto* edit = Make<TEdit>(10);
    edit->SetText("123456");
    auto* memo = Make<TMemo>(40);
    memo->SetText("123456");
    auto* mask = Make<TMaskEdit>(70);
    mask->SetText("123456");
    auto* combo = Make<TComboBox>(100);
    combo->SetStyle(csDropDown);
    combo->SetText("123456");
    auto* spin = Make<TSpinEdit>(130);
    spin->SetValue(123456);
    ProcessEvents();
    ExpectHighlightOnlyOnSelection(edit, other, "edit");
    ExpectHighlightOnlyOnSelection(memo, other, "memo");
    ExpectHighlightOnlyOnSelection(mask, other, "mask edit");
    ExpectHighlightOnlyOnSelection(combo, other, "combo box");
    ExpectHighlightOnlyOnSelection(spin, other, "spin edit");

    auto* grid = new TStringGrid(form);
    grid->SetParent(form);
    grid->SetBounds(170, 10, 140, 100);
    grid->SetDefaultColWidth(60);
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetCells(1, 1, "123456");
    grid->SetFocus();
    grid->SetEditorMode(true);
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    ExpectHighlightOnlyOnSelection(grid->InplaceEditor(), nullptr, "in-place editor");
}

TEST_F(Edits, TypingInsertsAtTheCaretMarksModifiedAndRaisesOnChange) {
    auto* e = Make<TEdit>();
    int changes = 0;
    e->OnChange = [&](TObject*) { ++changes; };
    e->SetFocus();
    TypeText(e, "helo");
    SendKey(e, VK_LEFT);
    TypeText(e, "l");
    EXPECT_EQ(e->Text(), "hello");
    EXPECT_EQ(e->SelStart(), 4);
    EXPECT_TRUE(e->Modified());
    EXPECT_EQ(changes, 5);
    SendKey(e, VK_HOME);
    SendKey(e, VK_DELETE);
    SendKey(e, VK_END);
    SendKey(e, VK_BACK);
    EXPECT_EQ(e->Text(), "ell");
    // Setting the text is not an edit by the user.
    e->SetModified(false);
    e->SetText("new");
    EXPECT_FALSE(e->Modified());
    EXPECT_EQ(changes, 8);
}

TEST_F(Edits, ShiftArrowsSelectAndTypingReplacesTheSelection) {
    auto* e = Make<TEdit>();
    e->SetText("abcdef");
    e->SetFocus();
    e->SetSelStart(1);
    SendKey(e, VK_RIGHT, ssShift);
    SendKey(e, VK_RIGHT, ssShift);
    EXPECT_EQ(e->SelStart(), 1);
    EXPECT_EQ(e->SelLength(), 2);
    EXPECT_EQ(e->SelText(), "bc");
    TypeText(e, "X");
    EXPECT_EQ(e->Text(), "aXdef");
}

TEST_F(Edits, MaxLengthLimitsTypingAndPastingButNotSetText) {
    auto* e = Make<TEdit>();
    e->SetMaxLength(4);
    e->SetFocus();
    TypeText(e, "abcdef");
    EXPECT_EQ(e->Text(), "abcd");
    Clipboard()->SetAsText("XYZ");
    e->SetSelStart(1);
    e->SetSelLength(1);
    e->PasteFromClipboard();
    EXPECT_EQ(e->Text(), "aXcd");  // one free place: only "X" fits
    e->SetText("longer than four");
    EXPECT_EQ(e->Text(), "longer than four");
}

TEST_F(Edits, ReadOnlyRefusesInputAndCutButAllowsCopy) {
    auto* e = Make<TEdit>();
    e->SetText("fixed");
    e->SetReadOnly(true);
    e->SetFocus();
    e->SelectAll();
    TypeText(e, "x");
    SendKey(e, VK_DELETE);
    e->Perform(WM_CUT, 0, 0);
    EXPECT_EQ(e->Text(), "fixed");
    e->Perform(WM_COPY, 0, 0);
    EXPECT_EQ(Clipboard()->AsText(), "fixed");
}

TEST_F(Edits, PasswordCharHidesTheTextAndNeverCopiesIt) {
    auto* e = Make<TEdit>();
    e->SetPasswordChar('*');
    e->SetFocus();
    TypeText(e, "secret");
    Clipboard()->SetAsText("before");
    e->SelectAll();
    SendKey(e, 'C', ssCtrl);
    e->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "before");
    EXPECT_EQ(e->Text(), "secret");
}

TEST_F(Edits, ClipboardKeysCutAndPasteBetweenTwoEditsAndUndo) {
    auto* a = Make<TEdit>(10);
    auto* b = Make<TEdit>(40);
    a->SetText("one two");
    a->SetFocus();
    a->SetSelStart(4);
    a->SetSelLength(3);
    SendKey(a, 'X', ssCtrl);
    EXPECT_EQ(a->Text(), "one ");
    b->SetFocus();
    b->SetText("[]");
    b->SetSelStart(1);
    SendKey(b, 'V', ssCtrl);
    EXPECT_EQ(b->Text(), "[two]");
    SendKey(b, 'Z', ssCtrl);
    EXPECT_EQ(b->Text(), "[]");
}

TEST_F(Edits, TextAndSelectionMessages) {
    auto* e = Make<TEdit>();
    const char* text = "message text";
    e->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(e->Text(), "message text");
    EXPECT_EQ(e->Perform(WM_GETTEXTLENGTH, 0, 0), 12);
    char small[5];
    EXPECT_EQ(e->Perform(WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 4);
    EXPECT_STREQ(small, "mess");
    e->Perform(EM_SETSEL, 8, 12);
    EXPECT_EQ(e->SelText(), "text");
    e->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("body"));
    EXPECT_EQ(e->Text(), "message body");
    e->Perform(EM_SETSEL, 0, -1);
    EXPECT_EQ(e->SelLength(), 12);
    e->Perform(EM_SETMODIFY, 1, 0);
    EXPECT_EQ(e->Perform(EM_GETMODIFY, 0, 0), 1);
}

TEST_F(Edits, MemoKeepsLinesAndTextInStepAndMovesByLine) {
    auto* m = new TMemo(form);
    m->SetParent(form);
    m->SetBounds(10, 10, 200, 100);
    m->Lines().Add("first");
    m->Lines().Add("second");
    EXPECT_EQ(m->Text(), "first\r\nsecond");
    m->SetFocus();
    m->SetSelStart(0);
    SendKey(m, VK_END);
    SendKey(m, VK_RETURN);
    TypeText(m, "middle");
    ASSERT_EQ(m->Lines().Count(), 3);
    EXPECT_EQ(m->Lines()[1], "middle");
    SendKey(m, VK_DOWN);
    EXPECT_EQ(m->CaretPos().y, 2);
    EXPECT_EQ(m->Perform(EM_GETLINECOUNT, 0, 0), 3);
    SendKey(m, VK_END);
    // Enter in a memo is its own, not the form's.
    EXPECT_EQ(m->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
    SendKey(m, VK_BACK);
    EXPECT_EQ(m->Lines()[2], "secon");
}

TEST_F(Edits, MemoWrapsLongLinesAtBlanksIntoRowsWithoutChangingItsLines) {
    auto* m = new TMemo(form);
    m->SetParent(form);
    m->SetBounds(10, 10, 90, 200);
    m->SetText("alpha beta gamma delta epsilon\r\nshort");
    ASSERT_EQ(m->Lines().Count(), 2);
    auto rows = static_cast<int>(m->Perform(EM_GETLINECOUNT, 0, 0));
    EXPECT_GT(rows, 2);
    // Every wrapped row starts right after a blank, and no word is split.
    for (int r = 1; r < rows - 1; ++r) {
        auto start = static_cast<int>(m->Perform(EM_LINEINDEX, r, 0));
        EXPECT_EQ(m->Text()[start - 1], ' ') << r;
    }
    EXPECT_EQ(m->Perform(EM_LINEINDEX, rows - 1, 0), static_cast<LRESULT>(m->Text().find("short")));
    m->SetFocus();
    m->SetSelStart(0);
    SendKey(m, VK_DOWN);
    EXPECT_EQ(m->CaretPos().y, 1);
    EXPECT_EQ(m->Perform(EM_LINEFROMCHAR, m->SelStart(), 0), 1);
    m->SetWordWrap(false);
    EXPECT_EQ(m->Perform(EM_GETLINECOUNT, 0, 0), 2);
    // A word wider than the row is broken where it stops fitting.
    m->SetWordWrap(true);
    m->SetText(std::string(60, 'W'));
    EXPECT_GT(m->Perform(EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(m->Text(), std::string(60, 'W'));
}

// Rows and lines of a memo as a fresh memo of the same size and font makes them.
void ExpectSameRowsAndLines(TMemo* edited, TMemo* fresh, const std::string& step) {
    fresh->SetText(edited->Text());
    auto rows = edited->Perform(EM_GETLINECOUNT, 0, 0);
    ASSERT_EQ(rows, fresh->Perform(EM_GETLINECOUNT, 0, 0)) << step;
    for (int r = 0; r < rows; ++r) {
        auto start = edited->Perform(EM_LINEINDEX, r, 0);
        ASSERT_EQ(start, fresh->Perform(EM_LINEINDEX, r, 0)) << step << ", row " << r;
        ASSERT_EQ(edited->Perform(EM_LINELENGTH, start, 0), fresh->Perform(EM_LINELENGTH, start, 0)) << step << ", row " << r;
    }
    // How far the text scrolls sideways follows the widths of the rows.
    int lo = 0, hiEdited = 0, hiFresh = 0;
    edited->GetScrollRange(SB_HORZ, lo, hiEdited);
    fresh->GetScrollRange(SB_HORZ, lo, hiFresh);
    ASSERT_EQ(hiEdited, hiFresh) << step;
    ASSERT_EQ(edited->Lines().Count(), fresh->Lines().Count()) << step;
    for (int i = 0; i < edited->Lines().Count(); ++i) ASSERT_EQ(edited->Lines()[i], fresh->Lines()[i]) << step << ", line " << i;
}

TEST_F(Edits, MemoEditsKeepRowsAndLinesAsAFreshWrapMakesThem) {
    auto make = [&](int left) {
        auto* m = new TMemo(form);
        m->SetParent(form);
        m->SetBounds(left, 10, 110, 200);
        return m;
    };
    for (bool wrap : {true, false}) {
        SCOPED_TRACE(wrap ? "word wrap" : "no word wrap");
        TMemo* m = make(10);
        TMemo* fresh = make(150);
        m->SetWordWrap(wrap);
        fresh->SetWordWrap(wrap);
        m->SetScrollBars(ssBoth);
        fresh->SetScrollBars(ssBoth);
        m->SetText("alpha beta gamma delta epsilon zeta\r\nshort\r\n\r\n" + std::string(40, 'W') +
                   " eta theta iota kappa\r\nlast line here");
        // Typed line ends, lone CRs and LFs (which may pair up with a neighbour),
        // words that wrap, a word wider than a row, paragraphs pasted and removed.
        const char* const inserts[] = {"a", "word ", " ", "\r\n", "\r", "\n", "", "two words\r\nand more ",
                                       "unbreakable-word-that-is-longer-than-a-row", "x y z w v u t s r q p"};
        std::uint32_t seed = 12345;
        auto next = [&](std::uint32_t mod) {
            seed = seed * 1103515245u + 12345u;
            return static_cast<int>((seed >> 8) % mod);
        };
        for (int step = 0; step < 400; ++step) {
            int n = static_cast<int>(m->Text().size());
            int pos = next(static_cast<std::uint32_t>(n + 1));
            int len = next(4) == 0 ? next(12) : 0;
            m->SetSelStart(pos);
            m->SetSelLength(len);
            m->SetSelText(inserts[next(std::size(inserts))]);
            ExpectSameRowsAndLines(m, fresh, "step " + std::to_string(step));
            if (HasFatalFailure()) return;
        }
        // Typing goes the same way.
        m->SetFocus();
        m->SetSelStart(5);
        TypeText(m, "typed text ");
        SendKey(m, VK_RETURN);
        SendKey(m, VK_BACK);
        SendKey(m, VK_BACK);
        ExpectSameRowsAndLines(m, fresh, "typing");
        // A new width or font wraps everything anew.
        m->SetWidth(160);
        fresh->SetWidth(160);
        ExpectSameRowsAndLines(m, fresh, "wider");
        m->Font().SetSize(14);
        fresh->Font().SetSize(14);
        ExpectSameRowsAndLines(m, fresh, "larger font");
        delete m;
        delete fresh;
    }
}

TEST_F(Edits, MemoMeasuresAsMuchPerKeyWhateverTheLengthOfItsText) {
    auto measurePerKeys = [&](int paragraphs) {
        auto* m = new TMemo(form);
        m->SetParent(form);
        m->SetBounds(10, 10, 200, 150);
        std::string text;
        for (int i = 0; i < paragraphs; ++i) text += "The quick brown fox jumps over the lazy dog, again and again.\r\n";
        m->SetText(text);
        m->SetFocus();
        ProcessEvents();
        // Somewhere in the middle, then type, delete and move.
        m->SetSelStart(static_cast<int>(text.size() / 2));
        ProcessEvents();
        std::uint64_t before = TCanvas::TextMeasurements();
        TypeText(m, "typing in the middle ");
        SendKey(m, VK_RETURN);
        SendKey(m, VK_BACK);
        SendKey(m, VK_DOWN);
        SendKey(m, VK_UP);
        ProcessEvents();
        std::uint64_t used = TCanvas::TextMeasurements() - before;
        delete m;
        return used;
    };
    std::uint64_t small = measurePerKeys(20);     // some 1.3 KB
    std::uint64_t large = measurePerKeys(2000);   // some 130 KB
    EXPECT_GT(small, 0u);
    EXPECT_LE(large, small + small / 10) << "small " << small << ", large " << large;
}

TEST_F(Edits, MemoRepaintsOnlyWhatChangedYetShowsWhatAWholePaintShows) {
    auto* m = new TMemo(form);
    m->SetParent(form);
    m->SetBounds(10, 10, 150, 200);
    std::string text;
    for (int i = 0; i < 8; ++i) text += "some words on a line that wraps\r\n";
    m->SetText(text);
    m->SetFocus();
    ProcessEvents();
    auto shown = [&] {
        HideCaret(m->Handle());
        ProcessEvents();
        return m->Widget()->grab().toImage();
    };
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"typing", [&] { m->SetSelStart(40); TypeText(m, "abc def "); }},
        {"a new line", [&] { SendKey(m, VK_RETURN); }},
        {"joining lines", [&] { SendKey(m, VK_BACK); SendKey(m, VK_BACK); }},
        {"a word that re-wraps the rows below", [&] { m->SetSelStart(3); TypeText(m, "longer longer longer "); }},
        {"selecting down", [&] { SendKey(m, VK_DOWN, ssShift); SendKey(m, VK_DOWN, ssShift); }},
        {"selection shrinking", [&] { SendKey(m, VK_UP, ssShift); }},
        {"selection replaced", [&] { TypeText(m, "x"); }},
    };
    for (const Step& s : steps) {
        s.act();
        QImage incremental = shown();
        m->Invalidate();
        QImage whole = shown();
        EXPECT_TRUE(incremental == whole) << s.what;
    }
}

TEST_F(Edits, MemoHorizontalBarScrollsLongLinesOnlyWithoutWordWrap) {
    auto* m = new TMemo(form);
    m->SetParent(form);
    m->SetBounds(10, 10, 120, 80);
    m->SetScrollBars(ssHorizontal);
    m->SetText(std::string(40, 'W') + "\r\nshort");
    int lo = 0, hi = 0;
    // Wrapped: nothing to scroll, no bar.
    m->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, 0);
    int fullHeight = m->ClientHeight();
    m->SetWordWrap(false);
    m->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_GT(hi, 100);
    EXPECT_LT(m->ClientHeight(), fullHeight);  // the bar takes its row
    TBitmap before;
    Grab(m, before);
    m->Perform(WM_HSCROLL, SB_PAGEDOWN, 0);
    int page = m->GetScrollPos(SB_HORZ);
    EXPECT_GT(page, 0);
    TBitmap after;
    Grab(m, after);
    EXPECT_NE(before.Image()->copy(0, 0, 100, 20), after.Image()->copy(0, 0, 100, 20));
    m->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(m->GetScrollPos(SB_HORZ), hi);
    m->Perform(WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(m->GetScrollPos(SB_HORZ), hi);  // no further than the end
    m->Perform(WM_HSCROLL, SB_TOP, 0);
    EXPECT_EQ(m->GetScrollPos(SB_HORZ), 0);
    // The caret going to the end of the long line takes the bar along.
    m->SetFocus();
    m->SetSelStart(0);
    SendKey(m, VK_END);
    EXPECT_GT(m->GetScrollPos(SB_HORZ), 0);
    // Short lines only: the bar goes.
    m->SetText("a\r\nb");
    m->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, 0);
}

// --- the edit mask ---------------------------------------------------------------------

struct MaskCase {
    const char* mask;
    const char* typed;
    const char* editText;
    const char* text;
};

class MaskTyping : public Edits, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(MaskTyping, TypedKeysFillPlacesSkippingLiterals) {
    const MaskCase& c = GetParam();
    auto* e = Make<TMaskEdit>();
    e->SetEditMask(c.mask);
    e->SetFocus();
    e->SetSelStart(0);
    TypeText(e, c.typed);
    EXPECT_EQ(e->EditText(), c.editText) << c.mask;
    EXPECT_EQ(e->Text(), c.text) << c.mask;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTyping,
    ::testing::Values(
        // Literals kept in Text, an empty place read as a blank; letters
        // refused by a digit place.
        MaskCase{"!(999) 000-0000;1;_", "12a3456789", "(123) 456-789_", "(123) 456-789 "},
        // Literals dropped ('0'), custom blank.
        MaskCase{"00/00/00;0;*", "311299", "31/12/99", "311299"},
        // Upper then lower case.
        MaskCase{">LL<ll;1;_", "abCD", "ABcd", "ABcd"},
        // A typed separator jumps to its literal, leaving the optional place empty.
        MaskCase{"99:99;1;_", "7:45", "7_:45", "7 :45"},
        // An escaped letter is a literal.
        MaskCase{"\\X000;1;_", "12", "X12_", "X12 "},
        // Optional alphanumerics refuse punctuation.
        MaskCase{"aaa;1;_", "a.b", "ab_", "ab "}));

TEST_F(Edits, MaskBackspaceAndDeleteBlankPlacesWithoutMovingLiterals) {
    auto* e = Make<TMaskEdit>();
    e->SetEditMask("00-00;1;_");
    e->SetFocus();
    TypeText(e, "1234");
    EXPECT_EQ(e->EditText(), "12-34");
    SendKey(e, VK_BACK);
    EXPECT_EQ(e->EditText(), "12-3_");
    SendKey(e, VK_BACK);
    SendKey(e, VK_BACK);  // skips the literal
    EXPECT_EQ(e->EditText(), "1_-__");
    e->SetSelStart(0);
    SendKey(e, VK_DELETE);
    EXPECT_EQ(e->EditText(), "__-__");
    EXPECT_EQ(e->EditText().size(), 5u);
}

TEST_F(Edits, MaskPasteFitsCharactersAndSetTextMapsToPlaces) {
    auto* e = Make<TMaskEdit>();
    e->SetEditMask("LL-000;0;_");
    e->SetText("ab123");
    EXPECT_EQ(e->EditText(), "ab-123");
    EXPECT_EQ(e->Text(), "ab123");
    Clipboard()->SetAsText("XY9");
    e->SetSelStart(0);
    e->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(e->EditText(), "XY-923");
}

TEST_F(Edits, IncompleteMaskRaisesOnValidateAndKeepsFocusOnExit) {
    ScriptedDialogService dialogs;
    ScopedDialogService scope(dialogs);
    auto* e = Make<TMaskEdit>(10);
    auto* other = Make<TEdit>(40);
    e->SetEditMask("000;1;_");
    e->SetFocus();
    TypeText(e, "12");
    EXPECT_THROW(e->ValidateEdit(), EDBEditError);
    other->SetFocus();
    ProcessEvents();
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_NE(dialogs.Last().text.find("Invalid input value"), std::string::npos);
    EXPECT_TRUE(e->Focused());
    // Escape abandons the changes.
    SendKey(e, VK_ESCAPE);
    EXPECT_EQ(e->EditText(), "___");
}

TEST(EditMaskPicture, AnEmptyDateReadsAsBlanksAndLiterals) {
    EditMaskPicture date("00/00/00;1;_");
    EXPECT_EQ(date.TextFromEditText(date.EmptyEditText()), "  /  /  ");
    EXPECT_EQ(date.FirstMissing(date.EmptyEditText()), 0);
    EXPECT_EQ(date.FirstMissing("12/3_/99"), 4);
    EXPECT_EQ(date.FirstMissing("12/31/99"), -1);
}

TEST(EditMaskPicture, BangFitsTextToTheEndAndTrimsLeadingBlanksInstead) {
    struct Case {
        const char* mask;
        const char* text;      // put into the edit
        const char* editText;  // as shown
        const char* back;      // Text read back
    } cases[] = {
        // Without '!': fitted from the start, trailing blanks dropped.
        {"999;0;_", "12", "12_", "12"},
        // With it: fitted to the end, leading blanks dropped.
        {"!999;0;_", "12", "_12", "12"},
        {"!999;0;_", "7", "__7", "7"},
        // A blank typed in the middle stays.
        {"!ccc;0;_", "a b", "a b", "a b"},
        // With the literals kept, every place reads back where it is.
        {"!99-99;1;_", "3-45", "_3-45", " 3-45"},
        {"99-99;1;_", "3-4", "3_-4_", "3 -4 "},
    };
    for (const Case& c : cases) {
        EditMaskPicture p(c.mask);
        EXPECT_EQ(p.Reverse(), c.mask[0] == '!') << c.mask;
        std::string edit = p.EditTextFromText(c.text);
        EXPECT_EQ(edit, c.editText) << c.mask << " " << c.text;
        EXPECT_EQ(p.TextFromEditText(edit), c.back) << c.mask << " " << c.text;
    }
}

TEST(FormatMaskText, FormatsAValueThroughAMask) {
    EXPECT_EQ(FormatMaskText("000-000;0;_", "12345"), "123-45 ");
    EXPECT_EQ(FormatMaskText("", "plain"), "plain");
}

}  // namespace
}  // namespace guitest
