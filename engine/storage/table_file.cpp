#include "engine/storage/table_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/base/string_resource.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/file_access.h"
#include "engine/storage/journal.h"
#include "platform/core/codepage.h"

namespace qv {

void RaiseServer(int id, std::initializer_list<QvArg> args) {
    RaiseQvException(QvExceptionClass::Server, QvTable::Server, id, args);
}

TbtdFileInfoPtr NewFileInfo(std::string_view name, std::string_view extension, std::uint32_t blockSize) {
    auto info = std::make_unique<TbtdFileInfo>();
    info->blockSize = blockSize;
    info->name = QvChangeFileExt(name, extension.substr(0, 3));
    if (info->name.empty()) info->name = std::string(name);
    info->id = QvNextObjectId();
    return info;
}

void CheckFileInfo(const TbtdFileInfo* info, bool mustBeOpen) {
    bool ok = info && info->magic == kQvFileInfoMagic && !info->name.empty() &&
              (mustBeOpen ? info->handle >= 0 : info->handle == -1);
    if (!ok) RaiseServer(srv::kInvalidFileInfo, {});
}

// The folder part without the 219-character cap of the short-string helper.
static std::string FolderOf(const std::string& name) {
    std::size_t at = name.find_last_of("\\/");
    if (at == std::string::npos) return std::string();
    return at == 0 ? name.substr(0, 1) : name.substr(0, at);
}

static bool IsJournalName(const std::string& name) {
    return plat::AnsiUpperCase(QvExtractFileExt(name)) == "QV$";
}

void OpenTableFile(TbtdFileInfo* info, bool readWrite, bool shared, bool create, bool writeThrough) {
    CheckFileInfo(info, false);
    info->readWrite = readWrite;
    info->shared = shared;
    info->writeThrough = writeThrough;
    if (!IsJournalName(info->name)) QvRecoverFolderJournals(FolderOf(info->name));
    int err = 0;
    int h = QvFileAccess().Open(info->name, readWrite, shared, create, writeThrough, err);
    if (h < 0) RaiseServer(srv::kOpenFailed, {info->name, err});
    info->handle = h;
}

void CloseTableFile(TbtdFileInfo* info) {
    CheckFileInfo(info, true);
    int err = 0;
    int h = info->handle;
    info->handle = -1;
    if (!QvFileAccess().Close(h, err)) RaiseServer(srv::kCloseFailed, {info->name, err});
}

bool IsTableFileOpen(const TbtdFileInfo* info) { return info && info->handle >= 0; }

void FlushTableFile(TbtdFileInfo* info) {
    CheckFileInfo(info, true);
    int err = 0;
    if (!QvFileAccess().Flush(info->handle, err)) RaiseServer(srv::kFlushFailed, {info->name, err});
}

std::uint64_t GetTableFileSize(TbtdFileInfo* info) {
    CheckFileInfo(info, true);
    int err = 0;
    std::int64_t s = QvFileAccess().Size(info->handle, err);
    if (s < 0) RaiseServer(srv::kSeekFailed, {info->name, 2147483647, err});
    return static_cast<std::uint64_t>(s);
}

std::uint32_t ReadTableFileAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, void* buf) {
    CheckFileInfo(info, true);
    int err = 0;
    std::int64_t r = QvFileAccess().ReadAt(info->handle, pos, buf, count, err);
    if (r < 0) RaiseServer(srv::kReadFailed, {info->name, err});
    return static_cast<std::uint32_t>(r);
}

void ReadTableFileExactAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, void* buf) {
    if (ReadTableFileAt(info, pos, count, buf) != count) RaiseServer(srv::kReadShort, {info->name, count});
}

void WriteTableFileAt(TbtdFileInfo* info, std::uint64_t pos, std::uint32_t count, const void* buf) {
    CheckFileInfo(info, true);
    int err = 0;
    std::int64_t r = QvFileAccess().WriteAt(info->handle, pos, buf, count, err);
    if (r < 0) RaiseServer(srv::kWriteFailed, {info->name, err});
    if (static_cast<std::uint64_t>(r) != count) RaiseServer(srv::kWriteShort, {info->name, count});
}

void QvDeleteFile(const std::string& name) {
    int err = 0;
    if (!QvFileAccess().Delete(name, err)) RaiseServer(srv::kDeleteFailed, {err});
}

