// The RTF head (fonts, colours, style sheet, document information),
// pictures in the RTF, and picture extraction into BMP, WMF and SHG files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "converter/converter_strings.h"
#include "converter/pictures.h"
#include "converter/rtf_head.h"
#include "converter/topic_stream.h"
#include "converter/tests/hlp_builder.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using hlptest::U16;
using hlptest::U32;

// Runs the test body in a fresh current folder.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        plat_home_ = dir_.path() / "home";
        std::filesystem::create_directories(plat_home_);
        setenv("TAVRIN_HOME", plat_home_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::current_path(old_); }
    testsupport::TempDir dir_;
    std::filesystem::path old_, plat_home_;
};

std::string FaceName(const std::string& name) { return name + std::string(20 - name.size(), '\0'); }

// Two old 11-byte descriptors: bold 10 pt swiss Arial in white, italic
// underlined 12 pt modern "Courier New" in red.
std::string TwoFonts() {
    std::string f = U16(2) + U16(2) + U16(8) + U16(48) + FaceName("Arial") + FaceName("Courier New");
    f += std::string("\x01\x14\x03", 3) + U16(0) + std::string("\xFF\xFF\xFF\x00\x00\x00", 6);
    f += std::string("\x06\x18\x01", 3) + U16(1) + std::string("\xFF\x00\x00\x00\x00\x00", 6);
    return f;
}

std::unique_ptr<HelpFile> Open(std::vector<hlptest::InternalFileDef> files, ConversionFlags flags,
                               const std::string& path = "C:\\HELP\\DEMO.HLP") {
    files.push_back({"|SYSTEM", hlptest::SystemFile(21, 0, {{1, std::string("Demo Help\0", 10)}})});
    return OpenHelpFileBytes(hlptest::BuildHelpFile(std::move(files)), path, flags);
}

const char kStyles[] =
    "{\\stylesheet{\\f0\\fs20\\lang1031 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28\\lang1031\\kerning28 \\sbasedon0\\snext0 heading 1;}\n"
    "{\\s2\\sb240\\sa60\\keepn \\b\\i\\f0\\lang1031 \\sbasedon0\\snext0 heading 2;}\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}\n"
    "{\\s15\\fi-200\\li200\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 1;}\n"
    "{\\s16\\fi-200\\li400\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 2;}\n"
    "{\\s24\\sb360\\sa240\\brdrt\\brdrth\\brdrw15 \\b\\i\\f0\\fs26\\lang1031 \\sbasedon0\\snext15 index heading;}\n"
    "{\\s25\\sb360\\tqr\\tx9072 \\b\\caps\\f0\\lang1031 \\sbasedon0\\snext0 toc 1;}\n"
    "{\\s26\\li200\\sb240\\tqr\\tx9072 \\b\\f0\\fs20\\lang1031 \\sbasedon0\\snext0 toc 2;}\n"
    "}";

TEST_F(InTempFolder, SourceHeadWithFontsAndColours) {
    auto hf = Open({{"|FONT", TwoFonts()}}, kBrowseSequences | kPageBreak | kJumps);
    ASSERT_TRUE(hf);
    RtfOutput project = RtfOutput::Memory(), rtf = RtfOutput::Memory();
    WriteRtfHeader(*hf, project, rtf, "DEMO.RTF");
    // White foreground is written black; no template without print aids.
    EXPECT_EQ(rtf.Text(), std::string("{\\rtf1\\ansi\\deff0\\deflang1031 {\\fonttbl\n{\\f0\\fswiss Arial;}\n"
                                      "{\\f1\\fmodern Courier New;}\n}\n{\\colortbl\n\\red0\\green0\\blue0;\n"
                                      "\\red255\\green0\\blue0;\n}\n\\paperw11906 ") +
                              kStyles);
    EXPECT_EQ(project.Text(), "DEMO.RTF\n");
    ASSERT_EQ(hf->state.fontCommands.size(), 2u);
    EXPECT_EQ(hf->state.fontCommands[0], "\\f0\\cf0\\fs20\\b\\i0\\ul0");
    EXPECT_EQ(hf->state.fontCommands[1], "\\f1\\cf1\\fs24\\b0\\i\\ul");
}

