// The rich-text edit control driven as a user drives it (keys, characters,
// mouse through Qt events) and through its text operations, with the real
// engine drawing on the control's canvas. The clipboard is an in-memory one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/gdi/picture_render.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "platform/gui/std_controls.h"
#include "platform/core/process.h"
#include "platform/imaging/graphic.h"
#include "richtext/controls/rtf_edit.h"
#include "richtext/spell/text_buffers.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {

using namespace gui;

TPoint Shift(TPoint p, int dx, int dy) { return {p.x + dx, p.y + dy}; }

class RtfEdit : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        SetClipboardBackend(&clip);
        form = new TForm(Application);
        form->SetBounds(50, 50, 460, 320);
        edit = new TJDCustomRtfEdit(form);
        edit->SetParent(form);
        edit->SetBounds(10, 10, 420, 260);
        edit->OnChange = [this](TObject*) { ++changes; };
        form->Show();
        guitest::ProcessEvents();
        edit->SetFocus();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        SetClipboardBackend(nullptr);
    }
    // Loads a text (RTF or plain) and forgets the change it made.
    void Load(const std::string& text) {
        edit->SetText(text);
        edit->Modified = false;
        changes = 0;
    }
    // Window point of the middle of a character given by absolute position.
    TPoint PointOf(int pos) {
        TJDRTFTextInput& e = edit->Engine();
        TTextPointer p;
        EXPECT_TRUE(e.PositionToPointer(pos, p));
        int x0 = e.XOfPosition(p.par, p.line, p.pos), x1 = e.XOfPosition(p.par, p.line, p.pos + 1);
        return {(2 * x0 + x1) / 3 + e.LeftOffset + e.leftMargin, p.line->top - e.TopOffset + e.topMargin + p.line->height / 2};
    }
    std::string Block(UINT format) {
        auto blocks = clip.Load();
        auto it = blocks.find(format);
        if (it == blocks.end()) return std::string();
        return std::string(it->second.begin(), it->second.end());
    }

    MemoryClipboardBackend clip;
    TForm* form = nullptr;
    TJDCustomRtfEdit* edit = nullptr;
    int changes = 0;
};

// --- keys and characters ------------------------------------------------------------------

TEST_F(RtfEdit, KeyTableMovesSelectsAndEditsWithOneChangePerRealEdit) {
    struct Case {
        const char* name;
        const char* text;
        int cursor, selStart, selLen;  // selLen 0: no selection
        unsigned vk;
        TShiftState shift;
        bool readOnly;
        const char* expect;
        int expectCursor, expectSelStart, expectSelLen, expectChanges;
    };
    const Case cases[] = {
        {"right", "abc", 1, 0, 0, VK_RIGHT, 0, false, "abc", 2, 0, 0, 0},
        {"shift right", "abc", 1, 0, 0, VK_RIGHT, ssShift, false, "abc", 2, 1, 1, 0},
        {"left drops selection", "abc", 2, 0, 2, VK_LEFT, 0, false, "abc", 1, 0, 0, 0},
        {"end", "abc def", 1, 0, 0, VK_END, 0, false, "abc def", 7, 0, 0, 0},
        {"home", "abc def", 5, 0, 0, VK_HOME, 0, false, "abc def", 0, 0, 0, 0},
        {"ctrl end", "ab\rcd", 0, 0, 0, VK_END, ssCtrl, false, "ab\rcd", 5, 0, 0, 0},
        {"ctrl home", "ab\rcd", 4, 0, 0, VK_HOME, ssCtrl, false, "ab\rcd", 0, 0, 0, 0},
        {"down", "ab\rcd", 1, 0, 0, VK_DOWN, 0, false, "ab\rcd", 4, 0, 0, 0},
        {"delete", "abc", 1, 0, 0, VK_DELETE, 0, false, "ac", 1, 0, 0, 1},
        {"delete at the end changes nothing", "abc", 3, 0, 0, VK_DELETE, 0, false, "abc", 3, 0, 0, 0},
        {"delete read-only", "abc", 1, 0, 0, VK_DELETE, 0, true, "abc", 1, 0, 0, 0},
        {"shift delete cuts", "abc", 0, 0, 1, VK_DELETE, ssShift, false, "bc", 0, 0, 0, 1},
        {"ctrl insert copies", "abc", 0, 0, 2, VK_INSERT, ssCtrl, false, "abc", 2, 0, 2, 0},
        {"tab", "abc", 0, 0, 0, VK_TAB, 0, false, "\tabc", 1, 0, 0, 1},
        {"shift tab without handler", "abc", 1, 0, 0, VK_TAB, ssShift, false, "abc", 1, 0, 0, 0},
        {"ctrl tab without handler", "abc", 1, 0, 0, VK_TAB, ssCtrl, false, "abc", 1, 0, 0, 0},
        {"ctrl enter breaks the page", "abc", 1, 0, 0, VK_RETURN, ssCtrl, false, "a\rbc", 2, 0, 0, 1},
        {"backspace", "abc", 2, 0, 0, VK_BACK, 0, false, "ac", 1, 0, 0, 1},
        {"enter", "abc", 1, 0, 0, VK_RETURN, 0, false, "a\rbc", 2, 0, 0, 1},
        {"escape drops selection", "abc", 0, 0, 2, VK_ESCAPE, 0, false, "abc", 2, 0, 0, 0},
        {"ctrl x cuts", "abc", 0, 1, 2, 'X', ssCtrl, false, "a", 1, 0, 0, 1},
        {"ctrl x read-only", "abc", 0, 1, 2, 'X', ssCtrl, true, "abc", 3, 1, 2, 0},
        {"ctrl c copies", "abc", 0, 1, 2, 'C', ssCtrl, false, "abc", 3, 1, 2, 0},
        {"letter replaces selection", "abc", 0, 0, 2, 'Q', ssShift, false, "Qc", 1, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        edit->SetReadOnly(false);
        Load(c.text);
        edit->SetCPPosition(c.cursor);
        if (c.selLen) edit->Engine().SetSelPosLen(c.selStart, c.selLen);
        edit->SetReadOnly(c.readOnly);
        guitest::SendKey(edit, c.vk, c.shift);
        EXPECT_EQ(edit->GetPlainText(), c.expect);
        EXPECT_EQ(edit->GetCPPosition(), c.expectCursor);
        EXPECT_EQ(edit->GetSelStart(), c.expectSelStart);
        EXPECT_EQ(edit->GetSelLength(), c.expectSelLen);
        EXPECT_EQ(changes, c.expectChanges);
        // Copying is no edit: it never marks the text modified.
        if (c.vk == 'C' || (c.vk == VK_INSERT && (c.shift & ssCtrl))) EXPECT_FALSE(edit->Modified);
    }
}

// Under X a Ctrl+letter arrives with its control character as the key's
// text (Ctrl+Z as 0x1A); only the clipboard letters act, none is typed.
// Ctrl+H and Ctrl+M are Backspace and Enter on any keyboard, as on Win32.
TEST_F(RtfEdit, CtrlLettersTypeNoControlCharacters) {
    const char letters[] = "ABDEFGIJKLNOPQRSTUWYZ";
    for (const char* l = letters; *l; ++l) {
        SCOPED_TRACE(std::string("Ctrl+") + *l);
        Load("abc");
        edit->SetCPPosition(1);
        const QString text(QChar(static_cast<ushort>(*l - 'A' + 1)));
        QKeyEvent down(QEvent::KeyPress, Qt::Key_A + (*l - 'A'), Qt::ControlModifier, text);
        QCoreApplication::sendEvent(edit->Widget(), &down);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_A + (*l - 'A'), Qt::ControlModifier, text);
        QCoreApplication::sendEvent(edit->Widget(), &up);
        EXPECT_EQ(edit->GetPlainText(), "abc");
        EXPECT_EQ(changes, 0);
    }
    // Enter and Backspace still reach the text as characters.
    Load("abc");
    edit->SetCPPosition(2);
    for (const auto& [key, ch] : {std::pair{Qt::Key_Backspace, '\b'}, std::pair{Qt::Key_Return, '\r'}}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(ch)));
        QCoreApplication::sendEvent(edit->Widget(), &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(QChar(ch)));
        QCoreApplication::sendEvent(edit->Widget(), &up);
    }
    EXPECT_EQ(edit->GetPlainText(), "a\rc");
}

