#include "helpbuild/import_rtf.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "platform/core/codepage.h"
#include "richtext/io/text_reader.h"

namespace build {

namespace {

using Kind = RtfToken::Kind;
constexpr std::size_t npos = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first control word of the group opened at `open`, past "\*".
std::string_view FirstWord(std::string_view rtf, std::size_t open, bool* starred = nullptr) {
    if (starred) *starred = false;
    std::size_t pos = open + 1;
    for (int guard = 0; guard < 4; ++guard) {
        RtfToken t = NextRtfToken(rtf, pos);
        if (t.kind == Kind::Text && IsBlank(rtf[t.pos])) {
            pos = t.end;
            continue;
        }
        if (t.kind == Kind::Symbol && rtf[t.pos + 1] == '*') {
            if (starred) *starred = true;
            pos = t.end;
            continue;
        }
        if (t.kind == Kind::Word) return t.name;
        return {};
    }
    return {};
}

bool IsHeadGroup(std::string_view word, bool starred) {
    static const std::unordered_set<std::string_view> kHead = {
        "fonttbl",     "colortbl",  "stylesheet", "info",     "listtable", "listoverridetable",
        "revtbl",      "rsidtbl",   "generator",  "filetbl",  "xmlnstbl",  "pgdsctbl",
        "latentstyles", "themedata", "colorschememapping", "datastore", "defchp", "defpap", "ftnbj"};
    if (starred) return word != "footnote";
    return kHead.count(word) != 0;
}

std::string LeftTrim(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimBlanks(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
    return std::string(s.substr(a, b - a));
}

struct Cut {
    std::size_t from, to;
    std::string with;
};
// Applies non-overlapping replacements given in text order.
std::string ApplyCuts(std::string_view text, const std::vector<Cut>& cuts) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (const Cut& c : cuts) {
        if (c.from < at) continue;
        out.append(text.substr(at, c.from - at));
        out += c.with;
        at = c.to;
    }
    out.append(text.substr(at));
    return out;
}

std::string NormaliseColour(std::string_view entry) {
    std::string s;
    for (char c : entry)
        if (!IsBlank(c)) s += c;
    return s;
}

}  // namespace

RtfHead ScanRtfHead(std::string_view rtf) {
    RtfHead head;
    std::size_t pos = 0;
    while (pos < rtf.size() && IsBlank(rtf[pos])) ++pos;
    if (pos >= rtf.size() || rtf[pos] != '{') return head;
    pos = NextRtfToken(rtf, pos).end;
    head.bodyStart = pos;
    while (pos < rtf.size()) {
        RtfToken t = NextRtfToken(rtf, pos);
        if (t.kind == Kind::Word || (t.kind == Kind::Text && IsBlank(rtf[t.pos]))) {
            pos = t.end;
            continue;
        }
        if (t.kind != Kind::Open) break;
        bool starred = false;
        std::string_view word = FirstWord(rtf, t.pos, &starred);
        if (!IsHeadGroup(word, starred)) break;
        std::size_t end = GroupEnd(rtf, t.pos);
        if (end == npos) break;
        if (!starred && word == "fonttbl" && head.fontTable == npos) head.fontTable = t.pos;
        if (!starred && word == "colortbl" && head.colourTable == npos) {
            head.colourTable = t.pos;
            head.colourTableEnd = end;
        }
        pos = end;
        head.bodyStart = end;
    }
    return head;
}

std::vector<std::size_t> FindPageBreaks(std::string_view rtf, std::size_t from) {
    std::vector<std::size_t> breaks;
    for (std::size_t pos = from; pos < rtf.size();) {
        // Plain text is skipped a run at a time; only a backslash or brace starts a token.
        std::size_t next = rtf.find_first_of("\\{}", pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(rtf, next);
        if (t.kind == Kind::Word && t.name == "page") breaks.push_back(t.pos);
        pos = t.end;
        // A footnote's "\page" is its own text, not the end of the topic. A
        // footnote holding another is one left open (they do not nest): its
        // "end" is some later group's, and the pages after it are pages.
        if (t.kind == Kind::Open && FirstWord(rtf, t.pos) == "footnote") {
            const std::size_t end = GroupEnd(rtf, t.pos);
            const std::size_t inner = end == npos ? npos : rtf.find("\\footnote", rtf.find("footnote", t.pos) + 8);
            if (end != npos && (inner == npos || inner >= end)) pos = end;
        }
    }
    return breaks;
}

const std::vector<std::string>& FixedColourEntries() {
    static const std::vector<std::string> kEntries = {
        "\\red0\\green0\\blue0;",       "\\red128\\green0\\blue0;",   "\\red0\\green128\\blue0;",
        "\\red128\\green128\\blue0;",   "\\red0\\green0\\blue128;",   "\\red128\\green0\\blue128;",
        "\\red0\\green128\\blue128;",   "\\red128\\green128\\blue128;", "\\red192\\green192\\blue192;",
        "\\red255\\green0\\blue0;",     "\\red0\\green255\\blue0;",   "\\red255\\green255\\blue0;",
        "\\red0\\green0\\blue255;",     "\\red255\\green0\\blue255;", "\\red0\\green255\\blue255;",
        // The last entry is black again: the fixed table has no white, so an
        // imported white maps to 0.
        "\\red0\\green0\\blue0;"};
    return kEntries;
}

std::string FixedColourTable() {
    std::string s = "{\\colortbl\r\n";
    for (const std::string& e : FixedColourEntries()) s += e + "\r\n";
    s += "}\r\n";
    return s;
}

std::vector<int> MapImportedColours(std::string_view rtf, std::size_t colourTable) {
    std::vector<int> map;
    std::size_t end = GroupEnd(rtf, colourTable);
    if (end == npos) return map;
    std::string_view body = rtf.substr(colourTable + 1, end - colourTable - 2);
    RtfToken first = NextRtfToken(body, 0);  // \colortbl
    body = body.substr(first.nameEnd);
    const auto& fixed = FixedColourEntries();
    std::size_t start = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != ';') continue;
        std::string entry = NormaliseColour(body.substr(start, i + 1 - start));
        auto hit = std::find(fixed.begin(), fixed.end(), entry);
        map.push_back(hit == fixed.end() ? 0 : static_cast<int>(hit - fixed.begin()));
        start = i + 1;
    }
    return map;
}

