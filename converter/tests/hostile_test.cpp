// Crafted help files against the whole conversion: a help file is untrusted
// input. Pictures whose headers claim far more than their data, keyword
// lists that share one occurrence list, texts that try to leave the RTF or
// the project, context aliases, page references, pictures in the temporary
// folder, inputs that are no regular files, and baggage named like the
// run's own outputs.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/rtf_head.h"
#include "converter/shell.h"
#include "converter/topic_stream.h"
#include "converter/tests/hlp_builder.h"
#include "converter/tests/source_rtf_scan.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using hlptest::U16;
using hlptest::U32;

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::create_directories(dir_.path() / "out");
        std::filesystem::create_directories(dir_.path() / "tmp");
        std::filesystem::current_path(dir_.path() / "out");
        plat::SetDataHome((dir_.path() / "home").string());
        const char* temp = std::getenv("TEMP");
        if (temp) oldTemp_ = temp;
        hadTemp_ = temp != nullptr;
        setenv("TEMP", (dir_.path() / "tmp").c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        plat::SetDataHome("");
        if (hadTemp_) setenv("TEMP", oldTemp_.c_str(), 1);
        else unsetenv("TEMP");
    }
    std::string Read(const std::string& name) { return testsupport::ReadFileBytes(name); }
    std::string Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_.path() / name;
        testsupport::WriteFileBytes(path, bytes);
        return path.string();
    }
    void EmptyOutputFolder() {
        for (const auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(e.path());
    }
    std::set<std::string> Entries(const std::filesystem::path& folder) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
        return names;
    }
    testsupport::TempDir dir_;
    std::filesystem::path old_;
    std::string oldTemp_;
    bool hadTemp_ = false;
};

std::string Commands(const std::string& commands) {
    // topic size, topic length, then the paragraph header (no settings)
    return std::string("\x00\x80\x00", 3) + std::string("\x00\x00", 2) + U16(0) + U16(0) + commands;
}

hlptest::TopicRecordDef Record(const std::string& commands, const std::string& text) {
    hlptest::TopicRecordDef r;
    r.type = 0x20;
    r.linkData1 = Commands(commands);
    r.linkData2 = text;
    return r;
}

hlptest::TopicRecordDef Paragraph(const std::string& text) { return Record("\x82\xFF", text + std::string("\0\0", 2)); }

// A reference to picture `number` (command 0x86, type 3).
hlptest::TopicRecordDef PictureParagraph(std::uint16_t number) {
    return Record("\x86\x03" + U16(0x8000) + U16(0) + U16(number) + "\x82\xFF", std::string("a\0b\0\0", 5));
}

// A bitmap image claiming w x h at `bits` per pixel, its data stored as
// given with `packing`.
std::string BitmapImage(std::uint32_t w, std::uint32_t h, std::uint32_t bits, int packing, const std::string& data,
                        const std::string& hotspots = "") {
    const std::string palette = bits <= 8 ? std::string(4u << bits, '\x40') : std::string();
    return hlptest::ShgBitmapImage(w, h, bits, packing, palette, 0, data, hotspots);
}

std::string Container(const std::vector<std::string>& images) { return hlptest::ShgContainer("lp", images); }

// LZ77 that repeats `pattern` (below 8 bytes): a first chunk of its
// literals and back references, then `chunks` chunks of eight 18-byte back
// references, 144 bytes per 17.
std::string Lz77Repeat(const std::string& pattern, int chunks) {
    const unsigned distance = static_cast<unsigned>(pattern.size()) - 1;
    auto reference = [&] {
        return std::string{static_cast<char>(distance & 0xFF), static_cast<char>(0xF0 | (distance >> 8))};
    };
    std::string out(1, static_cast<char>((0xFF << pattern.size()) & 0xFF));
    out += pattern;
    for (std::size_t k = pattern.size(); k < 8; ++k) out += reference();
    for (int c = 0; c < chunks; ++c) {
        out += '\xFF';
        for (int k = 0; k < 8; ++k) out += reference();
    }
    return out;
}

