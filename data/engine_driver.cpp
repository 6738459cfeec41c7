#include "data/engine_driver.h"

#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "platform/core/datetime.h"
#include "data/db_errors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>

namespace db {

using namespace qv;

namespace {

std::string EngineText(std::uint16_t result) {
    char text[512] = {};
    DbiGetErrorString(result, text);
    text[sizeof text - 1] = '\0';
    return text[0] ? std::string(text) : "Engine error " + std::to_string(result);
}

// A failed call on `table`: a damaged table is named in the error.
void CheckOn(std::uint16_t result, const std::string& table) {
    if (result != 0) RaiseTableError(result, EngineText(result), table);
}

}  // namespace

void Check(std::uint16_t result) {
    if (result == 0) return;
    throw EDBEngineError(result, EngineText(result));
}

namespace {

constexpr std::uint32_t kBlobChunk = 32768;  // the most one DbiGetBlob call moves
constexpr std::uint32_t kOpenReadWrite = 0, kOpenReadOnly = 1;
constexpr std::uint32_t kShareShared = 0, kShareExclusive = 1;
constexpr double kMsPerDay = 86400000.0;
constexpr DBIResult kDbiErrRecNotFound = 8710;
constexpr std::int16_t kBcdPrecision = 32;
constexpr int kMaxBcdPlaces = 4;

TFieldType KindOf(const FLDDesc& d) {
    switch (d.fieldType) {
    case fldZSTRING: return ftString;
    case fldINT16: return ftSmallint;
    case fldUINT16: return ftWord;
    case fldINT32:
    case fldUINT32: return d.subType == fldstAUTOINC ? ftAutoInc : ftInteger;
    case fldFLOAT:
    case fldFLOATIEEE:
        // The engine keeps a BCD field as money with its places: the places
        // tell it from a plain currency field.
        if (d.subType == fldstMONEY) return d.units2 > 0 ? ftBCD : ftCurrency;
        return ftFloat;
    case fldBCD: return ftBCD;
    case fldBOOL: return ftBoolean;
    case fldDATE: return ftDate;
    case fldTIME: return ftTime;
    case fldTIMESTAMP: return ftDateTime;
    case fldBLOB:
        if (d.subType == fldstMEMO || d.subType == fldstFMTMEMO) return ftMemo;
        if (d.subType == fldstGRAPHIC) return ftGraphic;
        return ftBlob;
    default: return ftUnknown;
    }
}

FLDDesc DescOf(const TFieldDef& f, std::uint16_t number) {
    FLDDesc d;
    d.fieldNumber = number;
    d.name = f.Name;
    switch (f.DataType) {
    case ftString: d.fieldType = fldZSTRING; d.units1 = static_cast<std::int16_t>(f.Size > 0 ? f.Size : 20); break;
    case ftSmallint: d.fieldType = fldINT16; break;
    case ftWord: d.fieldType = fldUINT16; break;
    case ftInteger: d.fieldType = fldINT32; break;
    case ftAutoInc: d.fieldType = fldINT32; d.subType = fldstAUTOINC; break;
    case ftFloat: d.fieldType = fldFLOAT; break;
    case ftCurrency: d.fieldType = fldFLOAT; d.subType = fldstMONEY; break;
    case ftBCD:
        // Places beyond the four a money value keeps would be lost silently.
        if (f.Size < 0 || f.Size > kMaxBcdPlaces)
            throw EDatabaseError("BCD field '" + f.Name + "' has more places than the engine keeps");
        d.fieldType = fldBCD;
        d.units1 = kBcdPrecision;
        d.units2 = static_cast<std::int16_t>(f.Size > 0 ? f.Size : kMaxBcdPlaces);
        break;
    case ftBoolean: d.fieldType = fldBOOL; break;
    case ftDate: d.fieldType = fldDATE; break;
    case ftTime: d.fieldType = fldTIME; break;
    case ftDateTime: d.fieldType = fldTIMESTAMP; break;
    case ftMemo: d.fieldType = fldBLOB; d.subType = fldstMEMO; break;
    case ftGraphic: d.fieldType = fldBLOB; d.subType = fldstGRAPHIC; break;
    case ftBlob: d.fieldType = fldBLOB; d.subType = fldstBINARY; break;
    default: throw EDatabaseError("Field type of '" + f.Name + "' is not supported by the engine");
    }
    return d;
}

bool IsBlobKind(TFieldType t) { return t == ftMemo || t == ftBlob || t == ftGraphic; }

template <typename T> T Get(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the API buffers are in this machine's (little-endian) order
    return v;
}
template <typename T> void Put(std::uint8_t* p, T v) { std::memcpy(p, &v, sizeof v); }

class TEngineCursor : public TDataCursor {
public:
    TEngineCursor(hDBICur cur, hDBIDb db) : cur_(cur), db_(db) {
        std::vector<std::uint8_t> props(CURProps::kSize, 0);
        Check(DbiGetCursorProps(cur_, props.data()));
        CURProps p = CURProps::Read(props.data());
        table_ = p.tableName;
        recSize_ = p.recordBufferSize;
        bmSize_ = p.bookmarkSize;
        std::vector<std::uint8_t> descs(static_cast<std::size_t>(p.fields) * FLDDesc::kSize, 0);
        Check(DbiGetFieldDescs(cur_, descs.data()));
        for (std::uint16_t i = 0; i < p.fields; ++i) {
            FLDDesc d = FLDDesc::Read(descs.data() + static_cast<std::size_t>(i) * FLDDesc::kSize);
            TFieldDef f;
            f.Name = d.name;
            f.DataType = KindOf(d);
            f.Size = f.DataType == ftString ? d.units1 : f.DataType == ftBCD ? d.units2 : 0;
            f.FieldNo = i + 1;
            if (d.validity) {
                // The flag also stands for a default value: ask the check itself.
                std::vector<std::uint8_t> vbuf(VCHKDesc::kSize, 0);
                if (DbiGetVchkDesc(cur_, static_cast<std::uint16_t>(i + 1), vbuf.data()) == 0)
                    f.Required = VCHKDesc::Read(vbuf.data()).required != 0;
            }
            fields_.push_back(f);
            // Room for the widest value with its terminator: a string field
            // may be longer than any fixed buffer.
            const std::size_t width =
                std::max<std::size_t>({40, d.length, 2 * static_cast<std::size_t>(std::max<int>(d.units1, 0))}) + 2;
            value_.resize(std::max(value_.size(), width));
            width_.push_back(width);
            // Only a true BCD field moves the 34-byte record through the API.
            bcdRecord_.push_back(d.fieldType == fldBCD);
        }
        for (std::uint16_t i = 1; i <= p.indexes; ++i) {
            std::vector<std::uint8_t> buf(IDXDesc::kSize, 0);
            if (DbiGetIndexDesc(cur_, i, buf.data()) != 0) break;
            IDXDesc x = IDXDesc::Read(buf.data());
            TIndexDef def;
            def.Name = x.name;
            for (std::uint16_t k = 0; k < x.keyFieldCount && k < IDXDesc::kMaxKeyFields; ++k) {
                std::uint16_t n = x.keyFields[k];
                if (n < 1 || n > fields_.size()) continue;
                if (!def.Fields.empty()) def.Fields += ";";
                def.Fields += fields_[n - 1].Name;
            }
            if (x.primary) def.Options |= ixPrimary;
            if (x.unique) def.Options |= ixUnique;
            if (x.descending) def.Options |= ixDescending;
            if (x.caseInsensitive) def.Options |= ixCaseInsensitive;
            indexes_.push_back(def);
        }
        // The engine keeps no primary index (its descriptors never flag one):
        // the first unique index stands for it.
        bool anyPrimary = false;
        for (const TIndexDef& d : indexes_) anyPrimary = anyPrimary || (d.Options & ixPrimary);
        if (!anyPrimary && !indexes_.empty() && (indexes_.front().Options & ixUnique))
            indexes_.front().Options |= ixPrimary;
        buf_.assign(recSize_, 0);
    }

