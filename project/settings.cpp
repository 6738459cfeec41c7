#include "project/settings.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"

#include <algorithm>

namespace editor {

std::string ProgramIniPath(const std::string& programDir) { return plat::JoinPath(programDir, kProgramIniName); }

namespace {

// A number within [low, high], else the fallback: the file may be damaged or
// edited by hand, and the window must neither vanish off-screen nor shrink
// to nothing nor outgrow every screen.
int InRange(const plat::TIniFile& ini, const char* section, const char* key, int fallback, int low, int high) {
    const int v = ini.ReadInteger(section, key, fallback);
    return v < low || v > high ? fallback : v;
}

int Percent(const plat::TIniFile& ini, const char* section, const char* key, int fallback) {
    return InRange(ini, section, key, fallback, 0, 100);
}

}  // namespace

ProgramSettings ReadProgramSettings(const std::string& iniPath) {
    ProgramSettings s;
    plat::TIniFile ini(iniPath);
    TIniSettings& k = s.kqIniSettings;
    k.SynchBrowseIDs = ini.ReadBool("IDE", "SynchBrowseIDs", true);
    k.TreeShowButtons = ini.ReadBool("SplitView", "TreeShowButtons", true);
    k.TreeShowLines = ini.ReadBool("SplitView", "TreeShowLines", true);
    k.UseFontRegistry = ini.ReadBool("IDE", "UseFontRegistry", true);
    s.RulerInSplitView = ini.ReadBool("IDE", "RulerInSplitView", false);
    k.HtmlUseLongNames = ini.ReadBool("HTML", "HtmlUseLongNames", false);
    k.HtmlConvertJumps = ini.ReadBool("HTML", "HtmlConvertJumps", true);
    k.DictionaryName = ini.ReadString("IDE", "DictionaryName", "British.dct");
    s.IniFonts = ini.ReadSection("FontList");
    s.NonscrollSplitterPos = Percent(ini, "MaxHelp", "NonscrollBarSplitter", 15);
    s.SplitViewSplitterPos = Percent(ini, "SplitView", "SplitViewBarSplitter", 41);
    s.Top = InRange(ini, "WindowPosition", "Top", 1, -kMaxWindowCoordinate, kMaxWindowCoordinate);
    s.Left = InRange(ini, "WindowPosition", "Left", 1, -kMaxWindowCoordinate, kMaxWindowCoordinate);
    s.Height = InRange(ini, "WindowPosition", "Height", 600, kMinWindowHeight, kMaxWindowCoordinate);
    s.Width = InRange(ini, "WindowPosition", "Width", 800, kMinWindowWidth, kMaxWindowCoordinate);
    s.HelpHints = ini.ReadBool("Menus", "HelpHints", true);
    s.ShowTipOfTheDay = ini.ReadBool("Help", "ShowTipOfTheDay", true);
    s.LastProject = ini.ReadString("LastWorkingOn", "Project", "");
    s.TopicJumpBold = ini.ReadBool("Formatting", "TopicJumpBold", false);
    s.GridFontSize = InRange(ini, "SplitView", "GridFontSize", 8, 8, 14);
    s.GridFontBold = ini.ReadBool("SplitView", "GridFontBold", false);
    s.PopupsHaveAutoSearchKeys = ini.ReadBool("Formatting", "PopupsHaveAutoSearchKeys", false);
    s.DelphiKwgen = ini.ReadString("Paths", "DelphiKwgen", "");
    return s;
}

void WriteProgramSettings(const std::string& iniPath, const ProgramSettings& s,
                          const std::vector<std::string>& screenFonts) {
    plat::TIniFile ini(iniPath);
    const TIniSettings& k = s.kqIniSettings;
    // Positions are percentages; the low seven bits are all they need.
    if (s.NonscrollSplitterPos > 0) ini.WriteInteger("MaxHelp", "NonscrollBarSplitter", s.NonscrollSplitterPos & 0x7F);
    if (s.SplitViewSplitterPos > 0) ini.WriteInteger("SplitView", "SplitViewBarSplitter", s.SplitViewSplitterPos & 0x7F);
    ini.WriteBool("IDE", "SynchBrowseIDs", k.SynchBrowseIDs);
    ini.WriteBool("SplitView", "TreeShowButtons", k.TreeShowButtons);
    ini.WriteBool("SplitView", "TreeShowLines", k.TreeShowLines);
    ini.WriteInteger("WindowPosition", "Top", s.Top);
    ini.WriteInteger("WindowPosition", "Left", s.Left);
    ini.WriteInteger("WindowPosition", "Height", s.Height);
    ini.WriteInteger("WindowPosition", "Width", s.Width);
    for (int i = 3; i <= 16; ++i) ini.WriteString("SplitView", "HELPIDGRID_FIELD_" + std::to_string(i), "");
    ini.WriteBool("SplitView", "ShowContext", s.ShowContext);
    ini.WriteBool("Menus", "HelpHints", s.HelpHints);
    ini.WriteBool("Help", "ShowTipOfTheDay", s.ShowTipOfTheDay);
    ini.WriteString("LastWorkingOn", "Project", s.LastProject);
    ini.WriteBool("Formatting", "TopicJumpBold", s.TopicJumpBold);
    ini.WriteInteger("SplitView", "GridFontSize", s.GridFontSize);
    ini.WriteBool("SplitView", "GridFontBold", s.GridFontBold);
    ini.WriteBool("Formatting", "PopupsHaveAutoSearchKeys", s.PopupsHaveAutoSearchKeys);
    ini.WriteString("Paths", "DelphiKwgen", s.DelphiKwgen);
    ini.EraseSection("FontList");
    ini.WriteString("IDE", "DictionaryName", k.DictionaryName);
    ini.WriteBool("IDE", "UseFontRegistry", k.UseFontRegistry);
    ini.WriteBool("IDE", "RulerInSplitView", s.RulerInSplitView);
    ini.WriteBool("HTML", "HtmlUseLongNames", k.HtmlUseLongNames);
    ini.WriteBool("HTML", "HtmlConvertJumps", k.HtmlConvertJumps);
    if (screenFonts.size() > 1) {
        for (std::size_t i = 0; i < screenFonts.size(); ++i) {
            try {
                ini.WriteString("FontList", screenFonts[i], std::to_string(i));
            } catch (const std::exception&) {
                // One font that cannot be written does not stop the others.
            }
        }
    }
}

std::string EffectiveDictionaryName(const std::string& programDir, const std::string& chosen) {
    auto present = [&](const std::string& name) { return plat::FileExists(plat::JoinPath(programDir, name)); };
    if (!chosen.empty() && present(chosen)) return chosen;
    for (const char* name : {"British.dct", "English.dct", "German.dct"})
        if (present(name)) return name;
    return chosen;
}

std::vector<std::string> SortedScreenFonts(const std::vector<std::string>& fonts) {
    std::vector<std::string> sorted = fonts;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) < 0; });
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) == 0; }),
                 sorted.end());
    return sorted;
}

bool SameFontLists(const std::vector<std::string>& iniFonts, const std::vector<std::string>& screenFonts) {
    return iniFonts == screenFonts;
}

}  // namespace editor