// A help file with one topic that shows picture 1.
std::string PictureHelpFile(const std::string& container, std::vector<hlptest::InternalFileDef> more = {}) {
    const auto layout = hlptest::BuildTopic({hlptest::TopicHeader(0, "Picture"), PictureParagraph(1)}, false);
    more.push_back({"|SYSTEM", hlptest::SystemFile(21, 0, {{1, std::string("Pictures\0", 9)}})});
    more.push_back({"|TOPIC", layout.data});
    more.push_back({"|bm1", container});
    return hlptest::BuildHelpFile(std::move(more), 256);
}

// The highest resident set of the process since the last reset, in KB;
// -1 when the kernel cannot reset it.
bool ResetPeakMemory() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.flush();
    return static_cast<bool>(f);
}
long PeakMemoryKb() {
    std::ifstream f("/proc/self/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int CountWarnings(const std::vector<HelpWarning>& warnings, int number) {
    int n = 0;
    for (const auto& w : warnings) n += w.number == number;
    return n;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A bitmap claiming 30,000 x 30,000 x 24 bits in a file of about a
// kilobyte: its real data unpacks to a few rows at most. Both modes make
// the picture from those rows, quickly, in little memory, with a warning.
TEST_F(Hostile, PictureSizeBombIsMadeFromItsRealRows) {
    struct Case {
        const char* what;
        int packing;
        std::string data;
        int warning;
        std::uint32_t rows;
    } cases[] = {
        // 7,300 bytes of pixels: not one 90,000-byte row
        {"LZ77", 2, Lz77Repeat("\x11\x22\x33", 50), kWarnPictureRefused, 0},
        // run-length pairs repeated by LZ77: 283,000 bytes, 3 whole rows
        {"LZ77 and run-length", 3, Lz77Repeat("\x7F\x11", 30), kWarnPictureCut, 3},
    };
    for (const Case& c : cases) {
        const std::string path = Write("BOMB.HLP", PictureHelpFile(Container({BitmapImage(30000, 30000, 24, c.packing, c.data)})));
        ASSERT_LT(std::filesystem::file_size(path), 1600u) << c.what;
        for (ConversionFlags flags : {kViewFlags, ApplyModeRule(kNoShg)}) {
            EmptyOutputFolder();
            const bool measured = ResetPeakMemory();
            const long before = PeakMemoryKb();
            const auto start = std::chrono::steady_clock::now();
            std::vector<HelpWarning> warnings;
            ConvertHelpFile({flags, path}, &warnings);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_LT(seconds, kSanitized ? 10.0 : 1.0) << c.what;
            if (measured) EXPECT_LT(PeakMemoryKb() - before, 50 * 1024) << c.what;
            EXPECT_LT(std::filesystem::file_size("BOMB.RTF"), 1000000u) << c.what;
            ASSERT_EQ(CountWarnings(warnings, c.warning), 1) << c.what << " " << flags << ": " << (warnings.empty() ? std::string("none") : FormatWarning(warnings[0]));
            for (const auto& w : warnings)
                if (w.number == c.warning)
                    EXPECT_EQ(FormatWarning(w), c.rows ? "Picture bm10.bmp cut to 3 rows: its header promises more "
                                                         "than its data holds"
                                                       : "Picture bm10.bmp refused: its header does not match its data");
            if (flags & kBmpInRtf) {
                const std::string rtf = Read("BOMB.RTF");
                EXPECT_EQ(rtf.find("\\pict") != std::string::npos, c.rows > 0) << c.what;
            } else if (c.rows) {
                // The BMP's header tells the rows it has, and has them.
                const std::string bmp = Read("bm10.bmp");
                const auto* p = reinterpret_cast<const std::uint8_t*>(bmp.data());
                ASSERT_GE(bmp.size(), 54u);
                EXPECT_EQ(GetU32(p + 18), 30000u);
                EXPECT_EQ(GetU32(p + 22), c.rows);
                EXPECT_EQ(bmp.size() - GetU32(p + 10), 90000u * c.rows);
            } else {
                EXPECT_FALSE(std::filesystem::exists("bm10.bmp"));
            }
        }
    }
}

// A picture file whose header promises more rows than it holds is embedded
// with the rows that are there, and says so in its own header.
TEST_F(Hostile, EmbeddingUsesOnlyTheBytesOfThePictureFile) {
    const std::string rows(3 * 12, '\x55');  // 3 rows of 4 pixels at 24 bits
    std::string bmp = "BM" + U32(54 + 36) + U32(0) + U32(54) + U32(40) + U32(4) + U32(30000) + U16(1) + U16(24) +
                      U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + rows;
    testsupport::WriteFileBytes("claims.bmp", bmp);
    HelpFile hf;
    hf.ownOptions.flags = kForPrint | kBmpInRtf;
    RtfOutput out = RtfOutput::Memory();
    WriteRtfPicture(hf, out, "claims.bmp", 'c', false);
    const std::string& t = out.Text();
    EXPECT_LT(t.size(), 1000u);
    // \pich from 3 rows at 3,840 pixels per metre: 3 * 100,000 / 3,840
    EXPECT_EQ(t.rfind("{\\pict\\wmetafile8\\picw104\\pich78\\picwgoal59\\pichgoal44\n", 0), 0u) << t.substr(0, 80);
    std::string hex;
    for (char ch : t)
        if (std::isxdigit(static_cast<unsigned char>(ch))) hex += ch;
    // the information header inside carries height 3 and image size 36
    EXPECT_NE(hex.find("28000000" "04000000" "03000000" "0100" "1800" "00000000" "24000000"), std::string::npos);
}

// Keywords that share one occurrence list: the index page never refers to
// more pages than the keyword data holds entries.
TEST_F(Hostile, IndexReferencesAreBoundedByTheKeywordData) {
    plat::WritePrivateProfileString("Options", "WordProcessor", "3", "Rendlow.ini");
    const auto layout = hlptest::BuildTopic({hlptest::TopicHeader(0, "Only"), Paragraph("text")}, false);
    const std::uint32_t at = layout.charOffsets[1];
    constexpr int kEntries = 300;
    std::string data;
    for (int i = 0; i < kEntries; ++i) hlptest::PutU32(data, at);
    std::vector<std::string> leaves, keys;
    for (int i = 0; i < kEntries; ++i) {
        const std::string word = FormatString("k%03d", i) + std::string(1, '\0');
        leaves.push_back(word + U16(kEntries) + U32(0));  // every keyword: all 300 occurrences
        keys.push_back(word);
    }
    const std::string path =
        Write("AMP.HLP", hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                                 {"|TOPIC", layout.data},
                                                 {"|KWBTREE", hlptest::BuildBTree(leaves, keys, 4096)},
                                                 {"|KWDATA", data}}));
    ConvertHelpFile({kViewFlags, path});
    const std::string rtf = Read("AMP.RTF");
    std::size_t refs = 0;
    for (std::size_t p = 0; (p = rtf.find("PAGEREF __", p)) != std::string::npos; ++p) ++refs;
    EXPECT_GT(refs, 0u);
    EXPECT_LE(refs, static_cast<std::size_t>(kEntries));
    EXPECT_LT(rtf.size(), 300000u);
}

