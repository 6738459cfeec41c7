#include "richtext/io/rtf_lexer.h"

#include <algorithm>

namespace richtext {

namespace {

struct TextSource {
    std::string_view text;
    std::size_t at;
    int Get() { return at < text.size() ? static_cast<unsigned char>(text[at++]) : (++at, -1); }
    void Unget() { --at; }
};

}  // namespace

RtfToken NextRtfToken(std::string_view rtf, std::size_t pos) {
    RtfToken t;
    t.pos = t.end = t.nameEnd = pos;
    if (pos >= rtf.size()) return t;
    TextSource in{rtf, pos};
    const RtfLexeme l = LexRtf(in);
    // A Get past the end still counts a step; the text ends there.
    const std::size_t after = std::min(in.at, rtf.size());
    t.kind = l.kind;
    t.hasParam = l.hasParam;
    t.param = l.param;
    t.value = l.value;
    t.end = t.nameEnd = after;
    switch (l.kind) {
    case RtfTokenKind::Word:
    case RtfTokenKind::Binary:
        t.name = rtf.substr(pos + 1, l.nameLength);
        if (after > pos + 1 && rtf[after - 1] == ' ') t.nameEnd = after - 1;
        break;
    case RtfTokenKind::Symbol:
    case RtfTokenKind::Hex:
        t.name = rtf.substr(pos + 1, 1);
        break;
    default:
        t.name = rtf.substr(pos, 1);
        break;
    }
    if (l.kind == RtfTokenKind::Binary) {
        t.dataPos = after;
        t.dataLength = std::min(l.dataLength, rtf.size() - after);
        t.end = after + t.dataLength;
    }
    return t;
}

std::size_t RtfGroupEnd(std::string_view rtf, std::size_t open) {
    int depth = 0;
    for (std::size_t pos = open; pos < rtf.size();) {
        const RtfToken t = NextRtfToken(rtf, pos);
        if (t.kind == RtfTokenKind::Open) ++depth;
        else if (t.kind == RtfTokenKind::Close && --depth == 0) return t.end;
        pos = t.end;
    }
    return std::string_view::npos;
}

}  // namespace richtext
