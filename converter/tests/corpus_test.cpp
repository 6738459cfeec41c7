// The real help files of the corpus: each opens, and its topics, titles,
// context names and keywords agree with independent evidence: for the two
// files whose sources are in the corpus, the footnotes of the source RTF
// (found by a small scan of the RTF written here); for the others, the
// counts the file's own B-tree headers announce.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "converter/converter_strings.h"
#include "converter/font_table.h"
#include "converter/help_file.h"
#include "converter/topic_stream.h"
#include "converter/tests/source_rtf_scan.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using testsupport::CorpusFile;
using testsupport::ReadFileBytes;

struct Opened {
    std::unique_ptr<HelpFile> hf;
    std::vector<TopicSummary> topics;
};

Opened Open(const std::string& name) {
    Opened o;
    o.hf = OpenHelpFile(CorpusFile("hlp/" + name), 0);
    if (o.hf) o.topics = ListTopics(*o.hf);
    return o;
}

std::uint32_t TotalEntries(HelpFile& hf, const InternalFile& f) {
    BTreeHeader h;
    EXPECT_TRUE(ReadBTreeHeader(hf.state.stream, f.offset, h));
    return h.totalEntries;
}

std::set<std::string> Titles(const std::vector<TopicSummary>& topics) {
    std::set<std::string> s;
    for (const auto& t : topics)
        if (!t.title.empty()) s.insert(t.title);
    return s;
}

std::set<std::string> AllKeywords(const std::vector<TopicSummary>& topics, bool a) {
    std::set<std::string> s;
    for (const auto& t : topics)
        for (const auto& k : a ? t.aKeywords : t.kKeywords) s.insert(k);
    return s;
}

bool InSomeTopic(const std::vector<TopicSummary>& topics, std::uint32_t offset) {
    for (const auto& t : topics)
        if (t.textRecords && offset >= t.firstCharacter && offset < t.characterEnd) return true;
    return false;
}

// ---- files with their sources ----

TEST(CorpusHelpFiles, DropFilesMatchesItsSourceRtf) {
    TAVRIN_REQUIRE_CORPUS();
    Opened o = Open("PJDropFiles.hlp");
    ASSERT_TRUE(o.hf);
    auto source = ScanSourceRtf(ReadFileBytes(CorpusFile("hpj/ddablib-dropfiles/PJDropFiles.rtf")));
    ASSERT_EQ(source.size(), 85u);  // as the project's description says

    // The compiled file ends with one empty topic header the compiler adds
    // after the last topic.
    ASSERT_EQ(o.topics.size(), source.size() + 1 + 1);
    // ... and the source has one topic more: the .hlp was rebuilt in 2013
    // from a source that had gained one topic (see below); titles are
    // compared as sets.
    std::set<std::string> sourceTitles;
    for (const auto& t : source) sourceTitles.insert(t.title);
    std::set<std::string> fileTitles = Titles(o.topics);
    std::set<std::string> onlyInFile, onlyInSource;
    std::set_difference(fileTitles.begin(), fileTitles.end(), sourceTitles.begin(), sourceTitles.end(),
                        std::inserter(onlyInFile, onlyInFile.end()));
    std::set_difference(sourceTitles.begin(), sourceTitles.end(), fileTitles.begin(), fileTitles.end(),
                        std::inserter(onlyInSource, onlyInSource.end()));
    EXPECT_TRUE(onlyInSource.empty()) << *onlyInSource.begin();
    EXPECT_LE(onlyInFile.size(), 1u);

    // Every topic of the source, found by its title, has the same K and A
    // keywords in the compiled file.
    std::map<std::string, const TopicSummary*> byTitle;
    for (const auto& t : o.topics) byTitle[t.title] = &t;
    int compared = 0;
    for (const auto& s : source) {
        auto it = byTitle.find(s.title);
        ASSERT_NE(it, byTitle.end()) << s.title;
        std::set<std::string> k(it->second->kKeywords.begin(), it->second->kKeywords.end());
        std::set<std::string> a(it->second->aKeywords.begin(), it->second->aKeywords.end());
        EXPECT_EQ(k, s.kKeywords) << s.title;
        EXPECT_EQ(a, s.aKeywords) << s.title;
        // The context names come back from their hashes: same hash as the source's.
        ASSERT_FALSE(it->second->contextNames.empty()) << s.title;
        EXPECT_EQ(ContextHash(it->second->contextNames.front()), ContextHash(s.contexts.front())) << s.title;
        ++compared;
    }
    EXPECT_EQ(compared, 85);
    EXPECT_EQ(o.hf->state.kTable.size(), o.hf->file.kwData.size / 4);
}

