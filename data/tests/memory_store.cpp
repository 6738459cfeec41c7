#include "memory_store.h"

#include "platform/core/codepage.h"

#include <algorithm>

using namespace db;

namespace dbtest {

namespace {

constexpr std::uint16_t kTableBusy = 10243;
constexpr std::uint16_t kReadOnly = 10253;

int CompareValues(const TValue& a, const TValue& b, bool ignoreCase, bool prefix) {
    bool an = IsNull(a), bn = IsNull(b);
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    auto num = [](const TValue& v) -> double {
        if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
        if (auto d = std::get_if<double>(&v)) return *d;
        if (auto b = std::get_if<bool>(&v)) return *b;
        return 0;
    };
    auto sa = std::get_if<std::string>(&a);
    auto sb = std::get_if<std::string>(&b);
    if (sa && sb) {
        std::string x = *sa;
        if (prefix && x.size() > sb->size()) x.resize(sb->size());
        int c = plat::CompareAnsi(x, *sb, ignoreCase);
        return c < 0 ? -1 : c > 0;
    }
    double x = num(a), y = num(b);
    return x < y ? -1 : x > y;
}

class MemoryCursor : public TDataCursor {
public:
    MemoryCursor(std::shared_ptr<MemTable> t, bool exclusive, bool readOnly)
        : t_(std::move(t)), exclusive_(exclusive), readOnly_(readOnly) {
        if (t_->openExclusive || (exclusive && t_->openCount > 0)) throw EDBEngineError(kTableBusy, "Table is busy.");
        ++t_->openCount;
        t_->openExclusive = exclusive;
        SwitchToIndex("");
    }
    ~MemoryCursor() override {
        --t_->openCount;
        if (exclusive_) t_->openExclusive = false;
    }

    std::vector<TFieldDef> FieldDefs() const override { return t_->fields; }
    std::vector<TIndexDef> IndexDefs() const override { return t_->indexes; }

    void SwitchToIndex(const std::string& name) override {
        keySlots_.clear();
        ignoreCase_ = false;
        for (const TIndexDef& d : t_->indexes) {
            bool hit = name.empty() ? (d.Options & ixPrimary) != 0 : plat::CompareAnsi(d.Name, name, true) == 0;
            if (!hit) continue;
            for (const std::string& f : SplitFieldNames(d.Fields)) keySlots_.push_back(Slot(f));
            ignoreCase_ = (d.Options & ixCaseInsensitive) != 0;
            return;
        }
        if (!name.empty()) throw EDBEngineError(10022, "Index does not exist.");
    }

    void SetToBegin() override { mode_ = Bof; }
    void SetToEnd() override { mode_ = Eof; }

    bool GetNext(TRecord& rec) override {
        ++t_->recordReads;
        std::vector<std::uint32_t> v = View();
        std::size_t i;
        switch (mode_) {
        case Bof: i = 0; break;
        case Eof: return false;
        case On: i = Locate(v, true); break;
        default: i = Locate(v, false); break;
        }
        return Land(v, i, rec, true);
    }

    bool GetPrior(TRecord& rec) override {
        ++t_->recordReads;
        std::vector<std::uint32_t> v = View();
        long i;
        switch (mode_) {
        case Bof: return false;
        case Eof: i = static_cast<long>(v.size()) - 1; break;
        default: i = static_cast<long>(Locate(v, false)) - 1; break;
        }
        if (i < 0) {
            mode_ = Bof;
            return false;
        }
        return Land(v, static_cast<std::size_t>(i), rec, false);
    }

    bool GetCurrent(TRecord& rec) override {
        ++t_->recordReads;
        if (mode_ != On || !t_->rows.count(cur_)) return false;
        std::vector<std::uint32_t> v = View();
        if (std::find(v.begin(), v.end(), cur_) == v.end()) return false;
        rec = Deliver(t_->rows[cur_]);
        return true;
    }

    void SetDeferBlobs(bool on) override { defer_ = on; }
    bool DefersBlobs() const override { return defer_; }

