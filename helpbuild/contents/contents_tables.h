// The contents commands on the editor's project tables: writing and reading
// the contents file, the explorer text in the project's `UserView`, the
// contents editing commands (add, move right and left, clear), keeping
// contents jumps right when a page's HelpId or context string changes, and
// the title rules of a page before it is posted.
//
// They work on the current project of the context's `mainTable`, on
// `cntShadow` for their walks and on `cntTable` for the current entry of the
// Contents grid. What needs a window comes through ContentsHooks.
#pragma once

#include "helpbuild/cnt_file.h"
#include "project/title_rules.h"
#include "project/editor_context.h"

#include <functional>
#include <string>

namespace build {

inline constexpr const char* kCntSaveFailedCaption = "Problem Saving CNT File";
inline constexpr const char* kCntSaveFailedText =
    "The CNT file could not be saved. There is either a problem with your Project directory name in Project "
    "Options, (Press F6), or there are network rights preventing the save.";
inline constexpr const char* kCntReplaceQuestion =
    "Reading in this cnt file will delete your current contents. Are you sure you want to do this?";
inline constexpr const char* kClearContentsQuestion =
    "This will delete all contents entries for this Project. Are you sure you want to do this?";
inline constexpr const char* kOnlyHeadingsOrTopics = "You can only move Headings or Topics.";
inline constexpr const char* kMaxLevelText = "You can only go as high as 9 levels.";
inline constexpr const char* kSkipLevelText = "You cannot skip a level.";
inline constexpr const char* kLooksWrongQuestion =
    "Although you can do this it will not look right in the Contents Tab. Do you wish to move it anyway?";
inline constexpr const char* kSubLevelsAtMaxText =
    "You have sub levels beneath this heading which are at their maximum level of 9. You cannot push these any "
    "further to the right.";
inline constexpr const char* kFarLeftText = "You're as far left as you can go.";
inline constexpr const char* kMoveSubEntriesQuestion = "Do you also want to move the Sub-headings and topics?";

// Sequence numbers are 16-bit: a file with more entries is refused.
inline constexpr int kMaxContentsRows = 32000;

// What the add dialog gives back.
struct CntAddChoice {
    enum Kind { Heading = 0, Topic = 1, Macro = 2, Include = 3 };
    Kind kind = Heading;
    std::string title;
    std::string topic;   // Topic ID, or the macro
    std::string file;    // help file
    std::string window;  // window type
};

// What the commands need of the main window; every hook may stay empty.
struct ContentsHooks {
    // The main window's LoadExplorerView, after the explorer text changed.
    std::function<void()> loadExplorerView;
    // Shows the add dialog with the preselected kind; false when cancelled.
    std::function<bool(CntAddChoice& choice)> runAddDialog;
    // The main window's status panel.
    std::function<void(const std::string& text)> setStatus;
    // The information sound.
    std::function<void()> beep;
    // The hourglass cursor on (true) and off.
    std::function<void(bool busy)> busyCursor;
};

// --- contents file (the current project) ---------------------------------------------
// The contents file's path: ProjectFolder (empty: the program directory) +
// "\" + DosName + ".cnt".
std::string CntFilePath(editor::EditorContext& ctx);
// The rows that pass the contents filter of `cntTable`, in Sequence order.
std::vector<CntEntry> ContentsEntries(editor::EditorContext& ctx, bool withContentsFilter = true);
// The project's extra lines (CntTabs, CntIndexFiles, CntLinkFiles).
CntHeader ContentsHeader(editor::EditorContext& ctx);

// Writes <DosName>.cnt: to a temporary file renamed over the old one, so a
// failed save keeps the old file (and shows the "Problem Saving CNT File"
// box). No rows: no file (an old one is removed). Then the explorer text.
// Returns true when a file was written.
bool WriteCntFile(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
// Reads the written contents file into `UserView` (unchanged when there is
// no file) and runs the explorer hook.
void WriteContentsExplorerText(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
// Asks for a file (the "Read in a Contents file" dialog) and reads it.
void ReadCntFile(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
// Reads the project's own contents file (CntFilePath) when it exists.
void ReadCntFileForImport(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
// Reads one file into the project's rows. The whole file is parsed and
// checked first: a file that cannot be read or has a bad line is reported
// (with the line's number) and nothing changes. Returns true when read.
bool ReadCntFileInto(editor::EditorContext& ctx, const std::string& fileName);

// --- contents editing (the current entry of cntTable) ---------------------------------
void AddContentsEntry(editor::EditorContext& ctx, bool above, const ContentsHooks& hooks);
// Adds with a given choice, as the dialog would have answered.
void AddContentsEntryWith(editor::EditorContext& ctx, bool above, const CntAddChoice& choice);
void MoveContentsEntryRight(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
void MoveContentsEntryLeft(editor::EditorContext& ctx, const ContentsHooks& hooks = {});
void ClearAllContents(editor::EditorContext& ctx);

// The walks of the commands above, on cntShadow.
void ShiftContentsSequence(editor::EditorContext& ctx, int from, bool below);
struct PrevContentsEntry {
    int sequence = 0;
    int level = 0;
    std::string entryType;
};
PrevContentsEntry GetPrevContentsEntry(editor::EditorContext& ctx, int seq);
int GetSubtreeMaxLevel(editor::EditorContext& ctx, int seq);
void ShiftContentsSubtree(editor::EditorContext& ctx, int seq, bool right);

// After a page was posted with a changed HelpId or context string: contents
// jumps of the project to the old HelpId get the new one, jumps to the old
// context string the new one (both rules when both changed). Nothing runs
// when the page was new (previous HelpId 0 and no previous context string).
void UpdateContentsJumps(editor::EditorContext& ctx, long prevHelpId, const std::string& prevContextString,
                         long newHelpId, const std::string& newContextString);

// --- title rules ----------------------------------------------------------------------
// Whether a page of the current project other than the one with
// `exceptHelpId` has that context string (letter case aside).
bool ContextStringOwned(editor::EditorContext& ctx, const std::string& contextString, long exceptHelpId);
// The title rules on the page being posted in `page` (a cursor in edit or
// insert state). `bodyEmpty` answers whether the page body's plain text is
// empty; without it the `HelpText` field's RTF is read. Any failure becomes
// the silent abort, which leaves the page unposted.
void SyncTopicTitleFields(editor::EditorContext& ctx, db::TDataSet& page, std::function<bool()> bodyEmpty = {});
// Whether an RTF (or plain) text has no visible characters.
bool RtfBodyIsEmpty(const std::string& rtf);

// --- the editor's rules at start-up ---------------------------------------------------
// The page and project rules on the context's tables together with the title
// and contents-jump rules they call: what the main window installs when it
// starts, so anything else that posts through the context's tables (a test,
// a command without the window) meets the same rules a user does.
void InstallEditorRules(editor::EditorContext& ctx);

}  // namespace build
