// Variable-length BLOBs in BLOB blocks of a table file.
//
// A descriptor block ("QVBH", kind 0) holds (block size - 32) div 272
// descriptors; a descriptor's reference is its BLOB number. A descriptor
// keeps the length, the number of segment blocks, the first segment and the
// first 256 data bytes; byte o >= 256 lives in segment (o - 256) div
// (block size - 32) + 1 of the chain, a segment being a whole block
// ("QVBH", kind 1) with its next link at +16 and its owner at +20.
//
// Free descriptors form one chain (header +72) whose last link is -1 like a
// live descriptor's; a free descriptor therefore also carries the segment
// count kQvFreedBLOBSegments, and only a descriptor with link -1 and another
// segment count is live. File BLOBs (segment count -1) name a file outside
// the table and can be read but not written.
#pragma once

#include <cstdint>
#include <string>

#include "engine/storage/table_file.h"

namespace qv {

constexpr std::uint32_t kQvBLOBDescriptorSize = 272;
constexpr std::uint32_t kQvBLOBInline = 256;
constexpr std::int64_t kQvMaxBLOBLength = 16777216;
constexpr std::uint32_t kQvFileBLOBSegments = 0xFFFFFFFFu;
constexpr std::uint32_t kQvFreedBLOBSegments = 0xFFFFFFFEu;

// Descriptor words and BLOB block head words.
namespace bdesc {
constexpr std::uint32_t kLink = 0, kLength = 4, kSegments = 8, kFirstSegment = 12, kData = 16;
}
namespace bblk {
constexpr std::uint32_t kKind = 12, kNext = 16, kOwner = 20;
}

void AddBLOB(TbtdFileInfo* file, std::uint32_t& blobNr);
void AddFileBLOB(TbtdFileInfo* file, const std::string& fileName, std::uint32_t& blobNr);
void FreeBLOB(TbtdFileInfo* file, std::uint32_t blobNr);
bool FreeBLOBIfEmpty(TbtdFileInfo* file, std::uint32_t blobNr);
// What FreeBLOBIfEmpty looks at, read only: true when the BLOB holds no data.
bool BLOBIsEmpty(TbtdFileInfo* file, std::uint32_t blobNr);
// `error` is 0, or the system error of a file BLOB's file that cannot be read.
std::uint32_t GetBLOBLength(TbtdFileInfo* file, std::uint32_t blobNr, int& error);
bool GetFileBLOBName(TbtdFileInfo* file, std::uint32_t blobNr, std::string& name);

void QVTblReadBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t offset, std::int64_t length, void* buffer,
                   std::uint32_t& bytesRead, int& error);
void QVTblWriteBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t offset, std::int64_t length,
                    const void* buffer);
void QVTblTruncateBLOB(TbtdFileInfo* file, std::uint32_t blobNr, std::int64_t newLength);

// Segments a BLOB of `length` bytes uses with blocks of `blockSize`.
std::uint32_t QvBLOBSegmentsFor(std::uint64_t length, std::uint32_t blockSize);

}  // namespace qv