    TValue FetchBlob(const std::string& bookmark, int fieldIndex) override {
        if (!SetToBookmark(bookmark)) throw EDBEngineError(8710, "Record not found.");
        if (fieldIndex < 0 || fieldIndex >= static_cast<int>(t_->fields.size()) || !IsBlobType(fieldIndex))
            throw EDatabaseError("Field is not a BLOB field");
        ++t_->blobReads;
        return t_->rows[cur_][fieldIndex];
    }

    void ReadBlobs(TRecord& rec) override {
        if (mode_ != On || !t_->rows.count(cur_)) throw EDBEngineError(8705, "At beginning or end of table.");
        rec.resize(std::max(rec.size(), t_->fields.size()));
        for (std::size_t i = 0; i < t_->fields.size(); ++i)
            if (IsBlobType(static_cast<int>(i))) {
                ++t_->blobReads;
                rec[i] = t_->rows[cur_][i];
            }
    }

    std::string GetBookmark() override {
        if (mode_ != On) throw EDBEngineError(8705, "At beginning or end of table.");
        std::string b(4, '\0');
        for (int k = 0; k < 4; ++k) b[k] = static_cast<char>((cur_ >> (8 * k)) & 0xFF);
        return b;
    }

    bool SetToBookmark(const std::string& bm) override {
        ++t_->recordReads;  // the engine reads the record to check it is there
        if (bm.size() != 4) return false;
        std::uint32_t id = 0;
        for (int k = 0; k < 4; ++k) id |= static_cast<std::uint32_t>(static_cast<unsigned char>(bm[k])) << (8 * k);
        std::vector<std::uint32_t> v = View();
        if (std::find(v.begin(), v.end(), id) == v.end()) return false;
        cur_ = id;
        mode_ = On;
        return true;
    }

    int CompareBookmarks(const std::string& a, const std::string& b) override {
        std::vector<std::uint32_t> v = View();
        auto pos = [&](const std::string& bm) {
            std::uint32_t id = 0;
            for (std::size_t k = 0; k < 4 && k < bm.size(); ++k)
                id |= static_cast<std::uint32_t>(static_cast<unsigned char>(bm[k])) << (8 * k);
            return std::find(v.begin(), v.end(), id) - v.begin();
        };
        auto x = pos(a), y = pos(b);
        return x < y ? -1 : x > y;
    }

    void InsertRecord(const TRecord& in) override {
        CheckWrite();
        TRecord rec = Shape(in);
        for (std::size_t i = 0; i < t_->fields.size(); ++i)
            if (t_->fields[i].DataType == ftAutoInc) rec[i] = t_->nextAutoInc;
        CheckKeys(rec, 0);
        for (std::size_t i = 0; i < t_->fields.size(); ++i)
            if (t_->fields[i].DataType == ftAutoInc) ++t_->nextAutoInc;
        cur_ = t_->nextId++;
        t_->rows[cur_] = rec;
        mode_ = On;
    }

    void ModifyRecord(const TRecord& in) override {
        CheckWrite();
        if (mode_ != On || !t_->rows.count(cur_)) throw EDBEngineError(8705, "At beginning or end of table.");
        TRecord rec = Shape(in);
        CheckKeys(rec, cur_);
        t_->rows[cur_] = rec;
    }

    void DeleteRecord() override {
        if (readOnly_) throw EDBEngineError(kReadOnly, "Table is read only.");
        if (mode_ != On || !t_->rows.count(cur_)) throw EDBEngineError(8705, "At beginning or end of table.");
        crackRec_ = t_->rows[cur_];
        t_->rows.erase(cur_);
        mode_ = Crack;
    }

    bool SetToKey(const TRecord& key, int count, bool partial) override {
        std::vector<std::uint32_t> v = View();
        for (std::uint32_t id : v) {
            int c = CompareKey(t_->rows[id], key, count, partial);
            if (c >= 0) {
                cur_ = id;
                mode_ = On;
                return c == 0;
            }
        }
        mode_ = Eof;
        return false;
    }

    void SetRange(const TRecord& low, int lc, bool li, const TRecord& high, int hc, bool hi) override {
        low_ = low; lowCount_ = lc; lowIncl_ = li;
        high_ = high; highCount_ = hc; highIncl_ = hi;
        mode_ = Bof;
    }
    void ResetRange() override {
        lowCount_ = highCount_ = 0;
        mode_ = Bof;
    }

