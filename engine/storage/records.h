// Fixed-length records in the data blocks of a table's base file.
//
// A data block is a 32-byte head ("QVDH", -1, own number, records per block,
// record length, next and previous data block, 0) followed by slots of
// record length + 4 bytes: a u32 link and the record. Link 0 marks a live
// record; any other value marks a free slot and is the reference of the next
// free slot (-1 ends the chain). Data blocks form a doubly linked list in
// creation order (header +60 first, +64 last); free slots of all blocks form
// one chain (header +44 head, +40 count). Data blocks are never freed.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/storage/table_file.h"

namespace qv {

struct TqvTableInfo {
    std::uint32_t recordLength = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t deletedCount = 0;
    std::uint32_t recordsPerBlock = 0;
};

// Data block head words.
namespace dblk {
constexpr std::uint32_t kRecordsPerBlock = 12, kRecordLength = 16, kNext = 20, kPrior = 24, kZero = 28;
}

void AddRecord(TbtdFileInfo* file, std::uint32_t& ref, const void* record);
void DeleteRecord(TbtdFileInfo* file, std::uint32_t ref);
void ReadRecord(TbtdFileInfo* file, std::uint32_t ref, void* buffer);
// Records read one after another inside one request, as ReadRecord reads
// them but with the file's header and geometry taken once and the last data
// block kept: for a batch read in the engine's access window, with no write
// between the reads (the pages it holds stay in memory and unchanged).
class TqvRecordReader {
public:
    explicit TqvRecordReader(TbtdFileInfo* file);
    void Read(std::uint32_t ref, void* buffer);

private:
    TbtdFileInfo* file_;
    const std::uint8_t* header_;
    std::uint32_t recordLength_ = 0, slotLength_ = 0;
    // A reference's check without a division: slots a block holds, and the
    // reciprocal of the slot length (quotients of 32-bit numbers by it).
    std::uint32_t perBlock_ = 0;
    std::uint64_t reciprocal_ = 0;
    std::uint32_t lastBlock_ = 0;
    const std::uint8_t* lastData_ = nullptr;
};
void UpdateRecord(TbtdFileInfo* file, std::uint32_t ref, const void* record);
// The next live record in file order after `ref` (0: the first); nextRef is
// 0 when there is none, and `buffer` is then untouched.
void NextRecord(TbtdFileInfo* file, std::uint32_t ref, std::uint32_t& nextRef, void* buffer);
// The live records of a base file for a rebuild that must get past damage:
// the data blocks in chain order while the chain holds, then every data
// block the chain no longer reaches, found by its head. A block that cannot
// be read (past the end of a cut-short file, say) or whose head is not this
// file's data block head is skipped with its records. Keeps no block
// between calls, so each call may run under a lock of its own.
class TqvSalvageWalk {
public:
    explicit TqvSalvageWalk(TbtdFileInfo* file) : file_(file) {}
    // The next live record; false when there is none left.
    bool Next(std::uint32_t& ref, void* buffer);

private:
    // The data block `n` when it is whole, else nullptr.
    const std::uint8_t* Block(const std::uint8_t* header, std::uint32_t n);
    TbtdFileInfo* file_;
    bool started_ = false, broken_ = false, scanning_ = false;
    std::uint32_t block_ = 0, offset_ = 0, scanFrom_ = 1;
    std::vector<bool> seen_;
};

void GetTableInfo(TbtdFileInfo* file, TqvTableInfo& info);
std::uint32_t NextAutoIncValue(TbtdFileInfo* file);
void SetAutoIncValue(TbtdFileInfo* file, std::uint32_t value);

// The data block holding `ref` after the reference checks, with the slot's
// offset in it.
std::uint8_t* ReadDataBlock(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t ref,
                            std::uint32_t& offset);
std::uint8_t* ReadDataBlockByNumber(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n);

}  // namespace qv
