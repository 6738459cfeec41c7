#include "engine/storage/blobs.h"

#include <algorithm>
#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/base/string_resource.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/file_access.h"

namespace qv {

namespace {

constexpr int kBlobDeleted = 54, kBadBlobNumber = 55, kBadBlobBlock = 56, kBadSegment = 57, kTruncateTooLong = 58,
              kOffsetTooLarge = 59, kFileBlobWrite = 60;
constexpr int kInvalidParameter = 114;  // general table: the server table has no 114

[[noreturn]] void RaiseParameter(const char* routine, int parameter) {
    RaiseQvException(QvExceptionClass::Server, QvTable::General, kInvalidParameter, {routine, parameter});
}

std::uint32_t Payload(const TbtdFileInfo* file) { return file->blockSize - kQvBlockHeadSize; }

// Segment (counted from 1) holding BLOB byte o >= 256.
std::uint32_t SegmentOf(std::uint64_t o, std::uint32_t payload) {
    return static_cast<std::uint32_t>((o - kQvBLOBInline) / payload + 1);
}

std::uint8_t* ReadBlobBlock(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n,
                            std::uint32_t kind) {
    CheckBlockNumber(file, header, n);
    std::uint8_t* b = GetBlock(file, n, forUpdate);
    if (std::memcmp(b, "QVBH", 4) != 0 || GetU32(b + bblk::kKind) != kind || GetU32(b + 8) != n)
        RaiseServer(kBadBlobBlock, {file->name, n});
    return b;
}

std::uint8_t* Descriptor(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t blobNr,
                         std::uint32_t& block) {
    if (!QvIsValidBlobNumber(blobNr, file->blockSize)) RaiseServer(kBadBlobNumber, {file->name, blobNr});
    block = blobNr >> file->log2;
    std::uint8_t* b = ReadBlobBlock(file, header, forUpdate, block, 0);
    return b + (blobNr & (file->blockSize - 1));
}

// A live descriptor: link -1 and not marked free. A file BLOB's name must
// fit the data area, an ordinary BLOB's length the BLOB limit.
std::uint8_t* LiveDescriptor(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t blobNr,
                             std::uint32_t& block) {
    std::uint8_t* d = Descriptor(file, header, forUpdate, blobNr, block);
    const std::uint32_t segments = GetU32(d + bdesc::kSegments);
    if (GetU32(d + bdesc::kLink) != kQvNone || segments == kQvFreedBLOBSegments)
        RaiseServer(kBlobDeleted, {file->name, blobNr});
    const std::uint32_t length = GetU32(d + bdesc::kLength);
    if (segments == kQvFileBLOBSegments ? length > kQvBLOBInline : length > kQvMaxBLOBLength)
        RaiseServer(kBadBlobBlock, {file->name, block});
    return d;
}

std::uint8_t* Segment(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t ref,
                      std::uint32_t blobNr) {
    if (!QvIsValidSegmentRef(ref, file->blockSize)) RaiseServer(kBadSegment, {file->name, ref});
    std::uint8_t* b = ReadBlobBlock(file, header, forUpdate, ref >> file->log2, 1);
    // A segment owned by another BLOB means two chains cross.
    if (GetU32(b + bblk::kOwner) != blobNr) RaiseServer(kBadSegment, {file->name, ref});
    return b;
}

void PutBlobHead(std::uint8_t* b, std::uint32_t own, std::uint32_t kind, std::uint32_t next, std::uint32_t owner) {
    std::memcpy(b, "QVBH", 4);
    PutU32(b + 4, kQvNone);
    PutU32(b + 8, own);
    PutU32(b + bblk::kKind, kind);
    PutU32(b + bblk::kNext, next);
    PutU32(b + bblk::kOwner, owner);
    std::memset(b + 24, 0, 8);
}

void FormatDescriptorBlock(TbtdFileInfo* file, std::uint8_t* header) {
    std::uint32_t n;
    std::uint8_t* b = GetNewBlock(file, header, n);
    std::memset(b, 0, file->blockSize);
    PutBlobHead(b, n, 0, kQvNone, kQvNone);
    const std::uint32_t count = Payload(file) / kQvBLOBDescriptorSize;
    const std::uint32_t base = (n << file->log2) + kQvBlockHeadSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t* d = b + kQvBlockHeadSize + i * kQvBLOBDescriptorSize;
        PutU32(d + bdesc::kLink, i + 1 < count ? base + (i + 1) * kQvBLOBDescriptorSize : kQvNone);
        PutU32(d + bdesc::kLength, 0);
        PutU32(d + bdesc::kSegments, kQvFreedBLOBSegments);
        PutU32(d + bdesc::kFirstSegment, kQvNone);
    }
    PutU32(header + hdr::kFirstFreeBlob, base);
}

// Takes the head of the free-descriptor chain for a new BLOB.
std::uint8_t* NewDescriptor(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t& blobNr) {
    if (GetU32(header + hdr::kFirstFreeBlob) == kQvNone) FormatDescriptorBlock(file, header);
    blobNr = GetU32(header + hdr::kFirstFreeBlob);
    std::uint32_t block;
    std::uint8_t* d = Descriptor(file, header, true, blobNr, block);
    // Handing out a live descriptor would make two BLOBs share it.
    if (GetU32(d + bdesc::kSegments) != kQvFreedBLOBSegments) RaiseServer(kBadBlobBlock, {file->name, block});
    PutU32(header + hdr::kFirstFreeBlob, GetU32(d + bdesc::kLink));
    PutU32(d + bdesc::kLink, kQvNone);
    PutU32(d + bdesc::kLength, 0);
    PutU32(d + bdesc::kSegments, 0);
    PutU32(d + bdesc::kFirstSegment, kQvNone);
    std::memset(d + bdesc::kData, 0, kQvBLOBInline);
    PutU32(header + hdr::kBlobCount, GetU32(header + hdr::kBlobCount) + 1);
    return d;
}

// Frees the segment chain from `first`; a chain longer than the file has
// blocks is a loop.
void FreeSegments(TbtdFileInfo* file, std::uint8_t* header, std::uint32_t first, std::uint32_t blobNr) {
    std::uint32_t steps = GetU32(header + hdr::kBlockCount);
    for (std::uint32_t ref = first; ref != kQvNone;) {
        if (steps-- == 0) RaiseServer(kBadSegment, {file->name, ref});
        const std::uint32_t next = GetU32(Segment(file, header, false, ref, blobNr) + bblk::kNext);
        FreeBlock(file, header, ref >> file->log2);
        ref = next;
    }
}

std::string FileBLOBName(const std::uint8_t* d) {
    return std::string(reinterpret_cast<const char*>(d + bdesc::kData), GetU32(d + bdesc::kLength));
}

// Size of a file BLOB's file, or -1 with `error` set.
std::int64_t FileBLOBSize(const std::string& name, int& error) {
    TqvFileAccess& fa = QvFileAccess();
    int h = fa.Open(name, false, true, false, false, error);
    if (h < 0) return -1;
    std::int64_t size = fa.Size(h, error);
    int ignored = 0;
    fa.Close(h, ignored);
    return size;
}

void CheckRange(const char* routine, std::int64_t offset, std::int64_t length, bool sum) {
    if (offset < 0 || offset > kQvMaxBLOBLength) RaiseParameter(routine, 3);
    // The sum is taken in 64 bits: two values under the limit must not wrap
    // into a small one.
    if (length < 0 || (sum && offset + length > kQvMaxBLOBLength)) RaiseParameter(routine, 4);
}

void AddDescriptorCommon(TbtdFileInfo* file, std::uint32_t& blobNr, const std::string* fileName) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    if (fileName && fileName->size() > kQvBLOBInline) RaiseParameter("AddFileBLOB", 2);
    std::uint8_t* d = NewDescriptor(file, header, blobNr);
    if (fileName) {
        PutU32(d + bdesc::kLength, static_cast<std::uint32_t>(fileName->size()));
        PutU32(d + bdesc::kSegments, kQvFileBLOBSegments);
        std::memcpy(d + bdesc::kData, fileName->data(), fileName->size());
    }
}

}  // namespace

