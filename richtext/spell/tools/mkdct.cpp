// mkdct: writes a spell dictionary (.DCT letter tree) from a UTF-8 word list.
// Usage: mkdct <word-list> <output.dct>

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "richtext/spell/dct_writer.h"
#include "platform/core/safe_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkdct <word-list> <output.dct>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mkdct: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        spell::DctWordFilterStats stats;
        std::vector<std::string> abbreviations;
        std::vector<std::string> words = spell::WordsFromUtf8Lines(text.str(), &stats, &abbreviations);
        std::string image = spell::BuildDctImage(std::move(words));
        std::string list;
        for (const std::string& a : abbreviations) list += a + "\r\n";
        // A failed run never leaves a half-written file under the real name.
        // The abbreviation list comes first: a dictionary is never newer than
        // its list.
        auto write = [](const std::string& path, const std::string& bytes) {
            if (plat::WriteFileSafely(path, bytes, plat::PathText::Native)) return true;
            std::fprintf(stderr, "mkdct: cannot write %s\n", path.c_str());
            return false;
        };
        if (!write(spell::AbbreviationFile(argv[2]), list) || !write(argv[2], image)) return 1;
        std::printf("mkdct: %s: %zu lines, %zu words (%zu abbreviations), %zu parts skipped, %zu entries\n", argv[2],
                    stats.lines, stats.words, abbreviations.size(), stats.skipped, (image.size() - 83) / 4);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkdct: %s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
