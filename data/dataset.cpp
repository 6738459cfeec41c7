#include "data/dataset.h"

#include "platform/core/codepage.h"
#include "data/data_source.h"
#include "data/db_errors.h"
#include "platform/core/check.h"
#include "platform/core/exceptions.h"
#include "platform/win/message_queue.h"

#include <algorithm>
#include <mutex>

namespace db {

void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

namespace {
std::mutex adviceLock;
std::string& Advice() {
    static std::string advice;
    return advice;
}

// The engine's own texts name no table and read like internal faults.
const char* DamageWords(std::uint16_t code) {
    switch (code) {
        case 9992: return "its header is not that of a table";
        case 11896: return "a text or picture stored in it cannot be read";
        case 15366: return "it cannot be read from the disk";
        case 15367: return "it ends before its last page (the file was cut short)";
        case 15409: return "it refers to a page past its end";
        case 15412: return "it refers to a row that is not there";
        case 15413: return "a page of its rows is damaged";
        case 15421: case 15422: return "a page of its stored texts is damaged";
        case 15424: case 15427: return "a page of one of its indexes is damaged";
        case 15431: return "its list of free pages is damaged";
        case 15432: return "its list of fields is damaged";
        default: return nullptr;
    }
}

}  // namespace

void SetDamagedTableAdvice(const std::string& advice) {
    std::lock_guard<std::mutex> g(adviceLock);
    Advice() = advice;
}

bool IsDamagedTableError(std::uint16_t code) { return DamageWords(code) != nullptr; }

void RaiseTableError(std::uint16_t code, const std::string& engineText, const std::string& table) {
    const char* why = DamageWords(code);
    if (!why || table.empty()) throw EDBEngineError(code, engineText);
    std::string text = "The table " + table + " is damaged: " + why + ".";
    std::string advice;
    {
        std::lock_guard<std::mutex> g(adviceLock);
        advice = Advice();
    }
    if (!advice.empty()) text += " " + advice;
    throw EDBEngineError(code, text, table);
}

void Abort() { throw plat::EAbort("Operation aborted"); }

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet() {
    // Sources outlive nothing of ours: drop them first so they stop calling in.
    for (TDataSource* ds : std::vector<TDataSource*>(sources_)) ds->SetDataSet(nullptr);
    cursor_.reset();
    for (TField* f : fields_) f->dataSet_ = nullptr;
}

void TDataSet::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    for (TField* f : fields_)
        if (f->LookupDataSet == AComponent) f->LookupDataSet = nullptr;
}

void TDataSet::CheckActive() const {
    if (state_ == dsInactive) DatabaseError("Cannot perform this operation on a closed dataset");
}

// ---- fields ----------------------------------------------------------------

TField* TDataSet::AddField(std::unique_ptr<TField> field) {
    if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
    if (FindField(field->FieldName)) DatabaseError("Duplicate field name '" + field->FieldName + "'");
    TField* f = field.get();
    f->dataSet_ = this;
    ownedFields_.push_back(std::move(field));
    fields_.push_back(f);
    persistentFields_ = true;
    return f;
}

void TField::SetDataSet(TDataSet* ds) {
    if (ds == dataSet_) return;
    if (dataSet_) DatabaseError("Field '" + FieldName + "' already belongs to a dataset");
    if (ds->Active()) DatabaseError("Cannot perform this operation on an open dataset");
    dataSet_ = ds;
    ds->fields_.push_back(this);
    ds->persistentFields_ = true;
}

TField::~TField() {
    if (dataSet_) {
        auto& v = dataSet_->fields_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

void TField::SetIndex(int index) {
    if (!dataSet_) return;
    auto& v = dataSet_->fields_;
    int cur = Index();
    index = std::clamp(index, 0, static_cast<int>(v.size()) - 1);
    v.erase(v.begin() + cur);
    v.insert(v.begin() + index, this);
    dataSet_->DataEvent(deLayoutChange, 0);
}

void TField::FocusControl() {
    // The links share one slot; the control that takes the focus empties it.
    TField* slot = this;
    if (dataSet_) dataSet_->DataEvent(deFocusControl, reinterpret_cast<std::intptr_t>(&slot));
}

std::unique_ptr<plat::Stream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    auto* blob = dynamic_cast<TBlobField*>(field);
    if (!blob) DatabaseError("Field '" + (field ? field->FieldName : std::string()) + "' is not a BLOB field");
    return std::make_unique<TBlobStream>(blob, mode);
}

TField* TDataSet::FindField(const std::string& name) const {
    for (TField* f : fields_)
        if (plat::CompareAnsi(f->FieldName, name, true) == 0) return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) DatabaseError(Name() + (Name().empty() ? "" : ": ") + "Field '" + name + "' not found");
    return f;
}

TField* TDataSet::FieldByNumber(int fieldNo) const {
    for (TField* f : fields_)
        if (f->FieldNo() == fieldNo && fieldNo > 0) return f;
    return nullptr;
}

std::vector<std::string> TDataSet::GetFieldNames() const {
    std::vector<std::string> out;
    for (TField* f : fields_) out.push_back(f->FieldName);
    return out;
}

