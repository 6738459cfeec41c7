#include "engine/server/request_catalogue.h"

#include <algorithm>

namespace qv {
namespace {

using R = TqvPayloadRule;
constexpr std::uint16_t kLocked = 10241, kInTrans = 10256;

// Sorted by id for the lookup.
const std::vector<TqvRequestInfo> kCatalogue = {
    {QvnmAttachServer, "AttachServer", 0, 0, R::Exact, 64},
    {QvnmDetachServer, "DetachServer", 0, 0, R::Exact, 0},
    {QvnmDetachServerJustInCase, "DetachServer - just in case", 0, 0, R::Exact, 0},
    {QvnmCheckSecureComms, "CheckSecureComms", 0, 0, R::Exact, 0},
    {QvnmDatabaseOpen, "DatabaseOpen", 2, 0, R::Exact, 34},
    {QvnmDatabaseClose, "DatabaseClose", 0, 0, R::Exact, 4},
    {QvnmDatabaseAliasList, "DatabaseAliasList", 2, 0, R::Exact, 0},
    {QvnmDatabaseTableList, "DatabaseTableList", 2, 0, R::Exact, 40},
    {QvnmDatabaseAddAlias, "DatabaseAddAlias", 4, 0, R::Exact, 252},
    {QvnmDatabaseOpenNoAlias, "DatabaseOpenNoAlias", 2, 0, R::Exact, 222},
    {QvnmDatabaseInTrans, "DatabaseInTrans", 2, 0, R::Exact, 4},
    {QvnmDatabaseDeleteAlias, "DatabaseDeleteAlias", 16, 0, R::Exact, 32},
    {QvnmDatabaseChgAliasPath, "DatabaseChgAliasPath", 10, 0, R::Exact, 252},
    {QvnmSessionAdd, "SessionAdd", 0, 0, R::Exact, 0},
    {QvnmSessionClose, "SessionClose", 0, 0, R::Exact, 4},
    {QvnmSessionGetCurrent, "SessionGetCurrent", 0, 0, R::Exact, 0},
    {QvnmSessionSetCurrent, "SessionSetCurrent", 0, 0, R::Exact, 4},
    {QvnmReindexTable, "ReindexTable", 8, 0, R::Exact, 72},
    {QvnmPackTable, "PackTable", 24, 0, R::Exact, 36},
    {QvnmRestructureTable, "RestructureTable", 30, 0, R::Stream, 36},
    {QvnmGetRebuildStatus, "GetRebuildStatus", 2, 0, R::Exact, 4},
    {QvnmStartTransaction, "StartTransaction", 0, kInTrans, R::Exact, 5},
    {QvnmEndTransaction, "EndTransaction", 0, 0, R::Exact, 5},
    {QvnmOpenTable, "OpenTable", 2, 0, R::Exact, 74},
    {QvnmAcqTableLock, "AcqTableLock", 10, kLocked, R::Exact, 5},
    {QvnmRelTableLock, "RelTableLock", 0, 0, R::Exact, 6},
    {QvnmIsTableLocked, "IsTableLocked", 2, 0, R::Exact, 5},
    {QvnmGetTableDictionary, "GetTableDictionary", 2, 0, R::Exact, 36},
    {QvnmBuildTable, "BuildTable", 4, 0, R::Stream, 37},
    {QvnmDeleteTable, "DeleteTable", 16, 0, R::Exact, 36},
    {QvnmRenameTable, "RenameTable", 8, 0, R::Exact, 68},
    {QvnmGetTableRecCount, "GetTableRecCount", 2, 0, R::Exact, 4},
    {QvnmEmptyTable, "EmptyTable", 16, 0, R::Exact, 40},
    {QvnmAddIndex, "AddIndex", 14, 0, R::Exact, 40 + kQvIndexDescriptorBytes},
    {QvnmDropIndex, "DropIndex", 16, 0, R::Exact, 76},
    {QvnmSetTableAutoIncValue, "SetTableAutoIncValue", 8, 0, R::Exact, 8},
    {QvnmCreateBLOB, "CreateBLOB", 4, kInTrans, R::Exact, 4},
    {QvnmDeleteBLOB, "DeleteBLOB", 16, kInTrans, R::Exact, 8},
    {QvnmReadBLOB, "ReadBLOB", 2, 0, R::Exact, 16},
    {QvnmGetBLOBLength, "GetBLOBLength", 2, 0, R::Exact, 8},
    {QvnmTruncateBLOB, "TruncateBLOB", 8, kInTrans, R::Exact, 12},
    {QvnmWriteBLOB, "WriteBLOB", 8, kInTrans, R::Variable, 16},
    {QvnmFreeBLOB, "FreeBLOB", 16, kInTrans, R::Exact, 8},
    {QvnmAddFileBLOB, "AddFileBLOB", 4, kInTrans, R::Variable, 5},
    {QvnmSetToBegin, "SetToBegin", 0, 0, R::Exact, 4},
    {QvnmSetToEnd, "SetToEnd", 0, 0, R::Exact, 4},
    {QvnmCursorClose, "CursorClose", 0, 0, R::Exact, 4},
    {QvnmGetBookmark, "GetBookmark", 0, 0, R::Exact, 8},
    {QvnmSetToBookmark, "SetToBookmark", 0, 0, R::Variable, 8},
    {QvnmSetToKey, "SetToKey", 0, 0, R::Variable, 18},
    {QvnmSwitchToIndex, "SwitchToIndex", 0, 0, R::Exact, 41},
    {QvnmSetRange, "SetRange", 0, 0, R::Variable, 31},
    {QvnmResetRange, "ResetRange", 0, 0, R::Exact, 4},
    {QvnmCompareBookmarks, "CompareBookmarks", 2, 0, R::Variable, 8},
    {QvnmCursorClone, "CursorClone", 2, 0, R::Exact, 5},
    {QvnmSetToCursor, "SetToCursor", 0, 0, R::Exact, 8},
    {QvnmGetSeqNo, "GetSeqNo", 0, 0, R::Exact, 4},
    {QvnmSetToSeqNo, "SetToSeqNo", 0, 0, R::Exact, 8},
    {QvnmRecordGet, "RecordGet", 2, kLocked, R::Exact, 13},
    {QvnmRecordGetNext, "RecordGetNext", 2, 0, R::Exact, 13},
    {QvnmRecordGetPrev, "RecordGetPrev", 2, 0, R::Exact, 13},
    {QvnmRecordRelLock, "RecordRelLock", 0, 0, R::Exact, 5},
    {QvnmRecordDelete, "RecordDelete", 16, kInTrans, R::Exact, 8},
    {QvnmRecordInsert, "RecordInsert", 6, kInTrans, R::Variable, 13},
    {QvnmRecordModify, "RecordModify", 10, kInTrans, R::Variable, 13},
    {QvnmRecordExtractKey, "RecordExtractKey", 2, 0, R::Variable, 9},
    {QvnmRecordGetForKey, "RecordGetForKey", 2, 0, R::Variable, 25},
    {QvnmRecordGetBatch, "RecordGetBatch", 2, 0, R::Exact, 12},
    {QvnmRecordInsertBatch, "RecordInsertBatch", 4, kInTrans, R::Variable, 12},
    {QvnmRecordSkipBack, "RecordSkipBack", 2, 0, R::Exact, 8},
};

}  // namespace

const std::vector<TqvRequestInfo>& RequestCatalogue() { return kCatalogue; }

const TqvRequestInfo* FindRequest(std::uint32_t id) {
    auto it = std::lower_bound(kCatalogue.begin(), kCatalogue.end(), id,
                               [](const TqvRequestInfo& r, std::uint32_t v) { return r.id < v; });
    return it != kCatalogue.end() && it->id == id ? &*it : nullptr;
}

}  // namespace qv
