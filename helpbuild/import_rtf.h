// Turning a topic RTF (the converter's, or the one our own build writes)
// into the pages of a new project: splitting at page breaks, taking each
// page's footnotes into page fields, cutting off the non-scrolling title
// region, giving every page a help id and converting the converter's jump
// and colour markup. All work is on the RTF text itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "helpbuild/import_hpj.h"
#include "richtext/io/rtf_lexer.h"

namespace build {

// One page as the import makes it; the fields of the page table.
struct ImportedPage {
    std::string title;          // "$"; empty when the page has none
    std::string fullTitle;      // RTF of the title region; empty when none
    std::string helpText;       // RTF of the body
    std::string keys;           // first and second "K", joined by ";"
    std::string browseName;
    std::optional<std::int32_t> browseId;
    std::string macroFootnote;  // "!"
    std::string bFootnote;      // "B"
    std::string aFootnote;      // "A"
    std::string contextString;  // empty when the page has none
    std::optional<std::int32_t> helpId;
    std::string topicPopup = "P";  // "T" or "P"
    // What of the page was not taken as it came (a footnote left in the text
    // or cut), one sentence each, for the import's log.
    std::vector<std::string> notes;
    // The page's RTF groups did not match (set by ImportRtfTopics): footnote
    // text may show in its body.
    bool damagedGroups = false;
};

// --- RTF tokens: the text engine's lexer --------------------------------------
using richtext::NextRtfToken;
using richtext::RtfToken;
// After the group opened at `open` ("{"); npos when it is never closed.
inline std::size_t GroupEnd(std::string_view rtf, std::size_t open) { return richtext::RtfGroupEnd(rtf, open); }

// --- the document head -----------------------------------------------------------
// Where the text after the head groups (font and colour tables, style sheet,
// information ...) begins; the positions of "{\fonttbl" and "{\colortbl"
// among them (npos when missing).
struct RtfHead {
    std::size_t fontTable = std::string_view::npos;
    std::size_t colourTable = std::string_view::npos;
    std::size_t colourTableEnd = std::string_view::npos;
    std::size_t bodyStart = 0;
};
RtfHead ScanRtfHead(std::string_view rtf);
// Positions of the "\page" control words from `from` on (not "\pagebb",
// not escaped text such as "C:\\pager.exe").
std::vector<std::size_t> FindPageBreaks(std::string_view rtf, std::size_t from);

// The sixteen fixed colours every imported page refers to.
const std::vector<std::string>& FixedColourEntries();
// "{\colortbl" + the fixed entries + "}", one a line.
std::string FixedColourTable();
// For each entry of the colour table group starting at `colourTable`, the
// fixed index it maps to; a colour not among the fixed ones (white too) is 0.
std::vector<int> MapImportedColours(std::string_view rtf, std::size_t colourTable);

// --- footnotes ------------------------------------------------------------------
struct RtfFootnote {
    char letter = 0;
    std::size_t cutStart = 0;  // what to cut to take the footnote out of the page
    std::size_t cutEnd = 0;
    std::string value;         // plain text, one line
};
// Every footnote of a page ("X{\footnote" or "X{\*\footnote") that can be
// delimited, in text order.
std::vector<RtfFootnote> FindFootnotes(std::string_view page);
// The footnote text after its reference as plain text: RTF made plain by the
// RTF reader, every line break dropped, leading blanks trimmed.
std::string FootnoteValue(std::string_view raw);

// Page fields from the footnote texts.
void ApplyBrowseFootnote(ImportedPage& page, std::string_view value);

// Removes every occurrence of the control words named (with their number and
// delimiting blank).
std::string RemoveControlWords(std::string_view rtf, const std::vector<std::string_view>& names);
// Drops closing braces without an opening one and closes open groups.
std::string BalanceBraces(std::string_view rtf);

// --- splitting --------------------------------------------------------------------
// Called before each page: page number (from 0), page count, percent for the
// meter; false cancels the import.
using PageProgress = std::function<bool(std::size_t page, std::size_t pages, int percent)>;

struct SplitResult {
    enum class Status { Ok, NoFontTable, NoColourTable, Cancelled };
    Status status = Status::Ok;
    std::string header;             // text before the colour table + the fixed table
    std::vector<int> colourMap;     // imported colour n -> fixed index
    std::vector<ImportedPage> pages;
};
SplitResult ImportRtfTopics(std::string_view rtf, const PageProgress& progress = {});
// The longest text each page field holds (the page table's field sizes). A
// footnote that does not fit its field stays in the page text, where the
// build writes it again, rather than losing its end.
struct PageFieldSizes {
    std::size_t title = 255, keys = 255, browseName = 15, macro = 255, bFootnote = 80, aFootnote = 80,
                contextString = 255;
};
// One page's text into a page (footnotes, title region, body).
ImportedPage ImportOnePage(std::string_view pageText, const std::string& header, const PageFieldSizes& sizes = {});

// --- help ids, topics and popups --------------------------------------------------
// Map ids go to pages of that context string without an id (a context string
// mapped twice keeps the first id; an id already taken is not given again);
// the others count on from the largest id in steps of 50; a page with a
// title, a title region or a browse number is a topic; the page of
// `contentsContext` is a topic, and gets the lowest id unless the map gave
// it its id and the lowest page is a topic (a build needs a topic first).
void AssignImportedHelpIds(std::vector<ImportedPage>& pages, const std::vector<ContextMapEntry>& map,
                           std::string_view contentsContext);

// --- jumps and colours ------------------------------------------------------------
// Colour numbers after the document's own colour table go through `colourMap`
// (numbers beyond it become 0); the converter's topic jumps ("\strike" ...
// "\strike0\ul0") become double underlines, its popups keep their underline.
std::string ConvertImportedJumps(std::string_view rtf, const std::vector<int>& colourMap);

}  // namespace build
