// The font registry and the fonts of a project's pages: the registry
// dialog's lists and their storing, synchronising every page with the
// installed header, and enforcing the project's formatting defaults.
#pragma once

#include "project/progress.h"
#include "project/editor_context.h"

#include <functional>
#include <string>
#include <vector>

namespace editor {

// --- registry dialog ---------------------------------------------------------------------
// The two sorted lists of the registry dialog and its moves. Selection is an
// index, -1 for none.
class FontRegistryLists {
public:
    std::vector<std::string> used, available;
    int usedIndex = -1, availableIndex = -1;

    // Fills the lists: the registry and the screen fonts; the screen fonts
    // already in use leave `available` (case-insensitive); both sorted; both
    // select their first item.
    void Fill(const std::vector<std::string>& registry, const std::vector<std::string>& screenFonts);
    void MoveToUsed();        // "&<"
    void MoveToAvailable();   // "&>"
    void AllToUsed();         // "<<"
    void AllToAvailable();    // ">>"
};

// The registry of the current project (its FontList lines).
std::vector<std::string> CurrentFontRegistry(EditorContext& ctx);
// OK of the registry dialog: stores the fonts (sorted) as the project's
// registry, rebuilds its header and applies the display settings. Refused
// with a warning (nothing stored, false) when no font is in use.
bool StoreFontRegistry(EditorContext& ctx, const std::vector<std::string>& used);

// --- synchronisation ----------------------------------------------------------------------
struct FontSyncOptions {
    // Asks before starting (the "looooong time" question); off in benchmarks.
    bool ask = true;
    // Prepares the current page's build record again (the build's
    // WriteProjectTopics on CdetailTable); empty: not prepared.
    std::function<void()> prepareRecord;
};
enum class FontSyncResult { Declined, NoHeader, Cancelled, Done };
// The build's record of the current page of CdetailTable prepared again
// (what the build would store); a page the build refuses keeps its mark
// and is prepared by the next build.
void PrepareBuildRecord(EditorContext& ctx);

// The installed header: the project's registry header when UseFontRegistry
// is on, else the program-wide header.
std::string InstalledHeader(EditorContext& ctx);
// Synchronises every page of the current project through `progress`;
// "Font Synchronization complete!" at the end of a whole run. Pages are
// rewritten as text, never through the clipboard.
FontSyncResult SynchroniseFonts(EditorContext& ctx, build::IProgress& progress, const FontSyncOptions& options,
                                int* pagesRewritten = nullptr);

// --- enforcement ---------------------------------------------------------------------------
struct EnforceChoice {
    bool font = true, size = true, nonscrollColour = true, colour = false;
};
// Applies the project's default typeface, size and colours to every page of
// the current project. "Nothing Selected" and false when no box is set.
bool EnforceFormatting(EditorContext& ctx, const EnforceChoice& choice, int* pagesChanged = nullptr);
// One field's text with the attributes applied to every character (the
// font registered in its table); unchanged text when nothing differs.
std::string EnforceFieldFormatting(const std::string& rtf, const std::string* font, int size, int colour);

}  // namespace editor
