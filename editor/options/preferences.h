// Program preferences: what the preferences dialog shows and how its result
// reaches the settings, the preferences table and the program ini.
#pragma once

#include "project/editor_context.h"

#include <string>
#include <utility>
#include <vector>

namespace editor {

// The seven dictionaries: list item and file name.
const std::vector<std::pair<std::string, std::string>>& DictionaryChoices();
// The list item of a dictionary file name (exact); "British" when none.
std::string DictionaryItemOf(const std::string& fileName);
// The file of a list item; "British.dct" for an unknown item.
std::string DictionaryFileOf(const std::string& item);
// The information shown when a chosen dictionary's file is missing.
inline constexpr const char* kDictionaryMissingText =
    "This dictionary was not found. The dictionaries come with the program's build: build the "
    "spell_dictionaries target and start the program again, which copies them into the program folder.";
// Whether the dictionary of a list item is in the program folder; when it
// is not, the "Dictionary not found" box is shown. The selection stays.
bool CheckDictionaryPresent(const EditorContext& ctx, const std::string& item);

// [Paths] of the program ini.
std::string GetWordProcessorPath(const std::string& programDir);
std::string GetPaintPackagePath(const std::string& programDir);
void SetWordProcessorPath(const std::string& programDir, const std::string& path);
void SetPaintPackagePath(const std::string& programDir, const std::string& path);

struct PreferenceValues {
    long topicColour = 0xFF0000, popupColour = 0xC0C0C0;
    std::string gridFontSize = "8";  // as typed
    bool gridFontBold = false;
    bool popupsHaveSearchKeys = false;
    bool synchBrowseIds = true;
    bool topicJumpBold = false;
    std::string paintProgram, wordProcessor;
    std::string dictionary = "British";  // list item
    bool showButtons = true, showLines = true;
};

// The dialog's values from the settings, the preferences table and the ini.
PreferenceValues LoadPreferences(EditorContext& ctx);
// A jump colour chosen in the dialog: into the preferences table at once.
void StoreJumpColour(EditorContext& ctx, bool topic, long colour);
// The dialog closed (OK or Esc alike): settings, ini paths, dictionary;
// then the preferences table is refreshed and the display settings applied.
void ApplyPreferences(EditorContext& ctx, const PreferenceValues& values);
// A chosen outside program: the file if it exists; otherwise "File not
// found" is shown and `current` stays.
std::string ChooseOutsideProgram(const std::string& chosen, const std::string& current);

}  // namespace editor
