// Whole conversions of small generated help files: the project file, the
// footnotes of a recompilable project, the print aids of a printable
// document, split RTF files and the output names.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/shell.h"
#include "converter/topic_stream.h"
#include "converter/topic_writer.h"
#include "converter/tests/hlp_builder.h"
#include "converter/tests/source_rtf_scan.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using hlptest::U16;
using hlptest::U32;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::create_directories(dir_.path() / "out");
        std::filesystem::current_path(dir_.path() / "out");
        plat::SetDataHome((dir_.path() / "home").string());
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        plat::SetDataHome("");
    }
    std::string Read(const std::string& name) { return testsupport::ReadFileBytes(name); }
    testsupport::TempDir dir_;
    std::filesystem::path old_;
};

// A text record holding one paragraph: its text and a paragraph end.
hlptest::TopicRecordDef Paragraph(const std::string& text) {
    hlptest::TopicRecordDef r;
    r.type = 0x20;
    r.linkData1 = std::string("\x00\x80\x00", 3) + std::string("\x00\x00", 2) + U16(0) + U16(0) + "\x82\xFF";
    r.linkData2 = text + std::string("\0\0", 2);
    return r;
}

hlptest::TopicRecordDef Header(int number, const std::string& title, const std::string& macro, std::uint32_t prev,
                               std::uint32_t next) {
    hlptest::TopicRecordDef r = hlptest::TopicHeader(number, title, macro);
    r.linkData1.replace(4, 4, U32(prev));
    r.linkData1.replace(8, 4, U32(next));
    return r;
}

struct Fixture {
    std::string bytes;
    std::vector<std::uint32_t> charOffsets;
};

// Three topics: "First" (context first_ctx, keyword alpha, browse start),
// an untitled one with an entry macro, and "Third" (browse second).
// The browse keys are the character positions at the headers, so a first
// layout finds them and a second one links them.
// `replaced` gives other bytes to internal files of that name.
Fixture ThreeTopics(std::vector<std::pair<std::uint16_t, std::string>> system = {},
                    const std::map<std::string, std::string>& replaced = {}) {
    std::uint32_t key1 = 0, key3 = 0;
    hlptest::TopicLayout layout;
    for (int round = 0; round < 2; ++round) {
        std::vector<hlptest::TopicRecordDef> records = {
            Header(0, "First", "", 0xFFFFFFFF, key3), Paragraph("Hello {world}"),
            Header(1, "", "Macro()", 0xFFFFFFFF, 0xFFFFFFFF), Paragraph("Second"),
            Header(2, "Third", "", key1, 0xFFFFFFFF), Paragraph("Bye"),
        };
        layout = hlptest::BuildTopic(records, false);
        key1 = layout.charOffsets[0];
        key3 = layout.charOffsets[4];
    }
    const std::uint32_t t1 = layout.charOffsets[1];
    auto kw = hlptest::KeywordIndex({{"alpha", {t1}}, {"beta", {layout.charOffsets[5]}}});
    if (system.empty()) system = {{1, std::string("Demo\0", 5)}};
    std::string ctxomap = U16(1) + U32(42) + U32(t1);
    std::vector<hlptest::InternalFileDef> files = {
        {"|SYSTEM", hlptest::SystemFile(21, 0, system)},
        {"|TOPIC", layout.data},
        {"|CONTEXT", hlptest::ContextFile({{ContextHash("first_ctx"), t1}})},
        {"|KWBTREE", kw.btree},
        {"|KWDATA", kw.data},
        {"|CTXOMAP", ctxomap},
        {"notes.txt", "baggage bytes"},
        {"..\\evil.txt", "outside?"},
    };
    for (auto& file : files)
        if (auto it = replaced.find(file.name); it != replaced.end()) file.data = it->second;
    for (const auto& [name, data] : replaced)
        if (std::none_of(files.begin(), files.end(), [&](const auto& file) { return file.name == name; }))
            files.push_back({name, data});
    return {hlptest::BuildHelpFile(files), layout.charOffsets};
}

std::string NameOf(const std::string& bytes, const char* context) {
    auto hf = OpenHelpFileBytes(bytes, "x.hlp", 0);
    return ContextNameFromHash(*hf, ContextHash(context));
}

