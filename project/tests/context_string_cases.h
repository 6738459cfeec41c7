// Titles and the context strings every road that derives one must give:
// the title rules, the check of a typed context string, the new-project
// wizard. Shared so that each road's tests read the same table.
#pragma once

#include <string>
#include <vector>

namespace testcases {

struct ContextStringCase {
    std::string title, want;
};

inline const std::vector<ContextStringCase>& ContextStringCases() {
    static const std::vector<ContextStringCase> cases = {
        {"my first page", "MyFirstPage"},
        {"the big  picture", "TheBigPicture"},  // an empty word between two blanks
        {"Page 2: setup", "Page2Setup"},
        {"hello, WORLD 2", "HelloWorld2"},     // the comma goes after capitalising
        {"a b c", "ABC"},                      // one-letter words
        {"UPPER case", "UpperCase"},
        {"Caf\xE9 cr\xE8me", "CafCrme"},       // Windows-1252 accents dropped
        {"\xC9t\xE9 \xE0 Paris", "tParis"},    // a word whose first letter goes keeps the rest as it is
        {"Caf\xC3\xA9 au lait", "CafAuLait"},  // UTF-8 bytes too
        {"snake_case stays", "Snake_caseStays"},
        {" leading blank", "LeadingBlank"},
        {"tab\there", "Tabhere"},              // only a blank splits words
        {"?!- ...", ""},
        {"", ""},
    };
    return cases;
}

}  // namespace testcases
