// Pages that inherit their text from a master page of another project, and
// the hidden jump targets kept whole when a page's help id or context
// string changes. Works on the context's tables; the page is the current
// row of `detailTable`.
#pragma once

#include "project/editor_context.h"

#include <functional>
#include <string>
#include <vector>

namespace editor {

inline constexpr const char* kAlreadyInheritsText =
    "You already inherit from a master topic. Break this link first before re-inheriting.";
inline constexpr const char* kOverwriteQuestionText =
    "If you inherit from another topic, that topics text will overwrite your current text. Do you wish to continue?";
inline constexpr const char* kOnlyMasterText = "You can only do this with a Master record.";
inline constexpr const char* kInheritanceIncompleteText =
    "Inheritance could not update every inherited help page. This could be caused by someone else editing another "
    "Project or corruption, in which case, running the Table Repair Centre may cure it.";
inline constexpr const char* kUpdatingInheritanceText = "Updating Inheritance...";

// Opens the context's inheritance table when closed.
void OpenInheritTable(EditorContext& ctx);

// Which commands of the Inheritance menu a page's status allows.
struct InheritMenuState {
    bool inherit = false, breakLink = false, whoInherits = false;
};
InheritMenuState InheritMenuFor(const std::string& inheritedStatus);

// A page of another project chosen in the select dialog.
struct InheritChoice {
    std::string application;
    long helpId = 0;
};
// The select dialog: fills the choice and answers true for OK. It is handed
// the project to start on (the last one inherited from) and the filter the
// dialog's page list uses.
struct InheritSelectRequest {
    std::string currentProject, startProject;
    std::string caption;                 // "Select a Topic to Inherit From" or "... a Popup ..."
    std::vector<std::string> pageFilter;  // the page list's filter lines
};
using InheritSelectDialog = std::function<bool(const InheritSelectRequest&, InheritChoice&)>;
InheritSelectRequest MakeInheritSelectRequest(EditorContext& ctx);

// Inherit From a Master Topic; false when nothing changed.
bool InheritFromMaster(EditorContext& ctx, const InheritSelectDialog& dialog);
// Break Inheritance; false when the page could not be left or changed.
bool BreakInheritance(EditorContext& ctx);

// One link row as the who-inherits dialog lists it.
struct Inheritor {
    std::string application;
    long helpId = 0;
    std::string title;
};
std::vector<Inheritor> ListInheritors(const std::string& application, long helpId);
// The who-inherits dialog: answers 4 for "&Go to it" with the chosen row.
using WhoInheritsDialog = std::function<int(const std::vector<Inheritor>&, int& selected)>;
// Who Inherits From Me?: on "&Go to it" moves to the chosen page and asks
// whether to go back; a master without links stops being one.
void ShowInheritors(EditorContext& ctx, const WhoInheritsDialog& dialog);

// After a master page is posted: its text and title to every inheriting
// page; links whose page is gone are deleted. False when a page could not
// be updated (the warning was shown).
bool UpdateInheritedPages(EditorContext& ctx);
bool UpdateInheritedPages(EditorContext& ctx, std::function<void(const std::string&)> status);
// After a page's help id changed: its links follow it, as inheriting page
// and as master (the inheriting pages then name the new id).
void RenumberInheritanceLinks(EditorContext& ctx);
// After a page's help id or context string changed: rewrites the hidden
// targets in the pages that refer to it and moves their reference rows.
// Answers the number of targets rewritten; the status text goes to `status`.
int UpdateJumpIntegrity(EditorContext& ctx, long newHelpId, std::string* status = nullptr);

// Rewrites, in stored RTF, every hidden run that is the target `from` (a
// whole target: what follows cannot continue a help id or context string)
// to `to`; letter case is ignored for context strings. `count` answers the
// runs rewritten; the text comes back unchanged when none matched.
std::string RewriteJumpTargets(const std::string& rtf, const std::string& from, const std::string& to, int& count);

// Registers the three followers of a page post in the context's hooks: the
// jump integrity, the inheritance links' renumbering and the master's text.
// `status` receives the status panel's texts.
void InstallLifecycleFollowers(EditorContext& ctx, std::function<void(const std::string&)> status = {});

}  // namespace editor
