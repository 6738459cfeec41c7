// The spell check over a large help-project RTF file through the rich-text
// word scan (TJDBuf over the editing engine) against the same check over the
// plain text in a character buffer (TPCharBuffer), in words per second, with
// a dictionary that holds every word of the text. Prints the ratio first.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/core/codepage.h"
#include "platform/gdi/fake_device.h"
#include "richtext/spell/dct_writer.h"
#include "richtext/spell/engine_word_source.h"
#include "richtext/spell/spell_dlg.h"
#include "richtext/view/text_input.h"

namespace {

namespace fs = std::filesystem;

// A dialog that skips whatever it is asked about (the dictionary holds every
// word the buffers deliver; only a bare "'s" stays unknown).
class TSilentDialog : public spell::ISpellDialog {
public:
    void SetStateLabel(bool) override {}
    void SetWordText(const std::string&) override {}
    void SetReplaceText(const std::string&) override {}
    std::string GetReplaceText() override { return {}; }
    void FocusReplace() override {}
    void SetLanguage(spell::TLanguages) override {}
    void ShowAccents(spell::TAccentSet) override {}
    void ClearFields() override {}
    void RemoveGlyphs() override {}
    void ShowDialog() override { shown = true; }
    void HideDialog() override { shown = false; }
    bool DialogShowing() const override { return shown; }
    void PlaceDialog(bool, plat::TComponent*) override {}
    void SetDialogFont(const spell::TSpellFont&) override {}
    void SetDialogHelpContext(long) override {}
    bool shown = false;

protected:
    void SetSuggestionList(const std::vector<std::string>&) override {}
    void FocusSuggestionList() override {}
};

class TSilentEnvironment : public spell::TSpellEnvironment {
public:
    std::unique_ptr<spell::ISpellDialog> CreateDialog(spell::TDialogTypes) override {
        auto d = std::make_unique<TSilentDialog>();
        dialog = d.get();
        return d;
    }
    void WaitMessage() override {
        ++asked;
        dialog->SetAction(spell::kActionSkip);
    }
    TSilentDialog* dialog = nullptr;
    int asked = 0;
};

struct Setup {
    plat::TRecordingDevice device{96, 96};
    richtext::TJDRTFTextInput engine;
    std::unique_ptr<spell::TEngineWordSource> source;
    std::string oemText;
    fs::path folder;
    TSilentEnvironment env;
    std::unique_ptr<plat::TComponent> owner;
    spell::TSpellDlg* checker = nullptr;
    int words = 0;      // as the character buffer reads them
    int richWords = 0;  // as the editor's word scan reads them
    bool ok = false;

    Setup() {
        fs::path rtf = fs::path(TAVRIN_CORPUS_DIR) / "hpj/eudora71/Eudora.rtf";
        if (!fs::exists(rtf)) return;
        engine.LoadFromFile(rtf.string());
        engine.SetCanvas(&device);
        engine.SetWindowSize(800, 600);
        source = std::make_unique<spell::TEngineWordSource>(engine);
        std::string plain;
        for (richtext::TParagraph* p = engine.FirstParagraph(); p; p = p->next) {
            if (p != engine.FirstParagraph()) plain += '\r';
            plain += engine.ParagraphText(p);
        }
        oemText = plat::AnsiToOem(plain);

        // Every word either buffer delivers goes into the dictionary.
        std::set<std::string> all;
        auto take = [&all](spell::TAbsBuffer& b) {
            int n = 0;
            for (std::string w = b.GetNextWord(); !w.empty(); w = b.GetNextWord(), ++n) {
                std::string lower = spell::LowerAscii(w);
                all.insert(lower);
                if (lower.size() > 2 && lower.compare(lower.size() - 2, 2, "'s") == 0)
                    all.insert(lower.substr(0, lower.size() - 2));
            }
            return n;
        };
        spell::TPCharBuffer plainBuf(oemText.c_str());
        words = take(plainBuf);
        source->ResetWordScan();
        spell::TJDBuf richBuf(*source);
        richWords = take(richBuf);
        all.erase("");
        folder = fs::temp_directory_path() / "tavrin-bench-spell-check";
        fs::create_directories(folder);
        std::ofstream(folder / "ENGLISH.DCT", std::ios::binary)
            << spell::BuildDctImage(std::vector<std::string>(all.begin(), all.end()));

        spell::SetSpellEnvironment(&env);
        owner = std::make_unique<plat::TComponent>(nullptr);
        checker = new spell::TSpellDlg(owner.get());
        checker->DictionaryPath = folder.string();
        checker->UserDictionary = (folder / "USER.TXT").string();
        checker->ShowCompletedDialog = false;
        ok = true;
    }

    int CheckPlain() {
        spell::TPCharBuffer b(oemText.c_str());
        return checker->CheckBuffer(b);
    }
    int CheckRich() {
        source->ResetWordScan();
        spell::TJDBuf b(*source);
        return checker->CheckBuffer(b);
    }
};

Setup& S() {
    static Setup s;
    return s;
}

template <typename F>
double WordsPerSecond(int words, F check) {
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        check();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::max(best, words / s);
    }
    return best;
}

void BM_CheckPlainBuffer(benchmark::State& state) {
    if (!S().ok) return state.SkipWithError("corpus file missing");
    for (auto _ : state) benchmark::DoNotOptimize(S().CheckPlain());
    state.SetItemsProcessed(state.iterations() * S().words);
}
BENCHMARK(BM_CheckPlainBuffer)->Unit(benchmark::kMillisecond);

void BM_CheckRichBuffer(benchmark::State& state) {
    if (!S().ok) return state.SkipWithError("corpus file missing");
    for (auto _ : state) benchmark::DoNotOptimize(S().CheckRich());
    state.SetItemsProcessed(state.iterations() * S().richWords);
}
BENCHMARK(BM_CheckRichBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (S().ok) {
        int plainResult = S().CheckPlain(), richResult = S().CheckRich();
        int asked = S().env.asked;
        double plain = WordsPerSecond(S().words, [] { S().CheckPlain(); });
        double rich = WordsPerSecond(S().richWords, [] { S().CheckRich(); });
        std::printf("words: %d in the character buffer, %d through the editor's scan; results %d/%d; "
                    "words asked about in the two checks: %d\n",
                    S().words, S().richWords, plainResult, richResult, asked);
        std::printf("plain buffer: %.0f words/s; rich-text scan: %.0f words/s; ratio %.2f (at least 0.33 wanted)\n",
                    plain, rich, rich / plain);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
