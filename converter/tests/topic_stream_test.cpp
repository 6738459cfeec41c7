// The topic chain, compressed numbers, context names and keyword indexes,
// on generated files of every packing and on damaged chains.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "converter/converter_strings.h"
#include "converter/decompress.h"
#include "converter/tests/hlp_builder.h"
#include "converter/topic_stream.h"

namespace conv {
namespace {

using namespace hlptest;

// ---- hashes and names ----

TEST(ContextHash, TableOfNames) {
    struct Case {
        const char* name;
        std::uint32_t hash;
    } cases[] = {
        {"A", 17}, {"a", 17}, {"ab", 17 * 43 + 18}, {"", 0}, {"0", 10}, {"9", 9}, {"._", 12 * 43 + 13},
        // Every other character counts too: its code less that of '0',
        // negative below it ("a-b" is 17, -3, 18).
        {"a-b", (17u * 43u - 3u) * 43u + 18u}, {"x y!", ((40u * 43u - 16u) * 43u + 41u) * 43u - 15u},
    };
    for (const auto& c : cases) EXPECT_EQ(ContextHash(c.name), c.hash) << c.name;
    // 32-bit wrap-around: a long name still hashes deterministically.
    std::uint32_t h = 0;
    for (char ch : std::string("IDH_VERY_LONG_CONTEXT_NAME_1234")) {
        std::uint32_t v = ch >= 'A' && ch <= 'Z' ? 17u + (ch - 'A') : ch == '_' ? 13u : ch == '0' ? 10u : ch - '0';
        h = h * 43u + v;
    }
    EXPECT_EQ(ContextHash("IDH_VERY_LONG_CONTEXT_NAME_1234"), h);
}

// Strings of a real help file's contents file against the hashes its
// compiler wrote for those pages (EUDORA.hlp's |CONTEXT): blank, "(", ")",
// ",", "-" and ":" each change the hash.
TEST(ContextHash, PunctuationAsTheHelpCompilerCountsIt) {
    struct Case {
        const char* name;
        std::uint32_t hash;
    } cases[] = {
        {"Starting and Quitting_Eudora", 0x19D32749u},
        {"Creating_an_Auto-Reply_Message", 0x91F336D2u},
        {"Mailbox_and_Folder_Management:_POP_vs._IMAP_Server", 0x81B40DF1u},
        {"Filter_Criteria_(The_Match_Area)", 0xE8738891u},
        {"Adding,_Moving,_and_Removing_Toolbar_Buttons", 0x11179AAEu},
        {"Tab_Contents,_Location,_Auto-Activation", 0x39CB9A57u},
        {"Looking_Someone_Up_(Making_a_Query)", 0x6136B3D8u},
    };
    for (const auto& c : cases) EXPECT_EQ(ContextHash(c.name), c.hash) << c.name;
}

TEST(ContextNames, MadeNamesHaveTheWantedHash) {
    HelpFile hf;
    for (const char* name : {"IDH_MAIN", "contents", "x", "Topic_12.a", "zzzzzzzzzzzzzz"}) {
        std::uint32_t hash = ContextHash(name);
        std::string made = ContextNameFromHash(hf, hash);
        EXPECT_EQ(ContextHash(made), hash) << name << " -> " << made;
    }
    std::string buffer = "ID";
    ASSERT_TRUE(MakeNameForHash(buffer, ContextHash("IDabc")));
    EXPECT_EQ(buffer, "IDabc");
    buffer = "abc";
    ASSERT_TRUE(MakeNameForHash(buffer, ContextHash("abc")));
    EXPECT_EQ(buffer, "abc");  // nothing to append
}

TEST(ContextNames, KnownNamesComeFirstAndPageLinksGiveHex) {
    HelpFile hf;
    AddKnownContextName(hf, "Hot_Spot");
    EXPECT_EQ(ContextNameFromHash(hf, ContextHash("hot_spot")), "Hot_Spot");
    hf.ownOptions.flags = kPageLinks;
    EXPECT_EQ(ContextNameFromHash(hf, 0x1234ABCD), "0x1234ABCD");
    EXPECT_EQ(ContextNameFromHash(hf, 17), "0x00000011");
    EXPECT_EQ(ContextNameFromHash(hf, ContextHash("Hot_Spot")), "Hot_Spot");
}

TEST(ContextNames, PictureFilesGrowWithEmptySlots) {
    HelpFile hf;
    RecordPictureFile(hf, 3, "p3.bmp");
    RecordPictureFile(hf, 1, "p1.bmp");
    ASSERT_EQ(hf.state.pictureFiles.size(), 4u);
    EXPECT_FALSE(hf.state.pictureFiles[0]);
    EXPECT_EQ(*hf.state.pictureFiles[3], "p3.bmp");
    RecordPictureFile(hf, 0xFFFFFFF0u, "wild.bmp");  // from a damaged name: ignored
    EXPECT_EQ(hf.state.pictureFiles.size(), 4u);
}

// ---- compressed numbers ----

TEST(CompressedNumbers, TableOfEncodings) {
    enum Kind { kShort, kWord, kLong };
    struct Case {
        Kind kind;
        std::string bytes;
        std::int32_t value;
        std::uint32_t used;
    } cases[] = {
        {kShort, "\x80", 0, 1},
        {kShort, std::string("\x00", 1), -64, 1},
        {kShort, std::string("\x01\x00", 2), -16384, 2},
        {kShort, std::string("\xB1\x7F", 2), -40, 2},  // odd negatives round down
        {kShort, "\x82", 1, 1},
        {kShort, std::string("\x03\x80", 2), 1, 2},
        {kWord, "\x10", 8, 1},
        {kWord, std::string("\x01\x80", 2), -16383, 2},
        {kWord, std::string("\x03\x00", 2), 1, 2},
        {kLong, std::string("\x00\x80", 2), 0, 2},
        {kLong, std::string("\x10\x80", 2), 8, 2},
        {kLong, std::string("\x00\x00", 2), -16384, 2},
        {kLong, std::string("\x03\x00\x00\x80", 4), 1, 4},
        {kLong, std::string("\x01\x00\x00\x00", 4), -1073741824, 4},
        // Too few bytes: 0, the rest consumed, nothing read beyond.
        {kShort, "\x81", 0, 1},
        {kLong, "\x10", 0, 1},
        {kLong, std::string("\x01\x00\x00", 3), 0, 3},
    };
    for (const auto& c : cases) {
        std::string buf = c.bytes + "\xEE";  // a guard byte after the field
        const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(buf.data());
        const std::uint8_t* start = p;
        std::uint32_t remaining = static_cast<std::uint32_t>(c.bytes.size());
        std::int32_t v = c.kind == kShort  ? ReadCompressedShort(p, remaining)
                         : c.kind == kWord ? ReadCompressedWord(p, remaining)
                                           : ReadCompressedLong(p, remaining);
        EXPECT_EQ(v, c.value) << c.kind << " " << c.bytes.size();
        EXPECT_EQ(static_cast<std::uint32_t>(p - start), c.used);
        EXPECT_EQ(remaining, c.bytes.size() - c.used);
    }
}

// ---- generated help files with topics ----

struct DocTopic {
    std::string title;
    std::vector<std::string> contexts;
    std::vector<std::string> keywords;  // K
    std::vector<std::string> texts;     // one text record each
    std::string macro;
};

enum class Packing { kPlain, kLz77, kOldPhrases, kHall };

struct Built {
    std::string bytes;
    TopicLayout layout;
};

// A help file with the topics; keyword occurrences point `keywordShift`
// characters into the topic's first text record.
Built BuildDoc(const std::vector<DocTopic>& topics, Packing packing, std::uint32_t keywordShift = 1,
               std::uint16_t indexPageSize = 1024) {
    std::vector<TopicRecordDef> records;
    std::vector<std::size_t> firstText;
    const std::vector<std::string> phrases = {"the", "help ", "file"};
    for (std::size_t t = 0; t < topics.size(); ++t) {
        records.push_back(TopicHeader(static_cast<std::int32_t>(t), topics[t].title, topics[t].macro));
        firstText.push_back(records.size());
        for (const auto& text : topics[t].texts) {
            TopicRecordDef r = TextRecord(text);
            if (packing == Packing::kOldPhrases) {
                // Old scheme: "the " as phrase 0 ("the") and a blank (v = 1).
                std::string stored;
                std::size_t at = 0;
                while (at < text.size()) {
                    if (text.compare(at, 4, "the ") == 0) {
                        stored += std::string("\x01\x01", 2);
                        at += 4;
                    } else {
                        stored.push_back(text[at++]);
                    }
                }
                r.linkData2 = stored;
                r.expandedLength = static_cast<std::uint32_t>(text.size());
            } else if (packing == Packing::kHall) {
                // Hall: the text as literal copies of up to 32 bytes, then
                // twenty references to phrase 1 ("help "), so the stored
                // form stays shorter than the expanded one.
                std::string stored;
                for (std::size_t at = 0; at < text.size(); at += 32) {
                    std::size_t n = std::min<std::size_t>(32, text.size() - at);
                    stored.push_back(static_cast<char>(((n - 1) << 3) | 3));
                    stored += text.substr(at, n);
                }
                stored += std::string(20, '\x02');
                r.linkData2 = stored;
                r.expandedLength = static_cast<std::uint32_t>(text.size() + 20 * 5);
            }
            records.push_back(r);
        }
    }
    records.push_back(TopicHeader(static_cast<std::int32_t>(topics.size()), ""));
    const bool lz = packing != Packing::kPlain;
    Built b;
    b.layout = BuildTopic(records, lz);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> contexts;
    std::map<std::string, std::vector<std::uint32_t>> keywords;
    for (std::size_t t = 0; t < topics.size(); ++t) {
        std::uint32_t at = b.layout.charOffsets[firstText[t]];
        for (const auto& c : topics[t].contexts) contexts.push_back({ContextHash(c), at});
        for (const auto& k : topics[t].keywords) keywords[k].push_back(at + keywordShift);
    }
    std::sort(contexts.begin(), contexts.end());
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> kw(keywords.begin(), keywords.end());
    KeywordFiles k = KeywordIndex(kw, indexPageSize);
    std::uint16_t minor = packing == Packing::kHall ? 33 : 21;
    std::vector<InternalFileDef> files = {
        {"|SYSTEM", SystemFile(minor, lz ? 4 : 0, {{1, std::string("Doc\0", 4)}})},
        {"|TOPIC", b.layout.data},
        {"|CONTEXT", ContextFile(contexts, indexPageSize)},
        {"|KWBTREE", k.btree},
        {"|KWDATA", k.data},
    };
    if (packing == Packing::kOldPhrases) files.push_back({"|Phrases", OldPhrasesFile(phrases)});
    if (packing == Packing::kHall) {
        auto [index, image] = HallPhraseFiles(phrases, 2, true);
        files.push_back({"|PhrIndex", index});
        files.push_back({"|PhrImage", image});
    }
    b.bytes = BuildHelpFile(files);
    return b;
}

std::vector<DocTopic> SampleTopics(int count, std::size_t textSize) {
    std::vector<DocTopic> topics;
    for (int i = 0; i < count; ++i) {
        DocTopic t;
        t.title = FormatString("Topic number %d", i);
        t.contexts = {FormatString("IDH_T%d", i)};
        if (i % 3 == 0) t.contexts.push_back(FormatString("ALIAS%d", i));
        t.keywords = {FormatString("kw%d", i), "shared"};
        std::string text;
        while (text.size() < textSize) text += FormatString("the text of %d; ", i);
        t.texts = {text, "second record"};
        t.macro = i == 1 ? "CB(x)" : "";
        topics.push_back(t);
    }
    return topics;
}

class TopicPackings : public ::testing::TestWithParam<Packing> {};

TEST_P(TopicPackings, TopicsTitlesContextsAndKeywordsComeBack) {
    const Packing packing = GetParam();
    // Enough text to fill several blocks, so records run over block ends.
    auto topics = SampleTopics(40, 700);
    Built b = BuildDoc(topics, packing);
    auto hf = OpenHelpFileBytes(b.bytes, "x", 0);
    ASSERT_TRUE(hf);
    for (const auto& t : topics)
        for (const auto& c : t.contexts) AddKnownContextName(*hf, c);
    auto summaries = ListTopics(*hf);
    ASSERT_EQ(summaries.size(), topics.size() + 1);
    EXPECT_TRUE(summaries.back().title.empty());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(summaries[i].topicNumber, static_cast<std::int32_t>(i));
        EXPECT_EQ(summaries[i].title, topics[i].title);
        EXPECT_EQ(summaries[i].entryMacro, topics[i].macro);
        EXPECT_EQ(summaries[i].textRecords, 2u);
        // Every context of the topic, aliases included.
        auto names = summaries[i].contextNames;
        std::sort(names.begin(), names.end());
        auto contexts = topics[i].contexts;
        std::sort(contexts.begin(), contexts.end());
        EXPECT_EQ(names, contexts);
        auto k = summaries[i].kKeywords;
        std::sort(k.begin(), k.end());
        auto want = topics[i].keywords;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(k, want);
    }
    EXPECT_GT(hf->state.stream.Size(), 3u * 4096u);
    for (const auto& w : hf->state.warnings) EXPECT_NE(w.number, kWarnDamaged) << FormatWarning(w);
    for (const auto& w : hf->state.warnings) EXPECT_NE(w.number, kWarnPhraseRef) << FormatWarning(w);
}

TEST_P(TopicPackings, RecordTextsExpandToTheOriginals) {
    const Packing packing = GetParam();
    auto topics = SampleTopics(12, 1500);
    Built b = BuildDoc(topics, packing);
    auto hf = OpenHelpFileBytes(b.bytes, "x", 0);
    ASSERT_TRUE(hf);
    for (int pass = 0; pass < 2; ++pass) {  // the reset starts the chain again
        ReadTopicBytes(*hf, nullptr, kResetTopicReader, nullptr, nullptr);
        TopicLink link;
        std::size_t t = 0, r = 0;
        std::vector<std::string> texts;
        while (ReadTopicLink(*hf, link)) {
            if (link.recordType == 0x20) texts.push_back(ExpandLinkData2(*hf, link));
            ++r;
        }
        EXPECT_EQ(r, topics.size() * 3 + 1);
        ASSERT_EQ(texts.size(), topics.size() * 2);
        for (t = 0; t < topics.size(); ++t) {
            std::string want = topics[t].texts[0];
            if (packing == Packing::kHall)
                for (int i = 0; i < 20; ++i) want += "help ";
            EXPECT_EQ(texts[2 * t], want) << t;
        }
    }
}

std::string PackingName(const ::testing::TestParamInfo<Packing>& info) {
    static const char* const kNames[] = {"Plain", "Lz77", "OldPhrases", "Hall"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(All, TopicPackings,
                         ::testing::Values(Packing::kPlain, Packing::kLz77, Packing::kOldPhrases, Packing::kHall),
                         PackingName);

TEST(TopicStream, BlockPositionsAreReportedOnEachLoad) {
    Built b = BuildDoc(SampleTopics(30, 800), Packing::kPlain);
    auto hf = OpenHelpFileBytes(b.bytes, "x", 0);
    ASSERT_TRUE(hf);
    std::vector<std::uint32_t> loads;
    std::uint32_t pos = 0xDEAD;
    bool fresh = false;
    char byte;
    while (ReadTopicBytes(*hf, &byte, 1, &pos, &fresh) == 1) {
        if (fresh) loads.push_back(pos);
        fresh = false;
    }
    std::size_t blocks = (b.layout.data.size() + 4095) / 4096;
    ASSERT_EQ(loads.size(), blocks);
    for (std::size_t i = 0; i < loads.size(); ++i) EXPECT_EQ(loads[i], i * 32768u);
    EXPECT_EQ(ReadTopicBytes(*hf, &byte, 1, &pos, &fresh), 0u);  // stays at the end
}

TEST(TopicStream, HC30ChainsUseSmallBlocksAndRelativeLinks) {
    std::vector<TopicRecordDef> records;
    for (int t = 0; t < 8; ++t) {
        records.push_back(TopicHeader(0, FormatString("Old topic %d", t)));
        records.back().linkData1.replace(0, 4, U32(100));  // below 9 would end the chain
        TopicRecordDef text = TextRecord(std::string(700, static_cast<char>('a' + t)));
        text.type = 0x01;
        records.push_back(text);
    }
    TopicLayout layout = BuildTopic(records, false, 0, true);
    ASSERT_GT(layout.data.size(), 2u * 2048u);
    auto hf = OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(15, 0, {{0, "Old"}})}, {"|TOPIC", layout.data}}), "x", 0);
    ASSERT_TRUE(hf);
    auto topics = ListTopics(*hf);
    ASSERT_EQ(topics.size(), 8u);
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(topics[t].title, FormatString("Old topic %d", t));
        EXPECT_EQ(topics[t].textRecords, 1u);
        // HC30 topics are named from their number: hash number + 15.
        ASSERT_EQ(topics[t].contextNames.size(), 1u);
        EXPECT_EQ(ContextHash(topics[t].contextNames[0]), static_cast<std::uint32_t>(t + 1 + 15));
    }
    // Blocks are reported at multiples of 4,096.
    ReadTopicBytes(*hf, nullptr, kResetTopicReader, nullptr, nullptr);
    std::uint32_t pos = 0;
    bool fresh = false;
    std::vector<std::uint32_t> loads;
    char byte;
    while (ReadTopicBytes(*hf, &byte, 1, &pos, &fresh) == 1) {
        if (fresh) loads.push_back(pos);
        fresh = false;
    }
    ASSERT_GE(loads.size(), 3u);
    EXPECT_EQ(loads[1], 4096u);
    EXPECT_EQ(loads[2], 8192u);
}

