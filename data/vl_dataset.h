// What the library's datasets have in common: the per-field lines the grid,
// edits and combos read (PictureMasks, ControlType, LookupFields,
// LookupLinks), the mask check switch and its event, and the record filter
// event with its options. The controls reach these through IvlDataSet, so
// they work with any of the datasets without knowing its class. OnFilter runs
// inside the dataset's record callback, so it and OnFilterRecord reach the
// cursor as one filter.
#pragma once

#include "platform/core/string_list.h"
#include "data/dataset.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vl {

enum TvlOnFilterOption : unsigned { ofoEnabled = 1, ofoShowHourGlass = 2, ofoCancelOnEscape = 4 };
using TvlOnFilterOptions = unsigned;
constexpr TvlOnFilterOptions kDefaultFilterOptions = ofoEnabled | ofoShowHourGlass;

using TvlTableFilterEvent = std::function<void(db::TDataSet*, bool& accept)>;
using TvlInvalidValueEvent = std::function<void(db::TDataSet*, db::TField*)>;
using TvlNotifyEvent = std::function<void(db::TDataSet*)>;

// Escape polling runs on every this many record callbacks; the counter
// starts again at kFilterCallsWrap.
constexpr int kFilterEscapeEvery = 100;
constexpr int kFilterCallsWrap = 32000;

// One lookup table a dataset opened for its LookupFields lines (vl_lookup.cpp).
struct TvlLookupTable;
using TvlLookupTableList = std::vector<std::unique_ptr<TvlLookupTable>>;

class IvlDataSet {
public:
    IvlDataSet();
    virtual ~IvlDataSet();
    virtual db::TDataSet& DataSet() = 0;

    plat::StringList& PictureMasks() { return pictureMasks_; }
    plat::StringList& ControlType() { return controlType_; }
    plat::StringList& LookupFields() { return lookupFields_; }
    plat::StringList& LookupLinks() { return lookupLinks_; }
    void SetPictureMasks(const plat::StringList& l) { pictureMasks_.Assign(l); }
    void SetControlType(const plat::StringList& l) { controlType_.Assign(l); }
    void SetLookupFields(const plat::StringList& l) { lookupFields_.Assign(l); }
    void SetLookupLinks(const plat::StringList& l) { lookupLinks_.Assign(l); }

    // A dataset without the switch (the query-by-example one) answers false.
    virtual bool HasValidateWithMask() const { return true; }
    bool ValidateWithMask() const { return HasValidateWithMask() && validateWithMask_; }
    void SetValidateWithMask(bool on) { validateWithMask_ = on; }
    TvlInvalidValueEvent OnInvalidValue;

    const TvlTableFilterEvent& OnFilter() const { return onFilter_; }
    // Stores the handler and installs or removes the record callback.
    virtual void SetOnFilter(TvlTableFilterEvent handler) = 0;
    TvlOnFilterOptions OnFilterOptions() const { return filterOptions_; }
    // Switching ofoEnabled off shows all records again; any other change is
    // only stored.
    virtual void SetOnFilterOptions(TvlOnFilterOptions options) = 0;
    TvlNotifyEvent OnFilterEscape;

    // How many times the record callback has run (wrapping), for tests and
    // the escape polling.
    int FilterCalls() const { return filterCalls_; }

    // The lookup tables opened for this dataset's lookup fields.
    TvlLookupTableList& LookupTables() { return lookupTables_; }
    void ClearLookupTables();

protected:
    // The record callback: runs OnFilter for the record under test while the
    // filter is enabled, and polls for Escape every hundredth call.
    bool RecordFilterCallback();

    plat::StringList pictureMasks_, controlType_, lookupFields_, lookupLinks_;
    bool validateWithMask_ = true;
    TvlTableFilterEvent onFilter_;
    TvlOnFilterOptions filterOptions_ = kDefaultFilterOptions;
    bool inOnFilter_ = false;     // OnFilter is running
    bool inCallback_ = false;     // the engine is calling the record callback
    int filterCalls_ = 0;
    TvlLookupTableList lookupTables_;
};

// The library's dataset behind a dataset, or nullptr.
IvlDataSet* AsVlDataSet(db::TDataSet* dataSet);

