// The project options on the project row: the three edit groups of the
// Colors page, the folder buttons and the window coordinates. Every store
// sets LastModified and posts.
#pragma once

#include "project/editor_context.h"
#include "editor/options/option_values.h"

#include <functional>
#include <string>

namespace editor {

enum class OptionGroup { TopicTitle, PopupTitle, HelpText };
// "Topic Title Defaults", "Popup Title Defaults", "Help Text Defaults".
std::string OptionGroupCaption(OptionGroup g);

// What the settings panel shows for a group.
struct GroupValues {
    std::string font = "Arial";
    std::string size = "14";
    std::string colourName = "Black";
    bool bold = false, italic = false;
};
GroupValues LoadGroup(EditorContext& ctx, OptionGroup g);
// Region colours of the current row: non-scrolling (silver when unreadable)
// and scrolling (white when unreadable).
long NonscrollColourOf(EditorContext& ctx);
long ScrollColourOf(EditorContext& ctx);
// Writes the group's four fields and both region colours, then posts. The
// stores write nothing when there is no project row.
void StoreGroup(EditorContext& ctx, OptionGroup g, const GroupValues& v, long nonscrollColour, long scrollColour);

// Writes one field of the project row and posts.
void StoreProjectField(EditorContext& ctx, const std::string& field, const std::string& value);

// The "..." buttons of "ProjectDir" and "GraphicsDir": a missing folder is
// reported first; the dialog (`choose`: caption, start folder, chosen) then
// opens and only OK changes the field. False when nothing changed.
using FolderChooser = std::function<bool(const std::string& caption, const std::string& start, std::string& chosen)>;
bool ChooseProjectFolder(EditorContext& ctx, const std::string& field, const FolderChooser& choose);

// The coordinates of the main ("W") or secondary ("G") window.
WindowUnitsRect LoadWindowUnits(EditorContext& ctx, bool secondary);
void StoreWindowUnits(EditorContext& ctx, bool secondary, const WindowUnitsRect& u);

}  // namespace editor
