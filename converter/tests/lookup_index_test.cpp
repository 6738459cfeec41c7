// The sorted lookups of contexts and keywords give what a plain scan of the
// tables in their order gives, on the real files and on a generated one
// shaped to catch order mistakes (many entries at one offset, entries out
// of offset order, offsets above 2^31).

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "converter/help_file.h"
#include "converter/topic_stream.h"
#include "converter/tests/hlp_builder.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

// The tables' own rules, scanned entry by entry.
std::optional<std::string> ScanContext(HelpFile& hf, std::uint32_t low, std::uint32_t high) {
    for (const auto& e : hf.state.contextTable)
        if (e.topicOffset >= low && e.topicOffset <= high) return ContextNameFromHash(hf, e.hash);
    return std::nullopt;
}

std::optional<std::string> ScanKeywords(HelpFile& hf, std::uint32_t t, KeywordTable& table) {
    std::optional<std::string> result;
    std::string keyword;
    const std::int64_t st = static_cast<std::int32_t>(t);
    for (auto& e : table) {
        const std::int64_t o = static_cast<std::int32_t>(e.topicOffset);
        if (o < st - 2 || o > st + 2) continue;
        e.topicOffset = t;
        if (!result) result.emplace();
        else result->push_back(';');
        hf.state.stream.Seek(e.keywordPosition);
        hf.state.stream.ReadCString(keyword, hf.state.stream.Size());
        result->append(keyword);
    }
    return result;
}

// Every context lookup of windows around each entry, and a run of keyword
// lookups over every offset the table holds (and the ones next to them),
// compared with the scans; the keyword tables must also end up moved alike.
void ExpectSameAsScans(HelpFile& hf) {
    LoadContextTable(hf);
    std::set<std::uint32_t> points;
    for (const auto& e : hf.state.contextTable)
        for (std::uint32_t d = 0; d < 4; ++d) points.insert(e.topicOffset - d);
    std::size_t named = 0;
    for (std::uint32_t p : points)
        for (std::uint32_t width : {0u, 1u, 5u, 200u, 40000u}) {
            const auto want = ScanContext(hf, p, p + width);
            ASSERT_EQ(ContextNameForTopic(hf, p, p + width), want) << p << "+" << width;
            named += want.has_value();
        }
    EXPECT_EQ(ContextNameForTopic(hf, 10, 9), std::nullopt);
    if (!hf.state.contextTable.empty()) EXPECT_GT(named, 0u);

    for (auto [btree, data] : {std::pair{hf.file.kwBtree, hf.file.kwData}, std::pair{hf.file.awBtree, hf.file.awData}}) {
        auto loaded = LoadKeywordIndex(hf, btree, data);
        if (!loaded) continue;
        KeywordTable fast = *loaded, slow = *loaded;
        std::set<std::uint32_t> offsets;
        for (const auto& e : slow)
            for (std::uint32_t d = 0; d < 3; ++d) offsets.insert(e.topicOffset + d);
        std::size_t found = 0;
        for (std::uint32_t t : offsets) {
            const auto want = ScanKeywords(hf, t, slow);
            ASSERT_EQ(CollectTopicKeywords(hf, t, fast), want) << t;
            found += want.has_value();
        }
        EXPECT_GT(found, 0u);
        for (std::size_t i = 0; i < slow.size(); ++i) ASSERT_EQ(fast[i].topicOffset, slow[i].topicOffset) << i;
    }
}

TEST(LookupIndex, SameAsScansOnTheCorpus) {
    TAVRIN_REQUIRE_CORPUS();
    for (const char* name : {"winfile.hlp", "DEMIST.HLP", "EUDORA.hlp", "PJDropFiles.hlp"}) {
        SCOPED_TRACE(name);
        auto hf = OpenHelpFile(testsupport::CorpusFile(std::string("hlp/") + name), 0);
        ASSERT_TRUE(hf);
        ExpectSameAsScans(*hf);
    }
}

TEST(LookupIndex, SameAsScansOnAGeneratedFile) {
    using namespace hlptest;
    // Offsets repeat, run backwards in table order and reach above 2^31
    // (negative when taken as signed numbers, as the keyword window does).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> contexts;
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> keywords;
    for (std::uint32_t i = 0; i < 300; ++i) {
        const std::uint32_t at = (i % 3 == 0) ? 5000 - i : (i % 3 == 1) ? 700 : 0x80000000u + i * 3;
        contexts.push_back({i * 11 + 1, at});
        keywords.push_back({"kw" + std::to_string(1000 + i), {at, at + 1, 5000 - 2 * i}});
    }
    keywords.push_back({"zero", {0, 1, 2}});
    KeywordFiles k = KeywordIndex(keywords, 512);
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})},
                                               {"|CONTEXT", ContextFile(contexts, 256)},
                                               {"|KWBTREE", k.btree},
                                               {"|KWDATA", k.data}}),
                                "x.hlp", kPageLinks);
    ASSERT_TRUE(hf);
    ExpectSameAsScans(*hf);
    EXPECT_TRUE(hf->state.warnings.empty());
}

// The record form gives each occurrence to the first record whose window
// holds it, once; a new pass hands them out again.
TEST(LookupIndex, RecordFormTakesEachOccurrenceOnce) {
    using namespace hlptest;
    KeywordFiles k = KeywordIndex({{"a", {0}}, {"b", {1}}, {"c", {3}}});
    auto hf = OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|KWBTREE", k.btree}, {"|KWDATA", k.data}}), "x", 0);
    auto table = LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData);
    ASSERT_TRUE(table);
    // Records of one character at 0 and at 1: their windows overlap.
    EXPECT_EQ(CollectTopicKeywordsInRange(*hf, 0, 0, *table), "a;b");
    EXPECT_EQ(CollectTopicKeywordsInRange(*hf, 1, 1, *table), "c");
    EXPECT_EQ(CollectTopicKeywordsInRange(*hf, 2, 9, *table), std::nullopt);
    ResetKeywordLookups(*hf);
    EXPECT_EQ(CollectTopicKeywordsInRange(*hf, 0, 0, *table), "a;b");
}

}  // namespace
}  // namespace conv
