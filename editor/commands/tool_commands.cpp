#include "editor/commands/tool_commands.h"

#include "helpbuild/build_driver.h"
#include "helpbuild/tables/table_build_project.h"
#include "project/helpers.h"
#include "project/settings.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/safe_file.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/core/last_error.h"
#include "converter/shell.h"

#include <cmath>
#include <exception>

namespace editor {

namespace {

bool HasProject(EditorContext& ctx) { return ctx.mainTable->Active() && !ctx.mainTable->IsEmpty(); }

std::string PathsSetting(EditorContext& ctx, const char* key) {
    plat::TIniFile ini(ProgramIniPath(ctx.ProgramDir));
    return ini.ReadString("Paths", key, "");
}

// The program a configured name stands for; the name itself when the
// process layer cannot find it (the start then fails and is told).
std::string ProgramPath(const std::string& name) {
    std::string found = plat::FindProgram(name);
    return found.empty() ? name : found;
}

void ProcessMessages(EditorContext& ctx) {
    if (ctx.ProcessMessages) ctx.ProcessMessages();
}

}  // namespace

RtfDocumentOptions ReadRtfDocumentOptions(const std::string& iniPath) {
    plat::TIniFile ini(iniPath);
    RtfDocumentOptions o;
    o.createPageBreaks = ini.ReadBool("RTF", "CreatePageBreaks", false);
    o.generateIndex = ini.ReadBool("RTF", "GenerateIndex", false);
    o.createToc = ini.ReadBool("RTF", "CreateTOC", false);
    o.removeUnderlines = ini.ReadBool("RTF", "RemoveUnderlines", true);
    o.addPageLinks = !o.removeUnderlines && ini.ReadBool("RTF", "AddPageLinks", false);
    o.retainWinHelpStyle = ini.ReadBool("RTF", "RetainWinHelpStyle", false);
    o.graphicsIn = ini.ReadBool("RTF", "GraphicsIn", true);
    return o;
}

void WriteRtfDocumentOptions(const std::string& iniPath, const RtfDocumentOptions& o) {
    plat::TIniFile ini(iniPath);
    ini.WriteBool("RTF", "CreatePageBreaks", o.createPageBreaks);
    ini.WriteBool("RTF", "GenerateIndex", o.generateIndex);
    ini.WriteBool("RTF", "CreateTOC", o.createToc);
    ini.WriteBool("RTF", "GraphicsIn", o.graphicsIn);
    ini.WriteBool("RTF", "AddPageLinks", o.addPageLinks);
    ini.WriteBool("RTF", "RemoveUnderlines", o.removeUnderlines);
    ini.WriteBool("RTF", "RetainWinHelpStyle", o.retainWinHelpStyle);
}

bool CopyToAccepted(const std::string& path, bool& overwrite) {
    if (path.empty() || !plat::FileExists(path) || overwrite) return true;
    const int answer = gui::MessageDlg("Overwrite existing file? ", gui::mtConfirmation,
                                       gui::Buttons({gui::mbYes, gui::mbCancel, gui::mbAbort}));
    if (answer != gui::mrYes) return false;
    overwrite = true;
    return true;
}

std::string CurrentProjectFolderOrProgramDir(EditorContext& ctx) {
    return ProjectFolderOrProgramDir(ctx.mainTable->FieldStr("ProjectDir"), ctx.ProgramDir);
}

bool StartOutsideProgram(const std::vector<std::string>& argv) {
    if (!argv.empty() && !argv.front().empty() && plat::StartProcess(argv)) return true;
    ShowWarning("Warning", "Could not start " + (argv.empty() ? std::string() : argv.front()) + ".");
    return false;
}

ToolResult ConvertHelpFileToRtf(EditorContext& ctx, const ToolUi& ui) {
    if (!HasProject(ctx)) return ToolResult::Refused;
    if (!ctx.ConverterPresent) return WritePrintableDocument(ctx, ui);
    const std::string folder = CurrentProjectFolderOrProgramDir(ctx);
    const std::string dosName = ctx.mainTable->FieldStr("DosName");
    const std::string hlp = plat::JoinPath(folder, dosName + ".HLP");
    if (!plat::FileExists(hlp)) {
        ShowWarning("Warning", "Please compile your Help project first. There is no help file to process.");
        return ToolResult::Refused;
    }
    const std::string programIni = ProgramIniPath(ctx.ProgramDir);
    RtfDocumentOptions options = ReadRtfDocumentOptions(programIni);
    if (ui.showDocDialog && !ui.showDocDialog(options)) return ToolResult::Cancelled;

    {
        plat::TIniFile ini(ConverterIniPath());
        ini.WriteBool("Options", "ForPrint", true);
        ini.WriteBool("Options", "PageBreak", options.createPageBreaks);
        // The converter keeps the hot-spot look with 1: removing the
        // underlines is the opposite.
        ini.WriteBool("Options", "Jumps", !options.removeUnderlines);
        ini.WriteBool("Options", "PageLinks", options.addPageLinks);
        ini.WriteBool("Options", "Index", options.generateIndex);
        ini.WriteBool("Options", "Toc", options.createToc);
        ini.WriteBool("Options", "BmpInRtf", options.graphicsIn);
    }
    const std::string converter = FindConverterProgram();
    // The converter writes into its current folder: the project folder.
    const int code = converter.empty()
                         ? -1
                         : plat::RunAndWait({converter, plat::NativePath(hlp)}, plat::NativePath(folder));
    ProcessMessages(ctx);
    // A converter the user starts alone must find the defaults again.
    WriteConverterIni();
    WriteRtfDocumentOptions(programIni, options);
    if (code == -1) {
        ShowWarning("Warning", "Could not start " + (converter.empty() ? std::string("Rendlow32.exe") : converter) + ".");
        return ToolResult::NotStarted;
    }
    if (code != 2) {
        ShowWarning("Warning", "The converter could not make the document from " + dosName + ".HLP (exit code " +
                                   std::to_string(code) + ").");
        return ToolResult::Failed;
    }
    if (gui::MessageBox("Do you wish to load this Rtf Document in your favorite Word Processor now?",
                        "Load Rtf Document?", gui::MB_YESNO | gui::MB_ICONINFORMATION) == gui::IDYES)
        StartWordProcessor(ctx);
    return ToolResult::Done;
}

ToolResult WritePrintableDocument(EditorContext& ctx, const ToolUi& ui) {
    build::TableBuildProject project(ctx);
    build::BuildEnvironment env = build::MakeBuildEnvironment(ctx);
    if (!build::CheckProjectBeforeCompile(project, env) || !build::CheckProjectDirectories(project, env) ||
        !build::CheckFirstPageIsTopic(project, env))
        return ToolResult::Refused;
    const build::ProjectFields fields = project.Project();
    const std::string target =
        plat::JoinPath(CurrentProjectFolderOrProgramDir(ctx), fields.dosName + ".rtf");

    std::unique_ptr<build::IProgress> progress =
        ui.createProgress ? ui.createProgress() : std::make_unique<build::NullProgress>(&ctx.CancelRequested);
    progress->SetStatus("Parsing Topics...");
    progress->SetPercent(0);
    progress->Show();
    progress->SetPercent(3);

    plat::SafeFileWriter out(target);
    auto failed = [&](const std::string& why) {
        out.Discard();
        ShowWarning("Warning", "The document " + target + " could not be written. " + why);
        return ToolResult::Failed;
    };
    if (!out.IsOpen()) return failed("");
    auto write = [&](const std::string& s) { return out.Write(s); };
    try {
        std::string head = build::MakeProjectHeader(project.HeaderRtf());
        if (!write(head)) return failed("");
        project.SelectBuildPages(true);
        const int pages = project.PageCount();
        int done = 0;
        for (bool more = project.FirstPage(); more; more = project.NextPage()) {
            progress->ProcessMessages();
            ProcessMessages(ctx);
            const int percent = pages > 0 ? static_cast<int>(std::lround(100.0 * done / pages)) - 3 : 0;
            progress->SetPercent(percent < 0 ? 0 : percent);
            if (progress->CancelRequested()) {
                progress->ClearCancel();
                out.Discard();
                return ToolResult::Cancelled;
            }
            const build::PageRow page = project.CurrentPage(true);
            if (!write(build::PreparePrintRecord(page.topicPopup, page.fullTitle, page.helpText, done == 0)))
                return failed("");
            ++done;
        }
        if (!write(std::string(build::kCloseDocument))) return failed("");
    } catch (const std::exception& e) {
        return failed(e.what());
    }
    if (!out.Commit()) return failed("");
    progress->SetPercent(100);
    if (ui.setStatusText) ui.setStatusText("Rtf file generated.");
    return ToolResult::Done;
}

ToolResult CopyHelpFileTo(EditorContext& ctx, const ToolUi& ui) {
    if (!HasProject(ctx)) return ToolResult::Refused;
    const std::string folder = CurrentProjectFolderOrProgramDir(ctx);
    if (!plat::DirectoryExists(folder)) {
        ShowWarning("Warning",
                    "Your Project Directory no longer exists. Please press F6 and amend it in Compiler Options.");
        return ToolResult::Refused;
    }
    db::TDataSet* main = ctx.mainTable;
    const std::string dosName = main->FieldStr("DosName");
    const std::string hlp = plat::JoinPath(folder, dosName + ".HLP");
    if (!plat::FileExists(hlp)) {
        ShowWarning("Warning", "Please compile your Help project first. There is no help file to copy.");
        return ToolResult::Refused;
    }
    try {
        if (main->IsEditing()) main->Post();
    } catch (const std::exception&) {
    }
    CopyToState state;
    state.heading = "Copy " + dosName + ".HLP to";
    state.path = main->FieldStr("CopyToDir");
    state.overwriteVisible = !state.path.empty();
    state.overwrite = main->FieldStr("CopyToDirOverwrite") == "Y";
    state.proposedFolder = state.path;
    state.proposedName = dosName + ".HLP";
    if (ui.showCopyToDialog && !ui.showCopyToDialog(state)) return ToolResult::Cancelled;
    if (state.path.empty()) return ToolResult::Cancelled;
    try {
        main->Edit();
        main->FieldByName("CopyToDir")->SetAsString(state.path);
        main->FieldByName("CopyToDirOverwrite")->SetAsString(state.overwrite ? "Y" : "");
        main->Post();
    } catch (const std::exception&) {
        if (main->State() != db::dsBrowse) main->Cancel();
    }
    if (!CopyFileByStream(hlp, state.path)) {
        ShowWarning("Warning", "Could not copy " + hlp + " to " + state.path + ".");
        return ToolResult::Failed;
    }
    return ToolResult::Done;
}

ToolResult StartPaintPackage(EditorContext& ctx) {
    std::string paint = PathsSetting(ctx, "PaintPackage");
    if (paint.empty()) paint = "pbrush.exe";
    return StartOutsideProgram({ProgramPath(paint)}) ? ToolResult::Started : ToolResult::NotStarted;
}

ToolResult StartWordProcessor(EditorContext& ctx) {
    if (!HasProject(ctx)) return ToolResult::Refused;
    const std::string folder = CurrentProjectFolderOrProgramDir(ctx);
    if (!plat::DirectoryExists(folder)) {
        ShowWarning("Warning",
                    "You Project Directory no longer exists. Please press F6 and amend it in Compiler Options.");
        return ToolResult::Refused;
    }
    const std::string word = PathsSetting(ctx, "WordProcessor");
    if (word.empty()) {
        ShowWarning("No Word Processor selected",
                    "Please select Tools | Tavrin Preferences and select your favorite Word Processor to use.");
        return ToolResult::Refused;
    }
    std::vector<std::string> argv{ProgramPath(word)};
    const std::string rtf = plat::JoinPath(folder, ctx.mainTable->FieldStr("DosName") + ".rtf");
    if (plat::FileExists(rtf)) argv.push_back(plat::NativePath(rtf));
    return StartOutsideProgram(argv) ? ToolResult::Started : ToolResult::NotStarted;
}

ToolResult StartShed(EditorContext& ctx) {
    const std::string shed = plat::FindProgram(plat::JoinPath(ctx.ProgramDir, "shed.exe"));
    if (shed.empty()) {
        ShowWarning("Warning", "Could not find the SHED.EXE file. Please place it in your Tavrin directory.");
        return ToolResult::Refused;
    }
    // It starts in the pictures' folder, without changing ours.
    const std::string pictures = ctx.CurrentGraphicsFolder();
    const std::string work = !pictures.empty() && plat::DirectoryExists(pictures) ? plat::NativePath(pictures) : "";
    if (plat::StartProcess({shed}, work)) return ToolResult::Started;
    ShowWarning("Warning", "Could not start " + shed + ".");
    return ToolResult::NotStarted;
}

ToolResult GenerateKeywordFile(EditorContext& ctx, const ToolUi& ui) {
    if (!HasProject(ctx)) return ToolResult::Refused;
    const std::string folder = CurrentProjectFolderOrProgramDir(ctx);
    const std::string dosName = ctx.mainTable->FieldStr("DosName");
    const std::string hpj = plat::JoinPath(folder, dosName + ".hpj");
    if (!plat::FileExists(hpj)) {
        ShowWarning("Warning", "You need to Compile your Project first, before you can generate a keyword file.");
        return ToolResult::Refused;
    }
    std::string& tool = ctx.Settings.DelphiKwgen;
    if (!tool.empty() && !plat::FileExists(tool)) tool.clear();
    if (tool.empty()) {
        ShowWarning("Finding Kwgen.exe",
                    "This is the first time you have selected to generate a Delphi keyword file. You will need to "
                    "show Tavrin the location of Delphi`s KWGEN.EXE file. It is normally located in Delphi`s Help "
                    "directory.");
        std::string chosen = "kwgen.exe";
        if (!ui.chooseKwgen || !ui.chooseKwgen(chosen)) return ToolResult::Cancelled;
        if (!plat::FileExists(chosen)) {
            ShowWarning("Warning", plat::DisplayPath(chosen) + " not found.");
            return ToolResult::Refused;
        }
        tool = chosen;
    }
    const std::string kwf = plat::JoinPath(folder, dosName + ".kwf");
    return StartOutsideProgram({ProgramPath(tool), plat::NativePath(hpj), plat::NativePath(kwf)})
               ? ToolResult::Started
               : ToolResult::NotStarted;
}

ToolResult ShowErrorLog(EditorContext& ctx) {
    if (!HasProject(ctx)) return ToolResult::Refused;
    // A 16-bit build names its files, the log among them, by the 16-bit name.
    std::string base = ctx.mainTable->FieldStr("DosName");
    if (ctx.mainTable->FieldStr("Compile") == "16" && !ctx.mainTable->FieldStr("16bitName").empty())
        base = ctx.mainTable->FieldStr("16bitName");
    // Shown and handed on as it is on disk: "/" and its real letter case.
    const std::string log =
        plat::SystemText(plat::NativePath(plat::JoinPath(CurrentProjectFolderOrProgramDir(ctx), base + ".ERR")));
    auto cannot = [&](const std::string& why) {
        ShowWarning("Warning", "Could not open the error log " + log + ": " + why);
        return ToolResult::NotStarted;
    };
    if (!plat::FileExists(log))
        return cannot("there is no such file. The help compiler writes it when a compile fails.");
    // The viewer the converter opens its documents with: the desktop's own
    // unless the user named another.
    if (conv::OpenWithDefaultAction(log)) return ToolResult::Started;
    const std::string viewer = conv::ResultViewer();
    if (viewer == "xdg-open" && plat::GetLastError() == plat::ERROR_FILE_NOT_FOUND)
        return cannot("no program is set up to show text files.");
    return cannot("the viewer " + viewer + " could not be started.");
}

}  // namespace editor