// The template names a file beside the program for the word processor's
// user: a native path in its real case, escaped once for RTF.
TEST_F(InTempFolder, TemplateIsANativePathInItsRealCase) {
    const std::filesystem::path home = dir_.path() / "TavrinHome";
    std::filesystem::create_directories(home);
    testsupport::WriteFileBytes(home / "Rendlow.dot", "x");
    setenv("TAVRIN_HOME", home.c_str(), 1);
    plat::SetDataHome("");
    struct {
        const char* dotFile;
        std::string shown;
    } cases[] = {
        {nullptr, home.string() + "/Rendlow.dot"},     // the default, found in its real case
        {"Styles\\Print.DOT", home.string() + "/Styles/Print.DOT"},
    };
    for (const auto& c : cases) {
        if (c.dotFile) plat::WritePrivateProfileString("Options", "DOTfile", c.dotFile, "Rendlow.ini");
        auto hf = Open({{"|FONT", TwoFonts()}}, kForPrint | kNoShg | kToc);
        ASSERT_TRUE(hf);
        RtfOutput project = RtfOutput::Memory(), rtf = RtfOutput::Memory();
        WriteRtfHeader(*hf, project, rtf, "DEMO.RTF");
        const std::string& t = rtf.Text();
        const std::size_t at = t.find("{\\*\\template ");
        ASSERT_NE(at, std::string::npos);
        // The escaping counter's line feeds aside.
        std::string tmpl = t.substr(at + 13, t.find('}', at) - at - 13);
        std::erase(tmpl, '\n');
        EXPECT_EQ(tmpl, c.shown) << (c.dotFile ? c.dotFile : "default");
    }
}

TEST_F(InTempFolder, PrintHeadHasInformationAndPageHeader) {
    auto hf = Open({{"|FONT", TwoFonts()}}, kForPrint | kNoShg | kToc);
    ASSERT_TRUE(hf);
    RtfOutput project = RtfOutput::Memory(), rtf = RtfOutput::Memory();
    WriteRtfHeader(*hf, project, rtf, "DEMO.RTF");
    const std::string& t = rtf.Text();
    EXPECT_NE(t.find("\\paperw11906 {\\*\\template "), std::string::npos);
    EXPECT_NE(t.find("Rendlow.DOT}{\\stylesheet"), std::string::npos);
    const std::string tail = std::string(kStyles) +
                             "{\\info{\\title Demo Help}{\\keywords C:\\\\HELP\\\\DEMO.HLP}}\\colsx709{\\header\\pard\\plain"
                             "\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252\\tqr\\tx8504\\f0\\fs20\\lang1031 DEMO.RTF\\fs15\\tab "
                             "Demo Help\\fs20\\tab Page {\\field{\\*\\fldinst page }} of {\\field{\\*\\fldinst numpages }} "
                             "\\par}\n";
    // Line feeds of the escaping counter aside, the tail is literal.
    auto flat = [](std::string x) {
        std::string o;
        for (char c : x)
            if (c != '\n') o += c;
        return o;
    };
    EXPECT_EQ(flat(t.substr(t.find("{\\stylesheet"))), flat(tail));
    EXPECT_TRUE(project.Text().empty());
    // Print mode: a descriptor of 0 half points is 24.
    FontDescriptor zero;
    EXPECT_EQ(FontCommand(zero, 3, true), "\\f3\\cf3\\fs24\\b0\\i0\\ul0");
    EXPECT_EQ(FontCommand(zero, 3, false), "\\f3\\cf3\\fs0\\b0\\i0\\ul0");
}

TEST_F(InTempFolder, HelpFileWithoutFontsGetsADefaultFont) {
    auto hf = Open({}, 0);
    ASSERT_TRUE(hf);
    RtfOutput project = RtfOutput::Memory(), rtf = RtfOutput::Memory();
    WriteRtfHeader(*hf, project, rtf, "X.RTF");
    EXPECT_NE(rtf.Text().find("{\\fonttbl\n{\\f0\\fswiss Arial;}\n}\n{\\colortbl\n\\red0\\green0\\blue0;\n}"),
              std::string::npos);
    ASSERT_EQ(hf->state.fontCommands.size(), 1u);
    EXPECT_EQ(hf->state.fontCommands[0], "\\f0\\cf0\\fs20\\b0\\i0\\ul0");
}

