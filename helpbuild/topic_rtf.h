// The project RTF file the help compiler reads: the project's header, the
// optional 16-bit contents page, one record per page and a closing "}".
//
// Everything here is string work over the text engine's RTF writer: a page's
// memo (an RTF document) is written out again by the engine with picture
// references on, its body alone (no document head, no closing brace): the
// page's "piece". Records keep the writer's bytes (paragraph ends LF CR);
// lines composed here end with CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace build {

// The fields of one page that its record is made of (as text).
struct TopicFields {
    std::string topicPopup;     // "T" or "P"
    std::int32_t helpId = 0;
    std::string contextString;
    std::string title;
    std::string keys;
    std::string browseName;
    std::string browseId;       // empty when the field is empty
    std::string bFootnote;
    std::string aFootnote;
    std::string macroFootnote;
};

// A page memo loaded into the text engine once: whether a page editor
// showing it would be empty, and the body the engine writes of it.
struct LoadedText {
    bool empty = true;
    std::string body;
};
LoadedText LoadPageText(const std::string& memoRtf);

// The title or body piece of a loaded text: the body piece's first line "{}"
// becomes "{ }".
std::string PieceOf(const LoadedText& text, bool body);
std::string MakeTitlePiece(const std::string& fullTitleRtf);
std::string MakeBodyPiece(const std::string& helpTextRtf);

// One footnote line: opener, the whole value escaped (plat::RtfEscapeText),
// "}}" and CR LF.
std::string FootnoteLine(char letter, std::string_view value);
// The footnote lines of a page in the order the help compiler expects.
std::string FootnoteLines(const TopicFields& page);

// "\{mtj name\}" becomes the anchor footnote "{#{\footnote{#} name}}" when the
// name is shorter than 100 characters; a longer name stays as plain text.
std::string ConvertAnchors(std::string text);

// The stored record of a page: footnotes, the title region (when a title
// piece is given; topics only, the caller decides), then the body piece, with
// anchors converted. It carries no page break: the driver writes "\page" and
// CR LF before every record but the first of a build.
std::string MakeTopicRecord(const TopicFields& page, bool withTitleRegion, const std::string& titlePiece,
                            const std::string& bodyPiece);

// The printable document's record: "\page" CR LF unless first, the title
// region, the body piece; no footnotes, no anchor conversion.
std::string MakePrintRecord(bool first, bool withTitleRegion, const std::string& titlePiece,
                            const std::string& bodyPiece);

// The printable document's record of one page from its memos: the title
// region for a titled topic, the body (two blanks when empty).
std::string PreparePrintRecord(const std::string& topicPopup, const std::string& fullTitleRtf,
                               const std::string& helpTextRtf, bool first);

// The file's head: the header document written by the engine with its last
// character (the closing brace) replaced by "{\ftnbj }". When `registerFont`
// is given it is added to the header's font table first and its index is
// returned through `fontIndex`, so the contents page refers to a font the
// file really declares.
std::string MakeProjectHeader(const std::string& headerRtf, const char* registerFont = nullptr,
                              int* fontIndex = nullptr);

// The 16-bit contents page: a heading and one jump per topic, then "\page".
std::string MakeContentsPage16(const std::vector<TopicFields>& pages, int fontIndex);

// "\page" and CR LF, written before every record but the first.
inline constexpr std::string_view kPageBreak = "\\page\r\n";
inline constexpr std::string_view kCloseDocument = "}";

}  // namespace build
