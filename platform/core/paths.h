// Paths as the system writes them, and the native paths behind them.
//
// Code builds paths the Win32 way: "\" or "/" as separators, drive letters
// ("C:\Help\Proj.hpj"), names in any letter case. Text is Windows-1252.
// `NativePath` turns such a path into the UTF-8 path to hand to the OS:
//   - "X:\rest" is mapped through the drive-root table. By default drive X is
//     the folder "<DataHome>/drive_x" (lower-case letter); an environment
//     variable TAVRIN_DRIVE_X or SetDriveRoot overrides one drive.
//   - "\rest" and "/rest" are absolute native paths; anything else is relative
//     to the current folder.
//   - "." is dropped and ".." steps back a folder; at a drive's root or at
//     "/" it stays there, so a drive path never leaves its drive's folder.
//     A drive's default folder is created when first used.
//   - every component that exists is found without regard to letter case
//     (an exact match wins, otherwise the first match in byte order); the
//     components that do not exist yet keep the case given, so a new file is
//     created as named inside folders that were matched case-insensitively.
//   - "\\server\share\x" (UNC) has no meaning here and becomes "/server/share/x".
//
// Data folders: `DataHome` is $TAVRIN_HOME, else $XDG_DATA_HOME/tavrin, else
// ~/.local/share/tavrin; SetDataHome overrides it (tests). The program
// directory of the design is DataHome; the Windows directory is its folder
// "windows". Both are returned as native paths ("/home/u/.local/share/tavrin"),
// which every call here accepts as well.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// --- data folders ------------------------------------------------------------
std::string DataHome();
// An empty path returns to the environment's choice.
void SetDataHome(const std::string& nativePath);
// The folder the design keeps its tables, ini file and logs in (= DataHome).
std::string ProgramDir();
// ProgramDir + "/windows", created when missing (Rendlow.ini, WIN.INI live there).
std::string WindowsDir();

// --- drives ------------------------------------------------------------------
// Native folder behind drive `letter` (either case).
std::string DriveRoot(char letter);
// An empty root returns the drive to its default.
void SetDriveRoot(char letter, const std::string& nativeRoot);
void ResetDriveRoots();

// --- resolution --------------------------------------------------------------
// The UTF-8 native path to open for `path` (rules above). Never fails: what
// cannot be matched is kept as given, and the OS reports it when opened.
std::string NativePath(std::string_view path);
// Native (UTF-8) name back to system text (Windows-1252). A character that
// Windows-1252 lacks becomes "<U+XXXX>" (hex, 4 to 6 digits), a byte that
// is not UTF-8 "<xHH>", and "<" itself "<U+003C>"; NativePath reads these
// forms back, so every name found in a folder can be opened again. ("<" is
// never part of a Win32 file name, so no real name is taken for one.)
std::string SystemText(std::string_view nativeName);
// The native name of one component of system text (the inverse of
// SystemText), without looking at any folder: for a name that a caller has
// already matched against its own listing.
std::string NativeName(std::string_view ansi);

// The path as a user is shown it (message boxes, fields, files written for
// people): NativePath's answer in system text, so "/" separators, drives
// mapped to their folders and the real letter case of what exists. Empty
// stays empty, a trailing separator stays as "/", a relative path stays
// relative.
std::string DisplayPath(std::string_view path);

// --- tests on path text ------------------------------------------------------
bool IsPathDelimiter(char c);  // "\" or "/"
bool HasDriveLetter(std::string_view path);  // "X:..."
// "X:\...", "X:/...", "\...", "/..." (and UNC) are absolute.
bool IsAbsolutePath(std::string_view path);
bool HasWildcards(std::string_view path);  // contains "*" or "?"

// --- path text helpers (the class library's semantics; both separators) -----
// Folder part including its trailing separator: "C:\a\b.txt" -> "C:\a\".
std::string ExtractFilePath(std::string_view path);
// Folder part without the trailing separator (except a root): "C:\a\b" -> "C:\a".
std::string ExtractFileDir(std::string_view path);
// Name after the last separator or drive colon: "C:\a\b.txt" -> "b.txt".
std::string ExtractFileName(std::string_view path);
// Extension with its dot, from the name part only: "a.b\c" -> "".
std::string ExtractFileExt(std::string_view path);
// "C:" for drive paths, "\\server\share" for UNC, "" otherwise.
std::string ExtractFileDrive(std::string_view path);
// Replaces (or adds, or with "" removes) the extension; `ext` includes its dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);
// dir + "\" (unless dir already ends with a separator or is empty) + name.
std::string JoinPath(std::string_view dir, std::string_view name);
// Absolute form of `path` with "." and ".." folded, in system text with "\"
// separators when it has a drive letter and "/" otherwise.
std::string ExpandFileName(std::string_view path);

// --- wildcards ---------------------------------------------------------------
// Windows rules, case-insensitive: "*" any run, "?" exactly one character;
// a trailing ".*" also matches names without a dot ("*.*" matches "README",
// "A*.*" matches "ABC"); a trailing "." matches names without an extension.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace plat
