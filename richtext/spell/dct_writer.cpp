#include "richtext/spell/dct_writer.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <unordered_map>

#include "platform/core/codepage.h"
#include "richtext/spell/dictionary.h"

namespace spell {

namespace {

struct Builder {
    const std::vector<std::string>& words;
    std::vector<std::uint32_t> entries{0};  // entries[0] unused: indexes start at 1
    std::unordered_map<std::string, std::uint32_t> lists;  // list bytes -> first index

    // Emits the sibling list for the letters at `depth` of words[lo, hi),
    // which all share their first `depth` letters and are longer than that.
    // Returns the index of the list's first entry. With `at` set the list is
    // written there (the first-letter list must be entry 1).
    std::uint32_t EmitList(std::size_t lo, std::size_t hi, std::size_t depth, std::uint32_t at = 0) {
        std::vector<std::uint32_t> list;
        std::size_t i = lo;
        while (i < hi) {
            unsigned char letter = static_cast<unsigned char>(words[i][depth]);
            std::size_t j = i;
            while (j < hi && static_cast<unsigned char>(words[j][depth]) == letter) ++j;
            // Sorted order puts the word that ends here first in its group.
            bool endOfWord = words[i].size() == depth + 1;
            std::size_t childLo = endOfWord ? i + 1 : i;
            std::uint32_t child = childLo < j ? EmitList(childLo, j, depth + 1) : 0;
            list.push_back(std::uint32_t(letter) << 24 | (endOfWord ? 0x400000u : 0u) | child);
            i = j;
        }
        list.back() |= 0x800000u;
        if (at) {
            for (std::size_t k = 0; k < list.size(); ++k) entries[at + k] = list[k];
            return at;
        }
        std::string key(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(std::uint32_t));
        if (auto it = lists.find(key); it != lists.end()) return it->second;
        auto first = static_cast<std::uint32_t>(entries.size());
        if (entries.size() + list.size() - 1 > kMaxEntryIndex)
            throw std::runtime_error("word list too large for a dictionary file");
        entries.insert(entries.end(), list.begin(), list.end());
        lists.emplace(std::move(key), first);
        return first;
    }
};

bool IsWordCharAnsi(unsigned char c) { return c == '\'' || plat::IsCharAlphaNumeric(c); }

}  // namespace

std::string AbbreviationFile(const std::string& dctPath) {
    std::size_t slash = dctPath.find_last_of("/\\");
    std::size_t dot = dctPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return dctPath + ".abb";
    return dctPath.substr(0, dot) + ".abb";
}

std::vector<std::string> WordsFromUtf8Lines(const std::string& text, DctWordFilterStats* stats,
                                            std::vector<std::string>* abbreviations) {
    DctWordFilterStats st;
    std::vector<std::string> out;
    std::vector<std::string> capitalsOnly, asWords;  // OEM forms seen in capitals, and otherwise
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++st.lines;
        // A character without a Windows-1252 byte becomes NUL and spoils its part.
        std::string ansi = plat::Utf8ToAnsi(line, '\0');
        std::size_t i = 0;
        while (i < ansi.size()) {
            while (i < ansi.size() && ansi[i] != '\0' && !IsWordCharAnsi(static_cast<unsigned char>(ansi[i]))) ++i;
            std::size_t start = i;
            bool bad = false;
            while (i < ansi.size() && (ansi[i] == '\0' || IsWordCharAnsi(static_cast<unsigned char>(ansi[i])))) {
                if (ansi[i] == '\0') bad = true;
                ++i;
            }
            if (i == start) continue;
            std::string original = ansi.substr(start, i - start);
            if (original.size() >= 2 && original[original.size() - 2] == '\'' &&
                (original.back() == 's' || original.back() == 'S'))
                original.resize(original.size() - 2);  // "NASA's" is the abbreviation "NASA"
            // Abbreviations written in capitals ("UN", "WI") are words a
            // text uses; only splits leave them out. Single letters other
            // than "a" and "I" are no words of the language.
            bool capitals = original.size() >= 2 && std::all_of(original.begin(), original.end(), [](char ch) {
                unsigned char u = static_cast<unsigned char>(ch);
                return !plat::IsCharAlpha(u) || plat::IsCharUpper(u);
            }) && std::any_of(original.begin(), original.end(), [](char ch) { return plat::IsCharAlpha(static_cast<unsigned char>(ch)); });
            std::string part = plat::AnsiLowerCase(ansi.substr(start, i - start));
            if (part.size() == 1 && part != "a" && part != "i") {
                ++st.skipped;
                continue;
            }
            if (part.size() >= 2 && part.compare(part.size() - 2, 2, "'s") == 0) part.resize(part.size() - 2);
            std::string oem;
            for (char ch : part) {
                unsigned char o = plat::AnsiToOemChar(static_cast<unsigned char>(ch));
                if (o == '?' && ch != '?') bad = true;
                oem += static_cast<char>(o);
            }
            bool digitsOnly = std::all_of(oem.begin(), oem.end(), [](char c) { return c >= '0' && c <= '9'; });
            bool noLetter = std::all_of(oem.begin(), oem.end(), [](char c) { return c == '\'' || (c >= '0' && c <= '9'); });
            if (oem.empty()) continue;
            if (bad || oem.size() > kMaxWordLength || digitsOnly || noLetter) {
                ++st.skipped;
                continue;
            }
            (capitals ? capitalsOnly : asWords).push_back(oem);
            out.push_back(std::move(oem));
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    if (abbreviations) {
        // A part the list also writes as a word ("Un", "it") is no abbreviation.
        std::sort(capitalsOnly.begin(), capitalsOnly.end());
        capitalsOnly.erase(std::unique(capitalsOnly.begin(), capitalsOnly.end()), capitalsOnly.end());
        std::sort(asWords.begin(), asWords.end());
        abbreviations->clear();
        std::set_difference(capitalsOnly.begin(), capitalsOnly.end(), asWords.begin(), asWords.end(),
                            std::back_inserter(*abbreviations));
    }
    st.words = out.size();
    if (stats) *stats = st;
    return out;
}

std::string BuildDctImage(std::vector<std::string> words) {
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (words.empty()) throw std::runtime_error("no words for the dictionary");
    for (const std::string& w : words)
        if (w.empty() || w.size() > kMaxWordLength) throw std::runtime_error("word of bad length: \"" + w + "\"");

    Builder b{words, {0}, {}};
    // Reserve entries 1..k for the first letters, then let the lists below
    // them follow.
    std::size_t firstLetters = 0;
    for (std::size_t i = 0; i < words.size(); ++i)
        if (i == 0 || words[i][0] != words[i - 1][0]) ++firstLetters;
    b.entries.resize(1 + firstLetters, 0);
    b.EmitList(0, words.size(), 0, 1);

    std::string image(kDctHeaderSize, '\0');
    image[0] = static_cast<char>(sizeof kDictionarySignature);
    std::copy(std::begin(kDictionarySignature), std::end(kDictionarySignature), image.begin() + 1);
    image.reserve(kDctHeaderSize + 4 * (b.entries.size() - 1));
    for (std::size_t i = 1; i < b.entries.size(); ++i) {
        std::uint32_t e = b.entries[i];
        image += static_cast<char>(e & 0xFF);
        image += static_cast<char>(e >> 8 & 0xFF);
        image += static_cast<char>(e >> 16 & 0xFF);
        image += static_cast<char>(e >> 24 & 0xFF);
    }
    return image;
}

}  // namespace spell