void QvRenameFile(const std::string& from, const std::string& to) {
    int err = 0;
    if (!QvFileAccess().Rename(from, to, err)) RaiseServer(srv::kRenameFailed, {err});
}

std::uint32_t QvLog2BlockSize(std::uint32_t blockSize) {
    switch (blockSize) {
    case 4096: return 12;
    case 8192: return 13;
    case 16384: return 14;
    case 32768: return 15;
    default: return 0;
    }
}

void InitHeaderBlock(std::uint8_t* b, std::uint32_t blockSize, std::uint32_t recordLength, std::uint32_t indexCount,
                     std::uint32_t fieldCount, bool encrypted) {
    std::memset(b, 0, blockSize);
    std::memcpy(b, "QVFH", 4);
    const std::uint32_t slot = recordLength + 4;
    PutU32(b + hdr::kReserved4, kQvNone);
    PutU32(b + hdr::kOwnBlock, 0);
    PutU32(b + hdr::kBlockSize, blockSize);
    PutU32(b + hdr::kEncrypted, encrypted ? 1 : 0);
    PutU32(b + hdr::kLog2, QvLog2BlockSize(blockSize));
    PutU32(b + hdr::kBlockCount, 1);
    PutU32(b + hdr::kFreeCount, 0);
    PutU32(b + hdr::kFirstFree, kQvNone);
    PutU32(b + hdr::kRecordCount, 0);
    PutU32(b + hdr::kDeletedCount, 0);
    PutU32(b + hdr::kFirstDeleted, kQvNone);
    PutU32(b + hdr::kRecordLength, recordLength);
    PutU32(b + hdr::kSlotLength, slot);
    PutU32(b + hdr::kRecordsPerBlock, (blockSize - kQvBlockHeadSize) / slot);
    PutU32(b + hdr::kFirstDataBlock, kQvNone);
    PutU32(b + hdr::kLastDataBlock, kQvNone);
    PutU32(b + hdr::kBlobCount, 0);
    PutU32(b + hdr::kFirstFreeBlob, kQvNone);
    PutU32(b + hdr::kReserved76, kQvNone);
    PutU32(b + hdr::kAutoInc, 0);
    PutU32(b + hdr::kIndexCount, indexCount);
    PutU32(b + hdr::kSeqAccess, 1);
    PutU32(b + hdr::kIndexHeader, kQvNone);
    PutU32(b + hdr::kFieldCount, fieldCount);
    PutU32(b + hdr::kDictFirst, kQvNone);
}

// ---- blocks ---------------------------------------------------------------------------------

static TqvBufferManager& ManagerOf(TbtdFileInfo* file) {
    CheckFileInfo(file, true);
    if (!file->bufferManager) RaiseServer(srv::kInvalidFileInfo, {});
    return *file->bufferManager;
}

std::uint8_t* GetBlock(TbtdFileInfo* file, std::uint32_t n, bool forUpdate) {
    return ManagerOf(file).GetBlock(file, n, forUpdate);
}
std::uint8_t* GetFreshBlock(TbtdFileInfo* file, std::uint32_t n) { return ManagerOf(file).GetFreshBlock(file, n); }
std::uint8_t* GetHeaderBlock(TbtdFileInfo* file, bool forUpdate) {
    return ManagerOf(file).GetHeaderBlock(file, forUpdate);
}
void MarkBlockDirty(TbtdFileInfo* file, std::uint32_t n) { ManagerOf(file).MarkBlockDirty(file, n); }
std::uint64_t BlockChangeCount(TbtdFileInfo* file) { return ManagerOf(file).ChangeCount(); }

void CheckBlockNumber(TbtdFileInfo* file, const std::uint8_t* header, std::uint32_t n) {
    if (n < 1 || n >= GetU32(header + hdr::kBlockCount)) RaiseServer(srv::kBadBlockNumber, {file->name, n});
}