TEST_F(RtfEdit, TypedTextGoesInWithTheInsertAttributeAndHandlersSeeTabs) {
    Load("{\\rtf1 {\\b bold} plain}");
    edit->SetCPPosition(2);
    guitest::TypeText(edit, "xy");
    EXPECT_EQ(edit->GetPlainText(), "boxyld plain");
    EXPECT_EQ(changes, 2);
    TLine* l = edit->Engine().FirstParagraph()->lines;
    EXPECT_TRUE(l->attrs[2].style & kStyleBold);
    int ctrlTabs = 0, shiftTabs = 0;
    edit->CtrlTabPressed = [&](TObject*) { ++ctrlTabs; };
    edit->ShiftTabPressed = [&](TObject*) { ++shiftTabs; };
    guitest::SendKey(edit, VK_TAB, ssCtrl);
    guitest::SendKey(edit, VK_TAB, ssShift);
    EXPECT_EQ(ctrlTabs, 1);
    EXPECT_EQ(shiftTabs, 1);
    EXPECT_EQ(edit->GetPlainText(), "boxyld plain");
}

TEST_F(RtfEdit, InsertKeySwitchesToOverwriting) {
    Load("abcd");
    edit->SetCPPosition(1);
    guitest::SendKey(edit, VK_INSERT);
    EXPECT_FALSE(edit->Inserting());
    guitest::TypeText(edit, "XY");
    EXPECT_EQ(edit->GetPlainText(), "aXYd");
    guitest::SendKey(edit, VK_INSERT);
    guitest::TypeText(edit, "Z");
    EXPECT_EQ(edit->GetPlainText(), "aXYZd");
    EXPECT_EQ(changes, 3);
}

TEST_F(RtfEdit, FontFollowsTheInsertAttributeAndAChangeAppliesToTheSelection) {
    Load("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\f1\\fs28\\i slanted} plain}");
    edit->SetCPPosition(2);
    TFont& f = edit->SyncedFont();
    EXPECT_EQ(f.Name(), "Courier New");
    EXPECT_EQ(f.Size(), 14);
    EXPECT_EQ(f.Style(), fsItalic);
    edit->Engine().SetSelPosLen(8, 5);  // "plain"
    edit->Font().SetStyle(fsBold | fsUnderline);
    TLine* l = edit->Engine().FirstParagraph()->lines;
    EXPECT_TRUE(l->attrs[9].style & kStyleBold);
    EXPECT_TRUE(l->attrs[9].style & kStyleUnderline);
    EXPECT_FALSE(l->attrs[1].style & kStyleBold);  // outside the selection
}

TEST_F(RtfEdit, EditStateReportsSelectionAndClipboardAndTheLinkCursorShows) {
    std::vector<std::pair<bool, bool>> states;
    edit->EditStateEvent = [&](void*, bool sel, bool clipText) { states.emplace_back(sel, clipText); };
    Load("{\\rtf1 plain {\\uldb link}{\\v x}}");
    states.clear();
    edit->Engine().SetSelPosLen(0, 3);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), std::make_pair(true, false));
    edit->CopyToClipboard();
    edit->HideSelection();
    EXPECT_EQ(states.back(), std::make_pair(false, true));
    edit->HyperLinkCursor = crUpArrow;
    guitest::MouseMove(edit, PointOf(7));
    EXPECT_EQ(edit->Cursor(), crUpArrow);
    guitest::MouseMove(edit, PointOf(1));
    EXPECT_EQ(edit->Cursor(), crIBeam);
}

// --- clipboard --------------------------------------------------------------------------------

TEST_F(RtfEdit, CopyWritesRtfAndTextAndNeverMarksTheTextModified) {
    Load("{\\rtf1 one {\\b two} three}");
    edit->Engine().SetSelPosLen(4, 3);
    edit->CopyToClipboard();
    std::string rtf = Block(CF_RTF()), text = Block(CF_TEXT);
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u) << rtf;
    EXPECT_NE(rtf.find("two"), std::string::npos);
    EXPECT_NE(rtf.find("\\b"), std::string::npos);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(std::string(text.c_str()), "two");
    EXPECT_FALSE(edit->Modified);
    EXPECT_EQ(changes, 0);
    // A veto keeps the clipboard as it was.
    clip.Store({});
    edit->OnBeforeCopyEvent = [](void*, bool& doIt) { doIt = false; };
    edit->CopyToClipboard();
    EXPECT_TRUE(clip.Load().empty());
}

TEST_F(RtfEdit, PastePrefersRtfThenTextThenAPicture) {
    auto bytes = [](const std::string& s) { return ClipboardBytes(s.begin(), s.end()); };
    TBitmap bmp(12, 6);
    struct Case {
        const char* name;
        std::map<UINT, ClipboardBytes> blocks;
        bool picture;
        const char* expect;
        int expectChanges;
    };
    std::vector<Case> cases = {
        {"rtf and text", {{CF_RTF(), bytes(std::string("{\\rtf1 {\\b Rich}}") + '\0')}, {CF_TEXT, bytes(std::string("plain") + '\0')}}, false, "xRichy", 1},
        {"text only", {{CF_TEXT, bytes(std::string("plain") + '\0')}}, false, "xplainy", 1},
        // No terminating zero: the block's own size bounds what is read.
        {"text without its zero", {{CF_TEXT, bytes("abc")}}, false, "xabcy", 1},
        {"bitmap only", {}, true, "x\x01y", 1},
        {"empty", {}, false, "xy", 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load("xy");
        clip.Store(c.blocks);
        if (c.picture) Clipboard()->Assign(bmp);
        edit->SetCPPosition(1);
        guitest::SendKey(edit, 'V', ssCtrl);
        EXPECT_EQ(edit->GetPlainText(), c.expect);
        EXPECT_EQ(changes, c.expectChanges);
        if (std::string(c.name) == "rtf and text") {
            TLine* l = edit->Engine().FirstParagraph()->lines;
            EXPECT_TRUE(l->attrs[1].style & kStyleBold);
        }
        if (c.picture) {
            ASSERT_FALSE(edit->Engine().Objects().empty());
            const TJDObjectRecord& rec = *edit->Engine().Objects().back();
            // The picture's own size, in twips at the screen's resolution.
            EXPECT_EQ(rec.width, MulDiv(12, 1440, ScreenPpi()));
            EXPECT_EQ(rec.height, MulDiv(6, 1440, ScreenPpi()));
            ASSERT_TRUE(rec.object);
            EXPECT_EQ(rec.object->Kind(), plat::TGraphicKind::Dib);
        }
    }
}

TEST_F(RtfEdit, PasteMessageOnAReadOnlyControlChangesNothing) {
    clip.Store({{CF_TEXT, ClipboardBytes{'z', 0}}});
    Load("ab");
    edit->SetReadOnly(true);
    edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(edit->GetPlainText(), "ab");
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(edit->Modified);
    edit->SetReadOnly(false);
    edit->SetCPPosition(1);
    edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(edit->GetPlainText(), "azb");
    EXPECT_EQ(changes, 1);
}

TEST_F(RtfEdit, CopyThenPasteBetweenTwoControlsKeepsTheLook) {
    auto* other = new TJDCustomRtfEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 200, 200, 60);
    Load("{\\rtf1 a {\\i slanted} b}");
    edit->Engine().SetSelPosLen(2, 7);
    edit->CopyToClipboard();
    other->SetFocus();
    other->SetCPPosition(0);
    other->PasteFromClipboard();
    EXPECT_EQ(other->GetPlainText(), "slanted");
    EXPECT_TRUE(other->Engine().FirstParagraph()->lines->attrs[0].style & kStyleItalic);
}

