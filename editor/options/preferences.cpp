#include "editor/options/preferences.h"

#include "project/helpers.h"
#include "project/page_rules.h"
#include "project/settings.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/core/paths.h"

#include <charconv>

namespace editor {

const std::vector<std::pair<std::string, std::string>>& DictionaryChoices() {
    static const std::vector<std::pair<std::string, std::string>> d = {
        {"English", "English.dct"}, {"British", "British.dct"}, {"French", "French.dct"},  {"Spanish", "Spanish.dct"},
        {"German", "German.dct"},   {"Italian", "Italian.dct"}, {"Dutch", "Dutch.dct"}};
    return d;
}

std::string DictionaryItemOf(const std::string& fileName) {
    for (const auto& [item, file] : DictionaryChoices())
        if (file == fileName) return item;
    return "British";
}

std::string DictionaryFileOf(const std::string& item) {
    for (const auto& [i, file] : DictionaryChoices())
        if (i == item) return file;
    return "British.dct";
}

bool CheckDictionaryPresent(const EditorContext& ctx, const std::string& item) {
    if (plat::FileExists(ctx.ProgramDir + "\\" + DictionaryFileOf(item))) return true;
    gui::MessageBox(kDictionaryMissingText, "Dictionary not found", 0x40 /* MB_ICONINFORMATION */);
    return false;
}

std::string GetWordProcessorPath(const std::string& programDir) {
    return plat::TIniFile(ProgramIniPath(programDir)).ReadString("Paths", "WordProcessor", "");
}
std::string GetPaintPackagePath(const std::string& programDir) {
    return plat::TIniFile(ProgramIniPath(programDir)).ReadString("Paths", "PaintPackage", "");
}
void SetWordProcessorPath(const std::string& programDir, const std::string& path) {
    plat::TIniFile(ProgramIniPath(programDir)).WriteString("Paths", "WordProcessor", path);
}
void SetPaintPackagePath(const std::string& programDir, const std::string& path) {
    plat::TIniFile(ProgramIniPath(programDir)).WriteString("Paths", "PaintPackage", path);
}

PreferenceValues LoadPreferences(EditorContext& ctx) {
    PreferenceValues v;
    ctx.LoadPageColours();
    v.topicColour = static_cast<long>(ctx.TopicColor);
    v.popupColour = static_cast<long>(ctx.PopupColor);
    const ProgramSettings& s = ctx.Settings;
    v.gridFontSize = std::to_string(s.GridFontSize);
    v.gridFontBold = s.GridFontBold;
    v.popupsHaveSearchKeys = s.PopupsHaveAutoSearchKeys;
    v.synchBrowseIds = s.kqIniSettings.SynchBrowseIDs;
    v.topicJumpBold = s.TopicJumpBold;
    v.paintProgram = GetPaintPackagePath(ctx.ProgramDir);
    v.wordProcessor = GetWordProcessorPath(ctx.ProgramDir);
    v.dictionary = DictionaryItemOf(s.kqIniSettings.DictionaryName);
    v.showButtons = s.kqIniSettings.TreeShowButtons;
    v.showLines = s.kqIniSettings.TreeShowLines;
    return v;
}

void StoreJumpColour(EditorContext& ctx, bool topic, long colour) {
    vl::TvlTable* p = ctx.prefsTable;
    if (!p->Active()) p->Open();
    p->First();
    if (p->IsEmpty())
        p->Append();
    else
        p->Edit();
    p->FieldByName(topic ? "TopicColor" : "PopupColor")->SetAsInteger(colour);
    p->Post();
    (topic ? ctx.TopicColor : ctx.PopupColor) = colour;
}

void ApplyPreferences(EditorContext& ctx, const PreferenceValues& v) {
    ProgramSettings& s = ctx.Settings;
    s.TopicJumpBold = v.topicJumpBold;
    int size = 0;
    const char* b = v.gridFontSize.data();
    const char* e = b + v.gridFontSize.size();
    const auto r = std::from_chars(b, e, size);
    if (r.ec == std::errc() && r.ptr == e && !v.gridFontSize.empty()) s.GridFontSize = size;
    s.GridFontBold = v.gridFontBold;
    s.PopupsHaveAutoSearchKeys = v.popupsHaveSearchKeys;
    s.kqIniSettings.SynchBrowseIDs = v.synchBrowseIds;
    s.kqIniSettings.TreeShowButtons = v.showButtons;
    s.kqIniSettings.TreeShowLines = v.showLines;
    s.kqIniSettings.DictionaryName = DictionaryFileOf(v.dictionary);
    ctx.SpellDictionaryName = EffectiveDictionaryName(ctx.ProgramDir, s.kqIniSettings.DictionaryName);
    SetWordProcessorPath(ctx.ProgramDir, v.wordProcessor);
    SetPaintPackagePath(ctx.ProgramDir, v.paintProgram);
    try {
        ctx.prefsTable->Refresh();
    } catch (const std::exception&) {
    }
    ctx.LoadPageColours();
    if (ctx.ApplyProjectDisplaySettings)
        ctx.ApplyProjectDisplaySettings();
    else
        ApplyProjectDisplaySettings(ctx);
}

std::string ChooseOutsideProgram(const std::string& chosen, const std::string& current) {
    if (chosen.empty()) return current;
    if (plat::FileExists(chosen)) return chosen;
    ShowWarning("File not found", plat::DisplayPath(chosen));
    return current;
}

}  // namespace editor
