#include "helpbuild/build_driver.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <vector>

#include "helpbuild/hpj_writer.h"
#include "helpbuild/topic_rtf.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/safe_file.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

namespace build {

namespace {

const char* const kWarning = "Warning";

void Focus(BuildEnvironment& env, const char* control) {
    if (env.focusControl) env.focusControl(control);
}

void Pump(BuildEnvironment& env) {
    if (env.processMessages) env.processMessages();
}

// The RTF document a page editor stores after two blanks were typed into
// its empty text.
std::string TwoBlanksDocument() {
    richtext::TJDRTFTextIo engine;
    engine.LoadFromString("  ");
    return engine.SaveToString();
}

bool NameChecks(const ProjectFields& p, BuildEnvironment& env) {
    if (p.application.empty()) {
        ShowWarning("No Name", "You need a Project name before you can compile.");
        return false;
    }
    if (p.helpTitle.empty()) {
        ShowWarning("No Title", "You need a Help Title before you can compile.");
        Focus(env, "HelpTitleFld");
        return false;
    }
    // 16-bit builds name every file by the 16-bit name, so it must be there too.
    if (p.dosName.empty() || (p.Is16Bit() && p.name16.empty())) {
        ShowWarning("No File name", "You need a [File name] before you can compile.");
        Focus(env, "DosNameFld");
        return false;
    }
    return true;
}

bool LengthCheck16(const ProjectFields& p) {
    if (p.Is16Bit() && p.BaseName().size() > 8) {
        ShowWarning(kWarning,
                    "Your File Name is greater than 8 characters. Windows 3.x will only allow a maximum of 8 "
                    "characters. Please amend it or change your Compiler to Win95 in Options.");
        return false;
    }
    return true;
}

std::string Native(const std::string& path) { return plat::NativePath(path); }

// The compiler or viewer in the program directory; "" when there is none.
std::string FindTool(BuildEnvironment& env, const char* name) {
    return plat::FindProgram(env.ProgramDir() + "\\" + name);
}

std::vector<MapEntry> AllMapEntries(IBuildProject& project, BuildEnvironment& env) {
    std::vector<MapEntry> map;
    for (bool ok = project.FirstPage(); ok; ok = project.NextPage()) {
        PageRow page = project.CurrentPage(false);
        map.push_back({page.topicPopup, page.helpId, page.contextString});
        Pump(env);
    }
    project.FirstPage();
    return map;
}

// Composes and saves the help project file; false (after a warning) when it
// cannot be written.
bool SaveHpj(const ProjectFields& p, const std::string& folder, HpjKind kind, std::vector<MapEntry> pages,
             BuildEnvironment& env) {
    HpjInput in;
    in.kind = kind;
    in.project = p;
    in.programDir = env.ProgramDir();
    in.projectFolder = folder;
    in.pages = std::move(pages);
    in.setStatusText = env.setStatusText;
    HpjResult r = ComposeHpj(in);
    if (!r.ok) {
        ShowWarning(kWarning, r.message);
        return false;
    }
    std::string path = Native(HpjPath(p, folder));
    if (!plat::WriteFileSafely(path, r.text, plat::PathText::Native)) {
        ShowWarning(kWarning, "The help project file " + path + " could not be written.");
        return false;
    }
    return true;
}

BuildOutcome WriteProjectFilesOrThrow(IBuildProject& project, BuildEnvironment& env);

// The one box of a build without a compiler: what was written, where, and
// what the build would have run. `written` holds the files this build wrote.
void ShowNotCompiled(BuildEnvironment& env, const std::string& folder, const std::vector<std::string>& written,
                     const char* tool) {
    std::string text = "No help compiler is installed, so no help file was made. ";
    const std::string where = plat::SystemText(Native(folder));
    if (written.empty()) {
        text += "The compiler's input in " + where + " was left as it was.";
    } else {
        text += "The compiler's input was written to " + where + ": ";
        for (std::size_t i = 0; i < written.size(); ++i)
            text += (i ? ", " : "") + plat::SystemText(plat::ExtractFileName(Native(written[i])));
        text += ".";
    }
    text += "\nTo make help files, put the help compiler, or a program that runs it, in the program folder " +
            plat::SystemText(Native(env.ProgramDir())) + " under the name " + tool + ".";
    gui::MessageBox(text, "No Help Compiler", gui::MB_OK | gui::MB_ICONINFORMATION);
}

// `written`: the files of the compiler's input this build has written so far.
BuildOutcome RunCompiler(IBuildProject& project, BuildEnvironment& env, bool sixteen,
                         std::vector<std::string> written) {
    ProjectFields p = project.Project();
    const std::string F = p.projectFolder;
    const std::string base = F + "\\" + p.BaseName();
    const char* tool = sixteen ? "HCP.EXE" : "HCW.EXE";
    const std::string exe = FindTool(env, tool);
    // Without a compiler nothing replaces the last help file, so it stays.
    if (!exe.empty()) {
        plat::DeleteFile(Native(base + ".hlp"));
        // The compiler's index cache is rebuilt from the new file.
        plat::DeleteFile(Native(base + ".gid"));
    }
    if (!sixteen && p.autoGenerateCntFile == "Y" && env.writeCntFile) {
        env.writeCntFile();
        // No contents rows: no file.
        const std::string cnt = F + "\\" + p.dosName + ".cnt";
        if (plat::FileExists(Native(cnt))) written.push_back(cnt);
    }
    if (!plat::DirectoryExists(Native(F))) {
        ShowWarning(kWarning, "The Project directory, " + F + ", does not exist. Please change it in Project Options.");
        return BuildOutcome::Failed;
    }
    if (exe.empty()) {
        Pump(env);
        ShowNotCompiled(env, F, written, tool);
        return BuildOutcome::NotCompiled;
    }
    std::vector<std::string> argv{exe};
    if (!sixteen) {
        argv.push_back("/C");
        argv.push_back("/E");
    }
    argv.push_back(Native(base + ".hpj"));
    int code = plat::RunAndWait(argv, Native(F));
    Pump(env);
    if (code == -1) {
        ShowWarning(kWarning, "The help compiler " + std::string(tool) +
                                  " could not be started. Please place it (or a program that runs your help "
                                  "compiler) in your Tavrin directory, " + env.ProgramDir() + ".");
        return BuildOutcome::CompilerMissing;
    }
    const std::string hlp = base + ".HLP";
    BuildOutcome outcome;
    if (plat::FileExists(Native(hlp))) {
        outcome = BuildOutcome::Compiled;
        if (sixteen) {
            if (env.setHelpFile) env.setHelpFile(hlp);
            if (env.showHelp) env.showHelp(hlp, 3, 0);
        } else {
            if (env.setHelpFile) env.setHelpFile(hlp);
            std::string viewer = FindTool(env, "WinHlp32.exe");
            if (viewer.empty() || !StartProgram({viewer, Native(hlp)}))
                ShowWarning(kWarning, "The help file was compiled, but the help viewer WinHlp32.exe could not be "
                                      "started. Please place it (or a program that shows help files) in your "
                                      "Tavrin directory, " + env.ProgramDir() + ".");
        }
    } else {
        outcome = BuildOutcome::CompileFailed;
        ShowWarning(kWarning, "The Compile was unsuccesful. The Error Log will now be displayed.");
        if (env.showErrorLog) env.showErrorLog();
    }
    if (env.setHelpFile) env.setHelpFile(env.ProgramDir() + "\\Tavrin.HLP");
    return outcome;
}

}  // namespace

std::string BuildEnvironment::ProgramDir() const { return plat::ProgramDir(); }

void ShowWarning(const std::string& caption, const std::string& text) { gui::MessageBox(text, caption, gui::MB_OK); }

std::string ProjectRtfPath(const ProjectFields& project, const std::string& projectFolder) {
    return projectFolder + "\\" + project.BaseName() + ".rtf";
}

bool StartProgram(const std::vector<std::string>& argv) { return plat::StartProcess(argv); }

// --- checks ---------------------------------------------------------------------

bool CheckProjectBeforeCompile(IBuildProject& project, BuildEnvironment& env) {
    if (!project.PostPendingEdits()) {
        ShowWarning(kWarning, "An attempt was made to save your changes, but failed. Please save all changes or "
                              "undo using Escape ro Alt+Backspace.");
        return false;
    }
    if (!NameChecks(project.Project(), env)) return false;
    if (!CheckHelpCompilerPresent(project, env)) return false;
    return LengthCheck16(project.Project());
}

bool CheckHelpCompilerPresent(IBuildProject& project, BuildEnvironment& env) {
    auto switchTo16 = [&](const char* failure) {
        try {
            project.SetCompile("16");
            return true;
        } catch (...) {
            ShowWarning(kWarning, failure);
            return false;
        }
    };
    ProjectFields p = project.Project();
    if (env.force16BitCompile && p.compile != "16") {
        if (!switchTo16("An unsuccessful attempt was made to change your Compile settings from 32bit to 16bit. You "
                        "will need to change them manually from the Project Options screen."))
            return false;
        p.compile = "16";
    }
    // A missing compiler does not stop the build: it writes the compiler's
    // input and says so where the compiler would have run.
    if (p.compile == "16" || !FindTool(env, "HCW.EXE").empty()) return true;
    if (!FindTool(env, "HCP.EXE").empty())
        return switchTo16("An unsuccessfl attempt was made to change your Compile settings from 32bit to 16bit. You "
                          "will need to change them manually from the Project Options screen.");
    return true;
}

bool CheckProjectDirectories(IBuildProject& project, BuildEnvironment& env) {
    ProjectFields p = project.Project();
    if (!p.projectDir.empty() && !plat::DirectoryExists(Native(p.projectFolder))) {
        ShowWarning(kWarning, "Your Project directory no longer exists. Please amend it from Tools | Project Options "
                              "| Compiler Options.");
        return false;
    }
    if (!p.graphicsDir.empty() && !plat::DirectoryExists(Native(p.graphicsFolder))) {
        ShowWarning(kWarning, "Your Graphics directory no longer exists. Please amend it from Tools | Project "
                              "Options | Compiler Options.");
        return false;
    }
    if (p.Is16Bit() && CheckShortPathsFor16Bit(p)) return false;
    return true;
}

bool CheckShortPathsFor16Bit(const ProjectFields& p) {
    const std::string tail = " Please amend it from Tools | Project Options | Compiler Options.";
    const std::string projectText =
        "You cannot compile for 16bit when you have long file names in your Project directory path." + tail;
    if (p.projectDir.find(' ') != std::string::npos) {
        ShowWarning(kWarning, projectText);
        return true;
    }
    if (p.graphicsDir.find(' ') != std::string::npos) {
        ShowWarning(kWarning,
                    "You cannot compile for 16bit when you have long file names in your Project Graphics directory "
                    "path." + tail);
        return true;
    }
    auto longPiece = [](const std::string& path) {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\' || path[i] == '/') {
                if (i - start > 8) return true;
                start = i + 1;
            }
        }
        return false;
    };
    if (longPiece(p.projectDir)) {
        ShowWarning(kWarning, projectText);
        return true;
    }
    if (longPiece(p.graphicsDir)) {
        ShowWarning(kWarning,
                    "You cannot compile for 16bit when you have long file names in your Graphics directory path." +
                        tail);
        return true;
    }
    return false;
}