    ~TEngineCursor() override {
        DropFilter();
        DbiCloseCursor(cur_);
    }

    std::vector<TFieldDef> FieldDefs() const override { return fields_; }
    std::vector<TIndexDef> IndexDefs() const override { return indexes_; }

    void SwitchToIndex(const std::string& name) override {
        keyFields_.clear();
        const TIndexDef* def = nullptr;
        for (const TIndexDef& d : indexes_)
            if (name.empty() ? (d.Options & ixPrimary) != 0 : plat::CompareAnsi(d.Name, name, true) == 0) def = &d;
        if (!def && !name.empty()) throw EDBEngineError(kDbiErrInvalidIndexName, "Index does not exist: " + name);
        if (!def) return;  // no primary index: the table's own order
        // Keeps the current record when there is one.
        DBIResult rc = DbiSwitchToIndex(cur_, def->Name.c_str(), nullptr, 0, true);
        if (rc == kDbiErrNoCurrRec || rc == kDbiErrBof || rc == kDbiErrEof)
            rc = DbiSwitchToIndex(cur_, def->Name.c_str(), nullptr, 0, false);
        Check(rc);
        rangeActive_ = false;  // the engine drops a range when its index changes
        // A bookmark carries the key, so its size follows the index.
        std::vector<std::uint8_t> props(CURProps::kSize, 0);
        Check(DbiGetCursorProps(cur_, props.data()));
        bmSize_ = CURProps::Read(props.data()).bookmarkSize;
        for (const std::string& f : SplitFieldNames(def->Fields))
            for (const TFieldDef& fd : fields_)
                if (plat::CompareAnsi(fd.Name, f, true) == 0) keyFields_.push_back(fd.FieldNo);
        ignoreCase_ = (def->Options & ixCaseInsensitive) != 0;
    }

    void SetToBegin() override { Check(DbiSetToBegin(cur_)); }
    void SetToEnd() override { Check(DbiSetToEnd(cur_)); }

    bool GetNext(TRecord& rec) override { return Step(DbiGetNextRecord(cur_, 0, buf_.data(), nullptr), rec); }
    bool GetPrior(TRecord& rec) override { return Step(DbiGetPriorRecord(cur_, 0, buf_.data(), nullptr), rec); }

    bool GetCurrent(TRecord& rec) override {
        DBIResult rc = DbiGetRecord(cur_, 0, buf_.data(), nullptr);
        RethrowFromFilter();
        if (rc != 0) return false;  // a crack: no current record
        ReadInto(buf_.data(), rec, !deferBlobs_);
        return true;
    }

