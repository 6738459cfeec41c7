#include "engine/client/list_cursors.h"

#include <cstring>

#include "engine/base/qv_exceptions.h"
#include "engine/client/base_database.h"
#include "engine/client/base_session.h"
#include "engine/client/cfg_record.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_strings.h"
#include "engine/client/day_numbers.h"
#include "engine/client/type_conversion.h"
#include "platform/core/exceptions.h"
#include "platform/core/registry.h"
#include "platform/core/streams.h"

namespace qv {
namespace {

constexpr int kAliasRowSize = DBDesc::kSize;
constexpr int kTableListNameId = 723;
const char* const kAliasesKey = "\\Software\\Ashcomb\\Dunmere\\Aliases";

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
// A length-prefixed string in a fixed field: the length byte is not trusted
// beyond the field nor the cap.
std::string ShortString(const std::uint8_t* p, std::size_t cap) {
    std::size_t n = p[0];
    if (n > cap) n = cap;
    return std::string(reinterpret_cast<const char*>(p) + 1, n);
}

// Splits a reply into whole entries; a trailing part entry marks it cut short.
std::vector<std::string> Entries(const std::string& bytes, std::size_t size, bool& truncated) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (bytes.size() - at >= size) {
        out.push_back(bytes.substr(at, size));
        at += size;
    }
    truncated = at != bytes.size();
    return out;
}

TBapiListItem* MakeRegistryList(TBaseSession* session, TBapiCollection* list) {
    return new TRegDBListTable(session, list, ClientString(cs::kStandard).c_str(), &session->CfgRecords());
}

TBapiListItem* MakePlainCursor(TBaseDatabase* database, TBapiCollection* list) {
    return new TEmptyListTable(database, list);
}

}  // namespace

std::string TableListRequest(std::uint32_t databaseId, const std::string& mask) {
    std::string r(kTableListRequestSize, '\0');
    PutU32(reinterpret_cast<std::uint8_t*>(r.data()), databaseId);
    std::string m = mask.substr(0, 35);
    r[4] = static_cast<char>(m.size());
    std::memcpy(r.data() + 5, m.data(), m.size());
    return r;
}

// ---- rows in memory ---------------------------------------------------------------------

TListTableBase::TListTableBase(TBapiListItem* owner, TBapiCollection* list, const char* name,
                               std::uint32_t rowSize)
    : TBaseTable(owner, list, 1, 1, name) {
    SetRecordSize(rowSize);
}

DBIResult TListTableBase::Opened(std::vector<std::vector<std::uint8_t>> rows, bool truncated) {
    rows_ = std::move(rows);
    truncated_ = truncated;
    position_ = 0;
    SetState(kCursorUnpositioned);
    return SetResult(0);
}

DBIResult TListTableBase::CloseCursor() {
    // The rows go with the close; a later walk finds none.
    rows_.clear();
    truncated_ = false;
    position_ = 0;
    return TBaseTable::CloseCursor();
}

DBIResult TListTableBase::CopyRow(std::size_t at) {
    position_ = at + 1;
    if (ActiveRecord() != nullptr) std::memcpy(ActiveRecord(), rows_[at].data(), rows_[at].size());
    return SetResult(0);
}

DBIResult TListTableBase::First() {
    if (rows_.empty()) {
        position_ = 0;
        return SetResult(truncated_ ? kDbiErrKeyOrRecDeleted : kDbiErrEof);
    }
    return CopyRow(0);
}

DBIResult TListTableBase::Last() {
    if (rows_.empty()) {
        position_ = 0;
        return SetResult(kDbiErrBof);
    }
    return CopyRow(rows_.size() - 1);
}

DBIResult TListTableBase::NextRaw() {
    if (position_ >= rows_.size()) {
        position_ = rows_.size() + 1;
        return SetResult(truncated_ ? kDbiErrKeyOrRecDeleted : kDbiErrEof);
    }
    return CopyRow(position_);
}

DBIResult TListTableBase::PriorRaw() {
    std::size_t current = position_ > rows_.size() ? rows_.size() + 1 : position_;
    if (current <= 1) {
        position_ = 0;
        return SetResult(kDbiErrBof);
    }
    return CopyRow(current - 2);
}

DBIResult TListTableBase::GetBookMark(void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    if (State() != kCursorOnRecord || position_ == 0 || position_ > rows_.size()) return SetResult(kDbiErrNoCurrRec);
    PutU32(static_cast<std::uint8_t*>(bookmark), static_cast<std::uint32_t>(position_));
    return SetResult(0);
}

DBIResult TListTableBase::SetToBookMark(const void* bookmark) {
    if (bookmark == nullptr) return SetResult(kDbiErrInvalidParam);
    std::uint32_t p = GetU32(static_cast<const std::uint8_t*>(bookmark));
    if (p == 0 || p > rows_.size()) return SetResult(kDbiErrInvalidParam);
    position_ = p;
    SetState(kCursorOnRecord);
    return SetResult(0);
}