std::string TDataSet::FieldStr(const std::string& name) const {
    const TField* f = FindField(name);
    return f ? f->AsString() : std::string();
}

std::int64_t TDataSet::FieldInt(const std::string& name, std::int64_t fallback) const {
    const TField* f = FindField(name);
    if (!f || f->IsNull()) return fallback;
    try {
        return f->AsInteger();
    } catch (const plat::EConvertError&) {
        return fallback;
    }
}

void TDataSet::SetFieldStr(const std::string& name, const std::string& value) { FieldByName(name)->SetAsString(value); }
void TDataSet::SetFieldInt(const std::string& name, std::int64_t value) { FieldByName(name)->SetAsInteger(value); }
void TDataSet::ClearField(const std::string& name) { FieldByName(name)->Clear(); }

bool TDataSet::HasCalcFields() const {
    if (cursor_) return hasCalcFields_;
    for (TField* f : fields_)
        if (f->Calculated()) return true;
    return false;
}

void TDataSet::CreateFields() {
    physicalCount_ = fieldDefs_.Count();
    if (!persistentFields_) {
        for (TField* f : fields_) f->dataSet_ = nullptr;
        fields_.clear();
        ownedFields_.clear();
        for (const TFieldDef& d : fieldDefs_.List()) {
            std::unique_ptr<TField> f = CreateFieldOfType(d.DataType);
            f->FieldName = d.Name;
            f->Size = d.Size;
            f->Required = d.Required;
            f->dataSet_ = this;
            fields_.push_back(f.get());
            ownedFields_.push_back(std::move(f));
        }
        persistentFields_ = false;
    }
    int nextSlot = physicalCount_;
    for (TField* f : fields_) {
        if (f->FieldKind == fkLookup && f->LookupDataSet) FreeNotification(f->LookupDataSet);
        if (f->FieldKind != fkData) {
            f->slot_ = nextSlot++;
            f->fieldNo_ = -1;
            continue;
        }
        const TFieldDef* d = fieldDefs_.Find(f->FieldName);
        if (!d) DatabaseError(Name() + ": Field '" + f->FieldName + "' not found");
        if (!persistentFields_ || f->DataType() == d->DataType || CreateFieldOfType(d->DataType)->DataType() == f->DataType()) {
            f->slot_ = d->FieldNo - 1;
            f->fieldNo_ = d->FieldNo;
        }
        if (persistentFields_ && f->DataType() != d->DataType)
            DatabaseError("Type mismatch for field '" + f->FieldName + "'");
    }
    slotCount_ = nextSlot;
    hasCalcFields_ = false;
    for (TField* f : fields_) hasCalcFields_ = hasCalcFields_ || f->Calculated();
    blobSlots_.clear();
    for (const TFieldDef& d : fieldDefs_.List())
        if (d.DataType == ftBlob || d.DataType == ftMemo || d.DataType == ftGraphic) blobSlots_.push_back(d.FieldNo - 1);
}

const TValue* TDataSet::FieldSlot(const TField* field) const {
    const TRecord* rec = nullptr;
    int row = -1;  // the window row `rec` is, if any
    switch (state_) {
    case dsCalcFields:
        rec = calcRec_;
        row = window_.IndexOf(rec);
        if (row >= 0) Decoded(row);
        break;
    case dsFilter: rec = filterRec_; break;
    case dsSetKey: rec = keyRec_; break;
    default:
        // The fields show the active row, which is a row of the window.
        TAVRIN_ASSERT(window_.Empty() || (activeRecord_ >= 0 && activeRecord_ < WindowCount()));
        if (!window_.Empty()) {
            row = activeRecord_;
            rec = &Decoded(row);
        }
    }
    if (!rec || field->slot_ < 0 || field->slot_ >= static_cast<int>(rec->size())) return nullptr;
    // A row of the window (also one whose calculated fields are being
    // worked out) may still lack a BLOB: read it now that it is asked for.
    if (row >= 0 && !window_[row].lazy.empty()) LoadBlob(row, field->slot_);
    return &(*rec)[field->slot_];
}

void TDataSet::LoadBlob(int row, int slot) const {
    TAVRIN_ASSERT(row >= 0 && row < WindowCount());
    std::vector<int>& pending = window_[row].lazy;
    if (std::find(pending.begin(), pending.end(), slot) == pending.end()) return;
    // A repaint served while an engine call waits for its reply must not
    // move the cursor under that call (nor start a second exchange inside
    // the first, which would take the first one's reply): the BLOB stays
    // unread, and the repaint that follows the call reads it.
    if (plat::ServingWhileWaiting()) {
        plat::DeferRepaint();
        return;
    }
    const std::string bm = BookmarkOf(row);
    cursorRow_ = -1;
    TValue v = cursor_->FetchBlob(bm, slot);
    cursorRow_ = row;
    Decoded(row)[slot] = std::move(v);
    pending.erase(std::find(pending.begin(), pending.end(), slot));
}