    bool StepsUndecoded() const override { return deferBlobs_; }
    bool GetNextUndecoded(std::vector<std::uint8_t>& bytes) override {
        bytes.resize(recSize_);
        return StepRaw(DbiGetNextRecord(cur_, 0, bytes.data(), nullptr));
    }
    bool GetPriorUndecoded(std::vector<std::uint8_t>& bytes) override {
        bytes.resize(recSize_);
        return StepRaw(DbiGetPriorRecord(cur_, 0, bytes.data(), nullptr));
    }
    void Decode(const std::vector<std::uint8_t>& bytes, TRecord& rec) override { ReadInto(bytes.data(), rec, false); }

    void SetDeferBlobs(bool on) override { deferBlobs_ = on; }
    bool DefersBlobs() const override { return deferBlobs_; }

    TValue FetchBlob(const std::string& bookmark, int fieldIndex) override {
        if (fieldIndex < 0 || fieldIndex >= static_cast<int>(fields_.size()) ||
            !IsBlobKind(fields_[fieldIndex].DataType))
            throw EDatabaseError("Field is not a BLOB field");
        if (!SetToBookmark(bookmark)) throw EDBEngineError(kDbiErrRecNotFound, "Record not found");
        return ReadBlob(buf_.data(), static_cast<std::uint16_t>(fieldIndex + 1));
    }

    void ReadBlobs(TRecord& rec) override {
        Check(DbiGetRecord(cur_, 0, buf_.data(), nullptr));
        rec.resize(std::max(rec.size(), fields_.size()));
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (IsBlobKind(fields_[i].DataType)) rec[i] = ReadBlob(buf_.data(), static_cast<std::uint16_t>(i + 1));
    }

    std::string GetBookmark() override {
        std::string bm(bmSize_, '\0');
        Check(DbiGetBookMark(cur_, bm.data()));
        return bm;
    }

    bool SetToBookmark(const std::string& bm) override {
        if (bm.size() != bmSize_) return false;
        if (DbiSetToBookMark(cur_, bm.data()) != 0) return false;
        DBIResult rc = DbiGetRecord(cur_, 0, buf_.data(), nullptr);
        if (rc == kDbiErrEof || rc == kDbiErrBof) {
            // A move to a bookmark leaves the client's end-of-table state as
            // it was, though the server now stands on the record; a move to
            // the start clears that state first.
            if (DbiSetToBegin(cur_) != 0 || DbiSetToBookMark(cur_, bm.data()) != 0) return false;
            rc = DbiGetRecord(cur_, 0, buf_.data(), nullptr);
        }
        return rc == 0;
    }

    int CompareBookmarks(const std::string& a, const std::string& b) override {
        if (a.size() != bmSize_ || b.size() != bmSize_) throw EDatabaseError("Invalid bookmark");
        std::int16_t r = 0;
        Check(DbiCompareBookMarks(cur_, a.data(), b.data(), r));
        return r < 0 ? -1 : r > 0;
    }

    void InsertRecord(const TRecord& rec) override {
        WholeRecord whole(*this);
        std::vector<std::uint8_t> b(recSize_, 0);
        Check(DbiInitRecord(cur_, b.data()));
        Write(rec, b.data(), true);
        // The engine leaves the cursor on the new record.
        Check(DbiInsertRecord(cur_, 0, b.data()));
        whole.Commit();
    }

    void ModifyRecord(const TRecord& rec) override {
        WholeRecord whole(*this);
        std::vector<std::uint8_t> b(recSize_, 0);
        Check(DbiGetRecord(cur_, 0, b.data(), nullptr));
        Write(rec, b.data(), false);
        Check(DbiModifyRecord(cur_, b.data(), true));
        whole.Commit();
    }

    void DeleteRecord() override { Check(DbiDeleteRecord(cur_, nullptr)); }

    bool SetToKey(const TRecord& key, int count, bool partial) override {
        if (keyFields_.empty()) return SetToKeyInTableOrder(key, count, partial);
        count = std::min<int>({count, static_cast<int>(key.size()), static_cast<int>(keyFields_.size())});
        // The engine compares the full fields it is told of, then the next
        // one on its first partial-length characters only.
        std::uint16_t fields = static_cast<std::uint16_t>(count), length = 0;
        if (partial && count > 0) {
            const std::string* s = std::get_if<std::string>(&key[count - 1]);
            if (s) {
                fields = static_cast<std::uint16_t>(count - 1);
                length = static_cast<std::uint16_t>(std::min<std::size_t>(s->size(), 255));
            }
        }
        DBIResult rc = 0;
        if (fields == 0 && length == 0) {
            rc = DbiSetToBegin(cur_);  // an empty key: the first record
        } else {
            std::vector<std::uint8_t> rec = KeyRecord(key, count);
            rc = DbiSetToKey(cur_, kKeySearchGtEq, false, fields, length, rec.data());
            if (rc == kDbiErrRecNotFound) {
                // Nothing at or after the key within the view, or the key lies
                // before a range's start: then the range's first record answers.
                if (!rangeActive_) return Check(DbiSetToEnd(cur_)), false;
                rc = DbiSetToBegin(cur_);
            }
        }
        Check(rc);
        // The record the search stands before, past what the filter refuses.
        rc = DbiGetNextRecord(cur_, 0, buf_.data(), nullptr);
        RethrowFromFilter();
        if (rc == kDbiErrEof) return false;
        Check(rc);
        const int c = CompareKey(Read(buf_.data(), false), key, count, partial);
        // A range's first record before the key: the key lies past the range.
        if (c < 0) return Check(DbiSetToEnd(cur_)), false;
        return c == 0;
    }