TEST(TopicStream, HeaderRunningOverABlockEndCountsInTheBlockWhereItStarts) {
    // Record 2's 21-byte header starts 10 bytes before the end of block 0's
    // 4,084 data bytes: 51 + (21 + 2 + 4000) = 4074. Its position's offset,
    // 4,086, counts the block header and so lies past the 4,084 data bytes:
    // still a record, not the end of the chain.
    std::vector<TopicRecordDef> records = {TopicHeader(0, "A"), TextRecord(std::string(4000, 'a')),
                                            TextRecord("second part of A"), TopicHeader(1, "B"), TextRecord("b")};
    TopicLayout layout = BuildTopic(records, false);
    ASSERT_EQ(layout.positions[2], 4074u + 12u);
    ASSERT_EQ(layout.charOffsets[2], 4000u);   // still block 0
    ASSERT_EQ(layout.charOffsets[4], 32768u);  // record 3 starts in block 1
    KeywordFiles k = KeywordIndex({{"inA", {4000 + 5}}, {"inB", {32768}}});
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})},
                                               {"|TOPIC", layout.data},
                                               {"|KWBTREE", k.btree},
                                               {"|KWDATA", k.data}}),
                                "x", 0);
    ASSERT_TRUE(hf);
    auto topics = ListTopics(*hf);
    for (const auto& w : hf->state.warnings) ADD_FAILURE() << FormatWarning(w);
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].kKeywords, std::vector<std::string>{"inA"});
    EXPECT_EQ(topics[1].kKeywords, std::vector<std::string>{"inB"});
    EXPECT_EQ(topics[0].characterEnd, 4000u + 16u);
    EXPECT_EQ(topics[1].firstCharacter, 32768u);
}