    int RecordCount() override { return static_cast<int>(View().size()); }
    void SetRecordFilter(std::function<bool(const TRecord&)> accept) override { filter_ = std::move(accept); }

private:
    enum Mode { Bof, On, Crack, Eof };

    int Slot(const std::string& name) const {
        for (std::size_t i = 0; i < t_->fields.size(); ++i)
            if (plat::CompareAnsi(t_->fields[i].Name, name, true) == 0) return static_cast<int>(i);
        throw EDBEngineError(10024, "Field not found: " + name);
    }

    TRecord Shape(const TRecord& in) const {
        TRecord r = in;
        r.resize(t_->fields.size());
        return r;
    }

    void CheckWrite() {
        if (readOnly_) throw EDBEngineError(kReadOnly, "Table is read only.");
        if (std::uint16_t code = t_->failNextWrite) {
            t_->failNextWrite = 0;
            throw EDBEngineError(code, "Disk full.");
        }
    }

    void CheckKeys(const TRecord& rec, std::uint32_t self) {
        for (const TIndexDef& d : t_->indexes) {
            if (!(d.Options & (ixPrimary | ixUnique))) continue;
            std::vector<int> slots;
            for (const std::string& f : SplitFieldNames(d.Fields)) slots.push_back(Slot(f));
            bool ic = (d.Options & ixCaseInsensitive) != 0;
            for (auto& [id, row] : t_->rows) {
                if (id == self) continue;
                bool same = true;
                for (int s : slots) same = same && CompareValues(row[s], rec[s], ic, false) == 0;
                if (same) throw EDBEngineError(DBIERR_KEYVIOL, "Key violation.");
            }
        }
    }

    int CompareKey(const TRecord& row, const TRecord& key, int count, bool partial) const {
        for (int i = 0; i < count && i < static_cast<int>(keySlots_.size()) && i < static_cast<int>(key.size()); ++i) {
            bool last = i == count - 1;
            int c = CompareValues(row[keySlots_[i]], key[i], ignoreCase_, partial && last);
            if (c) return c;
        }
        return 0;
    }

    int CompareRows(const TRecord& a, std::uint32_t ai, const TRecord& b, std::uint32_t bi) const {
        for (int s : keySlots_) {
            int c = CompareValues(a[s], b[s], ignoreCase_, false);
            if (c) return c;
        }
        return ai < bi ? -1 : ai > bi;
    }

    std::vector<std::uint32_t> View() const {
        std::vector<std::uint32_t> v;
        for (auto& [id, row] : t_->rows) {
            if (lowCount_ > 0) {
                int c = CompareKey(row, low_, lowCount_, false);
                if (c < 0 || (c == 0 && !lowIncl_)) continue;
            }
            if (highCount_ > 0) {
                int c = CompareKey(row, high_, highCount_, false);
                if (c > 0 || (c == 0 && !highIncl_)) continue;
            }
            if (filter_ && !filter_(row)) continue;
            v.push_back(id);
        }
        std::sort(v.begin(), v.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareRows(t_->rows.at(a), a, t_->rows.at(b), b) < 0;
        });
        return v;
    }

    // Index in the view of the current record (past it with `after`), or
    // where the crack lies.
    std::size_t Locate(const std::vector<std::uint32_t>& v, bool after) const {
        const TRecord& probe = mode_ == Crack || !t_->rows.count(cur_) ? crackRec_ : t_->rows.at(cur_);
        std::size_t i = 0;
        while (i < v.size() && CompareRows(t_->rows.at(v[i]), v[i], probe, cur_) < 0) ++i;
        if (after && i < v.size() && v[i] == cur_) ++i;
        return i;
    }

    bool Land(const std::vector<std::uint32_t>& v, std::size_t i, TRecord& rec, bool forward) {
        if (i >= v.size()) {
            mode_ = forward ? Eof : Bof;
            return false;
        }
        cur_ = v[i];
        mode_ = On;
        rec = Deliver(t_->rows.at(cur_));
        return true;
    }

