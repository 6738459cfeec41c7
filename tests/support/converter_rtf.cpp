#include "tests/support/converter_rtf.h"

#include <cctype>
#include <vector>

namespace testsupport {

std::size_t ConverterTopicCount(const std::string& rtf) {
    std::vector<std::string> sections;
    const std::string separator = "\\page\\pard\n";
    std::size_t at = 0;
    for (std::size_t next; (next = rtf.find(separator, at)) != std::string::npos; at = next + separator.size())
        sections.push_back(rtf.substr(at, next - at));
    sections.push_back(rtf.substr(at));
    auto empty = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char ch = text[i];
            if (ch == '\\' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1]))) {
                ++i;
                while (i + 1 < text.size() && (std::isalnum(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '-')) ++i;
                continue;
            }
            if (ch != '{' && ch != '}' && !std::isspace(static_cast<unsigned char>(ch))) return false;
        }
        return true;
    };
    while (sections.size() > 1 && empty(sections.back())) sections.pop_back();
    return sections.size();
}

}  // namespace testsupport
