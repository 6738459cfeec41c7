// The topics of the corpus help project's RTF files, for the benchmarks that
// build, export or browse a project of real pages: each is its file's head
// (font and colour tables) with one topic's text, without the closing brace.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace benchtopics {

inline std::vector<std::string> CorpusTopicTexts(const std::filesystem::path& corpusDir) {
    std::vector<std::string> topics;
    const std::filesystem::path dir = corpusDir / "hpj" / "eudora71";
    for (const char* name : {"Eudora.rtf", "Options.rtf", "Dialogs.rtf", "menus.rtf"}) {
        std::ifstream in(dir / name, std::ios::binary);
        const std::string rtf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t body = rtf.find("\\pard");
        if (body == std::string::npos) continue;
        const std::string head = rtf.substr(0, body);
        std::size_t at = body;
        while (at < rtf.size()) {
            std::size_t next = rtf.find("\\page", at);
            if (next == std::string::npos) next = rtf.size();
            topics.push_back(head + rtf.substr(at, next - at));
            at = next + 5;
        }
    }
    return topics;
}

}  // namespace benchtopics
