// The shell without windows: the mode rule, the ini options, the
// language choice, the command line and the strings of three languages.

#include <gtest/gtest.h>

#include "converter/converter_strings.h"
#include "converter/shell.h"
#include "converter/tests/hlp_builder.h"
#include <cstdio>
#include <filesystem>
#include <vector>
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

class ShellIni : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDataHome(dir_.path().string()); }
    void TearDown() override {
        plat::SetDataHome("");
        SetLanguageOffset(kLanguageEnglish);
    }
    testsupport::TempDir dir_;
};

TEST(ModeRule, TiesOptionsToTheOutputMode) {
    struct {
        ConversionFlags in, out;
    } cases[] = {
        {kForPrint, kForPrint | kNoShg},
        {kForPrint | kLocalize | kToc, kForPrint | kNoShg | kToc},
        {0, kBrowseSequences | kPageBreak | kJumps},
        {kBmpInRtf | kEwSupport | kPageLinks | kToc | kIndex | kLocalize | kNoShg,
         kBrowseSequences | kPageBreak | kJumps | kLocalize | kNoShg},
    };
    for (const auto& c : cases) EXPECT_EQ(ApplyModeRule(c.in), c.out) << std::hex << c.in;
}

TEST(CommandLine, ThreeWaysIn) {
    struct {
        const char* text;
        CommandLine::Mode mode;
        const char* path;
    } cases[] = {
        {"", CommandLine::Mode::Wizard, ""},
        {"C:\\My Help\\app.hlp", CommandLine::Mode::Convert, "C:\\My Help\\app.hlp"},
        {"-v app.hlp", CommandLine::Mode::View, "app.hlp"},
        {"-V my app", CommandLine::Mode::View, "my app"},
        {"\"quoted.hlp\"", CommandLine::Mode::Convert, "\"quoted.hlp\""},
        {"-vapp.hlp", CommandLine::Mode::Convert, "-vapp.hlp"},
    };
    for (const auto& c : cases) {
        CommandLine l = ParseCommandLine(c.text);
        EXPECT_EQ(l.mode, c.mode) << c.text;
        EXPECT_EQ(l.path, c.path) << c.text;
    }
}

TEST_F(ShellIni, DefaultsAndTheModeRule) {
    // Defaults: ForPrint, Index, Toc, BmpInRtf; the rule adds NoShg.
    EXPECT_EQ(LoadOptions(), kForPrint | kIndex | kToc | kBmpInRtf | kNoShg);
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    plat::WritePrivateProfileString("Options", "Localize", "1", "Rendlow.ini");
    const ConversionFlags f = LoadOptions();
    EXPECT_EQ(f, kBrowseSequences | kPageBreak | kJumps | kLocalize);
    SaveOptions(f);
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Index", "?", "Rendlow.ini"), "0");
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Toc", "?", "Rendlow.ini"), "0");
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Jumps", "?", "Rendlow.ini"), "1");
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Localize", "?", "Rendlow.ini"), "1");
}

TEST_F(ShellIni, LanguageFromRendlowIniThenWinIni) {
    EXPECT_EQ(LoadLanguageOffset(), kLanguageEnglish);
    plat::WriteProfileString("Intl", "sLanguage", "ESN");
    EXPECT_EQ(LoadLanguageOffset(), kLanguageSpanish);
    plat::WritePrivateProfileString("Options", "Language", "deu", "Rendlow.ini");
    EXPECT_EQ(LoadLanguageOffset(), kLanguageGerman);
    plat::WritePrivateProfileString("Options", "Language", "ESP", "Rendlow.ini");
    EXPECT_EQ(LoadLanguageOffset(), kLanguageSpanish);
    plat::WritePrivateProfileString("Options", "Language", "FRA", "Rendlow.ini");
    EXPECT_EQ(LoadLanguageOffset(), kLanguageEnglish);
}

TEST(Strings, EveryIdInEveryLanguage) {
    const int ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 19, 20, 21,
                       31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 61, 62,
                       63, 64};
    for (int id : ids) {
        const std::string en = LoadStringResource(id);
        const std::string de = LoadStringResource(id + kLanguageGerman);
        const std::string es = LoadStringResource(id + kLanguageSpanish);
        for (const std::string* s : {&en, &de, &es}) EXPECT_NE(*s, "String Id not found") << id;
        // Translations keep the format arguments in order.
        auto args = [](const std::string& s) {
            std::string a;
            for (std::size_t i = 0; i + 1 < s.size(); ++i)
                if (s[i] == '%') a += s.substr(i, s.find_first_of("sdxXc", i) - i + 1);
            return a;
        };
        EXPECT_EQ(args(de), args(en)) << id;
        EXPECT_EQ(args(es), args(en)) << id;
    }
    EXPECT_EQ(LoadStringResource(9), "String Id not found");
    EXPECT_EQ(LoadStringResource(37), "\\paperw11906");
    EXPECT_EQ(LoadStringResource(37 + kLanguageGerman), "\\paperw11906\\paperh16838");
    SetLanguageOffset(kLanguageGerman);
    EXPECT_EQ(LoadLocalString(38), "Inhalt");
    SetLanguageOffset(kLanguageEnglish);
    EXPECT_EQ(LoadLocalString(38), "Contents");
}

