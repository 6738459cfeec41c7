#include "helpbuild/cnt_file.h"

#include <algorithm>
#include <cctype>

#include "platform/core/string_list.h"

namespace build {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string From(std::string_view text, std::size_t pos) {
    return pos < text.size() ? std::string(text.substr(pos)) : std::string();
}

// A value written into one line of the file must not end the line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

bool Blank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An "=" in a title is written "\=", so the first bare "=" still ends the
// title. A backslash is doubled only where it would read as a mark: before
// "=" or another backslash, and at the end of the title.
std::string EscapeTitle(const std::string& title) {
    std::string out;
    out.reserve(title.size());
    for (std::size_t i = 0; i < title.size(); ++i) {
        const char c = title[i];
        if (c == '=') {
            out += "\\=";
        } else if (c == '\\' && (i + 1 == title.size() || title[i + 1] == '=' || title[i + 1] == '\\')) {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

// Where the title of an entry line ends (its first bare "="), npos for a
// heading; `title` gets the title with its marks read.
std::size_t ReadTitle(std::string_view line, std::size_t from, std::string& title) {
    title.clear();
    for (std::size_t i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '=' || line[i + 1] == '\\')) {
            title += line[++i];
        } else if (c == '=') {
            return i;
        } else {
            title += c;
        }
    }
    return std::string::npos;
}

bool HasLineEnd(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Why an entry cannot be written so that it reads back the same; "" when it can.
std::string CntEntryProblem(const CntEntry& e) {
    if (HasLineEnd(e.title)) return "its title holds a line end";
    if (e.entryType == "I" || e.entryType == "H") return {};
    if (HasLineEnd(e.jump)) return e.entryType == "M" ? "its macro holds a line end" : "its jump holds a line end";
    if (e.entryType == "M") return {};
    if (HasLineEnd(e.helpFile)) return "its help file holds a line end";
    if (e.jump.find_first_of("@>") != std::string::npos) return "its jump holds \"@\" or \">\"";
    if (!e.jump.empty() && e.jump[0] == '!') return "its jump begins with \"!\", which makes it a macro";
    return {};
}

}  // namespace

std::string CntHelpFileSuffix(const std::string& helpFile) {
    if (helpFile.empty()) return {};
    if (helpFile.front() == '>' || helpFile.front() == '@') return helpFile;
    return "@" + helpFile;
}

std::string CntEntryLine(const CntEntry& e) {
    if (e.entryType == "I") return OneLine(e.title);
    int level = std::clamp(e.level, 1, 9);
    std::string line = std::to_string(level) + " " + OneLine(EscapeTitle(e.title));
    if (e.entryType == "H") return line;
    if (e.entryType == "M") return line + "=!" + OneLine(e.jump);
    return line + "=" + OneLine(e.jump) + OneLine(CntHelpFileSuffix(e.helpFile));
}

std::string AssembleCntFile(const CntHeader& header, const std::vector<CntEntry>& entries, std::string* refusal) {
    std::string out;
    auto line = [&out](const std::string& text) {
        out += text;
        out += "\r\n";
    };
    line(":Base " + OneLine(header.dosName) + ".hlp");
    line(":Title " + OneLine(header.helpTitle));
    for (const std::string& t : header.lists.tabs) line(":Tab " + OneLine(t));
    for (const std::string& t : header.lists.indexFiles) line(":Index " + OneLine(t));
    for (const std::string& t : header.lists.linkFiles) line(":Link " + OneLine(t));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string problem = CntEntryProblem(entries[i]);
        if (!problem.empty()) {
            if (refusal)
                *refusal = "The contents entry " + std::to_string(i + 1) + ", \"" + OneLine(entries[i].title) +
                           "\", cannot be written to the contents file: " + problem + ".";
            return {};
        }
        line(CntEntryLine(entries[i]));
    }
    out += "\r\n";
    return out;
}

int CntLineLevel(std::string_view line) {
    if (line.size() < 2 || line[0] < '1' || line[0] > '9') return 0;
    if (line[1] != ' ' && line[1] != '\t') return 0;
    return line[0] - '0';
}

CntReadResult ParseCntFile(std::string_view text) {
    CntReadResult r;
    std::vector<std::string> lines = plat::SplitLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (Blank(line)) continue;
        if (StartsWithNoCase(line, ":tab")) {
            r.lists.tabs.push_back(From(line, 5));
        } else if (StartsWithNoCase(line, ":link")) {
            r.lists.linkFiles.push_back(From(line, 6));
        } else if (StartsWithNoCase(line, ":index")) {
            r.lists.indexFiles.push_back(From(line, 7));
        } else if (StartsWithNoCase(line, ":include")) {
            r.entries.push_back({1, "I", line, "", ""});
        } else if (line[0] == ':') {
            // :Base, :Title and anything else of the compiler's own.
        } else {
            int level = CntLineLevel(line);
            if (level == 0) {
                std::string why;
                if (!IsDigit(line[0]))
                    why = "it does not begin with a level number";
                else if (line[0] == '0' || (line.size() > 1 && IsDigit(line[1])))
                    why = "its level is not between 1 and 9";
                else
                    why = "its level number is not followed by a blank";
                CntReadResult bad;
                bad.errorLine = static_cast<int>(n) + 1;
                bad.error = "Line " + std::to_string(n + 1) + " is not a contents line: " + why + ".";
                return bad;
            }
            CntEntry e;
            e.level = level;
            const std::size_t eq = ReadTitle(line, 2, e.title);
            if (eq == std::string::npos) {
                e.entryType = "H";
            } else {
                std::string rest = line.substr(eq + 1);
                if (!rest.empty() && rest[0] == '!') {
                    e.entryType = "M";
                    e.jump = rest.substr(1);
                } else {
                    e.entryType = "T";
                    // The jump ends at its first "@" (a help file follows,
                    // perhaps with its window) or ">" (a window alone, kept
                    // with its ">"), so every line reads back as written.
                    const std::size_t end = rest.find_first_of("@>");
                    e.jump = rest.substr(0, end);
                    if (end != std::string::npos) e.helpFile = rest.substr(rest[end] == '@' ? end + 1 : end);
                }
            }
            r.entries.push_back(std::move(e));
        }
    }
    return r;
}

std::string CntExplorerText(std::string_view cntText) {
    std::string out;
    bool first = true;
    for (const std::string& line : plat::SplitLines(cntText)) {
        int level = CntLineLevel(line);
        if (level == 0) continue;
        std::string title;
        ReadTitle(line, 2, title);
        if (!first) out += "\r\n";
        first = false;
        out += std::string(static_cast<std::size_t>(level - 1), '\t') + title;
    }
    return out;
}

std::vector<ExplorerLine> ExplorerTreeLines(std::string_view explorerText) {
    std::vector<ExplorerLine> nodes;
    int previous = -1;
    for (const std::string& line : plat::SplitLines(explorerText)) {
        std::size_t tabs = line.find_first_not_of('\t');
        if (tabs == std::string::npos) continue;  // empty or only tabs
        int depth = std::min(static_cast<int>(tabs), previous + 1);
        nodes.push_back({depth, line.substr(tabs)});
        previous = depth;
    }
    return nodes;
}

}  // namespace build