TEST(CorpusHelpFiles, EudoraMatchesItsSourceRtfs) {
    TAVRIN_REQUIRE_CORPUS();
    Opened o = Open("EUDORA.hlp");
    ASSERT_TRUE(o.hf);
    std::vector<SourceTopic> source;
    for (const char* name : {"Eudora.rtf", "Options.rtf", "Dialogs.rtf", "menus.rtf", "HtmlWh.rtf"}) {
        auto part = ScanSourceRtf(ReadFileBytes(CorpusFile(std::string("hpj/eudora71/") + name)));
        source.insert(source.end(), part.begin(), part.end());
    }
    std::set<std::string> sourceTitles, sourceK, sourceContexts;
    for (const auto& t : source) {
        if (!t.title.empty()) sourceTitles.insert(t.title);
        sourceK.insert(t.kKeywords.begin(), t.kKeywords.end());
        for (const auto& c : t.contexts) sourceContexts.insert(c);
    }
    std::set<std::string> fileTitles = Titles(o.topics);
    std::set<std::string> fileK = AllKeywords(o.topics, false);
    // Known difference: the compiled file was built with build tags from a
    // larger set of sources, so the source holds topics the file dropped;
    // everything the file holds must come from the source.
    for (const auto& t : fileTitles) EXPECT_TRUE(sourceTitles.count(t)) << t;
    for (const auto& k : fileK) EXPECT_TRUE(sourceK.count(k)) << k;
    // Context hashes: the sources hold 1,094 "#" footnotes, the file 1,093
    // contexts; 25 of the file's hashes name contexts that the corpus
    // sources no longer have (the same source drift as above).
    std::set<std::uint32_t> sourceHashes;
    for (const auto& c : sourceContexts) sourceHashes.insert(ContextHash(c));
    std::size_t unknown = 0;
    for (const auto& e : o.hf->state.contextTable) unknown += sourceHashes.count(e.hash) == 0;
    EXPECT_EQ(o.hf->state.contextTable.size(), 1093u);
    EXPECT_LE(unknown, 25u);
    EXPECT_EQ(fileK.size(), TotalEntries(*o.hf, o.hf->file.kwBtree));
}

TEST(CorpusHelpFiles, DropFilesFontsMatchTheSourceFontTable) {
    TAVRIN_REQUIRE_CORPUS();
    Opened o = Open("PJDropFiles.hlp");
    ASSERT_TRUE(o.hf);
    FontTable fonts = ReadFontTable(*o.hf);
    // The source's \fonttbl names Arial, WingDings and Courier New, and its
    // text uses the sizes \fs8, \fs12, \fs18, \fs20 and \fs22.
    EXPECT_EQ(fonts.faceNames, (std::vector<std::string>{"Arial", "WingDings", "Courier New"}));
    EXPECT_FALSE(o.hf->state.newFontFormat);
    std::set<int> sizes;
    for (const auto& d : fonts.descriptors) {
        EXPECT_LT(d.faceIndex, fonts.faceNames.size());
        sizes.insert(d.halfPoints);
    }
    for (int fs : {8, 12, 18, 20, 22}) EXPECT_TRUE(sizes.count(fs)) << fs;
}

// ---- files known by their own indexes ----

struct IndexCase {
    const char* file;
    std::uint16_t minor;
    bool compressed;
    const char* title;
};

class CorpusIndexes : public ::testing::TestWithParam<IndexCase> {};

