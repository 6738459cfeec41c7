#include "controls/data/vl_incremental_search.h"

#include "data/vl_lines.h"
#include "data/vl_locate.h"
#include "data/vl_table.h"
#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "platform/core/format.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <algorithm>

namespace vl {

namespace {

void Warn(const std::string& text) { gui::MessageDlg(text, gui::mtWarning, gui::Buttons({gui::mbOK})); }

bool IsEditKey(unsigned key) {
    return key == gui::VK_BACK || key == gui::VK_SPACE || key == gui::VK_DELETE || (key >= 48 && key <= 111) ||
           key > 145;
}

bool SqlBased(db::TDataSet* ds) { return ds->DBHandle() != 0 && qv::IsSQLBased(ds->DBHandle()); }

// Whether the record reached answers the text.
bool RecordMatches(const db::TField* field, const std::string& text) {
    switch (field->DataType()) {
    case db::ftFloat:
    case db::ftCurrency:
        if (text.empty()) return field->IsNull();
        return !field->IsNull() && field->AsFloat() == plat::StrToFloat(text);
    case db::ftSmallint:
    case db::ftInteger:
    case db::ftWord:
    case db::ftAutoInc:
        return field->Text() == text;
    default: {
        const std::string have = plat::AnsiUpperCase(field->Text());
        const std::string want = plat::AnsiUpperCase(text);
        return have.compare(0, want.size(), want) == 0 && have.size() >= want.size();
    }
    }
}

class ControlsOff {
public:
    explicit ControlsOff(db::TDataSet* ds) : ds_(ds) { ds_->DisableControls(); }
    ~ControlsOff() { ds_->EnableControls(); }

private:
    db::TDataSet* ds_;
};

}  // namespace

bool FindExpressionIndexField(db::TTable*, std::string& fieldName) {
    fieldName.clear();
    return false;
}

bool DataSetIncrementalSearch(db::TDataSet* dataSet, const std::string& text, int keyPosition) {
    auto* table = dynamic_cast<TvlTable*>(dataSet);
    if (!table) {
        if (dynamic_cast<db::TTable*>(dataSet))
            Warn("Incremental Search - TTable component not supported. Use TvlTable instead.");
        return false;
    }
    if (table->IndexFieldCount() == 0) {
        Warn("Table " + table->Name() + ": Table index not found");
        return false;
    }
    if (keyPosition < 0 || keyPosition >= table->IndexFieldCount()) return false;
    db::TField* field = table->IndexFields(keyPosition);
    if (!IsValidTextForField(field, text)) return false;  // the record stays

    if (!table->NarrowSearch) {
        if (keyPosition <= 3) {
            std::vector<db::TValue> key;
            for (int k = 0; k < keyPosition; ++k) key.emplace_back(table->IndexFields(k)->AsString());
            key.emplace_back(text);
            table->FindNearest(key);
        }
    } else {
        ControlsOff off(table);
        if (text.empty()) {
            table->CancelRange();
        } else if (field->DataType() != db::ftString) {
            table->SetRange({db::TValue(text)}, {db::TValue(text)});
        } else {
            std::string upper = text + std::string(static_cast<std::size_t>(std::max(field->Size, 1)),
                                                   static_cast<char>(table->NarrowSearchUpperChar & 0xFF));
            std::string lower = text;
            const db::TIndexDef* index = table->IndexDefs().FindIndex(table->IndexName());
            if (index && (index->Options & db::ixDescending)) std::swap(lower, upper);
            table->SetRange({db::TValue(lower)}, {db::TValue(upper)});
        }
    }
    return RecordMatches(field, text);
}

TvlIncrementalSearch::TvlIncrementalSearch(gui::TComponent* AOwner) : gui::TEdit(AOwner) {
    timer_ = new gui::TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(kIncrementalSearchDelay);
    timer_->SetOnTimer([this](gui::TObject*) { TimerTick(); });
    SetText("");
}

TvlIncrementalSearch::~TvlIncrementalSearch() {
    if (dataSource_) dataSource_->RemoveFreeNotification(this);
}

void TvlIncrementalSearch::SetDataSource(db::TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_) dataSource_->RemoveFreeNotification(this);
    dataSource_ = source;
    if (dataSource_) dataSource_->FreeNotification(this);
}

