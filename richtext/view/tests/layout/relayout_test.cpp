// Typing re-lays out only the lines around the change; the result must be
// the layout a full pass gives, also when a change runs on down the lines.
#include <gtest/gtest.h>

#include "richtext/view/tests/layout/engine_fixture.h"

namespace richtext::testing {
namespace {

using Lines = std::vector<std::string>;

// Words of varied lengths, so that lines end at different places.
std::string Words(int count, unsigned seed) {
    static const char* const kWords[] = {"a", "to", "the", "text", "lines", "engine", "spacing", "paragraph"};
    std::string s;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += kWords[(seed >> 16) % 8];
        s += ' ';
    }
    return s;
}

Lines FullLayoutOf(Engine& e, int par) {
    e.text.FormatAll();
    return e.Lines(par);
}

// Moves the cursor to a paragraph offset.
void PutCursor(Engine& e, int offset) {
    TParagraph* p = e.Par(0);
    TLine* l = p->lines;
    while (l->next && offset >= l->Length()) {
        offset -= l->Length();
        l = l->next;
    }
    e.text.cursor = {p, l, offset};
}

TEST(Relayout, TypingGivesTheFullLayout) {
    struct TypeCase {
        const char* name;
        int at;            // paragraph offset
        std::string keys;  // typed one by one
    };
    const TypeCase cases[] = {
        {"a word grows past the margin", 300, std::string(30, 'x')},
        {"blanks pull words up", 500, "     "},
        {"a long word runs over lines", 200, std::string(400, 'w')},
        {"at the paragraph start", 0, "abc def"},
        {"at the paragraph end", 1200, " tail words"},
        {"a line feed", 640, "\n"},
        {"deleting pulls words up", 300, "\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f"},
        {"backspace over a line start", 151, "\b\b\b\b\b\b"},
        {"typing then deleting", 700, "wide words\b\b\b\x7f\x7f"},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Engine e(Words(300, 7), 151);
        ASSERT_GT(e.Lines().size(), 20u);
        PutCursor(e, std::min<int>(c.at, static_cast<int>(e.text.ParagraphText(e.Par(0)).size())));
        for (char k : c.keys) e.text.InputString(std::string(1, k == '\n' ? '\n' : k));
        Lines typed = e.Lines(0);
        std::string text = e.text.ParagraphText(e.Par(0));
        // Every line fits and the lines hold the text in order.
        std::string joined;
        for (const auto& l : typed) joined += l;
        EXPECT_EQ(joined, text);
        // The tops run on without gaps.
        std::int32_t y = e.Par(0)->lines->top;
        for (TLine* l = e.Par(0)->lines; l; l = l->next) {
            EXPECT_EQ(l->top, y);
            y += l->height;
        }
        EXPECT_EQ(typed, FullLayoutOf(e, 0));
    }
}

// A larger character makes its line taller: what follows moves down.
TEST(Relayout, ATallerCharacterMovesWhatFollows) {
    Engine e(Words(300, 3) + "\rnext", 151);
    ASSERT_GT(e.Lines(0).size(), 20u);
    PutCursor(e, 400);
    e.text.currentAttr.size = 30;
    e.text.InputString("X");
    std::int32_t typedTop = e.Par(1)->lines->top;
    e.text.FormatAll();
    EXPECT_EQ(typedTop, e.Par(1)->lines->top);
    EXPECT_GT(typedTop, 0);
}

// Text of equal words: one character more can move every line below. The
// lines far below are broken again when they come to be painted.
TEST(Relayout, ChangesRunningOnAreFinishedBeforeTheyArePainted) {
    std::string text;
    for (int i = 0; i < 1900; ++i) text += "abcd ";
    Engine e(text, 101, 100);
    const std::size_t before = e.Lines().size();
    ASSERT_GT(before, 300u);
    PutCursor(e, 2);
    e.text.InputString("x");
    TLine* pending = nullptr;
    for (TLine* l = e.Par(0)->lines; l; l = l->next)
        if (l->flags & kLineReflowPending) pending = l;
    ASSERT_NE(pending, nullptr);
    // The text is whole and in order meanwhile.
    std::string joined;
    for (const auto& l : e.Lines()) joined += l;
    EXPECT_EQ(joined, e.text.ParagraphText(e.Par(0)));
    // Painting the place finishes the lines below it.
    e.text.PaintRect(0, pending->top - e.text.TopOffset, 100, 100);
    Lines painted = e.Lines();
    for (TLine* l = e.Par(0)->lines; l; l = l->next) EXPECT_FALSE(l->flags & kLineReflowPending);
    EXPECT_EQ(painted, FullLayoutOf(e, 0));
}

}  // namespace
}  // namespace richtext::testing
