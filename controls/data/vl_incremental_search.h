// TvlIncrementalSearch: an edit that moves a dataset to the first record
// whose search field begins with what has been typed, a short moment after
// the last key. On the library's table it searches the current index;
// other datasets are scanned. It can complete the typed text with the
// value found.
#pragma once

#include "data/data_source.h"
#include "data/tables.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"

#include <functional>
#include <string>

namespace vl {

class TvlIncrementalSearch;
using TvlAfterSearchEvent = std::function<void(TvlIncrementalSearch* sender, bool matchFound)>;

// The search waits this long after the last key; on a database that is no
// SQL server half of it.
constexpr unsigned kIncrementalSearchDelay = 333;

class TvlIncrementalSearch : public gui::TEdit {
public:
    explicit TvlIncrementalSearch(gui::TComponent* AOwner);
    ~TvlIncrementalSearch() override;

    db::TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(db::TDataSource* source);
    // Empty: the first index field, or for a scan the dataset's first field.
    std::string SearchField;
    // Completes the text with the found value, the untyped rest selected.
    bool ShowMatchText = false;
    TvlAfterSearchEvent OnAfterSearch;

    // One search with the current text (the timer calls it).
    void DoSearch();
    gui::TTimer* Timer() const { return timer_; }

protected:
    void KeyUp(unsigned& Key, gui::TShiftState Shift) override;
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;

private:
    void TimerTick();
    db::TDataSource* dataSource_ = nullptr;
    gui::TTimer* timer_;
    std::string lastSearch_;
};

// Positions the library's table on its current index: the index fields
// before keyPosition keep their values, the field at keyPosition takes the
// text. Returns whether the record reached matches.
bool DataSetIncrementalSearch(db::TDataSet* dataSet, const std::string& text, int keyPosition);
// Expression indexes exist only in the other engine's tables: always false.
bool FindExpressionIndexField(db::TTable* table, std::string& fieldName);

}  // namespace vl
