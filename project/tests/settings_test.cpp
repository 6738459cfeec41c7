#include "project/settings.h"

#include "platform/core/ini_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using editor::ProgramSettings;

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Same(const ProgramSettings& a, const ProgramSettings& b) {
    const auto& x = a.kqIniSettings;
    const auto& y = b.kqIniSettings;
    return x.UseFontRegistry == y.UseFontRegistry && x.HtmlUseLongNames == y.HtmlUseLongNames &&
           x.HtmlConvertJumps == y.HtmlConvertJumps && x.DictionaryName == y.DictionaryName &&
           x.SynchBrowseIDs == y.SynchBrowseIDs && x.TreeShowButtons == y.TreeShowButtons &&
           x.TreeShowLines == y.TreeShowLines && a.RulerInSplitView == b.RulerInSplitView &&
           a.NonscrollSplitterPos == b.NonscrollSplitterPos && a.SplitViewSplitterPos == b.SplitViewSplitterPos &&
           a.Top == b.Top && a.Left == b.Left && a.Height == b.Height && a.Width == b.Width &&
           a.HelpHints == b.HelpHints && a.ShowTipOfTheDay == b.ShowTipOfTheDay && a.LastProject == b.LastProject &&
           a.TopicJumpBold == b.TopicJumpBold && a.PopupsHaveAutoSearchKeys == b.PopupsHaveAutoSearchKeys &&
           a.GridFontSize == b.GridFontSize && a.GridFontBold == b.GridFontBold && a.DelphiKwgen == b.DelphiKwgen;
}

TEST(Settings, AbsentOrGarbageFilesGiveTheDefaults) {
    testsupport::TempDir tmp;
    const ProgramSettings defaults;
    EXPECT_EQ(defaults.kqIniSettings.DictionaryName, "British.dct");
    EXPECT_TRUE(Same(editor::ReadProgramSettings((tmp / "none.ini").string()), defaults));
    const std::string garbage[] = {
        std::string("\x01\x02\xff binary \0 junk\n[[[\n==\n", 25),
        "[SplitView]\nGridFontSize=big\nSplitViewBarSplitter=\n[WindowPosition]\nTop=x\nWidth=\n"
        "[IDE]\nSynchBrowseIDs=yes\n",
    };
    for (const std::string& text : garbage) {
        std::ofstream(tmp / "Tavrin.ini", std::ios::binary) << text;
        EXPECT_TRUE(Same(editor::ReadProgramSettings((tmp / "TAVRIN.INI").string()), defaults)) << text;
    }
}

TEST(Settings, RoundTrip) {
    testsupport::TempDir tmp;
    ProgramSettings s;
    s.kqIniSettings = {false, true, false, "German.dct", "not stored", false, false, false};
    s.RulerInSplitView = true;
    s.NonscrollSplitterPos = 33;
    s.SplitViewSplitterPos = 77;
    s.Top = 20;
    s.Left = -4;
    s.Height = 700;
    s.Width = 1024;
    s.HelpHints = false;
    s.ShowTipOfTheDay = false;
    s.LastProject = "My Project";
    s.TopicJumpBold = true;
    s.PopupsHaveAutoSearchKeys = true;
    s.GridFontSize = 12;
    s.GridFontBold = true;
    s.DelphiKwgen = "C:\\Tools\\kwgen.exe";
    const std::string ini = (tmp / "Tavrin.ini").string();
    editor::WriteProgramSettings(ini, s, {"Arial", "Courier"});
    ProgramSettings back = editor::ReadProgramSettings(ini);
    s.kqIniSettings.LastInheritedFrom.clear();
    EXPECT_TRUE(Same(back, s));
    EXPECT_EQ(back.IniFonts, (std::vector<std::string>{"Arial", "Courier"}));
}

TEST(Settings, GridFontSizeAndSplitterRanges) {
    testsupport::TempDir tmp;
    const std::string ini = (tmp / "Tavrin.ini").string();
    struct Case {
        const char* value;
        int grid, splitter;
    };
    const Case cases[] = {{"7", 8, 7},    {"15", 8, 15},    {"14", 14, 14}, {"8", 8, 8},   {"0", 8, 0},
                          {"100", 8, 100}, {"101", 8, 41}, {"-1", 8, 41},  {"x", 8, 41}};
    for (const Case& c : cases) {
        plat::WritePrivateProfileString("SplitView", "GridFontSize", c.value, ini);
        plat::WritePrivateProfileString("SplitView", "SplitViewBarSplitter", c.value, ini);
        plat::WritePrivateProfileString("MaxHelp", "NonscrollBarSplitter", c.value, ini);
        ProgramSettings s = editor::ReadProgramSettings(ini);
        EXPECT_EQ(s.GridFontSize, c.grid) << c.value;
        EXPECT_EQ(s.SplitViewSplitterPos, c.splitter) << c.value;
        EXPECT_EQ(s.NonscrollSplitterPos, c.splitter == 41 ? 15 : c.splitter) << c.value;
    }
}