TEST_P(CorpusIndexes, TopicsKeywordsAndContextsAgreeWithTheBTreeHeaders) {
    TAVRIN_REQUIRE_CORPUS();
    const IndexCase& c = GetParam();
    Opened o = Open(c.file);
    ASSERT_TRUE(o.hf);
    HelpFile& hf = *o.hf;
    EXPECT_EQ(hf.file.systemHeader.minor, c.minor);
    EXPECT_EQ(hf.file.compressed, c.compressed);
    SystemInfo info;
    ReadSystemInfo(hf, info);
    ASSERT_TRUE(info.title);
    EXPECT_EQ(*info.title, c.title);

    // Directory: as many entries as its header says, all inside the file.
    EXPECT_EQ(hf.file.directoryEntries.size(), hf.file.directoryHeader.totalEntries);
    for (const auto& e : hf.file.directoryEntries) EXPECT_LE(e.offset + e.size, hf.state.stream.Size()) << e.name;

    // |CONTEXT: one table entry per announced entry, each pointing into the
    // text of some topic.
    EXPECT_EQ(hf.state.contextTable.size(), TotalEntries(hf, hf.file.context));
    for (const auto& e : hf.state.contextTable) EXPECT_TRUE(InSomeTopic(o.topics, e.topicOffset)) << e.topicOffset;
    std::size_t names = 0;
    for (const auto& t : o.topics) names += t.contextNames.size();
    EXPECT_EQ(names, hf.state.contextTable.size());

    // |TTLBTREE holds one entry per topic header, the empty one the
    // compiler appends at the end included.
    ASSERT_TRUE(hf.file.ttlBtree.present());
    EXPECT_EQ(o.topics.size(), TotalEntries(hf, hf.file.ttlBtree));
    EXPECT_TRUE(o.topics.back().title.empty());

    // Keywords: every distinct keyword of the B-tree and every occurrence of
    // the data file lands in some topic.
    EXPECT_EQ(AllKeywords(o.topics, false).size(), TotalEntries(hf, hf.file.kwBtree));
    std::size_t occurrences = 0;
    for (const auto& t : o.topics) occurrences += t.kKeywords.size();
    EXPECT_EQ(occurrences, hf.file.kwData.size / 4);
    if (hf.file.awBtree.present()) {
        EXPECT_EQ(AllKeywords(o.topics, true).size(), TotalEntries(hf, hf.file.awBtree));
        std::size_t a = 0;
        for (const auto& t : o.topics) a += t.aKeywords.size();
        EXPECT_EQ(a, hf.file.awData.size / 4);
    }
    for (const auto& w : hf.state.warnings) EXPECT_NE(w.number, kWarnDamaged) << FormatWarning(w);
    for (const auto& w : hf.state.warnings) EXPECT_NE(w.number, kWarnPhraseRef) << FormatWarning(w);
}

INSTANTIATE_TEST_SUITE_P(
    All, CorpusIndexes,
    ::testing::Values(IndexCase{"winfile.hlp", 21, true, "File Manager Help"},
                      IndexCase{"DEMIST.HLP", 33, true, "DEMIST Application Help"},
                      IndexCase{"PJDropFiles.hlp", 33, false, "DelphiDabbler Drop Files Component Help"},
                      IndexCase{"EUDORA.hlp", 33, false, "Eudora Email 7.0 for Windows"}),
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

TEST(CorpusHelpFiles, SystemRecordsOfTheRealFiles) {
    TAVRIN_REQUIRE_CORPUS();
    Opened o = Open("EUDORA.hlp");
    ASSERT_TRUE(o.hf);
    auto records = ReadSystemRecords(*o.hf);
    std::map<int, int> kinds;
    for (const auto& r : records) ++kinds[r.type];
    EXPECT_EQ(kinds[1], 1);  // title
    EXPECT_EQ(kinds[2], 1);  // copyright
    EXPECT_GE(kinds[6], 2);  // main and (w95sec) windows
    EXPECT_EQ(kinds[4], 8);  // the [CONFIG] macros, RegisterRoutine stored as RR
    std::vector<std::string> macros;
    for (const auto& r : records)
        if (r.type == 4) macros.push_back(r.data.substr(0, r.data.find('\0')));
    ASSERT_FALSE(macros.empty());
    EXPECT_EQ(macros.front(), "RR(`Inetwh32.dll',`INETWH_Initialize',`')");
    EXPECT_EQ(macros.back(), "BrowseButtons()");
    SystemInfo info;
    ReadSystemInfo(*o.hf, info);
    ASSERT_TRUE(info.copyright);
    EXPECT_NE(info.copyright->find("QUALCOMM"), std::string::npos);

    // The contents topic (record 3) is a topic offset inside some topic.
    std::uint32_t contents = 0;
    for (const auto& r : records)
        if (r.type == 3 && r.data.size() >= 4) contents = GetU32(reinterpret_cast<const std::uint8_t*>(r.data.data()));
    EXPECT_TRUE(InSomeTopic(o.topics, contents)) << contents;
}

}  // namespace
}  // namespace conv
