#include "engine/client/base_database.h"

#include <cstring>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/client/base_session.h"
#include "engine/client/client_helpers.h"
#include "engine/client/client_strings.h"
#include "engine/client/cursor_link.h"
#include "engine/client/error_texts.h"

namespace qv {
namespace {

constexpr std::uint32_t kOpenReadWrite = 0;
constexpr std::uint32_t kShareExclusive = 1;
// A table-list row starts with the zero-terminated table name.
constexpr std::size_t kTableNameSize = 261;
constexpr std::uint32_t kTableListRowSize = 574;

}  // namespace

TBaseDatabase::TBaseDatabase(TBaseSession* session, const DBDesc* desc, std::uint32_t openMode,
                             std::uint32_t shareMode, const char* password, std::uint16_t optCount,
                             const void* optDescs, const void* optParams)
    : TBapiListItem(session, session != nullptr ? &session->Databases() : nullptr) {
    SetOptParams(optCount, optDescs, optParams);
    openMode_ = openMode;
    shareMode_ = shareMode;
    if (desc != nullptr) desc_ = *desc;
    if (password != nullptr) password_ = BoundedCString(password, kMaxPassword);
}

TBaseDatabase::~TBaseDatabase() {
    cursors_.FreeAll();
    TBaseDatabase::CloseHook();
}

TBaseSession* TBaseDatabase::Session() const { return dynamic_cast<TBaseSession*>(Parent()); }

DBIResult TBaseDatabase::GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) {
    len = 0;
    switch (property & 0xFFFF) {
        case 0:
            if (buffer == nullptr || maxLen < 2) return kDbiErrInvalidParam;
            PutU16(buffer, 14);
            len = 2;
            return 0;
        case 2: {
            std::string name = GetDbTypeName();
            CopyToBuffer(name, static_cast<char*>(buffer), maxLen);
            len = static_cast<std::uint16_t>(name.size() + 1);
            return 0;
        }
        default: return kDbiErrNotSupported;
    }
}

DBIResult TBaseDatabase::CheckProp(std::uint32_t property, std::uint32_t value) {
    std::uint32_t low = property & 0xFFFF;
    if ((low == 0 || low == 2) && value != 0) return kDbiErrNotSupported;
    return 0;
}

std::string TBaseDatabase::GetDbTypeName() { return ClientString(cs::kStandard); }

bool TBaseDatabase::IsSQLBased() { return false; }

void TBaseDatabase::SetOptParams(std::uint16_t count, const void* descs, const void* values) {
    if (descs == nullptr || values == nullptr) return;
    const std::string userNameKey = ClientString(cs::kUserName);
    const auto* d = static_cast<const unsigned char*>(descs);
    for (std::uint16_t i = 0; i < count; ++i) {
        FLDDesc f = FLDDesc::Read(d + static_cast<std::size_t>(i) * FLDDesc::kSize);
        if (!SameTextNoCase(f.name, userNameKey)) continue;
        // Never past the value the descriptor describes.
        std::size_t len = f.length > 0 ? f.length : kMaxUserName + 1;
        userName_ = BoundedCString(static_cast<const char*>(values) + f.offset, len).substr(0, kMaxUserName);
    }
}

DBIResult TBaseDatabase::SetDirectory(const char* dir) {
    desc_.physicalPath = dir == nullptr ? std::string() : BoundedCString(dir, 260);
    return 0;
}

DBIResult TBaseDatabase::GetDirectory(char* buffer) {
    if (buffer == nullptr) return kDbiErrInvalidParam;
    CopyToBuffer(desc_.physicalPath, buffer, 261);
    return 0;
}

DBIResult TBaseDatabase::FormFullName(const char*, const char*, char*) { return NotSupported(); }

DBIResult TBaseDatabase::OpenFileList(const char* wildcard, hDBICur& cursor) {
    return OpenTableList(wildcard, false, false, cursor);
}

DBIResult TBaseDatabase::OpenEmptyList(hDBICur& cursor) {
    cursor = kNilHandle;
    PlainCursorFactory factory = GetPlainCursorFactory();
    TBapiListItem* item = factory != nullptr ? factory(this, &cursors_) : nullptr;
    ICursorHandle* c = AsCursor(item);
    if (c == nullptr) {
        delete item;
        return kDbiErrInvalidHandle;
    }
    DBIResult rc = c->Open();
    cursor = item->Handle();
    return rc;
}