TEST(TopicStream, MissingTopicFileGivesNothing) {
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}}), "x", 0);
    char c;
    EXPECT_EQ(ReadTopicBytes(*hf, &c, 1, nullptr, nullptr), 0u);
    EXPECT_TRUE(ListTopics(*hf).empty());
}

// Offset of record i's header inside the |TOPIC data of a plain layout.
std::size_t RecordAt(const TopicLayout& l, std::size_t i) {
    std::uint32_t p = l.positions[i];
    return (p >> 14) * 4096 + (p & 16383);
}

TEST(TopicStream, DamagedChainsEndWithAWarningAndKeepWhatCameBefore) {
    auto topics = SampleTopics(6, 100);
    const Built good = BuildDoc(topics, Packing::kPlain);
    const std::size_t topicAt = good.bytes.find(good.layout.data);
    ASSERT_NE(topicAt, std::string::npos);
    auto patch32 = [&](std::string& bytes, std::size_t record, std::size_t field, std::uint32_t v) {
        bytes.replace(topicAt + RecordAt(good.layout, record) + field, 4, U32(v));
    };
    struct Damage {
        const char* what;
        std::size_t record;  // records before this one come back whole
        std::function<void(std::string&)> apply;
    } damages[] = {
        {"next link into a block header", 4, [&](std::string& b) { patch32(b, 3, 12, 5); }},
        {"next link backwards", 4, [&](std::string& b) { patch32(b, 3, 12, good.layout.positions[1]); }},
        {"next link to itself", 4, [&](std::string& b) { patch32(b, 3, 12, good.layout.positions[3]); }},
        {"next link past the block data", 4, [&](std::string& b) { patch32(b, 3, 12, 16000); }},
        {"next link into a block past the file", 4, [&](std::string& b) { patch32(b, 3, 12, 900 * 16384 + 12); }},
        {"record shorter than its header", 3, [&](std::string& b) { patch32(b, 3, 0, 20); }},
        {"LinkData1 longer than the record", 3, [&](std::string& b) { patch32(b, 3, 16, 5000); }},
        {"LinkData1 shorter than the header", 3, [&](std::string& b) { patch32(b, 3, 16, 3); }},
        {"record longer than the topic file", 3, [&](std::string& b) { patch32(b, 3, 0, 0x7FFFFFFF); }},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        std::string bytes = good.bytes;
        d.apply(bytes);
        auto hf = OpenHelpFileBytes(bytes, "x", 0);
        ASSERT_TRUE(hf);
        ReadTopicBytes(*hf, nullptr, kResetTopicReader, nullptr, nullptr);
        TopicLink link;
        std::size_t n = 0;
        while (ReadTopicLink(*hf, link)) ++n;
        EXPECT_EQ(n, d.record);
        ASSERT_FALSE(hf->state.warnings.empty());
        EXPECT_EQ(hf->state.warnings.back().number, kWarnDamaged);
        const std::string line = FormatWarning(hf->state.warnings.back());
        EXPECT_EQ(line.rfind("Damaged help file: ", 0), 0u) << line;
        EXPECT_NE(line.find("|TOPIC"), std::string::npos) << line;
    }
}