std::string FootnoteValue(std::string_view raw) {
    std::string text;
    if (raw.find_first_of("\\{}") == npos) {
        for (char c : raw)
            if (c != '\r' && c != '\n') text += c;
    } else {
        // The RTF reader makes formatted text plain; it ignores line breaks
        // in RTF itself, so a control word broken over lines still ends right.
        richtext::TJDRTFText model;
        richtext::TJDRtfReader reader;
        reader.SetModel(&model);
        std::istringstream in("{\\rtf1\\ansi " + std::string(raw) + "}");
        reader.Read(in);
        for (auto* p = model.FirstParagraph(); p; p = p->next) {
            for (char c : model.ParagraphText(p))
                if (c != '\r' && c != '\n') text += c;
        }
    }
    return LeftTrim(text);
}

std::vector<RtfFootnote> FindFootnotes(std::string_view page) {
    static const std::string_view kLetters = "$K+!#BA";
    std::vector<RtfFootnote> notes;
    std::vector<std::size_t> open;  // positions of the open groups
    RtfToken prev;
    for (std::size_t pos = 0; pos < page.size();) {
        RtfToken t = NextRtfToken(page, pos);
        if (t.kind == Kind::Close) {
            if (!open.empty()) open.pop_back();
        } else if (t.kind == Kind::Open) {
            bool starred = false;
            bool footnote = FirstWord(page, t.pos, &starred) == "footnote";
            char letter = prev.kind == Kind::Text && prev.end == t.pos ? page[prev.pos] : 0;
            std::size_t end = footnote ? GroupEnd(page, t.pos) : npos;
            if (footnote && letter && kLetters.find(letter) != npos && end != npos) {
                RtfFootnote note;
                note.letter = letter;
                // The text starts after the reference (the letter closing a
                // group: "{#}" or "{\cs16\super #}"), else after the word.
                std::size_t word = page.find("footnote", t.pos) + 8;
                std::size_t textStart = NextRtfToken(page, word - 9).end;
                for (std::size_t p = textStart; p + 1 < end;) {
                    RtfToken r = NextRtfToken(page, p);
                    if (r.kind == Kind::Text && page[r.pos] == letter && page[r.end] == '}') {
                        textStart = r.end + 1;
                        break;
                    }
                    p = r.end;
                }
                if (textStart > end - 1) textStart = end - 1;
                note.value = FootnoteValue(page.substr(textStart, end - 1 - textStart));
                // The whole enclosing group goes when it holds nothing but
                // formatting, the letter and the footnote; else only those two.
                note.cutStart = prev.pos;
                note.cutEnd = end;
                if (!open.empty()) {
                    std::size_t g = open.back();
                    bool onlyFormatting = true;
                    for (std::size_t p = g + 1; p < prev.pos && onlyFormatting;) {
                        RtfToken r = NextRtfToken(page, p);
                        onlyFormatting = r.kind == Kind::Word || (r.kind == Kind::Text && IsBlank(page[r.pos]));
                        p = r.end;
                    }
                    std::size_t after = end;
                    while (after < page.size() && IsBlank(page[after])) ++after;
                    if (onlyFormatting && after < page.size() && page[after] == '}') {
                        note.cutStart = g;
                        note.cutEnd = after + 1;
                    }
                }
                notes.push_back(std::move(note));
                // The footnote's own group and, when it goes, its enclosing one.
                if (notes.back().cutStart != prev.pos) open.pop_back();
                pos = notes.back().cutEnd;
                prev = RtfToken{};
                continue;
            }
            open.push_back(t.pos);
        }
        prev = t;
        pos = t.end;
    }
    return notes;
}

