// The help project file (.HPJ) that tells the help compiler what to build,
// assembled as text: options, windows, buttons, the context map and the
// topic file. Lines are ANSI with CR LF ends; composed lines are cut at 255
// characters, except lines that name a path, which refuse the build instead
// (a cut path would name another file).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "helpbuild/build_project.h"

namespace build {

// "(r,g,b)" of a colour value 0x00BBGGRR; system colours are resolved first.
std::string ColorToRgbString(std::uint32_t color);
// A system colour (high bit set) as its RGB value of the classic scheme.
std::uint32_t ResolveSystemColor(std::uint32_t color);

struct MapEntry {
    std::string topicPopup;
    std::int32_t helpId = 0;
    std::string contextString;
};

// The `[MAP]` line of a page: context string (or HelpId), five blanks, HelpId.
std::string MapLine(const MapEntry& page);
// Why a context string cannot stand in a `[MAP]` line ("" when it can): a
// blank or tab ends it, ";" starts a comment, "=" and line breaks break the
// line, a leading "[" or "#" starts a section or a directive.
std::string MapContextRefusal(const std::string& contextString);

// Lines of an imported help project that the project row has no field for
// (the default topic, further windows, the author's own [CONFIG] macros, the
// further ids of a context string). They are kept in the project row's
// "Comments" memo, each group under its section head, and the writer puts
// them back at the end of their sections.
struct KeptHpjLines {
    std::vector<std::string> options, windows, config, map;
    bool Empty() const { return options.empty() && windows.empty() && config.empty() && map.empty(); }
};
std::string FormatKeptHpjLines(const KeptHpjLines& kept);
KeptHpjLines ParseKeptHpjLines(const std::string& memo);

// The secondary window line the project's fields give (without ",1" when
// not on top); `mainScroll`/`mainNonscroll` are the main window's colour texts.
std::string SecondaryWindowLine(const ProjectFields& p, const std::string& mainScroll, const std::string& mainNonscroll);
// Why a secondary window's name or title cannot be written ("" when it can).
std::string WindowNameRefusal(const std::string& name, const std::string& title);

enum class HpjKind {
    Full,     // the full build's file
    Partial,  // the partial build's: "CONTENTS=Index" after [OPTIONS]
};

struct HpjInput {
    HpjKind kind = HpjKind::Full;
    ProjectFields project;
    std::string programDir;     // as plat::ProgramDir gives it
    std::string projectFolder;  // resolved
    std::vector<MapEntry> pages;
    // Status text of the main window (missing icon); may be empty.
    std::function<void(const std::string&)> setStatusText;
};

struct HpjResult {
    bool ok = false;
    std::string text;     // the file's bytes when ok
    std::string message;  // why the file cannot be written when not ok
};

// The whole file. Topics and popups alike get `[MAP]` lines, so mapped
// popups (context-sensitive help) survive every build.
HpjResult ComposeHpj(const HpjInput& in);

// The path the file is saved to: project folder + "\" + base name + ".HPJ".
std::string HpjPath(const ProjectFields& project, const std::string& projectFolder);

}  // namespace build
