// Splitting a topic RTF into pages: both dialects (the converter's and the
// one our build writes), footnotes, title regions, help ids, jumps, colours.
#include <gtest/gtest.h>

#include "helpbuild/import_rtf.h"
#include "richtext/io/tests/rtf_lexer_cases.h"

namespace {

using build::ImportedPage;

// The head the converter writes: font and colour tables, then a style sheet
// whose heading styles carry "\keepn".
const std::string kConvHead =
    "{\\rtf1\\ansi\\deff0\\deflang1031 {\\fonttbl\n{\\f0\\fswiss Arial;}\n{\\f1\\fmodern Courier New;}\n}\n"
    "{\\colortbl\n\\red0\\green0\\blue255;\n\\red0\\green0\\blue0;\n\\red255\\green255\\blue255;\n\\red1\\green2\\blue3;\n}\n"
    "\\paperw11906 {\\stylesheet{\\f0\\fs20 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28 \\sbasedon0\\snext0 heading 1;}\n}";

// The head our build writes: the library's header with "{\ftnbj }".
const std::string kOwnHead =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f4\\fswiss Arial;}}\r\n"
    "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
    "\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1440\\margb1440 {\\ftnbj }";

std::string ConvFootnote(char letter, const std::string& value) {
    return std::string("{") + letter + "{\\footnote{" + letter + "} " + value + "}} \n";
}
std::string OwnFootnote(char letter, const std::string& value) {
    return std::string("{\\cs16\\super ") + letter + "{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super " +
           letter + "} " + value + "}}\r\n";
}

build::SplitResult Split(const std::string& rtf) {
    build::SplitResult r = build::ImportRtfTopics(rtf);
    EXPECT_EQ(r.status, build::SplitResult::Status::Ok);
    return r;
}

// The body text of a page RTF after the page header.
std::string Body(const build::SplitResult& r, const std::string& doc) {
    EXPECT_EQ(doc.compare(0, r.header.size(), r.header), 0) << doc;
    return doc.substr(r.header.size());
}

// The import scans groups with the text engine's lexer: a case group is one
// group, and a "\page" inside it (in binary data, say) splits nothing.
TEST(ImportRtf, GroupsEndWhereTheTextEngineSaysTheyDo) {
    for (const auto& c : testcases::RtfLexCases()) {
        EXPECT_EQ(build::GroupEnd(c.group, 0), c.group.size()) << c.name;
        const std::string withPage = "x" + c.group + "\\page y";
        EXPECT_EQ(build::FindPageBreaks(withPage, 0), std::vector<std::size_t>{1 + c.group.size()}) << c.name;
    }
    // Binary data that spells "\page" is data.
    EXPECT_TRUE(build::FindPageBreaks("{\\bin6 \\page }x}", 0).empty());
}

TEST(ImportRtf, SplitsOnlyAtThePageControlWord) {
    struct Case {
        const char* body;
        std::size_t pages;
    } cases[] = {
        {"one", 1},
        {"one\\page two\\page\nthree", 3},
        {"a\\pagebb b\\pagen c", 1},
        {"C:\\\\apps\\\\pager.exe \\\\page and \\{\\page\\} x", 2},  // only the last is a real \page
        {"a\\page\\page b", 3},
        {"a\\page", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        build::SplitResult r = Split(kConvHead + c.body + "}");
        EXPECT_EQ(r.pages.size(), c.pages);
    }
}

TEST(ImportRtf, FirstPageStartsAfterTheHeadGroups) {
    // The style sheet's "\keepn" is no title region.
    std::string rtf = kConvHead + ConvFootnote('$', "First") + "\\pard\\s0\\ql \\f0\\cf1 Body text\\par\n}";
    build::SplitResult r = Split(rtf);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].title, "First");
    EXPECT_TRUE(r.pages[0].fullTitle.empty());
    EXPECT_EQ(Body(r, r.pages[0].helpText), "\\pard\\s0\\ql \\f0\\cf1 Body text\\par\n}");
    EXPECT_EQ(r.header.find("stylesheet"), std::string::npos);
    EXPECT_EQ(r.header, kConvHead.substr(0, kConvHead.find("{\\colortbl")) + build::FixedColourTable());
}

