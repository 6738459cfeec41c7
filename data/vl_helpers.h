// Helpers of the library's datasets: the filter options by dataset, the
// Escape check of a running record filter, and the line buffer handed to
// the engine. Helpers about windows are in controls/data/vl_control_helpers.h.
//
// A query's answer on another drive than the private folder's needs a batch
// move, which this engine lacks: CreateAnswerTable shows the engine's
// message and keeps an old answer of that name, since it deletes nothing
// before the copy has succeeded.
#pragma once

#include "data/vl_dataset.h"
#include "platform/win/win_types.h"

#include <cstdint>
#include <string>

namespace vl {

// The library's datasets answer to these class names (and their descendants).
bool IsVlDataSet(db::TDataSet* dataSet);
// A dataset that is not one of the library's has no options: 0.
TvlOnFilterOptions GetFilterOptions(db::TDataSet* dataSet);
// Adds or removes ofoEnabled and leaves the other options.
void SetFilterEnabled(db::TDataSet* dataSet, bool enabled);

// True when the user pressed Escape: an Escape key-down that is the first
// key press waiting in the thread's queue is taken out, ofoEnabled is removed from the
// dataset's options, and the caller stops filtering. Any other key stays
// queued (and an Escape behind it waits until it has been handled).
bool CheckFilterEscape(db::TDataSet* dataSet);

// Stores a query's answer under `answerName` (":alias:table" names a table
// in an alias's folder); shows what failed and returns false.
bool CreateAnswerTable(db::TDataSet* query, std::uint32_t databaseHandle, const std::string& answerName);
// The engine's order of two bookmarks of the dataset's cursor; 0 without one.
int CompareBookmarksOf(db::TDataSet* dataSet, const std::string& bookmark1, const std::string& bookmark2);

// True when the object's class or one of its ancestors has this name
// (without regard to case); false for none.
bool ClassChainHasName(const plat::TObject* object, const std::string& name);

// All lines in one text, `separator` between lines (none after the last).
std::string LinesToPChar(const plat::StringList& lines, const std::string& separator);

}  // namespace vl