// Texts of the file that try to leave their place: a macro that closes the
// document's groups, a context name with braces (a picture's hotspot
// target), a font name with braces, and |SYSTEM values with line ends that
// would add a [FILES] section to the project.
TEST_F(Hostile, FileTextsStayInsideTheirGroupsAndLines) {
    const std::string macro = "x}}}}{\\rtf1 evil}\\par\r\n[FILES]\r\n/etc/passwd{";
    const std::string evilName = "evil}{name\\";
    const std::string hotspots = std::string(1, '\x01') + U16(1) + U32(0) + U16(0x00E3) + std::string(13, '\0') + "hs1" +
                                 std::string(1, '\0') + evilName + std::string(1, '\0');
    const std::string commands = "\xC8" + U16(static_cast<std::uint16_t>(macro.size())) + macro + "\x89" + "\xE3" +
                                 U32(ContextHash(evilName)) + "\x89\x82\xFF";
    const auto layout = hlptest::BuildTopic(
        {hlptest::TopicHeader(0, "T"), Record(commands, std::string("a\0b\0c\0d\0", 8)), PictureParagraph(1)}, false);
    const std::uint32_t at = layout.charOffsets[1];
    std::string window(90, '\0');
    window.replace(0, 2, U16(0x02 | 0x04));
    window.replace(12, 4, "w\n[F");
    window.replace(21, 14, "Cap\r\n[FILES]\r\n");
    const std::string fonts = U16(1) + U16(1) + U16(8) + U16(28) + std::string("A}{B\\", 5) + std::string(15, '\0') +
                              std::string("\x00\x14\x03", 3) + U16(0) + std::string(6, '\0');
    const std::string bytes = hlptest::BuildHelpFile(
        {{"|SYSTEM", hlptest::SystemFile(21, 0,
                                         {{1, "Demo\r\n[FILES]\r\n/etc/passwd" + std::string(1, '\0')},
                                          {4, "A()\n[FILES]\n/etc/passwd" + std::string(1, '\0')},
                                          {4, "[FILES]" + std::string(1, '\0')},
                                          {6, window},
                                          {8, "cite\n[FILES]" + std::string(1, '\0')}})},
         {"|TOPIC", layout.data},
         {"|FONT", fonts},
         {"|CONTEXT", hlptest::ContextFile({{ContextHash(evilName), at}})},
         {"|bm1", Container({BitmapImage(8, 2, 4, 0, std::string(8, '\x12'), hotspots)})},
         {"[FILES]", "baggage named like a section"}});
    const std::string path = Write("INJ.HLP", bytes);
    std::string cleanMacro;
    for (char ch : macro)
        if (static_cast<unsigned char>(ch) >= 0x20) cleanMacro += ch;

    for (ConversionFlags flags : {ApplyModeRule(0), kViewFlags | kJumps}) {
        EmptyOutputFolder();
        ConvertHelpFile({flags, path});
        const std::string rtf = Read("INJ.RTF");
        const BraceCheck braces = CheckBraces(rtf);
        EXPECT_EQ(braces.minDepth, 0) << flags;
        EXPECT_EQ(braces.firstClose, rtf.size() - 1) << flags;
        EXPECT_EQ(braces.finalDepth, 0) << flags;
        const auto hidden = HiddenTexts(rtf);
        const std::set<std::string> targets(hidden.begin(), hidden.end());
        EXPECT_TRUE(targets.count("!" + cleanMacro)) << flags << "\n" << rtf;
        EXPECT_TRUE(targets.count(evilName)) << flags;
        if (flags & kPageLinks) {
            EXPECT_TRUE(BookmarkNames(rtf).count("B" + evilName));
            EXPECT_NE(FieldReferenceNames(rtf), std::vector<std::string>{});
            for (const auto& ref : FieldReferenceNames(rtf)) EXPECT_TRUE(BookmarkNames(rtf).count(ref)) << ref;
        } else {
            const auto topics = ScanSourceRtf(rtf);
            ASSERT_EQ(topics.size(), 1u);
            EXPECT_EQ(topics[0].contexts, std::vector<std::string>{evilName});
        }
    }
    // The project: every value on its own line, no section added.
    EmptyOutputFolder();
    ConvertHelpFile({ApplyModeRule(0), path});
    std::istringstream hpj(Read("INJ.HPJ"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(hpj, line);) lines.push_back(line);
    int files = 0;
    for (const auto& line : lines) {
        EXPECT_NE(line, "/etc/passwd");
        std::string upper = line;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        files += upper == "[FILES]";
    }
    EXPECT_EQ(files, 1);
    const std::set<std::string> all(lines.begin(), lines.end());
    EXPECT_TRUE(all.count("Title=Demo[FILES]/etc/passwd"));
    EXPECT_TRUE(all.count("A()[FILES]/etc/passwd"));
    EXPECT_TRUE(all.count("w[F=\"Cap[FILES]\",,,,"));
    EXPECT_TRUE(all.count("Citation= cite[FILES]"));
    EXPECT_TRUE(all.count(" [FILES]"));  // a macro, indented
    EXPECT_EQ(Read("_[FILES]"), "baggage named like a section");
    EXPECT_TRUE(all.count("_[FILES]"));
}

// Several context names at one place (aliases) each get their "#"
// footnote, or with page links their bookmark; a name of a place after the
// last text stays with the last topic.
TEST_F(Hostile, EveryContextNameIsWritten) {
    auto build = [](const std::string& first) {
        return hlptest::BuildTopic({hlptest::TopicHeader(0, "One"), Paragraph(first), hlptest::TopicHeader(1, "Two"),
                                    Paragraph("second topic")},
                                   false);
    };
    const auto layout = build("first topic text");
    const std::uint32_t one = layout.charOffsets[1], two = layout.charOffsets[3];
    std::vector<std::pair<std::uint32_t, std::uint32_t>> contexts = {
        {ContextHash("alias_a"), one}, {ContextHash("alias_b"), one},     {ContextHash("alias_c"), one},
        {ContextHash("middle"), one + 5}, {ContextHash("second"), two}, {ContextHash("past_end"), two + 5000}};
    std::sort(contexts.begin(), contexts.end());
    const std::string path = Write("ALIAS.HLP", hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                                                        {"|TOPIC", layout.data},
                                                                        {"|CONTEXT", hlptest::ContextFile(contexts)}}));
    auto hf = OpenHelpFile(path, 0);
    auto name = [&](const char* n) { return ContextNameFromHash(*hf, ContextHash(n)); };
    ConvertHelpFile({ApplyModeRule(0), path});
    const auto topics = ScanSourceRtf(Read("ALIAS.RTF"));
    ASSERT_EQ(topics.size(), 2u);
    std::set<std::string> first(topics[0].contexts.begin(), topics[0].contexts.end());
    std::set<std::string> second(topics[1].contexts.begin(), topics[1].contexts.end());
    EXPECT_EQ(first, (std::set<std::string>{name("alias_a"), name("alias_b"), name("alias_c"), name("middle")}));
    EXPECT_EQ(second, (std::set<std::string>{name("second"), name("past_end")}));
    EXPECT_EQ(topics[0].contexts.size() + topics[1].contexts.size(), contexts.size());

    ConvertHelpFile({kViewFlags, path});
    const auto marks = BookmarkNames(Read("ALIAS.RTF"));
    auto pageName = [&](const char* n) { return FormatString("B0x%08X", ContextHash(n)); };
    for (const char* n : {"alias_a", "alias_b", "alias_c", "middle", "second", "past_end"})
        EXPECT_TRUE(marks.count(pageName(n))) << n;
}