DBIResult TListTableBase::RereadAtBookmark(const void* bookmark, void* record) {
    DBIResult rc = SetToBookMark(bookmark);
    if (rc != 0) return rc;
    if (record != nullptr) std::memcpy(record, rows_[position_ - 1].data(), rows_[position_ - 1].size());
    return SetResult(0);
}

DBIResult TListTableBase::CompareBookMarks(const void* first, const void* second, std::int16_t& result) {
    if (first == nullptr || second == nullptr) return SetResult(kDbiErrInvalidParam);
    std::uint32_t a = GetU32(static_cast<const std::uint8_t*>(first));
    std::uint32_t b = GetU32(static_cast<const std::uint8_t*>(second));
    result = static_cast<std::int16_t>(a < b ? -1 : (a > b ? 1 : 0));
    return SetResult(0);
}

// ---- table list -------------------------------------------------------------------------

TQVClientTblListTable::TQVClientTblListTable(TBapiListItem* database, TBapiCollection* list,
                                             IListRequestChannel* channel, std::uint32_t databaseId,
                                             const char* mask)
    : TListTableBase(database, list, ClientString(kTableListNameId).c_str(), kTableListRowSize),
      channel_(channel),
      databaseId_(databaseId),
      mask_(BoundedCString(mask, 255)) {}

DBIResult TQVClientTblListTable::Open() {
    if (channel_ == nullptr) return SetResult(kDbiErrNoMemory);
    plat::MemoryStream reply;
    DBIResult rc = channel_->RequestStream(kQvnmDatabaseTableList, TableListRequest(databaseId_, mask_), reply);
    if (rc != 0) return SetResult(rc);
    bool truncated = false;
    std::vector<std::vector<std::uint8_t>> rows;
    for (const std::string& e : Entries(reply.Bytes(), kTableListEntrySize, truncated)) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(e.data());
        std::string name = ShortString(p, 31);
        std::string ext = ShortString(p + 32, 3);
        std::vector<std::uint8_t> row(kTableListRowSize, 0);
        PutText(row.data(), name, 261);
        PutText(row.data() + 261, name + "." + ext, 261);
        PutText(row.data() + 522, ext, 4);
        PutText(row.data() + 526, "QV", 32);
        std::uint32_t packed = GetU32(p + 44);
        std::uint32_t date = packed >> 16, time = packed & 0xFFFF;
        std::int32_t apiDate = 0, apiTime = 0;
        DateEncode(static_cast<int>((date >> 5) & 15), static_cast<int>(date & 31),
                   static_cast<int>((date >> 9) + 1980), apiDate);
        TimeEncode(static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 63),
                   static_cast<int>((time & 31) * 2000), apiTime);
        PutU32(row.data() + 558, static_cast<std::uint32_t>(apiDate));
        PutU32(row.data() + 562, static_cast<std::uint32_t>(apiTime));
        PutU32(row.data() + 566, GetU32(p + 36));
        rows.push_back(std::move(row));
    }
    return Opened(std::move(rows), truncated);
}

// ---- dictionary lists -------------------------------------------------------------------

TQVClientDictListTable::TQVClientDictListTable(TBapiListItem* database, TBapiCollection* list,
                                               IListRequestChannel* channel, const char* tableName, Kind kind)
    : TListTableBase(database, list, tableName,
                     kind == Kind::Fields ? FLDDesc::kSize
                                          : (kind == Kind::Indexes ? IDXDesc::kSize : VCHKDesc::kSize)),
      channel_(channel),
      kind_(kind) {
    SetNameAsOpened(tableName);
}

DBIResult TQVClientDictListTable::Open() {
    if (channel_ == nullptr) return SetResult(kDbiErrNoMemory);
    plat::MemoryStream reply;
    DBIResult rc = channel_->RequestStream(kQvnmGetTableDictionary, NameAsOpened(), reply);
    if (rc != 0) return SetResult(rc);
    reply.SetPosition(0);
    try {
        dictionary_.Clear(true);
        dictionary_.ReadFromStream(reply);
    } catch (const std::exception&) {
        // A dictionary that does not read lists nothing rather than half.
        dictionary_.Clear(true);
        return SetResult(kDbiErrInvalidParam);
    }
    std::vector<std::vector<std::uint8_t>> rows;
    switch (kind_) {
        case Kind::Fields:
            for (std::uint32_t i = 0; i < dictionary_.FieldCount(); ++i) {
                std::vector<std::uint8_t> row(FLDDesc::kSize, 0);
                FieldDescFromDict(dictionary_.Field(i)).Write(row.data());
                rows.push_back(std::move(row));
            }
            break;
        case Kind::Indexes:
            for (std::uint32_t i = 0; i < dictionary_.IndexCount(); ++i) {
                std::vector<std::uint8_t> row(IDXDesc::kSize, 0);
                IndexDescFromDict(dictionary_.Index(i)).Write(row.data());
                rows.push_back(std::move(row));
            }
            break;
        case Kind::ValidityChecks:
            for (std::uint32_t i = 0; i < dictionary_.FieldCount(); ++i) {
                const TqvFieldDescriptor& f = dictionary_.Field(i);
                const TqvValidityCheck* v = f.validity.get();
                bool carries = v != nullptr && (v->hasMinimum || v->hasMaximum || v->hasDefault);
                if (!f.required && !carries) continue;
                std::vector<std::uint8_t> row(VCHKDesc::kSize, 0);
                VCHKDesc check = VchkDescFromDict(f);
                check.fieldNumber = static_cast<std::uint16_t>(i + 1);
                check.required = f.required ? 1 : 0;
                check.Write(row.data());
                rows.push_back(std::move(row));
            }
            break;
    }
    return Opened(std::move(rows), false);
}

