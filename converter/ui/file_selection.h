// Which help files the wizard's file-name field names, and whether each of
// them opens. Chosen files travel as a list of native paths; a name with
// blanks stays one name (several names are written in double quotes).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace conv::ui {

// What a help file says about itself, read in probe mode (UTF-8).
struct HelpFileInfo {
    std::string title;      // empty when the file has none
    std::string copyright;  // empty when the file has none
};
// Opens `path` in probe mode; nullopt when it is no help file that opens.
std::optional<HelpFileInfo> ProbeHelpFile(const std::filesystem::path& path);

// The names of the field: each name in double quotes is one name, other
// text is split at blanks, except that a text without quotation marks that
// names an existing file as a whole (relative to `folder`) is that one name.
std::vector<std::string> SplitFileNameField(std::string_view text, const std::filesystem::path& folder);
// The field text for a list of names: a single name as it is, several
// names each in double quotes.
std::string JoinFileNames(const std::vector<std::string>& names);

struct FileSelection {
    bool valid = false;                         // at least one name, and every one opens
    std::vector<std::filesystem::path> paths;   // in the field's order
    std::vector<std::string> titles;            // title (or file name) of each file that opened
};
// Resolves each name against `folder` (absolute names stay); a name whose
// file name has no "." and that does not exist is tried with ".HLP" added.
FileSelection ValidateSelectedFiles(const std::filesystem::path& folder, std::string_view fieldText);

// "HLP" or "MVB" after the last "." of the name, in any case: the files the
// help-file list looks at.
bool HasListedExtension(const std::filesystem::path& name);

}  // namespace conv::ui
