#include "converter/tests/source_rtf_scan.h"

#include <cctype>

namespace conv {



// Plain text of the group starting at rtf[i] == '{'; i ends after its '}'.
std::string GroupText(const std::string& rtf, std::size_t& i) {
    std::string out;
    int depth = 0;
    std::vector<bool> skip{false};
    while (i < rtf.size()) {
        char c = rtf[i];
        if (c == '{') {
            ++depth;
            bool dest = rtf.compare(i + 1, 2, "\\*") == 0;
            skip.push_back(skip.back() || dest);
            ++i;
        } else if (c == '}') {
            --depth;
            skip.pop_back();
            ++i;
            if (depth == 0) break;
        } else if (c == '\\') {
            char n = i + 1 < rtf.size() ? rtf[i + 1] : '\0';
            if (n == '\'' && i + 3 < rtf.size()) {
                if (!skip.back()) out.push_back(static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16)));
                i += 4;
            } else if (n == '\\' || n == '{' || n == '}') {
                if (!skip.back()) out.push_back(n);
                i += 2;
            } else if (n == '~') {
                if (!skip.back()) out.push_back(' ');
                i += 2;
            } else if (!std::isalpha(static_cast<unsigned char>(n))) {
                i += 2;
            } else {
                std::size_t j = i + 1;
                while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
                std::string word = rtf.substr(i + 1, j - i - 1);
                if (j < rtf.size() && (rtf[j] == '-' || std::isdigit(static_cast<unsigned char>(rtf[j])))) {
                    ++j;
                    while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) ++j;
                }
                if (j < rtf.size() && rtf[j] == ' ') ++j;
                // The help compiler stores typographic quotes as plain ones.
                if (!skip.back()) {
                    if (word == "tab") out.push_back('\t');
                    if (word == "rquote") out.push_back('\'');
                    if (word == "lquote") out.push_back('`');
                    if (word == "ldblquote" || word == "rdblquote") out.push_back('"');
                }
                i = j;
            }
        } else {
            if (c != '\r' && c != '\n' && !skip.back()) out.push_back(c);
            ++i;
        }
    }
    return out;
}

namespace {
std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

}  // namespace

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        std::size_t semi = s.find(';', from);
        std::string part = Trim(s.substr(from, semi == std::string::npos ? std::string::npos : semi - from));
        if (!part.empty()) out.push_back(part);
        if (semi == std::string::npos) break;
        from = semi + 1;
    }
    return out;
}

// Topics of an RTF help source: split at \page, footnotes by their mark.
std::vector<SourceTopic> ScanSourceRtf(const std::string& rtf) {
    std::vector<SourceTopic> topics(1);
    char lastMark = 0;
    for (std::size_t i = 0; i < rtf.size();) {
        if (rtf.compare(i, 10, "{\\footnote") == 0) {
            std::string text = GroupText(rtf, i);
            std::size_t at = text.find(lastMark);
            std::string body = Trim(at == std::string::npos ? text : text.substr(at + 1));
            SourceTopic& t = topics.back();
            if (lastMark == '$') t.title = body;
            if (lastMark == '#') t.contexts.push_back(body);
            if (lastMark == 'K')
                for (auto& k : SplitList(body)) t.kKeywords.insert(k);
            if (lastMark == '+') t.browse = body;
            if (lastMark == 'A')
                for (auto& k : SplitList(body)) t.aKeywords.insert(k);
            continue;
        }
        char c = rtf[i];
        if (c == '\\') {
            std::size_t j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            std::string word = rtf.substr(i + 1, j - i - 1);
            if (word == "page") topics.emplace_back();
            if (j == i + 1) j = i + 2;  // control symbol
            i = j;
            continue;
        }
        if (c != ' ' && c != '{' && c != '}' && c != '\r' && c != '\n') lastMark = c;
        ++i;
    }
    std::vector<SourceTopic> real;
    for (auto& t : topics)
        if (!t.contexts.empty() || !t.title.empty()) real.push_back(std::move(t));
    return real;
}

BraceCheck CheckBraces(const std::string& rtf) {
    BraceCheck r;
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '\\') {
            ++i;  // the escaped character (\\, \{, \}) or a control word's first letter
            continue;
        }
        if (c == '{') ++depth;
        if (c == '}') {
            --depth;
            if (depth < r.minDepth) r.minDepth = depth;
            if (depth == 0 && r.firstClose == std::string::npos) r.firstClose = i;
        }
    }
    r.finalDepth = depth;
    return r;
}

std::vector<std::string> HiddenTexts(const std::string& rtf) {
    std::vector<std::string> out;
    for (std::size_t at = rtf.find("{\\v "); at != std::string::npos; at = rtf.find("{\\v ", at)) {
        // Only a real group opening, not an escaped brace.
        if (at > 0 && rtf[at - 1] == '\\') {
            ++at;
            continue;
        }
        std::size_t i = at;
        out.push_back(GroupText(rtf, i));
        at = i;
    }
    return out;
}

namespace {

// The name after `word` up to an unescaped "}" or blank, escapes undone.
std::vector<std::string> NamesAfter(const std::string& rtf, const std::string& word) {
    std::vector<std::string> out;
    for (std::size_t at = rtf.find(word); at != std::string::npos; at = rtf.find(word, at + 1)) {
        std::string name;
        for (std::size_t i = at + word.size(); i < rtf.size() && rtf[i] != '}' && rtf[i] != ' '; ++i) {
            if (rtf[i] == '\\' && i + 1 < rtf.size()) {
                if (rtf[i + 1] == '\'' && i + 3 < rtf.size()) {
                    name.push_back(static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16)));
                    i += 3;
                } else {
                    name.push_back(rtf[++i]);
                }
                continue;
            }
            if (rtf[i] != '\n') name.push_back(rtf[i]);
        }
        out.push_back(name);
    }
    return out;
}

}  // namespace

std::set<std::string> BookmarkNames(const std::string& rtf) {
    const auto names = NamesAfter(rtf, "{\\*\\bkmkstart ");
    return std::set<std::string>(names.begin(), names.end());
}

std::vector<std::string> FieldReferenceNames(const std::string& rtf) {
    std::vector<std::string> out = NamesAfter(rtf, "PAGEREF ");
    for (auto& n : NamesAfter(rtf, "GOTOBUTTON ")) out.push_back(n);
    return out;
}

}  // namespace conv