// ---- alias lists ------------------------------------------------------------------------

TBaseDBListTable::TBaseDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                                   TBapiCollection* cfgRecords)
    : TListTableBase(session, list, nullptr, kAliasRowSize),
      typeName_(BoundedCString(typeName, 31)),
      cfgRecords_(cfgRecords) {}

std::vector<std::uint8_t> TBaseDBListTable::AliasRow(const std::string& name, const std::string& description,
                                                     const std::string& path) const {
    std::vector<std::uint8_t> row(kAliasRowSize, 0);
    DBDesc d;
    d.name = name.substr(0, 31);
    d.description = description.substr(0, 31);
    d.physicalPath = path;
    d.dbType = typeName_;
    d.Write(row.data());
    return row;
}

void TBaseDBListTable::AppendCfgRows(std::vector<std::vector<std::uint8_t>>& rows) {
    if (cfgRecords_ == nullptr) return;
    for (int i = 0; i < cfgRecords_->Count(); ++i) {
        auto* rec = dynamic_cast<TBaseCfgrecord*>(cfgRecords_->Item(i));
        if (rec == nullptr || rec->Path().find("INFO") == std::string::npos) continue;
        std::string name = rec->Path().size() > 11 ? rec->Path().substr(11) : std::string();
        std::size_t slash = name.find('\\');
        if (slash != std::string::npos) name.resize(slash);
        std::string path;
        const auto& descs = rec->FieldDescs();
        const auto& values = rec->Values();
        for (std::size_t k = 0; (k + 1) * FLDDesc::kSize <= descs.size(); ++k) {
            FLDDesc f = FLDDesc::Read(descs.data() + k * FLDDesc::kSize);
            if (f.name != "PATH") continue;
            // The value lies inside the copied record data or is not read.
            if (static_cast<std::size_t>(f.offset) < values.size()) {
                std::size_t room = values.size() - f.offset;
                path = BoundedCString(reinterpret_cast<const char*>(values.data()) + f.offset,
                                      f.length < room ? f.length : room);
            }
            break;
        }
        rows.push_back(AliasRow(name, std::string(), path));
    }
}

DBIResult TBaseDBListTable::Open() {
    std::vector<std::vector<std::uint8_t>> rows;
    AppendCfgRows(rows);
    return Opened(std::move(rows), false);
}

TRegDBListTable::TRegDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                                 TBapiCollection* cfgRecords, plat::RegistryStore* store)
    : TBaseDBListTable(session, list, typeName, cfgRecords), store_(store) {}

DBIResult TRegDBListTable::Open() {
    std::vector<std::vector<std::uint8_t>> rows;
    try {
        plat::TRegistry reg(store_ != nullptr ? *store_ : plat::RegistryStore::Default());
        reg.SetRootKey(plat::HKEY_LOCAL_MACHINE);
        std::vector<std::string> names;
        if (reg.OpenKeyReadOnly(kAliasesKey)) names = reg.GetKeyNames();
        for (const std::string& name : names) {
            if (!reg.OpenKeyReadOnly(std::string(kAliasesKey) + "\\" + name)) continue;
            std::string description = reg.ReadString("Description");
            std::string path = reg.ReadString("PhysicalName");
            if (!path.empty()) path = AddBackslash(path);
            rows.push_back(AliasRow(name, description, path));
        }
    } catch (const std::exception&) {
        return SetResult(kDbiErrNoSuchTable);
    }
    AppendCfgRows(rows);
    return Opened(std::move(rows), false);
}

TStreamDBListTable::TStreamDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                                       IListRequestChannel* channel)
    : TBaseDBListTable(session, list, typeName, nullptr), channel_(channel) {}

DBIResult TStreamDBListTable::Open() {
    if (channel_ == nullptr) return SetResult(kDbiErrNoMemory);
    plat::MemoryStream reply;
    DBIResult rc = channel_->RequestStream(kQvnmDatabaseAliasList, std::string(), reply);
    if (rc != 0) return SetResult(rc);
    bool truncated = false;
    std::vector<std::vector<std::uint8_t>> rows;
    for (const std::string& e : Entries(reply.Bytes(), kAliasListEntrySize, truncated)) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(e.data());
        std::string name = ShortString(p, 31);
        std::string path = ShortString(p + 32, 219);
        rows.push_back(AliasRow(name, path.substr(0, 31), path));
    }
    return Opened(std::move(rows), truncated);
}

void InstallListCursorFactories() {
    SetPlainCursorFactory(&MakePlainCursor);
    SetRegistryDatabaseListFactory(&MakeRegistryList);
}

}  // namespace qv
