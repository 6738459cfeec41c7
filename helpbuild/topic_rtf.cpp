#include "helpbuild/topic_rtf.h"

#include <sstream>

#include "platform/core/rtf_escape.h"
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

std::string TitleRegion(const std::string& titlePiece) {
    return "{\\pard\\plain \\keepn " + titlePiece + "\\par \\pard }";
}

std::string WriteSource(richtext::TJDRTFTextIo& engine, bool bodyOnly) {
    richtext::TJDRTFWriter writer(&engine);
    writer.pictureReferences = true;
    writer.bodyOnly = bodyOnly;
    std::ostringstream out;
    engine.SaveWithWriter(writer, out);
    return out.str();
}

}  // namespace

LoadedText LoadPageText(const std::string& memoRtf) {
    richtext::TJDRTFTextIo engine;
    if (!memoRtf.empty()) engine.LoadFromString(memoRtf);
    return {engine.IsEmpty(), WriteSource(engine, true)};
}

std::string PieceOf(const LoadedText& text, bool body) {
    std::string piece = text.body;
    // The help compiler takes an empty group at the start for nothing at all.
    if (body && piece.compare(0, 2, "{}") == 0 && (piece.size() == 2 || piece[2] == '\r' || piece[2] == '\n'))
        piece.replace(0, 2, "{ }");
    return piece;
}

std::string MakeTitlePiece(const std::string& fullTitleRtf) { return PieceOf(LoadPageText(fullTitleRtf), false); }

std::string MakeBodyPiece(const std::string& helpTextRtf) { return PieceOf(LoadPageText(helpTextRtf), true); }

std::string FootnoteLine(char letter, std::string_view value) {
    return FootnoteOpener(letter) + plat::RtfEscapeText(value) + "}}\r\n";
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
                               const std::string& helpTextRtf, bool first) {
    LoadedText title = topicPopup == "T" ? LoadPageText(fullTitleRtf) : LoadedText{};
    LoadedText body = LoadPageText(helpTextRtf);
    if (body.empty) {
        richtext::TJDRTFTextIo blanks;
        blanks.LoadFromString("  ");
        body = LoadPageText(blanks.SaveToString());
    }
    return MakePrintRecord(first, !title.empty, title.empty ? "" : PieceOf(title, false), PieceOf(body, true));
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
    std::string s = WriteSource(engine, false);
    if (!s.empty()) s.pop_back();
    return s + "{\\ftnbj }";
}

std::string MakeContentsPage16(const std::vector<TopicFields>& pages, int fontIndex) {
    const std::string f = std::to_string(fontIndex);
    std::string s = "\r\n{\\plain \\b\\f" + f + "\\cf2\\fs40 Contents\\par}\r\n";
    for (const TopicFields& p : pages) {
        if (p.topicPopup != "T") continue;
        s += "{\\b\\f" + f + "\\cf2\\fs24 {\\uldb " + plat::RtfEscapeText(p.title) + "}{\\v " + std::to_string(p.helpId) +
             "}}\\par\r\n";
    }
    return s + "\\page\r\n";
}

}  // namespace build