    void SetRange(const TRecord& low, int lc, bool li, const TRecord& high, int hc, bool hi) override {
        if (keyFields_.empty()) return Check(DbiSetToBegin(cur_));  // the table's own order has no keys
        lc = std::min<int>({lc, static_cast<int>(low.size()), static_cast<int>(keyFields_.size())});
        hc = std::min<int>({hc, static_cast<int>(high.size()), static_cast<int>(keyFields_.size())});
        std::vector<std::uint8_t> lowRec = KeyRecord(low, lc), highRec = KeyRecord(high, hc);
        // A bound of no fields is open on its side.
        Check(DbiSetRange(cur_, false, static_cast<std::uint16_t>(lc), 0, lc > 0 ? lowRec.data() : nullptr, li,
                          static_cast<std::uint16_t>(hc), 0, hc > 0 ? highRec.data() : nullptr, hi));
        rangeActive_ = true;
        Check(DbiSetToBegin(cur_));
    }

    void ResetRange() override {
        if (!keyFields_.empty()) Check(DbiResetRange(cur_));
        rangeActive_ = false;
        Check(DbiSetToBegin(cur_));
    }

    int RecordCount() override {
        // The engine counts a range itself; only the record callback needs a walk.
        if (!accept_) {
            std::uint32_t n = 0;
            Check(DbiGetRecordCount(cur_, n));
            return static_cast<int>(n);
        }
        // A filtered view counts what it shows; the cursor keeps its place.
        std::string bm;
        TRecord r;
        if (GetCurrent(r)) bm = GetBookmark();
        int n = 0;
        Check(DbiSetToBegin(cur_));
        while (DbiGetNextRecord(cur_, 0, buf_.data(), nullptr) == 0) ++n;
        if (!bm.empty()) SetToBookmark(bm); else DbiSetToBegin(cur_);
        return n;
    }

    void SetRecordFilter(std::function<bool(const TRecord&)> accept) override {
        accept_ = std::move(accept);
        InstallFilter();
    }

    std::uint32_t Handle() const override { return cur_; }
    std::uint32_t DatabaseHandle() const override { return db_; }
    std::uint32_t RecordSize() const override { return recSize_; }

private:
    bool StepRaw(DBIResult rc) {
        RethrowFromFilter();
        if (rc == kDbiErrEof || rc == kDbiErrBof) return false;
        Check(rc);
        return true;
    }

    bool Step(DBIResult rc, TRecord& rec) {
        RethrowFromFilter();
        if (rc == kDbiErrEof || rc == kDbiErrBof) return false;
        Check(rc);
        ReadInto(buf_.data(), rec, !deferBlobs_);
        return true;
    }

    static int CompareValues(const TValue& a, const TValue& b, bool ignoreCase, bool prefix) {
        bool an = IsNull(a), bn = IsNull(b);
        if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
        auto sa = std::get_if<std::string>(&a);
        auto sb = std::get_if<std::string>(&b);
        if (sa && sb) {
            std::string x = *sa;
            if (prefix && x.size() > sb->size()) x.resize(sb->size());
            int c = plat::CompareAnsi(x, *sb, ignoreCase);
            return c < 0 ? -1 : c > 0;
        }
        auto num = [](const TValue& v) -> double {
            if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
            if (auto d = std::get_if<double>(&v)) return *d;
            if (auto b = std::get_if<bool>(&v)) return *b;
            return 0;
        };
        double x = num(a), y = num(b);
        return x < y ? -1 : x > y;
    }

    int CompareKey(const TRecord& row, const TRecord& key, int count, bool partial) const {
        for (int i = 0; i < count && i < static_cast<int>(keyFields_.size()) && i < static_cast<int>(key.size()); ++i) {
            int c = CompareValues(row[keyFields_[i] - 1], key[i], ignoreCase_, partial && i == count - 1);
            if (c) return c;
        }
        return 0;
    }

    // Without an index there is no key: the search walks the table's order.
    bool SetToKeyInTableOrder(const TRecord& key, int count, bool partial) {
        Check(DbiSetToBegin(cur_));
        DBIResult rc;
        while ((rc = DbiGetNextRecord(cur_, 0, buf_.data(), nullptr)) == 0) {
            RethrowFromFilter();
            int c = CompareKey(Read(buf_.data(), false), key, count, partial);
            if (c >= 0) return c == 0;
        }
        RethrowFromFilter();
        if (rc != kDbiErrEof) Check(rc);
        return false;
    }

    // A record buffer holding the first `count` key values of the active index,
    // the form in which the engine takes keys to search for and range bounds.
    std::vector<std::uint8_t> KeyRecord(const TRecord& key, int count) {
        std::vector<std::uint8_t> rec(recSize_, 0);
        Check(DbiInitRecord(cur_, rec.data()));
        for (int i = 0; i < count && i < static_cast<int>(keyFields_.size()) && i < static_cast<int>(key.size()); ++i)
            PutValue(rec.data(), keyFields_[i] - 1u, key[i]);
        return rec;
    }