// The first topic's text starts at offset 0: its keywords are its own even
// when its only record is as short as one character, and the next topic,
// one character on, does not take them.
TEST_F(Conversion, FirstTopicKeepsTheKeywordsAtOffsetZero) {
    hlptest::TopicRecordDef tiny = Paragraph("");
    tiny.linkData2 = std::string("\0", 1);
    {
        const hlptest::TopicLayout layout =
            hlptest::BuildTopic({hlptest::TopicHeader(0, "One"), tiny, hlptest::TopicHeader(1, "Two"), Paragraph("Next")}, false);
        ASSERT_EQ(layout.charOffsets[1], 0u);
        ASSERT_EQ(layout.charOffsets[3], 1u);
        const std::uint32_t two = layout.charOffsets[3];
        auto kw = hlptest::KeywordIndex({{"alpha", {0}}, {"beta", {two + 2}}, {"gamma", {0}}});
        auto aw = hlptest::KeywordIndex({{"alink", {0}}});
        testsupport::WriteFileBytes(dir_.path() / "ZERO.HLP",
                                    hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                                            {"|TOPIC", layout.data},
                                                            {"|KWBTREE", kw.btree},
                                                            {"|KWDATA", kw.data},
                                                            {"|AWBTREE", aw.btree},
                                                            {"|AWDATA", aw.data}}));
        ConvertHelpFile({ApplyModeRule(0), (dir_.path() / "ZERO.HLP").string()});
        const std::string rtf = Read("ZERO.RTF");
        auto topics = ScanSourceRtf(rtf);
        ASSERT_EQ(topics.size(), 2u) << rtf;
        EXPECT_EQ(topics[0].title, "One");
        EXPECT_EQ(topics[0].kKeywords, (std::set<std::string>{"alpha", "gamma"})) << rtf;
        EXPECT_EQ(topics[1].kKeywords, std::set<std::string>{"beta"}) << rtf;
        EXPECT_NE(rtf.find("{A{\\footnote{A} alink}}"), std::string::npos) << rtf;
        EXPECT_LT(rtf.find("alink"), rtf.find("Two"));
        // The reader's own summary agrees.
        auto hf = OpenHelpFile(dir_.path() / "ZERO.HLP", 0);
        auto summary = ListTopics(*hf);
        ASSERT_EQ(summary.size(), 2u);
        EXPECT_EQ(summary[0].kKeywords, (std::vector<std::string>{"alpha", "gamma"}));
        EXPECT_EQ(summary[1].kKeywords, std::vector<std::string>{"beta"});
    }
}

// Old-format files place keywords by the record position of the topic
// header; the reader's summary and the written footnotes agree on them.
TEST_F(Conversion, HC30KeywordsFollowTheHeaderRecordPosition) {
    std::vector<hlptest::TopicRecordDef> records;
    for (int t = 0; t < 4; ++t) {
        records.push_back(hlptest::TopicHeader(t, FormatString("Old %d", t)));
        // A header's block size below 9 ends an old file's chain: the last one.
        records.back().linkData1.replace(0, 4, U32(t == 3 ? 0 : 100));
        hlptest::TopicRecordDef text = Paragraph(std::string(400, static_cast<char>('a' + t)));
        text.type = 0x01;
        text.linkData1.erase(2, 1);  // no topic length in old text records
        records.push_back(text);
        if (t == 1) records.push_back(text);  // a second text record
    }
    // Topic 3 runs over into the second 2,048-byte block.
    const hlptest::TopicLayout layout = hlptest::BuildTopic(records, false, 0, true);
    ASSERT_GT(layout.data.size(), 2048u);
    const auto& at = layout.positions;  // headers at 0, 2, 5, 7
    auto kw = hlptest::KeywordIndex({{"first", {at[0]}},
                                     {"near", {at[2] + 2, at[0] - 2}},
                                     {"far", {at[2] + 3}},       // 3 away: nobody's
                                     {"second text", {at[4]}},  // a later text record: nobody's
                                     {"last", {at[7] - 1}}});
    auto aw = hlptest::KeywordIndex({{"alink", {at[5]}}});
    testsupport::WriteFileBytes(dir_.path() / "OLD.HLP",
                                hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(15, 0, {{0, "Old"}})},
                                                        {"|TOPIC", layout.data},
                                                        {"|KWBTREE", kw.btree},
                                                        {"|KWDATA", kw.data},
                                                        {"|AWBTREE", aw.btree},
                                                        {"|AWDATA", aw.data}}));
    auto hf = OpenHelpFile(dir_.path() / "OLD.HLP", 0);
    ASSERT_TRUE(hf);
    const auto summary = ListTopics(*hf);
    ASSERT_EQ(summary.size(), 4u);
    // The last topic's text lies after the end of the chain: it gets none.
    const std::vector<std::vector<std::string>> wantK = {{"first", "near"}, {"near"}, {}, {}};
    const std::vector<std::vector<std::string>> wantA = {{}, {}, {"alink"}, {}};
    for (std::size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(summary[t].kKeywords, wantK[t]) << t;
        EXPECT_EQ(summary[t].aKeywords, wantA[t]) << t;
    }
    EXPECT_EQ(summary[3].textRecords, 0u);

    ConvertHelpFile({ApplyModeRule(0), (dir_.path() / "OLD.HLP").string()});
    const auto topics = ScanSourceRtf(Read("OLD.RTF"));
    ASSERT_EQ(topics.size(), 4u);
    for (std::size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(topics[t].title, summary[t].title);
        EXPECT_EQ(topics[t].kKeywords, std::set<std::string>(wantK[t].begin(), wantK[t].end())) << t;
    }
}