void TvlIncrementalSearch::Notification(gui::TComponent* AComponent, gui::TOperation Operation) {
    gui::TEdit::Notification(AComponent, Operation);
    if (Operation == gui::opRemove && AComponent == dataSource_) dataSource_ = nullptr;
}

void TvlIncrementalSearch::KeyUp(unsigned& Key, gui::TShiftState Shift) {
    gui::TEdit::KeyUp(Key, Shift);
    if (Text() == lastSearch_ || !IsEditKey(Key)) return;
    db::TDataSet* ds = dataSource_ ? dataSource_->DataSet() : nullptr;
    if (ShowMatchText && (Key == gui::VK_BACK || Key == gui::VK_DELETE)) {
        // Taking back the completed rest is no new search.
        auto* table = dynamic_cast<TvlTable*>(ds);
        if (table && table->NarrowSearch && Text().empty() && table->Active()) table->CancelRange();
        return;
    }
    timer_->SetEnabled(false);
    if (!dataSource_) {
        Warn("DataSource not defined - object " + Name());
        return;
    }
    if (!ds) {
        Warn("Dataset not defined for DataSource");
        return;
    }
    if (ds->Active() && !SqlBased(ds)) timer_->SetInterval(kIncrementalSearchDelay / 2);
    timer_->SetEnabled(true);
}

void TvlIncrementalSearch::TimerTick() {
    if (!timer_->Enabled()) return;
    timer_->SetEnabled(false);
    if (Text() == lastSearch_) return;
    DoSearch();
    lastSearch_ = Text();
}

void TvlIncrementalSearch::DoSearch() {
    db::TDataSet* ds = dataSource_ ? dataSource_->DataSet() : nullptr;
    if (!ds || !ds->Active()) return;
    const std::string text = Text();
    auto* table = dynamic_cast<db::TTable*>(ds);
    auto* vlTable = dynamic_cast<TvlTable*>(ds);
    bool scan = !table || (vlTable && vlTable->IndexFieldCount() == 0 && vlTable->Query().Count() > 0);
    bool match = false;
    db::TField* shown = nullptr;
    if (!scan) {
        std::string exprField;
        if (FindExpressionIndexField(table, exprField)) return;  // no such indexes here
        if (table->IndexFieldCount() == 0) {
            scan = true;
        } else {
            int keyPosition = 0;
            for (int k = 0; k < table->IndexFieldCount(); ++k)
                if (!SearchField.empty() && plat::AnsiUpperCase(table->IndexFields(k)->FieldName) ==
                                                plat::AnsiUpperCase(SearchField))
                    keyPosition = k;
            match = DataSetIncrementalSearch(table, text, keyPosition);
            shown = table->IndexFields(keyPosition);
        }
    }
    if (scan) {
        db::TField* field = SearchField.empty() ? (ds->FieldCount() > 0 ? ds->Fields(0) : nullptr)
                                                : ds->FindField(SearchField);
        if (field) {
            match = LocateIfDifferent(ds, text, field->FieldName, mtPartialMatchStart, false);
            shown = field;
        }
    }
    if (OnAfterSearch) OnAfterSearch(this, match);
    if (ShowMatchText && match && shown) {
        const int typed = static_cast<int>(text.size());
        const std::string value = shown->Text();
        SetText(value);
        SetSelStart(typed);
        SetSelLength(static_cast<int>(value.size()) - typed);
    }
}

namespace {
const bool kSearchPropsPublished = [] {
    plat::RegisterProperty<TvlIncrementalSearch>(plat::ObjectProperty<TvlIncrementalSearch, db::TDataSource>(
        "DataSource", [](const TvlIncrementalSearch& e) { return e.DataSource(); },
        [](TvlIncrementalSearch& e, db::TDataSource* s) { e.SetDataSource(s); }));
    plat::RegisterProperty<TvlIncrementalSearch>(plat::StrProperty<TvlIncrementalSearch>(
        "SearchField", [](const TvlIncrementalSearch& e) { return e.SearchField; },
        [](TvlIncrementalSearch& e, const std::string& v) { e.SearchField = v; }));
    return true;
}();
}  // namespace

}  // namespace vl