    // The record callback goes to the engine as a callback filter, so the
    // engine's own positioning skips what the view hides.
    static std::int16_t FilterCallback(std::uint32_t clientData, void* record, std::uint32_t) {
        TEngineCursor* self = Lookup(clientData);
        if (!self || !record) return 1;
        // An exception may not cross the engine: it is kept and raised again
        // once the engine call returns. Until then nothing more is accepted.
        if (self->filterError_) return 0;
        try {
            TRecord r = self->Read(static_cast<const std::uint8_t*>(record), false);
            return !self->accept_ || self->accept_(r) ? 1 : 0;
        } catch (...) {
            self->filterError_ = std::current_exception();
            return 0;
        }
    }

    void RethrowFromFilter() {
        if (filterError_) {
            std::exception_ptr e = filterError_;
            filterError_ = nullptr;
            std::rethrow_exception(e);
        }
    }

    void InstallFilter() {
        DropFilter();
        if (!accept_) return;
        id_ = Register(this);
        hDBIFilter f = kNilHandle;
        Check(DbiAddFilter(cur_, id_, 1, false, nullptr, reinterpret_cast<void*>(&FilterCallback), f));
        filter_ = f;
        DbiActivateFilter(cur_, filter_);
    }

    void DropFilter() {
        if (filter_ != kNilHandle) {
            DbiDeactivateFilter(cur_, filter_);
            DbiDropFilter(cur_, filter_);
            filter_ = kNilHandle;
        }
        if (id_) Unregister(id_);
        id_ = 0;
    }

    // The callback carries 32 bits of client data: an id, not the address.
    static std::mutex& RegistryLock() { static std::mutex m; return m; }
    static std::map<std::uint32_t, TEngineCursor*>& Registry() {
        static std::map<std::uint32_t, TEngineCursor*> r;
        return r;
    }
    static std::uint32_t Register(TEngineCursor* c) {
        static std::uint32_t next = 1;
        std::lock_guard<std::mutex> g(RegistryLock());
        std::uint32_t id = next++;
        Registry()[id] = c;
        return id;
    }
    static void Unregister(std::uint32_t id) {
        std::lock_guard<std::mutex> g(RegistryLock());
        Registry().erase(id);
    }
    static TEngineCursor* Lookup(std::uint32_t id) {
        std::lock_guard<std::mutex> g(RegistryLock());
        auto it = Registry().find(id);
        return it == Registry().end() ? nullptr : it->second;
    }

    TRecord Read(const std::uint8_t* rec, bool withBlobs = true) {
        TRecord out;
        ReadInto(rec, out, withBlobs);
        return out;
    }

    // Fills `out` in place: a walk reads every row into the same record, so
    // its strings keep their storage from row to row.
    void ReadInto(const std::uint8_t* rec, TRecord& out, bool withBlobs) {
        out.resize(fields_.size());
        std::uint8_t* const v = value_.data();
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const std::uint16_t n = static_cast<std::uint16_t>(i + 1);
            TFieldType t = fields_[i].DataType;
            if (IsBlobKind(t)) {
                out[i] = withBlobs ? ReadBlob(const_cast<std::uint8_t*>(rec), n) : TValue{};
                continue;
            }
            // The engine writes at most the field's own width.
            const std::size_t room = width_[i];
            std::memset(v, 0, room);
            bool blank = true;
            Check(DbiGetField(cur_, n, rec, v, &blank));
            if (blank) {
                out[i] = TValue{};
                continue;
            }
            switch (t) {
            case ftString: {
                const char* text = reinterpret_cast<const char*>(v);
                const std::size_t length = strnlen(text, room - 1);
                if (auto* s = std::get_if<std::string>(&out[i])) s->assign(text, length);
                else out[i].emplace<std::string>(text, length);
                break;
            }
            case ftSmallint: out[i] = static_cast<std::int64_t>(Get<std::int16_t>(v)); break;
            case ftWord: out[i] = static_cast<std::int64_t>(Get<std::uint16_t>(v)); break;
            case ftInteger:
            case ftAutoInc: out[i] = static_cast<std::int64_t>(Get<std::int32_t>(v)); break;
            case ftFloat:
            case ftCurrency: out[i] = Get<double>(v); break;
            case ftBCD:
                if (bcdRecord_[i]) {
                    double d = 0;
                    Check(BcdToDouble(v, d));
                    out[i] = d;
                } else {
                    out[i] = Get<double>(v);
                }
                break;
            case ftBoolean: out[i] = Get<std::uint16_t>(v) != 0; break;
            case ftDate: out[i] = static_cast<double>(Get<std::int32_t>(v) - plat::DateDelta); break;
            case ftTime: out[i] = Get<std::uint32_t>(v) / kMsPerDay; break;
            case ftDateTime: out[i] = Get<double>(v) / kMsPerDay - plat::DateDelta; break;
            default: out[i] = TValue{}; break;
            }
        }
    }