// Every number start-up reads from Tavrin.ini, with values a damaged or
// hand-edited file holds: out of range gives the key's default, so no window
// opens off-screen, one pixel wide or larger than any screen.
TEST(Settings, EveryNumberReadIsRangeChecked) {
    testsupport::TempDir tmp;
    const std::string ini = (tmp / "Tavrin.ini").string();
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        int expected;
        int ProgramSettings::*field;
    };
    const Case cases[] = {
        {"WindowPosition", "Top", "-99999999", 1, &ProgramSettings::Top},
        {"WindowPosition", "Top", "2147483647", 1, &ProgramSettings::Top},
        {"WindowPosition", "Top", "-2147483648", 1, &ProgramSettings::Top},
        {"WindowPosition", "Top", "0", 0, &ProgramSettings::Top},
        {"WindowPosition", "Top", "-8", -8, &ProgramSettings::Top},
        {"WindowPosition", "Top", "1500", 1500, &ProgramSettings::Top},
        {"WindowPosition", "Left", "-99999999", 1, &ProgramSettings::Left},
        {"WindowPosition", "Left", "99999", 1, &ProgramSettings::Left},
        {"WindowPosition", "Left", "-4", -4, &ProgramSettings::Left},
        {"WindowPosition", "Width", "2147483647", 800, &ProgramSettings::Width},
        {"WindowPosition", "Width", "0", 800, &ProgramSettings::Width},
        {"WindowPosition", "Width", "-640", 800, &ProgramSettings::Width},
        {"WindowPosition", "Width", "1", 800, &ProgramSettings::Width},
        {"WindowPosition", "Width", "99999999999", 800, &ProgramSettings::Width},
        {"WindowPosition", "Width", "1024", 1024, &ProgramSettings::Width},
        {"WindowPosition", "Width", "3840", 3840, &ProgramSettings::Width},
        {"WindowPosition", "Height", "2147483647", 600, &ProgramSettings::Height},
        {"WindowPosition", "Height", "0", 600, &ProgramSettings::Height},
        {"WindowPosition", "Height", "19", 600, &ProgramSettings::Height},
        {"WindowPosition", "Height", "700", 700, &ProgramSettings::Height},
        {"SplitView", "GridFontSize", "2147483647", 8, &ProgramSettings::GridFontSize},
        {"SplitView", "GridFontSize", "-2147483648", 8, &ProgramSettings::GridFontSize},
        {"SplitView", "SplitViewBarSplitter", "2147483647", 41, &ProgramSettings::SplitViewSplitterPos},
        {"SplitView", "SplitViewBarSplitter", "-99999999", 41, &ProgramSettings::SplitViewSplitterPos},
        {"MaxHelp", "NonscrollBarSplitter", "2147483647", 15, &ProgramSettings::NonscrollSplitterPos},
        {"MaxHelp", "NonscrollBarSplitter", "-99999999", 15, &ProgramSettings::NonscrollSplitterPos},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(ini);
        plat::WritePrivateProfileString(c.section, c.key, c.value, ini);
        const ProgramSettings s = editor::ReadProgramSettings(ini);
        EXPECT_EQ(s.*c.field, c.expected) << c.key << "=" << c.value;
    }
}

TEST(Settings, FontListNeedsMoreThanOneScreenFont) {
    testsupport::TempDir tmp;
    const std::string ini = (tmp / "Tavrin.ini").string();
    plat::WritePrivateProfileString("FontList", "Old Font", "0", ini);
    editor::WriteProgramSettings(ini, ProgramSettings{}, {"Arial"});
    EXPECT_TRUE(plat::TIniFile(ini).ReadSection("FontList").empty());
    editor::WriteProgramSettings(ini, ProgramSettings{}, {"Arial", "Symbol", "Times New Roman"});
    EXPECT_EQ(plat::TIniFile(ini).ReadSectionValues("FontList"),
              (std::vector<std::string>{"Arial=0", "Symbol=1", "Times New Roman=2"}));
    EXPECT_EQ(editor::SortedScreenFonts({"Symbol", "arial", "Arial", "Courier"}),
              (std::vector<std::string>{"arial", "Courier", "Symbol"}));
    EXPECT_TRUE(editor::SameFontLists({"A", "B"}, {"A", "B"}));
    EXPECT_FALSE(editor::SameFontLists({"A", "B"}, {"B", "A"}));
    EXPECT_FALSE(editor::SameFontLists({"A"}, {"A", "B"}));
}

