// Topic text into RTF: one paragraph or table record of |TOPIC at a time.
// LinkData1 holds the paragraph settings and a string of one-byte
// formatting commands, LinkData2 the text pieces between them. Every read
// of either is bounded by the counts the caller passes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

// One character, escaped for RTF; a line feed follows every 64th character
// of the conversion so the lines stay short.
void WriteEscapedText(Conversion& hf, unsigned char character, RtfOutput& output);
// Closes an open contents group ("}}").
void CloseCharGroup(Conversion& hf, RtfOutput& output);

// Writes one paragraph record: consumes commands up to 0xFF (or their end)
// and the text pieces in front of them. Returns the text bytes consumed.
std::uint32_t WriteParagraph(Conversion& hf, RtfOutput& output, const std::uint8_t*& text, std::uint32_t& textLeft,
                             const std::uint8_t*& commands, std::uint32_t& commandsLeft,
                             std::uint32_t characterPosition, bool nonScrolling, bool inTable);
void WriteTable(Conversion& hf, RtfOutput& output, const std::uint8_t* text, std::uint32_t textLength,
                const std::uint8_t* commands, std::uint32_t commandsLength, std::uint32_t characterPosition,
                bool nonScrolling);
// Reads a hotspot command's data (the command byte already taken) and
// returns its target; nullopt after a warning.
std::optional<std::string> WriteHotspotStart(Conversion& hf, RtfOutput& output, std::uint8_t command,
                                             const std::uint8_t*& commands, std::uint32_t& commandsLeft);
void WriteMciCommand(Conversion& hf, RtfOutput& output, const std::string& text, char align);

// The page-reference text of hotspots (ini key PageString, at most 30
// characters, default string 40).
std::string PageReferenceText();

}  // namespace conv