TEST(Strings, WarningsAreFormattedInTheChosenLanguage) {
    struct {
        HelpWarning warning;
        int language;
        const char* line;
    } cases[] = {
        {{21, {0x1234ul, 0xABCDEF01ul}}, kLanguageEnglish, "Phrase header: expected size 0x00001234, found 0xABCDEF01"},
        {{21, {0x1234ul, 0xABCDEF01ul}}, kLanguageGerman,
         "Phrasenkopf: erwartete Gr\xF6\xDF" "e 0x00001234, gefunden 0xABCDEF01"},
        {{34, {"HC30"}}, kLanguageEnglish, "File created by HC30. handling incomplete"},
        {{34, {"HC30"}}, kLanguageGerman, "Datei von HC30 erstellt. Verarbeitung unvollst\xE4ndig"},
        {{34, {"WMVC (Media Viewer)"}}, kLanguageSpanish, "Archivo creado por WMVC (Media Viewer). Tratamiento incompleto"},
        {{46, {}}, kLanguageSpanish, "Referencia de frase no v\xE1lida"},
        {{47, {"|FONT header"}}, kLanguageEnglish, "Damaged help file: |FONT header"},
        {{47, {"|FONT header"}}, kLanguageGerman, "Besch\xE4\x64igte Hilfedatei: |FONT header"},
        {{47, {"|FONT header"}}, kLanguageSpanish, "Archivo de ayuda da\xF1\x61\x64o: |FONT header"},
        // What is damaged is itself a text of the table.
        {{47, {WarningArg::Localized(kDamageIncomplete, {"|CONTEXT"})}}, kLanguageGerman,
         "Besch\xE4\x64igte Hilfedatei: |CONTEXT ist unvollst\xE4ndig"},
        {{47, {WarningArg::Localized(kDamageChain, {"|TOPIC"})}}, kLanguageSpanish,
         "Archivo de ayuda da\xF1\x61\x64o: cadena de registros rota en |TOPIC"},
        {{48, {"A:\\X.TXT", "X.TXT"}}, kLanguageSpanish,
         "No se pudo crear el archivo de localizaci\xF3n A:\\X.TXT; se ha escrito como X.TXT"},
        // Negative numbers, 32-bit "%ld", two-digit hex, characters, and a
        // text cut at its first line feed.
        {{19, {-3}}, kLanguageEnglish, "Topic #-3 does not have a context ID"},
        {{12, {0x7}}, kLanguageGerman, "Ung\xFCltiger Verweis auf Nebenfenster Nummer 0x07"},
        {{10, {-1}}, kLanguageEnglish, "Lookup for topic offset 0xFFFFFFFF for MAP failed"},
        {{32, {'x', 'Y'}}, kLanguageSpanish, "\xA1" "Archivo .SHG o .MRB no v\xE1lido! Tipo: xY"},
        {{31, {"A.BMP"}}, kLanguageEnglish, "Can't create A.BMP."},
        // A missing argument leaves its place empty rather than failing.
        {{33, {0x407}}, kLanguageEnglish, "Unknown sfImageType value 0x407 in file .SHG."},
    };
    for (const auto& c : cases) {
        SetLanguageOffset(c.language);
        EXPECT_EQ(FormatWarning(c.warning), c.line) << c.warning.number << "/" << c.language;
    }
    SetLanguageOffset(kLanguageEnglish);
    EXPECT_EQ(FormatWithArgs("[%5s|%-4s|%.2s|%04x|%hd|%%|%lld]", {"ab", "c", "xyz", 0x1F, 0x18000, -5ll}),
              "[   ab|c   |xy|001f|-32768|%|-5]");
}