// Page references of a printable document (word processor 3): the contents
// list names each title by its |TTLBTREE offset, a few characters into the
// topic's text; the index names each occurrence by its own offset, which
// may lie well into a record; a jump to a context the file lacks gets no
// page reference. Every name referred to has its bookmark.
TEST_F(Hostile, EveryPageReferenceHasItsBookmark) {
    plat::WritePrivateProfileString("Options", "WordProcessor", "3", "Rendlow.ini");
    const std::string jumps = "\xE3" + U32(ContextHash("two_ctx")) + "\x89" + "\xE3" + U32(ContextHash("missing")) +
                              "\x89\x82\xFF";
    const auto layout = hlptest::BuildTopic(
        {hlptest::TopicHeader(0, "One"), Record(jumps, std::string("go\0 and\0 here\0\0", 16)),
         Paragraph(std::string(40, 'x')), hlptest::TopicHeader(1, "Two"), Paragraph("two text that is long enough")},
        false);
    const std::uint32_t one = layout.charOffsets[1], deep = layout.charOffsets[2] + 30, two = layout.charOffsets[4];
    std::vector<std::string> titleLeaves = {U32(one + 3) + "One" + std::string(1, '\0'),
                                            U32(two + 3) + "Two" + std::string(1, '\0')};
    std::vector<std::string> titleKeys = {U32(one + 3), U32(two + 3)};
    const auto kw = hlptest::KeywordIndex({{"deep", {deep}}, {"start", {one}}});
    const std::string path = Write(
        "REFS.HLP", hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {})},
                                            {"|TOPIC", layout.data},
                                            {"|CONTEXT", hlptest::ContextFile({{ContextHash("two_ctx"), two}})},
                                            {"|TTLBTREE", hlptest::BuildBTree(titleLeaves, titleKeys, 1024)},
                                            {"|KWBTREE", kw.btree},
                                            {"|KWDATA", kw.data}}));
    ConvertHelpFile({kViewFlags, path});
    const std::string rtf = Read("REFS.RTF");
    const auto marks = BookmarkNames(rtf);
    const auto refs = FieldReferenceNames(rtf);
    for (const auto& ref : refs) EXPECT_TRUE(marks.count(ref)) << ref;
    const std::set<std::string> referred(refs.begin(), refs.end());
    for (const std::string want : {FormatString("_%08X", one + 3), FormatString("_%08X", two + 3),
                                   FormatString("__%08X", deep & ~7u), FormatString("__%08X", one & ~7u),
                                   FormatString("B0x%08X", ContextHash("two_ctx"))})
        EXPECT_TRUE(referred.count(want)) << want;
    EXPECT_EQ(rtf.find(FormatString("B0x%08X", ContextHash("missing"))), std::string::npos);
}