TEST(ImportRtf, MissingTables) {
    EXPECT_EQ(build::ImportRtfTopics("{\\rtf1 {\\colortbl;} text}").status, build::SplitResult::Status::NoFontTable);
    EXPECT_EQ(build::ImportRtfTopics("{\\rtf1 {\\fonttbl{\\f0 Arial;}} text}").status,
              build::SplitResult::Status::NoColourTable);
    EXPECT_EQ(build::ImportRtfTopics("").status, build::SplitResult::Status::NoFontTable);
}

TEST(ImportRtf, FootnoteValues) {
    struct Case {
        std::string group;
        char letter;
        std::string value;
    } cases[] = {
        {ConvFootnote('$', "Plain title"), '$', "Plain title"},
        {OwnFootnote('$', "Own title"), '$', "Own title"},
        {"#{\\*\\footnote{#} starred}", '#', "starred"},
        {"${\\footnote bare}", '$', "bare"},  // no reference: the text after the word
        {ConvFootnote('K', "PJDropFiles;PJDropFiles un\nit"), 'K', "PJDropFiles;PJDropFiles unit"},
        {ConvFootnote('K', "one\rtwo\r\nthree"), 'K', "onetwothree"},
        {ConvFootnote('$', "Caf\\'e9 {\\b bold} \\{x\\}"), '$', "Caf\xe9 bold {x}"},
        {ConvFootnote('$', "broken \\b\nword"), '$', "broken word"},  // a control word ends at a line break
        {"{\\b Hello ${\\footnote{$} Inner}}", '$', "Inner"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        auto notes = build::FindFootnotes(c.group);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].letter, c.letter);
        EXPECT_EQ(notes[0].value, c.value);
    }
    // A footnote group that never closes is absent and leaves the page as it is.
    EXPECT_TRUE(build::FindFootnotes("text ${\\footnote{$} never closed").empty());
    // Other letters and escaped braces are no footnotes.
    EXPECT_TRUE(build::FindFootnotes("@{\\footnote{@} comment} \\${\\b x}").empty());
}

TEST(ImportRtf, FootnoteCutKeepsNeighbours) {
    std::string page = "{\\b Hello ${\\footnote{$} Inner}} after";
    ImportedPage p = build::ImportOnePage(page, "H");
    EXPECT_EQ(p.title, "Inner");
    EXPECT_EQ(p.helpText, "H{\\b Hello } after}");
}