std::uint32_t QvBLOBSegmentsFor(std::uint64_t length, std::uint32_t blockSize) {
    if (length <= kQvBLOBInline) return 0;
    return static_cast<std::uint32_t>((length - kQvBLOBInline - 1) / (blockSize - kQvBlockHeadSize) + 1);
}

void AddBLOB(TbtdFileInfo* file, std::uint32_t& blobNr) { AddDescriptorCommon(file, blobNr, nullptr); }

void AddFileBLOB(TbtdFileInfo* file, const std::string& fileName, std::uint32_t& blobNr) {
    AddDescriptorCommon(file, blobNr, &fileName);
}

void FreeBLOB(TbtdFileInfo* file, std::uint32_t blobNr) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    std::uint32_t block;
    std::uint8_t* d = LiveDescriptor(file, header, true, blobNr, block);
    if (GetU32(d + bdesc::kSegments) != kQvFileBLOBSegments)
        FreeSegments(file, header, GetU32(d + bdesc::kFirstSegment), blobNr);
    PutU32(d + bdesc::kLink, GetU32(header + hdr::kFirstFreeBlob));
    PutU32(d + bdesc::kLength, 0);
    PutU32(d + bdesc::kSegments, kQvFreedBLOBSegments);
    PutU32(d + bdesc::kFirstSegment, kQvNone);
    PutU32(header + hdr::kFirstFreeBlob, blobNr);
    PutU32(header + hdr::kBlobCount, GetU32(header + hdr::kBlobCount) - 1);
}

