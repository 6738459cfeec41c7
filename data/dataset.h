// TDataSet: a window of record buffers over a cursor, the dataset states,
// navigation, editing with its before/after events, calculated fields and
// record filtering, and the data events that data sources pass to links.
// A move reads only the rows that enter the window, into the row it pushes
// out; bookmarks, BLOBs and (without calculated fields) a stepped-in row's
// values are made only when asked for, so walking a table costs little more
// than the bare cursor walk (bench_dataset_walk measures it against one).
#pragma once

#include "data/data_cursor.h"
#include "data/db_errors.h"
#include "data/record_window.h"
#include "platform/core/component.h"
#include "data/fields.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

class TDataSource;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter };
enum TDataEvent {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
    deUpdateRecord, deUpdateState, deCheckBrowseMode, deFocusControl
};

using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;
using TBookmark = std::string;  // opaque bytes from the cursor

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* AOwner);
    ~TDataSet() override;

    TDataSetState State() const { return state_; }
    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool on);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    // No record to show: Bof and Eof are both true on a one-record dataset
    // after Next, so they do not tell.
    bool IsEmpty() const { return window_.Empty(); }
    bool Modified() const { return modified_; }
    // A record is being changed: the active buffer holds what Post writes
    // and Cancel drops. Set-key is not editing: its buffer is a search key,
    // and a value written there never reaches the table.
    bool IsEditing() const { return state_ == dsEdit || state_ == dsInsert; }
    bool CanModify() const { return !readOnly_; }

    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);

    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    // Posts a modified record, cancels an unmodified one.
    void CheckBrowseMode();
    // Asks the links (the controls) to write what they hold into the fields.
    void UpdateRecord();

    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    bool BookmarkValid(const TBookmark& bookmark);
    int CompareBookmarks(const TBookmark& a, const TBookmark& b);
    int RecordCount();

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    bool Filtered() const { return filtered_; }
    void SetFiltered(bool on);
    bool AutoCalcFields = true;

    TFieldDefs& FieldDefs() { return fieldDefs_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int i) const { return fields_.at(i); }
    TField* FindField(const std::string& name) const;
    // Raises EDatabaseError "<name>: Field '<field>' not found" when missing.
    TField* FieldByName(const std::string& name) const;
    TField* FieldByNumber(int fieldNo) const;
    std::vector<std::string> GetFieldNames() const;
    // Values by field name. A field this dataset lacks reads as an empty one:
    // "" or `fallback`, as a null field does (and, for FieldInt, text that is
    // not a whole number). Writing to a field it lacks raises EDatabaseError
    // as FieldByName does: the value would otherwise be lost without a word.
    std::string FieldStr(const std::string& name) const;
    std::int64_t FieldInt(const std::string& name, std::int64_t fallback = 0) const;
    void SetFieldStr(const std::string& name, const std::string& value);
    void SetFieldInt(const std::string& name, std::int64_t value);
    void ClearField(const std::string& name);
    // Takes a persistent field (calculated, lookup or a chosen subset); the
    // dataset must be closed.
    TField* AddField(std::unique_ptr<TField> field);
    // True while the fields are the ones made from the field definitions
    // (no persistent fields were given).
    bool DefaultFields() const { return !persistentFields_; }
    std::unique_ptr<plat::Stream> CreateBlobStream(TField* field, TBlobStreamMode mode);

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;

    // The buffer window, for data links.
    int ActiveRecord() const { return activeRecord_; }
    int BufferCount() const { return bufferCount_; }
    int WindowCount() const { return window_.Count(); }
    // Points the fields at another row of the window (grids draw this way);
    // callers put it back.
    void SetActiveRecord(int index);

    // The engine's cursor and database handles and record size, for code
    // that calls the entry points on this dataset's cursor (0 when closed).
    // Code that calls the entry points itself may move the cursor; every
    // row's bookmark is known first, so the dataset can find its place again.
    std::uint32_t Handle() const { return cursor_ ? HandOutCursor()->Handle() : 0; }
    std::uint32_t DBHandle() const { return cursor_ ? cursor_->DatabaseHandle() : 0; }
    std::uint32_t RecordSize() const { return cursor_ ? cursor_->RecordSize() : 0; }
    // The cursor's handle standing on the active record, for entry-point
    // calls that only read where it stands (sequence number, record count)
    // and leave it there: unlike Handle(), no row's bookmark is fetched and
    // the dataset keeps knowing where its cursor is. 0 when closed, empty or
    // inserting (the active record is not in the table then).
    std::uint32_t HandleOnActiveRecord() const;
    // Puts the cursor on the active record (direct entry-point calls may move it).
    void UpdateCursorPos();
    // Reads the window again around the active record, e.g. after filters
    // were changed directly on the cursor.
    void Resync();
    // Shows the record that direct entry-point calls moved the cursor to,
    // centred in the window (a search that stepped the cursor itself).
    void ShowCursorRecord() {
        DoBeforeScroll();
        SyncToCursor();
    }

    // Field storage, for TField.
    const TValue* FieldSlot(const TField* field) const;
    void SetFieldSlot(TField* field, const TValue& value);
    void DataEvent(TDataEvent event, std::intptr_t info);

