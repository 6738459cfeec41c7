// The real help files of the corpus converted in both modes: the RTF loads
// in our own RTF reader with one topic per topic of the file; in project
// mode titles and keywords equal what the reader finds in the file (and,
// for the two files with sources, what the source RTF holds); pictures are
// valid BMP, placeable WMF or SHG files and the project lists them.

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "converter/project_writer.h"
#include "converter/shell.h"
#include "converter/topic_stream.h"
#include "converter/tests/source_rtf_scan.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "richtext/io/text_reader.h"
#include "richtext/model/rtf_text.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using testsupport::CorpusFile;
using testsupport::ReadFileBytes;

class CorpusConversion : public ::testing::TestWithParam<const char*> {
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
    testsupport::TempDir dir_;
    std::filesystem::path old_;
};

int ReadWithOurReader(const std::string& rtf) {
    richtext::TJDRTFText model;
    richtext::TJDRtfReader reader;
    reader.SetModel(&model);
    std::istringstream in(rtf);
    return reader.Read(in);
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

std::string Stem(const std::string& name) { return name.substr(0, name.rfind('.')); }

std::vector<std::string> SectionLines(const std::string& hpj, const std::string& section) {
    std::vector<std::string> lines;
    std::size_t at = hpj.find("[" + section + "]\n");
    if (at == std::string::npos) return lines;
    std::istringstream in(hpj.substr(at + section.size() + 3));
    for (std::string line; std::getline(in, line) && !line.empty();) lines.push_back(line);
    return lines;
}

void ExpectValidPicture(const std::string& name) {
    const std::string f = ReadFileBytes(name);
    const auto* p = reinterpret_cast<const std::uint8_t*>(f.data());
    const std::string ext = name.substr(name.rfind('.') + 1);
    if (ext == "bmp") {
        ASSERT_GE(f.size(), 54u) << name;
        EXPECT_EQ(f.substr(0, 2), "BM") << name;
        EXPECT_EQ(GetU32(p + 2), f.size()) << name;
        EXPECT_EQ(GetU32(p + 14), 40u) << name;
        const std::uint32_t w = GetU32(p + 18), h = GetU32(p + 22), bits = GetU16(p + 28);
        const std::uint32_t used = GetU32(p + 46);
        const std::uint32_t palette = bits <= 8 ? (used ? used : 1u << bits) : used;
        EXPECT_EQ(GetU32(p + 10), 54 + 4 * palette) << name;
        EXPECT_EQ(GetU32(p + 34), f.size() - GetU32(p + 10)) << name;
        EXPECT_GE(f.size() - GetU32(p + 10), ((bits * w + 31) / 32) * 4 * h) << name;
    } else if (ext == "wmf") {
        ASSERT_GE(f.size(), 22u + 18u) << name;
        EXPECT_EQ(GetU32(p), 0x9AC6CDD7u) << name;
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) sum ^= GetU16(p + 2 * i);
        EXPECT_EQ(GetU16(p + 20), sum) << name;
        // The metafile itself: header of 9 words, version 0x300, its size in words.
        EXPECT_EQ(GetU16(p + 24), 9) << name;
        EXPECT_EQ(GetU32(p + 28) * 2, f.size() - 22) << name;
    } else {
        EXPECT_EQ(ext, "SHG") << name;
        EXPECT_EQ(f[0], 'l') << name;
    }
}

