// The one lexer of RTF for every reader in the program: the text engine's
// reader, the import of compiled help files' RTF and the font tables of
// stored pages. It knows groups, control words (letters, an optional signed
// number, an optional blank delimiter), control symbols, \'hh and the data
// of \binN, so that a brace inside binary data or written as \'7d never
// counts as a group, whichever road the text takes.
//
// Rules: a word starts with a lower-case letter and takes every letter after
// it (later writers put capitals inside words); a longer name than 32
// letters keeps its first 32. A "-" without a digit after it ends the word
// and is dropped. The number takes every digit and is clamped into 32 bits.
// \' takes up to two hex digits; with fewer the token is bad (value -1).
// \binN (N > 0) takes the blank after it and then N bytes of data (fewer at
// the end of the input). A backslash at the end of the input is text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace richtext {

enum class RtfTokenKind { End, Open, Close, Word, Symbol, Hex, Binary, Text };

// One token as the core reads it from any source of bytes.
struct RtfLexeme {
    static constexpr std::size_t kMaxName = 32;
    RtfTokenKind kind = RtfTokenKind::End;
    char name[kMaxName] = {};  // a word's letters, a symbol's character
    std::size_t nameLength = 0;
    bool hasParam = false;
    std::int32_t param = 0;
    int value = -1;               // Hex: the byte, -1 when bad
    std::size_t dataLength = 0;   // Binary: the bytes announced (the caller takes them)
    std::string_view Name() const { return {name, nameLength}; }
};

namespace rtflex {
inline bool IsLower(int c) { return c >= 'a' && c <= 'z'; }
inline bool IsLetter(int c) { return IsLower(c) || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }
inline int HexDigit(int c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace rtflex

// Reads one token from `in`, which has `int Get()` (a byte, or < 0 at the
// end) and `void Unget()` (steps back over the last byte got). The data of
// \bin is left to the caller, who knows where it goes.
template <class In>
RtfLexeme LexRtf(In& in) {
    using namespace rtflex;
    RtfLexeme t;
    int c = in.Get();
    if (c < 0) return t;
    if (c == '{' || c == '}') {
        t.kind = c == '{' ? RtfTokenKind::Open : RtfTokenKind::Close;
        return t;
    }
    if (c != '\\') {
        t.kind = RtfTokenKind::Text;
        t.name[0] = static_cast<char>(c);
        t.nameLength = 1;
        return t;
    }
    c = in.Get();
    if (c < 0) {
        t.kind = RtfTokenKind::Text;
        t.name[0] = '\\';
        t.nameLength = 1;
        return t;
    }
    if (!IsLower(c)) {
        t.name[0] = static_cast<char>(c);
        t.nameLength = 1;
        if (c != '\'') {
            t.kind = RtfTokenKind::Symbol;
            return t;
        }
        t.kind = RtfTokenKind::Hex;
        int v = 0;
        for (int i = 0; i < 2; ++i) {
            const int d = in.Get();
            if (d < 0) return t;
            if (HexDigit(d) < 0) {
                in.Unget();
                return t;
            }
            v = v * 16 + HexDigit(d);
        }
        t.value = v;
        return t;
    }
    t.kind = RtfTokenKind::Word;
    while (IsLetter(c)) {
        if (t.nameLength < RtfLexeme::kMaxName) t.name[t.nameLength++] = static_cast<char>(c);
        c = in.Get();
    }
    bool negative = false;
    if (c == '-') {
        c = in.Get();
        if (IsDigit(c)) negative = true;
        else {
            if (c >= 0) in.Unget();
            return t;
        }
    }
    std::int64_t n = 0;
    while (IsDigit(c)) {
        t.hasParam = true;
        if (n <= 0x80000000LL) n = n * 10 + (c - '0');
        c = in.Get();
    }
    if (c >= 0 && c != ' ') in.Unget();
    if (negative) n = -n;
    t.param = static_cast<std::int32_t>(n < INT32_MIN ? INT32_MIN : n > INT32_MAX ? INT32_MAX : n);
    if (t.Name() == "bin" && t.hasParam && t.param > 0) {
        t.kind = RtfTokenKind::Binary;
        t.dataLength = static_cast<std::size_t>(t.param);
    }
    return t;
}

// A token of an RTF text in memory, placed: [pos, end) are its bytes (a
// word's blank delimiter and a \bin's data included), `nameEnd` ends the
// letters and number, `name` views a word's letters or a symbol's
// character in the text.
struct RtfToken {
    using Kind = RtfTokenKind;
    Kind kind = Kind::End;
    std::size_t pos = 0, end = 0, nameEnd = 0;
    std::string_view name;
    bool hasParam = false;
    std::int32_t param = 0;
    int value = -1;                         // Hex
    std::size_t dataPos = 0, dataLength = 0;  // Binary
};

// The token at `pos`; an End token (end == pos) at or past the end.
RtfToken NextRtfToken(std::string_view rtf, std::size_t pos);
// The end (after its "}") of the group that opens at `open`; npos when it
// does not close.
std::size_t RtfGroupEnd(std::string_view rtf, std::size_t open);

}  // namespace richtext