TEST_F(InTempFolder, PictureReferencesByMode) {
    struct Case {
        ConversionFlags flags;
        std::string name;
        char align;
        bool embedded;
        std::string expected;
    } cases[] = {
        {0, "bm1.bmp", 'c', false, "\\{bmc bm1.bmp\\}"},
        {0, "bm2T0.bmp", 'l', false, "\\{bmlt bm2T0.bmp\\}"},
        {0, "bmw3.bmp", 'r', true, "\\{bmrwd bmw3.bmp\\}"},
        {kForPrint, "bm1.wmf", 'c', false, "{\\field {\\*\\fldinst import bm1.wmf \\* Mergeformat}}"},
        {kForPrint, "bm1.wmf", 'l', false, "{\\pvpara {\\field {\\*\\fldinst import bm1.wmf \\* Mergeformat}}\\par}"},
        {kForPrint, "bm1.wmf", 'r', false,
         "{\\pvpara\\posxr{\\field {\\*\\fldinst import bm1.wmf \\* Mergeformat}}\\par}"},
        // a file that does not open is referred to, not embedded
        {kForPrint | kBmpInRtf, "missing.bmp", 'c', false, "{\\field {\\*\\fldinst import missing.bmp \\* Mergeformat}}"},
    };
    for (const Case& c : cases) {
        HelpFile hf;
        hf.ownOptions.flags = c.flags;
        RtfOutput out = RtfOutput::Memory();
        WriteRtfPicture(hf, out, c.name, c.align, c.embedded);
        EXPECT_EQ(out.Text(), c.expected) << c.name;
    }
}

TEST_F(InTempFolder, EmbeddedMetafileAndBitmap) {
    // A placeable metafile of 1,000 x 500 units at 1,440 per inch and 4
    // bytes of records.
    std::string wmf = U32(0x9AC6CDD7) + U16(0) + U16(0) + U16(0) + U16(1000) + U16(500) + U16(1440) + U32(0) + U16(0) +
                      std::string("\x01\x02\xAB\xCD", 4);
    testsupport::WriteFileBytes("pic.wmf", wmf);
    HelpFile hf;
    hf.ownOptions.flags = kForPrint | kBmpInRtf;
    RtfOutput out = RtfOutput::Memory();
    WriteRtfPicture(hf, out, "pic.wmf", 'c', false);
    EXPECT_EQ(out.Text(), "{\\pict\\wmetafile8\\picw1764\\pich882\\picwgoal1000\\pichgoal500\n0102ABCD\n}");

    // A 100 x 50 24-bit bitmap without resolution: 3,840 pixels per metre.
    const std::uint32_t image = ((24 * 100 + 31) / 32) * 4 * 50;  // 15,000
    std::string bmp = "BM" + U32(54 + image) + U32(0) + U32(54) + U32(40) + U32(100) + U32(50) + U16(1) + U16(24) +
                      U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + std::string(image, '\x11');
    testsupport::WriteFileBytes("pic.bmp", bmp);
    RtfOutput out2 = RtfOutput::Memory();
    WriteRtfPicture(hf, out2, "pic.bmp", 'c', false);
    const std::string& t = out2.Text();
    ASSERT_EQ(t.rfind("{\\pict\\wmetafile8\\picw2604\\pich1302\\picwgoal1476\\pichgoal738\n", 0), 0u);
    // S = (0 + 15,000 + 40) / 2 + 14 = 7,534 words; the header says S + 26.
    std::string hex;
    for (char c : t) if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
    const std::string head = hex.substr(hex.find("010009000003"));
    EXPECT_EQ(head.substr(0, 36), "010009000003" "881D0000" "0000" "6E1D0000" "0000");
    // map mode, origin, extent (height 50 = 0x32, width 100 = 0x64), then the drawing record
    EXPECT_EQ(head.substr(36, 56), "04000000" "0301" "0800" "05000000" "0B02" "0000" "0000" "05000000" "0C02" "3200" "6400");
    EXPECT_NE(t.find("0300000000000000000000000000}"), std::string::npos);

    // An SHG file is never embedded.
    testsupport::WriteFileBytes("bm9.SHG", "lp");
    RtfOutput out3 = RtfOutput::Memory();
    WriteRtfPicture(hf, out3, "bm9.SHG", 'c', false);
    EXPECT_EQ(out3.Text(), "{\\field {\\*\\fldinst import bm9.SHG \\* Mergeformat}}");
}