    TValue ReadBlob(std::uint8_t* rec, std::uint16_t n) {
        DBIResult rc = DbiOpenBlob(cur_, rec, n, kOpenReadOnly);
        if (rc != 0) return {};
        std::uint32_t size = 0;
        rc = DbiGetBlobSize(cur_, rec, n, size);
        std::string bytes;
        if (rc == 0 && size > 0) {
            bytes.resize(size);
            std::uint32_t off = 0;
            while (off < size) {
                std::uint32_t want = std::min(kBlobChunk, size - off), got = 0;
                rc = DbiGetBlob(cur_, rec, n, off, want, bytes.data() + off, got);
                if ((rc != 0 && rc != 8711) || got == 0) break;
                off += got;
            }
            bytes.resize(off);
        }
        DbiFreeBlob(cur_, rec, n);
        Check(rc == 8711 ? 0 : rc);
        if (bytes.empty()) return {};
        return bytes;
    }

    void Write(const TRecord& in, std::uint8_t* rec, bool fresh) {
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const std::uint16_t n = static_cast<std::uint16_t>(i + 1);
            TFieldType t = fields_[i].DataType;
            const TValue val = i < in.size() ? in[i] : TValue{};
            if (t == ftAutoInc) continue;  // the engine numbers new rows
            if (IsBlobKind(t)) {
                WriteBlob(rec, n, val, fresh);
                continue;
            }
            PutValue(rec, i, val);
        }
    }

    // One value of a plain (not BLOB) field into a record buffer.
    void PutValue(std::uint8_t* rec, std::size_t i, const TValue& val) {
        const std::uint16_t n = static_cast<std::uint16_t>(i + 1);
        const TFieldType t = fields_[i].DataType;
        std::uint8_t* const v = value_.data();
        const std::size_t room = value_.size();
        {
            if (IsNull(val) || IsBlobKind(t)) {
                Check(DbiPutField(cur_, n, rec, nullptr));
                return;
            }
            std::memset(v, 0, room);
            auto num = [&]() -> double {
                if (auto d = std::get_if<double>(&val)) return *d;
                if (auto x = std::get_if<std::int64_t>(&val)) return static_cast<double>(*x);
                if (auto b = std::get_if<bool>(&val)) return *b;
                return 0;
            };
            switch (t) {
            case ftString: {
                std::string s = std::holds_alternative<std::string>(val) ? std::get<std::string>(val) : std::string();
                std::size_t max = std::min<std::size_t>(room - 1, fields_[i].Size > 0 ? fields_[i].Size : room - 1);
                std::memcpy(v, s.data(), std::min(s.size(), max));
                break;
            }
            case ftSmallint: Put(v, static_cast<std::int16_t>(std::llround(num()))); break;
            case ftWord: Put(v, static_cast<std::uint16_t>(std::llround(num()))); break;
            case ftInteger:
            case ftAutoInc: Put(v, static_cast<std::int32_t>(std::llround(num()))); break;
            case ftFloat:
            case ftCurrency: Put(v, num()); break;
            case ftBCD:
                if (bcdRecord_[i])
                    Check(BcdFromDouble(num(), kBcdPrecision, static_cast<std::uint16_t>(fields_[i].Size), v));
                else
                    Put(v, num());
                break;
            case ftBoolean: Put(v, static_cast<std::uint16_t>(num() != 0)); break;
            case ftDate: Put(v, static_cast<std::int32_t>(std::floor(num())) + plat::DateDelta); break;
            case ftTime: Put(v, static_cast<std::uint32_t>(std::llround(num() * kMsPerDay))); break;
            case ftDateTime: Put(v, std::round((num() + plat::DateDelta) * kMsPerDay)); break;
            default: return;
            }
            Check(DbiPutField(cur_, n, rec, v));
        }
    }

    void WriteBlob(std::uint8_t* rec, std::uint16_t n, const TValue& val, bool fresh) {
        const std::string* s = std::get_if<std::string>(&val);
        if (!fresh) {
            Check(DbiOpenBlob(cur_, rec, n, kOpenReadWrite));
            Check(DbiTruncateBlob(cur_, rec, n, 0));
        }
        if (s && !s->empty()) {
            std::uint32_t off = 0, size = static_cast<std::uint32_t>(s->size());
            while (off < size) {
                std::uint32_t len = std::min(kBlobChunk, size - off);
                Check(DbiPutBlob(cur_, rec, n, off, len, s->data() + off));
                off += len;
            }
        }
    }

    // A record with BLOB fields is written in several calls (the BLOB is
    // cut, then filled a chunk at a time), each its own transaction in the
    // engine: a process killed between them left a page's text empty or cut
    // short. The whole write runs in one transaction unless the caller's
    // own is already open, which then covers it.
    class WholeRecord {
    public:
        explicit WholeRecord(TEngineCursor& c) : c_(c) {
            if (!c_.HasBlobs()) return;
            std::uint32_t transaction = 0;
            const DBIResult rc = DbiBeginTran(c_.db_, 0, transaction);
            if (rc == 0) {
                transaction_ = transaction;
                open_ = true;
            } else if (rc != kTransactionInProgress) {
                c_.Check(rc);
            }
        }
        ~WholeRecord() {
            if (open_) DbiEndTran(c_.db_, transaction_, 2);  // a failed write leaves the old record
        }
        void Commit() {
            if (!open_) return;
            open_ = false;
            c_.Check(DbiEndTran(c_.db_, transaction_, 0));
        }

