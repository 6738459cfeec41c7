#include "richtext/model/rtf_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/imaging/graphic.h"

namespace {

using namespace richtext;

void Type(TJDRTFText& m, TLine* line, const std::string& s) {
    for (char c : s) m.InsertChar(line, static_cast<unsigned char>(c), m.currentAttr);
}

TEST(TextModel, EmptyDocumentIsOneParagraphWithOneEmptyLine) {
    TJDRTFText m;
    ASSERT_NE(m.FirstParagraph(), nullptr);
    EXPECT_EQ(m.FirstParagraph()->next, nullptr);
    ASSERT_NE(m.FirstParagraph()->lines, nullptr);
    EXPECT_EQ(m.FirstParagraph()->lines->next, nullptr);
    EXPECT_EQ(m.FirstParagraph()->lines->Length(), 0);
    EXPECT_EQ(m.TextLength(), 0);
    // Clearing a filled text gives the same shape back and tells the owner.
    int changes = 0;
    m.services.OnChange = [&](void*) { ++changes; };
    Type(m, m.FirstParagraph()->lines, "abc");
    m.NewParagraph(m.FirstParagraph());
    m.ClearText();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(m.ParagraphCount(), 1);
    EXPECT_EQ(m.TextLength(), 0);
}

TEST(TextModel, LineLengthLimitAndModelErrors) {
    TJDRTFText m;
    TLine* l = m.FirstParagraph()->lines;
    Type(m, l, std::string(kMaxLineLength, 'x'));
    EXPECT_EQ(l->Length(), kMaxLineLength);
    try {
        m.InsertChar(l, 'y', m.currentAttr);
        FAIL() << "the 10001st character was accepted";
    } catch (const ERichTextError& e) {
        EXPECT_STREQ(e.what(), "Line longer then\t10000 character!");
    }
    EXPECT_EQ(l->Length(), kMaxLineLength);
    EXPECT_THROW(TJDRTFText::LastLine(nullptr), ERichTextError);
    EXPECT_THROW(m.AttribPtr(l, kMaxLineLength), ERichTextError);
    TJDRTFText plain(TJDMemoryFormat::fmPlainText);
    Type(plain, plain.FirstParagraph()->lines, "ab");
    EXPECT_TRUE(plain.FirstParagraph()->lines->attrs.empty());  // plain text carries no attributes
    try {
        plain.AttribPtr(plain.FirstParagraph()->lines, 0);
        FAIL();
    } catch (const ERichTextError& e) {
        EXPECT_STREQ(e.what(), "Error AttribPtr()");
    }
}

TEST(TextModel, InsertCharHandlesLineBreaksAndObjects) {
    TJDRTFText m;
    int provided = 0;
    m.services.OnProvideObject = [&](void*, std::uint16_t id, std::shared_ptr<plat::TGraphic>& g) {
        ++provided;
        g = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Unknown, "x", 1, 1);
        EXPECT_EQ(id, 1);
    };
    TLine* l = m.FirstParagraph()->lines;
    m.InsertChar(l, 'a', m.currentAttr);
    m.InsertChar(l, 13, m.currentAttr);
    m.InsertChar(l, 10, m.currentAttr);
    m.InsertChar(l, 1010, m.currentAttr);
    m.pendingObjectWidth = 300;
    m.InsertChar(l, 1, m.currentAttr);
    EXPECT_EQ(l->text, std::string("a\n\x01"));
    EXPECT_EQ(l->attrs[2].style & kStyleObject, kStyleObject);
    TJDObjectRecord* rec = m.ObjectForCharTag(l->attrs[2].tag);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->id, 1);
    EXPECT_EQ(rec->width, 300);
    EXPECT_EQ(provided, 1);
    EXPECT_NE(rec->object, nullptr);
}

TEST(TextModel, FontNames) {
    TJDRTFText m;
    EXPECT_EQ(m.AddFontName("Arial"), 0);  // slot 0 holds the default font
    std::string longName(40, 'Q');
    int slot = m.AddFontName(longName);
    EXPECT_EQ(m.Header().fontNames[slot], std::string(31, 'Q'));
    EXPECT_EQ(m.AddFontName("Times New Roman"), slot + 1);
    EXPECT_EQ(m.AddFontName("times new ROMAN"), slot + 1);
    for (int i = 0; m.AddFontName("F" + std::to_string(i)) < kMaxFonts; ++i) {
    }
    EXPECT_EQ(m.AddFontName("One too many"), kMaxFonts);  // full: nothing stored
    m.ResetHeader();
    EXPECT_EQ(m.Header().fontNames[0], "Arial");
    EXPECT_TRUE(m.Header().fontNames[1].empty());
}

