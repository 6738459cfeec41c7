#include "helpbuild/import_hpj.h"

#include <cctype>

#include "platform/core/codepage.h"
#include "platform/core/string_list.h"

namespace build {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

bool IsSectionHead(std::string_view line, std::string_view name) {
    std::string_view t = Trim(line);
    return t.size() == name.size() + 2 && t.front() == '[' && t.back() == ']' &&
           SameText(t.substr(1, name.size()), name);
}

// Splits at commas outside double quotes and parentheses.
std::vector<std::string> SplitFields(std::string_view text) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    int depth = 0;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && c == '(') ++depth;
        else if (!quoted && c == ')' && depth > 0) --depth;
        if (c == ',' && !quoted && depth == 0) {
            fields.emplace_back();
            continue;
        }
        fields.back() += c;
    }
    return fields;
}

// "(r,g,b)" gives RGB; "(x)" or a single value gives the integer after its
// first character; anything else nothing.
std::optional<std::uint32_t> ReadColour(std::string_view field) {
    std::string_view t = Trim(field);
    if (t.size() < 2 || t.front() != '(' || t.back() != ')') return std::nullopt;
    t = t.substr(1, t.size() - 2);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= t.size(); ++i)
        if (i == t.size() || t[i] == ',') {
            parts.push_back(t.substr(start, i - start));
            start = i + 1;
        }
    if (parts.size() == 3) {
        std::uint32_t rgb = 0;
        for (int i = 0; i < 3; ++i) {
            auto v = ReadInteger(parts[static_cast<std::size_t>(i)]);
            if (!v || *v < 0 || *v > 255) return std::nullopt;
            rgb |= static_cast<std::uint32_t>(*v) << (8 * i);
        }
        return rgb;
    }
    if (parts.size() == 1) {
        std::string_view one = Trim(parts[0]);
        if (one.size() < 2) return std::nullopt;
        auto v = ReadInteger(one.substr(1));
        if (!v || *v < 0 || *v > 0xFFFFFF) return std::nullopt;
        return static_cast<std::uint32_t>(*v);
    }
    return std::nullopt;
}

std::string BaseName(std::string_view path) {
    std::size_t cut = path.find_last_of("\\/:");
    std::string name(cut == std::string_view::npos ? path : path.substr(cut + 1));
    // The name without its extension (the last four characters of "x.hpj").
    if (name.size() >= 4 && name[name.size() - 4] == '.') name.resize(name.size() - 4);
    return name;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    char sep = out.find('/') != std::string::npos ? '/' : '\\';
    if (!out.empty() && out.back() != '/' && out.back() != '\\') out += sep;
    out += name;
    return out;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (plat::CharUpper(static_cast<unsigned char>(a[i])) != plat::CharUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<std::int32_t> ReadInteger(std::string_view text) {
    std::string_view t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && t.front() == '$') {
        base = 16;
        t.remove_prefix(1);
    } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) d = std::tolower(c) - 'a' + 10;
        else return std::nullopt;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return std::nullopt;
    }
    if (negative) v = -v;
    // Hex values take the full 32 bits; decimal ones the signed range.
    if (base == 16 && v > 0x7FFFFFFF) v -= 0x100000000LL;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::optional<std::vector<std::string>> HpjSection(std::string_view hpj, std::string_view name) {
    std::vector<std::string> lines = plat::SplitLines(hpj);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionHead(lines[i], name)) continue;
        std::vector<std::string> section;
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            if (!Trim(lines[j]).empty() && Trim(lines[j]).front() == '[') break;
            section.push_back(lines[j]);
        }
        return section;
    }
    return std::nullopt;
}

std::string HpjValue(std::string_view hpj, std::string_view section, std::string_view key,
                     std::string_view fallback) {
    auto lines = HpjSection(hpj, section);
    if (lines)
        for (const std::string& line : *lines) {
            std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            if (SameText(Trim(std::string_view(line).substr(0, eq)), key))
                return std::string(Trim(std::string_view(line).substr(eq + 1)));
        }
    return std::string(fallback);
}

ConvertedOptions ReadConvertedOptions(std::string_view hpj, std::string_view hpjPath,
                                      std::string_view programDir) {
    ConvertedOptions o;
    std::string base = BaseName(hpjPath);
    o.helpTitle = HpjValue(hpj, "OPTIONS", "Title");
    // HLP names the compiled file ("Eudora.hlp", ".\\PJDropFiles.hlp"); the
    // project's file name is its base name, to which a build adds ".rtf",
    // ".hpj" and ".hlp".
    const std::string hlp = HpjValue(hpj, "OPTIONS", "HLP");
    o.fileName = hlp.empty() ? base : BaseName(hlp);
    if (o.fileName.empty()) o.fileName = base;
    // A base name that still has an extension ("a.b") loses it for the folder.
    std::string folder = base;
    if (std::size_t dot = folder.rfind('.'); dot != std::string::npos && dot > 0) folder.resize(dot);
    o.directory = JoinPath(programDir, folder);
    o.graphicsDir = HpjValue(hpj, "OPTIONS", "BMROOT");
    if (o.graphicsDir.empty()) o.graphicsDir = JoinPath(o.directory, "Graphics");
    o.copyright = HpjValue(hpj, "OPTIONS", "COPYRIGHT");
    o.contents = HpjValue(hpj, "OPTIONS", "Contents");
    return o;
}

