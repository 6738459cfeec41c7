// Reading the help project file the converter leaves beside its topic RTF:
// the [OPTIONS], [WINDOWS], [MAP] and [FILES] sections, on the file's text.
// Section and key names match in any letter case; CR, LF and CR LF end lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace build {

// Letter-case-blind comparison of Windows-1252 text.
bool SameText(std::string_view a, std::string_view b);
// Decimal, "$" or "0x" hex, optional sign, surrounding blanks: a 32-bit value.
std::optional<std::int32_t> ReadInteger(std::string_view text);

// The lines of one section (without its head), up to the next "[" line;
// nullopt when the text has no such section.
std::optional<std::vector<std::string>> HpjSection(std::string_view hpj, std::string_view name);
// A key of a section; `fallback` when the section or key is missing.
std::string HpjValue(std::string_view hpj, std::string_view section, std::string_view key,
                     std::string_view fallback = {});

// What step 2 of the import wizard proposes for the new project.
struct ConvertedOptions {
    std::string helpTitle;    // Title
    std::string fileName;     // HLP's base name, else the project file's
    std::string directory;    // program folder + base name
    std::string graphicsDir;  // BMROOT, else directory + "\Graphics"
    std::string copyright;    // COPYRIGHT
    std::string contents;     // Contents: the default topic's context string
};
// `hpjPath` names the help project file; `programDir` is where new project
// folders are proposed.
ConvertedOptions ReadConvertedOptions(std::string_view hpj, std::string_view hpjPath,
                                      std::string_view programDir);

// The scrolling and non-scrolling colours (0x00BBGGRR) of the first window
// definition; white where the section, the window or a colour is missing.
struct WindowColours {
    std::uint32_t scroll = 0xFFFFFF;
    std::uint32_t nonscroll = 0xFFFFFF;
};
WindowColours ReadWindowColours(std::string_view hpj);

// A [WINDOWS] value split at the commas outside parentheses and quotes:
// caption, position group, state, colour groups, on-top flag.
std::vector<std::string> WindowValueFields(std::string_view value);
// "(x,y,w,h)" into its four numbers as text; false when it is not one.
bool ReadPositionGroup(std::string_view group, std::string (&xywh)[4]);

// The converted project's settings a new project takes along.
struct ConvertedSettings {
    std::string compress;  // [OPTIONS] Compress, "" when not given
    std::string contents;  // [OPTIONS] Contents, the default topic's context string
    std::string mainWindow;                 // the value of "main=", "" when none
    std::vector<std::string> otherWindows;  // the other window lines, whole
    std::vector<std::string> config;        // the [CONFIG] lines, blanks left out
};
ConvertedSettings ReadConvertedSettings(std::string_view hpj);

struct ContextMapEntry {
    std::string contextString;
    std::int32_t helpId = 0;
};
// The [MAP] lines in file order: "#define name id" (any case), "name id"
// (blanks or tabs); "#include" lines, comments and lines without a valid
// number give nothing.
std::vector<ContextMapEntry> ReadHpjMap(std::string_view hpj);

// The topic RTF named first in [FILES].
struct FilesEntry {
    enum class Status { NoSection, NotRtf, Found };
    Status status = Status::NoSection;
    std::string name;
};
FilesEntry ReadHpjFiles(std::string_view hpj);

}  // namespace build