bool CheckFirstPageIsTopic(IBuildProject& project, BuildEnvironment& env) {
    try {
        project.SelectBuildPages(project.Project().useFilteredPagesOnly == "Y");
        if (!project.FirstPage()) {
            ShowWarning(kWarning, "You need to have help pages before you can compile.");
            return false;
        }
        PageRow first = project.CurrentPage(false);
        if (first.topicPopup.empty()) {
            ShowWarning(kWarning, "You need to have help pages before you can compile.");
            return false;
        }
        if (first.topicPopup != "T") {
            ShowWarning(kWarning, "The First help page in every Project must be a Topic. Please change the TP type "
                                  "to \"T\" or insert a new first page Topic.");
            return false;
        }
        return true;
    } catch (...) {
        ShowWarning(kWarning, "You need to have help pages before you can compile.");
        return false;
    }
}

// --- builds -----------------------------------------------------------------------

std::string WriteProjectTopics(IBuildProject& project) {
    PageRow page = project.CurrentPage(true);
    // Each memo goes through the text engine once.
    LoadedText title = page.topicPopup == "T" ? LoadPageText(page.fullTitle) : LoadedText{};
    LoadedText body = LoadPageText(page.helpText);
    std::string blanks;
    if (body.empty) {
        blanks = TwoBlanksDocument();
        body = LoadPageText(blanks);
    }
    const bool titled = !title.empty;
    std::string record =
        MakeTopicRecord(page, titled, titled ? PieceOf(title, false) : "", PieceOf(body, true));
    project.StorePrepared(record, blanks.empty() ? nullptr : &blanks);
    return record;
}

