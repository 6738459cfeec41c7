#include "helpbuild/topic_rtf.h"

#include <sstream>

#include "richtext/io/text_writer.h"
#include "richtext/view/rtf_text_io.h"

namespace build {

namespace {

// Opener of a footnote; the letter stands in both places.
std::string FootnoteOpener(char letter) {
    std::string l(1, letter);
    return "{\\cs16\\super " + l + "{\\*\\footnote \\pard\\plain " + "\\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super " +
           l + "} ";
}

// Length of the balanced group that starts at `at` ("{"), escapes honoured;
// 0 when it does not close.
std::size_t GroupLength(const std::string& s, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '{') ++depth;
        else if (c == '}' && --depth == 0) return i - at + 1;
    }
    return 0;
}

bool StartsWith(const std::string& s, std::size_t at, std::string_view prefix) {
    return s.compare(at, prefix.size(), prefix) == 0;
}

// Document information the writer may put after the margins.
bool IsInformationGroup(const std::string& s, std::size_t at) {
    static const std::string_view kWords[] = {"{\\title", "{\\subject", "{\\comment", "{\\author",
                                              "{\\keywords", "{\\doccomm", "{\\info"};
    for (std::string_view w : kWords) {
        if (!StartsWith(s, at, w)) continue;
        char next = at + w.size() < s.size() ? s[at + w.size()] : '\0';
        // The word must end there: "\titlepg" is not a title group.
        if (!((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'))) return true;
    }
    return false;
}

std::string TitleRegion(const std::string& titlePiece) {
    return "{\\pard\\plain \\keepn " + titlePiece + "\\par \\pard }";
}

std::string WriteSource(richtext::TJDRTFTextIo& engine) {
    richtext::TJDRTFWriter writer(&engine);
    writer.pictureReferences = true;
    std::ostringstream out;
    engine.SaveWithWriter(writer, out);
    return out.str();
}

}  // namespace

std::string WriteRtfSource(const std::string& memoRtf) { return LoadPageText(memoRtf).source; }

LoadedText LoadPageText(const std::string& memoRtf) {
    richtext::TJDRTFTextIo engine;
    if (!memoRtf.empty()) engine.LoadFromString(memoRtf);
    return {engine.IsEmpty(), WriteSource(engine)};
}

std::string PieceFromSource(const std::string& source, const std::string& pageName, bool body) {
    std::string piece;
    if (!CutPiece(source, piece))
        throw PieceError{"The " + std::string(body ? "text" : "title") + " of page " + pageName +
                         " could not be prepared: its RTF has no page margins (\\margb)."};
    // The help compiler takes an empty group at the start for nothing at all.
    if (body && piece.compare(0, 2, "{}") == 0 && (piece.size() == 2 || piece[2] == '\r' || piece[2] == '\n'))
        piece.replace(0, 2, "{ }");
    return piece;
}

bool CutPiece(const std::string& source, std::string& piece) {
    std::size_t m = source.find("\\margb");
    if (m == std::string::npos) return false;
    std::size_t at = m + 6;
    if (at < source.size() && source[at] == '-') ++at;
    while (at < source.size() && source[at] >= '0' && source[at] <= '9') ++at;
    // A delimiting blank belongs to the control word.
    if (at < source.size() && source[at] == ' ') ++at;
    while (at < source.size() && source[at] == '{' && IsInformationGroup(source, at)) {
        std::size_t len = GroupLength(source, at);
        if (len == 0) return false;
        at += len;
    }
    if (source.size() <= at || source.back() != '}') return false;
    piece = source.substr(at, source.size() - at - 1);
    return true;
}

std::string MakeTitlePiece(const std::string& fullTitleRtf, const std::string& pageName) {
    return PieceFromSource(WriteRtfSource(fullTitleRtf), pageName, false);
}

std::string MakeBodyPiece(const std::string& helpTextRtf, const std::string& pageName) {
    return PieceFromSource(WriteRtfSource(helpTextRtf), pageName, true);
}

std::string EscapeRtfText(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '{' || c == '}') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::string FootnoteLine(char letter, std::string_view value) {
    return FootnoteOpener(letter) + EscapeRtfText(value) + "}}\r\n";
}

std::string FootnoteLines(const TopicFields& p) {
    std::string s = FootnoteLine('#', std::to_string(p.helpId));
    if (!p.contextString.empty()) s += FootnoteLine('#', p.contextString);
    if (!p.title.empty()) s += FootnoteLine('$', p.title);
    if (!p.keys.empty()) s += FootnoteLine('K', p.keys);
    if (!p.browseId.empty()) s += FootnoteLine('+', p.browseName + " : " + p.browseId);
    if (!p.bFootnote.empty()) s += FootnoteLine('B', p.bFootnote);
    if (!p.aFootnote.empty()) s += FootnoteLine('A', p.aFootnote);
    if (!p.macroFootnote.empty()) s += FootnoteLine('!', p.macroFootnote);
    return s;
}

std::string ConvertAnchors(std::string text) {
    static const std::string kOpen = "\\{mtj ";
    static const std::string kClose = "\\}";
    std::size_t from = 0;
    for (;;) {
        std::size_t p = text.find(kOpen, from);
        if (p == std::string::npos) break;
        std::size_t e = text.find(kClose, p + kOpen.size());
        // A marker that never closes is left as it is.
        if (e == std::string::npos) break;
        std::string name = text.substr(p + kOpen.size(), e - p - kOpen.size());
        std::string replacement = name.size() < 100 ? "{#{\\footnote{#} " + name + "}}" : name;
        text.replace(p, e + kClose.size() - p, replacement);
        from = p + replacement.size();
    }
    return text;
}

std::string MakeTopicRecord(const TopicFields& page, bool withTitleRegion, const std::string& titlePiece,
                            const std::string& bodyPiece) {
    std::string text = withTitleRegion ? TitleRegion(titlePiece) + bodyPiece : bodyPiece;
    return FootnoteLines(page) + ConvertAnchors(std::move(text));
}

std::string MakePrintRecord(bool first, bool withTitleRegion, const std::string& titlePiece,
                            const std::string& bodyPiece) {
    std::string s = first ? std::string() : std::string(kPageBreak);
    if (withTitleRegion) s += TitleRegion(titlePiece);
    return s + bodyPiece;
}

std::string PreparePrintRecord(const std::string& topicPopup, const std::string& fullTitleRtf,
                               const std::string& helpTextRtf, bool first, const std::string& pageName) {
    LoadedText title = topicPopup == "T" ? LoadPageText(fullTitleRtf) : LoadedText{};
    LoadedText body = LoadPageText(helpTextRtf);
    if (body.empty) {
        richtext::TJDRTFTextIo blanks;
        blanks.LoadFromString("  ");
        body = LoadPageText(blanks.SaveToString());
    }
    return MakePrintRecord(first, !title.empty, title.empty ? "" : PieceFromSource(title.source, pageName, false),
                           PieceFromSource(body.source, pageName, true));
}

std::string MakeProjectHeader(const std::string& headerRtf, const char* registerFont, int* fontIndex) {
    richtext::TJDRTFTextIo engine;
    if (!headerRtf.empty()) engine.LoadFromString(headerRtf);
    if (registerFont) {
        int n = engine.AddFontName(registerFont);
        // A full font table leaves the default font to refer to.
        if (n >= richtext::kMaxFonts) n = 0;
        if (fontIndex) *fontIndex = n;
    }
    std::string s = WriteSource(engine);
    if (!s.empty()) s.pop_back();
    return s + "{\\ftnbj }";
}

std::string MakeContentsPage16(const std::vector<TopicFields>& pages, int fontIndex) {
    const std::string f = std::to_string(fontIndex);
    std::string s = "\r\n{\\plain \\b\\f" + f + "\\cf2\\fs40 Contents\\par}\r\n";
    for (const TopicFields& p : pages) {
        if (p.topicPopup != "T") continue;
        s += "{\\b\\f" + f + "\\cf2\\fs24 {\\uldb " + EscapeRtfText(p.title) + "}{\\v " + std::to_string(p.helpId) +
             "}}\\par\r\n";
    }
    return s + "\\page\r\n";
}

}  // namespace build