TEST(Settings, DictionaryFallbackKeepsTheChosenName) {
    struct Case {
        const char* chosen;
        std::vector<const char*> present;
        const char* effective;
    };
    const Case cases[] = {
        {"British.dct", {"German.dct"}, "German.dct"},
        {"British.dct", {"English.dct", "German.dct"}, "English.dct"},
        {"British.dct", {"british.dct", "German.dct"}, "British.dct"},
        {"British.dct", {}, "British.dct"},
        {"Dutch.dct", {"German.dct"}, "German.dct"},
        {"Dutch.dct", {"Dutch.dct", "British.dct"}, "Dutch.dct"},
        {"Dutch.dct", {"British.dct", "English.dct"}, "British.dct"},
    };
    for (const Case& c : cases) {
        testsupport::TempDir tmp;
        for (const char* f : c.present) std::ofstream(tmp / f) << "x";
        EXPECT_EQ(editor::EffectiveDictionaryName(tmp.path().string(), c.chosen), c.effective) << c.chosen;
    }
}

TEST(Settings, CloseWritesInItsOrder) {
    testsupport::TempDir tmp;
    const std::string ini = (tmp / "Tavrin.ini").string();
    // What the grid-layout bag wrote just before.
    plat::WritePrivateProfileString("SplitView", "HelpIdGrid_Field_0", "Application,25,0,1,0", ini);
    plat::WritePrivateProfileString("SplitView", "HelpIdGrid_Field_3", "Title,50,3,1,0", ini);
    plat::WritePrivateProfileString("FontList", "Gone", "0", ini);
    ProgramSettings s;
    s.NonscrollSplitterPos = 0;   // not written
    s.SplitViewSplitterPos = 130;  // low seven bits: 2
    s.LastProject = "Demo";
    s.ShowContext = true;
    editor::WriteProgramSettings(ini, s, {"Arial", "Symbol"});
    EXPECT_EQ(ReadAll(tmp / "Tavrin.ini"),
              "[SplitView]\r\n"
              "HelpIdGrid_Field_0=Application,25,0,1,0\r\n"
              "HelpIdGrid_Field_3=\r\n"
              "SplitViewBarSplitter=2\r\n"
              "TreeShowButtons=1\r\n"
              "TreeShowLines=1\r\n"
              "HELPIDGRID_FIELD_4=\r\nHELPIDGRID_FIELD_5=\r\nHELPIDGRID_FIELD_6=\r\nHELPIDGRID_FIELD_7=\r\n"
              "HELPIDGRID_FIELD_8=\r\nHELPIDGRID_FIELD_9=\r\nHELPIDGRID_FIELD_10=\r\nHELPIDGRID_FIELD_11=\r\n"
              "HELPIDGRID_FIELD_12=\r\nHELPIDGRID_FIELD_13=\r\nHELPIDGRID_FIELD_14=\r\nHELPIDGRID_FIELD_15=\r\n"
              "HELPIDGRID_FIELD_16=\r\n"
              "ShowContext=1\r\n"
              "GridFontSize=8\r\n"
              "GridFontBold=0\r\n"
              "[IDE]\r\n"
              "SynchBrowseIDs=1\r\n"
              "DictionaryName=British.dct\r\n"
              "UseFontRegistry=1\r\n"
              "RulerInSplitView=0\r\n"
              "[WindowPosition]\r\nTop=1\r\nLeft=1\r\nHeight=600\r\nWidth=800\r\n"
              "[Menus]\r\nHelpHints=1\r\n"
              "[Help]\r\nShowTipOfTheDay=1\r\n"
              "[LastWorkingOn]\r\nProject=Demo\r\n"
              "[Formatting]\r\nTopicJumpBold=0\r\nPopupsHaveAutoSearchKeys=0\r\n"
              "[Paths]\r\nDelphiKwgen=\r\n"
              "[HTML]\r\nHtmlUseLongNames=0\r\nHtmlConvertJumps=1\r\n"
              "[FontList]\r\nArial=0\r\nSymbol=1\r\n");
}

}  // namespace