TEST(ImportRtf, PageFieldsFromFootnotesInBothDialects) {
    struct Case {
        std::vector<std::pair<char, std::string>> notes;
        ImportedPage want;
        std::vector<std::string> left;  // footnote values that stay in the body
    };
    auto page = [](auto f) {
        ImportedPage p;
        f(p);
        return p;
    };
    std::vector<Case> cases = {
        {{{'$', "T"}, {'K', "a;b"}, {'K', "c"}, {'!', "Macro()"}, {'B', "b"}, {'A', "al"}},
         page([](ImportedPage& p) {
             p.title = "T"; p.keys = "a;b;c"; p.macroFootnote = "Macro()"; p.bFootnote = "b"; p.aFootnote = "al";
         }),
         {}},
        {{{'#', "120"}, {'#', "ctx_a"}}, page([](ImportedPage& p) { p.helpId = 120; p.contextString = "ctx_a"; }), {}},
        {{{'#', "ctx_only"}}, page([](ImportedPage& p) { p.contextString = "ctx_only"; }), {}},
        {{{'#', "Index"}, {'#', "7"}}, page([](ImportedPage& p) { p.contextString = "Index"; p.helpId = 7; }), {}},
        {{{'#', "55"}}, page([](ImportedPage& p) { p.helpId = 55; }), {}},
        // A second context string and a third "#" stay as anchors.
        {{{'#', "main"}, {'#', "anchor1"}, {'#', "anchor2"}},
         page([](ImportedPage& p) { p.contextString = "main"; }), {"anchor1", "anchor2"}},
        {{{'#', "10"}, {'#', "main"}, {'#', "anchor"}},
         page([](ImportedPage& p) { p.helpId = 10; p.contextString = "main"; }), {"anchor"}},
        {{{'+', "grp0007 : 10"}}, page([](ImportedPage& p) { p.browseName = "grp0007"; p.browseId = 10; }), {}},
        {{{'+', "7"}}, page([](ImportedPage& p) { p.browseId = 7; }), {}},
        {{{'+', "g:3"}}, page([](ImportedPage& p) { p.browseId = 3; }), {}},
        {{{'+', "grp:"}}, page([](ImportedPage& p) { p.browseName = "grp"; }), {}},
        // Neither a name with its colon nor a number: kept in the text, not dropped.
        {{{'+', "seq"}}, page([](ImportedPage&) {}), {"seq"}},
        {{{'K', "k1"}, {'K', "k2"}, {'K', "k3"}}, page([](ImportedPage& p) { p.keys = "k1;k2"; }), {"k3"}},
        {{}, page([](ImportedPage&) {}), {}},  // no "$", no "#": empty, not "Unknown"
    };
    for (bool own : {false, true}) {
        for (const Case& c : cases) {
            std::string text;
            for (auto& [letter, value] : c.notes) text += own ? OwnFootnote(letter, value) : ConvFootnote(letter, value);
            text += "\\pard Body\\par\n";
            SCOPED_TRACE(text);
            ImportedPage p = build::ImportOnePage(text, "");
            EXPECT_EQ(p.title, c.want.title);
            EXPECT_EQ(p.keys, c.want.keys);
            EXPECT_EQ(p.macroFootnote, c.want.macroFootnote);
            EXPECT_EQ(p.bFootnote, c.want.bFootnote);
            EXPECT_EQ(p.aFootnote, c.want.aFootnote);
            EXPECT_EQ(p.browseName, c.want.browseName);
            EXPECT_EQ(p.browseId, c.want.browseId);
            EXPECT_EQ(p.contextString, c.want.contextString);
            EXPECT_EQ(p.helpId, c.want.helpId);
            std::vector<std::string> left;
            for (const auto& f : build::FindFootnotes(p.helpText)) left.push_back(f.value);
            EXPECT_EQ(left, c.left);
        }
    }
}

TEST(ImportRtf, FootnotesLongerThanTheirFieldsStayInTheText) {
    const std::string k200(200, 'k'), k60(60, 'm'), name16(16, 'n');
    std::string text = ConvFootnote('K', k200) + ConvFootnote('K', k60) + ConvFootnote('B', std::string(81, 'b')) +
                       ConvFootnote('+', name16 + ":3") + ConvFootnote('$', std::string(256, 't')) + "\\pard Body\\par\n";
    ImportedPage p = build::ImportOnePage(text, "");
    EXPECT_EQ(p.keys, k200);  // the second does not fit beside it
    EXPECT_TRUE(p.bFootnote.empty());
    EXPECT_TRUE(p.browseName.empty());
    EXPECT_FALSE(p.browseId);
    EXPECT_TRUE(p.title.empty());
    std::string left;
    for (const auto& f : build::FindFootnotes(p.helpText)) left += f.letter;
    EXPECT_EQ(left, "KB+$");
    // A too long first keyword footnote leaves room for the second.
    ImportedPage q = build::ImportOnePage(ConvFootnote('K', std::string(300, 'x')) + ConvFootnote('K', "short"), "");
    EXPECT_EQ(q.keys, "short");
}