TEST_F(Conversion, RecompilableProjectFileAndFootnotes) {
    // A window record before the title: the option lines still belong
    // under [options].
    std::string window(90, '\0');
    window.replace(0, 2, U16(0x02 | 0x04 | 0x08));
    window.replace(12, 3, "sec");
    window.replace(21, 3, "Cap");
    window.replace(72, 2, U16(100));
    Fixture f0 = ThreeTopics();
    const std::uint32_t t1 = f0.charOffsets[1];
    Fixture f = ThreeTopics({{6, window},
                             {1, std::string("Demo\0", 5)},
                             {2, std::string("(c) Me\0", 7)},
                             {3, U32(t1 + 3)},
                             {5, "ICONDATA"},
                             {4, std::string("BrowseButtons()\0", 16)}});
    testsupport::WriteFileBytes(dir_.path() / "DEMO.HLP", f.bytes);
    ConversionRequest r{ApplyModeRule(0), (dir_.path() / "DEMO").string()};
    std::vector<HelpWarning> warnings;
    ConvertHelpFile(r, &warnings);
    const std::string ctx = NameOf(f.bytes, "first_ctx");
    EXPECT_EQ(Read("DEMO.HPJ"), "[options]\nCompress=FALSE\nTitle=Demo\nCopyRight=(c) Me\nContents=" + ctx +
                                    "\nICON=ICON.ICO\n\n[Config]\nBrowseButtons()\n\n[Windows]\nsec=\"Cap\",(100,,,),,,\n"
                                    "\n[Bitmaps]\n\n[Baggage]\nevil.txt\nnotes.txt\n\n[Map]\n#define " +
                                    ctx + " 42\n\n[Files]\nDEMO.RTF\n");
    EXPECT_EQ(Read("ICON.ICO"), "ICONDATA");
    EXPECT_EQ(Read("notes.txt"), "baggage bytes");
    // The hostile name became a plain file in the output folder.
    EXPECT_EQ(Read("evil.txt"), "outside?");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "evil.txt"));

    const std::string rtf = Read("DEMO.RTF");
    auto topics = ScanSourceRtf(rtf);
    // The untitled topic has no context and no title: the scan drops it.
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].title, "First");
    EXPECT_EQ(topics[0].contexts, std::vector<std::string>{ctx});
    EXPECT_EQ(topics[0].kKeywords, std::set<std::string>{"alpha"});
    EXPECT_EQ(topics[0].browse, "grp0001:1");
    EXPECT_EQ(topics[1].title, "Third");
    EXPECT_EQ(topics[1].kKeywords, std::set<std::string>{"beta"});
    EXPECT_EQ(topics[1].browse, "grp0001:2");
    // The untitled topic: no "$", but its entry macro; the first topic gets
    // no separator, every later one does.
    EXPECT_NE(rtf.find("\\page\\pard\n{!{\\footnote{!} Macro()}} \n"), std::string::npos);
    EXPECT_EQ(rtf.find("{${\\footnote{$} }}"), std::string::npos);
    std::size_t pages = 0;
    for (std::size_t at = 0; (at = rtf.find("\\page\\pard\n", at)) != std::string::npos; ++at) ++pages;
    EXPECT_EQ(pages, 2u);
    EXPECT_NE(rtf.find("Hello \\{world\\}\\par\n"), std::string::npos);
    EXPECT_EQ(rtf.back(), '}');
    // Untitled topic 1 has no context: reported once, in the writing pass.
    int noContext = 0;
    for (const auto& w : warnings) noContext += FormatWarning(w) == "Topic #1 does not have a context ID";
    EXPECT_EQ(noContext, 1);
}