void TDataSet::PositionOn(int row) const {
    TAVRIN_ASSERT(row >= 0 && row < WindowCount());
    if (cursorRow_ == row) return;
    if (!window_[row].bookmark.empty()) {
        cursorRow_ = -1;
        if (cursor_->SetToBookmark(window_[row].bookmark)) cursorRow_ = row;
        return;
    }
    // Without a bookmark the row is found by steps from a row the cursor can
    // reach; rows without one exist only while the cursor's row is known.
    if (cursorRow_ < 0) {
        for (int k = 0; k < WindowCount() && cursorRow_ < 0; ++k)
            if (!window_[k].bookmark.empty() && cursor_->SetToBookmark(window_[k].bookmark)) cursorRow_ = k;
        if (cursorRow_ < 0) DatabaseError("Record not found");
    }
    TRecord r;
    // Each step must land on the row the window shows there; another user's
    // insert or delete in between means the window no longer fits the table.
    while (cursorRow_ != row) {
        const int next = cursorRow_ + (cursorRow_ < row ? 1 : -1);
        if (!(cursorRow_ < row ? cursor_->GetNext(r) : cursor_->GetPrior(r)) || !SameRow(r, Decoded(next))) {
            cursorRow_ = -1;
            DatabaseError("Record has been changed by another user");
        }
        cursorRow_ = next;
    }
}

bool TDataSet::SameRow(const TRecord& read, const TRecord& shown) const {
    for (int i = 0; i < physicalCount_ && i < static_cast<int>(read.size()) && i < static_cast<int>(shown.size()); ++i)
        if (std::find(blobSlots_.begin(), blobSlots_.end(), i) == blobSlots_.end() && !(read[i] == shown[i])) return false;
    return true;
}

const std::string& TDataSet::BookmarkOf(int row) const {
    if (window_[row].bookmark.empty()) {
        PositionOn(row);
        // The cursor stands on the row asked about before its bookmark is taken.
        TAVRIN_ASSERT(cursorRow_ == row);
        window_[row].bookmark = cursor_->GetBookmark();
    }
    return window_[row].bookmark;
}

void TDataSet::EnsureAllBookmarks() const {
    if (state_ == dsInactive || state_ == dsInsert) return;
    const int active = cursorRow_;
    bool missing = false;
    for (int k = 0; k < WindowCount(); ++k) missing = missing || window_[k].bookmark.empty();
    if (!missing) return;
    for (int k = 0; k < WindowCount(); ++k) BookmarkOf(k);
    if (active >= 0) PositionOn(active);
}

TDataCursor* TDataSet::HandOutCursor() const {
    EnsureAllBookmarks();
    // Whoever gets the cursor may move it.
    cursorRow_ = -1;
    return cursor_.get();
}

void TDataSet::SetFieldSlot(TField* field, const TValue& value) {
    TRecord* rec = nullptr;
    switch (state_) {
    case dsCalcFields:
        if (!field->Calculated())
            DatabaseError("Field '" + field->FieldName + "' cannot be modified");
        rec = calcRec_;
        break;
    case dsSetKey: rec = keyRec_; break;
    case dsEdit:
    case dsInsert:
        if (field->ReadOnly && !field->Calculated())
            DatabaseError("Field '" + field->DisplayName() + "' cannot be modified");
        rec = window_.Empty() ? nullptr : &Decoded(activeRecord_);
        break;
    default:
        DatabaseError("Dataset not in edit or insert mode");
    }
    if (!rec || field->slot_ < 0 || field->slot_ >= static_cast<int>(rec->size()))
        DatabaseError("Field '" + field->FieldName + "' has no value here");
    TValue old = (*rec)[field->slot_];
    (*rec)[field->slot_] = value;
    if (field->OnValidate && state_ != dsCalcFields) {
        try {
            field->OnValidate(field);
        } catch (...) {
            (*rec)[field->slot_] = old;
            throw;
        }
    }
    if (state_ == dsEdit || state_ == dsInsert) {
        modified_ = true;
        if (AutoCalcFields && !field->Calculated() && HasCalcFields()) CalculateFields(*rec);
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
        if (field->OnChange) field->OnChange(field);
    }
}

TRecord TDataSet::BlankRecord() const { return TRecord(static_cast<std::size_t>(slotCount_)); }

TRecord TDataSet::PhysicalPart(const TRecord& rec) const {
    return TRecord(rec.begin(), rec.begin() + std::min<std::size_t>(rec.size(), physicalCount_));
}