// A footnote the page cannot take as it came is named in the page's notes
// (which the import logs with the page), and the other footnotes still give
// their fields: a huge one wipes nothing.
TEST(ImportRtf, FootnotesNotTakenAsTheyCameAreNamed) {
    const std::string huge(100000, 'h');
    struct Case {
        std::string notes;       // the page's footnotes
        const char* title;       // what the page keeps
        const char* context;
        const char* keys;
        std::vector<std::string> said;  // each in one note
    } cases[] = {
        {ConvFootnote('$', "Title") + ConvFootnote('#', "ctx") + ConvFootnote('K', huge), "Title", "ctx", "",
         {"\"K\" footnote", "100000 characters"}},
        {ConvFootnote('$', huge) + ConvFootnote('#', "ctx") + ConvFootnote('K', "k"), "", "ctx", "k",
         {"\"$\" footnote", "100000 characters"}},
        {ConvFootnote('$', "Title") + ConvFootnote('#', huge) + ConvFootnote('K', "k"), "Title", "", "k",
         {"\"#\" footnote", "100000 characters"}},
        {ConvFootnote('$', "Title") + ConvFootnote('#', "ctx") + ConvFootnote('K', "k"), "Title", "ctx", "k", {}},
    };
    for (const Case& c : cases) {
        ImportedPage p = build::ImportOnePage(c.notes + "\\pard Body\\par\n", "");
        SCOPED_TRACE(c.title);
        EXPECT_EQ(p.title, c.title);
        EXPECT_EQ(p.contextString, c.context);
        EXPECT_EQ(p.keys, c.keys);
        std::string all;
        for (const std::string& n : p.notes) all += n + "\n";
        EXPECT_EQ(p.notes.empty(), c.said.empty()) << all;
        for (const std::string& s : c.said) EXPECT_NE(all.find(s), std::string::npos) << s << " in " << all;
    }
}