TEST(TopicStream, Lz77BlockWithBadReferencesWarnsAndStaysInside) {
    // One block whose data starts with a reference before the start.
    std::string block = U32(0) + U32(0) + U32(0) + std::string("\x01\xFF\xFF", 3) + std::string(8, '\0');
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 4, {})}, {"|TOPIC", block}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_TRUE(ListTopics(*hf).empty());
    bool warned = false;
    for (const auto& w : hf->state.warnings) warned |= FormatWarning(w) == "Damaged help file: bad compressed data in |TOPIC";
    EXPECT_TRUE(warned);
}

// ---- keyword rules ----

TEST(Keywords, WindowOfTwoAroundTheTopicOffset) {
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> kw = {
        {"below2", {98}}, {"above2", {102}}, {"above3", {103}}, {"exact", {100}}, {"below3", {97}}};
    KeywordFiles k = KeywordIndex(kw);
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|KWBTREE", k.btree},
                                               {"|KWDATA", k.data}}),
                                "x", 0);
    ASSERT_TRUE(hf);
    auto table = LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 5u);
    auto got = CollectTopicKeywords(*hf, 100, *table);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, "below2;above2;exact");
    // Taken entries now carry the topic's offset; the others keep theirs.
    std::vector<std::uint32_t> offsets;
    for (const auto& e : *table) offsets.push_back(e.topicOffset);
    EXPECT_EQ(offsets, (std::vector<std::uint32_t>{100, 100, 103, 100, 97}));
    EXPECT_FALSE(CollectTopicKeywords(*hf, 50, *table));
    // The range form also takes occurrences inside the record.
    EXPECT_EQ(*CollectTopicKeywordsInRange(*hf, 100, 110, *table), "below2;above2;above3;exact");
}