void TDataSet::CalculateFields(TRecord& record) {
    if (!HasCalcFields()) return;
    record.resize(slotCount_);
    for (TField* f : fields_)
        if (f->Calculated()) record[f->slot_] = TValue{};
    TDataSetState saved = state_;
    TRecord* savedRec = calcRec_;
    state_ = dsCalcFields;
    calcRec_ = &record;
    try {
        for (TField* f : fields_) {
            if (f->FieldKind != fkLookup || !f->LookupDataSet || !f->LookupDataSet->Active()) continue;
            std::vector<std::string> keys = SplitFieldNames(f->KeyFields);
            std::vector<std::string> lkeys = SplitFieldNames(f->LookupKeyFields);
            if (keys.empty() || keys.size() != lkeys.size()) continue;
            std::vector<TValue> want;
            for (const std::string& k : keys) want.push_back(FieldByName(k)->Value());
            // Scans the lookup dataset's visible rows and puts its position back.
            TDataSet* l = f->LookupDataSet;
            TBookmark bm = l->GetBookmark();
            l->DisableControls();
            try {
                for (l->First(); !l->Eof(); l->Next()) {
                    bool match = true;
                    for (std::size_t i = 0; i < lkeys.size() && match; ++i)
                        match = l->FieldByName(lkeys[i])->Value() == want[i];
                    if (match) {
                        record[f->slot_] = l->FieldByName(f->LookupResultField)->Value();
                        break;
                    }
                }
                if (!bm.empty()) l->GotoBookmark(bm);
            } catch (...) {
                l->EnableControls();
                throw;
            }
            l->EnableControls();
        }
        DoOnCalcFields();
    } catch (...) {
        state_ = saved;
        calcRec_ = savedRec;
        throw;
    }
    state_ = saved;
    calcRec_ = savedRec;
}

// ---- opening and closing ---------------------------------------------------

void TDataSet::SetActive(bool on) {
    if (on == Active()) return;
    if (on) {
        DoEvent(BeforeOpen);
        std::unique_ptr<TDataCursor> c = CreateCursor();
        if (!c) return;  // a statement that answers nothing: the dataset stays closed
        cursor_ = std::move(c);
        try {
            fieldDefs_.Assign(cursor_->FieldDefs());
            CreateFields();
            // Walking a table reads no BLOB; a field or stream that wants one asks.
            cursor_->SetDeferBlobs(true);
            UpdateBufferCount();
            state_ = dsBrowse;
            if (filtered_ || recordCallback_) InstallFilter();
            OpenCursorDone();
            ReadFirst();
        } catch (...) {
            cursor_.reset();
            state_ = dsInactive;
            ClearWindow();
            throw;
        }
        state_ = dsInactive;
        SetState(dsBrowse);
        DoEvent(AfterOpen);
        DoEvent(AfterScroll);
    } else {
        DoEvent(BeforeClose);
        if (state_ == dsEdit || state_ == dsInsert || state_ == dsSetKey) state_ = dsBrowse;
        CloseCursorStarting();
        cursor_.reset();
        ClearWindow();
        SetState(dsInactive);
        DoEvent(AfterClose);
    }
}

void TDataSet::SetState(TDataSetState s) {
    if (state_ == s) return;
    state_ = s;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

// ---- the window ------------------------------------------------------------

void TDataSet::UpdateBufferCount() {
    int n = 1;
    for (TDataSource* ds : sources_)
        for (TDataLink* l : ds->links_) n = std::max(n, l->BufferCount());
    bufferCount_ = n;
}

void TDataSet::BufferCountChanged() {
    int old = bufferCount_;
    UpdateBufferCount();
    if (old == bufferCount_ || state_ != dsBrowse || window_.Empty()) return;
    PositionOn(activeRecord_);
    FillWindow(activeRecord_);
    DataEvent(deDataSetChange, 0);
}

void TDataSet::FillWindow(int hint) {
    window_.Clear();
    cursorRow_ = -1;
    activeRecord_ = 0;
    TRecord cur;
    if (!cursor_->GetCurrent(cur)) return;
    std::string curBm = cursor_->GetBookmark();
    hint = std::clamp(hint, 0, bufferCount_ - 1);
    std::vector<TRecord> before, after;
    std::vector<std::string> beforeBm, afterBm;
    TRecord r;
    bool away = false;  // the cursor has left the current row
    auto full = [&] { return 1 + static_cast<int>(before.size() + after.size()) >= bufferCount_; };
    while (static_cast<int>(before.size()) < hint) {
        away = true;
        if (!cursor_->GetPrior(r)) break;
        before.push_back(r);
        beforeBm.push_back(cursor_->GetBookmark());
    }
    if (away) cursor_->SetToBookmark(curBm);
    while (!full()) {
        away = true;
        if (!cursor_->GetNext(r)) break;
        after.push_back(r);
        afterBm.push_back(cursor_->GetBookmark());
    }
    // Near the end the window keeps itself full with earlier rows.
    if (!full() && static_cast<int>(before.size()) == hint) {
        cursor_->SetToBookmark(before.empty() ? curBm : beforeBm.back());
        while (!full() && cursor_->GetPrior(r)) {
            before.push_back(r);
            beforeBm.push_back(cursor_->GetBookmark());
        }
    }
    for (int i = static_cast<int>(before.size()) - 1; i >= 0; --i)
        PutRow(WindowCount(), std::move(before[i]), std::move(beforeBm[i]), true);
    activeRecord_ = WindowCount();
    PutRow(WindowCount(), std::move(cur), curBm, true);
    for (std::size_t i = 0; i < after.size(); ++i) PutRow(WindowCount(), std::move(after[i]), std::move(afterBm[i]), true);
    // The cursor stands on the active row, as every move leaves it.
    if (away) cursor_->SetToBookmark(curBm);
    cursorRow_ = activeRecord_;
    CheckWindow(true);
    TAVRIN_ASSERT(WindowCount() <= bufferCount_);
    for (int i = 0; i < WindowCount(); ++i) CalculateWindowRow(i);
    ResyncIfWanted();
}

void TDataSet::ResyncIfWanted() {
    if (!resyncWanted_) return;
    // A record callback switched itself off during the reads: the window may
    // lack rows it hid; read it again around the same row.
    resyncWanted_ = false;
    PositionOn(activeRecord_);
    FillWindow(activeRecord_);
}

void TDataSet::PutRow(int at, TRecord rec, std::string bookmark, bool fromCursor) {
    TAVRIN_ASSERT(at >= 0 && at <= WindowCount());
    if (cursorRow_ >= at) ++cursorRow_;
    TWindowRow& row = window_.InsertAt(at);
    row.rec = std::move(rec);
    row.rec.resize(slotCount_);
    row.undecoded = false;
    row.bookmark = std::move(bookmark);
    MarkBlobsUnread(row, fromCursor);
    CheckWindow(false);
}

void TDataSet::MarkBlobsUnread(TWindowRow& row, bool fromCursor) const {
    if (fromCursor && cursor_ && cursor_->DefersBlobs()) row.lazy.assign(blobSlots_.begin(), blobSlots_.end());
    else row.lazy.clear();
}

void TDataSet::DropRow(int at) {
    TAVRIN_ASSERT(at >= 0 && at < WindowCount());
    if (cursorRow_ == at) cursorRow_ = -1;
    else if (cursorRow_ > at) --cursorRow_;
    window_.EraseAt(at);
    CheckWindow(false);
}

void TDataSet::CheckWindow(bool settled) const {
    TAVRIN_ASSERT(cursorRow_ >= -1 && cursorRow_ < WindowCount());
    if (settled) TAVRIN_ASSERT(activeRecord_ >= 0 && activeRecord_ < std::max(1, WindowCount()));
#if TAVRIN_ASSERTIONS_ON
    // Only the BLOB fields of a row can wait to be read, each once.
    for (int r = 0; r < WindowCount(); ++r) {
        const std::vector<int>& pending = window_[r].lazy;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            TAVRIN_ASSERT(std::find(blobSlots_.begin(), blobSlots_.end(), pending[i]) != blobSlots_.end());
            TAVRIN_ASSERT(std::find(pending.begin() + static_cast<std::ptrdiff_t>(i) + 1, pending.end(), pending[i]) ==
                          pending.end());
        }
    }
#endif
}