    private:
        static constexpr DBIResult kTransactionInProgress = 10256;
        TEngineCursor& c_;
        std::uint32_t transaction_ = 0;
        bool open_ = false;
    };
    bool HasBlobs() const {
        for (const TFieldDef& f : fields_)
            if (IsBlobKind(f.DataType)) return true;
        return false;
    }

    // Every call on the cursor fails through here, so that a damaged table
    // is named rather than left to the engine's bare text.
    void Check(std::uint16_t result) const { CheckOn(result, table_); }

    hDBICur cur_;
    std::string table_;
    hDBIDb db_;
    std::uint32_t recSize_ = 0, bmSize_ = 0;
    std::vector<TFieldDef> fields_;
    std::vector<bool> bcdRecord_;
    // One field's value on its way to or from the engine, as wide as the
    // widest field (at least 512 bytes).
    std::vector<std::uint8_t> value_ = std::vector<std::uint8_t>(512);
    std::vector<std::size_t> width_;  // each field's room in value_
    bool deferBlobs_ = false;
    std::vector<TIndexDef> indexes_;
    std::vector<std::uint8_t> buf_;
    std::vector<std::uint16_t> keyFields_;
    bool ignoreCase_ = false;
    std::function<bool(const TRecord&)> accept_;
    bool rangeActive_ = false;
    hDBIFilter filter_ = kNilHandle;
    std::uint32_t id_ = 0;
    std::exception_ptr filterError_;
};

}  // namespace

std::unique_ptr<TDataCursor> CreateEngineCursor(std::uint32_t cursor, std::uint32_t database) {
    try {
        return std::make_unique<TEngineCursor>(cursor, database);
    } catch (...) {
        hDBICur c = cursor;
        DbiCloseCursor(c);
        throw;
    }
}

TEngineDriver::TEngineDriver() {
    DBIResult rc = DbiInit(nullptr);
    if (rc == 0) ownsEngine_ = true;
    else if (rc != kDbiErrAlreadyInit) Check(rc);
}

TEngineDriver::~TEngineDriver() {
    for (auto& [dir, db] : databases_) {
        hDBIDb h = db;
        DbiCloseDatabase(h);
    }
    for (std::uint32_t db : retired_) {
        hDBIDb h = db;
        DbiCloseDatabase(h);
    }
    if (ownsEngine_) DbiExit();
}

std::uint32_t TEngineDriver::Database(const std::string& directory) {
    std::string key = plat::AnsiUpperCase(directory);
    auto it = databases_.find(key);
    if (it != databases_.end()) return it->second;
    hDBIDb db = kNilHandle;
    Check(DbiOpenDatabase(directory.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db));
    databases_[key] = db;
    return db;
}

std::unique_ptr<TDataCursor> TEngineDriver::OpenTable(const std::string& directory, const std::string& tableName,
                                                      const std::string& indexName, bool exclusive, bool readOnly) {
    hDBIDb db = Database(directory);
    hDBICur cur = kNilHandle;
    CheckOn(DbiOpenTable(db, tableName.c_str(), nullptr, indexName.empty() ? nullptr : indexName.c_str(), nullptr,
                         0, readOnly ? kOpenReadOnly : kOpenReadWrite, exclusive ? kShareExclusive : kShareShared, 0,
                         false, nullptr, cur),
            tableName);
    try {
        auto c = std::make_unique<TEngineCursor>(cur, db);
        c->SwitchToIndex(indexName);
        return c;
    } catch (...) {
        DbiCloseCursor(cur);
        throw;
    }
}

void TEngineDriver::CreateTable(const std::string& directory, const std::string& tableName,
                                const std::vector<TFieldDef>& fields, const std::vector<TIndexDef>& indexes) {
    std::vector<std::uint8_t> fd(fields.size() * FLDDesc::kSize, 0);
    for (std::size_t i = 0; i < fields.size(); ++i)
        DescOf(fields[i], static_cast<std::uint16_t>(i + 1)).Write(fd.data() + i * FLDDesc::kSize);
    std::vector<std::uint8_t> xd(indexes.size() * IDXDesc::kSize, 0);
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const TIndexDef& d = indexes[i];
        IDXDesc x;
        // The engine names every index; a primary index without a name takes its table's.
        x.name = d.Name.empty() ? "Primary" : d.Name;
        std::vector<std::string> names = SplitFieldNames(d.Fields);
        if (names.empty() || names.size() > IDXDesc::kMaxKeyFields)
            throw EDatabaseError("Index '" + d.Name + "' has no usable field list");
        for (std::size_t k = 0; k < names.size(); ++k) {
            int found = 0;
            for (std::size_t f = 0; f < fields.size(); ++f)
                if (plat::CompareAnsi(fields[f].Name, names[k], true) == 0) found = static_cast<int>(f + 1);
            if (!found) throw EDatabaseError("Field '" + names[k] + "' not found");
            x.keyFields[k] = static_cast<std::uint16_t>(found);
        }
        x.keyFieldCount = static_cast<std::uint16_t>(names.size());
        x.primary = (d.Options & ixPrimary) ? 1 : 0;
        x.unique = (d.Options & (ixPrimary | ixUnique)) ? 1 : 0;
        x.descending = (d.Options & ixDescending) ? 1 : 0;
        x.caseInsensitive = (d.Options & ixCaseInsensitive) ? 1 : 0;
        x.maintained = 1;
        x.Write(xd.data() + i * IDXDesc::kSize);
    }
    std::vector<std::uint8_t> vd;
    std::uint16_t checks = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!fields[i].Required) continue;
        VCHKDesc v;
        v.fieldNumber = static_cast<std::uint16_t>(i + 1);
        v.required = 1;
        vd.resize(vd.size() + VCHKDesc::kSize, 0);
        v.Write(vd.data() + std::size_t(checks) * VCHKDesc::kSize);
        ++checks;
    }
    CRTblDesc td;
    td.tableName = tableName;
    td.fieldCount = static_cast<std::uint16_t>(fields.size());
    td.fieldDescs = fd.data();
    td.indexCount = static_cast<std::uint16_t>(indexes.size());
    td.indexDescs = xd.data();
    td.valCheckCount = checks;
    td.valCheckDescs = checks ? vd.data() : nullptr;
    Check(DbiCreateTable(Database(directory), false, td));
}