bool BLOBIsEmpty(TbtdFileInfo* file, std::uint32_t blobNr) {
    TqvAccessScope access(file);
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t block;
    const std::uint8_t* d = LiveDescriptor(file, header, false, blobNr, block);
    return GetU32(d + bdesc::kLength) < 1;
}

bool FreeBLOBIfEmpty(TbtdFileInfo* file, std::uint32_t blobNr) {
    if (!BLOBIsEmpty(file, blobNr)) return false;
    FreeBLOB(file, blobNr);
    return true;
}

std::uint32_t GetBLOBLength(TbtdFileInfo* file, std::uint32_t blobNr, int& error) {
    TqvAccessScope access(file);
    error = 0;
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t block;
    const std::uint8_t* d = LiveDescriptor(file, header, false, blobNr, block);
    if (GetU32(d + bdesc::kSegments) != kQvFileBLOBSegments) return GetU32(d + bdesc::kLength);
    std::int64_t size = FileBLOBSize(FileBLOBName(d), error);
    return size < 0 ? 0 : static_cast<std::uint32_t>(std::min<std::int64_t>(size, 0xFFFFFFFFll));
}

bool GetFileBLOBName(TbtdFileInfo* file, std::uint32_t blobNr, std::string& name) {
    TqvAccessScope access(file);
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t block;
    const std::uint8_t* d = LiveDescriptor(file, header, false, blobNr, block);
    if (GetU32(d + bdesc::kSegments) != kQvFileBLOBSegments) return false;
    name = FileBLOBName(d);
    return true;
}

void QVTblReadBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t offset, std::int64_t length, void* buffer,
                   std::uint32_t& bytesRead, int& error) {
    TqvAccessScope access(file);
    CheckRange("QVTblReadBLOB", offset, length, false);
    bytesRead = 0;
    error = 0;
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t block;
    const std::uint8_t* d = LiveDescriptor(file, header, false, blobNr, block);
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (GetU32(d + bdesc::kSegments) == kQvFileBLOBSegments) {
        TqvFileAccess& fa = QvFileAccess();
        int h = fa.Open(FileBLOBName(d), false, true, false, false, error);
        if (h < 0) return;
        std::int64_t got = fa.ReadAt(h, static_cast<std::uint64_t>(offset), out, static_cast<std::size_t>(length), error);
        int ignored = 0;
        fa.Close(h, ignored);
        bytesRead = got < 0 ? 0 : static_cast<std::uint32_t>(got);
        return;
    }
    const std::uint64_t blobLength = GetU32(d + bdesc::kLength);
    if (static_cast<std::uint64_t>(offset) >= blobLength) return;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(length), blobLength - offset);
    std::uint64_t at = static_cast<std::uint64_t>(offset), done = 0;
    if (at < kQvBLOBInline) {
        std::uint64_t c = std::min<std::uint64_t>(kQvBLOBInline - at, n);
        std::memcpy(out, d + bdesc::kData + at, c);
        at += c;
        done += c;
    }
    if (done < n) {
        const std::uint32_t payload = Payload(file);
        const std::uint32_t s1 = SegmentOf(at, payload), s2 = SegmentOf(offset + n - 1, payload);
        std::uint32_t ref = GetU32(d + bdesc::kFirstSegment);
        std::uint32_t position = static_cast<std::uint32_t>((at - kQvBLOBInline) % payload) + kQvBlockHeadSize;
        for (std::uint32_t s = 1; s <= s2; ++s) {
            if (ref == kQvNone) RaiseServer(kBadSegment, {file->name, ref});
            const std::uint8_t* seg = Segment(file, header, false, ref, blobNr);
            if (s >= s1) {
                std::uint64_t c = std::min<std::uint64_t>(file->blockSize - position, n - done);
                std::memcpy(out + done, seg + position, c);
                done += c;
                position = kQvBlockHeadSize;
            }
            ref = GetU32(seg + bblk::kNext);
        }
    }
    bytesRead = static_cast<std::uint32_t>(done);
}

void QVTblWriteBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t offset, std::int64_t length,
                    const void* buffer) {
    TqvAccessScope access(file);
    CheckRange("QVTblWriteBLOB", offset, length, true);
    std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t descBlock;
    std::uint8_t* d = LiveDescriptor(file, header, true, blobNr, descBlock);
    if (GetU32(d + bdesc::kSegments) == kQvFileBLOBSegments) RaiseServer(kFileBlobWrite, {file->name, blobNr});
    const std::uint32_t oldLength = GetU32(d + bdesc::kLength);
    if (static_cast<std::uint64_t>(offset) > oldLength)
        RaiseServer(kOffsetTooLarge, {file->name, blobNr, static_cast<long long>(offset), oldLength});
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const std::uint64_t end = static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length);
    std::uint64_t at = static_cast<std::uint64_t>(offset), done = 0;
    if (at < kQvBLOBInline && at < end) {
        std::uint64_t c = std::min<std::uint64_t>(kQvBLOBInline - at, end - at);
        std::memcpy(d + bdesc::kData + at, in, c);
        at += c;
        done += c;
    }
    std::uint32_t s2 = 0;
    if (at < end) {
        const std::uint32_t payload = Payload(file);
        const std::uint32_t s1 = SegmentOf(at, payload);
        s2 = SegmentOf(end - 1, payload);
        std::uint32_t position = static_cast<std::uint32_t>((at - kQvBLOBInline) % payload) + kQvBlockHeadSize;
        std::uint32_t holder = descBlock;
        std::uint8_t* link = d + bdesc::kFirstSegment;
        for (std::uint32_t s = 1; s <= s2; ++s) {
            std::uint32_t ref = GetU32(link);
            std::uint8_t* seg;
            if (ref == kQvNone) {
                MarkBlockDirty(file, holder);
                std::uint8_t* h = GetHeaderBlock(file, true);
                std::uint32_t n;
                seg = GetNewBlock(file, h, n);
                std::memset(seg, 0, file->blockSize);
                PutBlobHead(seg, n, 1, kQvNone, blobNr);
                ref = (n << file->log2) + kQvBlockHeadSize;
                PutU32(link, ref);
            } else {
                seg = Segment(file, header, s >= s1, ref, blobNr);
            }
            if (s >= s1) {
                std::uint64_t c = std::min<std::uint64_t>(file->blockSize - position, end - at);
                std::memcpy(seg + position, in + done, c);
                at += c;
                done += c;
                position = kQvBlockHeadSize;
            }
            holder = ref >> file->log2;
            link = seg + bblk::kNext;
        }
    }
    PutU32(d + bdesc::kLength, static_cast<std::uint32_t>(std::max<std::uint64_t>(end, oldLength)));
    PutU32(d + bdesc::kSegments, std::max(s2, GetU32(d + bdesc::kSegments)));
}

void QVTblTruncateBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t newLength) {
    TqvAccessScope access(file);
    if (newLength < 0 || newLength > kQvMaxBLOBLength) RaiseParameter("QVTblTruncateBLOB", 3);
    std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint32_t block;
    std::uint8_t* d = LiveDescriptor(file, header, true, blobNr, block);
    if (GetU32(d + bdesc::kSegments) == kQvFileBLOBSegments) {
        PutU32(d + bdesc::kLength, 0);
        PutU32(d + bdesc::kSegments, 0);
        PutU32(d + bdesc::kFirstSegment, kQvNone);
        return;
    }
    const std::uint32_t length = GetU32(d + bdesc::kLength);
    if (static_cast<std::uint64_t>(newLength) > length)
        RaiseServer(kTruncateTooLong, {file->name, blobNr, static_cast<long long>(newLength), length});
    const std::uint32_t k = QvBLOBSegmentsFor(static_cast<std::uint64_t>(newLength), file->blockSize);
    if (k != GetU32(d + bdesc::kSegments)) {
        std::uint8_t* link = d + bdesc::kFirstSegment;
        for (std::uint32_t s = 1; s <= k; ++s) {
            std::uint32_t ref = GetU32(link);
            if (ref == kQvNone) RaiseServer(kBadSegment, {file->name, ref});
            link = Segment(file, header, s == k, ref, blobNr) + bblk::kNext;
        }
        const std::uint32_t rest = GetU32(link);
        PutU32(link, kQvNone);
        FreeSegments(file, GetHeaderBlock(file, true), rest, blobNr);
    }
    PutU32(d + bdesc::kLength, static_cast<std::uint32_t>(newLength));
    PutU32(d + bdesc::kSegments, k);
}

}  // namespace qv
