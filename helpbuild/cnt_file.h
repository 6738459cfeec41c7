// The contents file (<DosName>.cnt) as text: assembling it from a project's
// contents rows and extra lines, parsing it back into rows, and the explorer
// text (one tab-indented line per heading, topic or macro) that the
// explorer tree is filled from. Everything works on strings; the table side
// lives in helpbuild/contents/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace build {

// One contents row as the file holds it.
struct CntEntry {
    int level = 1;
    std::string entryType;  // "H" heading, "T" topic, "M" macro, "I" include
    std::string title;      // an include row: the whole ":include ..." line
    std::string jump;       // topic: context string or HelpId; macro: the macro without "!"
    std::string helpFile;   // topic: "x.hlp", "x.hlp>win", ">win" (a leading "@" is dropped on reading)
    bool operator==(const CntEntry&) const = default;
};

// The extra lines of the contents file, one argument each.
struct CntFileLists {
    std::vector<std::string> tabs, indexFiles, linkFiles;
    bool operator==(const CntFileLists&) const = default;
};

struct CntHeader {
    std::string dosName;
    std::string helpTitle;
    CntFileLists lists;
};

// What a topic line carries after its jump: "" for no help file, the help
// file unchanged when it begins with ">" or "@", else "@" + the help file.
std::string CntHelpFileSuffix(const std::string& helpFile);
// One entry's line. Levels are written within 1..9; a macro is written
// "=!" + its text, so that it reads back as a macro.
std::string CntEntryLine(const CntEntry& entry);
// The whole file: the colon lines, one line per entry, CR LF after every
// line and one more CR LF, so the file ends with an empty line.
// An entry the file cannot hold (a line end in it; a "@" or ">" in a jump, a
// jump beginning with "!", a "@" in a window name) gives "" and, in
// `refusal`, a message naming the entry.
std::string AssembleCntFile(const CntHeader& header, const std::vector<CntEntry>& entries,
                            std::string* refusal = nullptr);

// The level of an entry line (a digit 1..9 followed by a blank or tab); 0
// for anything else.
int CntLineLevel(std::string_view line);

struct CntReadResult {
    std::vector<CntEntry> entries;
    CntFileLists lists;  // only the lines the file adds
    int errorLine = 0;   // 1-based line of the first bad line; 0 when the file is sound
    std::string error;   // what is wrong with it
    bool Ok() const { return errorLine == 0; }
};
// Parses the whole file. On a bad line the result carries no entries and no
// lists, only the error, so a caller can refuse the file before it changes
// anything.
CntReadResult ParseCntFile(std::string_view text);

// The explorer text of a written contents file: for each entry line (level
// n) n - 1 tabs and the title (up to the first "="), lines joined by CR LF;
// colon, include, empty and other lines are left out.
std::string CntExplorerText(std::string_view cntText);

// One node of the explorer tree: depth 0 is the top level. Each line's
// leading tabs give its depth, at most one deeper than the line before, so
// any text makes a tree.
struct ExplorerLine {
    int depth = 0;
    std::string text;
    bool operator==(const ExplorerLine&) const = default;
};
std::vector<ExplorerLine> ExplorerTreeLines(std::string_view explorerText);

}  // namespace build
