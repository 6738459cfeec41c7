// The commands that hand work to programs outside the editor (the converter,
// the paint program, the word processor, the segmented-graphics editor, the
// keyword-file generator, the error log's viewer), the printable document and
// the help-file copy. They work on the current project row of the context;
// the dialogs come through ToolUi, so every command runs headless in tests.
// Programs are started by name through the process layer with argument
// vectors: paths with blanks arrive whole.
//
// The converter's printable-document run sets Rendlow.ini's options for that
// run and writes the defaults back after it, so the converter started alone
// finds them again; any exit code but 2 is a failure with a warning.
#pragma once

#include "project/progress.h"
#include "project/editor_context.h"

#include <functional>
#include <memory>
#include <string>

namespace editor {

// The choices of the dialog "Generate User RTF Document" (Tavrin.ini [RTF]).
struct RtfDocumentOptions {
    bool createPageBreaks = false;
    bool generateIndex = false;
    bool createToc = false;
    bool removeUnderlines = true;
    bool addPageLinks = false;
    bool retainWinHelpStyle = false;
    bool graphicsIn = true;  // "Include within a Single File"
};
RtfDocumentOptions ReadRtfDocumentOptions(const std::string& iniPath);
void WriteRtfDocumentOptions(const std::string& iniPath, const RtfDocumentOptions& options);

// What the dialog "Copy Help File to" shows and answers.
struct CopyToState {
    std::string heading;        // "Copy <DosName>.HLP to"
    std::string path;           // the path edit
    bool overwriteVisible = false;
    bool overwrite = false;     // " Overwrite?"
    std::string proposedFolder, proposedName;  // the save dialog's start
};
// The dialog's OK: closes when the path is empty, names no file, or
// " Overwrite?" is checked; else asks, and Yes checks the box and closes.
bool CopyToAccepted(const std::string& path, bool& overwrite);

struct ToolUi {
    std::function<bool(RtfDocumentOptions&)> showDocDialog;   // TfrmDoc; none: OK as read
    std::function<bool(CopyToState&)> showCopyToDialog;       // TCopyToForm; none: OK as given
    std::function<bool(std::string& path)> chooseKwgen;        // dlgKwgen; none: cancel
    std::function<std::unique_ptr<build::IProgress>()> createProgress;  // none: NullProgress
    std::function<void(const std::string&)> setStatusText;    // the main window's status panel
};

enum class ToolResult {
    Refused,     // a check failed; its warning was shown
    Cancelled,   // a dialog was cancelled or the run stopped on request
    NotStarted,  // the program could not be started; a warning names it
    Started,     // started without waiting
    Done,        // finished (the converter with exit code 2, a copy, a written document)
    Failed,      // ran but failed; a warning was shown
};

// The project folder of the current project row by the project-folder rule,
// an empty folder giving the program directory.
std::string CurrentProjectFolderOrProgramDir(EditorContext& ctx);

// Starts a program without waiting; a program that cannot be started gives
// the warning "Could not start <program>." and false.
bool StartOutsideProgram(const std::vector<std::string>& argv);

ToolResult ConvertHelpFileToRtf(EditorContext& ctx, const ToolUi& ui);
// The printable document without the converter: the project RTF head, the
// pages' print records and the closing brace, written to a temporary file
// that takes the name <DosName>.rtf only when complete.
ToolResult WritePrintableDocument(EditorContext& ctx, const ToolUi& ui);
ToolResult CopyHelpFileTo(EditorContext& ctx, const ToolUi& ui);
ToolResult StartPaintPackage(EditorContext& ctx);
ToolResult StartWordProcessor(EditorContext& ctx);
ToolResult StartShed(EditorContext& ctx);
ToolResult GenerateKeywordFile(EditorContext& ctx, const ToolUi& ui);
// "View Error Log": the compiler's log (<DosName>.ERR, or <16bitName>.ERR for
// a 16-bit project) in the viewer the converter opens its documents with
// (RENDLOW_VIEWER, the RtfViewer key of Rendlow.ini, else xdg-open). A log
// that is missing or a viewer that cannot start gives a box naming the log
// and the reason.
ToolResult ShowErrorLog(EditorContext& ctx);

}  // namespace editor