// The converter run in German: the reader's warnings reach the terminal in
// German, not in the English the reader knows nothing of.
TEST_F(ShellIni, WarningLinesOfARunAreInTheChosenLanguage) {
    using namespace hlptest;
    TopicLayout layout = BuildTopic({TopicHeader(0, "T"), TextRecord(std::string("Hi\0\0", 4))}, false);
    const std::string bytes = BuildHelpFile({{"|SYSTEM", SystemFile(27, 0, {})},
                                             {"|TOPIC", layout.data},
                                             {"|FONT", std::string("\x01\x00", 2)}});
    testsupport::WriteFileBytes(dir_.path() / "MV.HLP", bytes);
    plat::WritePrivateProfileString("Options", "Language", "DEU", "Rendlow.ini");
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    const auto old = std::filesystem::current_path();
    std::filesystem::create_directories(dir_.path() / "out");
    std::filesystem::current_path(dir_.path() / "out");
    std::FILE* errors = std::tmpfile();
    ASSERT_TRUE(errors);
    const int code = RunConverter((dir_.path() / "MV.HLP").string(), nullptr, errors);
    std::filesystem::current_path(old);
    std::rewind(errors);
    std::string text;
    for (int ch; (ch = std::fgetc(errors)) != EOF;) text += static_cast<char>(ch);
    std::fclose(errors);
    EXPECT_EQ(code, 2);
    // The terminal gets UTF-8.
    EXPECT_NE(text.find("Datei von WMVC (Media Viewer) erstellt. Verarbeitung unvollst\u00e4ndig\n"), std::string::npos)
        << text;
    // The short |FONT is reported twice: one line, its count in German too.
    EXPECT_NE(text.find("Besch\u00e4digte Hilfedatei: |FONT ist zu kurz (2-mal)\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("File created by"), std::string::npos) << text;
}

TEST(WarningTally, ARepeatedLineCountsOnTheRowOfItsFirstComing) {
    struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, std::size_t>> rows;
    } cases[] = {
        {"none", {}, {}},
        {"all different", {"b", "a", "c"}, {{"b", 1}, {"a", 1}, {"c", 1}}},
        {"repeats interleaved", {"x", "y", "x", "z", "y", "x"}, {{"x", 3}, {"y", 2}, {"z", 1}}},
        // Compared as formatted: a case or a trailing blank makes another line.
        {"near misses", {"Map", "map", "map ", "map"}, {{"Map", 1}, {"map", 2}, {"map ", 1}}},
        {"empty line", {"", "", "a"}, {{"", 2}, {"a", 1}}},
    };
    for (const auto& c : cases) {
        WarningTally tally;
        std::vector<std::size_t> expectedIndex, index;
        for (const std::string& l : c.lines) {
            index.push_back(tally.Add(l));
            for (std::size_t r = 0; r < c.rows.size(); ++r)
                if (c.rows[r].first == l) expectedIndex.push_back(r);
        }
        std::vector<std::pair<std::string, std::size_t>> rows;
        for (const WarningTally::Row& r : tally.rows()) rows.emplace_back(r.text, r.count);
        EXPECT_EQ(rows, c.rows) << c.name;
        EXPECT_EQ(index, expectedIndex) << c.name;
    }
    // Many repeats stay one row.
    WarningTally many;
    for (int i = 0; i < 5000; ++i) many.Add(i % 1000 == 7 ? "other" : "same");
    ASSERT_EQ(many.rows().size(), 2u);
    EXPECT_EQ(many.rows()[0].count, 4995u);
    EXPECT_EQ(many.rows()[1].count, 5u);
}

TEST(WarningTally, CountFollowsTheLineInTheChosenLanguage) {
    struct {
        std::size_t count;
        int language;
        const char* line;
    } cases[] = {
        {1, kLanguageEnglish, "Illegal hotspot data"},
        {1, kLanguageGerman, "Illegal hotspot data"},
        {2, kLanguageEnglish, "Illegal hotspot data (2 times)"},
        {3630, kLanguageEnglish, "Illegal hotspot data (3630 times)"},
        {3630, kLanguageGerman, "Illegal hotspot data (3630-mal)"},
        {12, kLanguageSpanish, "Illegal hotspot data (12 veces)"},
    };
    for (const auto& c : cases) {
        SetLanguageOffset(c.language);
        EXPECT_EQ(TalliedLine({"Illegal hotspot data", c.count}), c.line) << c.count << "/" << c.language;
    }
    // A "%" in the warning is its text, not a format.
    SetLanguageOffset(kLanguageEnglish);
    EXPECT_EQ(TalliedLine({"100% %s %d", 2}), "100% %s %d (2 times)");
}

// EUDORA.hlp's [MAP] names one missing topic 3,630 times: the terminal
// shows that warning once, with its count, after the ones before it and
// before the ones found later.
TEST_F(ShellIni, RepeatedWarningPrintsOnceWithItsCount) {
    TAVRIN_REQUIRE_CORPUS();
    const std::filesystem::path help = testsupport::CorpusFile("hlp/EUDORA.hlp");
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    const auto old = std::filesystem::current_path();
    std::filesystem::create_directories(dir_.path() / "out");
    std::filesystem::current_path(dir_.path() / "out");
    std::FILE* errors = std::tmpfile();
    ASSERT_TRUE(errors);
    const int code = RunConverter(help.string(), nullptr, errors);
    std::filesystem::current_path(old);
    std::rewind(errors);
    std::vector<std::string> lines(1);
    for (int ch; (ch = std::fgetc(errors)) != EOF;) {
        if (ch == '\n') lines.emplace_back();
        else lines.back() += static_cast<char>(ch);
    }
    std::fclose(errors);
    if (lines.back().empty()) lines.pop_back();
    EXPECT_EQ(code, 2);
    EXPECT_LT(lines.size(), 10u) << lines.size() << " lines, the first: " << lines.front();
    const std::vector<std::string> expected = {
        "File created by HCRTF (Windows NT/Windows 95). handling incomplete",
        "Lookup for topic offset 0xFFFFFFFF for MAP failed (3630 times)",
        "Topic #175 does not have a context ID",
        "Topic #941 does not have a context ID",
    };
    if (lines.size() < 10u) EXPECT_EQ(lines, expected);
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "out" / "EUDORA.HPJ"));
}

}  // namespace
}  // namespace conv
