// Font and colour tables of stored RTF as text: reading the two tables,
// putting a header's tables into a page field and renumbering the page's
// font references to the header's numbers, whole control words only and in
// one pass. Text that lacks either table, or whose table holds an entry
// that cannot be read, is never changed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace editor {

struct RtfFontEntry {
    int number = 0;
    std::string name;
};

struct RtfTables {
    std::size_t fontGroupBegin = 0, fontGroupEnd = 0;      // "{\fonttbl" .. its "}" inclusive
    std::size_t colourGroupBegin = 0, colourGroupEnd = 0;  // "{\colortbl" .. its "}" inclusive
    std::vector<RtfFontEntry> fonts;
};

// Reads the font table and the colour table that follows it. False when
// either is missing or an entry is not of the shape
// {\f<n><control words> <name>;}.
bool ParseRtfTables(const std::string& rtf, RtfTables& out);

// The font names of a text's font table in table order; empty when it
// cannot be read.
std::vector<std::string> FontTableNames(const std::string& rtf);

// Rewrites every "\f<n>" control word from `from` on whose number the map
// knows (`map(n)` >= 0) in one pass; "\fs", "\fi" and other words, escaped
// backslashes and binary data are left alone.
std::string RemapFontReferences(const std::string& rtf, std::size_t from, const std::function<int(int)>& map);

// One field synchronised with a header: the header's font and colour tables
// replace the page's, and every font reference of the page is renumbered
// to the header's number of the same font name (case-insensitive), font 0
// when the header lacks it. False (`out` = `page`) when the page is empty
// or either text's tables cannot be read.
bool SynchroniseFieldFonts(const std::string& page, const std::string& header, std::string& out);

}  // namespace editor