TEST(TextModel, NumberFormatter) {
    struct Case {
        int kind, number;
        const char* text;
    } cases[] = {
        {5, 4, "iv"},  {4, 14, "XIV"},   {5, 90, "lxxxx"}, {5, 100, ""},  {6, 123, "123."}, {6, 123456, "23456."},
        {3, 3, "c)"},  {3, 27, "aa)"},   {2, 2, "B)"},     {3, 52, "az)"}, {3, 702, ""},    {1, 9, "\xB7"},
        {0, 1, ""},    {7, 1, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.kind, c.number), c.text) << c.kind << "/" << c.number;
}

TEST(TextModel, TabStopsShareSlotsAndReportAFullTable) {
    TJDRTFText m;
    int a = m.AddTabStop(1440, TTabKind::tkLeft);
    int b = m.AddTabStop(720, TTabKind::tkRight);
    EXPECT_NE(a, b);
    EXPECT_EQ(m.AddTabStop(1440, TTabKind::tkLeft), a);
    EXPECT_EQ(m.AddTabStop(1440, TTabKind::tkAll), a);  // any kind
    int c = m.AddTabStop(1440, TTabKind::tkCenter);      // same place, other kind: own slot
    EXPECT_NE(c, a);
    // Ordered by position: 720 first.
    EXPECT_EQ(m.Header().tabOrder[0], b);
    EXPECT_EQ(m.AddTabStop(0, TTabKind::tkLeft), kNoTabSlot);
    int full = 0;
    m.Header().onTabTableFull = [&] { ++full; };
    for (int i = 0; i < kTabSlots; ++i) m.AddTabStop(3000 + i, TTabKind::tkLeft);
    EXPECT_EQ(full, 3);  // three stops found no room, each reported once
    EXPECT_EQ(m.AddTabStop(99999, TTabKind::tkLeft), kNoTabSlot);
    EXPECT_EQ(full, 4);
}

TEST(TextModel, SnapToGridAndResolution) {
    TJDRTFText m;
    EXPECT_EQ(m.SnapToGrid(100), 100);  // no device yet
    m.SetResolution(96, 96);
    EXPECT_EQ(m.SnapToGrid(100), 144);
    EXPECT_EQ(m.SnapToGrid(-360), -288);
    EXPECT_EQ(m.Header().textWidth, (12240 - 1880 - 1880) * 96 / 1440);
    EXPECT_EQ(m.Header().textHeight, (15840 - 2880) * 96 / 1440);
    m.Header().metricInch = false;
    EXPECT_EQ(m.SnapToGrid(100), 141);
}

TEST(TextModel, ObjectsAndFootnotes) {
    TJDRTFText m;
    TJDObjectRecord* a = m.AddObject(nullptr, 0);
    TJDObjectRecord* b = m.AddObject(nullptr, 0xFFFF);
    TJDObjectRecord* c = m.AddObject(nullptr, 0xFFFF);
    TJDObjectRecord* d = m.AddObject(nullptr, 7);
    EXPECT_EQ(a->id, 1);
    EXPECT_EQ(a->tag, 0);
    EXPECT_EQ(b->tag, 2000);
    EXPECT_EQ(c->tag, 2001);
    EXPECT_EQ(d->id, 4);
    EXPECT_EQ(m.FindObject(7, 0), d);
    EXPECT_EQ(m.FindObject(0, 2), b);
    EXPECT_EQ(m.FindObject(0, 0), nullptr);
    EXPECT_EQ(m.ObjectForCharTag(1), a);
    EXPECT_EQ(m.ObjectForCharTag(2000), b);
    c->fileName = "Pic.BMP";
    EXPECT_EQ(m.FindObjectByName("pic.bmp"), c);
    m.ClearObjectMarks();
    b->inUse = 1;
    m.RemoveUnmarkedObjects();
    ASSERT_EQ(m.Objects().size(), 1u);
    EXPECT_EQ(m.Objects()[0]->tag, 2000);

    TJDFootnote* f1 = m.AddFootnote('#', 0);
    TJDFootnote* f2 = m.AddFootnote('K', 3);
    EXPECT_EQ(f1->id, 1);
    EXPECT_EQ(f2->id, 2);
    EXPECT_EQ(m.FindFootnote(2), f2);
    EXPECT_EQ(m.FindFootnote(0), f1);
    EXPECT_EQ(m.FindFootnote(9), nullptr);
    m.ClearFootnotes();
    EXPECT_TRUE(m.Footnotes().empty());
}