void TDataSet::CalculateWindowRow(int row) {
    if (HasCalcFields()) CalculateFields(Decoded(row));
}

TRecord& TDataSet::Decoded(int row) const {
    TWindowRow& r = window_[row];
    if (r.undecoded) {
        cursor_->Decode(r.raw, r.rec);
        r.rec.resize(slotCount_);
        r.undecoded = false;
    }
    return r.rec;
}

bool TDataSet::StepBeyondEdge(int step) {
    PositionOn(activeRecord_);
    cursorRow_ = -1;
    // Without calculated fields nothing needs the row's values yet: the
    // cursor's bytes are kept and turned into values when a field is read.
    const bool undecoded = !HasCalcFields() && cursor_->StepsUndecoded();
    const bool got = undecoded ? (step > 0 ? cursor_->GetNextUndecoded(stepRaw_) : cursor_->GetPriorUndecoded(stepRaw_))
                               : (step > 0 ? cursor_->GetNext(stepRec_) : cursor_->GetPrior(stepRec_));
    if (!got) return false;
    // A full window hands the row it pushes out to the row read; the old
    // row's storage goes back to stepRec_ / stepRaw_ for the next read.
    TWindowRow* row = nullptr;
    if (WindowCount() >= bufferCount_) {
        while (WindowCount() > bufferCount_) DropRow(step > 0 ? 0 : WindowCount() - 1);
        row = step > 0 ? &window_.RecycleFrontAsBack() : &window_.RecycleBackAsFront();
    } else {
        row = &window_.InsertAt(step > 0 ? WindowCount() : 0);
    }
    if (undecoded) {
        std::swap(row->raw, stepRaw_);
    } else {
        std::swap(row->rec, stepRec_);
        if (static_cast<int>(row->rec.size()) != slotCount_) row->rec.resize(slotCount_);
    }
    row->undecoded = undecoded;
    // Its bookmark is asked for only when someone needs it.
    row->bookmark.clear();
    MarkBlobsUnread(*row, true);
    activeRecord_ = step > 0 ? WindowCount() - 1 : 0;
    cursorRow_ = activeRecord_;
    CheckWindow(true);
    CalculateWindowRow(activeRecord_);
    ResyncIfWanted();
    return true;
}

// No visible rows: the dataset stands at both ends.
void TDataSet::ClearWindow() {
    window_.Clear();
    cursorRow_ = -1;
    activeRecord_ = 0;
    bof_ = eof_ = true;
}

