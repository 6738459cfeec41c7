// The shell without windows: the mode rule, the ini options, the
// language choice, the command line and the strings of three languages.

#include <gtest/gtest.h>

#include "converter/converter_strings.h"
#include "converter/shell.h"
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
    // Defaults: ForPrint, EwSupport, Index, Toc, BmpInRtf; the rule adds NoShg.
    EXPECT_EQ(LoadOptions(), kForPrint | kEwSupport | kIndex | kToc | kBmpInRtf | kNoShg);
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
                       31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 46, 47, 61, 62};
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

}  // namespace
}  // namespace conv