    bool IsBlobType(int i) const {
        TFieldType t = t_->fields[i].DataType;
        return t == ftBlob || t == ftMemo || t == ftGraphic;
    }

    // A row as a read hands it out: BLOB fields left out while deferring.
    TRecord Deliver(const TRecord& row) {
        TRecord r = row;
        for (std::size_t i = 0; i < t_->fields.size() && i < r.size(); ++i) {
            if (!IsBlobType(static_cast<int>(i))) continue;
            if (defer_) r[i] = TValue{};
            else ++t_->blobReads;
        }
        return r;
    }

    std::shared_ptr<MemTable> t_;
    bool exclusive_, readOnly_;
    std::vector<int> keySlots_;
    bool ignoreCase_ = false;
    Mode mode_ = Bof;
    std::uint32_t cur_ = 0;
    TRecord crackRec_;
    TRecord low_, high_;
    int lowCount_ = 0, highCount_ = 0;
    bool lowIncl_ = true, highIncl_ = true;
    std::function<bool(const TRecord&)> filter_;
    bool defer_ = false;
};

}  // namespace

std::string MemoryDriver::Key(const std::string& directory, const std::string& tableName) const {
    return plat::AnsiUpperCase(directory) + "|" + plat::AnsiUpperCase(tableName);
}

std::shared_ptr<MemTable> MemoryDriver::Table(const std::string& directory, const std::string& tableName) {
    auto it = tables_.find(Key(directory, tableName));
    if (it == tables_.end()) throw EDBEngineError(DBIERR_NOSUCHTABLE, "Table does not exist.");
    return it->second;
}

std::unique_ptr<TDataCursor> MemoryDriver::OpenTable(const std::string& directory, const std::string& tableName,
                                                     const std::string& indexName, bool exclusive, bool readOnly) {
    auto c = std::make_unique<MemoryCursor>(Table(directory, tableName), exclusive, readOnly);
    c->SwitchToIndex(indexName);
    return c;
}

void MemoryDriver::CreateTable(const std::string& directory, const std::string& tableName,
                               const std::vector<TFieldDef>& fields, const std::vector<TIndexDef>& indexes) {
    auto t = std::make_shared<MemTable>();
    t->fields = fields;
    t->indexes = indexes;
    auto it = tables_.find(Key(directory, tableName));
    if (it != tables_.end() && it->second->openCount > 0) throw EDBEngineError(kTableBusy, "Table is busy.");
    tables_[Key(directory, tableName)] = t;
}

void MemoryDriver::DeleteTable(const std::string& directory, const std::string& tableName) {
    auto t = Table(directory, tableName);
    if (t->openCount > 0) throw EDBEngineError(kTableBusy, "Table is busy.");
    tables_.erase(Key(directory, tableName));
}

void MemoryDriver::EmptyTable(const std::string& directory, const std::string& tableName) {
    Table(directory, tableName)->rows.clear();
}

bool MemoryDriver::TableExists(const std::string& directory, const std::string& tableName) {
    return tables_.count(Key(directory, tableName)) > 0;
}

std::unique_ptr<TDataCursor> MemoryDriver::OpenQuery(const std::string&, int, const std::string&) {
    throw EDBEngineError(DBIERR_NOTSUPPORTED, "Capability not supported.");
}

void MemoryDriver::AddAlias(const std::string& name, const std::string& path) {
    aliases_[plat::AnsiUpperCase(name)] = {name, path};
}

void MemoryDriver::DeleteAlias(const std::string& name) {
    if (!aliases_.erase(plat::AnsiUpperCase(name))) throw EDBEngineError(12290, "Unknown database.");
}

bool MemoryDriver::GetAliasPath(const std::string& name, std::string& path) {
    auto it = aliases_.find(plat::AnsiUpperCase(name));
    if (it == aliases_.end()) return false;
    path = it->second.second;
    return true;
}

std::vector<std::string> MemoryDriver::AliasNames() {
    std::vector<std::string> out;
    for (auto& [k, v] : aliases_) out.push_back(v.first);
    return out;
}

}  // namespace dbtest
