// The rules the editor attaches to its project tables: what a new page
// gets and which help id it is offered, what a page needs before it is
// saved and what follows a save, context strings, deleting a page with the
// jumps that point at it, renaming a project, the RTF headers of the font
// lists, and the display settings the windows take from the project row.
// Refusals show their warning and raise the silent abort, which leaves the
// row in its editing state. A duplicate HelpId is refused on an edit that
// changed it as well, not only on an insert, since the engine's own key
// error would otherwise be all the user sees. RenameProject opens every
// table file it writes before its transaction starts: the engine binds to a
// transaction only the files open when it begins.
#pragma once

#include "project/editor_context.h"
#include "project/page_text.h"
#include "project/title_rules.h"

#include <string>
#include <vector>

namespace editor {

inline constexpr const char* kNoHelpIdText =
    "You cannot save a record without a HelpId. Please provide one or delete the entry with Ctrl+Delete.";
inline constexpr const char* kNoTopicPopupText =
    "You cannot save a record without defining it as a Topic or a Popup. Please enter a T or a P or delete the "
    "entry with Ctrl+Delete.";
inline constexpr const char* kNoTitleText =
    "You cannot save a record without a Title. Please provide one or delete the entry with Ctrl+Delete.";
inline constexpr const char* kNoProjectText =
    "You cannot save a page without a Project. Please create one with File | New Project or press Esc to cancel "
    "your changes.";
inline constexpr const char* kDuplicateHelpIdText =
    "This HelpID has been used before. Each HelpID must be unique. Please re-enter a new unique HelpID or press "
    "Esc to cancel changes.";
inline constexpr const char* kInvalidContextStringText =
    "This context string contains invalid characters. You can only use numbers, letters and underscores. Please "
    "re-enter a valid context string such as JumpHerePlease, without spaces, or press Esc to cancel your changes.";
inline constexpr const char* kRenameQuestionText = "Are you sure you want to change your Help Application name?";
inline constexpr const char* kDeleteTopicQuestionText = "Are you sure you want to Delete this Topic/Popup page?";
inline constexpr const char* kJumpIntegrityQuestionText =
    "Jump Integrity Warning: This page is referenced by other pages. If you delete it the referenced jumps will be "
    "removed. Do you wish to delete it now?";

// Hooks every rule onto the context's tables and fields (again whenever a
// table is opened, as its fields are made anew).
void InstallPageRules(EditorContext& ctx);

// The help id offered for a page being inserted; 0 for none. `appended`:
// the new row was added at the end of the page table.
long NextFreeHelpId(EditorContext& ctx, bool appended);

// The largest number the check of a typed context string appends (the title
// rules stop at build::kTitleContextSuffixMax).
inline constexpr int kTypedContextSuffixMax = 20;
// Derives a context string from a text (build::DeriveContextString, a free
// number 2..20 added when another page has it); false when all are taken,
// else whether it equals the text (letter case aside). The derived string
// goes to `derived` when given.
bool MakeContextString(EditorContext& ctx, const std::string& text, std::string* derived = nullptr);
using build::DeriveContextString;
// Letters, digits and "_" only (and not empty).
bool HasOnlyContextCharacters(const std::string& text);
// The title of another page of the current project that has the context
// string (letter case aside); "" when none has.
void FindContextStringOwner(EditorContext& ctx, const std::string& contextString, std::string& ownerTitle);
// The help id, as text, of the project's page with that context string; "" when none.
void LookupHelpIdByContext(EditorContext& ctx, const std::string& contextString, std::string& helpId);

void ApplyTopicPopupDefaults(EditorContext& ctx);
// The current project's graphics folder as the page editors get it: a folder
// with a drive or a root stands; a relative one (3 characters or more) is
// taken below the program folder when that folder exists, else "".
std::string ResolveGraphicsDir(EditorContext& ctx);

// Posts the project row and the current page, keeping the page table's place.
void PostPendingEdits(EditorContext& ctx);
// File | Save.
void miSaveClick(EditorContext& ctx);

// Moves every row of the project `OldApplicationName` to the new name in
// one transaction: pages, jump references, contents, the font row and the
// inheritance links (and other projects' pages and links that inherit from
// it). A name another project has (any letter case) is refused first with a
// warning and the silent abort; a failure on the way rolls everything back
// and passes the error on.
void RenameProject(EditorContext& ctx, const std::string& newName);

// Edit | Delete Topic on a page view: asks, removes the jumps of referencing
// pages when there are any, deletes the page. The status text (when jumps
// were removed) goes to `status`. False when nothing was deleted.
bool DeleteTopic(EditorContext& ctx, std::string& status);

// The font registry's header of the current project; false (the stored
// header unchanged, a warning shown) when the registry lists no font.
bool BuildFontRegistryHeader(EditorContext& ctx);
// The program-wide header from the screen fonts, into the preferences row
// and the scratch stream.
void BuildProgramRtfHeader(EditorContext& ctx);
// The preferences' header into the scratch stream; rebuilt when shorter
// than 10 bytes.
void LoadProgramRtfHeader(EditorContext& ctx);

// What the windows take from the project row and the preferences.
struct DisplaySettings {
    bool applied = false;           // false before start-up has finished
    long topicJumpColour = 0xFF0000;
    long popupJumpColour = 0xC0C0C0;
    long nonscrollColour = 0xC0C0C0;
    long scrollColour = 0xFFFFFF;
    // The default character attributes: page title, popup title, page text.
    TitleFont pageTitle, popupTitle, pageText;
    unsigned pageTextStyle = 0;
    // The project's font list for the tool bars' font boxes (registry on).
    std::vector<std::string> fontList;
};
// Applies the current project row and the preferences: fills the font row
// of a project that has none, reloads the project header stream, runs the
// filter and explorer hooks, and hands the settings to `ShowDisplaySettings`.
DisplaySettings ApplyProjectDisplaySettings(EditorContext& ctx);

}  // namespace editor