// --- scroll bars --------------------------------------------------------------------------------

// A paste that runs past the window scrolls to the caret; the scroll shows
// the vertical bar, the narrower client lays the text out again and every
// line is replaced. The caret's place comes from the new lines.
TEST_F(RtfEdit, APasteThatBringsTheVerticalBarPlacesTheCaretOnTheNewLayout) {
    edit->SetScrollBars(ssVertical);
    Load("");
    std::string text;
    for (int i = 0; i < 30; ++i) text += "a line of words long enough to wrap inside the window, number " + std::to_string(i) + "\r\n";
    text += "last";
    ClipboardBytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    clip.Store({{CF_TEXT, bytes}});
    edit->SetCPPosition(0);
    edit->PasteFromClipboard();
    guitest::ProcessEvents();
    TJDRTFTextPaint& e = edit->Engine();
    EXPECT_GT(e.TopOffset, 0) << "scrolled down to the caret";
    ASSERT_NE(e.cursor.line, nullptr);
    EXPECT_EQ(e.cursor.line->text.substr(0, static_cast<std::size_t>(e.cursor.pos)), "last");
    EXPECT_EQ(e.desiredX, e.XOfPosition(e.cursor.par, e.cursor.line, e.cursor.pos));
}

TEST_F(RtfEdit, ScrollBarsFollowTheFormulasBothWays) {
    edit->SetScrollBars(ssBoth);
    std::string text;
    for (int i = 0; i < 80; ++i) text += "line " + std::to_string(i) + "\r";
    Load(text);
    TJDRTFTextInput& e = edit->Engine();
    const int span = e.DocumentHeight() - e.WindowHeight();
    ASSERT_GT(span, 0);
    int lo, hi;
    edit->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1000);
    // The thumb at 500 scrolls half the hidden height.
    edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500), 0);
    EXPECT_EQ(e.TopOffset, span * 500 / 1000);
    EXPECT_EQ(edit->GetScrollPos(SB_VERT), e.TopOffset * 1000 / span);
    edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    EXPECT_EQ(e.TopOffset, 0);
    EXPECT_EQ(edit->GetScrollPos(SB_VERT), 0);
    // Without word wrap the page is wider than the window, however short the lines.
    edit->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, 1000);
    edit->Perform(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 1000), 0);
    const int hspan = e.Header().textWidth + e.leftMargin - e.WindowWidth();
    EXPECT_EQ(-e.LeftOffset, hspan);
    EXPECT_EQ(edit->GetScrollPos(SB_HORZ), 1000);
}

TEST_F(RtfEdit, TextAsHighAsTheWindowNeedsNoBar) {
    edit->SetScrollBars(ssVertical);
    Load("one\rtwo\rthree\rfour");
    TJDRTFTextInput& e = edit->Engine();
    const int h = e.DocumentHeight();
    edit->SetHeight(h + edit->Height() - edit->ClientHeight());
    guitest::ProcessEvents();
    ASSERT_EQ(e.WindowHeight(), h);
    e.TopOffset = 5;
    edit->UpdateVertScrollBar();
    int lo, hi;
    edit->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(e.TopOffset, 0);
    EXPECT_EQ(edit->GetScrollPos(SB_VERT), 0);
}

TEST_F(RtfEdit, WordWrapNeverShowsTheHorizontalBar) {
    edit->SetScrollBars(ssBoth);
    std::string wide(400, 'w');
    Load(wide);
    int lo, hi;
    edit->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, 1000);
    edit->SetWordWrap(true);
    edit->UpdateHorzScrollBar();
    edit->GetScrollRange(SB_HORZ, lo, hi);
    EXPECT_EQ(hi, 0);
}

// --- mouse ---------------------------------------------------------------------------------------

TEST_F(RtfEdit, HyperlinkClickGivesTextStampAndLine) {
    std::string longStamp(300, 's');
    Load("{\\rtf1 first line\\par go {\\uldb Jump here}{\\v target_1} end\\par {\\uldb Far}{\\v " + longStamp + "}}");
    std::vector<std::tuple<std::string, std::string, int>> got;
    edit->HyperLinkEvent = [&](void*, const std::string& t, const std::string& s, int line) { got.emplace_back(t, s, line); };
    guitest::DoubleClick(edit, PointOf(11 + 5));  // inside "Jump here"
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::get<0>(got[0]), "Jump here");
    EXPECT_EQ(std::get<1>(got[0]), "target_1");
    EXPECT_EQ(std::get<2>(got[0]), 1);
    std::string plain = edit->GetPlainText();
    int far = static_cast<int>(plain.find("Far"));
    edit->OneClickHyperlink = true;
    guitest::Click(edit, PointOf(far + 1));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::get<0>(got[1]), "Far");
    EXPECT_EQ(std::get<1>(got[1]).size(), 254u);
    EXPECT_EQ(std::get<2>(got[1]), 2);
}

TEST_F(RtfEdit, DoubleClickWordSurvivesItsReleaseAndAClickRemovesIt) {
    Load("hello wide world");
    guitest::DoubleClick(edit, PointOf(7));
    EXPECT_EQ(edit->GetSelStart(), 6);
    EXPECT_EQ(edit->GetSelLength(), 4);
    EXPECT_EQ(edit->GetSelText(), "wide");
    guitest::ProcessEvents(10);
    guitest::Click(edit, PointOf(1));
    EXPECT_EQ(edit->GetSelLength(), 0);
    EXPECT_EQ(edit->GetCPPosition(), 1);
}

TEST_F(RtfEdit, MouseDragSelects) {
    Load("hello wide world");
    guitest::MouseDown(edit, Shift(PointOf(0), -3, 0));
    guitest::MouseMove(edit, PointOf(4), ssLeft);
    guitest::MouseUp(edit, PointOf(4));
    EXPECT_EQ(edit->GetSelStart(), 0);
    EXPECT_GE(edit->GetSelLength(), 4);
    EXPECT_LE(edit->GetSelLength(), 5);
}

