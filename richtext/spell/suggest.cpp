#include "richtext/spell/suggest.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/core/codepage.h"

namespace spell {

namespace {

// The code table in ANSI form: the ASCII letters, then the OEM letters
// 0x80-0xA5 without the three currency signs (the peseta sign reads as a
// second P, which the first P shadows). A code of '0' drops the letter.
struct CodeTables {
    std::array<char, 256> code{};                 // 0 = not in the alphabet
    std::array<unsigned char, 256> oemToUpperAnsi{};  // OEM byte -> ANSI, ASCII upper-cased
    std::array<unsigned char, 256> upper{};       // UpperChar over ANSI

    CodeTables() {
        std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ" +
                               plat::Utf8ToAnsi("ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜPƒáíóúñÑ");
        const std::string codes = "0123012202245501262301020220000002000000000000000000011000055";
        for (std::size_t i = 0; i < alphabet.size() && i < codes.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(alphabet[i]);
            if (!code[c]) code[c] = codes[i];  // the first occurrence wins
        }
        for (int c = 0; c < 256; ++c) {
            unsigned char a = plat::OemToAnsiChar(static_cast<unsigned char>(c));
            oemToUpperAnsi[c] = (a >= 'a' && a <= 'z') ? static_cast<unsigned char>(a - 32) : a;
            upper[c] = (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : static_cast<unsigned char>(c);
        }
        std::string lower = plat::Utf8ToAnsi("üéâäàåçêëèïîìæôöòûìÿáíóúñ");
        std::string upperForm = plat::Utf8ToAnsi("ÜÉAÄAÅÇEEEIIIÆOÖOUIYAIOUÑ");
        std::array<bool, 256> set{};
        for (std::size_t i = 0; i < lower.size() && i < upperForm.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(lower[i]);
            if (set[c]) continue;
            set[c] = true;
            upper[c] = static_cast<unsigned char>(upperForm[i]);
        }
    }
};

const CodeTables& Tables() {
    static const CodeTables t;
    return t;
}

// Sound code of `n` OEM characters into `out` (NUL-terminated, at most 4
// characters), without allocating: the tree walk calls it for every entry.
std::size_t SoundCodeInto(const char* word, std::size_t n, char out[5]) {
    const CodeTables& t = Tables();
    n = std::min(n, kMaxWordLength);
    std::size_t len = 0;
    if (n > 0) out[len++] = static_cast<char>(t.oemToUpperAnsi[static_cast<unsigned char>(word[0])]);
    for (std::size_t i = 1; i < n && len < 4; ++i) {
        char c = t.code[t.oemToUpperAnsi[static_cast<unsigned char>(word[i])]];
        if (c == 0 || c == '0') continue;
        // The second character is always coded; later ones only when they
        // differ from the code before them (dropped letters do not separate).
        if (len == 1 || out[len - 1] != c) out[len++] = c;
    }
    out[len] = 0;
    return len;
}

// Ratcliff/Obershelp: find the longest common run (the earliest one on
// ties), count it twice, and recurse on the parts left and right of it.
// Positions are 1-based and ranges inclusive. Every start pair is tried, so
// a short early run never hides a longer later one.
struct Ratcliff {
    std::string_view a, b;
    int Total = 0;

