// The new-project wizard's work without its window: where the help window
// goes, the checks of the first step, the context strings of new pages, the
// title list's order, and the creation of a project, fresh from a colour
// scheme or copied from another project.
#pragma once

#include "project/editor_context.h"

#include <functional>
#include <string>
#include <vector>

namespace editor {

inline constexpr const char* kProjectExistsText = "This Help Project already exists. Please choose a different name";
inline constexpr const char* kFailedToPostText = "Failed to post.";
inline constexpr const char* kCreatingProjectText = "Creating New Help Project...";
inline constexpr const char* kNoTemplate = "[none]";

// The help window's place in the help compiler's units (0..1023).
struct WindowPlacement {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const WindowPlacement&) const = default;
};
enum class WizardSize { Full, Half, Quarter, LetWindowsDecide };
// 50%: left, right, top in that order, anything else bottom; 25%: top or
// bottom first, then left or right.
WindowPlacement PlacementFor(WizardSize size, bool left, bool right, bool top);

// What the wizard's fields hold.
struct WizardInput {
    std::string name, fileName, helpTitle, directory;
    std::string templateName;  // "" or "[none]": a fresh project
    WizardSize size = WizardSize::LetWindowsDecide;
    bool left = false, right = false, top = false;
};
// The field a first-step check refused.
enum class Step1Field { None, Name, FileName, HelpTitle, Directory };
// Runs the first step's checks in their order; the first failure shows its
// warning and is answered.
Step1Field RunStep1Checks(const WizardInput& input);
// Whether a project of that name exists, letter case aside.
bool ProjectExists(const std::string& name);

// The first free variant of a candidate as the wizard searches: "" when the
// candidate is free, else candidate + "1", "2", ... or candidate + "a".
std::string FindFreeContextString(const std::string& candidate,
                                  const std::function<bool(const std::string&)>& taken);
// The context string of a new page: the base (build::DeriveContextString)
// when free, else base + "2" ... "49", else "". `taken` answers (letter case
// aside) for the project.
std::string WizardContextString(const std::string& title, const std::function<bool(const std::string&)>& taken);

// The title list (`TvrnWIZT`, ordered by "Seq"). A row inserted before the
// current one gets a Seq between its neighbours; all rows are renumbered in
// tens first when there is no gap. Appending takes the last Seq + 10.
void InsertTitleBefore(db::TDataSet& titles, const std::string& title);
void AppendTitle(db::TDataSet& titles, const std::string& title);
// Move Up and Move Down: nothing on an empty title.
void MoveTitleUp(db::TDataSet& titles);
void MoveTitleDown(db::TDataSet& titles);
// Empties the title list.
void ClearTitles(db::TDataSet& titles);

// Points for tests: each runs before the named post and may raise.
struct ProjectCreationSeams {
    std::function<void()> beforeProjectPost;
    std::function<void(const std::string& table)> beforeRowDelete;
};
ProjectCreationSeams& LifecycleSeams();

// Creates the project (Finish after its checks): a fresh project from the
// scheme's current row and the title list, or a copy of the template. False
// (a warning shown, nothing of this run left: rows and new folders) when the
// project row cannot be posted or the name is taken. `progress` shows the
// wait window's text ("" closes it).
bool CreateProject(EditorContext& ctx, const WizardInput& input, db::TDataSet* scheme, db::TDataSet* titles,
                   const std::function<void(const std::string&)>& progress = {});

// Runs all of Finish: the title list's pending edit, the checks, the
// duplicate name, then CreateProject.
bool FinishWizard(EditorContext& ctx, const WizardInput& input, db::TDataSet* scheme, db::TDataSet* titles,
                  const std::function<void(const std::string&)>& progress = {});

}  // namespace editor
