// TDataSource connects a dataset to its data links; a link (a control, a
// detail table) hears the dataset's data events as the calls below.
#pragma once

#include "data/dataset.h"

#include <functional>
#include <string>
#include <vector>

namespace db {

class TDataLink;

using TDataChangeEvent = std::function<void(TDataSource*, TField*)>;
using TSourceNotifyEvent = std::function<void(TDataSource*)>;

class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* AOwner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* ds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool AutoEdit = true;
    TDataSetState State() const { return dataSet_ && enabled_ ? dataSet_->State() : dsInactive; }
    // Puts the dataset into edit state when AutoEdit allows it.
    void Edit();

    TSourceNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TSourceNotifyEvent OnUpdateData;

    int LinkCount() const { return static_cast<int>(links_.size()); }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, std::intptr_t info);
    void NotifyLinks(TDataEvent event, std::intptr_t info);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    TDataSetState lastState_ = dsInactive;
    std::vector<TDataLink*> links_;
};

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return source_ ? source_->DataSet() : nullptr; }
    bool Active() const { return active_; }
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);

    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int n);
    // This link's view of the window: the active row counted from the first
    // row it shows, and how many rows it shows.
    int ActiveRecord() const;
    void SetActiveRecord(int index);
    int RecordCount() const;

    // Puts the dataset into edit state; true when it is then editing.
    bool Edit();
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    // `field` is shared by every link that hears the request: a link that
    // takes the focus clears it, so only one control answers.
    virtual void FocusControl(TField** /*field*/) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void DataEvent(TDataEvent event, std::intptr_t info);
    void UpdateState();
    void UpdateRange();

    TDataSource* source_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
    int bufferCount_ = 1;
    int firstRecord_ = 0;
};

// A link to one field of the current record: what a data-aware edit holds.
class TFieldDataLink : public TDataLink {
public:
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    TField* Field() const { return field_; }
    bool CanModify() const;
    // The control's text changed: remember to write it back on UpdateData.
    void Modified() { modified_ = true; }
    bool IsModified() const { return modified_; }
    void Reset();

    std::function<void()> OnDataChange, OnEditingChange, OnUpdateData, OnActiveChange;
    // The owning control's answer to a focus request for its field: true
    // when it took the focus.
    std::function<bool(TField*)> OnFocusControl;
    // The data-aware control that owns this link (nullptr for none).
    TComponent* Control() const { return control_; }
    void SetControl(TComponent* control) { control_ = control; }

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField** field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    std::string fieldName_;
    TField* field_ = nullptr;
    TComponent* control_ = nullptr;
    bool modified_ = false;
};

}  // namespace db