TEST_P(CorpusConversion, RecompilableProject) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string file = GetParam();
    std::vector<HelpWarning> warnings;
    ConvertHelpFile({ApplyModeRule(0), CorpusFile("hlp/" + file).string()}, &warnings);
    const std::string rtf = ReadFileBytes(Stem(file) + ".RTF");
    EXPECT_EQ(ReadWithOurReader(rtf), 0);

    auto hf = OpenHelpFile(CorpusFile("hlp/" + file), 0);
    ASSERT_TRUE(hf);
    const auto topics = ListTopics(*hf);
    EXPECT_EQ(Count(rtf, "\\page\\pard\n") + 1, topics.size());

    // Titles and keywords, per title, as the reader sees them.
    std::map<std::string, std::set<std::string>> fileK, rtfK;
    for (const auto& t : topics)
        if (!t.title.empty()) fileK[t.title].insert(t.kKeywords.begin(), t.kKeywords.end());
    for (const auto& t : ScanSourceRtf(rtf))
        if (!t.title.empty()) rtfK[t.title].insert(t.kKeywords.begin(), t.kKeywords.end());
    EXPECT_EQ(rtfK, fileK);

    // The document is one group: its nesting first returns to 0 at its last
    // byte (our reader would also accept text after that).
    const BraceCheck braces = CheckBraces(rtf);
    EXPECT_EQ(braces.minDepth, 0);
    EXPECT_EQ(braces.firstClose, rtf.size() - 1);

    // One "#" footnote per context entry: the hashes are the context index's.
    std::set<std::uint32_t> indexHashes, footnoteHashes;
    LoadContextTable(*hf);
    for (const auto& e : hf->state.contextTable) indexHashes.insert(e.hash);
    std::set<std::string> contextNames;
    std::size_t footnotes = 0;
    for (const auto& t : ScanSourceRtf(rtf)) {
        for (const auto& name : t.contexts) {
            ++footnotes;
            contextNames.insert(name);
            unsigned hex = 0;
            if (name.size() == 10 && std::sscanf(name.c_str(), "0x%8X", &hex) == 1)
                footnoteHashes.insert(hex);
            else
                footnoteHashes.insert(ContextHash(name));
        }
    }
    EXPECT_EQ(footnoteHashes, indexHashes);
    EXPECT_EQ(footnotes, hf->state.contextTable.size());
    // Every jump into this file names a "#" footnote.
    std::size_t jumps = 0;
    for (std::string target : HiddenTexts(rtf)) {
        if (!target.empty() && target[0] == '%') target.erase(0, 1);
        if (target.empty() || target[0] == '!' || target.find('@') != std::string::npos) continue;
        target = target.substr(0, target.find('>'));
        EXPECT_TRUE(contextNames.count(target)) << target;
        ++jumps;
    }
    EXPECT_GT(jumps, 0u);
    // Browse sequences: within each group the places are 1, 2, ... n.
    std::map<std::string, std::vector<int>> places;
    for (const auto& t : ScanSourceRtf(rtf)) {
        const std::size_t colon = t.browse.find(':');
        if (colon != std::string::npos) places[t.browse.substr(0, colon)].push_back(std::stoi(t.browse.substr(colon + 1)));
    }
    for (auto& [group, list] : places) {
        std::sort(list.begin(), list.end());
        for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], static_cast<int>(i) + 1) << group;
    }

    // Every picture listed exists and is valid.
    const std::string hpj = ReadFileBytes(Stem(file) + ".HPJ");
    for (const auto& name : SectionLines(hpj, "Bitmaps")) ExpectValidPicture(name);
    for (const auto& name : SectionLines(hpj, "Files")) EXPECT_TRUE(std::filesystem::exists(name)) << name;
}

TEST_P(CorpusConversion, BmpAndWmfOnly) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string file = GetParam();
    ConvertHelpFile({ApplyModeRule(kNoShg), CorpusFile("hlp/" + file).string()});
    const std::string hpj = ReadFileBytes(Stem(file) + ".HPJ");
    for (const auto& name : SectionLines(hpj, "Bitmaps")) {
        EXPECT_NE(name.substr(name.size() - 4), ".SHG") << name;
        ExpectValidPicture(name);
    }
}

TEST_P(CorpusConversion, PrintableDocument) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string file = GetParam();
    ConvertHelpFile({kViewFlags, CorpusFile("hlp/" + file).string()});
    const std::string rtf = ReadFileBytes(Stem(file) + ".RTF");
    EXPECT_EQ(ReadWithOurReader(rtf), 0);
    const BraceCheck braces = CheckBraces(rtf);
    EXPECT_EQ(braces.minDepth, 0);
    EXPECT_EQ(braces.firstClose, rtf.size() - 1);
    auto hf = OpenHelpFile(CorpusFile("hlp/" + file), 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(Count(rtf, "\\par\\pard\\par\n") + 1, ListTopics(*hf).size());
    EXPECT_EQ(Count(rtf, "{\\*\\fldinst TOC \\\\f}"), 1u);
    EXPECT_EQ(rtf.find("\\footnote"), std::string::npos);
    // Embedded pictures leave no files behind.
    for (const auto& e : std::filesystem::directory_iterator("."))
        EXPECT_EQ(e.path().filename().string(), Stem(file) + ".RTF");
}

// The printable document with pre-filled contents and index lists (word
// processor 3): every page reference names a bookmark of the document, and
// the lists and the jumps refer to every title, occurrence and context.
TEST_P(CorpusConversion, EveryPageReferenceHasItsBookmark) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string file = GetParam();
    plat::WritePrivateProfileString("Options", "WordProcessor", "3", "Rendlow.ini");
    ConvertHelpFile({kViewFlags, CorpusFile("hlp/" + file).string()});
    const std::string rtf = ReadFileBytes(Stem(file) + ".RTF");
    const BraceCheck braces = CheckBraces(rtf);
    EXPECT_EQ(braces.minDepth, 0);
    EXPECT_EQ(braces.firstClose, rtf.size() - 1);
    const auto marks = BookmarkNames(rtf);
    const auto refs = FieldReferenceNames(rtf);
    std::size_t contents = 0, index = 0;
    for (const auto& ref : refs) {
        EXPECT_TRUE(marks.count(ref)) << ref;
        contents += ref.size() == 9 && ref[0] == '_';
        index += ref.rfind("__", 0) == 0;
    }
    // Each contents entry of the document is in the list.
    EXPECT_EQ(contents / 2, Count(rtf, "{\\tc{"));
    EXPECT_GT(index, 0u);
    // One bookmark per context entry.
    auto hf = OpenHelpFile(CorpusFile("hlp/" + file), kViewFlags);
    ASSERT_TRUE(hf);
    LoadContextTable(*hf);
    std::set<std::string> contextMarks;
    for (const auto& e : hf->state.contextTable) contextMarks.insert("B" + ContextNameFromHash(*hf, e.hash));
    for (const auto& m : contextMarks) EXPECT_TRUE(marks.count(m)) << m;
}

