// A small footnote scan of help-source RTF: topics split at \page, their
// "$" title, "#" contexts, "K" and "A" keywords and "+" browse entries.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace conv {

struct SourceTopic {
    std::string title;
    std::vector<std::string> contexts;
    std::set<std::string> kKeywords;
    std::set<std::string> aKeywords;
    std::string browse;
};

// Plain text of the group starting at rtf[i] == '{'; i ends after its '}'.
std::string GroupText(const std::string& rtf, std::size_t& i);
std::vector<std::string> SplitList(const std::string& s);
// Topics that have a title or a context.
std::vector<SourceTopic> ScanSourceRtf(const std::string& rtf);

// Group nesting of an RTF text, escapes (\\ \{ \} \'hh) taken into account:
// whether it ever went below 0, where it first came back to 0 (npos when
// never) and where it ended. A whole document has minDepth 0, firstClose at
// its last byte and finalDepth 0.
struct BraceCheck {
    int minDepth = 0;
    int finalDepth = 0;
    std::size_t firstClose = std::string::npos;
};
BraceCheck CheckBraces(const std::string& rtf);
// The text of every hidden group "{\v ...}", read back (escapes undone).
std::vector<std::string> HiddenTexts(const std::string& rtf);
// Bookmark names (\bkmkstart) and the names PAGEREF and GOTOBUTTON fields
// refer to, read back.
std::set<std::string> BookmarkNames(const std::string& rtf);
std::vector<std::string> FieldReferenceNames(const std::string& rtf);

}  // namespace conv