void TDataSet::ResyncFromCrack(int hint) {
    TRecord r;
    if (cursor_->GetNext(r)) {
        FillWindow(hint);
        eof_ = false;
    } else if (cursor_->GetPrior(r)) {
        FillWindow(hint);
        eof_ = true;
    } else {
        ClearWindow();
    }
}

void TDataSet::SyncToCursor() {
    TRecord r;
    if (cursor_->GetCurrent(r)) {
        FillWindow(bufferCount_ / 2);
        bof_ = eof_ = false;
    } else {
        ResyncFromCrack(bufferCount_ / 2);
    }
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

void TDataSet::ReturnToActive() {
    if (!window_.Empty()) {
        // The bookmark first: a row without one is found from where the cursor stands.
        const std::string bm = BookmarkOf(activeRecord_);
        cursorRow_ = -1;
        if (cursor_->SetToBookmark(bm)) cursorRow_ = activeRecord_;
    }
}

void TDataSet::ReadFirst() {
    cursor_->SetToBegin();
    TRecord r;
    if (cursor_->GetNext(r)) {
        FillWindow(0);
        bof_ = true;
        eof_ = false;
    } else {
        ClearWindow();
    }
}

std::uint32_t TDataSet::HandleOnActiveRecord() const {
    if (!cursor_ || state_ == dsInactive || state_ == dsInsert || window_.Empty()) return 0;
    PositionOn(activeRecord_);
    return cursorRow_ == activeRecord_ ? cursor_->Handle() : 0;
}

void TDataSet::UpdateCursorPos() {
    CheckActive();
    if (!window_.Empty() && state_ != dsInsert) {
        // The bookmark first: a row without one is found from where the cursor stands.
        const std::string bm = BookmarkOf(activeRecord_);
        cursorRow_ = -1;
        if (cursor_->SetToBookmark(bm)) cursorRow_ = activeRecord_;
    }
}

void TDataSet::Resync() {
    CheckActive();
    if (!window_.Empty() && state_ != dsInsert && cursor_->SetToBookmark(BookmarkOf(activeRecord_)))
        FillWindow(activeRecord_);
    else
        ReadFirst();
    DataEvent(deDataSetChange, 0);
}

void TDataSet::SetActiveRecord(int index) {
    if (index >= 0 && index < WindowCount()) activeRecord_ = index;
}

// ---- navigation ------------------------------------------------------------

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_) Post(); else Cancel();
        break;
    case dsSetKey: Cancel(); break;
    default: break;
    }
}

void TDataSet::CheckBrowseState() { CheckBrowseMode(); }