// A "\page" inside a footnote ends no page: it is the footnote's own text.
TEST(ImportRtf, PageWordInsideAFootnoteSplitsNothing) {
    struct Case {
        std::string body;
        std::size_t pages;
        const char* firstTitle;
    } cases[] = {
        {ConvFootnote('$', "One \\page more") + "text\\page " + ConvFootnote('$', "Two") + "x", 2, "One more"},
        {"{\\footnote \\page}a\\page b", 2, ""},
        {"{\\*\\footnote {\\page}}a", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        build::SplitResult r = Split(kConvHead + c.body + "}");
        ASSERT_EQ(r.pages.size(), c.pages);
        EXPECT_EQ(r.pages[0].title, c.firstTitle);
    }
}

// Pages whose groups are broken (a brace too many, a group or footnote left
// open) are marked and say so; whole pages, and the document's own closing
// brace on the last page, are not.
TEST(ImportRtf, PagesWithBrokenGroupsAreNamed) {
    const std::string ok1 = ConvFootnote('$', "One") + "one\\par\n";
    const std::string ok3 = ConvFootnote('$', "Three") + "{\\b three}\\par\n";
    struct Case {
        std::string second;  // the middle page
        bool damaged;
    } cases[] = {
        {ConvFootnote('$', "Two") + "two\\par\n", false},
        {"{\\b bold {\\i both}}} two\\par\n", true},
        {"{$}{\\footnote{$} Two \\par\n", true},
        {"{\\b open \\par\n", true},
        {"C:\\\\dir\\\\ \\{not a group\\}\\par\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        build::SplitResult r = Split(kConvHead + ok1 + "\\page\n" + c.second + "\\page\n" + ok3 + "}");
        ASSERT_EQ(r.pages.size(), 3u);
        EXPECT_FALSE(r.pages[0].damagedGroups);
        EXPECT_FALSE(r.pages[2].damagedGroups);
        EXPECT_EQ(r.pages[1].damagedGroups, c.damaged);
        std::string all;
        for (const std::string& n : r.pages[1].notes) all += n;
        EXPECT_EQ(all.find("groups are broken") != std::string::npos, c.damaged) << all;
    }
}

TEST(ImportRtf, TitleRegionConverterDialect) {
    std::string rtf = kConvHead + ConvFootnote('$', "Unit") +
                      "\\pard\\keepn\\s1\\ql \\f0\\cf1\\fs22\\b Unit title\\par\n"
                      "\\pard\\s0\\ql \\f0\\cf1\\fs18\\b0 Body\\par\n}";
    build::SplitResult r = Split(rtf);
    ASSERT_EQ(r.pages.size(), 1u);
    const ImportedPage& p = r.pages[0];
    // The region's closing paragraph mark goes with the region.
    EXPECT_EQ(Body(r, p.fullTitle), "\\pard\\s1\\ql \\f0\\cf1\\fs22\\b Unit title\n}");
    EXPECT_EQ(Body(r, p.helpText), "\\s0\\ql \\f0\\cf1\\fs18\\b0 Body\\par\n}");
}

TEST(ImportRtf, TitleRegionOwnDialect) {
    std::string rtf = kOwnHead + OwnFootnote('#', "10") + OwnFootnote('#', "intro") + OwnFootnote('$', "Intro") +
                      "{\\pard\\plain \\keepn \\f0 Intro title\\par \\pard }\r\n{}\r\n\\pard\\plain \\f0 Body\\par\r\n}";
    build::SplitResult r = Split(rtf);
    ASSERT_EQ(r.pages.size(), 1u);
    const ImportedPage& p = r.pages[0];
    EXPECT_EQ(Body(r, p.fullTitle), "{\\pard\\plain \\f0 Intro title}}");
    EXPECT_EQ(Body(r, p.helpText), "{}\r\n\\pard\\plain \\f0 Body\\par\r\n}");
    // Page set-up words do not travel into pages.
    EXPECT_EQ(p.helpText.find("\\paperw"), std::string::npos);
    EXPECT_EQ(p.helpText.find("ftnbj"), std::string::npos);
}

TEST(ImportRtf, TitleRegionEndsAtItsOwnLevel) {
    // An anchor and a second paragraph inside the title piece's group: their
    // "\pard" words do not end the region.
    std::string rtf = kOwnHead + OwnFootnote('#', "10") + OwnFootnote('#', "intro") +
                      "{\\pard\\plain \\keepn {\\plain\\f0 " + OwnFootnote('#', "anchor") +
                      " One\\par \\pard Two\\par}\\par \\pard }\r\n\\pard\\plain Body\\par\r\n}";
    build::SplitResult r = Split(rtf);
    ASSERT_EQ(r.pages.size(), 1u);
    const ImportedPage& p = r.pages[0];
    EXPECT_EQ(p.contextString, "intro");
    std::vector<build::RtfFootnote> left = build::FindFootnotes(p.fullTitle);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].value, "anchor");
    EXPECT_NE(p.fullTitle.find("Two\\par}"), std::string::npos) << p.fullTitle;
    EXPECT_EQ(Body(r, p.helpText), "\\pard\\plain Body\\par\r\n}");
}

TEST(ImportRtf, PageDocumentsAreBalanced) {
    std::string rtf = kConvHead + "} stray {\\b open\\page {\\i x}}}\\page last}";
    build::SplitResult r = Split(rtf);
    ASSERT_EQ(r.pages.size(), 3u);
    for (const ImportedPage& p : r.pages) {
        int depth = 0;
        for (std::size_t pos = 0; pos < p.helpText.size();) {
            build::RtfToken t = build::NextRtfToken(p.helpText, pos);
            if (t.kind == build::RtfToken::Kind::Open) ++depth;
            if (t.kind == build::RtfToken::Kind::Close) {
                --depth;
                EXPECT_TRUE(depth > 0 || t.end == p.helpText.size()) << p.helpText;
            }
            pos = t.end;
        }
        EXPECT_EQ(depth, 0) << p.helpText;
    }
}

TEST(ImportRtf, ColourMapAndRemap) {
    build::SplitResult r = Split(kConvHead + "x}");
    // blue -> 12, black -> 0, white -> 0 (kept: the fixed table has no white), other -> 0
    EXPECT_EQ(r.colourMap, (std::vector<int>{12, 0, 0, 0}));
    std::string own = "{\\rtf1{\\fonttbl{\\f0 A;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}x}";
    EXPECT_EQ(build::ImportRtfTopics(own).colourMap, (std::vector<int>{0, 9, 2}));

    std::vector<int> map = {12, 0, 9};
    std::string doc = "{\\rtf1{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\\cf0 a\\cf2 b\\cf1\\b c\\cf7 d\\cf-1 e\\cfx}";
    EXPECT_EQ(build::ConvertImportedJumps(doc, map),
              "{\\rtf1{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\\cf12 a\\cf9 b\\cf0\\b c\\cf0 d\\cf0 e\\cfx}");
}