void TEngineDriver::DeleteTable(const std::string& directory, const std::string& tableName) {
    Check(DbiDeleteTable(Database(directory), tableName.c_str(), nullptr));
}

void TEngineDriver::PackTable(const std::string& directory, const std::string& tableName) {
    CheckOn(DbiPackTable(Database(directory), kNilHandle, tableName.c_str(), nullptr, false), tableName);
}

void TEngineDriver::EmptyTable(const std::string& directory, const std::string& tableName) {
    Check(DbiEmptyTable(Database(directory), kNilHandle, tableName.c_str(), nullptr));
}

bool TEngineDriver::TableExists(const std::string& directory, const std::string& tableName) {
    hDBICur cur = kNilHandle;
    DBIResult rc = DbiOpenTable(Database(directory), tableName.c_str(), nullptr, nullptr, nullptr, 0, kOpenReadOnly,
                                kShareShared, 0, false, nullptr, cur);
    if (rc == 0) DbiCloseCursor(cur);
    return rc == 0;
}

std::unique_ptr<TDataCursor> TEngineDriver::OpenQuery(const std::string& directory, int language, const std::string&) {
    hDBIStmt st = kNilHandle;
    Check(DbiQAlloc(Database(directory), static_cast<std::uint32_t>(language), st));
    DbiQFree(st);
    throw EDBEngineError(kDbiErrNotSupported, "Queries are not supported");
}

void TEngineDriver::ForgetDatabase(const std::string& name) {
    // Tables already open keep their database; later opens resolve the name anew.
    auto it = databases_.find(plat::AnsiUpperCase(name));
    if (it == databases_.end()) return;
    retired_.push_back(it->second);
    databases_.erase(it);
}

void TEngineDriver::AddAlias(const std::string& name, const std::string& path) {
    ForgetDatabase(name);
    Check(DbiAddAlias(kNilHandle, name.c_str(), nullptr, ("PATH:" + path).c_str(), true));
}

void TEngineDriver::DeleteAlias(const std::string& name) {
    ForgetDatabase(name);
    Check(DbiDeleteAlias(kNilHandle, name.c_str()));
}

namespace {

// Every alias the current session knows, as the engine's alias list gives
// them (name and folder).
std::vector<DBDesc> AliasList() {
    hDBICur list = kNilHandle;
    Check(DbiOpenDatabaseList(list));
    std::vector<DBDesc> out;
    std::vector<std::uint8_t> props(CURProps::kSize, 0);
    DBIResult rc = DbiGetCursorProps(list, props.data());
    if (rc == 0) {
        const std::uint32_t size = CURProps::Read(props.data()).recordBufferSize;
        // A row shorter than the descriptor would be read past its end.
        std::vector<std::uint8_t> row(std::max<std::uint32_t>(size, DBDesc::kSize), 0);
        while ((rc = DbiGetNextRecord(list, 0, row.data(), nullptr)) == 0) {
            out.push_back(DBDesc::Read(row.data()));
            std::fill(row.begin(), row.end(), 0);
        }
        if (rc == kDbiErrEof) rc = 0;
    }
    DbiCloseCursor(list);
    Check(rc);
    return out;
}

// Folder paths are never alias names; they need no trip to the engine.
bool CouldBeAlias(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\:") == std::string::npos;
}

}  // namespace

std::uint32_t TEngineDriver::BeginTransaction(const std::string& directory) {
    std::uint32_t transaction = 0;
    Check(DbiBeginTran(Database(directory), 0, transaction));
    return transaction;
}

void TEngineDriver::EndTransaction(const std::string& directory, std::uint32_t transaction, bool commit) {
    // End mode 0 commits, 2 rolls back.
    Check(DbiEndTran(Database(directory), transaction, commit ? 0 : 2));
}

bool TEngineDriver::GetAliasPath(const std::string& name, std::string& path) {
    if (!CouldBeAlias(name)) return false;
    for (const DBDesc& d : AliasList())
        if (plat::CompareAnsi(d.name, name, true) == 0) {
            path = d.physicalPath;
            return true;
        }
    return false;
}

std::vector<std::string> TEngineDriver::AliasNames() {
    std::vector<std::string> names;
    for (const DBDesc& d : AliasList()) names.push_back(d.name);
    return names;
}

}  // namespace db
