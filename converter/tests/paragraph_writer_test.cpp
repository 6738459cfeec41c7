// The paragraph and table writer on hand-made LinkData1/LinkData2 bytes.
// Expected RTF is derived from the paragraph-flag and command tables:
// controls in table order, measures times the unit, commands in place.

#include <gtest/gtest.h>

#include <string>

#include "converter/converter_strings.h"
#include "converter/rtf_writer.h"
#include "converter/topic_stream.h"
#include "converter/tests/hlp_builder.h"

namespace conv {
namespace {

using hlptest::U16;
using hlptest::U32;

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// Paragraph header: 2 unused bytes, an unused u16, the flags.
std::string Header(std::uint16_t flags) { return B({0, 0}) + U16(0) + U16(flags); }

struct Written {
    std::string rtf;
    std::uint32_t consumed = 0;
    std::uint32_t commandsLeft = 0;
};

Written Write(HelpFile& hf, const std::string& commands, const std::string& text, bool nonScrolling = false,
              bool inTable = false) {
    RtfOutput out = RtfOutput::Memory();
    const auto* t = reinterpret_cast<const std::uint8_t*>(text.data());
    auto tl = static_cast<std::uint32_t>(text.size());
    const auto* c = reinterpret_cast<const std::uint8_t*>(commands.data());
    auto cl = static_cast<std::uint32_t>(commands.size());
    Written w;
    w.consumed = WriteParagraph(hf, out, t, tl, c, cl, 0, nonScrolling, inTable);
    w.rtf = out.Text();
    w.commandsLeft = cl;
    return w;
}

void Prepare(HelpFile& hf, ConversionFlags flags) {
    hf.ownOptions.flags = flags;
    hf.state.escapedCharCount = 1;  // no line feed after the first character
    hf.state.fontCommands = {"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs20\\b0\\i0\\ul"};
}

TEST(ParagraphWriter, SettingsInTableOrder) {
    struct Case {
        const char* what;
        ConversionFlags flags;
        bool newFont;
        std::string commands;
        std::string expected;
    } cases[] = {
        {"plain", 0, false, Header(0) + B({0xFF}), "\\pard\\s0\\ql Hi"},
        // sb 12 (1 byte 0x98), li -20 (1 byte 0x58), unit 10
        {"centre, space before, left indent", 0, false, Header(0x0812) + B({0x98, 0x58, 0xFF}),
         "\\pard\\s0\\qc\\sb120\\li-200 Hi"},
        {"right wins only without centre", 0, false, Header(0x1400) + B({0xFF}), "\\pard\\s0\\keep\\qr Hi"},
        // -240 stored as 2v + 1 + 0x8000 = 0x7E21
        {"negative line spacing", 0, false, Header(0x0008) + B({0x21, 0x7E, 0xFF}), "\\pard\\s0\\ql\\sl-2400 Hi"},
        {"exact height becomes minimum", kBmpInRtf, false, Header(0x0008) + B({0x21, 0x7E, 0xFF}),
         "\\pard\\s0\\ql\\sl2400 Hi"},
        {"unit 1 with new fonts", 0, true, Header(0x0044) + B({0x98, 0x70, 0xFF}), "\\pard\\s0\\ql\\sa12\\fi-8 Hi"},
        {"skipped 0x0001 pair", 0, false, Header(0x0003) + B({0x80, 0x80, 0x82, 0xFF}), "\\pard\\s0\\ql\\sb10 Hi"},
        {"thick box", 0, false, Header(0x0100) + B({0x21, 0, 0, 0xFF}), "\\pard\\s0\\ql\\box\\brdrth Hi"},
        {"dotted bottom and left", 0, false, Header(0x0100) + B({0x8C, 0, 0, 0xFF}),
         "\\pard\\s0\\ql\\brdrb\\brdrdot\\brdrl\\brdrdot Hi"},
        {"all single borders", 0, false, Header(0x0100) + B({0x1F, 0, 0, 0xFF}),
         "\\pard\\s0\\ql\\brdrr\\brdrs\\brdrb\\brdrs\\brdrl\\brdrs\\brdrt\\brdrs\\box\\brdrs Hi"},
        // two stops: 720 (0x05A1) and right-aligned 1440 (0x4000|1440 -> 0x8B41, type 2)
        {"tab stops", 0, false, Header(0x0200) + B({0x04, 0xA1, 0x05, 0x41, 0x8B, 0x02, 0xFF}),
         "\\pard\\s0\\ql\\tx7200\\tqr\\tx14400 Hi"},
        {"centred stop", 0, false, Header(0x0200) + B({0x02, 0x41, 0x8B, 0x00, 0xFF}),
         "\\pard\\s0\\ql\\tqc\\tx14400 Hi"},
    };
    for (const Case& c : cases) {
        HelpFile hf;
        Prepare(hf, c.flags);
        hf.state.newFontFormat = c.newFont;
        Written w = Write(hf, c.commands, std::string("Hi\0", 3));
        EXPECT_EQ(w.rtf, c.expected) << c.what;
        EXPECT_EQ(w.commandsLeft, 0u) << c.what;
        EXPECT_TRUE(hf.state.warnings.empty()) << c.what;
    }
}

TEST(ParagraphWriter, NonScrollingAndTableCellOpenings) {
    HelpFile hf;
    Prepare(hf, 0);
    EXPECT_EQ(Write(hf, Header(0) + B({0xFF}), std::string("x\0", 2), true).rtf, "\\pard\\keepn\\s1\\ql x");
    EXPECT_EQ(Write(hf, Header(0) + B({0xFF}), std::string("x\0", 2), false, true).rtf, "\\pard\\intbl{\\s0\\ql x}");
}

TEST(ParagraphWriter, Commands) {
    const std::uint32_t target = ContextHash("target_topic");
    struct Case {
        const char* what;
        ConversionFlags flags;
        std::string commands;
        std::string text;
        std::string expected;
        int warning;
    } cases[] = {
        {"font change", 0, B({0x80}) + U16(1) + B({0xFF}), std::string("A\0B\0", 4),
         "A\\f1\\cf1\\fs20\\b0\\i0\\ul B", 0},
        {"font 0 behind zero bytes", 0, B({0x00, 0x80}) + U16(0) + B({0x00, 0x83, 0xFF}), std::string("A\0B\0C\0", 6),
         "A\\f0\\cf0\\fs20\\b0\\i0\\ul0 B\\tab C", 0},
        {"line and paragraph", 0, B({0x81, 0x82, 0xFF}), std::string("A\0B\0\0", 5), "A\\line\nB\\par\n", 0},
        {"illegal font", 0, B({0x80}) + U16(7) + B({0xFF}), std::string("A\0B\0", 4), "AB", 13},
        // a jump keeps its strike-through over a font change: the font
        // command is cut before its underline control
        {"jump with font change", kJumps, B({0xE3}) + U32(target) + B({0x80}) + U16(1) + B({0x89, 0xFF}),
         std::string("a\0b\0c\0d\0", 8),
         "a\\strike b\\f1\\cf1\\fs20\\b0\\i0 c\\strike0\\ul0{\\v target_topic}d", 0},
        {"popup in print mode", kJumps | kForPrint, B({0xE2}) + U32(target) + B({0x89, 0xFF}),
         std::string("a\0b\0c\0", 6), "a\\ul b\\uld0{\\v target_topic}c", 0},
        {"no-font-change jump", kJumps, B({0xE7}) + U32(target) + B({0x89, 0xFF}), std::string("a\0b\0c\0", 6),
         "a\\strike b\\strike0\\ul0{\\v %target_topic}c", 0},
        {"without Jumps the target is empty", 0, B({0xE3}) + U32(target) + B({0x89, 0xFF}),
         std::string("a\0b\0c\0", 6), "ab\\strike0\\ul0{\\v }c", 0},
        {"extended jump to window and file", kJumps,
         B({0xEB}) + U16(5 + 3 + 6) + B({0x06}) + U32(target) + std::string("sec\0f.hlp\0", 10) + B({0x89, 0xFF}),
         std::string("a\0b\0c\0", 6), "a\\strike b\\strike0\\ul0{\\v target_topic>sec@f.hlp}c", 0},
        {"window number out of range", kJumps, B({0xEB}) + U16(6) + B({0x01}) + U32(target) + B({0x05, 0x89, 0xFF}),
         std::string("a\0b\0c\0", 6), "a\\strike b\\strike0\\ul0{\\v target_topic}c", 12},
        {"short hotspot data", kJumps, B({0xE3, 0x01, 0x02}), std::string("a\0", 2), "a", 11},
        {"macro hotspot", kJumps, B({0xC8}) + U16(6) + "Exit()" + B({0x89, 0xFF}), std::string("a\0b\0c\0", 6),
         "a\\strike b\\strike0\\ul0{\\v !Exit()}c", 0},
        {"empty macro", kJumps, B({0xC8}) + U16(0) + B({0xFF}), std::string("a\0b\0", 4), "ab", 14},
        {"end without start", 0, B({0x89, 0xFF}), std::string("a\0b\0", 4), "ab", 15},
        {"picture number out of range", 0, B({0x86, 0x03, 0x00, 0x80}) + U16(0) + U16(4) + B({0xFF}),
         std::string("a\0b\0", 4), "ab", 16},
        {"button", 0, B({0x86, 0x05, 0x00, 0x80, 0x00}) + U16(0) + U16(0) + B({0x00}) + "!Go{1}" + B({0x00, 0xFF}),
         std::string("a\0b\0", 4), "a\\{button Go\\{1\\}\\}b", 0},
        {"media command", 0,
         B({0x87, 0x05, 0x00, 0x80, 0x00}) + U16(0) + U16(0) + B({0x00}) + "*10,3,+clip.avi" + B({0x00, 0xFF}),
         std::string("a\0b\0", 4), "a\\{mci  nomenu noplaybar repeat play,clip.avi\\}b", 0},
        {"embedded window keeps its reference", kEwSupport,
         B({0x88, 0x05, 0x00, 0x80, 0x00}) + U16(0) + U16(0) + B({0x00}) + "my.dll,Cls,data" + B({0x00, 0xFF}),
         std::string("a\0b\0", 4), "a\\{ewr my.dll,Cls,data\\}b", 0},
    };
    for (const Case& c : cases) {
        HelpFile hf;
        Prepare(hf, c.flags);
        hf.state.windowNames = {"main2"};
        AddKnownContextName(hf, "target_topic");
        Written w = Write(hf, Header(0) + c.commands, c.text);
        const std::string head = "\\pard\\s0\\ql ";
        EXPECT_EQ(w.rtf, head + c.expected) << c.what;
        if (c.warning) {
            ASSERT_EQ(hf.state.warnings.size(), 1u) << c.what;
            EXPECT_EQ(hf.state.warnings[0].number, c.warning) << c.what;
        } else {
            EXPECT_TRUE(hf.state.warnings.empty()) << c.what << ": " << FormatWarning(hf.state.warnings[0]);
        }
        EXPECT_EQ(w.consumed, c.text.size()) << c.what;
    }
}

TEST(ParagraphWriter, EscapingAndLineFeeds) {
    HelpFile hf;
    Prepare(hf, 0);
    EXPECT_EQ(Write(hf, Header(0) + B({0xFF}), std::string("\x80\x81\n{}\\\t\0", 8)).rtf,
              "\\pard\\s0\\ql \x80\\'81(0x0a)\\{\\}\\\\\\tab ");
    // A line feed follows the 1st, 65th, 129th ... character of the run.
    HelpFile fresh;
    fresh.ownOptions.flags = 0;
    RtfOutput out = RtfOutput::Memory();
    for (int i = 0; i < 130; ++i) WriteEscapedText(fresh, 'x', out);
    EXPECT_EQ(out.Text(), "x\n" + std::string(64, 'x') + "\n" + std::string(64, 'x') + "\n" + "x");
}

TEST(ParagraphWriter, PageReferencesAfterJumps) {
    HelpFile hf;
    Prepare(hf, kJumps | kPageLinks | kForPrint);
    AddKnownContextName(hf, "target_topic");
    // The topic loop sets a bookmark for each context entry of the file.
    hf.state.contextTable.push_back({ContextHash("target_topic"), 0});
    Written w = Write(hf, Header(0) + B({0xE3}) + U32(ContextHash("target_topic")) + B({0x89, 0xFF}),
                      std::string("a\0b\0c\0", 6));
    EXPECT_EQ(w.rtf,
              "\\pard\\s0\\ql a\\uld {\\v0  \xBBPage {\\field\\flddirty{\\*\\fldinst {GOTOBUTTON Btarget_topic}"
              "{\\field{\\*\\fldinst PAGEREF Btarget_topic}}}}}b\\uld0{\\v target_topic}c");
    // A jump to a context the file lacks has no bookmark to refer to.
    Written dead = Write(hf, Header(0) + B({0xE3}) + U32(ContextHash("nowhere")) + B({0x89, 0xFF}),
                         std::string("a\0b\0c\0", 6));
    EXPECT_EQ(dead.rtf.find("PAGEREF"), std::string::npos) << dead.rtf;
}

// A cell: its 5-byte head (column first), then a paragraph of `text`.
std::string Cell(int column, bool endParagraph) {
    return B({column, 0, 0, 0, 0}) + Header(0) + (endParagraph ? B({0x82, 0xFF}) : B({0xFF}));
}

TEST(TableWriter, FixedWidthsAndCells) {
    HelpFile hf;
    Prepare(hf, 0);
    // 2 columns, type 1: {100, gap 10}, {200, gap 20}. g = 20: \trgaph200;
    // \trleft = (10 - 2 * 10) * 10; edges from 10 - 10 = 0: 120, 340.
    const std::string head = B({2, 1}) + U16(100) + U16(10) + U16(200) + U16(20);
    struct Case {
        const char* what;
        std::string cells;
        std::string text;
        std::string body;
    } cases[] = {
        {"only column 0 ends with two cells", Cell(0, true) + B({0xFF}), std::string("x\0\0", 3),
         "\\pard\\intbl{\\s0\\ql x}\\cell\\cell"},
        {"two paragraphs in one cell", Cell(0, false) + Cell(0, true) + B({0xFF}), std::string("x\0y\0\0", 5),
         "\\pard\\intbl{\\s0\\ql x}\\pard\\intbl{\\s0\\ql y}\\cell\\cell"},
        {"both columns", Cell(0, true) + Cell(1, true) + B({0xFF}), std::string("x\0\0y\0\0", 6),
         "\\pard\\intbl{\\s0\\ql x}\\cell \\pard\\intbl{\\s0\\ql y}\\cell"},
    };
    for (const Case& c : cases) {
        std::string commands = head + c.cells + std::string(13, '\xFF');
        RtfOutput out = RtfOutput::Memory();
        WriteTable(hf, out, reinterpret_cast<const std::uint8_t*>(c.text.data()),
                   static_cast<std::uint32_t>(c.text.size()), reinterpret_cast<const std::uint8_t*>(commands.data()),
                   static_cast<std::uint32_t>(commands.size()), 0, false);
        EXPECT_EQ(out.Text(), "{\\pard\\trowd\\trgaph200\\trleft-100\\cellx1200\\cellx3400 " + c.body + "\\row\\pard}\n")
            << c.what;
    }
}

TEST(TableWriter, RelativeWidthsAndUnknownType) {
    HelpFile hf;
    Prepare(hf, 0);
    // type 0, minimum width 32767: values unchanged; one column {300, gap 40}.
    std::string commands = B({1, 0}) + U16(32767) + U16(300) + U16(40) + Cell(0, true) + std::string(14, '\xFF');
    std::string text("x\0\0", 3);
    RtfOutput out = RtfOutput::Memory();
    WriteTable(hf, out, reinterpret_cast<const std::uint8_t*>(text.data()), 3,
               reinterpret_cast<const std::uint8_t*>(commands.data()), static_cast<std::uint32_t>(commands.size()), 0,
               false);
    // one column: g is its own gap 40; \trleft (40 - 40) ; edge 40 - 20 + 300 + 40 = 360
    EXPECT_EQ(out.Text(), "{\\pard\\trowd\\trqc\\trgaph400\\trleft00\\cellx3600 \\pard\\intbl{\\s0\\ql x}\\cell\\row\\pard}\n");

    std::string bad = B({1, 7}) + std::string(20, '\0');
    RtfOutput out2 = RtfOutput::Memory();
    WriteTable(hf, out2, reinterpret_cast<const std::uint8_t*>(text.data()), 3,
               reinterpret_cast<const std::uint8_t*>(bad.data()), static_cast<std::uint32_t>(bad.size()), 0, false);
    ASSERT_EQ(hf.state.warnings.size(), 1u);
    EXPECT_EQ(hf.state.warnings[0].number, 17);
}

TEST(ParagraphWriter, TruncatedCommandsNeverReadPastTheirEnd) {
    // Every prefix of a command string full of data-carrying commands.
    const std::string full = Header(0x03FF) + B({0x98, 0x98, 0x98, 0x98, 0x98, 0x98, 0x98, 0x98, 0x98, 0x1F, 0, 0,
                                                 0x04, 0xA1, 0x05, 0x41, 0x8B, 0x02}) +
                             B({0xEB}) + U16(40) + B({0x06}) + U32(1) + "w" + B({0xC8}) + U16(200) + "Exit" +
                             B({0x86, 0x03, 0x00, 0x80}) + U16(1) + U16(0);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        HelpFile hf;
        Prepare(hf, kJumps);
        std::string cut = full.substr(0, n);
        // Heap copies so the sanitizer sees any read past the end.
        std::unique_ptr<std::uint8_t[]> c(new std::uint8_t[n + 1]);
        std::copy(cut.begin(), cut.end(), c.get());
        std::unique_ptr<std::uint8_t[]> t(new std::uint8_t[2]{'a', 'b'});
        const std::uint8_t* cp = c.get();
        const std::uint8_t* tp = t.get();
        std::uint32_t cl = static_cast<std::uint32_t>(n), tl = 2;
        RtfOutput out = RtfOutput::Memory();
        WriteParagraph(hf, out, tp, tl, cp, cl, 0, false, false);
        EXPECT_EQ(cl, 0u);
        EXPECT_LE(static_cast<std::size_t>(cp - c.get()), n);
        EXPECT_LE(static_cast<std::size_t>(tp - t.get()), 2u);
    }
}

}  // namespace
}  // namespace conv