TEST_F(Conversion, ConvertingTwiceGivesTheSameBytes) {
    Fixture f = ThreeTopics();
    testsupport::WriteFileBytes(dir_.path() / "DEMO.HLP", f.bytes);
    ConversionRequest r{ApplyModeRule(0), (dir_.path() / "DEMO.HLP").string()};
    ConvertHelpFile(r);
    const std::string first = Read("DEMO.RTF");
    ConvertHelpFile(r);
    EXPECT_EQ(Read("DEMO.RTF"), first);
}

// The files a conversion left in a folder of its own, its warnings and
// its progress calls.
struct Outcome {
    std::map<std::string, std::string> files;
    std::vector<std::string> warnings;
    std::vector<std::pair<int, int>> progress;
};

using Converter = std::function<void(std::vector<HelpWarning>*, std::function<void(int, int)>)>;

Outcome ConvertInto(const std::filesystem::path& folder, const Converter& convert) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path back = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    Outcome o;
    std::vector<HelpWarning> warnings;
    convert(&warnings, [&](int position, int phase) { o.progress.push_back({position, phase}); });
    std::filesystem::current_path(back);
    for (const auto& e : std::filesystem::directory_iterator(folder))
        o.files[e.path().filename().string()] = testsupport::ReadFileBytes(e.path());
    for (const HelpWarning& w : warnings) o.warnings.push_back(FormatWarning(w));
    return o;
}

