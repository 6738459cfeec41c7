// The converter's shell without its windows: options from Rendlow.ini,
// the rule that ties the options to the output mode, the language, the
// command line and the terminal's progress and warning lines. The wizard
// and progress windows come with the GUI layer and use the same calls.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "converter/help_file.h"

namespace conv {

// The -v command line: fixed options for a printable document.
inline constexpr ConversionFlags kViewFlags = 0x0747;

struct OptionRow {
    const char* key;
    ConversionFlags bit;
    int defaultValue;
};
// The eleven options of Rendlow.ini in their table order.
const OptionRow* OptionRows(std::size_t* count);

ConversionFlags ApplyModeRule(ConversionFlags flags);
// The eleven keys (missing keys take their defaults), then the mode rule.
ConversionFlags LoadOptions();
void SaveOptions(ConversionFlags flags);
// `Language` of Rendlow.ini, else sLanguage of [Intl] in WIN.INI.
int LoadLanguageOffset();

struct CommandLine {
    enum class Mode { Wizard, Convert, View };
    Mode mode = Mode::Wizard;
    std::string path;
};
// The whole text after the program name.
CommandLine ParseCommandLine(std::string_view text);

// The program that opens a document "with the default action": the
// environment variable RENDLOW_VIEWER, else the key RtfViewer of
// Rendlow.ini, else xdg-open (the desktop's association).
std::string ResultViewer();
// Opens `path` with ResultViewer without waiting. Every "open with the
// default action" of the converter (the -v result, View in the windows) and
// the editor's error log go through here; SetDocumentOpener replaces it
// (tests), an empty function restores it. False when the viewer could not
// be started (the reason in plat::GetLastError) or, started, gave up at once
// with an error code, as xdg-open does when nothing opens the file; then
// `errorText` receives what it wrote to its error output.
bool OpenWithDefaultAction(const std::string& path, std::string* errorText = nullptr);
void SetDocumentOpener(std::function<void(const std::string&)> opener);

// Runs the program on its command-line text: converts, prints progress to
// `progress` and warnings and fatal errors to `errors`. Returns the exit
// code (2 done, 1 fatal).
int RunConverter(std::string_view commandLine, std::FILE* progress, std::FILE* errors);

}  // namespace conv
