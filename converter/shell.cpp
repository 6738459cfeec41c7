#include "converter/shell.h"

#include <cstdlib>
#include <new>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/rtf_head.h"
#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"

namespace conv {

namespace {

// EwSupport is off by default: embedded windows are drawn by Windows
// libraries that cannot be loaded here, so their tags are what a conversion
// writes, and the wizard offers that first.
const OptionRow kRows[] = {
    {"ForPrint", kForPrint, 1},   {"NoShg", kNoShg, 0},         {"SplitRtf", kSplitRtf, 0},
    {"PageBreak", kPageBreak, 0}, {"EwSupport", kEwSupport, 0}, {"Jumps", kJumps, 0},
    {"PageLinks", kPageLinks, 0}, {"Index", kIndex, 1},         {"Toc", kToc, 1},
    {"BmpInRtf", kBmpInRtf, 1},   {"Localize", kLocalize, 0},
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (plat::CharUpper(static_cast<unsigned char>(text[i])) != plat::CharUpper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Terminal text is UTF-8; the strings are Windows-1252.
void PrintLine(std::FILE* f, const std::string& ansi) {
    if (!f) return;
    std::fprintf(f, "%s\n", plat::AnsiToUtf8(ansi).c_str());
}

// A warning repeated thousands of times is one line with its count, as in
// the progress window.
void PrintWarnings(std::FILE* f, const std::vector<HelpWarning>& warnings) {
    if (!f) return;
    WarningTally tally;
    for (const HelpWarning& w : warnings) tally.Add(FormatWarning(w));
    for (const WarningTally::Row& row : tally.rows()) PrintLine(f, TalliedLine(row));
}

}  // namespace

const OptionRow* OptionRows(std::size_t* count) {
    *count = sizeof kRows / sizeof kRows[0];
    return kRows;
}

ConversionFlags ApplyModeRule(ConversionFlags f) {
    if (f & kForPrint) return (f | 0x0005) & ~static_cast<ConversionFlags>(0x4000);
    return (f | 0x0038) & ~static_cast<ConversionFlags>(0x0742);
}

ConversionFlags LoadOptions() {
    ConversionFlags f = 0;
    for (const OptionRow& r : kRows)
        if (plat::GetPrivateProfileInt(kIniSection, r.key, r.defaultValue, kIniFile) != 0) f |= r.bit;
    return ApplyModeRule(f);
}

void SaveOptions(ConversionFlags flags) {
    for (const OptionRow& r : kRows)
        plat::WritePrivateProfileString(kIniSection, r.key, (flags & r.bit) ? "1" : "0", kIniFile);
}

int LoadLanguageOffset() {
    std::string lang = plat::GetPrivateProfileString(kIniSection, "Language", "", kIniFile);
    if (lang.size() > 8) lang.resize(8);
    if (lang.empty()) lang = plat::GetProfileString("Intl", "sLanguage", "ENG");
    return LanguageOffsetFor(lang);
}

CommandLine ParseCommandLine(std::string_view text) {
    CommandLine c;
    if (text.empty()) return c;
    if (StartsWithNoCase(text, "-v ")) {
        c.mode = CommandLine::Mode::View;
        c.path = std::string(text.substr(3));
    } else {
        c.mode = CommandLine::Mode::Convert;
        c.path = std::string(text);
    }
    return c;
}

std::string ResultViewer() {
    if (const char* env = std::getenv("RENDLOW_VIEWER"); env && *env) return env;
    std::string viewer = plat::GetPrivateProfileString(kIniSection, "RtfViewer", "", kIniFile);
    return viewer.empty() ? "xdg-open" : viewer;
}

namespace {
std::function<void(const std::string&)>& DocumentOpener() {
    static std::function<void(const std::string&)> opener;
    return opener;
}
}  // namespace

void SetDocumentOpener(std::function<void(const std::string&)> opener) { DocumentOpener() = std::move(opener); }

bool OpenWithDefaultAction(const std::string& path, std::string* errorText) {
    if (errorText) errorText->clear();
    if (DocumentOpener()) {
        DocumentOpener()(path);
        return true;
    }
    // A launcher that cannot open the file ends at once; watching it a
    // moment lets the user be told instead of a terminal nobody reads.
    constexpr int kViewerWatchMs = 1500;
    return plat::StartProcessWatched({ResultViewer(), path}, kViewerWatchMs, errorText);
}

int RunConverter(std::string_view commandLine, std::FILE* progress, std::FILE* errors) {
    SetLanguageOffset(LoadLanguageOffset());
    const CommandLine cmd = ParseCommandLine(commandLine);
    if (cmd.mode == CommandLine::Mode::Wizard) {
        PrintLine(errors, "Usage: rendlow32 <help file> | -v <help file>");
        return 1;
    }
    ConversionRequest request;
    request.path = cmd.path;
    request.flags = (cmd.mode == CommandLine::Mode::View ? kViewFlags : LoadOptions()) | kShowProgress;
    std::vector<HelpWarning> warnings;
    int lastPhase = 0;
    auto onProgress = [&](int position, int phase) {
        if (!progress) return;
        if (phase != 0 && phase != lastPhase) {
            lastPhase = phase;
            PrintLine(progress, LoadLocalString(phase));
        }
        (void)position;
    };
    auto fatal = [&](const std::string& message) {
        PrintWarnings(errors, warnings);
        PrintLine(errors, LoadLocalString(62) + ": " + message);
        return 1;
    };
    try {
        ConvertHelpFile(request, &warnings, onProgress);
    } catch (const HelpFileError& e) {
        return fatal(e.what());
    } catch (const std::bad_alloc&) {
        // Memory refused anywhere in the conversion is the fatal message
        // of the checked allocator, not an abort.
        return fatal(kMsgNoMemory);
    }
    PrintWarnings(errors, warnings);
    if (cmd.mode == CommandLine::Mode::View) {
        const OutputNames names = MakeOutputNames(request.path, request.flags);
        OpenWithDefaultAction(names.baseName + ".RTF");
    }
    return 2;
}

}  // namespace conv
