#include "project/title_rules.h"

namespace build {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool Kept(char c) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string DeriveContextString(const std::string& text) {
    std::string joined;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        for (char& c : word) c = Lower(c);
        if (!word.empty()) word[0] = Upper(word[0]);
        joined += word;
        start = end + 1;
    }
    std::string out;
    for (char c : joined)
        if (Kept(c)) out += c;
    return out;
}

std::optional<std::string> FreeContextString(const std::string& candidate, int maxSuffix,
                                             const ContextStringTaken& taken) {
    if (candidate.empty()) return std::nullopt;
    if (!taken || !taken(candidate)) return candidate;
    for (int n = 2; n <= maxSuffix; ++n) {
        std::string next = candidate + std::to_string(n);
        if (!taken(next)) return next;
    }
    return std::nullopt;
}

bool ApplyTitleRules(TitleRulePage& page, bool popupsHaveAutoSearchKeys, const ContextStringTaken& taken) {
    if (page.title.empty()) return false;
    page.titleUserModified = "N";
    if (page.topicPopup == "P") {
        if (popupsHaveAutoSearchKeys && page.keys.empty()) page.keys = page.title;
    } else if (page.keys.empty()) {
        page.keys = page.title;
    }
    if (page.contextString.empty()) {
        std::string candidate = DeriveContextString(page.title);
        // A title without letters or digits gives no candidate and asks nobody.
        if (!candidate.empty()) {
            std::optional<std::string> free = FreeContextString(candidate, kTitleContextSuffixMax, taken);
            // All numbers taken: the context string stays empty and the
            // browse rule does not run either.
            if (!free) return true;
            page.contextString = *free;
        }
    }
    if (page.topicPopup == "T" && page.browseId != page.helpId && page.bodyEmpty) page.browseId = page.helpId;
    return true;
}

}  // namespace build