TEST(ImportRtf, Hotspots) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"\\strike Jump\\strike0\\ul0{\\v target} after", "\\uldb Jump\\uldb0{\\v target} after"},
        {"\\ul Popup\\strike0\\ul0{\\v pop} after", "\\ul Popup\\ul0{\\v pop} after"},
        {"\\ul a\\ulnone \\strike J\\strike0\\ul0{\\v t}", "\\ul a\\ulnone \\uldb J\\uldb0{\\v t}"},
        {"\\strike A\\strike0\\ul0{\\v a} \\ul B\\strike0\\ul0{\\v b}", "\\uldb A\\uldb0{\\v a} \\ul B\\ul0{\\v b}"},
        {"no opener\\strike0\\ul0 x", "no opener\\strike0\\ul0 x"},
        {"\\strikeout \\strike0\\ul0", "\\strikeout \\strike0\\ul0"},
        // A help project's own jumps: "{\strike text}{\v target}", also across a line end.
        {"see {\\strike Jump}{\\v target} after", "see {\\uldb Jump}{\\v target} after"},
        {"{\\strike\\f1 A}\r\n{\\v a>win}", "{\\uldb\\f1 A}\r\n{\\v a>win}"},
        // Struck text without a hidden target stays struck.
        {"{\\strike gone} {\\v x}", "{\\strike gone} {\\v x}"},
        {"{\\strike gone}{\\vertalc x}", "{\\strike gone}{\\vertalc x}"},
        {"{\\strike0 a}{\\v x}", "{\\strike0 a}{\\v x}"},
        {"{\\strike open", "{\\strike open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(build::ConvertImportedJumps(c.in, {}), c.out);
    }
}

ImportedPage PageOf(const std::string& ctx, std::optional<int> id, bool titled) {
    ImportedPage p;
    p.contextString = ctx;
    p.helpId = id;
    if (titled) p.title = "t";
    return p;
}

TEST(ImportRtf, HelpIds) {
    std::vector<ImportedPage> pages = {
        PageOf("main", std::nullopt, true),   PageOf("Pop", std::nullopt, false), PageOf("own", 500, false),
        PageOf("dup", 500, true),             PageOf("", std::nullopt, false),    PageOf("twice", std::nullopt, true),
        PageOf("taken", std::nullopt, true),
    };
    pages[1].browseId = 3;  // a browse number makes a topic
    std::vector<build::ContextMapEntry> map = {{"MAIN", 300}, {"pop", 100}, {"twice", 7}, {"twice", 8}, {"taken", 500}, {"nopage", 9000}};
    build::AssignImportedHelpIds(pages, map, "");
    std::vector<std::int32_t> ids;
    std::string kinds;
    for (auto& p : pages) {
        ids.push_back(*p.helpId);
        kinds += p.topicPopup;
    }
    // Unnumbered pages count on from the largest id (9000 is in the map but no
    // page has it, so the largest page id is 500).
    EXPECT_EQ(ids, (std::vector<std::int32_t>{300, 100, 500, 550, 600, 7, 650}));
    EXPECT_EQ(kinds, "TTPTPTT");
}

