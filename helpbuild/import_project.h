// Importing a compiled help file as a new project: the converter runs on it
// in the temporary folder "~KqTemp" of the program directory, and its help
// project file and topic RTF become a project row, pages and (through the
// contents-file reader) contents in the project tables. Nothing is left
// behind when the import fails or is cancelled: no row, page, contents row,
// folder made by the import, or temporary folder.
//
// The converter names pages by strings of the same hash as the author's
// context strings, so the contents file's jumps would name no page; each jump
// whose hash is one page's takes that page's string instead. The converted
// files are moved into the project's folders first (named beforehand in the
// import's journal, project/import_journal.h); then the project row, its
// pages and its contents rows are written in one engine transaction, so a
// kill leaves the whole project or nothing the next start does not clear.
// Context strings the compiler cannot take are renamed to ones it can, and
// jumps, contents and map follow. The pages go through
// a cursor of the import's own under the import's rules below, not through
// the editor's page table with the rules for what an author types: a page
// that cannot be stored is left out and logged, the rest still come in. A
// refused field keeps the converted files for another try.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/progress.h"
#include "helpbuild/import_hpj.h"
#include "helpbuild/import_rtf.h"

namespace editor {
class EditorContext;
}

namespace build {

// The import's own rule for a page's context string. The help compiler
// takes letters, digits, "_" and "."; the converter names the contexts a
// help file kept no name for with a "." in them, so unlike what an author
// types in the editor, a "." is kept. Blanks around the string are dropped;
// any other character the compiler would refuse becomes "_" and a string
// too long is cut (Mapped); only a string of blanks is Refused, and that
// page keeps no context string (the page itself is still imported).
enum class ContextStringVerdict { Kept, Mapped, Refused };
inline constexpr std::size_t kMaxContextStringLength = 255;
ContextStringVerdict TakeImportedContextString(const std::string& value, std::string& stored);

// The import's own rule for storing a page: why it cannot be stored, "" when
// it can. A page needs a help id and a kind; a topic needs a title, while a
// popup may have none (help files give popups no title).
std::string ImportedPageRefusal(const ImportedPage& page);

// The title a topic the help file gave none (no "$" footnote) gets: the
// editor needs one, and the word tells the author where to give it theirs.
inline constexpr const char* kUntitledTopicTitle = "Unknown";

// Whether a split section holds nothing: no title, title region, text,
// footnote or help id. The converter ends its topic RTF with one.
bool IsEmptyImportedSection(const ImportedPage& page);

// The wizard's fields (step 1 and step 2).
struct ImportFields {
    std::string helpFile;     // the compiled help file
    std::string hpjPath;      // the converted help project file
    std::string application;  // new project's name
    std::string fileName;     // DosName
    std::string helpTitle;
    std::string directory;    // ProjectDir
    std::string graphicsDir;
    std::string copyright;
    bool convertJumps = true;
};

// The new project row's fields apart from the wizard's.
struct NewProjectDefaults {
    std::string name;
    std::string value;
};
const std::vector<NewProjectDefaults>& ImportedProjectDefaults();

struct ImportEnvironment {
    // The converter program; "" when it is not there.
    std::function<std::string()> converterProgram;
    // Writes the converter's settings for a help project (not a document).
    std::function<void()> writeConverterIni;
    // Runs argv in a folder and answers the exit code (-1: could not start).
    std::function<int(const std::vector<std::string>& argv, const std::string& folder)> run;
    // Reads a contents file into the new project's contents (the project row
    // is current); false when it could not.
    std::function<bool(editor::EditorContext& ctx, const std::string& cntPath)> readCntFile;
    // The progress window of the finish step; a NullProgress when empty.
    std::function<std::unique_ptr<IProgress>()> createProgress;
    // The wizard's caption while it works ("" puts its own back).
    std::function<void(const std::string& caption)> setCaption;
};
// The program's own: the converter found as start-up finds it, the
// converter settings of the editor, the process layer, the contents-file
// reader of the project's contents (on the file the converter's folder held).
ImportEnvironment DefaultImportEnvironment();

class ImportSession {
public:
    ImportSession(editor::EditorContext& ctx, ImportEnvironment env);
    ~ImportSession();  // removes the temporary folder
    ImportSession(const ImportSession&) = delete;
    ImportSession& operator=(const ImportSession&) = delete;

    // Step 1: converts `fields.helpFile` in the temporary folder and proposes
    // the step-2 fields. False after a message (nothing then remains).
    bool ConvertHelpFile(ImportFields& fields);
    // The finish step: checks the fields, creates the project, its folders,
    // pages and contents. False after a message or a cancel. A refused field
    // (an empty or taken name ...) keeps the converted files for another
    // try; once the import has begun the temporary folder goes either way.
    bool Finish(const ImportFields& fields);

    std::string TempFolder() const;
    // Set by the last Finish: the pages made, the colour map used.
    const std::vector<ImportedPage>& Pages() const { return pages_; }
    // Set by the last Finish: what the import did not take as it came (a
    // page it could not store, a context string it changed or dropped), one
    // line each. Also written to "Import.log" in the project folder.
    const std::vector<std::string>& Log() const { return log_; }

private:
    bool ValidateFields(const ImportFields& fields);
    bool ProjectExists(const std::string& name);
    void RemoveProject(const std::string& name);
    void RemoveTempFolder();

    editor::EditorContext& ctx_;
    ImportEnvironment env_;
    std::vector<ImportedPage> pages_;
    std::vector<std::string> log_;
};

}  // namespace build