TEST_F(RtfEdit, DraggingTheSelectionMovesItBeforeAfterAndInsideItself) {
    struct Case {
        const char* name;
        int dropAt;  // character whose middle takes the drop
        const char* expect;
    };
    const Case cases[] = {
        {"before", 0, "defabc ghij"},
        {"after", 9, "abc ghdefij"},
        {"inside", 4, "abcdef ghij"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load("abcdef ghij");
        edit->DragAndDropSupport = true;
        edit->Engine().SetSelPosLen(3, 3);  // "def"
        TPoint from = PointOf(4), to = PointOf(c.dropAt);
        to.x -= 2;  // left half: the drop goes before that character
        guitest::MouseDown(edit, from);
        guitest::MouseMove(edit, Shift(from, 8, 0), ssLeft);
        guitest::MouseMove(edit, to, ssLeft);
        guitest::MouseUp(edit, to);
        EXPECT_EQ(edit->GetPlainText(), c.expect);
        EXPECT_FALSE(TControl::DragSource());
    }
}

TEST_F(RtfEdit, DropFromAnotherEditorCopiesItsSelection) {
    auto* other = new TJDCustomRtfEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 275, 200, 30);
    other->SetText("{\\rtf1 {\\b moved}}");
    other->Engine().SetSelPosLen(0, 5);
    Load("ab");
    edit->DragAndDropSupport = true;
    edit->DragDrop(other, PointOf(1).x - 2, PointOf(1).y);
    EXPECT_EQ(edit->GetPlainText(), "amovedb");
    EXPECT_TRUE(edit->Engine().FirstParagraph()->lines->attrs[1].style & kStyleBold);
    EXPECT_EQ(other->GetPlainText(), "moved");
    EXPECT_EQ(other->GetSelLength(), 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(RtfEdit, DropsOfCaptionsTypeTheirTextAndReadOnlyRefusesDrops) {
    auto* label = new TLabel(form);
    label->SetCaption("label");
    auto* box = new TEdit(form);
    box->SetText("box");
    auto* stranger = new TShape(form);
    int userDrops = 0;
    edit->OnDragDropUser = [&](TObject*, TObject*, int, int) { ++userDrops; };
    edit->DragAndDropSupport = true;
    Load("[]");
    edit->DragDrop(label, PointOf(1).x, PointOf(1).y);
    EXPECT_EQ(edit->GetPlainText(), "[label]");
    edit->DragDrop(box, PointOf(1).x, PointOf(1).y);
    EXPECT_EQ(edit->GetPlainText(), "[boxlabel]");
    edit->DragDrop(stranger, 0, 0);
    EXPECT_EQ(userDrops, 1);
    bool accept = true;
    edit->SetReadOnly(true);
    edit->DragOver(label, 1, 1, dsDragMove, accept);
    EXPECT_FALSE(accept);
    edit->SetReadOnly(false);
    accept = false;
    edit->DragOver(label, 1, 1, dsDragMove, accept);
    EXPECT_TRUE(accept);
}

// --- text operations ------------------------------------------------------------------------------

TEST_F(RtfEdit, TextOperationEdgeCases) {
    // Plain text: paragraph ends as CR.
    Load("ab\rc");
    EXPECT_EQ(edit->GetPlainText(), std::string("ab\rc"));
    EXPECT_EQ(edit->GetPlainText().size(), 4u);
    // Without a selection SetSelText changes nothing and the cursor stays.
    edit->SetCPPosition(2);
    edit->SetSelText("X");
    EXPECT_EQ(edit->GetPlainText(), "ab\rc");
    EXPECT_EQ(edit->GetCPPosition(), 2);
    EXPECT_EQ(changes, 0);
    // A long string goes in whole and is selected whole.
    Load("abc");
    edit->Engine().SetSelPosLen(1, 1);
    std::string s300(300, 'z');
    edit->SetSelText(s300);
    EXPECT_EQ(edit->GetPlainText(), "a" + s300 + "c");
    EXPECT_EQ(edit->GetSelStart(), 1);
    EXPECT_EQ(edit->GetSelLength(), 300);
    EXPECT_EQ(changes, 1);
    // An empty string deletes the selection.
    edit->SetSelText("");
    EXPECT_EQ(edit->GetPlainText(), "ac");
    // SelectAll on an empty text selects nothing.
    Load("");
    edit->SelectAll();
    EXPECT_EQ(edit->GetSelLength(), 0);
    EXPECT_EQ(edit->GetSelText(), "");
    Load("one\rtwo");
    edit->SelectAll();
    EXPECT_EQ(edit->GetSelText(), "one\rtwo");
    // Empty and refused input report no change.
    Load("abc");
    edit->InputString("");
    edit->SetReadOnly(true);
    edit->InputString("zz");
    edit->SetReadOnly(false);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(edit->GetPlainText(), "abc");
    edit->SetCPPosition(3);
    edit->InputString("de");
    EXPECT_EQ(edit->GetPlainText(), "abcde");
    EXPECT_EQ(changes, 1);
}

TEST_F(RtfEdit, RegisterFontNameCutsFindsAndNeverOverflows) {
    Load("x");
    std::string forty(40, 'F');
    int i = edit->RegisterFontName(forty);
    EXPECT_EQ(edit->Engine().Header().fontNames[i], std::string(31, 'F'));
    int j = edit->RegisterFontName("Courier New");
    EXPECT_EQ(edit->RegisterFontName("COURIER NEW"), j);
    for (int k = 0; k < 120; ++k) {
        int idx = edit->RegisterFontName("Font " + std::to_string(k));
        EXPECT_GE(idx, 0);
        EXPECT_LT(idx, kMaxFonts);
    }
}

TEST_F(RtfEdit, CursorNextCharWalksThroughLinesAndParagraphs) {
    Load("ab\rc");
    edit->SetCPPosition(0);
    std::vector<int> walk{edit->GetCPPosition()};
    while (edit->CursorNextChar()) walk.push_back(edit->GetCPPosition());
    // The last character's step goes to the line end; then it stops.
    EXPECT_EQ(walk, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(edit->CursorNextChar());
    EXPECT_EQ(edit->GetCPPosition(), 4);
}

TEST_F(RtfEdit, InsertGraphicAndFindNextObject) {
    Load("ab\rcd");
    edit->SetCPPosition(1);
    TBitmap small(4, 4);
    std::uint16_t t1 = edit->InsertGraphic(small, 0, 0);
    EXPECT_NE(t1, 0);
    edit->SetCPPosition(5);  // "a?b\rc|d"
    std::uint16_t t2 = edit->InsertGraphic(small, 300, 200);
    EXPECT_NE(t2, t1);
    EXPECT_EQ(changes, 0);  // inserting a graphic raises no change
    EXPECT_EQ(edit->GetPlainText(), "a\x01" "b\rc\x01" "d");
    struct Case {
        std::uint16_t tag;
        int from;
        bool found;
        std::uint16_t expectTag;
        int expectPos;
    };
    const Case cases[] = {
        {0, 0, true, t1, 1}, {0, 1, true, t1, 1}, {0, 2, true, t2, 5}, {t2, 0, true, t2, 5}, {t1, 2, false, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint16_t tag = c.tag;
        int pos = c.from;
        std::shared_ptr<plat::TGraphic> obj;
        EXPECT_EQ(edit->FindNextObject(tag, pos, obj), c.found) << c.tag << " " << c.from;
        if (!c.found) continue;
        EXPECT_EQ(tag, c.expectTag);
        EXPECT_EQ(pos, c.expectPos);
        ASSERT_TRUE(obj);
        EXPECT_EQ(obj->Width(), 4);
    }
    // From the cursor (Pos < 0).
    edit->SetCPPosition(3);
    std::uint16_t tag = 0;
    int pos = -1;
    std::shared_ptr<plat::TGraphic> obj;
    ASSERT_TRUE(edit->FindNextObject(tag, pos, obj));
    EXPECT_EQ(pos, 5);
    // An icon is no picture the text takes.
    TPicture icon;
    QImage iconImage(8, 8, QImage::Format_ARGB32);
    iconImage.fill(Qt::red);
    icon.Icon().SetImage(iconImage);
    EXPECT_EQ(edit->InsertGraphic(icon, 0, 0), 0);
}

TEST_F(RtfEdit, WordScanSkipsLinksAndGoesOnAfterAReplacedWord) {
    Load("{\\rtf1 one {\\uldb link}{\\v x} two three}");
    edit->ResetWordScan();
    EXPECT_EQ(edit->NextWord(), "one");
    edit->SelectFoundWord();
    edit->SetSelText("uno");
    EXPECT_EQ(edit->NextWord(), "two");
    EXPECT_EQ(edit->NextWord(), "three");
    EXPECT_EQ(edit->NextWord(), "");
    EXPECT_EQ(edit->NextWord(), "");
    edit->ResetWordScan();
    EXPECT_EQ(edit->NextWord(), "uno");
    EXPECT_TRUE(edit->GetPlainText().rfind("uno link", 0) == 0);
}

TEST_F(RtfEdit, SpellBufferFindsTheControlsWordScanAndReplacesThroughIt) {
    Load("{\\rtf1 Teh {\\uldb jump}{\\v t} cat sat}");
    auto* scan = dynamic_cast<spell::IRichEditWordScan*>(static_cast<TComponent*>(edit));
    ASSERT_NE(scan, nullptr);
    spell::TJDBuf buf(*scan, edit);
    scan->ResetWordScan();
    EXPECT_EQ(buf.GetNextWord(), "Teh");
    buf.SelectWord();
    buf.ReplaceWord("The");
    EXPECT_TRUE(buf.SourceModified());
    EXPECT_EQ(buf.GetNextWord(), "cat");
    EXPECT_EQ(buf.GetNextWord(), "sat");
    EXPECT_EQ(buf.GetNextWord(), "");
    EXPECT_EQ(edit->GetPlainText().substr(0, 8), "The jump");
    int total = 0, unique = 0;
    buf.WordCount(total, unique);
    EXPECT_EQ(total, 3);
}

TEST_F(RtfEdit, ParagraphColourSurvivesRtfSaveAndReload) {
    Load("abc");
    edit->SetParagraphColor(3 << 4, 0);
    EXPECT_EQ(changes, 1);
    std::string rtf = edit->Engine().SaveToString();
    auto* other = new TJDCustomRtfEdit(form);
    other->SetText(rtf);
    EXPECT_EQ(other->Engine().FirstParagraph()->shading >> 4, 3);
}

TEST_F(RtfEdit, AssignTextSharesTheSourceHeader) {
    auto* other = new TJDCustomRtfEdit(form);
    other->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\f1 code}}");
    Load("mine");
    edit->AssignText(other);
    EXPECT_EQ(edit->GetPlainText(), "code");
    other->RegisterFontName("Shared Face");
    EXPECT_EQ(&edit->Engine().Header(), &other->Engine().Header());
}

TEST_F(RtfEdit, ResizingAnObjectStoresTwips) {
    Load("ab");
    edit->SetCPPosition(1);
    TBitmap pic(40, 30);
    edit->InsertGraphic(pic, 0, 0);
    edit->Engine().SetSelPosLen(1, 1);
    guitest::Grab(edit, *std::make_unique<TBitmap>());  // paints: the object's place is known
    ASSERT_FALSE(edit->Engine().PaintedObjects().empty());
    plat::TRect r = edit->Engine().PaintedObjects().front().rect;
    TJDRTFTextInput& e = edit->Engine();
    TPoint corner{r.right - 4 + e.LeftOffset + e.leftMargin, r.bottom - 4 - e.TopOffset + e.topMargin};
    guitest::MouseMove(edit, corner);
    EXPECT_EQ(edit->Cursor(), crSizeNWSE);
    guitest::MouseDown(edit, corner);
    TPoint to = Shift(corner, 20, 10);
    guitest::MouseMove(edit, to, ssLeft);
    guitest::MouseUp(edit, to);
    const TJDObjectRecord& rec = *edit->Engine().Objects().back();
    int res = edit->Engine().Header().resolutionX;
    EXPECT_EQ(rec.width, MulDiv(to.x - e.LeftOffset - e.leftMargin - r.left, 1440, res));
    EXPECT_GT(rec.width, MulDiv(40, 1440, res));
}

// --- printing -------------------------------------------------------------------------------------

// The text of a PDF as pdftotext reads it; the test skips when the tool is missing.
std::string PdfText(const std::filesystem::path& pdf) {
    std::string tool = plat::FindProgram("pdftotext");
    if (tool.empty()) return "<no pdftotext>";
    std::filesystem::path txt = pdf;
    txt += ".txt";
    if (plat::RunAndWait({tool, "-layout", pdf.string(), txt.string()}) != 0) return "<pdftotext failed>";
    return testsupport::ReadFileBytes(txt);
}

// The numbers of the "row N" lines in the order they appear.
std::vector<int> RowsIn(const std::string& text) {
    std::vector<int> rows;
    std::regex row("row (\\d+)\\b");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it)
        rows.push_back(std::stoi((*it)[1].str()));
    return rows;
}

std::string ThreePages() {
    return "{\\rtf1 Page one text\\par\\page Page two text\\par\\page Page three text\\par}";
}

TEST_F(RtfEdit, PrintOfARangeGivesItsPagesWithHeadersAndFootersInOrder) {
    testsupport::TempDir dir;
    Load(ThreePages());
    std::vector<std::string> events;
    edit->PrintHeader = [&](void*, TCanvas& c, int x, int y, int w, int h, int page, int) {
        events.push_back("H" + std::to_string(page));
        EXPECT_GT(w, 0);
        EXPECT_GE(h, 0);
        c.TextOut(x, y, "Header " + std::to_string(page));
    };
    edit->PrintFooter = [&](void*, TCanvas&, int, int y, int, int, int page, int) {
        events.push_back("F" + std::to_string(page));
        EXPECT_GT(y, 0);
    };
    Printer()->OutputFileName = (dir / "out.pdf").string();
    std::int32_t top = edit->Engine().TopOffset;
    edit->PrintRange(2, 3);
    EXPECT_EQ(events, (std::vector<std::string>{"H2", "F2", "H3", "F3"}));
    std::string pdf = testsupport::ReadFileBytes(dir / "out.pdf");
    std::regex page("/Type\\s*/Page[^s]");
    auto n = std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator());
    EXPECT_EQ(n, 2);
    const std::string text = PdfText(dir / "out.pdf");
    if (text == "<no pdftotext>") GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    EXPECT_EQ(text.find("Page one text"), std::string::npos) << text;
    const auto two = text.find("Page two text"), three = text.find("Page three text");
    EXPECT_NE(two, std::string::npos) << text;
    EXPECT_NE(three, std::string::npos) << text;
    EXPECT_LT(two, three);
    // The screen view is back.
    EXPECT_EQ(edit->Engine().TopOffset, top);
    EXPECT_FALSE(edit->Engine().printJob);
    EXPECT_EQ(edit->Engine().Header().resolutionX, ScreenPpi());
    Printer()->OutputFileName.clear();
}

