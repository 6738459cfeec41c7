// Table files: an array of fixed-size blocks. Block 0 is the file header;
// every other block starts with a 32-byte head {signature, free-chain link,
// own block number, 20 kind-specific bytes}. This unit holds the open-file
// record, the checked file routines, the header layout, the free-block chain
// and the stream chains (the dictionary is kept in one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/base/qv_exceptions.h"

namespace qv {

class TqvBufferManager;

constexpr std::uint32_t kQvFileInfoMagic = 0xFF15FABBu;
constexpr std::uint32_t kQvNone = 0xFFFFFFFFu;  // "-1" in file words
constexpr std::uint32_t kQvBlockHeadSize = 32;

// Header block words (byte offsets).
namespace hdr {
constexpr std::uint32_t kSignature = 0, kReserved4 = 4, kOwnBlock = 8, kBlockSize = 12, kEncrypted = 16,
                        kLog2 = 20, kBlockCount = 24, kFreeCount = 28, kFirstFree = 32, kRecordCount = 36,
                        kDeletedCount = 40, kFirstDeleted = 44, kRecordLength = 48, kSlotLength = 52,
                        kRecordsPerBlock = 56, kFirstDataBlock = 60, kLastDataBlock = 64, kBlobCount = 68,
                        kFirstFreeBlob = 72, kReserved76 = 76, kAutoInc = 80, kIndexCount = 84, kSeqAccess = 88,
                        kIndexHeader = 92, kFieldCount = 96, kDictFirst = 100;
constexpr std::uint32_t kHeaderWords = 26;
}  // namespace hdr

// Stream block words.
namespace sblk {
constexpr std::uint32_t kNext = 12, kKind = 16, kLength = 20, kFirst = 24, kZero = 28;
}

struct TbtdFileInfo {
    std::uint32_t magic = kQvFileInfoMagic;
    int handle = -1;
    std::uint32_t blockSize = 0;  // 0 until the header has been read
    TqvBufferManager* bufferManager = nullptr;
    std::uint32_t transaction = 0;  // blocks modified are bound to this
    std::string name;
    bool readWrite = false, shared = false, writeThrough = false;
    std::uint8_t mode = 0;  // kept for the table object
    bool encrypted = false;
    std::uint32_t id = 0;  // identity of the record in page keys
    std::uint32_t log2 = 0;
    // Entry counts of index subtrees by (index << 32 | page), good while
    // the block cache's change count is `subtreeCountsAt` (B-tree ranks).
    std::unordered_map<std::uint64_t, std::uint32_t> subtreeCounts;
    std::uint64_t subtreeCountsAt = ~std::uint64_t{0};
    // The full path a journal record names this file by, and the name it
    // was made from: resolving it costs file-system calls on every page.
    std::string journalPath, journalPathOf;
};

using TbtdFileInfoPtr = std::unique_ptr<TbtdFileInfo>;

// `name` with its extension replaced by `extension` (at most 3 characters).
TbtdFileInfoPtr NewFileInfo(std::string_view name, std::string_view extension, std::uint32_t blockSize);
void CheckFileInfo(const TbtdFileInfo* info, bool mustBeOpen);

// Opening a table file (not a journal) first recovers any journal left in
// its folder by a commit that did not finish (see journal.h).
void OpenTableFile(TbtdFileInfo* info, bool readWrite, bool shared, bool create, bool writeThrough);
void CloseTableFile(TbtdFileInfo* info);
bool IsTableFileOpen(const TbtdFileInfo* info);
void FlushTableFile(TbtdFileInfo* info);
std::uint64_t GetTableFileSize(TbtdFileInfo* info);
std::uint32_t ReadTableFileAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, void* buf);
void ReadTableFileExactAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, void* buf);
void WriteTableFileAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, const void* buf);

void QvDeleteFile(const std::string& name);
void QvRenameFile(const std::string& from, const std::string& to);

std::uint32_t QvLog2BlockSize(std::uint32_t blockSize);  // 0 when not a block size

// Fills a header block as a new file has it.
void InitHeaderBlock(std::uint8_t* block, std::uint32_t blockSize, std::uint32_t recordLength,
                     std::uint32_t indexCount, std::uint32_t fieldCount, bool encrypted);

// ---- blocks through the buffer manager -----------------------------------------------
std::uint8_t* GetBlock(TbtdFileInfo* file, std::uint32_t n, bool forUpdate);
std::uint8_t* GetFreshBlock(TbtdFileInfo* file, std::uint32_t n);
std::uint8_t* GetHeaderBlock(TbtdFileInfo* file, bool forUpdate);
void MarkBlockDirty(TbtdFileInfo* file, std::uint32_t n);
// The block cache's change count (TqvBufferManager::ChangeCount).
std::uint64_t BlockChangeCount(TbtdFileInfo* file);

// Raises 49 unless 1 <= n < block count.
void CheckBlockNumber(TbtdFileInfo* file, const std::uint8_t* header, std::uint32_t n);
// A block taken from the free chain or appended; +8 holds its number.
std::uint8_t* GetNewBlock(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t& blockNumber);
void FreeBlock(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t blockNumber);

std::uint8_t* ReadStreamBlock(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n);
// Frees the chain from `first` (all of it, or all but `first`).
void FreeStreamChain(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t first, bool keepFirst);
std::string ReadStream(TbtdFileInfo* file, std::uint32_t first);
// Writes `data` as a stream of `kind`; a new chain when `isNew`, else over
// the chain starting at `first` (which stays its first block).
void WriteStream(TbtdFileInfo* file, std::uint32_t& first, std::string_view data, std::string_view kind, bool isNew);

// Deletes a table's files: its .QVD file and every same-named file that is
// shorter than 4 bytes or starts with "QVFH".
void DeleteTableFiles(const std::string& path);
std::string ExpandUNCName(const std::string& path);

// Reference checks (block range is checked by the readers). A slot index at
// or past the records per block is not a reference.
bool QvIsValidRecordRef(std::uint32_t ref, std::uint32_t blockSize, std::uint32_t slotLength);
bool QvIsValidBlobNumber(std::uint32_t ref, std::uint32_t blockSize);
bool QvIsValidSegmentRef(std::uint32_t ref, std::uint32_t blockSize);

// Raises EqvServerException with a message of the server table.
[[noreturn]] void RaiseServer(int id, std::initializer_list<QvArg> args);

}  // namespace qv