INSTANTIATE_TEST_SUITE_P(Hlp, CorpusConversion,
                         ::testing::Values("winfile.hlp", "PJDropFiles.hlp", "DEMIST.HLP", "EUDORA.hlp"),
                         [](const auto& info) { return Stem(info.param); });

class SourcedConversion : public CorpusConversion {};

std::vector<SourceTopic> Sources(const std::vector<std::string>& files) {
    std::vector<SourceTopic> all;
    for (const auto& f : files) {
        auto part = ScanSourceRtf(ReadFileBytes(CorpusFile(f)));
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST_F(SourcedConversion, DropFilesTitlesAndKeywordsEqualTheSource) {
    TAVRIN_REQUIRE_CORPUS();
    ConvertHelpFile({ApplyModeRule(0), CorpusFile("hlp/PJDropFiles.hlp").string()});
    auto out = ScanSourceRtf(ReadFileBytes("PJDropFiles.RTF"));
    std::map<std::string, const SourceTopic*> byTitle;
    for (const auto& t : out) byTitle[t.title] = &t;
    int compared = 0;
    for (const auto& s : Sources({"hpj/ddablib-dropfiles/PJDropFiles.rtf"})) {
        auto it = byTitle.find(s.title);
        ASSERT_NE(it, byTitle.end()) << s.title;
        EXPECT_EQ(it->second->kKeywords, s.kKeywords) << s.title;
        EXPECT_EQ(it->second->aKeywords, s.aKeywords) << s.title;
        ++compared;
    }
    EXPECT_EQ(compared, 85);
}

TEST_F(SourcedConversion, EudoraTitlesAndKeywordsComeFromTheSource) {
    TAVRIN_REQUIRE_CORPUS();
    ConvertHelpFile({ApplyModeRule(0), CorpusFile("hlp/EUDORA.hlp").string()});
    std::set<std::string> sourceTitles, sourceK, outTitles, outK;
    for (const auto& t : Sources({"hpj/eudora71/Eudora.rtf", "hpj/eudora71/Options.rtf", "hpj/eudora71/Dialogs.rtf",
                                  "hpj/eudora71/menus.rtf", "hpj/eudora71/HtmlWh.rtf"})) {
        sourceTitles.insert(t.title);
        sourceK.insert(t.kKeywords.begin(), t.kKeywords.end());
    }
    for (const auto& t : ScanSourceRtf(ReadFileBytes("EUDORA.RTF"))) {
        if (!t.title.empty()) outTitles.insert(t.title);
        outK.insert(t.kKeywords.begin(), t.kKeywords.end());
    }
    // The file was built from a larger, older set of sources (see the
    // reader's corpus test): what the file holds comes from the source.
    EXPECT_GT(outTitles.size(), 900u);
    for (const auto& t : outTitles) EXPECT_TRUE(sourceTitles.count(t)) << t;
    for (const auto& k : outK) EXPECT_TRUE(sourceK.count(k)) << k;
}

TEST_F(SourcedConversion, CommandLineRunsAndOpensTheResult) {
    TAVRIN_REQUIRE_CORPUS();
    // A fake viewer notes the file it was asked to open.
    const auto viewer = dir_.path() / "viewer.sh";
    testsupport::WriteFileBytes(viewer, "#!/bin/sh\necho \"$1\" > \"" + (dir_.path() / "opened").string() + "\"\n");
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
    setenv("RENDLOW_VIEWER", viewer.c_str(), 1);
    const std::string line = "-V " + CorpusFile("hlp/winfile.hlp").string();
    EXPECT_EQ(RunConverter(line, nullptr, nullptr), 2);
    unsetenv("RENDLOW_VIEWER");
    EXPECT_TRUE(std::filesystem::exists("winfile.RTF"));
    // The viewer runs on its own: wait until its line is whole (the file
    // exists, empty, as soon as the shell opens it for the line).
    auto opened = [&] {
        if (!std::filesystem::exists(dir_.path() / "opened")) return false;
        const std::string text = ReadFileBytes(dir_.path() / "opened");
        return !text.empty() && text.back() == '\n';
    };
    for (int i = 0; i < 200 && !opened(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFileBytes(dir_.path() / "opened"), "winfile.RTF\n");

    EXPECT_EQ(RunConverter((dir_.path() / "missing.hlp").string(), nullptr, nullptr), 1);
}

}  // namespace
}  // namespace conv
