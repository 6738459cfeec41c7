#include <gtest/gtest.h>

#include <sstream>

#include "platform/imaging/graphic.h"
#include "richtext/view/tests/layout/engine_fixture.h"

namespace richtext::testing {
namespace {

// The text with '|' for paragraph ends, '^' at the cursor and the selection in [ ].
std::string State(Engine& e) {
    std::string all = e.All();
    int cur = e.CursorAbs(), a = -1, b = -1, start, len;
    if (e.text.GetSelection(start, len) && len > 0) {
        a = start;
        b = start + len;
    }
    std::string out;
    for (int i = 0; i <= static_cast<int>(all.size()); ++i) {
        if (i == b) out += ']';
        if (i == a) out += '[';
        if (i == cur) out += '^';
        if (i < static_cast<int>(all.size())) out += all[static_cast<std::size_t>(i)];
    }
    return out;
}

// Runs space-separated steps: t:TEXT types (\r Enter), L R U D and sL sR sU sD
// move (s = extend), WL WR words, m:N / sm:N MoveCursor, at:N places the
// cursor, sel:S,N selects, bs del enter ff lf keys.
void Script(Engine& e, const std::string& script) {
    std::istringstream in(script);
    std::string s;
    while (in >> s) {
        bool ext = s.size() > 1 && s[0] == 's' && s != "sel" && s.rfind("sel:", 0) != 0;
        std::string op = ext ? s.substr(1) : s;
        if (op.rfind("t:", 0) == 0) {
            std::string t = op.substr(2);
            for (auto& c : t)
                if (c == '_') c = ' ';
            for (char c : t) e.text.InputString(std::string(1, c == '/' ? '\r' : c));
        } else if (op == "L") e.text.CursorLeft(1, ext, true);
        else if (op == "R") e.text.CursorRight(1, ext, true);
        else if (op == "U") e.text.CursorUp(1, ext, true);
        else if (op == "D") e.text.CursorDown(1, ext, true);
        else if (op == "WL") e.text.WordLeft(1, ext, true);
        else if (op == "WR") e.text.WordRight(1, ext, true);
        else if (op.rfind("m:", 0) == 0) e.text.MoveCursor(std::stoi(op.substr(2)), ext);
        else if (op.rfind("at:", 0) == 0) {
            e.text.DropSelection();
            e.Place(std::stoi(op.substr(3)));
        } else if (op.rfind("sel:", 0) == 0) {
            auto comma = op.find(',');
            e.text.SetSelPosLen(std::stoi(op.substr(4, comma - 4)), std::stoi(op.substr(comma + 1)));
        } else if (op == "bs") e.text.InputString("\b");
        else if (op == "del") e.text.InputString("\x7f");
        else if (op == "enter") e.text.InputString("\r");
        else if (op == "ff") e.text.InputString("\f");
        else if (op == "lf") e.text.InputString("\n");
        else FAIL() << "unknown step " << s;
    }
}

struct ScriptCase {
    const char* name;
    std::string text;  // paragraphs split by '\r'
    int window;
    std::string script;
    std::string expected;
};

TEST(Editing, Scripts) {
    const ScriptCase cases[] = {
        {"typing", "", 400, "t:abc", "abc^"},
        {"typing in the middle", "abef", 400, "at:2 t:cd", "abcd^ef"},
        {"backspace at the very start does nothing", "abc", 400, "bs", "^abc"},
        {"backspace", "abc", 400, "at:2 bs", "a^c"},
        {"backspace joins paragraphs", "ab\rcd", 400, "at:3 bs", "ab^cd"},
        {"delete", "abcd", 400, "at:1 del", "a^cd"},
        {"delete joins paragraphs", "ab\rcd", 400, "at:2 del", "ab^cd"},
        {"delete at the end of the text removes nothing", "ab", 400, "at:2 del", "ab^"},
        {"enter splits", "abcd", 400, "at:2 enter", "ab|^cd"},
        {"enter at the start inserts above", "abc", 400, "enter", "|^abc"},
        {"enter at the end", "abc", 400, "at:3 enter t:x", "abc|x^"},
        {"form feed splits", "abcd", 400, "at:2 ff", "ab|^cd"},
        // A line feed breaks the line inside the paragraph; the cursor starts the next line.
        {"line feed", "abcd", 400, "at:2 lf t:x", "ab\nx^cd"},
        {"typing replaces the selection", "abcdef", 400, "sel:1,3 t:X", "aX^ef"},
        {"backspace deletes the selection", "abcdef", 400, "sel:1,3 bs", "a^ef"},
        {"selection across paragraphs", "ab\rcd\ref", 400, "at:1 sR sR sR sR del", "a^|ef"},
        {"extend right three times", "abcdef", 400, "at:2 sm:7 sm:7 sm:7", "ab[cde]^f"},
        {"then back twice", "abcdef", 400, "at:2 sm:7 sm:7 sm:7 sm:6 sm:6", "ab[c]^def"},
        {"moving drops the selection", "abcdef", 400, "at:2 sm:7 sm:7 sm:7 sm:6 sm:6 m:7", "abcd^ef"},
        {"reversed selection", "abcdef", 400, "at:4 sL sL", "ab[^cd]ef"},
        {"left over a paragraph end", "ab\rcd", 400, "at:3 L", "ab^|cd"},
        {"right over a paragraph end", "ab\rcd", 400, "at:2 R", "ab|^cd"},
        {"right at the end stays", "ab", 400, "at:2 R", "ab^"},
        {"word right", "one two three", 400, "WR", "one^ two three"},
        {"word right twice", "one two three", 400, "WR WR", "one two^ three"},
        {"word left", "one two three", 400, "m:5 WL", "one two ^three"},
        {"word left twice", "one two three", 400, "m:5 WL WL", "one ^two three"},
        {"word left at a paragraph start", "ab\rcd", 400, "at:3 WL", "ab^|cd"},
        {"line end and start", "abc", 400, "m:1", "abc^"},
        {"text end and start", "ab\rcd", 400, "m:5 m:4", "^ab|cd"},
        {"shift-end selects to the end", "abc", 400, "at:1 sm:1", "a[bc]^"},
        {"down keeps the column", "abcdefghij\rab\rabcdefghij", 400, "at:8 D", "abcdefghij|ab^|abcdefghij"},
        {"down and down returns to it", "abcdefghij\rab\rabcdefghij", 400, "at:8 D D", "abcdefghij|ab|abcdefgh^ij"},
        {"up from a long line", "abcdefghij\rab\rabcdefghij", 400, "at:22 U U", "abcdefgh^ij|ab|abcdefghij"},
        {"up at the top stays", "abc", 400, "at:1 U", "a^bc"},
        // Window 31: "aaa bbb ccc" wraps as "aaa " "bbb " "ccc".
        {"down in a wrapped paragraph", "aaa bbb ccc", 31, "at:1 D", "aaa b^bb ccc"},
        {"right across a wrap", "aaa bbb ccc", 31, "at:3 R", "aaa ^bbb ccc"},
        {"typing wraps the line", "aaa bbb", 31, "m:5 t:_cc", "aaa bbb cc^"},
        {"page down", "a\rb\rc\rd\re\rf\rg", 400, "m:3", "a|b|c|d|e|f|^g"},
        {"page up", "a\rb\rc\rd\re\rf\rg", 400, "m:5 m:2", "a^|b|c|d|e|f|g"},
    };
    for (const auto& c : cases) {
        Engine e(c.text, c.window, 100);
        Script(e, c.script);
        EXPECT_EQ(State(e), c.expected) << c.name << ": " << c.script;
    }
}

TEST(Editing, FormFeedSetsAndClearsPageBreak) {
    Engine e("abcd", 400);
    Script(e, "at:2 ff");
    EXPECT_FALSE(e.Par(0)->flags & kParPageBreak);
    EXPECT_TRUE(e.Par(1)->flags & kParPageBreak);
    // At position 0 the flag goes on the paragraph itself, and a second one clears it.
    Script(e, "at:0 ff");
    EXPECT_TRUE(e.Par(0)->flags & kParPageBreak);
    EXPECT_EQ(e.All(), "ab|cd");
    Script(e, "at:0 ff");
    EXPECT_FALSE(e.Par(0)->flags & kParPageBreak);
}

TEST(Editing, DeleteAtTheEndClearsTheLastParagraphsLook) {
    Engine e("ab", 400);
    e.Par(0)->border = kBorderOn | kBorderBox;
    e.Par(0)->shading = 0x12;
    e.Par(0)->shadingPct = 30;
    e.Par(0)->flags = kParKeepTogether;
    Script(e, "at:2 del");
    EXPECT_EQ(e.All(), "ab");
    EXPECT_EQ(e.Par(0)->border, 0u);
    EXPECT_EQ(e.Par(0)->shading, 0);
    EXPECT_EQ(e.Par(0)->flags, 0);
}

TEST(Editing, ReadOnlyRefusesEverything) {
    Engine e("abc", 400);
    e.text.readOnly = true;
    Script(e, "at:1 t:x bs del enter");
    e.text.SetAlignment(2);
    EXPECT_EQ(e.All(), "abc");
    EXPECT_EQ(e.Par(0)->alignment, 0);
}

TEST(Editing, CursorToPointAndExtend) {
    Engine e("abcdef\rxyz", 400);
    e.text.CursorToPoint(13, 15, false, false);
    EXPECT_EQ(State(e), "abcdef|xy^z");
    e.text.CursorToPoint(4, 2, true, false);
    EXPECT_EQ(State(e), "a[^bcdef|xy]z");
}

// --- protection ---------------------------------------------------------------

// "ab" "XY" "cd" with XY protected.
void MakeProtected(Engine& e) {
    e.Fill("ab");
    e.text.currentAttr.style = kStyleProtected;
    e.Fill("XY");
    e.text.currentAttr.style = 0;
    e.Fill("cd");
    e.text.FormatAll();
    e.text.protectedProp = ProtectBit(TProtectProps::ppProtected);
}

TEST(Protection, TypingOverASelectionReachingIntoProtectedTextIsRefused) {
    struct Case { const char* name; int start, len; std::string expected; } cases[] = {
        // The selection ends inside the protected run: nothing changes, the cursor
        // stands on the first protected character, nothing lands inside the run.
        {"end inside", 1, 2, "ab^XYcd"},
        {"start inside", 3, 2, "abX^Ycd"},
        // Wholly around the run: the run's ends are not protected on the outside.
        {"whole run selected", 1, 4, "aX^d"},
    };
    for (const auto& c : cases) {
        Engine e("", 400);
        MakeProtected(e);
        std::string reported;
        e.text.services.OnProtectedChange = [&](void*, const std::string& run, std::uint16_t) { reported = run; };
        e.text.SetSelPosLen(c.start, c.len);
        e.text.InputString("X");
        EXPECT_EQ(State(e), c.expected) << c.name;
        if (std::string(c.name) != "whole run selected") {
            EXPECT_EQ(reported, "XY") << c.name;
        }
    }
}

TEST(Protection, DeleteAndBackspaceStopAtProtectedCharacters) {
    struct Case { const char* script; std::string expected; } cases[] = {
        {"at:2 del", "ab^XYcd"},
        {"at:4 bs", "abX^Ycd"},
        {"at:3 t:z", "abX^Ycd"},
        {"at:4 t:z", "abXYz^cd"},
        {"at:1 del", "a^XYcd"},
    };
    for (const auto& c : cases) {
        Engine e("", 400);
        MakeProtected(e);
        Script(e, c.script);
        EXPECT_EQ(State(e), c.expected) << c.script;
    }
}

// --- undo notifications ---------------------------------------------------------------

TEST(Editing, SaveForUndoBeforeAnotherParagraphOrASelection) {
    struct Case { const char* name; std::string text; std::string script; int calls; } cases[] = {
        {"typing in one paragraph", "ab", "at:1 t:xyz", 1},
        {"then in another paragraph", "ab\rcd", "at:1 t:x at:5 t:y", 2},
        {"back in the first again", "ab\rcd", "at:1 t:x at:5 t:y at:0 t:z", 3},
        {"each edit of a selection", "abcdef", "sel:0,1 t:x sel:0,1 t:y", 2},
        {"enter then typing in the new paragraph", "ab", "at:1 enter t:x", 2},
        {"moving alone saves nothing", "ab\rcd", "at:4 L L R", 0},
    };
    for (const auto& c : cases) {
        Engine e(c.text, 400);
        int calls = 0;
        e.text.services.SaveForUNDO = [&](void*) { ++calls; };
        Script(e, c.script);
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

TEST(Editing, CallbacksOnNewParagraphAndSelectionChange) {
    Engine e("ab", 400);
    TParagraph* created = nullptr;
    int selChanges = 0;
    e.text.services.OnNewParCreatedEvent = [&](void*, TParagraph* p) { created = p; };
    e.text.services.SelectionChangedCallback = [&] { ++selChanges; };
    Script(e, "at:1 enter");
    EXPECT_EQ(created, e.Par(1));
    Script(e, "sR");
    EXPECT_GT(selChanges, 0);
}

// --- character formats -------------------------------------------------------------------

TEST(CharacterFormat, MaskTable) {
    struct Case {
        const char* name;
        std::uint32_t mask;
        std::uint16_t before, tmpl, after;
    };
    const Case cases[] = {
        {"0x10 adds", amStyleOr, kStyleItalic, kStyleBold, kStyleItalic | kStyleBold},
        {"0x80 removes", amStyleClear, kStyleItalic | kStyleBold, kStyleBold, kStyleItalic},
        {"0x40 replaces the character styles", amStyleReplace, kStyleItalic | kStyleSub | kStyleHidden, kStyleBold,
         kStyleBold | kStyleHidden},
        {"0x20 also clears hidden and code bits", amStyleSet, kStyleItalic | kStyleHidden | kStyleRtfCode, kStyleBold,
         kStyleBold},
        {"superscript clears subscript", amStyleOr, kStyleSub, kStyleSuper, kStyleSuper},
        {"subscript clears superscript", amStyleReplace, kStyleSuper, kStyleSub, kStyleSub},
    };
    for (const auto& c : cases) {
        Engine e("", 400);
        e.text.currentAttr.style = c.before;
        e.Fill("abc");
        e.text.FormatAll();
        e.text.SetSelPosLen(1, 1);
        TJDCharAttr t;
        t.style = c.tmpl;
        e.text.ApplyAttribute(c.mask, t);
        const auto attrs = e.Par(0)->lines->attrs;
        EXPECT_EQ(attrs[1].style & ~kStyleSelected, c.after) << c.name;
        EXPECT_EQ(attrs[0].style & ~kStyleSelected, c.before) << c.name;
        EXPECT_EQ(attrs[2].style & ~kStyleSelected, c.before) << c.name;
    }
}

TEST(CharacterFormat, FontSizeAndColoursRelayOut) {
    Engine e("abcd", 400);
    e.text.SetSelPosLen(1, 2);
    TJDCharAttr t;
    t.size = 20;
    t.SetTextColor(3);
    e.text.ApplyAttribute(amSize | amTextColor, t);
    // Layout replaces the lines: look them up after every change.
    auto attrs = [&] { return e.Par(0)->lines->attrs; };
    auto a = attrs();
    EXPECT_EQ(a[1].size, 20);
    EXPECT_EQ(a[1].TextColor(), 3);
    EXPECT_EQ(a[1].width, 10);
    EXPECT_EQ(a[3].width, 5);
    EXPECT_EQ(e.Par(0)->lines->height, 20);
    // The insert attribute follows too.
    EXPECT_EQ(e.text.currentAttr.size, 20);
    // SetSelStyleBit goes the same way.
    e.text.SetSelStyleBit(kStyleBold, true);
    a = attrs();
    EXPECT_TRUE(a[2].style & kStyleBold);
    EXPECT_EQ(a[2].width, 11);
    e.text.SetSelStyleBit(kStyleBold, false);
    EXPECT_FALSE(attrs()[2].style & kStyleBold);
}

TEST(CharacterFormat, TypedTextDoesNotContinueSpecialText) {
    Engine e("", 400);
    e.text.currentAttr.style = kStyleHidden | kStyleBold;
    e.Fill("h");
    e.text.FormatAll();
    Script(e, "m:5 t:x");
    const auto a = e.Par(0)->lines->attrs;
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[1].style, kStyleBold);
}

// --- paragraph formats -----------------------------------------------------------------

TEST(ParagraphFormat, IndentsAlignmentSpacing) {
    Engine e("ab\rcd\ref", 400);
    e.Par(1)->firstIndent = 100;
    e.text.SetSelPosLen(1, 4);  // paragraphs 0 and 1
    e.text.SetIndents(-1000, 200, 65000);
    EXPECT_EQ(e.Par(0)->leftIndent, 200);
    EXPECT_EQ(e.Par(1)->firstIndent, 100);
    EXPECT_EQ(e.Par(2)->leftIndent, 0);
    e.text.SetAlignment(2);
    EXPECT_EQ(e.Par(1)->alignment, 2);
    EXPECT_EQ(e.Par(2)->alignment, 0);
    e.text.SetSpacing(0, 200, -1000, -1000);  // 10 px before
    EXPECT_EQ(e.Par(0)->lines->height, 20);
    EXPECT_EQ(e.Par(2)->lines->top, 40);
    e.text.SetSpacing(1, 200, 0, 0);  // adds
    EXPECT_EQ(e.Par(1)->spaceBefore, 400);
}

TEST(ParagraphFormat, BordersTabsShading) {
    Engine e("ab\rcd", 400);
    e.text.SetBorders(kBorderOn | kBorderBox, 40, 17, 2);
    std::uint32_t b = e.Par(0)->border;
    EXPECT_EQ(b & 0xFFFF, kBorderOn | kBorderBox);
    EXPECT_EQ(BorderWidthByte(b), 2u);
    EXPECT_EQ(BorderColorNibble(b), 15u);  // 17 is beyond the 4-bit field: the largest colour
    EXPECT_EQ(BorderSpacingNibble(b), 2u);
    // A different border below: the upper one ends its group.
    e.Place(4);
    e.text.SetBorders(kBorderOn | kBorderTop, 20, 0, 0);
    EXPECT_TRUE(e.Par(0)->border & kBorderGroupEnd);
    e.text.SetTabs(0b101, true);
    EXPECT_TRUE(e.Par(1)->HasTab(0) && e.Par(1)->HasTab(2) && !e.Par(1)->HasTab(1));
    e.text.SetTabs(0b1, false);
    EXPECT_FALSE(e.Par(1)->HasTab(0));
    e.text.SetShading(0x21, 60);
    EXPECT_EQ(e.Par(1)->shadingPct, 60);
}

TEST(ParagraphFormat, NumberingTextIsGeneratedAndRemoved) {
    struct Case { int style; std::vector<std::string> texts; } cases[] = {
        {lsNumbers, {"1.\tab", "2.\tcd", "3.\tef"}},
        {lsLetters, {"a)\tab", "b)\tcd", "c)\tef"}},
        {lsCapitalRoman, {"I\tab", "II\tcd", "III\tef"}},
        {lsBullet, {"\xB7\tab", "\xB7\tcd", "\xB7\tef"}},
        {lsNone, {"ab", "cd", "ef"}},
    };
    for (const auto& c : cases) {
        Engine e("ab\rcd\ref", 400);
        e.text.SetSelPosLen(0, 7);
        e.text.SetNumbering(c.style, 0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(e.text.ParagraphText(e.Par(i)), c.texts[static_cast<std::size_t>(i)]) << c.style;
    }
    // Removing the numbering of one paragraph takes its text away; the rest renumber.
    Engine e("ab\rcd\ref", 400);
    e.text.SetSelPosLen(0, 7);
    e.text.SetNumbering(lsNumbers, 0);
    e.text.DropSelection();
    e.text.cursor = {e.Par(0), e.Par(0)->lines, 3};
    e.text.SetNumbering(0, 0);
    EXPECT_EQ(e.text.ParagraphText(e.Par(0)), "ab");
    EXPECT_EQ(e.text.cursor.pos, 0);
    EXPECT_EQ(e.text.ParagraphText(e.Par(1)), "1.\tcd");
    // Enter in a numbered paragraph renumbers the ones below.
    e.text.cursor = {e.Par(1), e.Par(1)->lines, 5};
    e.text.InputString("\r");
    EXPECT_EQ(e.text.ParagraphText(e.Par(2)), "2.\t");
    EXPECT_EQ(e.text.ParagraphText(e.Par(3)), "3.\tef");
}

TEST(ParagraphFormat, NumbersFollowChangesToTheParagraphList) {
    Engine e("ab\rcd\ref", 400);
    e.text.SetSelPosLen(0, 7);
    e.text.SetNumbering(lsNumbers, 0);
    e.text.DropSelection();
    // Joining the second paragraph into the first: "ef" becomes number 2.
    e.text.cursor = {e.Par(0), e.Par(0)->lines, e.Par(0)->lines->Length()};
    e.text.InputString("\x7f");
    EXPECT_EQ(e.text.ParagraphCount(), 2);
    EXPECT_EQ(e.text.ParagraphText(e.Par(0)), "1.\tabcd");
    EXPECT_EQ(e.text.ParagraphText(e.Par(1)), "2.\tef");
    // A selection over a paragraph end does the same.
    Engine f("ab\rcd\ref\rgh", 400);
    f.text.SetSelPosLen(0, 12);
    f.text.SetNumbering(lsRoman, 0);
    int start = f.text.AbsolutePosition({f.Par(0), f.Par(0)->lines, f.Par(0)->lines->Length()});
    f.text.SetSelPosLen(start, 1);
    f.text.DeleteSelection();
    EXPECT_EQ(f.text.ParagraphText(f.Par(0)), "i\tabcd");
    EXPECT_EQ(f.text.ParagraphText(f.Par(1)), "ii\tef");
    EXPECT_EQ(f.text.ParagraphText(f.Par(2)), "iii\tgh");
}

TEST(ParagraphFormat, TypedStringWithEnterRenumbersAtOnce) {
    Engine e("ab\rcd", 400);
    e.text.SetSelPosLen(0, 5);
    e.text.SetNumbering(lsNumbers, 0);
    e.text.DropSelection();
    e.text.cursor = {e.Par(0), e.Par(0)->lines, e.Par(0)->lines->Length()};
    e.text.InputString("x\ry");  // more than one character: the caller repaints
    EXPECT_EQ(e.All(), "1.\tabx|2.\ty|3.\tcd");
    EXPECT_FALSE(e.text.FullReformatPending);
}

TEST(ParagraphFormat, ListStyleCodesMapToFormatterKinds) {
    struct Case { int style; std::string first; } cases[] = {
        {lsNone, ""}, {lsBullet, "\xB7"}, {lsNumbers, "1."}, {lsCapitalLetters, "A)"},
        {lsLetters, "a)"}, {lsCapitalRoman, "I"}, {lsRoman, "i"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatNumber(NumberingKind(c.style), 1), c.first) << c.style;
}

// --- tables and objects ----------------------------------------------------------------

TEST(Tables, InsertEditAndDeleteAcrossCells) {
    Engine e("ab", 400);
    e.Place(2);
    ASSERT_TRUE(e.text.InsertTableAtCursor(2, 2, true));
    EXPECT_EQ(e.text.ParagraphCount(), 5);
    EXPECT_TRUE(e.text.cursor.par->IsCell());
    // No table inside a table.
    EXPECT_FALSE(e.text.InsertTableAtCursor(1, 1, false));
    // Enter inside a cell breaks the line.
    Script(e, "t:x enter t:y");
    EXPECT_EQ(e.text.ParagraphText(e.Par(1)), "x\ny");
    EXPECT_EQ(e.Lines(1).size(), 2u);
    e.text.cursor = {e.Par(2), e.Par(2)->lines, 0};
    Script(e, "t:zz");
    // A selection over parts of cells empties them but keeps the cells; its
    // end, in another cell, takes that whole cell.
    int start = e.text.AbsolutePosition({e.Par(1), e.Par(1)->lines->next, 0});
    e.text.SetSelPosLen(start, 3);
    e.text.InputString("\x7f");
    EXPECT_EQ(e.text.ParagraphCount(), 5);
    EXPECT_EQ(e.text.ParagraphText(e.Par(1)), "x\n");
    EXPECT_EQ(e.text.ParagraphText(e.Par(2)), "");
    // Backspace at a cell's start does not join cells.
    e.text.DropSelection();
    e.text.cursor = {e.Par(2), e.Par(2)->lines, 0};
    Script(e, "bs");
    EXPECT_EQ(e.text.ParagraphCount(), 5);
}

TEST(Objects, InsertObjectAtCursor) {
    Engine e("ab", 400);
    EXPECT_THROW(e.text.InsertObjectAtCursor(nullptr, 0, 100, 100), ERichTextError);
    e.Place(1);
    auto pic = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, "BM", 4, 4);
    e.text.InsertObjectAtCursor(pic, -1, 400, 200);  // 20 x 10 px
    TLine* l = e.Par(0)->lines;
    ASSERT_EQ(l->text, std::string("a\x01" "b"));
    const TJDCharAttr& a = l->attrs[1];
    EXPECT_TRUE(a.style & kStyleObject);
    EXPECT_EQ(a.width, 20);
    TJDObjectRecord* rec = e.text.ObjectForCharTag(a.tag);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->object, pic);
    EXPECT_EQ(rec->width, 400);
    EXPECT_EQ(e.text.cursor.pos, 2);
    // Typing afterwards gives plain text.
    EXPECT_FALSE(e.text.currentAttr.style & kStyleObject);
    std::uint16_t tag = a.tag;
    Script(e, "t:c");
    EXPECT_FALSE(e.Par(0)->lines->attrs[2].style & kStyleObject);
    // Selecting by tag finds the character.
    e.text.SelectObjectChars(tag, 0);
    int start, len;
    ASSERT_TRUE(e.text.GetSelection(start, len));
    EXPECT_EQ(start, 1);
    EXPECT_EQ(len, 1);
}

TEST(Selection, GetSelectedCharsCopiesParagraphEndsAsCr) {
    Engine e("ab\rcd", 400);
    e.text.SetSelPosLen(1, 3);
    char buf[16];
    TJDCharAttr entries[16];
    EXPECT_EQ(e.text.GetSelectedChars(buf, entries, 16), 3);
    EXPECT_STREQ(buf, "b\rc");
    EXPECT_EQ(e.text.GetSelectedChars(nullptr, nullptr, 0), 3);
    // The count includes the terminating NUL.
    EXPECT_EQ(e.text.GetSelectedChars(buf, entries, 3), 2);
    EXPECT_STREQ(buf, "b\r");
    e.text.DropSelection();
    EXPECT_EQ(e.text.GetSelectedChars(buf, entries, 16), 0);
}

TEST(Selection, SelStartAndLengthGivenSeparately) {
    Engine e("abcdef", 400);
    e.text.SetSelStart(2);
    int s, l;
    EXPECT_FALSE(e.text.GetSelection(s, l) && l > 0);
    e.text.SetSelLength(3);
    ASSERT_TRUE(e.text.GetSelection(s, l));
    EXPECT_EQ(s, 2);
    EXPECT_EQ(l, 3);
    e.text.SetSelPosLen(1, 0);
    EXPECT_FALSE(e.text.HasSelection());
}

TEST(Loading, LoadedTextIsLaidOutAndEditable) {
    Engine e("old", 41);
    e.text.insertSelection = TThreeState::tsFALSE;  // replace the whole text
    e.text.LoadFromString("{\\rtf1 {\\b aaa} bbb ccc\\par second}");
    EXPECT_EQ(e.All(), "aaa bbb ccc|second");
    EXPECT_EQ(e.Lines(0).size(), 2u);  // wrapped at the window
    EXPECT_EQ(e.Par(1)->lines->top, 20);
    // The cursor stands at the start and takes the first character's look.
    EXPECT_EQ(State(e), "^aaa bbb ccc|second");
    EXPECT_TRUE(e.text.currentAttr.style & kStyleBold);
    Script(e, "t:x");
    EXPECT_EQ(e.text.ParagraphText(e.Par(0)), "xaaa bbb ccc");
}

}  // namespace
}  // namespace richtext::testing