// Every line of a long text reaches paper once and in order, whether the
// control is on screen (its window far shorter than a page) or hidden, as it
// is when a page is printed without being opened.
TEST_F(RtfEdit, PrintGivesEveryLineOnceInOrderFromAShownOrHiddenControl) {
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 ";
    for (int i = 0; i < 300; ++i) rtf += "row " + std::to_string(i) + " of the long text, wider than the window on screen\\par ";
    rtf += "}";
    std::vector<int> all(300);
    for (int i = 0; i < 300; ++i) all[static_cast<std::size_t>(i)] = i;
    for (bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "shown" : "hidden");
        testsupport::TempDir dir;
        Load(rtf);
        if (!shown) {
            edit->SetVisible(false);
            guitest::ProcessEvents();
        }
        Printer()->OutputFileName = (dir / "long.pdf").string();
        edit->Print();
        Printer()->OutputFileName.clear();
        const std::string text = PdfText(dir / "long.pdf");
        if (text == "<no pdftotext>") GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        EXPECT_EQ(RowsIn(text), all) << text.substr(0, 2000);
        edit->SetVisible(true);
        guitest::ProcessEvents();
    }
}

TEST_F(RtfEdit, PrintPartModesLayOutWalkDrawAndRestore) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "row " + std::to_string(i) + "\r";
    Load(text);
    TJDRTFTextInput& e = edit->Engine();
    e.ScrollBy(40, 0);
    const std::int32_t top = e.TopOffset;
    const int ww = e.WindowWidth(), wh = e.WindowHeight();
    const bool wrap = e.WordWrap();
    const int lineH = e.FirstParagraph()->lines->height;
    TBitmap page(300, 200);
    page.Canvas().Brush().SetColor(clWhite);
    page.Canvas().FillRect(Rect(0, 0, 300, 200));
    edit->PrintPart(2, 0, 300, 200, &page.Canvas(), 96);
    int next = edit->PrintPart(0, 0, 300, 200, &page.Canvas(), 96);
    EXPECT_GT(next, 0);
    EXPECT_LE(next * lineH, 200);
    QImage before = *page.Image();
    EXPECT_EQ(edit->PrintPart(1, 0, 300, 200, &page.Canvas(), 96), next);
    EXPECT_NE(*page.Image(), before);  // mode 1 draws
    // The last page ends the text.
    int line = 0, pages = 0;
    while ((line = edit->PrintPart(0, line, 300, 200, &page.Canvas(), 96)) != 0) ++pages;
    EXPECT_GE(pages, 2);
    edit->PrintPart(4, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(e.TopOffset, top);
    EXPECT_EQ(e.WindowWidth(), ww);
    EXPECT_EQ(e.WindowHeight(), wh);
    EXPECT_EQ(e.WordWrap(), wrap);
    EXPECT_FALSE(e.printJob);
}

