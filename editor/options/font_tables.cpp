#include "editor/options/font_tables.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "richtext/io/rtf_lexer.h"

namespace editor {

namespace {

using richtext::NextRtfToken;
using richtext::RtfToken;
using Kind = richtext::RtfTokenKind;

bool IsAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

void SkipBlanks(const std::string& s, std::size_t& p) {
    while (p < s.size() && (s[p] == ' ' || s[p] == '\r' || s[p] == '\n' || s[p] == '\t')) ++p;
}

// One entry {\f<n> ... <name>;} at `p` ('{'); false when it has another shape.
bool ReadFontEntry(const std::string& s, std::size_t& p, RtfFontEntry& e) {
    if (s.compare(p, 3, "{\\f") != 0) return false;
    RtfToken t = NextRtfToken(s, p + 1);
    if (t.kind != Kind::Word || t.name != "f" || !t.hasParam || t.param < 0) return false;
    e.number = t.param;
    // Further control words (family, character set, pitch).
    std::size_t q = t.end;
    for (t = NextRtfToken(s, q); t.kind == Kind::Word; t = NextRtfToken(s, q)) q = t.end;
    if (q < s.size() && s[q] == ' ') ++q;
    e.name.clear();
    for (t = NextRtfToken(s, q); t.kind != Kind::End; t = NextRtfToken(s, q)) {
        if (t.kind == Kind::Text && t.name == ";") break;
        if (t.kind == Kind::Text && t.name != "\\") e.name += t.name;
        else if (t.kind == Kind::Hex && t.value >= 0) e.name += static_cast<char>(t.value);
        else if (t.kind == Kind::Symbol && (t.name == "\\" || t.name == "{" || t.name == "}")) e.name += t.name;
        else return false;
        q = t.end;
    }
    if (q + 1 >= s.size() || s[q] != ';' || s[q + 1] != '}') return false;
    if (e.name.empty()) return false;
    p = q + 2;
    return true;
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

bool ParseRtfTables(const std::string& rtf, RtfTables& out) {
    out = RtfTables{};
    const std::size_t f = rtf.find("{\\fonttbl");
    if (f == std::string::npos) return false;
    std::size_t p = f + 9;
    // "\fonttbl" must be the whole word.
    if (p < rtf.size() && IsAlpha(rtf[p])) return false;
    for (;;) {
        SkipBlanks(rtf, p);
        if (p >= rtf.size()) return false;
        if (rtf[p] == '}') break;
        RtfFontEntry e;
        if (!ReadFontEntry(rtf, p, e)) return false;
        out.fonts.push_back(std::move(e));
    }
    out.fontGroupBegin = f;
    out.fontGroupEnd = p + 1;
    std::size_t c = out.fontGroupEnd;
    SkipBlanks(rtf, c);
    if (rtf.compare(c, 10, "{\\colortbl") != 0) return false;
    const std::size_t close = rtf.find('}', c);
    if (close == std::string::npos) return false;
    // The colour table holds colour words and semicolons only.
    if (rtf.find('{', c + 1) < close) return false;
    out.colourGroupBegin = c;
    out.colourGroupEnd = close + 1;
    return true;
}

std::vector<std::string> FontTableNames(const std::string& rtf) {
    RtfTables t;
    std::vector<std::string> names;
    if (!ParseRtfTables(rtf, t)) return names;
    for (const auto& e : t.fonts) names.push_back(e.name);
    return names;
}

std::string RemapFontReferences(const std::string& rtf, std::size_t from, const std::function<int(int)>& map) {
    std::string out;
    out.reserve(rtf.size() + 16);
    out.append(rtf, 0, std::min(from, rtf.size()));
    std::size_t p = from;
    while (p < rtf.size()) {
        const std::size_t bs = rtf.find('\\', p);
        if (bs == std::string::npos) {
            out.append(rtf, p, std::string::npos);
            break;
        }
        out.append(rtf, p, bs - p);
        // Whole tokens: "\\f12" is not "\\f1" and "2", and the data of \\bin
        // is copied as it stands.
        const RtfToken t = NextRtfToken(rtf, bs);
        if (t.kind == Kind::Word && t.name == "f" && t.hasParam && t.param >= 0 && t.param <= 0x7FFF) {
            const int to = map(t.param);
            if (to >= 0) {
                out += "\\f" + std::to_string(to);
                p = t.nameEnd;
                continue;
            }
        }
        out.append(rtf, bs, t.end - bs);
        p = t.end;
    }
    return out;
}

bool SynchroniseFieldFonts(const std::string& page, const std::string& header, std::string& out) {
    out = page;
    if (page.empty()) return false;
    RtfTables pt, ht;
    if (!ParseRtfTables(page, pt) || !ParseRtfTables(header, ht)) return false;
    // Old number -> new number, by name.
    std::vector<std::pair<int, int>> pairs;
    for (const auto& e : pt.fonts) {
        int to = 0;
        for (const auto& h : ht.fonts)
            if (SameNameNoCase(h.name, e.name)) {
                to = h.number;
                break;
            }
        pairs.emplace_back(e.number, to);
    }
    auto map = [&pairs](int n) {
        for (const auto& [from, to] : pairs)
            if (from == n) return to;
        return -1;
    };
    std::string result;
    result.reserve(page.size() + header.size());
    result.append(page, 0, pt.fontGroupBegin);
    result.append(header, ht.fontGroupBegin, ht.fontGroupEnd - ht.fontGroupBegin);
    result.append(page, pt.fontGroupEnd, pt.colourGroupBegin - pt.fontGroupEnd);
    result.append(header, ht.colourGroupBegin, ht.colourGroupEnd - ht.colourGroupBegin);
    const std::size_t bodyFrom = result.size();
    result.append(page, pt.colourGroupEnd, std::string::npos);
    out = RemapFontReferences(result, bodyFrom, map);
    return true;
}

}  // namespace editor