// One read serves any number of conversions: a project, then a printable
// document, then a project again from the same read give what separate
// reads give, file for file, warning for warning and step for step of the
// progress, also when the tables read with the file are damaged.
TEST_F(Conversion, OneReadConvertsLikeSeparateReads) {
    std::string window(90, '\0');
    window.replace(0, 2, U16(0x02 | 0x04));
    window.replace(12, 3, "sec");
    window.replace(21, 3, "Cap");
    const std::vector<std::pair<std::uint16_t, std::string>> system = {
        {6, window}, {1, std::string("Demo\0", 5)}, {5, "ICONDATA"}};
    const struct {
        const char* name;
        std::map<std::string, std::string> replaced;
        std::vector<std::string> damaged;  // internal files a warning names
    } cases[] = {
        {"intact", {}, {}},
        {"damaged tables",
         {{"|CONTEXT", "short"}, {"|FONT", "abc"}, {"|KWBTREE", std::string(40, '\x01')}},
         {"|CONTEXT", "|FONT", "|KWBTREE"}},
    };
    plat::WritePrivateProfileString("Options", "WordProcessor", "3", "Rendlow.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path hlp = dir_.path() / c.name / "DEMO.HLP";
        std::filesystem::create_directories(hlp.parent_path());
        testsupport::WriteFileBytes(hlp, ThreeTopics(system, c.replaced).bytes);
        const ConversionRequest project{ApplyModeRule(kBrowseSequences), hlp.string()};
        const ConversionRequest document{kViewFlags, hlp.string()};

        const std::unique_ptr<HelpFileData> read = ReadHelpFile(hlp, project.flags);
        ASSERT_NE(read, nullptr);
        const ConversionRequest order[] = {project, document, project};
        std::vector<Outcome> shared, separate;
        for (std::size_t i = 0; i < std::size(order); ++i) {
            const ConversionRequest& r = order[i];
            const std::filesystem::path out = hlp.parent_path() / std::to_string(i);
            shared.push_back(ConvertInto(out / "shared", [&](auto* w, auto progress) {
                ConvertReadHelpFile(*read, r, w, std::move(progress));
            }));
            separate.push_back(ConvertInto(out / "separate", [&](auto* w, auto progress) {
                ConvertHelpFile(r, w, std::move(progress));
            }));
        }
        for (std::size_t i = 0; i < std::size(order); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(shared[i].files, separate[i].files);
            EXPECT_EQ(shared[i].warnings, separate[i].warnings);
            EXPECT_EQ(shared[i].progress, separate[i].progress);
            for (const std::string& name : c.damaged) {
                const bool named = std::any_of(shared[i].warnings.begin(), shared[i].warnings.end(),
                                               [&](const std::string& w) { return w.find(name) != std::string::npos; });
                EXPECT_TRUE(named) << name;
            }
        }
        // The two kinds of output differ, so each comparison saw its own.
        ASSERT_TRUE(separate[0].files.count("DEMO.HPJ"));
        ASSERT_TRUE(separate[0].files.count("ICON.ICO"));
        ASSERT_TRUE(separate[1].files.count("DEMO.RTF"));
        EXPECT_FALSE(separate[1].files.count("DEMO.HPJ"));
        EXPECT_NE(separate[0].files["DEMO.RTF"], separate[1].files["DEMO.RTF"]);
        EXPECT_FALSE(separate[0].warnings.empty());
        // The context table's reading still shows in the progress.
        EXPECT_EQ(std::count_if(shared[0].progress.begin(), shared[0].progress.end(),
                                [](const auto& p) { return p.second == kPhaseReadingContext; }) > 0,
                  c.damaged.empty());
    }
}

TEST_F(Conversion, PrintableDocumentWithContentsIndexAndPageReferences) {
    plat::WritePrivateProfileString("Options", "WordProcessor", "3", "Rendlow.ini");
    Fixture f = ThreeTopics();
    testsupport::WriteFileBytes(dir_.path() / "DEMO.HLP", f.bytes);
    ConversionRequest r{kViewFlags, (dir_.path() / "DEMO.HLP").string()};
    ConvertHelpFile(r);
    EXPECT_FALSE(std::filesystem::exists("DEMO.HPJ"));
    EXPECT_FALSE(std::filesystem::exists("ICON.ICO"));
    EXPECT_FALSE(std::filesystem::exists("notes.txt"));
    const std::string rtf = Read("DEMO.RTF");
    EXPECT_NE(rtf.find("{\\b\\f0\\fs40 Contents}\\par\\tqr\\tx9072{\\field\\fldedit {\\*\\fldinst TOC \\\\f}{\\fldrslt "
                       "}}\\page\\par\\pard\\plain "),
              std::string::npos);
    const std::uint32_t key1 = f.charOffsets[0];
    EXPECT_NE(rtf.find(FormatString("{\\*\\bkmkstart _%08X}{\\*\\bkmkend _%08X}{\\pard\\plain\\f0\\v{\\tc{First\\tcl1}}}\n",
                                    key1, key1)),
              std::string::npos);
    // Index entries carry bookmarks on 8-character boundaries.
    const std::uint32_t t1 = f.charOffsets[1] & ~7u;
    EXPECT_NE(rtf.find(FormatString("{\\*\\bkmkstart __%08X}{\\*\\bkmkend __%08X}{\\pard\\plain\\v\\xe {alpha}}\n", t1, t1)),
              std::string::npos);
    // The index page, filled with page references.
    const std::string index = "\\page{\\b\\f0\\fs40\\s24 Index}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h "
                              "\"\\emdash A\\emdash \" \\\\c \"2\" }}{\\fldrslt ";
    const std::size_t at = rtf.find(index);
    ASSERT_NE(at, std::string::npos);
    std::string flat;
    for (char c : rtf.substr(at + index.size()))
        if (c != '\n') flat += c;
    EXPECT_EQ(flat.rfind(FormatString("a\\'61lpha"), 0), std::string::npos);  // plain text, escaped only
    EXPECT_NE(flat.find(FormatString("alpha {\\field\\flddirty{\\*\\fldinst {GOTOBUTTON __%08X}{\\field{\\*\\fldinst "
                                     "PAGEREF __%08X}{\\fldrslt {1}}}}}\\par",
                                     t1, t1)),
              std::string::npos);
    EXPECT_EQ(flat.substr(flat.size() - 3), "}}}");
    // Print mode writes no footnotes at all.
    EXPECT_EQ(rtf.find("\\footnote"), std::string::npos);
}

