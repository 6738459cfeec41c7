// The fields a page's title fills before the page is posted: its search
// keys, a context string derived from the title, and the browse id of an
// empty topic. The context-string derivation is the one the page rules use
// to validate a typed context string as well.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace build {

// The context string a text gives: split at every blank, each word
// lower-cased with its first character upper-cased, joined, and only
// "_", A-Z, a-z and 0-9 kept. Empty when the text has none of those.
std::string DeriveContextString(const std::string& text);

// Whether another page of the project owns a context string.
using ContextStringTaken = std::function<bool(const std::string& contextString)>;

// The candidate itself when free, else the first free one of candidate + "2"
// .. candidate + maxSuffix; nullopt when all are taken or the candidate is
// empty (an empty candidate is never looked up).
std::optional<std::string> FreeContextString(const std::string& candidate, int maxSuffix,
                                             const ContextStringTaken& taken);

// The largest number the title rules append.
inline constexpr int kTitleContextSuffixMax = 10;

// The page fields the title rules read and write.
struct TitleRulePage {
    std::string title;
    std::string titleUserModified;
    std::string topicPopup;  // "T" or "P"
    std::string keys;
    std::string contextString;
    long helpId = 0;
    long browseId = 0;
    bool bodyEmpty = false;  // the plain text of the page body is empty
};

// Applies the rules to `page`. `popupsHaveAutoSearchKeys` is the program
// setting; `taken` is asked only when a context string has to be derived.
// Returns false when nothing changed because the title is empty.
bool ApplyTitleRules(TitleRulePage& page, bool popupsHaveAutoSearchKeys, const ContextStringTaken& taken);

}  // namespace build