WindowColours ReadWindowColours(std::string_view hpj) {
    WindowColours c;
    auto lines = HpjSection(hpj, "WINDOWS");
    if (!lines) return c;
    for (const std::string& line : *lines) {
        std::string_view t = Trim(line);
        if (t.empty() || t.front() == ';') continue;
        std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) return c;
        // caption, position, state, scrolling colour, non-scrolling colour
        std::vector<std::string> f = SplitFields(t.substr(eq + 1));
        if (f.size() > 3)
            if (auto v = ReadColour(f[3])) c.scroll = *v;
        if (f.size() > 4)
            if (auto v = ReadColour(f[4])) c.nonscroll = *v;
        return c;
    }
    return c;
}

std::vector<ContextMapEntry> ReadHpjMap(std::string_view hpj) {
    std::vector<ContextMapEntry> map;
    auto lines = HpjSection(hpj, "MAP");
    if (!lines) return map;
    for (const std::string& line : *lines) {
        std::vector<std::string> pieces;
        std::string piece;
        for (char c : line + ' ') {
            if (c == ' ' || c == '\t') {
                if (!piece.empty() && static_cast<unsigned char>(piece.front()) >= '!') pieces.push_back(piece);
                piece.clear();
            } else {
                piece += c;
            }
        }
        if (pieces.empty() || pieces[0].front() == ';') continue;
        std::size_t name = 0;
        if (SameText(pieces[0], "#define")) name = 1;
        else if (SameText(pieces[0], "#include")) continue;
        if (pieces.size() < name + 2) continue;
        std::string number = pieces[name + 1];
        // A trailing comment after the number ("12 ; main") is not part of it.
        if (std::size_t semi = number.find(';'); semi != std::string::npos) number.resize(semi);
        auto id = ReadInteger(number);
        if (!id) continue;
        map.push_back({pieces[name], *id});
    }
    return map;
}

FilesEntry ReadHpjFiles(std::string_view hpj) {
    FilesEntry e;
    auto lines = HpjSection(hpj, "FILES");
    if (!lines) return e;
    e.status = FilesEntry::Status::NotRtf;
    for (const std::string& line : *lines) {
        std::string_view t = Trim(line);
        if (t.empty() || t.front() == ';') continue;
        if (t.size() >= 3 && SameText(t.substr(t.size() - 3), "RTF")) {
            e.status = FilesEntry::Status::Found;
            e.name = std::string(t);
        }
        break;
    }
    return e;
}

std::vector<std::string> WindowValueFields(std::string_view value) {
    std::vector<std::string> fields(1);
    int depth = 0;
    bool quoted = false;
    for (char c : value) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && c == '(') ++depth;
        else if (!quoted && c == ')' && depth > 0) --depth;
        else if (!quoted && depth == 0 && c == ',') {
            fields.emplace_back();
            continue;
        }
        fields.back().push_back(c);
    }
    return fields;
}

bool ReadPositionGroup(std::string_view group, std::string (&xywh)[4]) {
    const std::string g(Trim(group));
    if (g.size() < 2 || g.front() != '(' || g.back() != ')') return false;
    const std::vector<std::string> parts = WindowValueFields(std::string_view(g).substr(1, g.size() - 2));
    if (parts.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string v(Trim(parts[i]));
        if (!v.empty() && !ReadInteger(v)) return false;
        xywh[i] = v;
    }
    return true;
}

ConvertedSettings ReadConvertedSettings(std::string_view hpj) {
    ConvertedSettings s;
    s.compress = HpjValue(hpj, "OPTIONS", "Compress");
    s.contents = HpjValue(hpj, "OPTIONS", "Contents");
    if (auto lines = HpjSection(hpj, "WINDOWS"))
        for (const std::string& line : *lines) {
            if (Trim(line).empty() || Trim(line).front() == ';') continue;
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos && s.mainWindow.empty() && SameText(Trim(std::string_view(line).substr(0, eq)), "main"))
                s.mainWindow = std::string(Trim(std::string_view(line).substr(eq + 1)));
            else
                s.otherWindows.push_back(line);
        }
    if (auto lines = HpjSection(hpj, "CONFIG"))
        for (const std::string& line : *lines)
            if (!Trim(line).empty() && Trim(line).front() != ';') s.config.push_back(line);
    return s;
}

}  // namespace build
