// Small helpers the editor and the build share: the warning box, running an
// outside program and waiting for it, the converter's settings file, the
// project-folder rule, and file, folder and string helpers.
#pragma once

#include "platform/core/string_list.h"

#include <string>
#include <vector>

namespace editor {

// The modal message box through which user errors are told: caption, text,
// an OK button and no icon. Returns when the box is closed.
void ShowWarning(const std::string& caption, const std::string& text);

// Starts argv[0] with the arguments argv[1..] (no shell, so blanks in paths
// are safe), waits for it to end and answers its exit code; -1 when it
// cannot be started. The show state has no meaning here.
int ExecAndWait(const std::vector<std::string>& argv, int showState = 1);

// Rendlow.ini in the Windows directory, where the converter reads it.
std::string ConverterIniPath();
// The twelve keys of [Options] with their defaults, in the order written.
struct ConverterIniKey {
    const char* key;
    int defaultValue;
};
const std::vector<ConverterIniKey>& ConverterIniKeys();
// Writes the defaults of the twelve keys into Rendlow.ini; the converter's
// own Language key is left alone.
void WriteConverterIni();

// A project folder as a project row stores it: a path with a drive, or
// starting with "\" or "/", stands as it is; anything else (not empty) is
// relative to the program directory. An empty folder stays empty.
std::string ProjectFolder(const std::string& storedDir, const std::string& programDir);
// The same, with an empty folder replaced by the program directory (the
// commands that need a folder to write into).
std::string ProjectFolderOrProgramDir(const std::string& storedDir, const std::string& programDir);

// Copies a whole file. The copy goes to a temporary file beside the target,
// which is renamed over the target once complete, so a failed copy leaves
// the old target as it was. False (nothing changed) on any failure.
bool CopyFileByStream(const std::string& source, const std::string& target);
// Deletes every file directly in the folder; subfolders stay.
void EmptyDirectory(const std::string& directory);
// directory + "\" + the first "*.hpj" file's name; "" when none.
std::string FindHpjFile(const std::string& directory);
// Cuts the last byte off a file; false when it cannot be opened or is empty.
bool TruncateFileLastByte(const std::string& fileName);
// Adds the pieces of `text` between separators to `list`: a text ending in
// the separator gives a final empty piece, an empty text one empty piece.
void SplitToStrings(const std::string& text, const std::string& separator, plat::StringList& list);
std::vector<std::string> SplitToStrings(const std::string& text, const std::string& separator);
// Lines joined with CR LF between them (none after the last), as memo fields hold lists.
std::string JoinLines(const std::vector<std::string>& lines);
// Whether a file of that name can exist (a name without "." is tried with
// ".x"); leaves no file behind.
bool IsValidFileName(const std::string& fileName);
// Whether the folder exists or can be made; leaves no folder behind.
bool IsValidDirectoryName(const std::string& directory);

}  // namespace editor