// ---- picture extraction ----


// A 4-bit bitmap image of w x h with a 2-colour table, unpacked pixels.
std::string BitmapImage(std::uint32_t w, std::uint32_t h, const std::string& hotspots = "", std::uint32_t important = 0) {
    const std::uint32_t pixels = ((4 * w + 31) / 32) * 4 * h;
    return hlptest::ShgBitmapImage(w, h, 4, 0, U32(0x000000FF) + U32(0x00FFFFFF), 2, std::string(pixels, '\x12'),
                                   hotspots, important);
}

std::string MetafileImage(std::uint16_t w, std::uint16_t h, const std::string& records) {
    return hlptest::ShgMetafileImage(w, h, records);
}

std::string Container(const std::string& sig, const std::vector<std::string>& images) {
    return hlptest::ShgContainer(sig, images);
}

// One jump hotspot to "target_topic".
std::string Hotspots() {
    return std::string(1, '\x01') + U16(1) + U32(0) + U16(0x00E3) + std::string(13, '\0') +
           std::string("hs1\0target_topic\0", 17);
}

// A BMP as a reader checks it: header sizes agree with the file.
void ExpectValidBmp(const std::string& name, std::uint32_t w, std::uint32_t h) {
    std::string f = testsupport::ReadFileBytes(name);
    ASSERT_GE(f.size(), 54u) << name;
    const auto* p = reinterpret_cast<const std::uint8_t*>(f.data());
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(GetU32(p + 2), f.size());
    EXPECT_EQ(GetU32(p + 14), 40u);
    EXPECT_EQ(GetU32(p + 18), w);
    EXPECT_EQ(GetU32(p + 22), h);
    const std::uint32_t bits = GetU16(p + 28);
    const std::uint32_t palette = bits <= 8 ? (GetU32(p + 46) ? GetU32(p + 46) : 1u << bits) : GetU32(p + 46);
    EXPECT_EQ(GetU32(p + 10), 54 + palette * 4) << name;
    EXPECT_GE(f.size() - GetU32(p + 10), ((bits * w + 31) / 32) * 4 * h) << name;
}

std::string ConvertBytes(HelpFile& hf, const std::string& container, const std::string& base) {
    HelpStream s(container);
    return ConvertPictureStream(hf, s, 0, static_cast<std::uint32_t>(container.size()), base);
}

TEST_F(InTempFolder, MultiResolutionPictureGivesOneBmpPerImage) {
    HelpFile hf;
    const std::string name = ConvertBytes(hf, Container("lp", {BitmapImage(8, 4), BitmapImage(16, 8), BitmapImage(3, 2)}), "bm5");
    EXPECT_EQ(name, "bm52.bmp");
    ExpectValidBmp("bm50.bmp", 8, 4);
    ExpectValidBmp("bm51.bmp", 16, 8);
    ExpectValidBmp("bm52.bmp", 3, 2);
    EXPECT_TRUE(hf.state.warnings.empty());
}

TEST_F(InTempFolder, HotspotsKeepTheContainerUnlessBmpOnly) {
    const std::string shg = Container("lP", {BitmapImage(8, 4, Hotspots())});
    HelpFile keep;
    EXPECT_EQ(ConvertBytes(keep, shg, "bm1"), "bm1.SHG");
    EXPECT_EQ(testsupport::ReadFileBytes("bm1.SHG"), shg);
    EXPECT_FALSE(std::filesystem::exists("bm10.bmp"));
    ASSERT_EQ(keep.state.knownNames.size(), 1u);
    EXPECT_EQ(keep.state.knownNames[0].name, "target_topic");

    HelpFile bmpOnly;
    bmpOnly.ownOptions.flags = kNoShg;
    EXPECT_EQ(ConvertBytes(bmpOnly, shg, "bm2"), "bm20.bmp");
    ExpectValidBmp("bm20.bmp", 8, 4);
    ASSERT_EQ(bmpOnly.state.knownNames.size(), 1u);
}

