// Checks every word of a large help-project RTF file against the British
// dictionary: look-ups per second, and suggestions per second for the words
// it does not know. The peer for look-ups is a hash set of the same words held
// in memory, measured in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/core/codepage.h"
#include "richtext/spell/dct_writer.h"
#include "richtext/spell/suggest.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A crude RTF strip: drops control words, control symbols, braces and the
// contents of "{\*" destinations, font and colour tables; keeps the rest.
std::string StripRtf(const std::string& rtf) {
    std::string out;
    std::vector<bool> skip{false};
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        char c = rtf[i];
        if (c == '{') {
            bool s = skip.back() || rtf.compare(i + 1, 2, "\\*") == 0 || rtf.compare(i + 1, 8, "\\fonttbl") == 0 ||
                     rtf.compare(i + 1, 9, "\\colortbl") == 0 || rtf.compare(i + 1, 11, "\\stylesheet") == 0;
            skip.push_back(s);
        } else if (c == '}') {
            if (skip.size() > 1) skip.pop_back();
            out += ' ';
        } else if (c == '\\') {
            std::size_t j = i + 1;
            if (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) {
                while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
                if (j < rtf.size() && (rtf[j] == '-' || std::isdigit(static_cast<unsigned char>(rtf[j])))) {
                    ++j;
                    while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) ++j;
                }
                if (j < rtf.size() && rtf[j] == ' ') ++j;
                i = j - 1;
                out += ' ';
            } else if (j < rtf.size() && rtf[j] == '\'' && j + 2 < rtf.size()) {
                if (!skip.back()) out += static_cast<char>(std::stoi(rtf.substr(j + 1, 2), nullptr, 16));
                i = j + 2;
            } else {
                i = j;
                out += ' ';
            }
        } else if (!skip.back() && c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

bool IsWordChar(unsigned char c) {
    return c == '\'' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0x80 && c <= 0xA5);
}

// The words as the text buffers deliver them: OEM, split at non-word
// characters, digits-only and one-letter words left out as the check loop does.
const std::vector<std::string>& CorpusWords() {
    static const std::vector<std::string> words = [] {
        std::string oem =
            plat::AnsiToOem(StripRtf(ReadAll(fs::path(TAVRIN_CORPUS_DIR) / "hpj" / "eudora71" / "Eudora.rtf")));
        std::vector<std::string> r;
        std::string w;
        for (char ch : oem + " ") {
            if (IsWordChar(static_cast<unsigned char>(ch))) {
                w += ch;
                continue;
            }
            bool digits = w.find_first_not_of("0123456789") == std::string::npos;
            if (w.size() >= 2 && w.size() < 50 && !digits) r.push_back(w);
            w.clear();
        }
        return r;
    }();
    return words;
}

std::string BritishPath() { return (fs::path(TAVRIN_DICT_DIR) / "British.dct").string(); }

void BM_LookupEveryWord(benchmark::State& state) {
    const auto& words = CorpusWords();
    spell::TDictionary d;
    d.AddDictionary(BritishPath());
    std::size_t known = 0;
    for (auto _ : state) {
        known = 0;
        for (const std::string& w : words) known += d.IsWord(w);
    }
    state.counters["words"] = static_cast<double>(words.size());
    state.counters["known"] = static_cast<double>(known);
    state.counters["words/s"] =
        benchmark::Counter(static_cast<double>(words.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LookupEveryWord)->Unit(benchmark::kMillisecond);

// Peer: the same words in an in-memory hash set (lower-cased, "'s" dropped).
void BM_LookupPeerHashSet(benchmark::State& state) {
    const auto& words = CorpusWords();
    std::ifstream in("/usr/share/dict/british-english", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    auto list = spell::WordsFromUtf8Lines(text.str());
    std::unordered_set<std::string> set(list.begin(), list.end());
    std::size_t known = 0;
    for (auto _ : state) {
        known = 0;
        for (const std::string& w : words) {
            std::string l = spell::LowerAscii(w);
            if (l.size() >= 2 && l.compare(l.size() - 2, 2, "'s") == 0) l.resize(l.size() - 2);
            known += set.count(l);
        }
    }
    state.counters["known"] = static_cast<double>(known);
    state.counters["words/s"] =
        benchmark::Counter(static_cast<double>(words.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LookupPeerHashSet)->Unit(benchmark::kMillisecond);

void BM_SuggestUnknownWords(benchmark::State& state) {
    spell::TDictionary d;
    d.AddDictionary(BritishPath());
    std::vector<std::string> unknown;
    std::unordered_set<std::string> seen;
    for (const std::string& w : CorpusWords())
        if (!d.IsWord(w) && seen.insert(spell::LowerAscii(w)).second) unknown.push_back(w);
    std::size_t given = 0;
    for (auto _ : state) {
        given = 0;
        for (const std::string& w : unknown) given += d.Suggest(w, 10).size();
    }
    state.counters["unknown"] = static_cast<double>(unknown.size());
    state.counters["suggestions"] = static_cast<double>(given);
    state.counters["words/s"] =
        benchmark::Counter(static_cast<double>(unknown.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SuggestUnknownWords)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
