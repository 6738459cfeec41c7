// LZ77, run-length and phrase decoding, with hand-made inputs whose
// expected outputs follow from the packing rules directly.

#include <gtest/gtest.h>

#include "converter/converter_strings.h"
#include "converter/decompress.h"
#include "converter/tests/hlp_builder.h"

namespace conv {
namespace {

using namespace hlptest;

std::string Lz(const std::string& in, std::uint32_t capacity = 1000, Lz77Status* st = nullptr) {
    std::vector<std::uint8_t> out(capacity + 1, 0xEE);
    std::uint32_t n = Lz77DecompressBytes(reinterpret_cast<const std::uint8_t*>(in.data()),
                                          static_cast<std::uint32_t>(in.size()), out.data(), capacity, st);
    EXPECT_EQ(out[capacity], 0xEE) << "wrote past the capacity";
    return std::string(out.begin(), out.begin() + n);
}

TEST(Lz77, TableOfStreams) {
    struct Case {
        std::string in, out;
    } cases[] = {
        // One flag byte 0, then only 3 literal bytes: the chunk is cut short.
        {std::string("\x00" "abc", 4), "abc"},
        // Literal 'a', then a reference of distance 1 and length 18.
        {std::string("\x02" "a\x00\xF0", 4), std::string(19, 'a')},
        // Distance 3 (b0 = 2), length 3 (b1 high nibble 0): repeats "xyz".
        {std::string("\x08" "xyz\x02\x00", 6), "xyzxyz"},
        // A full chunk of 8 literals, then a second chunk.
        {std::string("\x00" "12345678" "\x00" "9", 11), "123456789"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Lz(c.in), c.out);
}

TEST(Lz77, LongDistanceUsesTheHighNibbleOfTheSecondByte) {
    std::string plain;
    for (int i = 0; i < 600; ++i) plain.push_back(static_cast<char>('A' + i % 26));
    // Literals for 600 bytes, then a reference 512 back (b0 0xFF, b1 0x01)
    // of length 3.
    std::string in = Lz77Literal(plain);
    in += std::string("\x01\xFF\x01", 3);
    std::string out = Lz(in, 1000);
    ASSERT_EQ(out.size(), 603u);
    EXPECT_EQ(out.substr(600), plain.substr(600 - 512, 3));
}

TEST(Lz77, ReferenceBeforeTheStartIsFlaggedAndNeverReadsOutside) {
    Lz77Status st;
    // First item is a reference of distance 6 and length 3: nothing precedes it.
    std::string out = Lz(std::string("\x01\x05\x00" "z", 4), 100, &st);
    EXPECT_TRUE(st.badReference);
    EXPECT_EQ(out, std::string("\0\0\0z", 4));
}

TEST(Lz77, ExpansionStopsAtTheCapacity) {
    Lz77Status st;
    std::string out = Lz(std::string("\x02" "a\x00\xF0", 4), 7, &st);
    EXPECT_TRUE(st.overflow);
    EXPECT_EQ(out, std::string(7, 'a'));
    Lz77Status ok;
    Lz(std::string("\x00" "abc", 4), 3, &ok);
    EXPECT_FALSE(ok.damaged());
}

TEST(Lz77, ChunkLengthAndBits) {
    EXPECT_EQ(Lz77ChunkLength(0x00), 8u);
    EXPECT_EQ(Lz77ChunkLength(0xFF), 16u);
    EXPECT_EQ(Lz77ChunkLength(0x81), 10u);
    EXPECT_TRUE(TestBit(0x80, 7));
    EXPECT_FALSE(TestBit(0x80, 6));
}

TEST(Lz77, StreamFormsConsumeExactlyTheirInput) {
    HelpStream s(std::string("\x00" "abc", 4) + "rest");
    std::string out;
    EXPECT_EQ(Lz77DecompressToFile(s, out, 4), 3u);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(s.Tell(), 4u);
    // An input length past the end of the file reads what is there.
    HelpStream t(std::string("\x00" "ab", 3));
    std::uint8_t buf[16];
    EXPECT_EQ(Lz77Decompress(t, 1000, buf, sizeof buf), 2u);
    EXPECT_EQ(t.Tell(), 3u);
}

TEST(Rle, TableOfRuns) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {std::string("\x03\x41", 2), "AAA"},
        {std::string("\x82\x41\x42", 3), "AB"},
        {std::string("\x00\x41", 2), ""},
        {std::string("\x02\x41\x81\x42", 4), "AAB"},
        // A single trailing byte is left unread.
        {std::string("\x02\x41\x05", 3), "AA"},
        // A literal run longer than the input takes what is there.
        {std::string("\x85\x41", 2), "A"},
    };
    for (const auto& c : cases) {
        HelpStream s(c.in);
        std::string out;
        EXPECT_EQ(RleDecompress(s, out, static_cast<std::uint32_t>(c.in.size())), c.out.size());
        EXPECT_EQ(out, c.out);
    }
}

TEST(Rle, AfterLz77) {
    HelpStream s(Lz77Literal(std::string("\x04\x7A\x82\x31\x32", 5)));
    std::string out;
    EXPECT_EQ(Lz77RleDecompress(s, out, s.Size()), 6u);
    EXPECT_EQ(out, "zzzz12");
    HelpStream c("copy me");
    std::string copied;
    CopyBytes(c, copied, 4);
    EXPECT_EQ(copied, "copy");
}

// A help file with the given phrase tables, opened.
std::unique_ptr<HelpFile> WithOldPhrases(const std::vector<std::string>& phrases) {
    return OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(21, 4, {})}, {"|Phrases", OldPhrasesFile(phrases)}}), "x", 0);
}