TEST_F(InTempFolder, TransparentBadSignatureAndUnknownImages) {
    HelpFile hf;
    EXPECT_EQ(ConvertBytes(hf, Container("lp", {BitmapImage(8, 4, "", 1)}), "bm3"), "bm3T0.bmp");
    ExpectValidBmp("bm3T0.bmp", 8, 4);

    HelpFile bad;
    EXPECT_EQ(ConvertBytes(bad, "xy" + U16(0), "bm4"), "bm4.SHG");
    ASSERT_EQ(bad.state.warnings.size(), 1u);
    EXPECT_EQ(bad.state.warnings[0].number, 32);
    EXPECT_EQ(FormatWarning(bad.state.warnings[0]), "Invalid .SHG or .MRB file! Type: xy");

    HelpFile unknown;
    EXPECT_EQ(ConvertBytes(unknown, Container("lp", {U16(0x0407) + std::string(10, '\0')}), "bm6"), "bm6.SHG");
    ASSERT_EQ(unknown.state.warnings.size(), 1u);
    EXPECT_EQ(FormatWarning(unknown.state.warnings[0]), "Unknown sfImageType value 0x407 in file bm6.SHG.");
}

// ---- picture files read for use outside a help file ----

TEST(ShgPictureFile, BitmapWithJumpPopupAndMacroHotspots) {
    const std::vector<hlptest::ShgHotspotDef> defs = {
        {0x00E3, 1, 2, 30, 20, "hs1", "topic_one"},
        {0x04E6, 40, 2, 10, 12, "hs2", "popup_two"},
        {0x00C8, 0, 50, 64, 14, "hs3", "JumpId(`x.hlp',`y')"},
    };
    const std::string shg = Container("lP", {BitmapImage(8, 4, hlptest::ShgHotspotBlock(defs))});
    ShgPicture p;
    ASSERT_TRUE(ReadShgPicture(shg, p));
    ASSERT_GE(p.bitmap.size(), 54u);
    const auto* b = reinterpret_cast<const std::uint8_t*>(p.bitmap.data());
    EXPECT_EQ(p.bitmap.substr(0, 2), "BM");
    EXPECT_EQ(GetU32(b + 2), p.bitmap.size());
    EXPECT_EQ(GetU32(b + 18), 8u);
    EXPECT_EQ(GetU32(b + 22), 4u);
    EXPECT_TRUE(p.metafile.empty());
    ASSERT_EQ(p.hotspots.size(), 3u);
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const ShgHotspot& h = p.hotspots[i];
        EXPECT_EQ(h.kind, defs[i].kind);
        EXPECT_EQ(std::vector<int>({h.left, h.top, h.width, h.height}),
                  std::vector<int>({defs[i].left, defs[i].top, defs[i].width, defs[i].height}));
        EXPECT_EQ(h.name, defs[i].name);
        EXPECT_EQ(h.target, defs[i].target);
        EXPECT_EQ(h.IsMacro(), i == 2);
    }
}

TEST(ShgPictureFile, ChoosesTheFirstBitmapElseTheMetafile) {
    const std::string records = std::string("\x01\x00\x09\x00\x00\x03\x00\x00\x00\x00", 10);
    const std::string spots = hlptest::ShgHotspotBlock({{0x00E3, 5, 6, 7, 8, "m", "meta_target"}});
    ShgPicture metaOnly;
    ASSERT_TRUE(ReadShgPicture(Container("lp", {hlptest::ShgMetafileImage(2540, 1270, records, spots)}), metaOnly));
    EXPECT_TRUE(metaOnly.bitmap.empty());
    EXPECT_EQ(metaOnly.metafile, PlaceableHeader(2540, 1270) + records);
    ASSERT_EQ(metaOnly.hotspots.size(), 1u);
    EXPECT_EQ(metaOnly.hotspots[0].target, "meta_target");

    // A multiple-resolution file: the bitmap wins, with its own (no) hotspots.
    ShgPicture both;
    ASSERT_TRUE(ReadShgPicture(
        Container("lp", {hlptest::ShgMetafileImage(2540, 1270, records, spots), BitmapImage(16, 8)}), both));
    EXPECT_EQ(GetU32(reinterpret_cast<const std::uint8_t*>(both.bitmap.data()) + 18), 16u);
    EXPECT_TRUE(both.metafile.empty());
    EXPECT_TRUE(both.hotspots.empty());
}

