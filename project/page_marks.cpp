#include "project/page_marks.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace editor {

namespace {
constexpr std::int64_t kStandardColors[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A path's folders, upper case, with empty pieces (doubled or trailing
// separators) dropped; the first piece keeps a drive ("C:").
std::vector<std::string> Folders(const std::string& path) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!cur.empty()) out.push_back(Upper(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(Upper(cur));
    return out;
}

std::string Backslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}
}  // namespace

int ColorToColorIndex(std::int64_t color) {
    for (int i = 0; i < 16; ++i)
        if (kStandardColors[i] == color) return i;
    return 0;
}

std::int64_t StandardColor(int index) { return index >= 0 && index < 16 ? kStandardColors[index] : 0; }

const char* PictureKindCode(PictureKind kind) {
    switch (kind) {
        case PictureKind::Left: return "bml";
        case PictureKind::Right: return "bmr";
        default: return "bmc";
    }
}

bool DirectoryBelow(const std::string& baseDir, const std::string& directory, std::string& rest) {
    rest.clear();
    std::vector<std::string> base = Folders(baseDir), dir = Folders(directory);
    if (base.empty() || dir.size() < base.size()) return false;
    // A rooted base ("\help") only matches a rooted directory and the reverse.
    bool baseRooted = !baseDir.empty() && (baseDir[0] == '\\' || baseDir[0] == '/');
    bool dirRooted = !directory.empty() && (directory[0] == '\\' || directory[0] == '/');
    if (baseRooted != dirRooted) return false;
    for (std::size_t i = 0; i < base.size(); ++i)
        if (base[i] != dir[i]) return false;
    // The rest as the directory spells it: skip the matched folders.
    std::string d = Backslashes(directory);
    std::size_t pos = 0, matched = 0;
    while (pos < d.size() && matched < base.size()) {
        while (pos < d.size() && d[pos] == '\\') ++pos;
        while (pos < d.size() && d[pos] != '\\') ++pos;
        ++matched;
    }
    while (pos < d.size() && d[pos] == '\\') ++pos;
    rest = d.substr(pos);
    while (!rest.empty() && rest.back() == '\\') rest.pop_back();
    return true;
}

std::string PictureReference(PictureKind kind, bool transparent, const std::string& directory,
                             const std::string& fileName, const std::string& baseDir) {
    std::string prefix = std::string(PictureKindCode(kind)) + (transparent ? "t " : " ");
    std::string dir = Backslashes(directory);
    std::string rest;
    if (!baseDir.empty() && DirectoryBelow(baseDir, dir, rest))
        return rest.empty() ? prefix + fileName : prefix + rest + "\\" + fileName;
    if (dir.size() == 3 && dir[1] == ':' && dir[2] == '\\') return prefix + dir + fileName;
    while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
    return prefix + dir + "\\" + fileName;
}

PictureReferenceParts ParsePictureReference(const std::string& reference) {
    PictureReferenceParts p;
    std::size_t blank = reference.find(' ');
    if (blank == std::string::npos) return p;
    p.alignment = reference.substr(0, blank);
    p.path = reference.substr(blank + 1);
    std::string a = Upper(p.alignment);
    if (a.size() < 3 || a.size() > 4 || a.compare(0, 2, "BM") != 0) return p;
    if (a[2] == 'L') p.kind = PictureKind::Left;
    else if (a[2] == 'R') p.kind = PictureKind::Right;
    else if (a[2] == 'C') p.kind = PictureKind::Centre;
    else return p;
    if (a.size() == 4) {
        if (a[3] != 'T') return p;
        p.transparent = true;
    }
    std::size_t sep = p.path.find_last_of("\\/");
    if (sep == std::string::npos) {
        p.fileName = p.path;
    } else {
        p.directory = p.path.substr(0, sep);
        if (p.directory.size() == 2 && p.directory[1] == ':') p.directory += '\\';
        p.fileName = p.path.substr(sep + 1);
    }
    p.valid = !p.fileName.empty();
    return p;
}

bool HasExtension(const std::string& fileName, const std::string& upperExt) {
    return Upper(plat::ExtractFileExt(fileName)) == upperExt;
}

std::string FindShgTwin(const std::string& directory, const std::string& shgName) {
    std::string base = plat::ChangeFileExt(shgName, "");
    // Names are found without regard to case on the way to the disk.
    for (const char* ext : {".BMP", ".bmp"}) {
        std::string candidate = plat::JoinPath(directory, base + ext);
        if (plat::FileExists(candidate)) return candidate;
    }
    return {};
}

std::string GraphicsStartDirectory(const std::string& graphicsDir, const std::string& programDir) {
    if (graphicsDir.size() >= 3 && graphicsDir[1] == ':' && (graphicsDir[2] == '\\' || graphicsDir[2] == '/')) {
        if (plat::DirectoryExists(graphicsDir)) return graphicsDir;
    } else if (!graphicsDir.empty()) {
        std::string rel = programDir + "\\" + graphicsDir;
        if (plat::DirectoryExists(rel)) return rel;
    }
    return programDir + "\\pic";
}

std::string PageListHeading(bool wide) {
    std::string h = "HelpID   T/P Title";
    if (!wide) return h;
    h.resize(64, ' ');
    return h + "Context String";
}

std::string PageListRule(bool wide) { return wide ? std::string(54 + 63, '-') : std::string(63, '-'); }

std::string PageListLine(bool wide, std::int64_t helpId, const std::string& topicPopup, const std::string& title,
                         const std::string& contextString) {
    std::string id = std::to_string(helpId);
    if (id.size() < 9) id.resize(9, ' ');
    std::string line = id + " " + topicPopup + "  ";
    if (!wide) return line + title;
    std::string t = title;
    if (t.size() < 64) t.resize(64, ' ');
    return line + t + contextString;
}

int ListCodeForChoice(int choice) {
    static constexpr int kCodes[kListChoiceCount] = {2, 3, 5, 4, 7, 6, 1};
    return choice >= 0 && choice < kListChoiceCount ? kCodes[choice] : 1;
}

const char* ListChoiceName(int choice) {
    static constexpr const char* kNames[kListChoiceCount] = {"Bullet", "Numbered", "Letters", "Capital Letters",
                                                             "Roman", "Capital Roman", "None"};
    return choice >= 0 && choice < kListChoiceCount ? kNames[choice] : "None";
}

std::string MacroTarget(const std::string& text) {
    if (!text.empty() && text[0] == '!') return text;
    return "!" + text;
}

std::string ChooseJumpTarget(const std::string& typed, const std::string& contextString, std::int64_t helpId) {
    if (!typed.empty()) return typed;
    if (!contextString.empty()) return contextString;
    return std::to_string(helpId);
}

bool IsNumericTarget(const std::string& target) {
    if (target.empty() || target.size() > 18) return false;
    return std::all_of(target.begin(), target.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace editor
