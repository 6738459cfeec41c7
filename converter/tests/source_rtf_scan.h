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

}  // namespace conv