TEST(Keywords, LongKeywordsAndLongListsHaveNoFixedLimit) {
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> kw;
    for (char c : std::string("abcde")) kw.push_back({std::string(9000, c), {40}});
    KeywordFiles k = KeywordIndex(kw, 16384);
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|KWBTREE", k.btree},
                                               {"|KWDATA", k.data}}),
                                "x", 0);
    auto table = LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData);
    ASSERT_TRUE(table);
    auto got = CollectTopicKeywords(*hf, 40, *table);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), 5u * 9000u + 4u);
    EXPECT_EQ(got->substr(9000, 2), ";b");
}

TEST(Keywords, OccurrencesPastTheDataFileAreBounded) {
    KeywordFiles k = KeywordIndex({{"one", {1, 2}}, {"two", {3}}});
    // "two" claims 40,000 occurrences at a far offset.
    std::size_t at = k.btree.find(std::string("two\0", 4));
    k.btree.replace(at + 4, 2, U16(40000));
    k.btree.replace(at + 6, 4, U32(0x7FFFFFF0));
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|KWBTREE", k.btree},
                                               {"|KWDATA", k.data}}),
                                "x", 0);
    auto table = LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->size(), 2u);  // "one"'s two; "two"'s are outside
    EXPECT_EQ(hf->state.warnings.back().number, kWarnDamaged);
}