TEST(TextModel, NamedEntries) {
    TJDRTFText m;
    EXPECT_EQ(m.RegisterName("FirstTopicName"), 1);
    EXPECT_EQ(m.RegisterName("Second"), 2);
    EXPECT_EQ(m.RegisterName("firsttopXYZ"), 1);  // the first 8 characters decide, without case
    int n = 0;
    std::string full;
    ASSERT_TRUE(m.LookupName("FIRSTTOP", n, full));
    EXPECT_EQ(n, 1);
    EXPECT_EQ(full, "FirstTopicName");
    ASSERT_TRUE(m.LookupNumber(2, full));
    EXPECT_EQ(full, "Second");
    EXPECT_FALSE(m.LookupName("nothing", n, full));
}

TEST(TextModel, SplitJoinAndText) {
    TJDRTFText m;
    TParagraph* p = m.FirstParagraph();
    Type(m, p->lines, "hello world");
    p->leftIndent = 720;
    p->flags = kParPageBreak;
    TParagraph* q = m.SplitParagraph(p, 5);
    EXPECT_EQ(m.ParagraphText(p), "hello");
    EXPECT_EQ(m.ParagraphText(q), " world");
    EXPECT_EQ(q->leftIndent, 720);
    EXPECT_EQ(q->flags & kParPageBreak, 0);  // the break stays before the first part
    EXPECT_EQ(m.ParagraphCount(), 2);
    EXPECT_EQ(m.GetText(p, 3, 5), "lo\r w");
    EXPECT_EQ(m.GetText(p, 6, 3), " wo");  // position 5 is the paragraph end
    EXPECT_EQ(m.TextLength(), 12);
    EXPECT_EQ(m.ParagraphIndex(q), 1);
    EXPECT_TRUE(m.JoinAtParagraphEnd(p));
    EXPECT_EQ(m.ParagraphText(p), "hello world");
    EXPECT_EQ(m.ParagraphCount(), 1);
    EXPECT_EQ(p->lines->attrs.size(), 11u);
    EXPECT_FALSE(m.JoinAtParagraphEnd(p));  // nothing follows

    // Replace, insert and delete paragraphs by index.
    m.InsertParagraphAt(1, "second");
    m.InsertParagraphAt(0, "zeroth");
    EXPECT_EQ(m.ParagraphText(m.ParagraphAt(0)), "zeroth");
    EXPECT_EQ(m.ParagraphText(m.ParagraphAt(2)), "second");
    m.ReplaceParagraphText(2, "2nd");
    EXPECT_EQ(m.ParagraphText(m.ParagraphAt(2)), "2nd");
    m.DeleteParagraphAt(0);
    EXPECT_EQ(m.ParagraphText(m.FirstParagraph()), "hello world");
    m.ReplaceInLine(m.FirstParagraph()->lines, 6, 100, "there", nullptr);
    EXPECT_EQ(m.ParagraphText(m.FirstParagraph()), "hello there");
}

TEST(TextModel, InsertParagraphList) {
    struct Case {
        std::vector<std::string> list;
        std::vector<std::string> result;
    } cases[] = {
        {{"XY"}, {"heXYllo", "world"}},
        {{"X", "Y"}, {"heX", "Yllo", "world"}},
        {{"X", "mid", "Y"}, {"heX", "mid", "Yllo", "world"}},
        {{""}, {"hello", "world"}},
    };
    for (const Case& c : cases) {
        TJDRTFText m;
        Type(m, m.FirstParagraph()->lines, "hello");
        Type(m, m.NewParagraph(m.FirstParagraph())->lines, "world");
        TJDRTFText src;
        TParagraph* p = src.FirstParagraph();
        for (std::size_t i = 0; i < c.list.size(); ++i) {
            if (i) p = src.NewParagraph(p);
            Type(src, p->lines, c.list[i]);
        }
        TParagraph* list = src.DetachParagraphs();
        EXPECT_EQ(src.ParagraphCount(), 1);
        ASSERT_TRUE(m.InsertParagraphList(m.FirstParagraph(), m.FirstParagraph()->lines, 2, list));
        std::vector<std::string> got;
        for (TParagraph* q = m.FirstParagraph(); q; q = q->next) {
            got.push_back(m.ParagraphText(q));
            int n = 0;
            for (TLine* l = q->lines; l; l = l->next) n += l->Length() - static_cast<int>(l->attrs.size());
            EXPECT_EQ(n, 0);  // attributes stay parallel to the characters
            if (q->next) {
                EXPECT_EQ(q->next->prev, q);
            }
        }
        EXPECT_EQ(got, c.result);
    }
    TJDRTFText m;
    TParagraph* cell = m.CreateTable(m.FirstParagraph(), 1, 1, 0, 0, 0);
    TJDRTFText src;
    TParagraph* list = src.DetachParagraphs();
    EXPECT_FALSE(m.InsertParagraphList(cell, cell->lines, 0, list));  // never inside a table cell
    m.InsertParagraphList(m.FirstParagraph(), m.FirstParagraph()->lines, 0, list);  // taken over, freed with m
}