TEST_F(Conversion, SplitFilesHold152TopicsEach) {
    std::vector<hlptest::TopicRecordDef> records;
    for (int i = 0; i < 153; ++i) {
        records.push_back(Header(i, "T" + std::to_string(i), "", 0xFFFFFFFF, 0xFFFFFFFF));
        records.push_back(Paragraph("x"));
    }
    auto layout = hlptest::BuildTopic(records, false);
    std::vector<hlptest::InternalFileDef> files = {{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                                   {"|TOPIC", layout.data}};
    testsupport::WriteFileBytes(dir_.path() / "LONGNAME.HLP", hlptest::BuildHelpFile(files));
    ConversionRequest r{ApplyModeRule(kSplitRtf), (dir_.path() / "LONGNAME.HLP").string()};
    ConvertHelpFile(r);
    const std::string hpj = Read("LONGNAME.HPJ");
    EXPECT_NE(hpj.find("\n[Files]\nLONGNA1.RTF\nLONGNA2.RTF\n"), std::string::npos);
    auto first = ScanSourceRtf(Read("LONGNA1.RTF"));
    auto second = ScanSourceRtf(Read("LONGNA2.RTF"));
    EXPECT_EQ(first.size(), 152u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].title, "T152");
    EXPECT_EQ(Read("LONGNA2.RTF").find("\\page"), std::string::npos);  // first topic of its file
}

TEST_F(Conversion, MissingHelpFileIsFatal) {
    ConversionRequest r{ApplyModeRule(0), (dir_.path() / "NOPE.HLP").string()};
    try {
        ConvertHelpFile(r);
        FAIL() << "no error";
    } catch (const HelpFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Can't open File " + r.path);
    }
}

TEST_F(Conversion, LocalizationFileNumbersTitlesKeywordsAndText) {
    Fixture f = ThreeTopics();
    testsupport::WriteFileBytes(dir_.path() / "DEMO.HLP", f.bytes);
    ConversionRequest r{ApplyModeRule(kLocalize), (dir_.path() / "DEMO.HLP").string()};
    ConvertHelpFile(r);
    // Next to the help file, one counter over titles, keywords and text.
    const std::string txt = testsupport::ReadFileBytes(dir_.path() / "DEMO.TXT");
    EXPECT_EQ(txt.substr(0, txt.find("Txt#00002")),
              "Ttl#00000=First\nKey#00001=alpha\n");
    EXPECT_NE(txt.find("Txt#00002=Hello {world}\n\n------------------- New topic -------------------\n"),
              std::string::npos);
    const std::string rtf = Read("DEMO.RTF");
    EXPECT_NE(rtf.find("{${\\footnote{$} Ttl#00000}} \n"), std::string::npos);
    EXPECT_NE(rtf.find("{K{\\footnote{K} Key#00001}} \n"), std::string::npos);
    EXPECT_NE(rtf.find("Txt#00002\\par\n"), std::string::npos);
    EXPECT_EQ(rtf.find("Hello"), std::string::npos);
}

