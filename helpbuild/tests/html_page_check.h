// Reading written HTML pages back as a browser would take them, for the
// export's tests: tags with their attributes (values unescaped), the text a
// reader sees, the title. Deliberately small and strict: an attribute value
// that is not quoted, or a quote inside a tag that closes early, shows up as
// an attribute of its own, which is what an injected event handler looks like.
#pragma once

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "helpbuild/html_export.h"

namespace htmlcheck {

struct Tag {
    std::string name;  // upper-cased, "/A" for a closing tag
    std::vector<std::pair<std::string, std::string>> attributes;  // names upper-cased, values unescaped
    std::size_t at = 0;  // offset of its "<"
    const std::string* Find(const std::string& attribute) const {
        for (const auto& [n, v] : attributes)
            if (n == attribute) return &v;
        return nullptr;
    }
};

inline std::string UpperAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Every tag of the page in order; comments are skipped.
inline std::vector<Tag> Tags(const std::string& html) {
    std::vector<Tag> tags;
    std::size_t i = 0;
    auto space = [&](std::size_t k) { return k < html.size() && std::isspace(static_cast<unsigned char>(html[k])); };
    while ((i = html.find('<', i)) != std::string::npos) {
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        Tag t;
        t.at = i;
        std::size_t k = i + 1;
        while (k < html.size() && !space(k) && html[k] != '>') t.name.push_back(html[k++]);
        t.name = UpperAscii(t.name);
        while (k < html.size() && html[k] != '>') {
            while (space(k)) ++k;
            if (k >= html.size() || html[k] == '>') break;
            std::string name;
            while (k < html.size() && !space(k) && html[k] != '=' && html[k] != '>') name.push_back(html[k++]);
            std::string value;
            if (k < html.size() && html[k] == '=') {
                ++k;
                if (k < html.size() && (html[k] == '"' || html[k] == '\'')) {
                    const char q = html[k++];
                    while (k < html.size() && html[k] != q) value.push_back(html[k++]);
                    if (k < html.size()) ++k;
                } else {
                    while (k < html.size() && !space(k) && html[k] != '>') value.push_back(html[k++]);
                }
            }
            if (!name.empty()) t.attributes.emplace_back(UpperAscii(name), build::HtmlUnescape(value));
        }
        tags.push_back(std::move(t));
        i = k;
    }
    return tags;
}

// The page's text outside tags and comments, entities unescaped.
inline std::string Text(const std::string& html) {
    std::string raw;
    for (std::size_t i = 0; i < html.size();) {
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string::npos ? html.size() : end + 3;
        } else if (html[i] == '<') {
            const std::size_t end = html.find('>', i);
            i = end == std::string::npos ? html.size() : end + 1;
        } else {
            raw.push_back(html[i++]);
        }
    }
    return build::HtmlUnescape(raw);
}

// The text of the first <title> element (entities unescaped), or "" without one.
inline std::string Title(const std::string& html) {
    const std::string upper = UpperAscii(html);
    const std::size_t open = upper.find("<TITLE>");
    if (open == std::string::npos) return {};
    const std::size_t close = upper.find("</TITLE>", open);
    if (close == std::string::npos) return {};
    return build::HtmlUnescape(html.substr(open + 7, close - open - 7));
}

inline int Count(const std::vector<Tag>& tags, const std::string& name) {
    int n = 0;
    for (const Tag& t : tags) n += t.name == name;
    return n;
}

}  // namespace htmlcheck