// Random edits of every kind that relinks paragraphs or lines, against a
// list of paragraph texts: after each one the chain is sound (links both ways,
// attributes beside every character, the kept count true) and reads back as
// the list, by walking and by index.
TEST(TextModel, RandomEditsKeepTheChainSoundAndTheText) {
    for (TJDMemoryFormat format : {TJDMemoryFormat::fmRichText, TJDMemoryFormat::fmPlainText}) {
        SCOPED_TRACE(format == TJDMemoryFormat::fmRichText ? "rich" : "plain");
        TJDRTFText m(format);
        std::vector<std::string> want{""};
        std::mt19937 random(61);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        auto word = [&] {
            std::string w;
            for (int n = pick(0, 6); n > 0; --n) w.push_back(static_cast<char>('a' + pick(0, 25)));
            return w;
        };
        for (int step = 0; step < 600; ++step) {
            const int count = static_cast<int>(want.size());
            const int i = pick(0, count - 1);
            TParagraph* par = m.ParagraphAt(i);
            ASSERT_NE(par, nullptr);
            const int firstLength = par->lines->Length();
            const int op = pick(0, 8);
            SCOPED_TRACE("step " + std::to_string(step) + ", edit " + std::to_string(op));
            switch (op) {
            case 0: {
                const std::string w = word();
                Type(m, TJDRTFText::LastLine(par), w);
                want[i] += w;
                break;
            }
            case 1: {
                const std::string w = word();
                Type(m, m.NewLineAfter(par, TJDRTFText::LastLine(par)), w);
                want[i] += w;
                break;
            }
            case 2: {
                const int pos = pick(0, static_cast<int>(want[i].size()));
                m.SplitParagraph(par, pos);
                want.insert(want.begin() + i + 1, want[i].substr(pos));
                want[i].resize(pos);
                break;
            }
            case 3:
                if (m.JoinAtParagraphEnd(par)) {
                    want[i] += want[i + 1];
                    want.erase(want.begin() + i + 1);
                } else {
                    ASSERT_EQ(i, count - 1);
                }
                break;
            case 4: {
                const int at = pick(0, count + 1);
                const std::string w = word();
                m.InsertParagraphAt(at, w);
                want.insert(want.begin() + std::min(at, count), w);
                break;
            }
            case 5:
                m.DeleteParagraphAt(i);
                want.erase(want.begin() + i);
                if (want.empty()) want.push_back("");
                break;
            case 6: {
                const int pos = pick(0, firstLength);
                const int remove = pick(0, firstLength - pos);
                const std::string w = word();
                m.ReplaceInLine(par->lines, pos, remove, w, nullptr);
                want[i].replace(pos, remove, w);
                break;
            }
            case 7: {
                TJDRTFText src(format);
                std::vector<std::string> list;
                TParagraph* q = src.FirstParagraph();
                for (int n = pick(1, 3); n > 0; --n) {
                    if (!list.empty()) q = src.NewParagraph(q);
                    list.push_back(word());
                    Type(src, q->lines, list.back());
                }
                const int pos = pick(0, firstLength);
                ASSERT_TRUE(m.InsertParagraphList(par, par->lines, pos, src.DetachParagraphs()));
                const std::string tail = want[i].substr(pos);
                want[i] = want[i].substr(0, pos) + list.front();
                want.insert(want.begin() + i + 1, list.begin() + 1, list.end());
                want[i + list.size() - 1] += tail;
                break;
            }
            case 8: {
                TLine* last = TJDRTFText::LastLine(par);
                if (last == par->lines) break;
                want[i].resize(want[i].size() - last->text.size());
                m.DeleteLine(par, last);
                break;
            }
            }
            ASSERT_TRUE(m.StructureSound());
            ASSERT_EQ(m.ParagraphCount(), static_cast<int>(want.size()));
            int k = 0;
            for (TParagraph* p = m.FirstParagraph(); p; p = p->next, ++k) ASSERT_EQ(m.ParagraphText(p), want[k]);
            const int probe = pick(0, static_cast<int>(want.size()) - 1);
            ASSERT_EQ(m.ParagraphText(m.ParagraphAt(probe)), want[probe]);
        }
    }
}