BuildOutcome RunFullCompile(IBuildProject& project, BuildEnvironment& env, bool showOptions) {
    if (showOptions && env.showOptionsDialog && !env.showOptionsDialog()) return BuildOutcome::Refused;
    if (!CheckProjectBeforeCompile(project, env) || !CheckProjectDirectories(project, env) ||
        !CheckFirstPageIsTopic(project, env))
        return BuildOutcome::Refused;
    BuildOutcome written = WriteProjectFiles(project, env);
    if (written != BuildOutcome::Written) return written;
    const ProjectFields p = project.Project();
    std::vector<std::string> files{ProjectRtfPath(p, p.projectFolder)};
    if (p.autogeneratePrjFile == "Y") files.push_back(HpjPath(p, p.projectFolder));
    return RunCompiler(project, env, p.Is16Bit(), std::move(files));
}

BuildOutcome WriteProjectFiles(IBuildProject& project, BuildEnvironment& env) {
    // A table that refuses a post or a file that cannot be written ends the
    // build with its message; the temporary RTF goes, the old one stays.
    try {
        return WriteProjectFilesOrThrow(project, env);
    } catch (const std::exception& e) {
        ShowWarning(kWarning, std::string("The build was stopped: ") + e.what());
        return BuildOutcome::Failed;
    }
}