TEST(ShgPictureFile, DamageGivesLessNeverMore) {
    const std::string good = hlptest::ShgHotspotBlock({{0x00E3, 1, 1, 1, 1, "a", "first"}, {0x00E3, 2, 2, 2, 2, "b", "second"}});
    struct Case {
        const char* what;
        std::string bytes;
        bool container;
        std::size_t hotspots;
    } cases[] = {
        {"not a container", "BM this is a bitmap file", false, 0},
        {"empty", "", false, 0},
        {"no images", "lp" + U16(0), true, 0},
        {"image offset beyond the end", "lp" + U16(1) + U32(0x7FFFFFF0), true, 0},
        // The second hotspot's target is cut off: the first stays.
        {"strings cut short", Container("lP", {BitmapImage(8, 4, good.substr(0, good.size() - 4))}), true, 1},
        // 65,535 records claimed in a few bytes.
        {"wild hotspot count", Container("lP", {BitmapImage(8, 4, std::string(1, '\x01') + U16(0xFFFF) + U32(0) + "xyz")}), true, 0},
        // A record of an unknown kind ends the list.
        {"unknown kind", Container("lP", {BitmapImage(8, 4, hlptest::ShgHotspotBlock({{0x00E3, 1, 1, 1, 1, "a", "t"}, {0x1234, 0, 0, 0, 0, "b", "u"}}))}), true, 1},
    };
    for (const Case& c : cases) {
        ShgPicture p;
        EXPECT_EQ(ReadShgPicture(c.bytes, p), c.container) << c.what;
        EXPECT_EQ(p.hotspots.size(), c.hotspots) << c.what;
        if (!c.container) {
            EXPECT_TRUE(p.bitmap.empty() && p.metafile.empty()) << c.what;
        }
    }
}

TEST_F(InTempFolder, MetafileGetsAPlaceableHeader) {
    HelpFile hf;
    const std::string records = std::string("\x01\x00\x09\x00\x00\x03", 6);
    const std::string name = ConvertBytes(hf, Container("lp", {MetafileImage(2540, 1270, records)}), "bm7");
    // The name handed on is the file written, in the same case.
    EXPECT_EQ(name, "bm70.wmf");
    const std::string f = testsupport::ReadFileBytes("bm70.wmf");
    ASSERT_EQ(f.size(), 22u + records.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(f.data());
    EXPECT_EQ(GetU32(p), 0x9AC6CDD7u);
    EXPECT_EQ(GetU16(p + 10), 254);  // right
    EXPECT_EQ(GetU16(p + 12), 127);  // bottom
    EXPECT_EQ(GetU16(p + 14), 254);  // units per inch
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= GetU16(p + 2 * i);
    EXPECT_EQ(GetU16(p + 20), sum);
    EXPECT_EQ(f.substr(22), records);
}

TEST_F(InTempFolder, TruncatedContainersNeverReadPastTheirEnd) {
    const std::string full = Container("lp", {BitmapImage(8, 4, Hotspots()), MetafileImage(100, 100, "abcdef")});
    for (std::size_t n = 0; n <= full.size(); n += 3) {
        HelpFile hf;
        hf.ownOptions.flags = kNoShg;
        const std::string name = ConvertBytes(hf, full.substr(0, n), "cut");
        EXPECT_FALSE(name.empty());
    }
}

TEST(SafeFileName, KeepsOnlyAPlainName) {
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"bm12", "bm12"},           {"..\\..\\evil.txt", "evil.txt"}, {"/etc/passwd", "passwd"},
        {"C:bm1", "bm1"},           {"..", "unnamed"},                {"", "unnamed"},
        {"a/b\\c.dat", "c.dat"},    {".hidden", "hidden"},            {"x*y?.txt", "xy.txt"},
        {"[FILES]", "_[FILES]"},    {"..\\;note", "_;note"},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace conv
