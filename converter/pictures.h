// Pictures of a help file into ordinary files in the output folder: a BMP
// per bitmap image, a placeable WMF per metafile image, or the container
// copied unchanged as ".SHG" when its hotspots must survive or it cannot be
// read. Embedded windows are drawn by Windows extension libraries, which
// cannot run here: the paragraph writer always keeps their reference text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

// A name taken from a help file, reduced to a plain file name: no folders,
// no drive, no "..", no leading "[" or ";" (a project line). Empty input
// gives "unnamed".
std::string SafeFileName(const std::string& name);

// Converts the picture container at [offset, offset + size) of the help
// file's stream; `baseName` may carry a folder (the private picture
// folder). Returns the file name to list and refer to. Pictures are made
// from the bytes their data unpacks to, within the bounds of help_file.h.
std::string ConvertPicture(Conversion& hf, std::uint32_t offset, std::uint32_t size, const std::string& baseName);
// The same on another stream (pictures embedded in topic text).
std::string ConvertPictureStream(Conversion& hf, HelpStream& stream, std::uint32_t offset, std::uint32_t size,
                                 const std::string& baseName);

// The private folder for the pictures of a document that embeds them: made
// on first use inside TEMP (else the system's temporary folder) with
// mkdtemp, so nobody else can have put a file or a link there. Empty when
// it cannot be made (warning 31).
const std::string& PictureFolder(Conversion& hf);
bool InPictureFolder(const Conversion& hf, const std::string& name);

std::uint32_t ReadPackedWord(HelpStream& stream);
std::uint32_t ReadPackedDword(HelpStream& stream);

// The placeable-metafile header (22 bytes) for a picture of width x height
// hundredths of a millimetre.
std::string PlaceableHeader(std::uint16_t width, std::uint16_t height);

// A picture file of the help compiler (.SHG or .MRB), read for use outside
// a help file (an HTML page's image and image map): the first bitmap image
// as a BMP file's bytes, else the first metafile as a placeable WMF's, and
// the hotspots of the image chosen. A hotspot record's bytes after its kind
// are one byte, then left, top, width and height (u16 each) and a u32 not
// used.
struct ShgHotspot {
    std::uint16_t kind = 0;
    int left = 0, top = 0, width = 0, height = 0;
    std::string name;
    std::string target;  // a context name, or the macro of a macro hotspot
    bool IsMacro() const { return kind == 0x00C8 || kind == 0x04CC; }
};
struct ShgPicture {
    std::string bitmap;    // a BMP file; empty when the container has no usable bitmap
    std::string metafile;  // a placeable WMF, when it has no bitmap
    std::vector<ShgHotspot> hotspots;
};
// False (and `picture` empty) when the bytes are not a picture container.
// The bytes are untrusted: every count, offset and size is checked.
bool ReadShgPicture(const std::string& bytes, ShgPicture& picture);

// Always false: extension libraries named by a help file are never loaded.
bool ConvertEmbeddedWindow(Conversion& hf, RtfOutput& output, const std::string& reference, char align);

}  // namespace conv
