// One conversion of a help file: output names, the help project file
// (options, configuration macros, windows, groups, pictures, baggage,
// context map, RTF list) and the topic loop. In a printable-document run
// the project goes nowhere and only the RTF document (and its pictures)
// remains. Output is made in the current folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

struct ConversionRequest {
    ConversionFlags flags = 0;
    std::string path;
};

// The names one conversion works with.
struct OutputNames {
    std::string helpPath;     // with ".HLP" added when the file name has no dot
    std::string projectFile;  // "<name>.HPJ"
    std::string baseName;     // RTF base name (6 characters with SplitRtf)
};
OutputNames MakeOutputNames(const std::string& path, ConversionFlags flags);

// Runs one conversion; fatal problems are thrown as HelpFileError. The
// warnings of the run are handed to `warnings` when given, progress calls go
// to `progress` and each warning to `onWarning` as it is found. A progress
// callback that throws ConversionAborted stops the run; the files written so
// far stay.
void ConvertHelpFile(const ConversionRequest& request, std::vector<HelpWarning>* warnings = nullptr,
                     std::function<void(int, int)> progress = {},
                     std::function<void(const HelpWarning&)> onWarning = {});
// The same on a file already read (request.path still names the output).
// The file is not changed: it can be converted again, with other options.
void ConvertReadHelpFile(const HelpFileData& file, const ConversionRequest& request,
                         std::vector<HelpWarning>* warnings = nullptr, std::function<void(int, int)> progress = {},
                         std::function<void(const HelpWarning&)> onWarning = {});

void WriteProjectOptions(Conversion& hf, RtfOutput& project);
void WriteProjectBitmaps(Conversion& hf, RtfOutput& project);
void WriteProjectBaggage(Conversion& hf, RtfOutput& project);
void WriteProjectMap(Conversion& hf, RtfOutput& project);
void RunCollectPass(Conversion& hf);
// Notes a file written into the output folder, so that no later file of the
// run (baggage) takes its name.
void NoteOutputName(Conversion& hf, const std::string& name);
// A value from the help file for a project line: CR, LF and the other
// control characters removed, so it cannot start a line of its own.
std::string ProjectValue(std::string_view text);
// The same for a value that starts its line (a macro, a window name): one
// that would read as a section head ("[") or a comment (";") is indented.
std::string ProjectLineStart(std::string_view text);
// One "[Windows]" line from a window record's data.
std::string WindowLine(const std::string& data);
std::string GroupLine(const std::string& data);

}  // namespace conv