    void Match(int s1, int e1, int s2, int e2) {
        if (s1 >= e1 || s2 >= e2) return;  // a single character (or nothing) adds nothing
        int best = 0, start1 = 0, start2 = 0;
        for (int i = s1; i + best <= e1; ++i) {
            for (int j = s2; j + best <= e2; ++j) {
                int n = 0;
                while (i + n <= e1 && j + n <= e2 && a[static_cast<std::size_t>(i + n - 1)] == b[static_cast<std::size_t>(j + n - 1)])
                    ++n;
                if (n > best) {
                    best = n;
                    start1 = i;
                    start2 = j;
                }
            }
        }
        if (best > 0) {
            Total += 2 * best;
            Match(s1, start1 - 1, s2, start2 - 1);
            Match(start1 + best, e1, start2 + best, e2);
        }
    }
};

}  // namespace

std::string SoundCode(std::string_view word, bool Pad) {
    char out[5];
    std::size_t len = SoundCodeInto(word.data(), word.size(), out);
    std::string r(out, len);
    if (Pad)
        while (r.size() < 4) r += '0';
    return r;
}

std::int16_t Similarity(std::string_view word, std::string_view candidate) {
    Ratcliff r{word.substr(0, std::min(word.size(), kMaxWordLength)),
               candidate.substr(0, std::min(candidate.size(), kMaxWordLength))};
    int la = static_cast<int>(r.a.size()), lb = static_cast<int>(r.b.size());
    if (la + lb == 0) return 0;
    r.Match(1, la, 1, lb);
    return static_cast<std::int16_t>(r.Total * 100 / (la + lb));
}

int EditDistance(std::string_view a, std::string_view b) {
    a = a.substr(0, std::min(a.size(), kMaxWordLength));
    b = b.substr(0, std::min(b.size(), kMaxWordLength));
    const std::size_t n = a.size(), m = b.size();
    std::vector<int> d((n + 1) * (m + 1));
    auto at = [&](std::size_t i, std::size_t j) -> int& { return d[i * (m + 1) + j]; };
    for (std::size_t i = 0; i <= n; ++i) at(i, 0) = static_cast<int>(2 * i);
    for (std::size_t j = 0; j <= m; ++j) at(0, j) = static_cast<int>(2 * j);
    for (std::size_t i = 1; i <= n; ++i)
        for (std::size_t j = 1; j <= m; ++j) {
            int best = std::min(at(i - 1, j) + 2, at(i, j - 1) + 2);
            best = std::min(best, at(i - 1, j - 1) + (a[i - 1] == b[j - 1] ? 0 : 2));
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, at(i - 2, j - 2) + 1);
            at(i, j) = best;
        }
    return at(n, m);
}

unsigned char UpperChar(unsigned char c) { return Tables().upper[c]; }

std::string UpperWord(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(UpperChar(static_cast<unsigned char>(c)));
    return r;
}

std::string MatchCase(std::string_view word, std::string_view suggestion) {
    if (word.empty()) return std::string(suggestion);
    unsigned char probe = static_cast<unsigned char>(word.size() > 1 ? word[1] : word[0]);
    if (UpperChar(probe) == probe) return UpperWord(suggestion);
    std::string r = LowerAscii(suggestion);
    unsigned char first = static_cast<unsigned char>(word[0]);
    if (!r.empty() && UpperChar(first) == first)
        r[0] = static_cast<char>(UpperChar(static_cast<unsigned char>(r[0])));
    return r;
}

std::string OemToAnsiWord(std::string_view s) { return plat::OemToAnsi(CutWord(s)); }
std::string AnsiToOemWord(std::string_view s) { return plat::AnsiToOem(CutWord(s)); }

// --- TSuggestList ------------------------------------------------------------

void TSuggestList::TryAdd(std::string_view word, std::string_view candidate) {
    if (MaxCount == 0) return;
    auto* s = new TSuggestion;
    s->Word = CutWord(candidate);
    s->Score = Similarity(word, candidate);
    s->Distance = static_cast<std::int16_t>(EditDistance(word, candidate));
    if (!First) {
        Append(s);
        return;
    }
    for (TLinkedListNode* n = First; n; n = n->Next) {
        auto* o = static_cast<TSuggestion*>(n);
        if (o->Score < s->Score || (o->Score == s->Score && o->Distance > s->Distance)) {
            InsertBefore(n, s);
            if (Count > MaxCount) Delete(Last);
            return;
        }
    }
    if (Count < MaxCount)
        Append(s);
    else
        delete s;
}

void TSuggestList::BuildSuggestions(TDCTFile* file, std::uint8_t maxCount, std::string_view word) {
    DictFile = file;
    MaxCount = maxCount;
    std::string w = CutWord(word);
    if (!file || w.empty()) return;
    SoundCode = spell::SoundCode(w, true);
    MinLength = static_cast<std::int16_t>(w.size()) - 2;
    MaxLength = static_cast<std::int16_t>(w.size()) + 2;

    // The sound code keeps the first letter in ANSI form, as the codes of the
    // candidates do, so that words beginning with an accented letter compare
    // in one code page.
    unsigned char first = static_cast<unsigned char>(w[0]);
    if (first >= 'A' && first <= 'Z') first = static_cast<unsigned char>(first + 32);

    std::uint32_t at = 0;
    std::uint32_t e = file->FindLetterEntry(1, first, &at);
    if (EntryLetter(e) != first || ChildIndex(e) == 0) return;

    // P is the partial word; index[d] is the entry tried at depth d (1-based).
    constexpr std::size_t kDepth = kMaxWordLength + 4;
    char P[kDepth + 1];
    std::uint32_t index[kDepth + 2];
    std::size_t len = 1;
    P[0] = static_cast<char>(first);
    index[1] = at;
    index[2] = ChildIndex(e);
    const std::size_t maxLength = static_cast<std::size_t>(MaxLength);
    const std::uint64_t budget = file->WalkBudget();
    std::uint64_t visited = 0;
    char code[5];

    while (len > 0) {
        if (++visited > budget) throw TEDictionaryCorrupt();
        e = file->DictionaryEntry(index[len + 1]);
        P[len++] = static_cast<char>(EntryLetter(e));
        std::size_t d = len;
        std::size_t codeLen = SoundCodeInto(P, d, code);
        bool soundFits = SoundCode.compare(0, codeLen, code, codeLen) == 0;
        if (soundFits && d <= maxLength) {
            if (IsEndOfWord(e) && static_cast<int>(d) >= MinLength) TryAdd(w, std::string_view(P, d));
            if (ChildIndex(e) != 0 && d + 1 <= kDepth) {
                index[d + 1] = ChildIndex(e);
                continue;
            }
        }
        // Back up to the nearest level that still has a next sibling.
        while (len > 1 && IsLastSibling(file->DictionaryEntry(index[len]))) --len;
        --len;
        if (len > 0) ++index[len + 1];
    }
}

// --- TDictionary: suggestions and completion -----------------------------------

namespace {

void FinishSuggestions(std::string_view word, std::vector<std::string>& list) {
    std::string ansiWord = OemToAnsiWord(word);
    for (std::string& s : list) s = MatchCase(ansiWord, OemToAnsiWord(s));
}

}  // namespace

std::vector<std::string> TDictionary::Suggest(std::string_view word, std::uint16_t MaxCount) {
    std::vector<std::string> result;
    std::string w = FoldWord(CutWord(word));
    if (MaxCount == 0 || w.empty()) return result;

    // A split only into words of two letters or more ("a" and "i" aside):
    // single letters would make a split of nearly every misspelling.
    // Nor into abbreviations: "dogwi" is no "dog WI".
    auto wordPart = [this](const std::string& part) {
        return (part.size() >= 2 || part == "a" || part == "i") && !Abbreviations.Contains(part) && IsWord(part);
    };
    for (std::size_t i = 1; i < w.size() && result.size() < MaxCount; ++i) {
        std::string head = w.substr(0, i), tail = w.substr(i);
        if (wordPart(head) && wordPart(tail)) result.push_back(head + " " + tail);
    }
    if (result.size() < MaxCount) {
        // Clamped, not wrapped, to the list's byte-sized limit.
        auto remaining = static_cast<std::uint8_t>(std::min<std::size_t>(MaxCount - result.size(), 255));
        for (TLinkedListNode* f = Files.First; f; f = f->Next) {
            TSuggestList list;
            list.BuildSuggestions(static_cast<TDCTFile*>(f), remaining, w);
            for (TLinkedListNode* n = list.First; n; n = n->Next) {
                const std::string& s = static_cast<TSuggestion*>(n)->Word;
                if (std::find(result.begin(), result.end(), s) == result.end()) result.push_back(s);
            }
        }
        if (result.size() > MaxCount) result.resize(MaxCount);
    }
    FinishSuggestions(word, result);
    return result;
}

std::vector<std::string> TDictionary::CompleteWord(std::string_view prefix, std::uint16_t MaxCount) {
    std::vector<std::string> result;
    if (MaxCount == 0) return result;
    std::string p = FoldWord(AnsiToOemWord(prefix));
    for (TLinkedListNode* f = Files.First; f && result.size() < MaxCount; f = f->Next) {
        auto* file = static_cast<TDCTFile*>(f);
        std::uint32_t index = 1;
        bool found = true;
        for (char ch : p) {
            unsigned char c = static_cast<unsigned char>(ch);
            std::uint32_t e = index ? file->FindLetterEntry(index, c) : 0;
            if (!index || EntryLetter(e) != c) {
                found = false;
                break;
            }
            index = ChildIndex(e);
        }
        if (!found || index == 0) continue;

        // Depth first, siblings in stored order; words stop at 50 characters.
        std::vector<std::uint32_t> stack{index};
        std::string w = p;
        const std::uint64_t budget = file->WalkBudget();
        std::uint64_t visited = 0;
        while (!stack.empty() && result.size() < MaxCount) {
            if (++visited > budget) throw TEDictionaryCorrupt();
            std::uint32_t e = file->DictionaryEntry(stack.back());
            w.resize(p.size() + stack.size() - 1);
            w += static_cast<char>(EntryLetter(e));
            if (IsEndOfWord(e) && std::find(result.begin(), result.end(), w) == result.end()) result.push_back(w);
            if (ChildIndex(e) != 0 && w.size() < kMaxWordLength) {
                stack.push_back(ChildIndex(e));
                continue;
            }
            while (!stack.empty() && IsLastSibling(file->DictionaryEntry(stack.back()))) stack.pop_back();
            if (!stack.empty()) ++stack.back();
        }
    }
    FinishSuggestions(AnsiToOemWord(prefix), result);
    return result;
}

}  // namespace spell
