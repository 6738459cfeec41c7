// The head every RTF file of the converter starts with (header, font and
// colour tables, paper size, style sheet, document information and page
// header), the per-font command strings of the paragraph writer, and
// pictures in the RTF: embedded, as an import field, or as a reference.
#pragma once

#include <cstdint>
#include <string>

#include "converter/font_table.h"
#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

// The ini file shared with the help-authoring program.
inline constexpr const char* kIniFile = "Rendlow.ini";
inline constexpr const char* kIniSection = "Options";

void WriteRtfHeader(Conversion& hf, RtfOutput& project, RtfOutput& rtf, const std::string& rtfFileName);
void CloseRtfFile(Conversion& hf, RtfOutput& rtf);
// With a null output only the font commands are made (once per file).
void WriteFontTable(Conversion& hf, RtfOutput* output);
// The command string of descriptor `index`.
std::string FontCommand(const FontDescriptor& d, std::size_t index, bool forPrint);
void WriteRtfPicture(Conversion& hf, RtfOutput& output, const std::string& fileName, char align, bool embedded);
void WriteHexLines(RtfOutput& output, const std::uint8_t* bytes, std::size_t n);

}  // namespace conv