std::uint8_t* GetNewBlock(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t& blockNumber) {
    MarkBlockDirty(file, 0);
    std::uint8_t* block;
    std::uint32_t b;
    if (GetU32(header + hdr::kFreeCount) > 0) {
        b = GetU32(header + hdr::kFirstFree);
        // A chain that points outside the file or at a block in use is corrupt;
        // checking the signature also stops a looping chain on its second turn.
        if (b < 1 || b >= GetU32(header + hdr::kBlockCount)) RaiseServer(srv::kBadFreeChain, {file->name, b});
        block = GetBlock(file, b, true);
        if (std::memcmp(block, "DEAD", 4) != 0 || GetU32(block + 8) != b)
            RaiseServer(srv::kBadFreeChain, {file->name, b});
        PutU32(header + hdr::kFirstFree, GetU32(block + 4));
        PutU32(header + hdr::kFreeCount, GetU32(header + hdr::kFreeCount) - 1);
    } else {
        b = GetU32(header + hdr::kBlockCount);
        // References shift the block number by log2(block size): beyond this
        // the file cannot be addressed.
        std::uint32_t log2 = QvLog2BlockSize(file->blockSize);
        if (log2 == 0 || (static_cast<std::uint64_t>(b) << log2) > 0xFFFFFFFFull)
            RaiseServer(srv::kBadBlockNumber, {file->name, b});
        block = GetFreshBlock(file, b);
        std::memset(block, 0, file->blockSize);
        PutU32(header + hdr::kBlockCount, b + 1);
    }
    PutU32(block + 8, b);
    blockNumber = b;
    return block;
}

void FreeBlock(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t blockNumber) {
    CheckBlockNumber(file, header, blockNumber);
    MarkBlockDirty(file, 0);
    std::uint8_t* block = GetBlock(file, blockNumber, true);
    // Freeing a free block would make the chain loop.
    if (std::memcmp(block, "DEAD", 4) == 0) RaiseServer(srv::kBadFreeChain, {file->name, blockNumber});
    std::memcpy(block, "DEAD", 4);
    PutU32(block + 4, GetU32(header + hdr::kFirstFree));
    PutU32(block + 8, blockNumber);
    PutU32(header + hdr::kFirstFree, blockNumber);
    PutU32(header + hdr::kFreeCount, GetU32(header + hdr::kFreeCount) + 1);
}

std::uint8_t* ReadStreamBlock(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n) {
    CheckBlockNumber(file, header, n);
    std::uint8_t* b = GetBlock(file, n, forUpdate);
    if (std::memcmp(b, "QVSH", 4) != 0 || GetU32(b + 8) != n) RaiseServer(srv::kBadStreamBlock, {file->name, n});
    return b;
}

void FreeStreamChain(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t first, bool keepFirst) {
    std::uint32_t n = first;
    std::uint32_t steps = 0;
    const std::uint32_t limit = GetU32(header + hdr::kBlockCount);
    while (n != kQvNone) {
        if (++steps > limit) RaiseServer(srv::kBadStreamBlock, {file->name, n});
        std::uint8_t* b = ReadStreamBlock(file, header, true, n);
        if (GetU32(b + sblk::kFirst) != first) RaiseServer(srv::kBadStreamBlock, {file->name, n});
        std::uint32_t next = GetU32(b + sblk::kNext);
        if (n == first && keepFirst)
            PutU32(b + sblk::kNext, kQvNone);
        else
            FreeBlock(file, header, n);
        n = next;
    }
}

std::string ReadStream(TbtdFileInfo* file, std::uint32_t first) {
    const std::uint8_t* header = GetHeaderBlock(file, false);
    const std::uint32_t payload = file->blockSize - kQvBlockHeadSize;
    const std::uint32_t blocks = GetU32(header + hdr::kBlockCount);
    const std::uint8_t* b = ReadStreamBlock(file, header, false, first);
    std::uint64_t length = GetU32(b + sblk::kLength);
    // A stream cannot be longer than the blocks of the file could hold.
    if (GetU32(b + sblk::kFirst) != first || length > static_cast<std::uint64_t>(blocks) * payload)
        RaiseServer(srv::kBadStreamBlock, {file->name, first});
    std::string out;
    out.reserve(static_cast<std::size_t>(length));
    std::uint32_t n = first;
    while (true) {
        std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(length - out.size(), payload));
        out.append(reinterpret_cast<const char*>(b + kQvBlockHeadSize), take);
        if (out.size() == length) break;
        std::uint32_t next = GetU32(b + sblk::kNext);
        if (next == kQvNone) RaiseServer(srv::kBadStreamBlock, {file->name, n});
        n = next;
        b = ReadStreamBlock(file, header, false, n);
        if (GetU32(b + sblk::kFirst) != first) RaiseServer(srv::kBadStreamBlock, {file->name, n});
    }
    return out;
}

