#include "editor/options/font_tables.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace editor {

namespace {

bool IsAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// A control word at `p` (the backslash): letters, then an optional signed
// number, then an optional blank delimiter. Returns the end (after the
// delimiter); `word`, `hasNumber` and `number` describe it.
std::size_t ReadControlWord(const std::string& s, std::size_t p, std::string& word, bool& hasNumber, long& number) {
    std::size_t q = p + 1;
    word.clear();
    while (q < s.size() && IsAlpha(s[q])) word += s[q++];
    hasNumber = false;
    number = 0;
    std::size_t digitsFrom = q;
    if (q < s.size() && s[q] == '-') ++q;
    if (q < s.size() && IsDigit(s[q])) {
        while (q < s.size() && IsDigit(s[q])) ++q;
        hasNumber = true;
        number = std::strtol(s.c_str() + digitsFrom, nullptr, 10);
    } else {
        q = digitsFrom;
    }
    return q;
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

void SkipBlanks(const std::string& s, std::size_t& p) {
    while (p < s.size() && (s[p] == ' ' || s[p] == '\r' || s[p] == '\n' || s[p] == '\t')) ++p;
}

// One entry {\f<n> ... <name>;} at `p` ('{'); false when it has another shape.
bool ReadFontEntry(const std::string& s, std::size_t& p, RtfFontEntry& e) {
    if (s.compare(p, 3, "{\\f") != 0) return false;
    std::string word;
    bool hasNumber;
    long number;
    std::size_t q = ReadControlWord(s, p + 1, word, hasNumber, number);
    if (word != "f" || !hasNumber || number < 0) return false;
    e.number = static_cast<int>(number);
    // Further control words (family, character set, pitch).
    while (q < s.size() && s[q] == '\\' && q + 1 < s.size() && IsAlpha(s[q + 1]))
        q = ReadControlWord(s, q, word, hasNumber, number);
    if (q < s.size() && s[q] == ' ') ++q;
    e.name.clear();
    while (q < s.size() && s[q] != ';') {
        const char c = s[q];
        if (c == '{' || c == '}') return false;
        if (c == '\\') {
            if (q + 3 < s.size() && s[q + 1] == '\'' && HexValue(s[q + 2]) >= 0 && HexValue(s[q + 3]) >= 0) {
                e.name += static_cast<char>(HexValue(s[q + 2]) * 16 + HexValue(s[q + 3]));
                q += 4;
                continue;
            }
            if (q + 1 < s.size() && (s[q + 1] == '\\' || s[q + 1] == '{' || s[q + 1] == '}')) {
                e.name += s[q + 1];
                q += 2;
                continue;
            }
            return false;
        }
        e.name += c;
        ++q;
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
    std::string word;
    while (p < rtf.size()) {
        const std::size_t bs = rtf.find('\\', p);
        if (bs == std::string::npos) {
            out.append(rtf, p, std::string::npos);
            break;
        }
        out.append(rtf, p, bs - p);
        if (bs + 1 >= rtf.size() || !IsAlpha(rtf[bs + 1])) {
            // A control symbol: "\\", "\{", "\'hh" and the like stay as they are.
            const std::size_t n = std::min<std::size_t>(2, rtf.size() - bs);
            out.append(rtf, bs, n);
            p = bs + n;
            continue;
        }
        bool hasNumber;
        long number;
        std::size_t end = ReadControlWord(rtf, bs, word, hasNumber, number);
        if (word == "f" && hasNumber && number >= 0 && number <= 0x7FFF) {
            const int to = map(static_cast<int>(number));
            if (to >= 0) {
                out += "\\f" + std::to_string(to);
                p = end;
                continue;
            }
        }
        out.append(rtf, bs, end - bs);
        p = end;
        if (word == "bin" && hasNumber && number > 0) {
            // Binary data: copied as it stands after the word's delimiter.
            if (p < rtf.size() && rtf[p] == ' ') out += rtf[p++];
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(number), rtf.size() - p);
            out.append(rtf, p, n);
            p += n;
        }
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