void TDataSet::First() {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    ReadFirst();
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    cursor_->SetToEnd();
    TRecord r;
    if (cursor_->GetPrior(r)) {
        FillWindow(bufferCount_ - 1);
        bof_ = false;
        eof_ = true;
    } else {
        ClearWindow();
    }
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (distance == 0 || window_.Empty()) {
        if (distance > 0) eof_ = true;
        if (distance < 0) bof_ = true;
        return 0;
    }
    if ((distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    DoEvent(BeforeScroll);
    // The cursor goes along one row per step, so it stands on the active row
    // after the move. Inside the window that is all; at its edge the row read
    // enters the window and the window shifts by it. Nothing else is read.
    const int step = distance > 0 ? 1 : -1;
    PositionOn(activeRecord_);
    int moved = 0;
    bool hitEnd = false;
    TRecord& r = stepRec_;
    while (moved != distance) {
        const int next = activeRecord_ + step;
        if (next >= 0 && next < WindowCount()) {
            cursorRow_ = -1;
            const bool got = step > 0 ? cursor_->GetNext(r) : cursor_->GetPrior(r);
            if (!got || !SameRow(r, Decoded(next))) {
                // The table changed under the window (another user): show it
                // afresh around where the cursor now stands.
                if (got) {
                    FillWindow(next);
                    moved += step;
                } else {
                    ResyncFromCrack(activeRecord_);
                    hitEnd = true;
                }
                break;
            }
            activeRecord_ = cursorRow_ = next;
        } else if (!StepBeyondEdge(step)) {
            // Stand on the last row reached, not on the crack.
            if (step > 0) cursor_->GetPrior(r); else cursor_->GetNext(r);
            cursorRow_ = activeRecord_;
            hitEnd = true;
            break;
        }
        moved += step;
    }
    if (distance > 0) {
        if (moved) bof_ = false;
        eof_ = hitEnd;
    } else {
        if (moved) eof_ = false;
        bof_ = hitEnd;
    }
    if (moved != 0) DataEvent(deDataSetScroll, moved);
    DoEvent(AfterScroll);
    return moved;
}

// ---- editing ---------------------------------------------------------------

void TDataSet::Edit() {
    CheckActive();
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (window_.Empty()) {
        Insert();
        return;
    }
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    CheckBrowseMode();
    DoEvent(BeforeEdit);
    // Start from what is stored now, not from a stale buffer.
    TRecord fresh;
    const std::string bm = BookmarkOf(activeRecord_);
    cursorRow_ = -1;
    if (cursor_->SetToBookmark(bm) && cursor_->GetCurrent(fresh)) {
        cursorRow_ = activeRecord_;
        // What is posted is written back whole: its BLOBs must be there.
        if (cursor_->DefersBlobs()) cursor_->ReadBlobs(fresh);
        fresh.resize(slotCount_);
        window_[activeRecord_].rec = std::move(fresh);
        window_[activeRecord_].undecoded = false;
        window_[activeRecord_].lazy.clear();
        CalculateWindowRow(activeRecord_);
    } else {
        DatabaseError("Record has been deleted by another user");
    }
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoEvent(AfterEdit);
}

void TDataSet::DoOnNewRecord() {
    InitNewRecord();
    if (OnNewRecord) OnNewRecord(this);
}

void TDataSet::Insert() {
    CheckActive();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    DoEvent(BeforeInsert);
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    // The blank row breaks the run of cursor rows: every row gets its bookmark first.
    EnsureAllBookmarks();
    beforeInsertBm_ = window_.Empty() ? std::string() : BookmarkOf(activeRecord_);
    beforeInsertActive_ = activeRecord_;
    if (window_.Empty()) activeRecord_ = 0;
    PutRow(activeRecord_, BlankRecord(), std::string(), false);
    if (WindowCount() > bufferCount_) DropRow(WindowCount() - 1);
    CheckWindow(true);
    state_ = dsInsert;
    try {
        DataEvent(deUpdateState, 0);
        DoOnNewRecord();
    } catch (...) {
        state_ = dsBrowse;
        cursor_->SetToBookmark(beforeInsertBm_);
        FillWindow(beforeInsertActive_);
        DataEvent(deUpdateState, 0);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterInsert);
    DoEvent(AfterScroll);
}

void TDataSet::Append() {
    CheckActive();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    DoEvent(BeforeInsert);
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    beforeInsertBm_ = window_.Empty() ? std::string() : BookmarkOf(activeRecord_);
    beforeInsertActive_ = activeRecord_;
    cursorRow_ = -1;
    cursor_->SetToEnd();
    TRecord r;
    if (cursor_->GetPrior(r)) FillWindow(bufferCount_ - 1); else ClearWindow();
    PutRow(WindowCount(), BlankRecord(), std::string(), false);
    if (WindowCount() > bufferCount_) DropRow(0);
    activeRecord_ = WindowCount() - 1;
    CheckWindow(true);
    eof_ = true;
    state_ = dsInsert;
    try {
        DataEvent(deUpdateState, 0);
        DoOnNewRecord();
    } catch (...) {
        state_ = dsBrowse;
        if (!beforeInsertBm_.empty() && cursor_->SetToBookmark(beforeInsertBm_)) FillWindow(beforeInsertActive_);
        else ResyncFromCrack(0);
        DataEvent(deUpdateState, 0);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterInsert);
    DoEvent(AfterScroll);
}

void TDataSet::UpdateRecord() {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
        DatabaseError("Dataset not in edit or insert mode");
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::CheckRequiredFields() {
    for (TField* f : fields_) {
        if (f->FieldKind == fkData && f->Required && !f->ReadOnly && f->IsNull()) {
            f->FocusControl();
            DatabaseError("Field '" + f->DisplayName() + "' must have a value");
        }
    }
}

void TDataSet::Post() {
    CheckActive();
    if (state_ != dsEdit && state_ != dsInsert) {
        if (state_ == dsSetKey) { SetState(dsBrowse); return; }
        DatabaseError("Dataset not in edit or insert mode");
    }
    UpdateRecord();
    DoBeforePost();
    CheckRequiredFields();
    // An engine error leaves state and buffer as they were: nothing typed is lost.
    TRecord rec = PhysicalPart(Decoded(activeRecord_));
    if (state_ == dsInsert) {
        cursor_->InsertRecord(rec);
    } else {
        const std::string bm = BookmarkOf(activeRecord_);
        cursorRow_ = -1;
        if (!cursor_->SetToBookmark(bm)) DatabaseError("Record has been deleted by another user");
        cursor_->ModifyRecord(rec);
    }
    int hint = activeRecord_;
    state_ = dsBrowse;
    modified_ = false;
    TRecord probe;
    if (cursor_->GetCurrent(probe)) {
        FillWindow(hint);
        bof_ = eof_ = false;
    } else {
        // The posted row left the view (filter or range).
        ResyncFromCrack(hint);
    }
    DataEvent(deUpdateState, 0);
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterPost);
}

void TDataSet::Cancel() {
    CheckActive();
    if (state_ == dsSetKey) { SetState(dsBrowse); return; }
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoEvent(BeforeCancel);
    bool wasInsert = state_ == dsInsert;
    state_ = dsBrowse;
    modified_ = false;
    if (wasInsert) {
        if (!beforeInsertBm_.empty() && cursor_->SetToBookmark(beforeInsertBm_)) {
            FillWindow(beforeInsertActive_);
        } else {
            cursor_->SetToBegin();
            ResyncFromCrack(0);
        }
    } else if (cursor_->SetToBookmark(BookmarkOf(activeRecord_))) {
        FillWindow(activeRecord_);
    } else {
        ResyncFromCrack(activeRecord_);
    }
    if (!window_.Empty()) eof_ = bof_ = false;
    DataEvent(deUpdateState, 0);
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (window_.Empty()) DatabaseError("Cannot perform this operation on an empty dataset");
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    DataEvent(deCheckBrowseMode, 0);
    DoEvent(BeforeDelete);
    DoEvent(BeforeScroll);
    const std::string bm = BookmarkOf(activeRecord_);
    cursorRow_ = -1;
    if (!cursor_->SetToBookmark(bm)) DatabaseError("Record has been deleted by another user");
    cursor_->DeleteRecord();
    int hint = activeRecord_;
    state_ = dsBrowse;
    modified_ = false;
    ResyncFromCrack(hint);
    DataEvent(deUpdateState, 0);
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterDelete);
    DoEvent(AfterScroll);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    if (!window_.Empty() && cursor_->SetToBookmark(BookmarkOf(activeRecord_))) FillWindow(activeRecord_);
    else ReadFirst();
    DataEvent(deDataSetChange, 0);
}

// ---- bookmarks -------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || window_.Empty() || state_ == dsInsert) return {};
    return BookmarkOf(activeRecord_);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    cursorRow_ = -1;
    if (bookmark.empty() || !cursor_->SetToBookmark(bookmark))
        DatabaseError("Record not found");
    FillWindow(bufferCount_ / 2);
    bof_ = eof_ = false;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
    if (!Active() || bookmark.empty()) return false;
    const std::string back = window_.Empty() || state_ == dsInsert ? std::string() : BookmarkOf(activeRecord_);
    cursorRow_ = -1;
    bool ok = cursor_->SetToBookmark(bookmark);
    if (!back.empty() && cursor_->SetToBookmark(back)) cursorRow_ = activeRecord_;
    return ok;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return -1;
    if (b.empty()) return 1;
    CheckActive();
    return cursor_->CompareBookmarks(a, b);
}

