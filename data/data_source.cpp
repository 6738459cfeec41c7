#include "data/data_source.h"

#include "platform/core/codepage.h"

#include <algorithm>

namespace db {

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    for (TDataLink* l : std::vector<TDataLink*>(links_)) l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* ds) {
    if (ds == dataSet_) return;
    if (dataSet_) {
        dataSet_->RemoveDataSource(this);
        RemoveFreeNotification(dataSet_);
    }
    dataSet_ = ds;
    if (dataSet_) {
        dataSet_->AddDataSource(this);
        dataSet_->UpdateBufferCount();
    }
    // Links see the new dataset's state as an active change.
    NotifyLinks(deUpdateState, 0);
    lastState_ = State();
}

void TDataSource::SetEnabled(bool on) {
    enabled_ = on;
    NotifyLinks(deUpdateState, 0);
}

void TDataSource::Edit() {
    if (AutoEdit && dataSet_ && dataSet_->State() == dsBrowse) dataSet_->Edit();
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == dataSet_) {
        dataSet_ = nullptr;
        NotifyLinks(deUpdateState, 0);
    }
}

void TDataSource::NotifyLinks(TDataEvent event, std::intptr_t info) {
    // A link may leave while the event goes round: the round is over a copy,
    // on the stack for the usual few.
    constexpr std::size_t kFew = 8;
    if (links_.size() <= kFew) {
        TDataLink* few[kFew];
        const std::size_t n = links_.size();
        std::copy(links_.begin(), links_.end(), few);
        for (std::size_t i = 0; i < n; ++i) few[i]->DataEvent(event, info);
        return;
    }
    for (TDataLink* l : std::vector<TDataLink*>(links_)) l->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deUpdateState) {
        if (State() != lastState_) {
            lastState_ = State();
            if (OnStateChange) OnStateChange(this);
        }
    } else if (enabled_) {
        switch (event) {
        case deFieldChange:
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange: {
            TField* f = event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr;
            if (OnDataChange) OnDataChange(this, f);
            break;
        }
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            break;
        default: break;
        }
    }
    NotifyLinks(event, info);
}

// ---- links -----------------------------------------------------------------

TDataLink::~TDataLink() {
    if (source_) {
        auto& v = source_->links_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        if (TDataSet* ds = source_->DataSet()) ds->UpdateBufferCount();
    }
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == source_) return;
    if (source_) {
        auto& v = source_->links_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        if (TDataSet* ds = source_->DataSet()) ds->UpdateBufferCount();
    }
    source_ = source;
    if (source_) {
        source_->links_.push_back(this);
        if (TDataSet* ds = source_->DataSet()) ds->BufferCountChanged();
    }
    UpdateState();
}

void TDataLink::SetReadOnly(bool on) {
    readOnly_ = on;
    UpdateState();
}

void TDataLink::SetBufferCount(int n) {
    n = std::max(1, n);
    if (n == bufferCount_) return;
    bufferCount_ = n;
    if (TDataSet* ds = DataSet()) ds->BufferCountChanged();
    UpdateRange();
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    return active_ && ds ? ds->ActiveRecord() - firstRecord_ : 0;
}

void TDataLink::SetActiveRecord(int index) {
    if (TDataSet* ds = DataSet(); active_ && ds) ds->SetActiveRecord(index + firstRecord_);
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!active_ || !ds) return 0;
    return std::clamp(ds->WindowCount() - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
    // A dataset that cannot be modified is not asked to edit: the control just stays as it is.
    if (!readOnly_ && source_ && DataSet() && DataSet()->Active() && DataSet()->CanModify()) source_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::UpdateRange() {
    TDataSet* ds = DataSet();
    if (!active_ || !ds) {
        firstRecord_ = 0;
        return;
    }
    int active = ds->ActiveRecord();
    int count = ds->WindowCount();
    if (firstRecord_ > count - bufferCount_) firstRecord_ = count - bufferCount_;
    if (active < firstRecord_) firstRecord_ = active;
    if (active >= firstRecord_ + bufferCount_) firstRecord_ = active - bufferCount_ + 1;
    if (firstRecord_ < 0) firstRecord_ = 0;
}

void TDataLink::UpdateState() {
    bool act = source_ && source_->Enabled() && source_->DataSet() && source_->DataSet()->Active();
    if (act != active_) {
        active_ = act;
        firstRecord_ = 0;
        UpdateRange();
        editing_ = false;
        ActiveChanged();
    }
    bool edit = active_ && !readOnly_ && source_->DataSet()->IsEditing();
    if (edit != editing_) {
        editing_ = edit;
        EditingChanged();
    }
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
        UpdateRange();
        DataSetChanged();
        break;
    case deDataSetScroll:
        UpdateRange();
        DataSetScrolled(static_cast<int>(info));
        break;
    case deLayoutChange:
        UpdateRange();
        LayoutChanged();
        break;
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField**>(info)); break;
    default: break;
    }
}

// ---- field links -----------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string& name) {
    if (plat::CompareAnsi(name, fieldName_, false) == 0 && field_) return;
    fieldName_ = name;
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    TField* f = nullptr;
    if (Active() && !fieldName_.empty()) f = DataSet()->FieldByName(fieldName_);
    field_ = f;
    modified_ = false;
    if (OnDataChange) OnDataChange();
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && field_ && field_->CanModify();
}

void TFieldDataLink::Reset() { RecordChanged(nullptr); }

void TFieldDataLink::ActiveChanged() {
    // A closed dataset leaves no field to point at.
    if (Active()) {
        try {
            UpdateField();
        } catch (...) {
            field_ = nullptr;
            throw;
        }
    } else {
        field_ = nullptr;
        modified_ = false;
        if (OnDataChange) OnDataChange();
    }
    if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::FocusControl(TField** field) {
    if (field && *field && *field == field_ && OnFocusControl && OnFocusControl(*field)) *field = nullptr;
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
    if (field == nullptr || field == field_) {
        modified_ = false;
        if (OnDataChange) OnDataChange();
    }
}

void TFieldDataLink::UpdateData() {
    if (modified_) {
        if (field_ && OnUpdateData) OnUpdateData();
        modified_ = false;
    }
}

namespace {
const bool kDataSourcePropsPublished = [] {
    plat::RegisterProperty<TDataSource>(plat::ObjectProperty<TDataSource, TDataSet>(
        "DataSet", [](const TDataSource& s) { return s.DataSet(); },
        [](TDataSource& s, TDataSet* d) { s.SetDataSet(d); }));
    plat::RegisterProperty<TDataSource>(plat::BoolProperty<TDataSource>(
        "AutoEdit", [](const TDataSource& s) { return s.AutoEdit; }, [](TDataSource& s, bool on) { s.AutoEdit = on; }));
    return true;
}();
}  // namespace

}  // namespace db