namespace {

BuildOutcome WriteProjectFilesOrThrow(IBuildProject& project, BuildEnvironment& env) {
    ProjectFields p = project.Project();
    project.SelectBuildPages(p.useFilteredPagesOnly == "Y");
    const std::string F = p.projectFolder;
    if (!plat::DirectoryExists(Native(F))) {
        ShowWarning(kWarning, "The Project Directory does not exist, " + F +
                                  " Please amend it from Tools | Project Options | Compiler Options.");
        return BuildOutcome::Refused;
    }
    // A killed build leaves its temporaries beside the files it writes; each
    // build clears them first, however it then ends.
    for (const std::string& output : {ProjectRtfPath(p, F), HpjPath(p, F), F + "\\" + p.dosName + ".cnt"}) {
        const std::string temp = plat::SafeFileTempPath(output);
        if (plat::FileExists(temp)) plat::DeleteFile(temp);
    }
    const bool contents16 = p.autogenerateContents == "Y" && p.Is16Bit();
    int arial = 0;
    std::string header = MakeProjectHeader(project.HeaderRtf(), contents16 ? "Arial" : nullptr, &arial);

    const bool writeHpj = p.autogeneratePrjFile == "Y";
    if (writeHpj) {
        // The paths of the file are checked before anything is written or shown.
        HpjInput probe;
        probe.project = p;
        probe.programDir = env.ProgramDir();
        probe.projectFolder = F;
        HpjResult r = ComposeHpj(probe);
        if (!r.ok) {
            ShowWarning(kWarning, r.message);
            return BuildOutcome::Refused;
        }
    }

    std::unique_ptr<IProgress> progress =
        env.createProgress ? env.createProgress() : std::make_unique<NullProgress>(env.cancelRequested);
    progress->SetStatus("Parsing Topics...");
    progress->SetPercent(0);
    progress->Show();
    progress->SetPercent(3);

    // Contents: the 16-bit contents page leads the file; 32-bit builds fill
    // the contents rows the contents file is written from.
    std::string contentsPage;
    if (p.autogenerateContents == "Y") {
        std::vector<TopicFields> topics;
        for (bool ok = project.FirstPage(); ok; ok = project.NextPage()) {
            PageRow page = project.CurrentPage(false);
            if (page.topicPopup == "T") topics.push_back(page);
        }
        if (contents16) {
            contentsPage = MakeContentsPage16(topics, arial);
        } else {
            std::vector<ContentsRow> rows{{1, 1, "H", "Contents", ""}};
            int seq = 2;
            for (const TopicFields& t : topics)
                rows.push_back({seq++, 2, "T", t.title,
                                t.contextString.empty() ? std::to_string(t.helpId) : t.contextString});
            project.ReplaceContents(rows);
        }
    }

    const std::string rtfPath = Native(ProjectRtfPath(p, F));
    // A failed write shows at the commit, which then leaves the old RTF.
    plat::SafeFileWriter rtf(rtfPath, plat::PathText::Native);
    if (!rtf.IsOpen()) {
        ShowWarning(kWarning, "The project RTF file " + rtfPath + " could not be created.");
        return BuildOutcome::Failed;
    }
    rtf.Write(header);
    rtf.Write(contentsPage);

    std::vector<MapEntry> map;
    const int count = project.PageCount();
    int i = 0;
    // The records stored on the way are kept on a cancel or a failed page
    // (they describe their pages as they are) and given up after an error.
    struct StoringRecords {
        IBuildProject& project;
        int exceptions = std::uncaught_exceptions();
        bool ended = false;
        explicit StoringRecords(IBuildProject& p) : project(p) { project.BeginStoringRecords(); }
        void End() {
            ended = true;
            project.EndStoringRecords(true);
        }
        ~StoringRecords() {
            if (ended) return;
            try {
                project.EndStoringRecords(std::uncaught_exceptions() == exceptions);
            } catch (...) {
            }
        }
    } storing(project);
    for (bool ok = project.FirstPage(); ok; ok = project.NextPage()) {
        progress->ProcessMessages();
        ++i;
        progress->SetPercent(static_cast<int>(std::lround(100.0 * i / count - 3)));
        progress->ProcessMessages();
        if (progress->CancelRequested()) {
            progress->ClearCancel();
            return BuildOutcome::Cancelled;  // the temporary file goes, the old RTF stays
        }
        PageRow page = project.CurrentPage(false);
        map.push_back({page.topicPopup, page.helpId, page.contextString});
        std::string record;
        if (page.titleUserModified == "Y") {
            record = project.CurrentPrepared();
        } else {
            record = WriteProjectTopics(project);
        }
        if (i > 1) rtf.Write(kPageBreak);
        rtf.Write(record);
    }
    storing.End();
    rtf.Write(kCloseDocument);
    if (!rtf.Commit()) {
        ShowWarning(kWarning, "The project RTF file " + rtfPath + " could not be written.");
        return BuildOutcome::Failed;
    }
    if (writeHpj && !SaveHpj(p, F, HpjKind::Full, std::move(map), env)) return BuildOutcome::Failed;
    project.FirstPage();

    progress->SetStatus("Compiling Help File...");
    progress->ProcessMessages();
    // The progress window goes (with this scope) before the compiler's result is shown.
    return BuildOutcome::Written;
}

}  // namespace