protected:
    // The kinds open their cursor here; an exception, or no cursor (a
    // statement without an answer), leaves the dataset closed.
    virtual std::unique_ptr<TDataCursor> CreateCursor() = 0;
    virtual void OpenCursorDone() {}
    virtual void CloseCursorStarting() {}
    // After OnNewRecord's defaults: a detail table fills its link fields.
    virtual void InitNewRecord() {}
    // The steps a kind may extend: before a post (after BeforePost) and the
    // calculation of a record's calculated fields (runs OnCalcFields).
    virtual void DoBeforePost() { DoEvent(BeforePost); }
    virtual void DoOnCalcFields() { if (OnCalcFields) OnCalcFields(this); }
    void DoOnNewRecord();
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TDataCursor* Cursor() const { return cursor_ ? HandOutCursor() : nullptr; }
    void SetState(TDataSetState s);
    void SetReadOnly(bool on) { readOnly_ = on; }
    void CheckActive() const;
    void CheckBrowseState();
    // Rebuilds the window around the cursor's current record, which lands at
    // `hint` when enough rows lie on either side.
    void FillWindow(int hint);
    void ClearWindow();
    // After the cursor lost its record: the next one, else the previous, else none.
    void ResyncFromCrack(int hint);
    void ReadFirst();
    TRecord BlankRecord() const;
    void CalculateFields(TRecord& record);
    void InstallFilter();
    // A kind's own record filter besides OnFilterRecord: both reach the cursor
    // as one callback. It sees the record under test through the fields and
    // answers whether to show it; on an open dataset it is installed at once.
    void SetRecordCallback(std::function<bool()> callback);
    bool HasRecordCallback() const { return static_cast<bool>(recordCallback_); }
    // Asks for the window to be read again once the read under way is done: a
    // record callback may not move the cursor that is calling it.
    void RequestResync() { resyncWanted_ = true; }
    void ResyncIfWanted();
    // A record buffer for the set-key state, owned by the subclass.
    void SetKeyBuffer(TRecord* rec) { keyRec_ = rec; }
    bool HasCalcFields() const;
    void DoBeforeScroll() { DoEvent(BeforeScroll); }
    // The cursor was moved by a search: show its record, or on a crack the
    // nearest one.
    void SyncToCursor();
    // Puts the cursor back on the active record after a failed search.
    void ReturnToActive();

private:
    friend class TDataSource;
    friend class TDataLink;
    friend class TField;
    void DoEvent(const TDataSetNotifyEvent& e) { if (e) e(this); }
    void CreateFields();
    void UpdateBufferCount();
    void BufferCountChanged();
    void AddDataSource(TDataSource* ds);
    void RemoveDataSource(TDataSource* ds);
    void CheckRequiredFields();
    TRecord PhysicalPart(const TRecord& rec) const;
    // The window's rows go in and out with their bookmarks and the BLOB slots
    // not read yet (`fromCursor`: a row just read, whose BLOBs the cursor
    // may have deferred).
    void PutRow(int at, TRecord rec, std::string bookmark, bool fromCursor);
    void MarkBlobsUnread(TWindowRow& row, bool fromCursor) const;
    // A window row's values, filled from the cursor's bytes the first time.
    TRecord& Decoded(int row) const;
    void DropRow(int at);
    // Reads the row beyond the window's first (step -1) or last (+1) row,
    // which is the active one, and shifts the window by it; false at the end.
    bool StepBeyondEdge(int step);
    // Reads a deferred BLOB of a window row; the cursor stays where it was.
    void LoadBlob(int row, int slot) const;
    // Rows that entered the window by a step have no bookmark until one is
    // needed: the cursor then goes to the row (by its bookmark, else by
    // steps from where it stands) and asks.
    void PositionOn(int row) const;
    const std::string& BookmarkOf(int row) const;
    void EnsureAllBookmarks() const;
    TDataCursor* HandOutCursor() const;
    void CalculateWindowRow(int row);
    // Asserts the window's invariants; `settled`: a fill or step has just
    // ended, so the active record is checked too.
    void CheckWindow(bool settled) const;
    // A record just read is the one the window shows (BLOBs aside).
    bool SameRow(const TRecord& read, const TRecord& shown) const;

    TDataSetState state_ = dsInactive;
    std::unique_ptr<TDataCursor> cursor_;
    TFieldDefs fieldDefs_;
    std::vector<TField*> fields_;            // in display order
    std::vector<std::unique_ptr<TField>> ownedFields_;
    bool persistentFields_ = false;
    int slotCount_ = 0;
    int physicalCount_ = 0;
    bool hasCalcFields_ = false;  // known from the open on

    // The window. The cursor stands on the active row between calls. Rows
    // are filled in on demand with the BLOBs a deferring cursor left out, so
    // reading a field may write the window: hence mutable.
    // Invariants (CheckWindow): cursorRow_ is -1 or a row; after a fill or
    // a step the active record is a row (0 in an empty window); a fill reads
    // at most bufferCount_ rows.
    mutable TRecordWindow window_;
    mutable int cursorRow_ = -1;  // the window row the cursor stands on; -1: unknown
    TRecord stepRec_;  // a step reads into it; it takes the storage of the row pushed out
    std::vector<std::uint8_t> stepRaw_;  // the same for a step that keeps the cursor's bytes
    std::vector<int> blobSlots_;
    int activeRecord_ = 0;
    int bufferCount_ = 1;
    bool bof_ = true, eof_ = true;
    bool modified_ = false;
    bool readOnly_ = false;
    bool filtered_ = false;
    int disableCount_ = 0;
    bool pendingChange_ = false;
    TDataSetState disabledState_ = dsInactive;
    std::string beforeInsertBm_;
    int beforeInsertActive_ = 0;

    TRecord* calcRec_ = nullptr;
    const TRecord* filterRec_ = nullptr;
    TRecord* keyRec_ = nullptr;
    std::vector<TDataSource*> sources_;
    std::function<bool()> recordCallback_;
    bool resyncWanted_ = false;
};

}  // namespace db