DBIResult TBaseDatabase::OpenIndexList(const char*, const char*, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenLockList(hDBICur, bool, bool, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenVchkList(const char*, const char*, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenRintList(const char*, const char*, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenSecurityList(const char*, const char*, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenFamilyList(const char*, const char*, hDBICur&) { return NotSupported(); }
DBIResult TBaseDatabase::OpenSPList(bool, bool, const char*, hDBICur&) {
    return ReportNotSupportedNoStore(*this, cs::kOpenSPList);
}
DBIResult TBaseDatabase::OpenSPParamList(const char*, bool, std::uint16_t, hDBICur&) {
    return ReportNotSupportedNoStore(*this, cs::kOpenSPParamsList);
}
DBIResult TBaseDatabase::OpenFunctionList(std::uint32_t, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenFunctionList);
}
DBIResult TBaseDatabase::OpenFunctionArgList(const char*, std::uint16_t, hDBICur&) {
    return ReportNotSupported(*this, cs::kOpenFunctionArgsList);
}

DBIResult TBaseDatabase::TableExists(const char* name, bool& found) {
    found = false;
    hDBICur list = kNilHandle;
    DBIResult rc = OpenTableList(nullptr, false, true, list);
    TBapiListItem* item = FindHandle(list);
    ICursorHandle* cursor = AsCursor(item);
    if (rc == 0 && cursor == nullptr) rc = kDbiErrInvalidHandle;
    if (rc == 0) {
        std::uint32_t size = cursor->RecordSize() > kTableListRowSize ? cursor->RecordSize() : kTableListRowSize;
        std::vector<char> row(size);
        while ((rc = cursor->GetNextRecord(0, row.data(), nullptr)) == 0) {
            if (name != nullptr && SameTextNoCase(BoundedCString(row.data(), kTableNameSize), name)) {
                found = true;
                break;
            }
        }
    }
    FreeTemporaryCursor(item);
    return rc;
}

DBIResult TBaseDatabase::CountOpenCursors(const char* name, std::uint16_t& count) {
    count = 0;
    std::string wanted = BoundedCString(name, 31);
    for (int i = 0; i < cursors_.Count(); ++i) {
        ICursorHandle* c = AsCursor(cursors_.Item(i));
        if (c != nullptr && SameTextNoCase(c->TableName().substr(0, 31), wanted)) ++count;
    }
    return count == 0 ? kDbiErrNoSuchTable : 0;
}

DBIResult TBaseDatabase::FindOpenCursor(const char* name, TBapiListItem*& cursor) {
    cursor = nullptr;
    if (cursors_.Count() == 0 || name == nullptr) return kDbiErrInvalidParam;
    bool byPath = IsPathName(name, true);
    for (int i = 0; i < cursors_.Count(); ++i) {
        cursor = cursors_.Item(i);
        ICursorHandle* c = AsCursor(cursor);
        if (c == nullptr) continue;
        std::string full = c->FullName();
        if (SameTextNoCase(byPath ? full : c->TableName(), name) && !full.empty()) return 0;
    }
    return kDbiErrNoSuchTable;
}

DBIResult TBaseDatabase::FindOpenCursorByName(const char* name, TBapiListItem*& cursor) {
    if (name == nullptr) return FindOpenCursor(nullptr, cursor);
    std::string cut(name);
    std::size_t semi = cut.find(';');
    if (semi != std::string::npos) cut.resize(semi);
    return FindOpenCursor(cut.c_str(), cursor);
}

DBIResult TBaseDatabase::CursorForCall(hDBICur given, const char* tableName, const char* driverType,
                                       std::uint16_t indexId, TBapiListItem*& cursor, TBapiListItem*& opened) {
    opened = nullptr;
    cursor = nullptr;
    if (given != kNilHandle) {
        cursor = FindHandle(given);
        // A stale or foreign handle is refused rather than followed.
        return AsCursor(cursor) != nullptr ? 0 : kDbiErrInvalidHandle;
    }
    hDBICur h = kNilHandle;
    DBIResult rc = OpenTable(tableName, driverType, nullptr, nullptr, indexId, kOpenReadWrite, kShareExclusive, 0,
                             false, nullptr, h);
    opened = FindHandle(h);
    if (rc != 0) return rc;
    cursor = opened;
    return AsCursor(cursor) != nullptr ? 0 : kDbiErrInvalidHandle;
}

DBIResult TBaseDatabase::EmptyTable(hDBICur cursorHandle, const char* tableName, const char* driverType) {
    TBapiListItem *cursor, *opened;
    DBIResult rc = CursorForCall(cursorHandle, tableName, driverType, 0, cursor, opened);
    if (rc == 0) rc = AsCursor(cursor)->EmptyTable();
    FreeTemporaryCursor(opened);
    return rc;
}

DBIResult TBaseDatabase::PackTable(hDBICur, const char*, const char*, bool) {
    return ReportNotSupported(*this, cs::kPackTable);
}
DBIResult TBaseDatabase::ReindexTable(hDBICur, const char*, const char*) {
    return ReportNotSupported(*this, cs::kReindexTable);
}
DBIResult TBaseDatabase::SortTable(const char*, const char*, hDBICur) {
    return ReportNotSupported(*this, cs::kSortTable);
}
DBIResult TBaseDatabase::CreateTable(bool, const void*) { return ReportNotSupported(*this, cs::kCreateTable); }
DBIResult TBaseDatabase::CreateInMemoryTable(const char*, std::uint16_t, const void*, hDBICur&) {
    return ReportNotSupported(*this, cs::kCreateInMemoryTable);
}
DBIResult TBaseDatabase::CreateTempTable(const void*, hDBICur&) {
    return ReportNotSupported(*this, cs::kCreateTempTable);
}
DBIResult TBaseDatabase::DoRestructure(std::uint16_t, const void*, const char*, const char*, const char*, bool) {
    return ReportNotSupported(*this, cs::kDoRestructure);
}
DBIResult TBaseDatabase::RenameTable(const char*, const char*, const char*) {
    return ReportNotSupported(*this, cs::kRenameTable);
}
DBIResult TBaseDatabase::DeleteTable(const char*, const char*) { return ReportNotSupported(*this, cs::kDeleteTable); }

DBIResult TBaseDatabase::AddIndex(hDBICur cursorHandle, const char* tableName, const char* driverType,
                                  const void* indexDesc, const char* keyViolName) {
    if (indexDesc == nullptr) return kDbiErrInvalidParam;
    std::uint16_t indexId = IDXDesc::Read(indexDesc).indexId;
    TBapiListItem *cursor, *opened;
    DBIResult rc = CursorForCall(cursorHandle, tableName, driverType, indexId, cursor, opened);
    if (rc == 0) rc = AsCursor(cursor)->AddIndex(indexDesc, keyViolName);
    FreeTemporaryCursor(opened);
    return rc;
}

DBIResult TBaseDatabase::DeleteIndex(hDBICur cursorHandle, const char* tableName, const char* driverType,
                                     const char* indexName, const char* tagName, std::uint16_t indexId) {
    TBapiListItem *cursor, *opened;
    DBIResult rc = CursorForCall(cursorHandle, tableName, driverType, 0, cursor, opened);
    if (rc == 0) rc = AsCursor(cursor)->DeleteIndex(indexName, tagName, indexId);
    FreeTemporaryCursor(opened);
    return rc;
}

DBIResult TBaseDatabase::BeginTran(std::uint32_t, std::uint32_t&) { return ReportNotSupported(*this, cs::kBeginTran); }
DBIResult TBaseDatabase::EndTran(std::uint32_t, std::uint32_t) { return ReportNotSupported(*this, cs::kEndTran); }

DBIResult TBaseDatabase::GetTranInfo(std::uint32_t, void* info) {
    if (info == nullptr) return kDbiErrInvalidParam;
    std::memset(info, 0, kTranInfoSize);
    PutU32(info, tranState_);
    PutU32(static_cast<unsigned char*>(info) + 4, isolation_);
    return 0;
}

DBIResult TBaseDatabase::CopyTable(bool, const char*, const char*, const char*) {
    return ReportNotSupported(*this, cs::kCopyTable);
}
DBIResult TBaseDatabase::Login(const char*, const char*) { return NotSupported(); }
DBIResult TBaseDatabase::CloseHook() { return 0; }
DBIResult TBaseDatabase::AcqPersistTableLock(const char*, const char*) {
    return ReportNotSupported(*this, cs::kAcqPersistentTableLock);
}
DBIResult TBaseDatabase::RelPersistTableLock(const char*, const char*) {
    return ReportNotSupported(*this, cs::kRelPersistentTableLock);
}
DBIResult TBaseDatabase::QExecDirect(std::uint32_t, const char*, hDBICur&) {
    return ReportNotSupportedNoStore(*this, cs::kQExecDirect);
}
DBIResult TBaseDatabase::QAlloc(std::uint32_t, hDBIStmt&) { return ReportNotSupportedNoStore(*this, cs::kQAlloc); }
DBIResult TBaseDatabase::QPrepare(hDBIStmt, const char*) { return ReportNotSupportedNoStore(*this, cs::kQPrepare); }
DBIResult TBaseDatabase::QPrepareExt(std::uint32_t, const char*, std::uint16_t, hDBIStmt&) {
    return ReportNotSupportedNoStore(*this, cs::kQPrepareExt);
}
DBIResult TBaseDatabase::QExecProcDirect(const char*, std::uint16_t, const void*, void*, hDBICur&) {
    return ReportNotSupportedNoStore(*this, cs::kQExecProcDirect);
}
DBIResult TBaseDatabase::QPrepareProc(const char*, std::uint16_t, const void*, void*, hDBIStmt&) {
    return ReportNotSupportedNoStore(*this, cs::kQPrepareProc);
}
DBIResult TBaseDatabase::GetLdNameFromDB(const char*, char*) { return kDbiErrNotApplicable; }

}  // namespace qv
