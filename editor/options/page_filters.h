// Page filters: the seventeen filter lines built from the criteria and read
// back, applying and storing them on the project, the column filters and
// the small dialog's placement, and the contents filter with its history.
#pragma once

#include "project/editor_context.h"

#include <array>
#include <string>
#include <vector>

namespace editor {

inline constexpr int kFilterLineCount = 17;

// The criteria, one per filter line, in line order.
enum FilterLine {
    flHelpIdFrom, flHelpIdTo, flTopicPopup, flTitle, flKeys, flBrowseName, flBrowseIdFrom, flBrowseIdTo,
    flModifiedDateFrom, flModifiedDateTo, flModifiedTimeFrom, flModifiedTimeTo, flVersion, flCompileFor,
    flRevised, flUserFlag, flUserField
};
using FilterValues = std::array<std::string, kFilterLineCount>;

// The lines of the criteria: a condition for a control holding text, its
// blank form (" ", or "HelpID >= 0" for the first) otherwise. A date that
// holds only blanks and separators counts as empty.
std::vector<std::string> BuildFilterLines(const FilterValues& values);
// The criteria of stored lines; reading stops at the first missing line.
// The topic/popup value is trimmed for display.
FilterValues ReadFilterLines(const std::vector<std::string>& lines);
// The first criterion whose value holds a double quote (it would break the
// filter text); -1 when none.
int QuotedFilterValue(const FilterValues& values);

// The stored lines of the current project (its DetailFilter memo).
std::vector<std::string> StoredFilterLines(EditorContext& ctx);
// Applies the criteria to the page view and stores them with the project.
// A value holding a double quote is refused with a warning (nothing changes,
// false). A filter that does not compile shows "Filter Error" and is still
// stored; false then as well.
bool ApplyPageFilter(EditorContext& ctx, const FilterValues& values);
// The stored lines into the page view's filter; "Filter Error" when they
// do not apply.
bool RestoreDetailFilter(EditorContext& ctx);
// Gives the Filter View's table the page table's filter lines and applies them.
void FilterTheFilterView(EditorContext& ctx);
// "&Clear Filters": every criterion empty, applied and stored.
void ClearPageFilters(EditorContext& ctx);

// --- column filters ---------------------------------------------------------------------
enum class FilterCriterion {
    HelpID, TopicPopup, Title, Keys, BrowseName, BrowseID, ModifiedDate, ModifiedTime, Version, CompileFor,
    Revised, UserFlag, UserField, None
};
struct MiniFilterSpec {
    std::string caption, group, page;
    std::vector<FilterLine> lines;  // one, or two for a range
};
MiniFilterSpec MiniFilterSpecOf(FilterCriterion c);
// The criterion of a page field shown in a grid column; the split-view grid
// knows only HelpID, TopicPopup and Title. None for any other field.
FilterCriterion CriterionOfField(const std::string& fieldName, bool splitViewGrid);
// OK of the small dialog: the stored criteria with this criterion's
// value(s) replaced, applied and stored.
bool ApplyColumnFilter(EditorContext& ctx, FilterCriterion c, const std::vector<std::string>& values);

// Where the small dialog opens for the mouse at (x, y).
struct MiniPlacement {
    int left = 0, top = 0;
};
MiniPlacement PlaceMiniFilter(int screenWidth, int screenHeight, int dialogWidth, int dialogHeight, int x, int y);

// --- contents filter ---------------------------------------------------------------------
// Puts a word at the top of a history of at most 10; a word already in it
// (exact) is neither added nor moved. False when nothing changed.
bool AddToFilterHistory(std::vector<std::string>& history, const std::string& word);
// The project's history lines (PmFilter).
std::vector<std::string> ContentsFilterHistory(EditorContext& ctx);
// "Save text to available list": the word into the project's history.
void SaveContentsFilterWord(EditorContext& ctx, const std::string& word);
// The contents table shows the entries of the project's filter word (all
// when it is empty).
bool ApplyContentsFilter(EditorContext& ctx);

// Makes the page filter and the contents filter follow the display settings.
void InstallFilterFollowers(EditorContext& ctx);

}  // namespace editor
