// The program ini file Tavrin.ini: every section and key the main window
// reads at start-up and writes at shut-down, with the defaults and ranges
// applied when reading, the dictionary fallback and the font-list check.
#pragma once

#include <string>
#include <vector>

namespace editor {

// The one spelling of the program ini file; the path layer finds it in any
// letter case.
inline constexpr const char* kProgramIniName = "Tavrin.ini";
std::string ProgramIniPath(const std::string& programDir);

// The main window's bounds as read back: a side outside [min, max] or a
// corner beyond +-max gives the default bounds' value.
inline constexpr int kMinWindowWidth = 320;
inline constexpr int kMinWindowHeight = 200;
inline constexpr int kMaxWindowCoordinate = 16384;

// The settings holder of the main window (kqIniSettings).
struct TIniSettings {
    bool UseFontRegistry = true;
    bool HtmlUseLongNames = false;
    bool HtmlConvertJumps = true;
    std::string DictionaryName = "British.dct";
    std::string LastInheritedFrom;  // not stored in the ini file
    bool SynchBrowseIDs = true;
    bool TreeShowButtons = true;
    bool TreeShowLines = true;
};

// Everything of Tavrin.ini that start-up reads and shut-down writes. The
// window shell copies its controls' state (splitters, bounds, ruler, hints,
// context column) in before the settings are written.
struct ProgramSettings {
    TIniSettings kqIniSettings;
    bool RulerInSplitView = false;
    int NonscrollSplitterPos = 15;  // percent
    int SplitViewSplitterPos = 41;  // percent
    int Top = 1, Left = 1, Height = 600, Width = 800;
    bool HelpHints = true;
    bool ShowTipOfTheDay = true;
    std::string LastProject;
    bool TopicJumpBold = false;
    bool PopupsHaveAutoSearchKeys = false;
    int GridFontSize = 8;  // 8..14
    bool GridFontBold = false;
    std::string DelphiKwgen;
    bool ShowContext = false;  // written only
    // The key names of [FontList], in file order.
    std::vector<std::string> IniFonts;
};

// Reads the settings; a missing or unreadable file, a missing key or a value
// that is not a number gives the defaults. A splitter value outside 0..100
// gives its default; a grid font size outside 8..14 gives 8; window bounds
// outside the limits above give their defaults.
ProgramSettings ReadProgramSettings(const std::string& iniPath);

// Writes the settings in the order the main window's close writes them,
// erases [FontList] and, when there is more than one screen font, writes one
// key per font (the name as key, its index as value). Splitter positions
// are written only when above 0. The grid layout pairs of [SplitView] are
// the bag's business and are written before this runs; this empties
// HELPIDGRID_FIELD_3 to HELPIDGRID_FIELD_16, so only the first three
// fields' layouts come back.
void WriteProgramSettings(const std::string& iniPath, const ProgramSettings& settings,
                          const std::vector<std::string>& screenFonts);

// The dictionary the spell dialogs use: the chosen one when its file is in
// the program directory, else the first of British, English and German that
// is, else the chosen name.
std::string EffectiveDictionaryName(const std::string& programDir, const std::string& chosen);

// The screen's font names sorted, duplicates dropped.
std::vector<std::string> SortedScreenFonts(const std::vector<std::string>& fonts);
// The same lines at the same places.
bool SameFontLists(const std::vector<std::string>& iniFonts, const std::vector<std::string>& screenFonts);

}  // namespace editor