// Counting on past the largest id gives free ids from 1, never one taken.
TEST(ImportRtf, HelpIdsPastTheLargestAreStillUnique) {
    struct Case {
        std::vector<std::optional<std::int32_t>> given;
        std::vector<std::int32_t> want;
    } cases[] = {
        {{INT32_MAX, std::nullopt, std::nullopt}, {INT32_MAX, 1, 2}},
        {{INT32_MAX - 60, std::nullopt, std::nullopt}, {INT32_MAX - 60, INT32_MAX - 10, 1}},
        {{INT32_MIN, INT32_MAX, 1, std::nullopt}, {INT32_MIN, INT32_MAX, 1, 2}},
    };
    for (const Case& c : cases) {
        std::vector<ImportedPage> pages;
        for (const auto& id : c.given) pages.push_back(PageOf("", id, true));
        build::AssignImportedHelpIds(pages, {}, "");
        std::vector<std::int32_t> ids;
        for (const ImportedPage& p : pages) ids.push_back(*p.helpId);
        EXPECT_EQ(ids, c.want);
    }
}

TEST(ImportRtf, ContentsTopicComesFirst) {
    std::vector<ImportedPage> pages = {PageOf("a", 40, true), PageOf("contents", 90, false), PageOf("b", 60, true)};
    build::AssignImportedHelpIds(pages, {}, "CONTENTS");
    EXPECT_EQ(*pages[1].helpId, 39);
    EXPECT_EQ(pages[1].topicPopup, "T");
    // Unnumbered pages: the contents page still ends lowest.
    std::vector<ImportedPage> fresh = {PageOf("x", std::nullopt, true), PageOf("c", std::nullopt, true)};
    build::AssignImportedHelpIds(fresh, {}, "c");
    EXPECT_EQ(*fresh[0].helpId, 50);
    EXPECT_EQ(*fresh[1].helpId, 49);
    std::vector<ImportedPage> lowest = {PageOf("x", INT32_MIN, true), PageOf("c", 5, true)};
    build::AssignImportedHelpIds(lowest, {}, "c");
    EXPECT_EQ(*lowest[1].helpId, INT32_MIN);
    EXPECT_EQ(*lowest[0].helpId, 5);
}

TEST(ImportRtf, MappedContentsTopicKeepsItsMappedId) {
    struct Case {
        std::vector<build::ContextMapEntry> map;
        std::int32_t want;
    } cases[] = {
        {{{"kxa4r4", 131192}, {"a", 98313}}, 131192},      // DEMIST's default topic
        {{{"a", 5}, {"kxa4r4", 131192}, {"kxa4r4", 7}}, 131192},  // a context mapped again keeps its first
        {{{"a", 5}}, 4},                                    // unmapped: still the lowest
    };
    for (const Case& c : cases) {
        std::vector<ImportedPage> pages = {PageOf("a", std::nullopt, true), PageOf("kxa4r4", std::nullopt, false)};
        build::AssignImportedHelpIds(pages, c.map, "KXA4R4");
        EXPECT_EQ(*pages[1].helpId, c.want);
        EXPECT_EQ(pages[1].topicPopup, "T");
    }
    // A popup would come first: the default topic still takes the lowest id.
    std::vector<ImportedPage> pages = {PageOf("pop", std::nullopt, false), PageOf("kxa4r4", std::nullopt, false)};
    build::AssignImportedHelpIds(pages, {{"pop", -5}, {"kxa4r4", 131192}}, "kxa4r4");
    EXPECT_EQ(*pages[1].helpId, -6);
}

TEST(ImportRtf, ProgressAndCancel) {
    std::vector<int> percents;
    build::SplitResult one = build::ImportRtfTopics(kConvHead + "only}", [&](std::size_t, std::size_t n, int pct) {
        percents.push_back(pct);
        EXPECT_EQ(n, 1u);
        return true;
    });
    EXPECT_EQ(one.pages.size(), 1u);
    EXPECT_EQ(percents, (std::vector<int>{0}));
    std::size_t seen = 0;
    build::SplitResult cancelled = build::ImportRtfTopics(kConvHead + "a\\page b\\page c}", [&](std::size_t i, std::size_t, int) {
        seen = i;
        return i < 1;
    });
    EXPECT_EQ(cancelled.status, build::SplitResult::Status::Cancelled);
    EXPECT_TRUE(cancelled.pages.empty());
    EXPECT_EQ(seen, 1u);
}

}  // namespace