// Pictures of a document that embeds them are made in a private folder: a
// link planted under the old fixed names in TEMP is never followed, and no
// picture is left behind, after a fatal end either, and when several
// pictures come out under one number.
TEST_F(Hostile, TemporaryPicturesAreMadePrivatelyAndRemovedOnEveryPath) {
    const auto temp = dir_.path() / "tmp";
    const std::string victim = Write("victim.txt", "precious");
    for (const char* planted : {"bm1.bmp", "bm10.bmp", "bm1.SHG", "bm0.bmp", "bm00.bmp"})
        std::filesystem::create_symlink(victim, temp / planted);
    const std::set<std::string> plantedNames = Entries(temp);
    const std::string picture = Container({BitmapImage(8, 2, 4, 0, std::string(8, '\x12'))});
    const std::string path =
        Write("PIC.HLP", PictureHelpFile(picture, {{"bm0", picture}, {"|bm0", picture}, {"bm00", picture}}));

    ConvertHelpFile({kViewFlags, path});
    EXPECT_NE(Read("PIC.RTF").find("\\pict"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFileBytes(victim), "precious");
    EXPECT_EQ(Entries(temp), plantedNames);
    EXPECT_EQ(Entries("."), std::set<std::string>{"PIC.RTF"});

    // A fatal end (the RTF cannot be made) removes them too.
    std::filesystem::remove("PIC.RTF");
    std::filesystem::create_directory("PIC.RTF");
    EXPECT_THROW(ConvertHelpFile({kViewFlags, path}), HelpFileError);
    EXPECT_EQ(Entries(temp), plantedNames);
    EXPECT_EQ(testsupport::ReadFileBytes(victim), "precious");
    EXPECT_EQ(Entries("."), std::set<std::string>{"PIC.RTF"});
}

// Only regular files are read: a link to an endless device and a FIFO end
// at once in "Can't open File"; memory refused while reading is the fatal
// message with exit code 1, not an abort.
TEST_F(Hostile, OnlyRegularHelpFilesAreRead) {
    const auto zero = dir_.path() / "ZERO.HLP";
    std::filesystem::create_symlink("/dev/zero", zero);
    const auto fifo = dir_.path() / "FIFO.HLP";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto folder = dir_.path() / "DIR.HLP";
    std::filesystem::create_directory(folder);
    for (const auto& p : {zero, fifo, folder}) {
        const auto start = std::chrono::steady_clock::now();
        try {
            ConvertHelpFile({ApplyModeRule(0), p.string()});
            ADD_FAILURE() << p;
        } catch (const HelpFileError& e) {
            EXPECT_EQ(std::string(e.what()), "Can't open File " + p.string());
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << p;
    }
    EXPECT_EQ(RunConverter(zero.string(), nullptr, nullptr), 1);

    // The sanitizer's shadow memory does not live under an address-space limit.
    if (kSanitized) return;
    const auto big = dir_.path() / "BIG.HLP";
    {
        std::ofstream f(big, std::ios::binary);
        f << "?_\x03";
    }
    std::filesystem::resize_file(big, 3ull << 30);  // sparse: costs no disk
    const auto errors = dir_.path() / "errors.txt";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{1ull << 30, 1ull << 30};
        setrlimit(RLIMIT_AS, &limit);
        std::FILE* err = std::fopen(errors.c_str(), "w");
        const int code = RunConverter(big.string(), nullptr, err);
        std::fclose(err);
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(testsupport::ReadFileBytes(errors).find("Not enough Memory"), std::string::npos)
        << testsupport::ReadFileBytes(errors);
}

// Baggage named like the run's own outputs, or like another baggage file,
// is written under a name of its own (with a warning) and listed once.
TEST_F(Hostile, BaggageNeverReplacesAnotherOutput) {
    const auto layout = hlptest::BuildTopic({hlptest::TopicHeader(0, "Bag"), Paragraph("text")}, false);
    const std::vector<hlptest::InternalFileDef> files = {
        {"|SYSTEM", hlptest::SystemFile(21, 0, {{5, "ICONDATA"}})},
        {"|TOPIC", layout.data},
        {"DEMO.RTF", "bag rtf"},
        {"demo.hpj", "bag hpj"},
        {"ICON.ICO", "bag icon"},
        {"..\\notes.txt", "bag notes 1"},
        {"notes.txt", "bag notes 2"},
        {"DEMO7.RTF", "bag split"},
    };
    const std::string path = Write("DEMO.HLP", hlptest::BuildHelpFile(files));
    for (ConversionFlags flags : {ApplyModeRule(0), ApplyModeRule(kSplitRtf)}) {
        EmptyOutputFolder();
        std::vector<HelpWarning> warnings;
        ConvertHelpFile({flags, path}, &warnings);
        const std::string rtfName = (flags & kSplitRtf) ? "DEMO1.RTF" : "DEMO.RTF";
        EXPECT_EQ(Read(rtfName).rfind("{\\rtf1", 0), 0u);
        const std::string hpj = Read("DEMO.HPJ");
        EXPECT_EQ(hpj.rfind("[options]", 0), 0u);
        EXPECT_EQ(Read("ICON.ICO"), "ICONDATA");
        const std::size_t at = hpj.find("[Baggage]\n");
        ASSERT_NE(at, std::string::npos);
        std::istringstream in(hpj.substr(at + 10));
        std::vector<std::string> listed;
        for (std::string line; std::getline(in, line) && !line.empty();) listed.push_back(line);
        ASSERT_EQ(listed.size(), 6u) << hpj;
        std::set<std::string> upper, contents;
        for (const auto& name : listed) {
            std::string u = name;
            for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            upper.insert(u);
            contents.insert(Read(name));
        }
        EXPECT_EQ(upper.size(), listed.size()) << hpj;
        EXPECT_EQ(contents, (std::set<std::string>{"bag rtf", "bag hpj", "bag icon", "bag notes 1", "bag notes 2",
                                                   "bag split"}));
        // The RTF's name (DEMO.RTF, or DEMO7.RTF among split files),
        // demo.hpj, ICON.ICO and the second notes.txt.
        const int renamed = CountWarnings(warnings, kWarnOutputRenamed);
        EXPECT_EQ(renamed, 4) << flags;
        for (const auto& w : warnings)
            if (w.number == kWarnOutputRenamed) EXPECT_NE(FormatWarning(w).find(" written as "), std::string::npos);
    }
}

}  // namespace
}  // namespace conv