TEST(Keywords, MissingFilesGiveNoTable) {
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}}), "x", 0);
    EXPECT_FALSE(LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData));
    LoadContextTable(*hf);
    EXPECT_TRUE(hf->state.contextTable.empty());
}

TEST(ContextTable, ManyLeafPagesAndTopicLookup) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (std::uint32_t i = 0; i < 500; ++i) entries.push_back({i * 7 + 1, 1000 + i * 10});
    auto hf = OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|CONTEXT", ContextFile(entries, 128)}}), "x", kPageLinks);
    LoadContextTable(*hf);
    ASSERT_EQ(hf->state.contextTable.size(), 500u);
    for (std::size_t i = 0; i < 500; ++i) EXPECT_EQ(hf->state.contextTable[i].hash, entries[i].first);
    EXPECT_EQ(ContextNameForTopic(*hf, 1005, 1015), "0x00000008");  // entry 1 (offset 1010)
    EXPECT_FALSE(ContextNameForTopic(*hf, 1001, 1009));
    EXPECT_TRUE(hf->state.warnings.empty());
}

TEST(ContextTable, CountLargerThanTheEntriesWarns) {
    std::string ctx = ContextFile({{1, 2}, {3, 4}});
    ctx.replace(34, 4, U32(3));
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}, {"|CONTEXT", ctx}}), "x", 0);
    LoadContextTable(*hf);
    EXPECT_EQ(hf->state.contextTable.size(), 2u);
    EXPECT_EQ(hf->state.warnings.back().number, kWarnDamaged);
}

TEST(TopicMap, HC30PositionsGiveNamesFromTheirIndex) {
    std::string tomap(64, '\0');
    for (std::uint32_t p : {100u, 200u, 300u}) tomap += U32(p);
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(15, 0, {})}, {"|TOMAP", tomap}}), "x", 0);
    ASSERT_TRUE(hf);
    hf->state.stream.Seek(7);
    auto name = LookupTopicMap(*hf, 200);  // second position: hash 2 + 15
    ASSERT_TRUE(name);
    EXPECT_EQ(ContextHash(*name), 17u);
    EXPECT_FALSE(LookupTopicMap(*hf, 250));
    EXPECT_EQ(hf->state.stream.Tell(), 7u);
}

}  // namespace
}  // namespace conv
