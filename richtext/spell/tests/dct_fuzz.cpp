// Opens arbitrary bytes as a dictionary file and looks words up, suggests and
// completes. Bad files must end in TEDictionaryCorrupt, never a crash or hang.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "richtext/spell/dictionary.h"
#include "richtext/spell/suggest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("spell_fuzz_" + std::to_string(getpid()) + ".dct")).string();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // Most mutations would spoil the signature; keep it in place for half the
    // inputs so that the tree itself is exercised.
    if (size >= spell::kDctHeaderSize && (data[0] & 1))
        std::copy(std::begin(spell::kDictionarySignature), std::end(spell::kDictionarySignature), bytes.begin() + 1);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    try {
        spell::TDictionary d;
        d.AddDictionary(path);
        for (const char* w : {"at", "it", "be", "receive", "aaaaaaaaaaaa", "a's", "zebra"}) d.IsWord(w);
        d.Suggest("recieve", 10);
        d.Suggest("ab", 5);
        d.CompleteWord("a", 20);
        d.CompleteWord("", 20);
    } catch (const spell::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