std::unique_ptr<HelpFile> WithHallPhrases(const std::vector<std::string>& phrases, unsigned w, bool lz77) {
    auto [index, image] = HallPhraseFiles(phrases, w, lz77);
    return OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(33, 4, {})}, {"|PhrIndex", index}, {"|PhrImage", image}}), "x", 0);
}

std::string Expand(HelpFile& hf, const std::string& in, bool hall, std::uint32_t size = 65280) {
    return ExpandPhrases(hf, reinterpret_cast<const std::uint8_t*>(in.data()), static_cast<std::uint32_t>(in.size()),
                         size, hall);
}

std::vector<std::string> ManyPhrases(int n) {
    std::vector<std::string> p;
    for (int i = 0; i < n; ++i) p.push_back(FormatString("ph%d", i));
    return p;
}

TEST(OldPhrases, LoadedAndExpanded) {
    auto hf = WithOldPhrases(ManyPhrases(130));
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->file.phraseCount, 130);
    EXPECT_EQ(GetPhrase(*hf, 0), "ph0");
    EXPECT_EQ(GetPhrase(*hf, 129), "ph129");
    struct Case {
        std::string in, out;
    } cases[] = {
        {std::string("\x01\x03", 2), "ph1 "},      // phrase 1 and a blank
        {std::string("\x02\x00", 2), "ph128"},     // phrase 128, no blank
        {std::string("a\x01\x02z", 4), "aph1z"},
        {std::string("x\0y", 3), std::string("x\0y", 3)},  // 0 and 16..255 are text
        {std::string("\x01", 1), ""},              // reference cut by the end
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(*hf, c.in, false), c.out);
    EXPECT_TRUE(hf->state.warnings.empty());
}

TEST(OldPhrases, OutOfRangeReferencesGiveAQuestionMarkAndWarning46) {
    auto hf = WithOldPhrases(ManyPhrases(3));
    ASSERT_TRUE(hf);
    EXPECT_EQ(Expand(*hf, std::string("\x01\x06" "a", 3), false), "?a");  // phrase 3 of 3
    ASSERT_EQ(hf->state.warnings.size(), 1u);
    EXPECT_EQ(hf->state.warnings[0].number, kWarnPhraseRef);
    EXPECT_EQ(FormatWarning(hf->state.warnings[0]), "Illegal phrase reference");
    EXPECT_EQ(GetPhrase(*hf, -1), "?");
}

TEST(OldPhrases, NoTableMakesEveryReferenceIllegal) {
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 0, {})}}), "x", 0);
    EXPECT_EQ(Expand(*hf, std::string("\x01\x00\x01\x01", 4), false), "?? ");  // odd: a blank follows
    EXPECT_EQ(hf->state.warnings.size(), 2u);
}

TEST(OldPhrases, OffsetsPastTheTextAreCheckedNotFollowed) {
    std::string file = OldPhrasesFile({"aa", "bb"});
    // The third offset (end of phrase 1) at byte 8 + 4 points far away.
    file[8 + 4] = static_cast<char>(0xF0);
    file[8 + 5] = 0x7F;
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(21, 4, {})}, {"|Phrases", file}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(GetPhrase(*hf, 0), "aa");
    EXPECT_EQ(GetPhrase(*hf, 1), "?");
    EXPECT_EQ(hf->state.warnings.back().number, kWarnPhraseRef);
}

TEST(OldPhrases, HC30TableIsPlainFromByte4) {
    // count 2, 0x0100, offsets {6, 8, 11}, text.
    std::string file = U16(2) + U16(0x0100) + U16(6) + U16(8) + U16(11) + "abcde";
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(15, 0, {})}, {"|Phrases", file}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(GetPhrase(*hf, 0), "ab");
    EXPECT_EQ(GetPhrase(*hf, 1), "cde");
}