// --- zoom and resize factors ----------------------------------------------------------------

TEST_F(RtfEdit, ZoomingAndResizingLayOutAgainAndKeepTheBarInStep) {
    edit->SetScrollBars(ssVertical);
    std::string text;
    for (int i = 0; i < 6; ++i) text += "line " + std::to_string(i) + "\r";
    Load(text);
    TJDRTFTextInput& e = edit->Engine();
    const int base = e.DocumentHeight();
    ASSERT_LT(base, e.WindowHeight());
    int lo, hi;
    edit->GetScrollRange(SB_VERT, lo, hi);
    ASSERT_EQ(hi, 0);
    struct Case {
        bool zoom;
        int set, stored;
        bool taller;
    };
    // Values below the least store 100; a larger factor gives a taller text
    // and, here, a text taller than the window with its bar.
    const Case cases[] = {
        {true, 400, 400, true}, {true, 0, 100, false},   {true, -5, 100, false},
        {false, 400, 400, true}, {false, 0, 100, false}, {false, -1, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.zoom ? "zoom " : "resize ") << c.set);
        if (c.zoom) edit->SetZooming(c.set);
        else edit->SetResizing(c.set);
        EXPECT_EQ(c.zoom ? edit->Zooming() : edit->Resizing(), c.stored);
        const int h = e.DocumentHeight();
        edit->GetScrollRange(SB_VERT, lo, hi);
        if (c.taller) {
            EXPECT_GT(h, 3 * base);
            EXPECT_GT(h, e.WindowHeight());
            EXPECT_EQ(hi, 1000);
        } else {
            EXPECT_EQ(h, base);
            EXPECT_EQ(hi, 0);
        }
    }
    // The text itself is untouched by either factor.
    EXPECT_EQ(edit->GetPlainText(), text);
    EXPECT_EQ(changes, 0);
}

TEST_F(RtfEdit, ZoomKeepsTheCursorInView) {
    edit->SetScrollBars(ssVertical);
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line " + std::to_string(i) + "\r";
    Load(text);
    edit->SetCPPosition(static_cast<int>(text.size()) - 1);
    TJDRTFTextInput& e = edit->Engine();
    edit->SetZooming(300);
    TTextPointer p;
    ASSERT_TRUE(e.PositionToPointer(edit->GetCPPosition(), p));
    EXPECT_GT(e.TopOffset, 0);
    EXPECT_GE(p.line->top, e.TopOffset);
    EXPECT_LT(p.line->top, e.TopOffset + e.WindowHeight());
}

// --- window, border, enter and change notification -------------------------------------------

TEST_F(RtfEdit, BorderStyleMakesANewWindowWithOrWithoutTheFrame) {
    Load("framed");
    guitest::ProcessEvents();
    auto corner = [&] {
        TBitmap shot;
        edit->PaintTo(shot);
        return shot.Image()->pixel(0, edit->Height() / 2) & 0xFFFFFF;
    };
    const HWND first = edit->Handle();
    const QRgb framed = corner();
    edit->SetBorderStyle(bsNone);
    guitest::ProcessEvents();
    const HWND second = edit->Handle();
    EXPECT_NE(second, first);
    EXPECT_NE(corner(), framed);
    EXPECT_EQ(corner(), 0xFFFFFFu);  // paper where the frame was
    // The focused control keeps its caret in the new window and still types.
    ASSERT_TRUE(edit->Focused());
    EXPECT_EQ(gui::CaretOwner(), second);
    guitest::TypeText(edit, "!");
    EXPECT_EQ(edit->GetPlainText(), "!framed");
    edit->SetBorderStyle(bsSingle);
    guitest::ProcessEvents();
    EXPECT_NE(edit->Handle(), second);
    EXPECT_EQ(corner(), framed);
    // An unchanged value makes no new window.
    const HWND third = edit->Handle();
    edit->SetBorderStyle(bsSingle);
    EXPECT_EQ(edit->Handle(), third);
}

class AutoSelectEdit : public TJDCustomRtfEdit {
public:
    using TJDCustomRtfEdit::TJDCustomRtfEdit;
    void SetAutoSelect(bool v) { AutoSelect = v; }
    void SetSuppress(bool v) { SuppressChangeNotify = v; }
};

TEST_F(RtfEdit, EnteringSelectsAllWhenAskedAndEditChangeRaisesOnChange) {
    auto* other = new AutoSelectEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 275, 200, 30);
    other->SetText("one two");
    int otherChanges = 0;
    other->OnChange = [&](TObject*) { ++otherChanges; };
    guitest::ProcessEvents();
    // Without the flag entering leaves the selection alone.
    other->Perform(CM_ENTER, 0, 0);
    EXPECT_EQ(other->GetSelLength(), 0);
    other->SetAutoSelect(true);
    other->SetFocus();
    guitest::ProcessEvents();
    EXPECT_EQ(other->GetSelStart(), 0);
    EXPECT_EQ(other->GetSelLength(), 7);
    EXPECT_EQ(other->GetSelText(), "one two");
    // A click into the control enters it with the button down: no selection.
    edit->SetFocus();
    guitest::ProcessEvents();
    other->HideSelection();
    guitest::Click(other, Shift(TPoint{0, 0}, 30, 15));
    guitest::ProcessEvents();
    EXPECT_EQ(other->GetSelLength(), 0);

    other->Perform(CN_COMMAND, MAKEWPARAM(0, kEnChange), 0);
    EXPECT_EQ(otherChanges, 1);
    other->SetSuppress(true);
    other->Perform(CN_COMMAND, MAKEWPARAM(0, kEnChange), 0);
    EXPECT_EQ(otherChanges, 1);
    other->SetSuppress(false);
    other->Perform(CN_COMMAND, MAKEWPARAM(0, 0x0100), 0);  // any other notification
    EXPECT_EQ(otherChanges, 1);
}

