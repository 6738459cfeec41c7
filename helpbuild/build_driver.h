// Building a project: the checks before a build, the full build (project
// RTF, help project file, contents, compiler run, viewer or error log), the
// partial build (a fresh help project file over the existing RTF) and the
// runs of the help compilers.
//
// No help compiler or viewer exists on this system: HCW.EXE, HCP.EXE and
// WinHlp32.exe are looked up in the program directory (any letter case, the
// extension optional), where a user may put wrappers around real tools. They
// get native paths as separate arguments and the project folder as their
// working folder; the program's own current folder is never changed.
// Without the compiler a build is still worth running: it writes the
// compiler's input (topic RTF, project file, contents file) as it would
// with one, and one information box says where, and what it would have run
// from where. An old help file is then left alone.
//
// The RTF is written under a temporary name and renamed when complete, so a
// failed build leaves the old file. The pages' records are stored between
// BeginStoringRecords and EndStoringRecords, on the tables one engine
// transaction, so a build does not wait on a disk sync per page.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "project/progress.h"
#include "helpbuild/build_project.h"

namespace build {

// What the build needs of its surroundings besides the project's tables.
struct BuildEnvironment {
    bool force16BitCompile = false;
    // The shared cancel request of long operations; null: the progress's own.
    bool* cancelRequested = nullptr;

    // Gives the input focus to a project field ("HelpTitleFld", "DosNameFld").
    std::function<void(const std::string& control)> focusControl;
    // The main window's status panel.
    std::function<void(const std::string& text)> setStatusText;
    // The compile options dialog; true when closed with OK. None: OK.
    std::function<bool()> showOptionsDialog;
    // The progress window of the build. None: a NullProgress.
    std::function<std::unique_ptr<IProgress>()> createProgress;
    // Lets window messages run between steps.
    std::function<void()> processMessages;
    // The contents file of the project (32-bit builds with AutoGenerateCntFile).
    std::function<void()> writeCntFile;
    // The main window's error-log command after a failed compile.
    std::function<void()> showErrorLog;
    // The application's help file, and its help call (16-bit success: the
    // compiled file's index, command 3).
    std::function<void(const std::string& helpFile)> setHelpFile;
    std::function<void(const std::string& helpFile, unsigned command, long data)> showHelp;

    // plat::ProgramDir(): the compilers, the viewer and the icon live there.
    std::string ProgramDir() const;
};

enum class BuildOutcome {
    Refused,         // a check or the options dialog stopped it; nothing written
    Cancelled,       // stopped between pages; the previous RTF is kept
    Failed,          // an error stopped it after it started (message shown)
    CompilerMissing, // the compiler is there but could not be started
    CompileFailed,   // the compiler ran but made no help file (error log shown)
    Compiled,        // the help file was made
    NotCompiled,     // no help compiler: its input was written and the user told where
    Written,         // WriteProjectFiles: the RTF (and project file) are written
};

// --- checks (each shows its own warning and returns false) ------------------
bool CheckProjectBeforeCompile(IBuildProject& project, BuildEnvironment& env);
// The automatic switch to 16 bit (forced, or only HCP.EXE there); false only
// when that switch cannot be saved. No compiler at all is no reason to stop.
bool CheckHelpCompilerPresent(IBuildProject& project, BuildEnvironment& env);
bool CheckProjectDirectories(IBuildProject& project, BuildEnvironment& env);
// True when the build must be refused (long names in a 16-bit build's folders).
bool CheckShortPathsFor16Bit(const ProjectFields& project);
bool CheckFirstPageIsTopic(IBuildProject& project, BuildEnvironment& env);

// --- builds -------------------------------------------------------------------
// Prepares the current page's record (title region for a titled topic, body,
// footnotes, anchors), stores it in the page and returns it; an empty body
// is stored as two blanks. The build and
// the font synchronisation use it.
std::string WriteProjectTopics(IBuildProject& project);

BuildOutcome RunFullCompile(IBuildProject& project, BuildEnvironment& env, bool showOptions);
// The part of the full build after its checks: contents, the project RTF
// (under a temporary name, renamed when complete) and the help project file,
// with the progress window; no compiler run.
BuildOutcome WriteProjectFiles(IBuildProject& project, BuildEnvironment& env);
BuildOutcome RunPartialCompile(IBuildProject& project, BuildEnvironment& env);
BuildOutcome RunHelpCompiler32(IBuildProject& project, BuildEnvironment& env);
BuildOutcome RunHelpCompiler16(IBuildProject& project, BuildEnvironment& env);

// Starts a program without waiting; false when it could not be started.
bool StartProgram(const std::vector<std::string>& argv);

// The project RTF file: project folder + "\" + base name + ".rtf".
std::string ProjectRtfPath(const ProjectFields& project, const std::string& projectFolder);

// The message box of the build: caption and text, OK only.
void ShowWarning(const std::string& caption, const std::string& text);

}  // namespace build