// When the help file's folder does not take the localization file, it goes
// into the output folder with a warning; when neither does, the conversion
// ends with the "Can't create" message. (A folder of the file's name stands
// in for a read-only folder: it refuses the file even to root.)
TEST_F(Conversion, LocalizationFileFallsBackToTheOutputFolder) {
    Fixture f = ThreeTopics();
    testsupport::WriteFileBytes(dir_.path() / "DEMO.HLP", f.bytes);
    std::filesystem::create_directory(dir_.path() / "DEMO.TXT");
    ConversionRequest r{ApplyModeRule(kLocalize), (dir_.path() / "DEMO.HLP").string()};
    std::vector<HelpWarning> warnings;
    ConvertHelpFile(r, &warnings);
    const std::string txt = Read("DEMO.TXT");
    EXPECT_EQ(txt.substr(0, txt.find("Txt#00002")), "Ttl#00000=First\nKey#00001=alpha\n");
    EXPECT_NE(Read("DEMO.RTF").find("Txt#00002\\par\n"), std::string::npos);
    int moved = 0;
    for (const auto& w : warnings)
        if (w.number == kWarnLocalizationMoved) {
            ++moved;
            EXPECT_EQ(FormatWarning(w), "Localization file " + plat::ChangeFileExt(r.path, ".TXT") +
                                            " could not be created; written as DEMO.TXT instead");
        }
    EXPECT_EQ(moved, 1);

    // Neither place: fatal, naming the file's own place.
    std::filesystem::remove("DEMO.TXT");
    std::filesystem::create_directory("DEMO.TXT");
    try {
        ConvertHelpFile(r);
        ADD_FAILURE() << "expected a fatal error";
    } catch (const HelpFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Can't create " + plat::ChangeFileExt(r.path, ".TXT") + ".\n", 0), 0u)
            << e.what();
    }
}

TEST_F(Conversion, PictureEmbeddedInTopicTextBecomesAFile) {
    // Command 0x86, type 0x22 with embedded data: the container follows.
    const std::string container = "xy" + U16(0);  // unreadable: copied as SHG
    hlptest::TopicRecordDef r;
    r.type = 0x20;
    r.linkData1 = std::string("\x00\x80\x00", 3) + std::string("\x00\x00", 2) + U16(0) + U16(0) + "\x86\x22" +
                  U16(static_cast<std::uint16_t>(0x8000 + 2 * (container.size() + 2))) + std::string(1, '\0') + U16(1) +
                  container +
                  "\x82\xFF";
    r.linkData2 = std::string("a\0b\0\0", 5);
    auto layout = hlptest::BuildTopic({Header(0, "T", "", 0xFFFFFFFF, 0xFFFFFFFF), r}, false);
    testsupport::WriteFileBytes(dir_.path() / "EMB.HLP",
                                hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                                        {"|TOPIC", layout.data}}));
    std::vector<HelpWarning> warnings;
    ConvertHelpFile({ApplyModeRule(0), (dir_.path() / "EMB.HLP").string()}, &warnings);
    EXPECT_EQ(Read("bmw0.SHG"), container);
    EXPECT_NE(Read("EMB.RTF").find("a\\{bmcwd bmw0.SHG\\}b\\par"), std::string::npos);
}

TEST_F(Conversion, OldFormatTopicsAreNamedFromTheirNumbers) {
    std::vector<hlptest::TopicRecordDef> records;
    for (int t = 0; t < 3; ++t) {
        hlptest::TopicRecordDef h = hlptest::TopicHeader(0, FormatString("Old %d", t));
        h.linkData1.replace(0, 4, U32(t < 2 ? 100 : 4));  // a small block size ends the chain
        records.push_back(h);
        hlptest::TopicRecordDef text;
        text.type = 0x01;
        text.linkData1 = std::string("\x00\x80", 2) + std::string("\x00\x00", 2) + U16(0) + U16(0) + "\x82\xFF";
        text.linkData2 = FormatString("text %d", t) + std::string("\0\0", 2);
        records.push_back(text);
    }
    auto layout = hlptest::BuildTopic(records, false, 0, true);
    const std::string bytes =
        hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(15, 0, {{0, "Old help"}})}, {"|TOPIC", layout.data}});
    testsupport::WriteFileBytes(dir_.path() / "OLD.HLP", bytes);
    ConvertHelpFile({ApplyModeRule(0), (dir_.path() / "OLD.HLP").string()});
    EXPECT_NE(Read("OLD.HPJ").find("[options]\nCompress=FALSE\nTitle=Old help\n"), std::string::npos);
    auto topics = ScanSourceRtf(Read("OLD.RTF"));
    // The third header's block size ends the loop after it: its text is not read.
    ASSERT_EQ(topics.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(topics[t].title, FormatString("Old %d", t));
        ASSERT_EQ(topics[t].contexts.size(), 1u);
        EXPECT_EQ(ContextHash(topics[t].contexts[0]), static_cast<std::uint32_t>(t + 1 + 15));
    }
    const std::string rtf = Read("OLD.RTF");
    std::string flat;
    for (char c : rtf)
        if (c != '\n') flat += c;
    EXPECT_NE(flat.find("text 1\\par"), std::string::npos);
    EXPECT_EQ(flat.find("text 2"), std::string::npos);
}

