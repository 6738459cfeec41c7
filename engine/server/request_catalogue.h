// The requests the server answers: ids, log headings, the rights mask each
// checks on a secure server, the conflict code on which a request carrying a
// time-out is deferred instead of answered, and the payload size rule.
// Transport-level ids (1 to 10 and 255) live in comms_packet.h.
//
// Besides the protocol's requests there are our own: the sequence-number
// pair 1804/1805, and 2057 to 2059 (a batch read whose reply carries only the
// records read, a batch insert, a skip back), so the client reads ahead and
// puts its cursor back without a round trip per record.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/comms/comms_packet.h"

namespace qv {

constexpr std::uint32_t QvnmDatabaseOpen = 256, QvnmDatabaseClose = 257, QvnmDatabaseAliasList = 258,
                        QvnmDatabaseTableList = 259, QvnmDatabaseAddAlias = 260, QvnmDatabaseOpenNoAlias = 261,
                        QvnmDatabaseInTrans = 262, QvnmDatabaseDeleteAlias = 263, QvnmDatabaseChgAliasPath = 264;
constexpr std::uint32_t QvnmSessionAdd = 512, QvnmSessionClose = 513, QvnmSessionGetCurrent = 514,
                        QvnmSessionSetCurrent = 515;
constexpr std::uint32_t QvnmReindexTable = 768, QvnmPackTable = 769, QvnmRestructureTable = 770,
                        QvnmGetRebuildStatus = 771;
constexpr std::uint32_t QvnmStartTransaction = 1024, QvnmEndTransaction = 1025;
constexpr std::uint32_t QvnmOpenTable = 1280, QvnmAcqTableLock = 1296, QvnmRelTableLock = 1297,
                        QvnmIsTableLocked = 1298, QvnmGetTableDictionary = 1299, QvnmBuildTable = 1300,
                        QvnmDeleteTable = 1301, QvnmRenameTable = 1302, QvnmGetTableRecCount = 1303,
                        QvnmEmptyTable = 1304, QvnmAddIndex = 1305, QvnmDropIndex = 1306,
                        QvnmSetTableAutoIncValue = 1307;
constexpr std::uint32_t QvnmCreateBLOB = 1536, QvnmDeleteBLOB = 1537, QvnmReadBLOB = 1538,
                        QvnmGetBLOBLength = 1539, QvnmTruncateBLOB = 1540, QvnmWriteBLOB = 1541,
                        QvnmFreeBLOB = 1542, QvnmAddFileBLOB = 1543;
constexpr std::uint32_t QvnmSetToBegin = 1792, QvnmSetToEnd = 1793, QvnmCursorClose = 1794,
                        QvnmGetBookmark = 1795, QvnmSetToBookmark = 1796, QvnmSetToKey = 1797,
                        QvnmSwitchToIndex = 1798, QvnmSetRange = 1799, QvnmResetRange = 1800,
                        QvnmCompareBookmarks = 1801, QvnmCursorClone = 1802, QvnmSetToCursor = 1803,
                        QvnmGetSeqNo = 1804, QvnmSetToSeqNo = 1805;
constexpr std::uint32_t QvnmRecordGet = 2048, QvnmRecordGetNext = 2049, QvnmRecordGetPrev = 2050,
                        QvnmRecordRelLock = 2051, QvnmRecordDelete = 2052, QvnmRecordInsert = 2053,
                        QvnmRecordModify = 2054, QvnmRecordExtractKey = 2055, QvnmRecordGetForKey = 2056,
                        QvnmRecordGetBatch = 2057, QvnmRecordInsertBatch = 2058,
                        QvnmRecordSkipBack = 2059;

// Bytes of an index descriptor inside request 1305.
constexpr std::uint32_t kQvIndexDescriptorBytes = 179;

// Answer to a request the server does not carry.
constexpr std::uint16_t kQvErrNotSupported = 12289;

// How a request's payload size is checked before anything is read.
enum class TqvPayloadRule : std::uint8_t {
    Exact,     // exactly `size` bytes
    Variable,  // at least `size` bytes; the request's own fields fix the rest
    Stream,    // a stream read field by field
};

struct TqvRequestInfo {
    std::uint32_t id;
    const char* heading;  // also the log heading
    std::uint8_t rights;  // 0: no check
    std::uint16_t retryCode;  // 0: never deferred
    TqvPayloadRule rule;
    std::uint32_t size;
};

// The catalogue entry of `id`, nullptr for an id the server does not answer.
const TqvRequestInfo* FindRequest(std::uint32_t id);
const std::vector<TqvRequestInfo>& RequestCatalogue();

}  // namespace qv
