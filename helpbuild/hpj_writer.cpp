#include "helpbuild/hpj_writer.h"

#include <cstdlib>

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/string_list.h"

namespace build {

namespace {

constexpr std::size_t kMaxLine = 255;

// One line of the file: a value holding a line break would start a line
// (or a section) of its own, so breaks become blanks.
std::string Cut(std::string line) {
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    return line;
}

// A stored window position; 1024 is past the help compiler's range.
std::string Pos(const std::string& v) { return v == "1024" ? "1023" : v; }

bool AllBlank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

// A line whose first visible character is "[" opens a section; ";" makes it
// a comment.
bool OpensSectionOrComment(const std::string& line) {
    const std::size_t at = line.find_first_not_of(" \t");
    return at != std::string::npos && (line[at] == '[' || line[at] == ';');
}

constexpr const char* kSections[] = {"[OPTIONS]", "[WINDOWS]", "[CONFIG]", "[MAP]"};

}  // namespace

std::string MapContextRefusal(const std::string& s) {
    for (char c : s)
        if (c == ' ' || c == '\t' || c == ';' || c == '=' || static_cast<unsigned char>(c) < 32)
            return "it holds \"" + std::string(1, c == '\t' ? ' ' : c) + "\"";
    if (!s.empty() && (s[0] == '[' || s[0] == '#')) return std::string("it begins with \"") + s[0] + "\"";
    return {};
}

std::string WindowNameRefusal(const std::string& name, const std::string& title) {
    for (char c : name)
        if (c == '=' || c == '"' || c == ',' || c == ';' || c == '[' || c == ' ' || static_cast<unsigned char>(c) < 32)
            return "its name \"" + name + "\" holds \"" + std::string(1, c) + "\"";
    for (char c : title)
        if (c == '"' || static_cast<unsigned char>(c) < 32)
            return "its title \"" + title + "\" holds a quote or a line break";
    return {};
}

std::string FormatKeptHpjLines(const KeptHpjLines& kept) {
    std::string out;
    const std::vector<std::string>* groups[] = {&kept.options, &kept.windows, &kept.config, &kept.map};
    for (std::size_t g = 0; g < 4; ++g) {
        if (groups[g]->empty()) continue;
        out += std::string(kSections[g]) + "\r\n";
        for (const std::string& line : *groups[g]) out += line + "\r\n";
    }
    return out;
}

KeptHpjLines ParseKeptHpjLines(const std::string& memo) {
    KeptHpjLines kept;
    std::vector<std::string>* groups[] = {&kept.options, &kept.windows, &kept.config, &kept.map};
    std::vector<std::string>* into = nullptr;
    for (const std::string& line : plat::SplitLines(memo)) {
        bool head = false;
        for (std::size_t g = 0; g < 4; ++g)
            if (line == kSections[g]) {
                into = groups[g];
                head = true;
            }
        // Only lines of a known section that open nothing of their own.
        if (!head && into && !AllBlank(line) && !OpensSectionOrComment(line)) into->push_back(line);
    }
    return kept;
}

std::string SecondaryWindowLine(const ProjectFields& p, const std::string& S, const std::string& N) {
    const bool letWindows = p.compile == "32" && p.coLetWindowsDecide == "Y";
    std::string pair = p.secondaryWindowColor.empty() || p.secondaryWindowColor == "0"
                           ? S + "," + N
                           : ColorToRgbString(static_cast<std::uint32_t>(std::strtoll(p.secondaryWindowColor.c_str(), nullptr, 10))) +
                                 "," + N;
    return p.secondaryWindow + "=\"" + p.secondaryWindowTitle + "\"" +
           (letWindows ? ",,," : ",(" + Pos(p.gx) + "," + Pos(p.gy) + "," + Pos(p.gw) + "," + Pos(p.gh) + "),,") + pair;
}

std::uint32_t ResolveSystemColor(std::uint32_t color) {
    if (!(color & 0x80000000u)) return color;
    // The classic scheme, the same the user interface paints with.
    static const std::uint32_t kClassic[] = {
        0xC0C0C0, 0x808000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
        0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
        0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000, 0xE1FFFF};
    std::uint32_t index = color & 0xFF;
    return index < sizeof kClassic / sizeof kClassic[0] ? kClassic[index] : 0;
}

std::string ColorToRgbString(std::uint32_t color) {
    std::uint32_t c = ResolveSystemColor(color);
    return "(" + std::to_string(c & 0xFF) + "," + std::to_string((c >> 8) & 0xFF) + "," +
           std::to_string((c >> 16) & 0xFF) + ")";
}

std::string MapLine(const MapEntry& page) {
    std::string id = std::to_string(page.helpId);
    return Cut((page.contextString.empty() ? id : page.contextString) + "     " + id);
}

std::string HpjPath(const ProjectFields& project, const std::string& projectFolder) {
    return projectFolder + "\\" + project.BaseName() + ".HPJ";
}

HpjResult ComposeHpj(const HpjInput& in) {
    const ProjectFields& p = in.project;
    const std::string F = in.projectFolder;
    const std::string base = p.BaseName();
    HpjResult r;
    std::vector<std::string> lines;
    auto add = [&](const std::string& s) { lines.push_back(Cut(s)); };
    // A path that does not fit is never cut: the compiler would read another file.
    auto addPath = [&](const std::string& key, const std::string& path, const std::string& label) {
        std::string line = key + path;
        if (line.size() > kMaxLine && r.message.empty())
            r.message = "The help project file cannot be written: its " + label +
                        " line would be longer than 255 characters (" + path +
                        "). Please choose a shorter folder in Tools | Project Options | Compiler Options.";
        lines.push_back(line);
    };

    add("[OPTIONS]");
    if (in.kind == HpjKind::Partial) add("CONTENTS=Index");
    add("TITLE=" + p.helpTitle);
    addPath("ERRORLOG=", plat::NativePath(F + "\\" + base + ".ERR"), "ERRORLOG");
    add("WARNING=1");
    add("COMPRESS=" + (p.compress.empty() ? std::string("FALSE") : p.compress));
    add("COPYRIGHT=" + (p.copyright.empty() ? std::string("Created with Tavrin") : p.copyright));
    if (!AllBlank(p.citation)) {
        std::vector<std::string> c = plat::SplitLines(p.citation);
        // A line that would open a section or a comment continues the one
        // before it instead: the citation owns no section.
        std::vector<std::string> own;
        for (std::size_t i = 0; i < c.size(); ++i)
            if (i == 0) own.push_back("CITATION=" + c[i]);
            else if (OpensSectionOrComment(c[i])) own.back() += " " + c[i];
            else own.push_back(c[i]);
        for (const std::string& line : own) add(line);
    } else {
        add("");
    }
    if (p.iconFile.empty()) {
        std::string icon = in.programDir + "\\tavrin.ico";
        if (plat::FileExists(plat::NativePath(icon))) addPath("ICON=", plat::NativePath(in.programDir + "\\TAVRIN.ICO"), "ICON");
    } else if (plat::FileExists(plat::NativePath(p.iconFile))) {
        addPath("ICON=", plat::NativePath(p.iconFile), "ICON");
    } else if (in.setStatusText) {
        in.setStatusText("WARNING: Icon - " + p.iconFile + " does not exist.");
    }
    if (p.graphicsDir.empty()) add("BMROOT=.\\Graphics");
    else addPath("BMROOT=", plat::NativePath(p.graphicsFolder), "BMROOT");
    const KeptHpjLines kept = ParseKeptHpjLines(p.keptHpj);
    for (const std::string& line : kept.options) {
        const std::size_t eq = line.find('=');
        // The partial build names its own default topic.
        if (in.kind == HpjKind::Partial && eq != std::string::npos &&
            plat::AnsiUpperCase(line.substr(0, eq)).find("CONTENTS") != std::string::npos)
            continue;
        add(line);
    }
    add("");

    add("[WINDOWS]");
    const std::string S = ColorToRgbString(p.scrollColor);
    const std::string N = ColorToRgbString(p.nonscrollColor);
    const bool letWindows = p.compile == "32" && p.coLetWindowsDecide == "Y";
    std::string main = letWindows ? "main=,,," + S + "," + N
                                  : "main=,(" + Pos(p.wx) + "," + Pos(p.wy) + "," + Pos(p.ww) + "," + Pos(p.wh) +
                                        "),," + S + "," + N;
    if (p.stayOnTop == "Y") main += ",1";
    add(main);
    if (!p.secondaryWindow.empty()) {
        const std::string refusal = WindowNameRefusal(p.secondaryWindow, p.secondaryWindowTitle);
        if (!refusal.empty() && r.message.empty())
            r.message = "The help project file cannot be written: the secondary window cannot be named in it, as " +
                        refusal + ". Please change it in Tools | Project Options.";
        std::string second = SecondaryWindowLine(p, S, N);
        if (p.secondStayOnTop == "Y") second += ",1";
        add(second);
    }
    for (const std::string& line : kept.windows) add(line);
    add("");

    add("[CONFIG]");
    if (p.addButton1 == "Y") add("CreateButton(\"btn_print\",\"&Print\",\"Print()\")");
    if (p.addButton2 == "Y") add("BrowseButtons()");
    if (p.addButton3 == "Y") add("CreateButton(\"btn_close\",\"E&xit\",\"Exit()\")");
    for (const std::string& line : kept.config) add(line);
    add("");

    add("[MAP]");
    for (const MapEntry& page : in.pages) {
        const std::string refusal = MapContextRefusal(page.contextString);
        if (!refusal.empty() && r.message.empty())
            r.message = "The help project file cannot be written: the context string \"" + page.contextString +
                        "\" of page " + std::to_string(page.helpId) + " cannot stand in its [MAP] section, as " +
                        refusal + ".";
        add(MapLine(page));
    }
    for (const std::string& line : kept.map) add(line);
    add("");
    add("[FILES]");
    addPath("", plat::NativePath(F + "\\" + base + ".RTF"), "[FILES]");

    if (!r.message.empty()) return r;
    for (const std::string& l : lines) r.text += l + "\r\n";
    r.ok = true;
    return r;
}

}  // namespace build