TEST_F(RtfEdit, TransparentControlShowsItsParentUnderTheText) {
    form->SetColor(static_cast<TColor>(0x3060C0));
    Load("see through");
    guitest::ProcessEvents();
    auto below = [&] {
        edit->Repaint();
        guitest::ProcessEvents();
        TBitmap shot;
        edit->PaintTo(shot);
        return shot.Image()->pixel(edit->Width() / 2, edit->Height() - 20) & 0xFFFFFF;
    };
    EXPECT_EQ(below(), 0xFFFFFFu);
    edit->SetTransparent(true);
    EXPECT_EQ(below(), static_cast<QRgb>(0xC06030));  // the form's colour (BGR -> RGB)
    // Typing keeps the parent's picture under the new character's line.
    guitest::TypeText(edit, "x");
    EXPECT_EQ(edit->GetPlainText(), "xsee through");
    EXPECT_EQ(below(), static_cast<QRgb>(0xC06030));
    edit->SetTransparent(false);
    EXPECT_EQ(below(), 0xFFFFFFu);
}

// --- engine settings and events ------------------------------------------------------------------

TEST_F(RtfEdit, TextToInsertCanReplaceOrRefuseATypedCharacter) {
    Load("ab");
    edit->SetCPPosition(2);
    // Two characters of automatic text end at the cursor.
    TJDRTFTextInput& e = edit->Engine();
    e.FirstParagraph()->lines->attrs[0].style |= kStyleAutomatic;
    e.FirstParagraph()->lines->attrs[1].style |= kStyleAutomatic;
    e.FirstParagraph()->lines->attrs[0].tag = 7;
    std::string seenAuto;
    int seenLen = -1, seenTag = -1;
    char seenChar = 0;
    edit->GetTextToInsert = [&](void*, std::string& p, const std::string& autoText, int len, std::uint16_t tag, char c,
                                bool& doContinue) {
        seenAuto = autoText;
        seenLen = len;
        seenTag = tag;
        seenChar = c;
        if (c == 'n') doContinue = false;
        if (c == 'x') p = "xyz";
    };
    guitest::TypeText(edit, "x");
    EXPECT_EQ(seenAuto, "ab");
    EXPECT_EQ(seenLen, 2);
    EXPECT_EQ(seenTag, 7);
    EXPECT_EQ(seenChar, 'x');
    EXPECT_EQ(edit->GetPlainText(), "abxyz");
    EXPECT_EQ(changes, 1);
    // The typed text is no automatic text: the next character sees none.
    guitest::TypeText(edit, "n");
    EXPECT_EQ(seenAuto, "");
    EXPECT_EQ(edit->GetPlainText(), "abxyz");
    EXPECT_EQ(changes, 1);
}

TEST_F(RtfEdit, FailedLoadsAndSavesReachTheErrorEvent) {
    std::vector<std::string> errors;
    edit->OnJDErrorEvent() = [&](void* sender, const std::string& text) {
        EXPECT_EQ(sender, edit);
        errors.push_back(text);
    };
    Load("{\\rtf1 fine}");
    EXPECT_TRUE(errors.empty());
    Load("{\\rtf1 broken \\'zq}");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("not hexadecimal"), std::string::npos);
    // A save into a stream that refuses its bytes.
    struct Refusing : plat::Stream {
        std::int64_t Read(void*, std::int64_t) override { return 0; }
        std::int64_t Write(const void*, std::int64_t) override { return 0; }
        std::int64_t Seek(std::int64_t, plat::SeekOrigin) override { return 0; }
        void SetSize(std::int64_t) override {}
    } refusing;
    edit->SetText("{\\rtf1 some text}");
    EXPECT_NE(edit->Engine().SaveToStream(refusing), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find("could not be written"), std::string::npos);
    // A file that cannot take the place of its target (a folder with a file in it).
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir / "taken.rtf");
    testsupport::WriteFileBytes(dir / "taken.rtf" / "inside", "x");
    EXPECT_NE(edit->Engine().SaveToFile((dir / "taken.rtf").string()), 0);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[2].find("could not be written"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "taken.rtf" / "inside"));
}