static void InitStreamHead(std::uint8_t* b, std::uint32_t own, std::string_view kind, std::uint32_t length,
                           std::uint32_t first) {
    std::memcpy(b, "QVSH", 4);
    PutU32(b + 4, kQvNone);
    PutU32(b + 8, own);
    PutU32(b + sblk::kNext, kQvNone);
    char k[4] = {0, 0, 0, 0};
    std::memcpy(k, kind.data(), std::min<std::size_t>(kind.size(), 4));
    std::memcpy(b + sblk::kKind, k, 4);
    PutU32(b + sblk::kLength, length);
    PutU32(b + sblk::kFirst, first);
    PutU32(b + sblk::kZero, 0);
}

void WriteStream(TbtdFileInfo* file, std::uint32_t& first, std::string_view data, std::string_view kind, bool isNew) {
    std::uint8_t* header = GetHeaderBlock(file, true);
    const std::uint32_t payload = file->blockSize - kQvBlockHeadSize;
    if (data.size() > 0xFFFFFFFFu) RaiseServer(srv::kWriteShort, {file->name, 0});
    std::uint8_t* b;
    if (isNew) {
        b = GetNewBlock(file, header, first);
    } else {
        ReadStreamBlock(file, header, false, first);
        FreeStreamChain(file, header, first, true);
        b = GetBlock(file, first, true);
    }
    InitStreamHead(b, first, kind, static_cast<std::uint32_t>(data.size()), first);
    std::size_t at = 0;
    std::uint32_t current = first;
    while (true) {
        std::size_t take = std::min<std::size_t>(data.size() - at, payload);
        std::memcpy(b + kQvBlockHeadSize, data.data() + at, take);
        std::memset(b + kQvBlockHeadSize + take, 0, payload - take);
        at += take;
        if (at >= data.size()) break;
        std::uint32_t next;
        std::uint8_t* nb = GetNewBlock(file, header, next);
        b = GetBlock(file, current, true);  // the new block's page may have been taken from the pool
        PutU32(b + sblk::kNext, next);
        InitStreamHead(nb, next, kind, 0, first);
        b = nb;
        current = next;
    }
}

void DeleteTableFiles(const std::string& path) {
    std::string name = path;
    if (plat::AnsiUpperCase(QvExtractFileExt(name)) == "QVD") name = QvChangeFileExt(name, "");
    std::string dir = FolderOf(name);
    std::string base = name.substr(dir.empty() ? 0 : dir.size() + 1);
    std::string resolvedDir = dir.empty() ? std::string(".") : QvResolvePath(dir);
    for (const std::string& f : QvListFiles(resolvedDir, base + ".*")) {
        std::string full = resolvedDir + "/" + f;
        if (plat::AnsiUpperCase(QvExtractFileExt(f)) == "QVD" && f.size() == base.size() + 4) {
            QvDeleteFile(full);
            continue;
        }
        int err = 0;
        TqvFileAccess& fa = QvFileAccess();
        int h = fa.Open(full, true, false, false, false, err);
        if (h < 0) continue;  // in use or unreadable: not ours to delete
        char head[4];
        std::int64_t got = fa.ReadAt(h, 0, head, 4, err);
        fa.Close(h, err);
        if (got >= 0 && (got < 4 || std::memcmp(head, "QVFH", 4) == 0)) QvDeleteFile(full);
    }
}

std::string ExpandUNCName(const std::string& path) {
    // No mapped network drives here: the full path is the answer.
    return QvExpandFileName(path);
}

bool QvIsValidRecordRef(std::uint32_t ref, std::uint32_t blockSize, std::uint32_t slotLength) {
    if (ref == 0 || slotLength == 0 || !QvIsValidBlockSize(blockSize)) return false;
    std::uint32_t o = ref % blockSize;
    if (o < kQvBlockHeadSize) return false;
    std::uint32_t rel = o - kQvBlockHeadSize;
    return rel % slotLength == 0 && rel / slotLength < (blockSize - kQvBlockHeadSize) / slotLength;
}

bool QvIsValidBlobNumber(std::uint32_t ref, std::uint32_t blockSize) {
    return QvIsValidRecordRef(ref, blockSize, 272);
}

bool QvIsValidSegmentRef(std::uint32_t ref, std::uint32_t blockSize) {
    return QvIsValidBlockSize(blockSize) && ref != 0 && ref % blockSize == kQvBlockHeadSize;
}

}  // namespace qv
