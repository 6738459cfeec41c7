// What a build reads and writes of a project, as the build drivers see it:
// the project row's fields, the build's page set with each page's fields and
// cached record, and the few table writes a build makes. The program's
// implementation works on the project tables; tests may use plain rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "helpbuild/topic_rtf.h"

namespace build {

// The project row's fields a build uses, as text ("Y"/"N" flags, "16"/"32").
struct ProjectFields {
    std::string application, helpTitle, dosName, name16, projectDir, graphicsDir;
    std::string compile, compress, copyright, citation, iconFile;
    std::string coLetWindowsDecide, stayOnTop, wx, wy, ww, wh;
    std::string secondaryWindow, secondaryWindowTitle, secondaryWindowColor, secondStayOnTop, gx, gy, gw, gh;
    std::string addButton1, addButton2, addButton3;
    std::string useFilteredPagesOnly, autogenerateContents, autogeneratePrjFile, autoGenerateCntFile;
    std::string contentsFilter;
    // The imported help project's lines the row has no field for (see
    // KeptHpjLines in hpj_writer.h).
    std::string keptHpj;
    // Resolved by the implementation with the program's folder rule: the
    // project folder (empty: the program directory) and the graphics folder.
    std::string projectFolder, graphicsFolder;
    // The region colours last applied to the views (0x00BBGGRR or a system colour).
    std::uint32_t scrollColor = 0xFFFFFF;
    std::uint32_t nonscrollColor = 0xC0C0C0;

    bool Is16Bit() const { return compile == "16"; }
    // The base name of every file of a build: 16-bit builds use `16bitName`.
    const std::string& BaseName() const { return Is16Bit() ? name16 : dosName; }
};

// One page of the build's page set.
struct PageRow : TopicFields {
    std::string titleUserModified;  // "Y": `prepared` is the page's current record
    // Read only when asked for (`withTexts`): the memos are the expensive part.
    std::string fullTitle;  // RTF
    std::string helpText;   // RTF
    std::string prepared;
};

// A row of the automatic 32-bit contents.
struct ContentsRow {
    int sequence = 0;
    int level = 0;
    std::string entryType;  // "H" heading, "T" topic
    std::string title;
    std::string jump;
};

class IBuildProject {
public:
    virtual ~IBuildProject() = default;

    virtual ProjectFields Project() = 0;
    // Posts pending edits of the page and project rows; false when either is
    // still being edited afterwards.
    virtual bool PostPendingEdits() = 0;
    // Sets the project's build target ("16"); throws when the row cannot be posted.
    virtual void SetCompile(const std::string& value) = 0;

    // The build's page set in HelpId order: every page of the project, or
    // only those that pass the main window's page filter.
    virtual void SelectBuildPages(bool filteredOnly) = 0;
    virtual int PageCount() = 0;
    // Moves to the first page / the next page; false past the end.
    virtual bool FirstPage() = 0;
    virtual bool NextPage() = 0;
    virtual PageRow CurrentPage(bool withTexts) = 0;
    // The current page's stored record alone.
    virtual std::string CurrentPrepared() = 0;
    // Stores the current page's record and marks it current ("Y"); a body
    // that was empty is stored as `helpText` when that is not null.
    virtual void StorePrepared(const std::string& record, const std::string* helpText) = 0;
    // Around the build's pages: the records stored between the two go to
    // disk together (`keep`) or not at all. A store that syncs each record
    // on its own makes a build of many pages wait on the disk once a page.
    // Ending with `keep` throws when the records cannot be saved.
    virtual void BeginStoringRecords() {}
    virtual void EndStoringRecords(bool keep) { (void)keep; }

    // The RTF header document of the build (font registry or preferences).
    virtual std::string HeaderRtf() = 0;
    // Replaces the project's contents rows and clears its extra contents lines.
    virtual void ReplaceContents(const std::vector<ContentsRow>& rows) = 0;
};

// The folder rule for projects held outside the tables (tests, benchmarks):
// a path with a drive or a leading "/" or "\" stands as it is; anything else
// is relative to the program directory; an empty path is the program
// directory itself when `emptyIsProgramDir`, else stays empty.
std::string ResolveFolder(const std::string& dir, bool emptyIsProgramDir = true);

}  // namespace build
