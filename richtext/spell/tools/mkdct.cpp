// mkdct: writes a spell dictionary (.DCT letter tree) from a UTF-8 word list.
// Usage: mkdct <word-list> <output.dct>

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

#include "richtext/spell/dct_writer.h"

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
        std::vector<std::string> words = spell::WordsFromUtf8Lines(text.str(), &stats);
        std::string image = spell::BuildDctImage(std::move(words));
        // Write beside the target and rename, so a failed run never leaves a
        // half-written dictionary under the real name.
        std::string tmp = std::string(argv[2]) + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            out.write(image.data(), static_cast<std::streamsize>(image.size()));
            out.close();
            if (!out) {
                std::fprintf(stderr, "mkdct: cannot write %s\n", tmp.c_str());
                std::remove(tmp.c_str());
                return 1;
            }
        }
        if (std::rename(tmp.c_str(), argv[2]) != 0) {
            std::fprintf(stderr, "mkdct: cannot write %s\n", argv[2]);
            std::remove(tmp.c_str());
            return 1;
        }
        std::printf("mkdct: %s: %zu lines, %zu words, %zu parts skipped, %zu entries\n", argv[2], stats.lines,
                    stats.words, stats.skipped, (image.size() - 83) / 4);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkdct: %s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