void ApplyBrowseFootnote(ImportedPage& page, std::string_view s) {
    std::size_t colon = s.find(':');
    if (colon == npos) {
        if (auto id = ReadInteger(s)) page.browseId = *id;
        return;
    }
    std::string name(s.substr(0, colon));
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.pop_back();
    if (name.size() >= 2) page.browseName = name;
    std::string number = TrimBlanks(s.substr(colon + 1));
    if (!number.empty())
        if (auto id = ReadInteger(number)) page.browseId = *id;
}

std::string RemoveControlWords(std::string_view rtf, const std::vector<std::string_view>& names) {
    std::vector<Cut> cuts;
    for (std::size_t pos = 0; pos < rtf.size();) {
        std::size_t next = rtf.find('\\', pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(rtf, next);
        if (t.kind == Kind::Word && std::find(names.begin(), names.end(), t.name) != names.end())
            cuts.push_back({t.pos, t.end, {}});
        pos = t.end;
    }
    return cuts.empty() ? std::string(rtf) : ApplyCuts(rtf, cuts);
}

namespace {

// Whether a page's groups do not match: a closing brace without its opening
// one (`allowedStray` of them are the document's own), a group left open, or
// a footnote group not closed within the page.
bool GroupsBroken(std::string_view page, int allowedStray) {
    int depth = 0, stray = 0;
    for (std::size_t pos = 0; pos < page.size();) {
        std::size_t next = page.find_first_of("\\{}", pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(page, next);
        if (t.kind == Kind::Open) {
            if (FirstWord(page, t.pos) == "footnote" && GroupEnd(page, t.pos) == npos) return true;
            ++depth;
        } else if (t.kind == Kind::Close) {
            if (depth == 0) ++stray;
            else --depth;
        }
        pos = t.end;
    }
    return depth != 0 || stray > allowedStray;
}

}  // namespace

std::string BalanceBraces(std::string_view rtf) {
    std::vector<Cut> cuts;
    int depth = 0;
    for (std::size_t pos = 0; pos < rtf.size();) {
        std::size_t next = rtf.find_first_of("\\{}", pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(rtf, next);
        if (t.kind == Kind::Open) ++depth;
        else if (t.kind == Kind::Close) {
            if (depth == 0) cuts.push_back({t.pos, t.end, {}});
            else --depth;
        }
        pos = t.end;
    }
    std::string out = cuts.empty() ? std::string(rtf) : ApplyCuts(rtf, cuts);
    out.append(static_cast<std::size_t>(depth), '}');
    return out;
}

ImportedPage ImportOnePage(std::string_view pageText, const std::string& header, const PageFieldSizes& sizes) {
    ImportedPage page;
    std::vector<RtfFootnote> notes = FindFootnotes(pageText);
    auto nth = [&](char letter, int n) -> RtfFootnote* {
        for (RtfFootnote& f : notes)
            if (f.letter == letter && n-- == 0) return &f;
        return nullptr;
    };
    std::vector<const RtfFootnote*> used;
    // A footnote its field cannot hold is not cut: it stays in the text,
    // where the build writes it again, and the page says so.
    auto tooLong = [&](const RtfFootnote& f, std::size_t size) {
        page.notes.push_back("the \"" + std::string(1, f.letter) + "\" footnote of " + std::to_string(f.value.size()) +
                             " characters is longer than the " + std::to_string(size) +
                             " its field holds; it stays in the page text");
    };
    // The footnote's text when it fits `size`; a longer one stays in the text.
    auto take = [&](char letter, int n, std::size_t size) -> const std::string* {
        RtfFootnote* f = nth(letter, n);
        if (!f) return nullptr;
        if (f->value.size() > size) {
            tooLong(*f, size);
            return nullptr;
        }
        used.push_back(f);
        return &f->value;
    };
    if (auto v = take('$', 0, sizes.title)) page.title = *v;
    const std::string* firstKeys = take('K', 0, sizes.keys);
    if (firstKeys) page.keys = *firstKeys;
    const std::size_t room = !firstKeys ? sizes.keys : page.keys.size() < sizes.keys ? sizes.keys - page.keys.size() - 1 : 0;
    if (auto v = take('K', 1, room)) page.keys = page.keys.empty() ? *v : page.keys + ";" + *v;
    if (RtfFootnote* f = nth('+', 0)) {
        ImportedPage browse;
        ApplyBrowseFootnote(browse, f->value);
        if (browse.browseName.empty() && !browse.browseId) {
            // Nothing the page's fields can hold: kept where the build writes it again.
            page.notes.push_back("the \"+\" footnote of " + std::to_string(f->value.size()) +
                                 " characters names no browse sequence or number; it stays in the page text");
        } else if (browse.browseName.size() <= sizes.browseName) {
            used.push_back(f);
            page.browseName = browse.browseName;
            page.browseId = browse.browseId;
        } else {
            tooLong(*f, sizes.browseName);
        }
    }
    if (auto v = take('!', 0, sizes.macro)) page.macroFootnote = *v;
    if (auto v = take('B', 0, sizes.bFootnote)) page.bFootnote = *v;
    if (auto v = take('A', 0, sizes.aFootnote)) page.aFootnote = *v;
    // Context string and help id: our build writes the number first and the
    // context string second; a converted page has the context string alone.
    // A "#" footnote this rule does not use stays in the text as an anchor.
    RtfFootnote* first = nth('#', 0);
    RtfFootnote* second = nth('#', 1);
    if (first && first->value.size() > sizes.contextString) tooLong(*first, sizes.contextString);
    if (first && first->value.size() <= sizes.contextString) {
        used.push_back(first);
        auto number = ReadInteger(first->value);
        if (second && (first->value == "Index" || number) && second->value.size() <= sizes.contextString) {
            used.push_back(second);
            if (first->value == "Index") {
                page.contextString = "Index";
                page.helpId = ReadInteger(second->value);
            } else {
                page.contextString = second->value;
                page.helpId = number;
            }
        } else if (number && !second) {
            // A lone number is the help id our build writes for a page without
            // a context string.
            page.helpId = number;
        } else {
            page.contextString = first->value;
        }
    }
    std::sort(used.begin(), used.end(), [](auto* a, auto* b) { return a->cutStart < b->cutStart; });
    std::vector<Cut> cuts;
    for (const RtfFootnote* f : used) cuts.push_back({f->cutStart, f->cutEnd, {}});
    std::string text = ApplyCuts(pageText, cuts);

    text = RemoveControlWords(text, {"ftnbj", "paperw", "paperh", "margl", "margr", "margt", "margb", "jdrtf"});

    // The title region runs from the page start to the first "\pard" after
    // "\keepn"; both words go.
    std::string title;
    bool hasTitle = false;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t next = text.find('\\', pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(text, next);
        pos = t.end;
        if (t.kind != Kind::Word || t.name != "keepn") continue;
        // The region ends at a "\pard" of the keepn's own level: one inside a
        // nested group (a footnote, a title piece's own paragraphs) does not end it.
        int depth = 0;
        for (std::size_t p = t.end; p < text.size();) {
            std::size_t n2 = text.find_first_of("\\{}", p);
            if (n2 == npos) break;
            RtfToken u = NextRtfToken(text, n2);
            p = u.end;
            if (u.kind == Kind::Open) ++depth;
            if (u.kind == Kind::Close && depth > 0) --depth;
            if (u.kind != Kind::Word || u.name != "pard" || depth > 0) continue;
            title = text.substr(0, t.pos) + text.substr(t.end, u.pos - t.end);
            text.erase(0, u.end);
            hasTitle = true;
            break;
        }
        break;
    }
    text = LeftTrim(text);
    if (!text.empty() && text.front() == '}') text = LeftTrim(text.substr(1));
    text = RemoveControlWords(text, {"keepn"});
    page.helpText = header + BalanceBraces(text) + "}";
    if (hasTitle) {
        title = LeftTrim(RemoveControlWords(title, {"keepn"}));
        // The region's closing paragraph mark belongs to the region, not to
        // its text: without it the last line is not followed by an empty one.
        std::size_t lastPar = npos;
        bool onlyTail = true;
        for (std::size_t pos = 0; pos < title.size();) {
            RtfToken u = NextRtfToken(title, pos);
            if (u.kind == Kind::Word && u.name == "par") {
                lastPar = u.pos;
                onlyTail = true;
            } else if (!(u.kind == Kind::Close || (u.kind == Kind::Text && IsBlank(title[u.pos])))) {
                onlyTail = false;
            }
            pos = u.end;
        }
        if (lastPar != npos && onlyTail) title.erase(lastPar, NextRtfToken(title, lastPar).end - lastPar);
        page.fullTitle = header + BalanceBraces(title) + "}";
    }
    return page;
}

SplitResult ImportRtfTopics(std::string_view rtf, const PageProgress& progress) {
    SplitResult result;
    RtfHead head = ScanRtfHead(rtf);
    if (head.fontTable == npos) {
        result.status = SplitResult::Status::NoFontTable;
        return result;
    }
    if (head.colourTable == npos) {
        result.status = SplitResult::Status::NoColourTable;
        return result;
    }
    result.header = std::string(rtf.substr(0, head.colourTable)) + FixedColourTable();
    result.colourMap = MapImportedColours(rtf, head.colourTable);
    std::vector<std::size_t> breaks = FindPageBreaks(rtf, head.bodyStart);
    const std::size_t count = breaks.size() + 1;
    result.pages.reserve(count);
    std::size_t start = head.bodyStart;
    for (std::size_t i = 0; i < count; ++i) {
        int percent = static_cast<int>(std::lround(100.0 * static_cast<double>(i) / static_cast<double>(count)));
        if (progress && !progress(i, count, percent)) {
            result.status = SplitResult::Status::Cancelled;
            result.pages.clear();
            return result;
        }
        std::size_t end = i < breaks.size() ? breaks[i] : rtf.size();
        const std::string_view text = rtf.substr(start, end - start);
        result.pages.push_back(ImportOnePage(text, result.header));
        // The last page holds the document's closing brace.
        if (GroupsBroken(text, i + 1 == count ? 1 : 0)) {
            result.pages.back().damagedGroups = true;
            result.pages.back().notes.push_back(
                "its RTF groups are broken (a brace is missing or one too many), so footnote text may show in its "
                "body; check the page");
        }
        if (i < breaks.size()) start = NextRtfToken(rtf, breaks[i]).end;
    }
    return result;
}

void AssignImportedHelpIds(std::vector<ImportedPage>& pages, const std::vector<ContextMapEntry>& map,
                           std::string_view contentsContext) {
    auto key = [](std::string_view s) {
        std::string k(s);
        plat::CharUpperBuff(k.data(), k.size());
        return k;
    };
    // Ids the pages' own footnotes give are kept once; a second page with
    // the same id counts as unnumbered.
    std::unordered_set<std::int32_t> taken;
    for (ImportedPage& p : pages)
        if (p.helpId && !taken.insert(*p.helpId).second) p.helpId.reset();
    std::unordered_map<std::string, std::size_t> byContext;
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (!pages[i].contextString.empty()) byContext.emplace(key(pages[i].contextString), i);
    std::unordered_set<std::string> mapped;
    std::unordered_set<std::size_t> idFromMap;
    for (const ContextMapEntry& m : map) {
        std::string k = key(m.contextString);
        if (!mapped.insert(k).second) continue;  // a context mapped again keeps its first id
        auto hit = byContext.find(k);
        if (hit == byContext.end()) continue;
        ImportedPage& p = pages[hit->second];
        if (p.helpId || taken.count(m.helpId)) continue;
        p.helpId = m.helpId;
        taken.insert(m.helpId);
        idFromMap.insert(hit->second);
    }
    std::int64_t next = 0;
    for (std::int32_t id : taken) next = std::max<std::int64_t>(next, id);
    // Past the largest id the count goes on at the first free one from 1
    // (it cannot wrap to a page's first place): an id is unique within a
    // project, on import as when typed.
    std::int64_t low = 1;
    for (ImportedPage& p : pages) {
        p.topicPopup = (p.browseId || !p.fullTitle.empty() || !p.title.empty()) ? "T" : "P";
        if (p.helpId) continue;
        next += 50;
        while (next <= INT32_MAX && taken.count(static_cast<std::int32_t>(next))) next += 50;
        if (next > INT32_MAX) {
            while (low < INT32_MAX && taken.count(static_cast<std::int32_t>(low))) ++low;
            p.helpId = static_cast<std::int32_t>(low);
        } else {
            p.helpId = static_cast<std::int32_t>(next);
        }
        taken.insert(*p.helpId);
    }
    if (contentsContext.empty()) return;
    auto hit = byContext.find(key(contentsContext));
    if (hit == byContext.end()) return;
    ImportedPage& contents = pages[hit->second];
    contents.topicPopup = "T";
    std::int32_t lowest = *contents.helpId;
    std::size_t lowestPage = hit->second;
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (*pages[i].helpId < lowest) {
            lowest = *pages[i].helpId;
            lowestPage = i;
        }
    if (lowestPage == hit->second) return;
    // A mapped id is the help file's own (programs call the default topic by
    // it) and the help project names the default topic itself; it moves only
    // when a popup would otherwise be the first page, which no build takes.
    if (idFromMap.count(hit->second) && pages[lowestPage].topicPopup == "T") return;
    if (lowest > INT32_MIN) contents.helpId = lowest - 1;
    else std::swap(contents.helpId, pages[lowestPage].helpId);
}

std::string ConvertImportedJumps(std::string_view rtf, const std::vector<int>& colourMap) {
    std::vector<Cut> cuts;
    std::size_t strike = npos, underline = npos;  // the last jump openers seen
    for (std::size_t pos = 0; pos < rtf.size();) {
        std::size_t next = rtf.find_first_of("\\{", pos);
        if (next == npos) break;
        RtfToken t = NextRtfToken(rtf, next);
        if (t.kind == Kind::Open) {
            const std::string_view first = FirstWord(rtf, t.pos);
            if (first == "colortbl") {
                std::size_t end = GroupEnd(rtf, t.pos);
                pos = end == npos ? rtf.size() : end;
                continue;
            }
            // A help project's own topic jumps: "{\strike text}{\v target}"
            // (the editor's pages, and so the HTML export, know double
            // underlines only).
            if (first == "strike") {
                RtfToken w = NextRtfToken(rtf, t.end);
                const std::size_t end = GroupEnd(rtf, t.pos);
                std::size_t after = end;
                while (after != npos && after < rtf.size() && (rtf[after] == '\r' || rtf[after] == '\n')) ++after;
                if (w.kind == Kind::Word && w.name == "strike" && !w.hasParam && after != npos &&
                    rtf.substr(after, 3) == "{\\v") {
                    RtfToken v = NextRtfToken(rtf, after + 1);
                    if (v.kind == Kind::Word && v.name == "v" && !v.hasParam) {
                        cuts.push_back({w.pos, w.nameEnd, "\\uldb"});
                        pos = w.end;
                        continue;
                    }
                }
            }
        } else if (t.kind == Kind::Word) {
            if (t.name == "cf" && t.hasParam) {
                int to = t.param >= 0 && static_cast<std::size_t>(t.param) < colourMap.size()
                             ? colourMap[static_cast<std::size_t>(t.param)]
                             : 0;
                cuts.push_back({t.pos, t.nameEnd, "\\cf" + std::to_string(to)});
            } else if (t.name == "strike" && (!t.hasParam || t.param != 0)) {
                strike = cuts.size();
                cuts.push_back({t.pos, t.nameEnd, "\\strike"});
            } else if (t.name == "ul" && !t.hasParam) {
                underline = cuts.size();
                cuts.push_back({t.pos, t.nameEnd, "\\ul"});
            } else if (t.name == "strike" && t.hasParam && t.param == 0) {
                RtfToken u = NextRtfToken(rtf, t.end);
                if (t.end == t.nameEnd && u.kind == Kind::Word && u.name == "ul" && u.hasParam && u.param == 0) {
                    bool topicJump = strike != npos && (underline == npos || cuts[strike].from > cuts[underline].from);
                    if (topicJump) {
                        cuts[strike].with = "\\uldb";
                        cuts.push_back({t.pos, u.nameEnd, "\\uldb0"});
                    } else if (underline != npos) {
                        cuts.push_back({t.pos, u.nameEnd, "\\ul0"});
                    }
                    strike = underline = npos;
                    pos = u.end;
                    continue;
                }
            }
        }
        pos = t.end;
    }
    return ApplyCuts(rtf, cuts);
}

}  // namespace build
