// Pictures of a help file into ordinary files in the output folder: a BMP
// per bitmap image, a placeable WMF per metafile image, or the container
// copied unchanged as ".SHG" when its hotspots must survive or it cannot be
// read. Embedded windows are drawn by Windows extension libraries, which
// cannot run here: the paragraph writer always keeps their reference text.
#pragma once

#include <cstdint>
#include <string>

#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

// A name taken from a help file, reduced to a plain file name: no folders,
// no drive, no "..". Empty input gives "unnamed".
std::string SafeFileName(const std::string& name);

// Converts the picture container at [offset, offset + size) of the help
// file's stream; `baseName` may carry a folder (the TEMP folder). Returns
// the file name to list and refer to.
std::string ConvertPicture(HelpFile& hf, std::uint32_t offset, std::uint32_t size, const std::string& baseName);
// The same on another stream (pictures embedded in topic text).
std::string ConvertPictureStream(HelpFile& hf, HelpStream& stream, std::uint32_t offset, std::uint32_t size,
                                 const std::string& baseName);

std::uint32_t ReadPackedWord(HelpStream& stream);
std::uint32_t ReadPackedDword(HelpStream& stream);

// The placeable-metafile header (22 bytes) for a picture of width x height
// hundredths of a millimetre.
std::string PlaceableHeader(std::uint16_t width, std::uint16_t height);

// Always false: extension libraries named by a help file are never loaded.
bool ConvertEmbeddedWindow(HelpFile& hf, RtfOutput& output, const std::string& reference, char align);

}  // namespace conv