TEST(TextModel, DeletingTheLastLineKeepsOneParagraph) {
    TJDRTFText m;
    Type(m, m.FirstParagraph()->lines, "x");
    m.DeleteLine(m.FirstParagraph(), m.FirstParagraph()->lines);
    ASSERT_NE(m.FirstParagraph(), nullptr);
    EXPECT_EQ(m.FirstParagraph()->lines->Length(), 0);
    TParagraph* second = m.NewParagraph(m.FirstParagraph());
    m.DeleteLine(second, second->lines);  // a paragraph that loses its only line goes
    EXPECT_EQ(m.ParagraphCount(), 1);
}

TEST(TextModel, CreateTableFlags) {
    TJDRTFText m;
    TParagraph* first = m.CreateTable(m.FirstParagraph(), 2, 3, kBorderOn | kBorderBox, 40, 0);
    ASSERT_NE(first, nullptr);
    std::vector<std::uint8_t> flags;
    for (TParagraph* p = first; p; p = p->next) flags.push_back(p->flags);
    const std::uint8_t c = kParTableCell, f = kParCellFollows, n = kParNotFirstCell;
    EXPECT_EQ(flags, (std::vector<std::uint8_t>{std::uint8_t(c | f), std::uint8_t(c | f | n), std::uint8_t(c | n),
                                                  std::uint8_t(c | f), std::uint8_t(c | f | n), std::uint8_t(c | n)}));
    EXPECT_EQ(first->cellStart, 0);
    EXPECT_EQ(first->next->cellStart, first->cellWidth);
    EXPECT_FALSE(m.JoinAtParagraphEnd(first));  // a cell end cannot be deleted
}

TEST(TextModel, ProtectionTestRefusesAndReports) {
    TJDRTFText m;
    std::string run;
    std::uint16_t tag = 0;
    int calls = 0;
    m.services.OnProtectedChange = [&](void*, const std::string& t, std::uint16_t g) {
        run = t;
        tag = g;
        ++calls;
    };
    TLine* l = m.FirstParagraph()->lines;
    Type(m, l, "ab");
    m.currentAttr.style = kStyleInsertPoint;
    m.currentAttr.tag = 12;
    Type(m, l, "IP");
    m.currentAttr = TJDCharAttr{};
    Type(m, l, "c");
    m.protectedProp = ProtectBit(TProtectProps::ppIsInsertpoint);
    EXPECT_TRUE(m.ProtectionTest(m.FirstParagraph(), l, 0));
    EXPECT_FALSE(m.ProtectionTest(m.FirstParagraph(), l, 3));
    EXPECT_EQ(run, "IP");
    EXPECT_EQ(tag, 12);
    EXPECT_FALSE(m.ProtectionTest(m.FirstParagraph(), l, 2, true));
    EXPECT_EQ(calls, 1);  // quiet tests report nothing
    m.editInsertPoints = true;
    EXPECT_TRUE(m.ProtectionTest(m.FirstParagraph(), l, 3));
    m.FirstParagraph()->flags |= kParProtected;
    m.protectedProp |= ProtectBit(TProtectProps::ppParProtected);
    EXPECT_FALSE(m.ProtectionTest(m.FirstParagraph(), l, 0));
}

TEST(TextModel, ProgressReportsChangesOnly) {
    plat::FakeClock clock;
    plat::SetClock(&clock);
    int calls = 0;
    SetProgressCallback([&] { ++calls; });
    ProgressStart(100);
    clock.Advance(50);
    ProgressUpdate(50, 100);  // too early
    EXPECT_EQ(calls, 0);
    clock.Advance(60);
    ProgressUpdate(50, 100);
    EXPECT_EQ(CurrentProgress()->percent, 50);
    EXPECT_EQ(calls, 1);
    clock.Advance(200);
    ProgressUpdate(50, 100);  // same value: no call
    EXPECT_EQ(calls, 1);
    ProgressEnd();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(CurrentProgress(), nullptr);
    SetProgressCallback(nullptr);
    plat::SetClock(nullptr);
}

}  // namespace