TEST(HallPhrases, LoadedPlainOrCompressedAndExpanded) {
    std::vector<std::string> phrases = ManyPhrases(200);
    phrases[5] = std::string(40, 'L');  // needs several 1 bits at width 3
    for (bool lz : {false, true}) {
        SCOPED_TRACE(lz);
        auto hf = WithHallPhrases(phrases, 3, lz);
        ASSERT_TRUE(hf);
        EXPECT_EQ(hf->file.phraseCount, 200);
        EXPECT_EQ(GetPhrase(*hf, 5), phrases[5]);
        EXPECT_EQ(GetPhrase(*hf, 199), "ph199");
        struct Case {
            std::string in, out;
        } cases[] = {
            {std::string("\x07", 1), " "},
            {std::string("\x17", 1), "  "},
            {std::string("\x0F", 1), std::string("\0", 1)},
            {std::string("\x1F", 1), std::string("\0\0", 2)},
            {std::string("\x0B" "xy", 3), "xy"},
            {std::string("\x03" "q", 2), "q"},
            {std::string("\x04", 1), "ph2"},                // even: phrase b >> 1
            {std::string("\x01\x05", 2), "ph133"},          // 128 + 0 * 256 + 5
            {std::string("\x0B" "x", 2), "x"},              // copy cut by the end
        };
        for (const auto& c : cases) EXPECT_EQ(Expand(*hf, c.in, true), c.out);
        EXPECT_TRUE(hf->state.warnings.size() <= 1u);  // only the HCRTF note
        EXPECT_EQ(Expand(*hf, std::string("\x05\x00", 2), true), "?");  // 128 + 256 + 0 = 384
    }
}

TEST(HallPhrases, DecodedLengthsFollowTheBitRule) {
    // Width 2, length = 1 + 4 per leading 1 bit + the next 2 bits:
    // phrase 0 "0 00" = 1, phrase 1 "1 0 00" = 5, phrase 2 "0 11" = 4.
    // LSB first from byte 4: 0,0,0,1,0,0,0,0 then 1,1 -> 0x08, 0x03.
    std::vector<std::uint32_t> offsets;
    std::uint8_t bits[] = {2, 0, 0, 0, 0x08, 0x03};
    ASSERT_TRUE(DecodePhraseOffsets(3, bits, 6, offsets));
    EXPECT_EQ(offsets, (std::vector<std::uint32_t>{0, 1, 6, 10}));
    // Running out of bits is reported; the offsets stay sane.
    EXPECT_FALSE(DecodePhraseOffsets(40, bits, 6, offsets));
    EXPECT_EQ(offsets.size(), 41u);
}

TEST(HallPhrases, ImageSizeMismatchAbove10GivesWarning21) {
    std::vector<std::string> phrases = ManyPhrases(20);
    for (int extra : {10, 11}) {
        auto [index, image] = HallPhraseFiles(phrases, 2, true);
        // Announce an image `extra` bytes smaller than what decompresses.
        std::uint32_t size = GetU32(reinterpret_cast<const std::uint8_t*>(index.data()) + 12) - extra;
        index.replace(12, 4, U32(size));
        auto hf = OpenHelpFileBytes(
            BuildHelpFile({{"|SYSTEM", SystemFile(21, 4, {})}, {"|PhrIndex", index}, {"|PhrImage", image}}), "x", 0);
        ASSERT_TRUE(hf);
        bool warned = !hf->state.warnings.empty() && hf->state.warnings.back().number == kWarnPhraseSize;
        EXPECT_EQ(warned, extra == 11) << extra;
        if (warned) {
            EXPECT_EQ(FormatWarning(hf->state.warnings.back()),
                      FormatString("Phrase header: expected size 0x%08lX, found 0x%08lX", (unsigned long)size,
                                   (unsigned long)(size + extra)));
        }
    }
}

TEST(HallPhrases, WildCountsAndSizesAreBounded) {
    auto [index, image] = HallPhraseFiles(ManyPhrases(10), 2, false);
    index.replace(4, 4, U32(0x7FFFFFFF));   // phrase count
    index.replace(8, 4, U32(0x7FFFFFFF));   // bit data size
    auto hf = OpenHelpFileBytes(
        BuildHelpFile({{"|SYSTEM", SystemFile(21, 4, {})}, {"|PhrIndex", index}, {"|PhrImage", image}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_LT(hf->file.phraseCount, 1000);
    EXPECT_EQ(GetPhrase(*hf, 0), "ph0");
    EXPECT_EQ(GetPhrase(*hf, 500), "?");  // its offsets lie past the image
}

TEST(PhraseExpansion, OutputIsCutAtTheGivenSize) {
    auto hf = WithHallPhrases({std::string(50, 'w')}, 4, false);
    std::string out = Expand(*hf, std::string("\x00\x00\x00", 3), true, 120);
    EXPECT_EQ(out, std::string(120, 'w'));
    EXPECT_EQ(hf->state.warnings.back().number, kWarnDamaged);
    EXPECT_EQ(Expand(*hf, "", true), "");
}

}  // namespace
}  // namespace conv