BuildOutcome RunPartialCompile(IBuildProject& project, BuildEnvironment& env) {
    project.PostPendingEdits();
    ProjectFields p = project.Project();
    if (!NameChecks(p, env) || !LengthCheck16(p)) return BuildOutcome::Refused;
    const std::string F = p.projectFolder;
    if (!plat::FileExists(Native(ProjectRtfPath(p, F)))) return RunFullCompile(project, env, false);
    if (p.Is16Bit() && CheckShortPathsFor16Bit(p)) return BuildOutcome::Refused;
    Pump(env);
    std::vector<std::string> files;
    if (p.autogeneratePrjFile == "Y") {
        try {
            project.SelectBuildPages(p.useFilteredPagesOnly == "Y");
            if (!SaveHpj(p, F, HpjKind::Partial, AllMapEntries(project, env), env)) return BuildOutcome::Failed;
            files.push_back(HpjPath(p, F));
        } catch (const std::exception& e) {
            ShowWarning(kWarning, std::string("The build was stopped: ") + e.what());
            return BuildOutcome::Failed;
        }
    }
    Pump(env);
    return RunCompiler(project, env, p.Is16Bit(), std::move(files));
}

BuildOutcome RunHelpCompiler32(IBuildProject& project, BuildEnvironment& env) {
    return RunCompiler(project, env, false, {});
}

BuildOutcome RunHelpCompiler16(IBuildProject& project, BuildEnvironment& env) {
    return RunCompiler(project, env, true, {});
}

}  // namespace build