TEST(OutputNames, FromThePath) {
    struct {
        const char* path;
        ConversionFlags flags;
        const char* help;
        const char* project;
        const char* base;
    } cases[] = {
        {"C:\\HELP\\APP", 0, "C:\\HELP\\APP.HLP", "APP.HPJ", "APP"},
        {"C:\\HELP\\APP.HLP", 0, "C:\\HELP\\APP.HLP", "APP.HPJ", "APP"},
        // a dot only in a folder name does not count
        {"/data/v1.2/app", 0, "/data/v1.2/app.HLP", "app.HPJ", "app"},
        {"LONGNAME.HLP", kSplitRtf, "LONGNAME.HLP", "LONGNAME.HPJ", "LONGNA"},
        {"my help.mvb", 0, "my help.mvb", "my help.HPJ", "my help"},
    };
    for (const auto& c : cases) {
        OutputNames n = MakeOutputNames(c.path, c.flags);
        EXPECT_EQ(n.helpPath, c.help) << c.path;
        EXPECT_EQ(n.projectFile, c.project) << c.path;
        EXPECT_EQ(n.baseName, c.base) << c.path;
    }
}

TEST(ProjectLines, WindowsAndGroups) {
    auto window = [](std::uint16_t flags) {
        std::string w(90, '\0');
        w.replace(0, 2, U16(flags));
        w.replace(12, 4, "main");
        w.replace(21, 5, "Title");
        w.replace(72, 8, U16(10) + U16(20) + U16(300) + U16(400));
        w.replace(80, 2, U16(1));
        w.replace(82, 3, "\x01\x02\x03");
        w.replace(86, 3, "\xFF\xFE\xFD");
        return w;
    };
    EXPECT_EQ(WindowLine(window(0)), "main=,,,,\n");
    EXPECT_EQ(WindowLine(window(0x0C)), "main=\"Title\",(10,,,),,,\n");
    EXPECT_EQ(WindowLine(window(0x3FC)), "main=\"Title\",(10,20,300,400),1,(1,2,3),(255,254,253)\n");
    EXPECT_EQ(WindowLine(window(0x50)), "main=,(,20,,400),,,\n");
    EXPECT_EQ(WindowLine(std::string("\x04\x00", 2)), "=\"\",,,,\n");  // short record: nothing read past it
    EXPECT_EQ(GroupLine(std::string("grp.abcdName\0junk", 17)), "Group=grp, Name\n");
    EXPECT_EQ(GroupLine("plain"), "Group=plain\n");
}

TEST(BrowseSequences, PlacesAndMergedGroups) {
    HelpFile hf;
    // Topics met out of order: 30 (after 20), 10 (first), then 20 joins
    // the two groups.
    EXPECT_EQ(AddToBrowseSequence(hf, 20, 30, 0xFFFFFFFF), "grp0001:1");
    EXPECT_EQ(AddToBrowseSequence(hf, 0xFFFFFFFF, 10, 20), "grp0002:1");
    EXPECT_EQ(AddToBrowseSequence(hf, 10, 20, 30), "grp0002:2");
    EXPECT_EQ(AddToBrowseSequence(hf, 20, 30, 0xFFFFFFFF), "grp0002:3");
    EXPECT_TRUE(hf.state.browseGroups[0].empty());
    EXPECT_EQ(AddToBrowseSequence(hf, 0xFFFFFFFF, 99, 0xFFFFFFFF), std::nullopt);
    // A cycle stops at 32,767 steps.
    HelpFile loop;
    AddToBrowseSequence(loop, 2, 1, 2);
    EXPECT_EQ(AddToBrowseSequence(loop, 1, 2, 1), "grp0001:32767");
}

}  // namespace
}  // namespace conv