int TDataSet::RecordCount() {
    CheckActive();
    return cursor_->RecordCount();
}

// ---- filtering -------------------------------------------------------------

void TDataSet::InstallFilter() {
    if (!cursor_) return;
    const bool byEvent = filtered_ && OnFilterRecord;
    if (!byEvent && !recordCallback_) {
        cursor_->SetRecordFilter({});
        return;
    }
    cursor_->SetRecordFilter([this](const TRecord& rec) {
        TRecord full = rec;
        full.resize(slotCount_);
        CalculateFields(full);
        TDataSetState saved = state_;
        const TRecord* savedRec = filterRec_;
        state_ = dsFilter;
        filterRec_ = &full;
        bool accept = true;
        try {
            if (filtered_ && OnFilterRecord) OnFilterRecord(this, accept);
            if (accept && recordCallback_) accept = recordCallback_();
        } catch (...) {
            state_ = saved;
            filterRec_ = savedRec;
            throw;
        }
        state_ = saved;
        filterRec_ = savedRec;
        return accept;
    });
}

void TDataSet::SetRecordCallback(std::function<bool()> callback) {
    recordCallback_ = std::move(callback);
    if (cursor_) InstallFilter();
}

void TDataSet::SetFiltered(bool on) {
    if (filtered_ == on && !Active()) return;
    filtered_ = on;
    if (Active()) {
        CheckBrowseMode();
        InstallFilter();
        First();
    }
}

// ---- data events -----------------------------------------------------------

void TDataSet::DisableControls() {
    if (disableCount_++ == 0) {
        disabledState_ = state_;
        pendingChange_ = false;
    }
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0) {
        if (state_ != disabledState_) DataEvent(deUpdateState, 0);
        if (state_ != dsInactive && (pendingChange_ || state_ != disabledState_)) DataEvent(deDataSetChange, 0);
    }
}

void TDataSet::DataEvent(TDataEvent event, std::intptr_t info) {
    if (disableCount_ > 0 && event != deUpdateRecord && event != deCheckBrowseMode) {
        pendingChange_ = true;
        return;
    }
    // A source may leave while the event goes round: the round is over a
    // copy, on the stack for the usual one or two.
    constexpr std::size_t kFew = 4;
    if (sources_.size() <= kFew) {
        TDataSource* few[kFew];
        const std::size_t n = sources_.size();
        std::copy(sources_.begin(), sources_.end(), few);
        for (std::size_t i = 0; i < n; ++i) few[i]->DataEvent(event, info);
        return;
    }
    for (TDataSource* ds : std::vector<TDataSource*>(sources_)) ds->DataEvent(event, info);
}

void TDataSet::AddDataSource(TDataSource* ds) {
    sources_.push_back(ds);
    FreeNotification(ds);
}

void TDataSet::RemoveDataSource(TDataSource* ds) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), ds), sources_.end());
}

namespace {
const bool kDataSetPropsPublished = [] {
    plat::RegisterProperty<TDataSet>(plat::BoolProperty<TDataSet>(
        "Active", [](const TDataSet& d) { return d.Active(); }, [](TDataSet& d, bool on) { d.SetActive(on); }));
    return true;
}();
}  // namespace

}  // namespace db