// Defined with the per-field lines (vl_lines.cpp).
void ValidateFieldMasks(db::TDataSet* dataSet, const TvlInvalidValueEvent& onInvalidValue);
void PurgeMissingFieldLines(db::TDataSet* dataSet, plat::StringList* lookupFields, plat::StringList* lookupLinks,
                            plat::StringList* controlType);
void CalcLookupFields(db::TDataSet* dataSet, const plat::StringList& lookupFields, const plat::StringList& lookupLinks,
                      TvlLookupTableList& tables);

// One implementation of the record-filter plumbing over each dataset kind.
template <class Base>
class TvlDataSetOf : public Base, public IvlDataSet {
public:
    using Base::Base;
    db::TDataSet& DataSet() override { return *this; }

    void SetOnFilter(TvlTableFilterEvent handler) override {
        onFilter_ = std::move(handler);
        if (!InstallCallbackFilter()) FilterRefused();
    }

    void SetOnFilterOptions(TvlOnFilterOptions options) override {
        const bool switchedOff = (filterOptions_ & ofoEnabled) && !(options & ofoEnabled);
        // The current row is found again by bookmark once hidden ones reappear.
        if (switchedOff && this->Active() && onFilter_ && !inCallback_) (void)this->GetBookmark();
        filterOptions_ = options;
        if (!switchedOff || !this->Active() || !onFilter_) return;
        // The callback now accepts every record; read the window again, but
        // never from inside the engine's call to the callback.
        if (inCallback_) {
            this->RequestResync();
        } else {
            this->UpdateCursorPos();
            this->Resync();
        }
    }

protected:
    // Installs the record callback on the open cursor, or removes it without
    // a handler; false when the cursor refused it (it is then not
    // installed). A closed dataset keeps only the handler: the callback goes
    // in once the dataset has opened.
    bool InstallCallbackFilter(bool refresh = true) {
        // The current row is found again by bookmark once the view has changed.
        if (refresh && this->Active()) (void)this->GetBookmark();
        if (!this->Active() || !onFilter_) {
            this->SetRecordCallback({});
            if (this->Active() && refresh) RefreshAfterFilterChange();
            return true;
        }
        try {
            this->SetRecordCallback([this] {
                inCallback_ = true;
                struct Reset {
                    bool& flag;
                    ~Reset() { flag = false; }
                } reset{inCallback_};
                return RecordFilterCallback();
            });
        } catch (const db::EDatabaseError&) {
            this->SetRecordCallback({});
            return false;
        }
        if (refresh) RefreshAfterFilterChange();
        return true;
    }

    // After opening, before the first read: the stored handler's callback.
    void OpenCursorDone() override {
        Base::OpenCursorDone();
        if (onFilter_ && !InstallCallbackFilter(false)) FilterRefused();
    }
    // The callback leaves with the cursor, so a reopened dataset installs it
    // again where a refusal can be told.
    void CloseCursorStarting() override {
        Base::CloseCursorStarting();
        this->SetRecordCallback({});
        ClearLookupTables();  // opened again for the next records
    }

    // A record whose text fails a field's picture mask is not posted: the
    // error leaves it in edit with everything typed.
    void DoBeforePost() override {
        Base::DoBeforePost();
        if (this->ValidateWithMask()) ValidateFieldMasks(this, OnInvalidValue);
    }
    // Lines of fields that are gone go first, then the lookup fields are
    // filled, then OnCalcFields runs.
    void DoOnCalcFields() override {
        PurgeMissingFieldLines(this, &lookupFields_, &lookupLinks_, &controlType_);
        CalcLookupFieldsStep();
        Base::DoOnCalcFields();
    }
    // Fills the lookup fields of the current record; datasets with lookup
    // tables override it.
    virtual void CalcLookupFieldsStep() { CalcLookupFields(this, lookupFields_, lookupLinks_, lookupTables_); }

    // The cursor refused the record callback; the handler stays stored.
    virtual void FilterRefused() {}

    // Shows the records the new callback accepts.
    virtual void RefreshAfterFilterChange() {
        this->UpdateCursorPos();
        this->Resync();
    }
};

}  // namespace vl