TEST_F(RtfEdit, BitmapsAreWrittenAsDibWhenAskedAndLookTheSame) {
    // A 2 x 2 device-dependent bitmap, 24 bits: red, green / blue, white (BGR rows).
    std::string rows = std::string("\x00\x00\xFF\x00\xFF\x00", 6) + std::string(2, '\0') +
                       std::string("\xFF\x00\x00\xFF\xFF\xFF", 6) + std::string(2, '\0');
    auto g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Bitmap, rows, 2, 2, plat::TBitmapGeometry{24, 1, 8});
    Load("ab");
    edit->SetCPPosition(1);
    edit->Engine().InsertObjectAtCursor(g, 0, 30, 30);
    edit->Engine().SaveFormat = TJDLoadFormat::FormatRTF;
    const std::string ddb = edit->Engine().SaveToString();
    EXPECT_NE(ddb.find("\\wbitmap0"), std::string::npos);
    edit->SetWriteBitmapAsDib(true);
    const std::string dib = edit->Engine().SaveToString();
    EXPECT_EQ(dib.find("\\wbitmap0"), std::string::npos);
    ASSERT_NE(dib.find("\\dibitmap0"), std::string::npos);
    TJDCustomRtfEdit back(nullptr);
    back.SetText(dib);
    ASSERT_EQ(back.Engine().Objects().size(), 1u);
    const plat::TGraphic* read = back.Engine().Objects()[0]->object.get();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Kind(), plat::TGraphicKind::Dib);
    QImage img = plat::PictureToImage(*read);
    ASSERT_EQ(img.size(), QSize(2, 2));
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(img.pixel(1, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(img.pixel(0, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(back.GetPlainText(), "a\x01" "b");
}

TEST_F(RtfEdit, HtmlCommentsBecomeFootnotesAndGoBackAsComments) {
    const std::string page = "<html><body><p>one<!-- the note -->two</p></body></html>";
    struct Case {
        TStoreHTMLComment mode;
        const char* text;
        bool note, hidden;
    };
    const Case cases[] = {
        {TStoreHTMLComment::shcOFF, "onetwo", false, false},
        {TStoreHTMLComment::shcFootnote, "one*two", true, false},
        {TStoreHTMLComment::shcHiddenFootnote, "one*two", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        edit->SetHTMLStoreComment(c.mode);
        edit->SetLoadFormat(TJDLoadFormat::FormatHTML);
        Load(page);
        EXPECT_EQ(edit->GetPlainText(), c.text);
        TJDRTFTextInput& e = edit->Engine();
        if (!c.note) continue;
        const TJDCharAttr& mark = e.FirstParagraph()->lines->attrs[3];
        EXPECT_TRUE(mark.style & kStyleFootnote);
        const TJDFootnote* note = e.FindFootnote(mark.tag);
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->text, " the note ");
        EXPECT_EQ(static_cast<bool>(mark.style & kStyleHidden), c.hidden);
        e.SaveFormat = TJDLoadFormat::FormatHTML;
        const std::string html = e.SaveToString();
        EXPECT_NE(html.find("one<!-- the note -->two"), std::string::npos) << html;
        // Off again: the note is not written.
        edit->SetHTMLStoreComment(TStoreHTMLComment::shcOFF);
        EXPECT_EQ(e.SaveToString().find("<!--"), std::string::npos);
    }
    edit->SetLoadFormat(TJDLoadFormat::AutomaticFormat);
}

TEST_F(RtfEdit, BackgroundNamedByHtmlIsLoadedOnlyWhenAsked) {
    testsupport::TempDir dir;
    TBitmap bg(8, 8);
    bg.SaveToFile((dir / "paper.bmp").string());
    edit->SetHTMLFilePath(dir.path().string());
    edit->SetLoadFormat(TJDLoadFormat::FormatHTML);
    const std::string page = "<html><body background=\"paper.bmp\"><p>text</p></body></html>";
    Load(page);
    EXPECT_EQ(edit->Engine().BackgroundPicture(), nullptr);
    edit->SetBackgroundLoadFromFile(true);
    edit->Engine().ClearText();
    Load(page);
    ASSERT_NE(edit->Engine().BackgroundPicture(), nullptr);
    EXPECT_EQ(edit->Engine().BackgroundPicture()->Width(), 8);
    // A name that is no file leaves the background as it was.
    edit->Engine().SetBackgroundPicture(nullptr, false);
    Load("<html><body background=\"missing.bmp\"><p>text</p></body></html>");
    EXPECT_EQ(edit->Engine().BackgroundPicture(), nullptr);
    edit->SetLoadFormat(TJDLoadFormat::AutomaticFormat);
}

// Bringing a found word into view (as the spell check does for each word)
// leaves the window as a fresh paint of the same view would: no line drawn
// over another, no stale line, and the frame beside the lines kept.
TEST_F(RtfEdit, ShowingAFoundWordLeavesTheWindowAsAFreshPaint) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + " with some words\r";
    text += "target word at the end\r";
    struct Case {
        TBorderStyle border;
        int words;  // how many words the scan takes before the one shown
    };
    for (const Case& c : {Case{bsSingle, 3}, Case{bsSingle, 40}, Case{bsSingle, 801}, Case{bsNone, 801}}) {
        SCOPED_TRACE(std::to_string(c.border) + " " + std::to_string(c.words));
        edit->SetBorderStyle(c.border);
        Load(text);
        edit->SetCPPosition(0);
        edit->Repaint();
        guitest::ProcessEvents();
        edit->ResetWordScan();
        for (int i = 0; i < c.words; ++i) ASSERT_FALSE(edit->NextWord().empty());
        edit->SelectFoundWord();
        ASSERT_NE(edit->BackBuffer(), nullptr);
        const QImage shown = edit->BackBuffer()->copy();
        edit->Repaint();
        const QImage fresh = edit->BackBuffer()->copy();
        ASSERT_EQ(shown.size(), fresh.size());
        int differ = 0, firstY = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != fresh.pixel(x, y)) {
                    if (firstY < 0) firstY = y;
                    ++differ;
                }
        EXPECT_EQ(differ, 0) << "first differing row " << firstY;
        const bool framed = (fresh.pixel(0, fresh.height() / 2) & 0xFFFFFF) != 0xFFFFFF;
        EXPECT_EQ(framed, c.border == bsSingle);
    }
}

TEST_F(RtfEdit, ASkippedPaintLeavesTheWindowAsItWas) {
    Load("text");
    guitest::ProcessEvents();
    auto mark = [&] {
        edit->Canvas().Brush().SetColor(clRed);
        edit->Canvas().FillRect(Rect(100, 100, 120, 120));
    };
    auto at = [&] {
        const QImage* buffer = edit->BackBuffer();
        EXPECT_NE(buffer, nullptr);
        return buffer ? buffer->pixel(110, 110) & 0xFFFFFF : 0u;
    };
    mark();
    edit->Engine().paintSkip = 1;
    edit->Repaint();
    EXPECT_EQ(at(), 0xFF0000u);  // this paint was let pass
    EXPECT_EQ(edit->Engine().paintSkip, 0);
    edit->Repaint();
    EXPECT_EQ(at(), 0xFFFFFFu);  // the next one draws the text's paper again
}

TEST_F(RtfEdit, BackgroundImageFollowsItsPictureUnlessTransparent) {
    Load("over a picture");
    auto below = [&] {
        edit->Repaint();
        return edit->BackBuffer()->pixel(edit->Width() / 2, edit->Height() - 20) & 0xFFFFFF;
    };
    EXPECT_EQ(edit->Engine().BackgroundPicture(), nullptr);
    // A picture given to it is seen: no call is needed after it.
    TBitmap b(8, 8);
    b.Canvas().Brush().SetColor(static_cast<TColor>(0x00C000));
    b.Canvas().FillRect(Rect(0, 0, 8, 8));
    edit->BackgroundImage().SetGraphic(&b);
    ASSERT_NE(edit->Engine().BackgroundPicture(), nullptr);
    EXPECT_EQ(below(), 0x00C000u);
    // A transparent control shows its parent instead.
    form->SetColor(static_cast<TColor>(0x808000));
    edit->SetTransparent(true);
    EXPECT_EQ(below(), 0x008080u);
    edit->SetTransparent(false);
    EXPECT_EQ(below(), 0x00C000u);
    edit->BackgroundImage().SetGraphic(nullptr);
    EXPECT_EQ(edit->Engine().BackgroundPicture(), nullptr);
    EXPECT_EQ(below(), 0xFFFFFFu);
}

}  // namespace
}  // namespace richtext

namespace richtext {
namespace {

// A found word far down a real document (paragraph spacing, exact line
// heights, bullets) is brought wholly into the window, as the spell check
// shows each word it stops at, also when the scroll bar's steps are coarser
// than a line.
TEST_F(RtfEdit, AFoundWordFarDownARealDocumentIsInTheWindow) {
    TAVRIN_REQUIRE_CORPUS();
    // With its scroll bars: setting the bar from the view must not move the view.
    edit->SetScrollBars(ssBoth);
    Load(testsupport::ReadFileBytes(testsupport::CorpusFile("hpj/eudora71/Eudora.rtf")));
    edit->SetCPPosition(0);
    edit->Repaint();
    guitest::ProcessEvents();
    edit->ResetWordScan();
    int shown = 0;
    for (int words = 0; words < 20000 && shown < 12; ++words) {
        const std::string w = edit->NextWord();
        ASSERT_FALSE(w.empty()) << "the text ended after " << words << " words";
        if (w != "SMTP" && w != "IMAP" && w != "POP") continue;
        SCOPED_TRACE(std::to_string(words) + ": " + w);
        edit->SelectFoundWord();
        TJDRTFTextInput& e = edit->Engine();
        ASSERT_NE(e.cursor.line, nullptr);
        const int top = e.cursor.line->top - e.TopOffset + e.topMargin;
        const int bottom = top + e.cursor.line->height;
        EXPECT_GE(top, 0);
        EXPECT_LE(bottom, edit->ClientHeight()) << "top " << top << ", height " << e.cursor.line->height;
        ++shown;
    }
    EXPECT_EQ(shown, 12);
}

}  // namespace
}  // namespace richtext
