#include "engine/storage/records.h"

#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "engine/storage/buffer_manager.h"

namespace qv {

namespace {

constexpr int kRecordDeleted = 51;

struct Geometry {
    std::uint32_t recordLength, slotLength, perBlock;
};

// The header's record words come from disk: a slot length that does not
// match the record length, or a block that holds no slot, would send every
// copy outside its block.
Geometry GeometryOf(TbtdFileInfo* file, const std::uint8_t* header) {
    Geometry g{GetU32(header + hdr::kRecordLength), GetU32(header + hdr::kSlotLength),
               GetU32(header + hdr::kRecordsPerBlock)};
    const std::uint32_t payload = file->blockSize - kQvBlockHeadSize;
    if (g.recordLength > payload || g.slotLength != g.recordLength + 4 || g.perBlock == 0 ||
        g.perBlock != payload / g.slotLength)
        RaiseServer(srv::kNotTableFile, {file->name});
    return g;
}

void PutHead(std::uint8_t* b, std::uint32_t own, const Geometry& g, std::uint32_t next, std::uint32_t prior) {
    std::memcpy(b, "QVDH", 4);
    PutU32(b + 4, kQvNone);
    PutU32(b + 8, own);
    PutU32(b + dblk::kRecordsPerBlock, g.perBlock);
    PutU32(b + dblk::kRecordLength, g.recordLength);
    PutU32(b + dblk::kNext, next);
    PutU32(b + dblk::kPrior, prior);
    PutU32(b + dblk::kZero, 0);
}

// A new data block whose slots all join the free chain, in slot order.
void FormatDataBlock(TbtdFileInfo* file, std::uint8_t* header, const Geometry& g) {
    const std::uint32_t last = GetU32(header + hdr::kLastDataBlock);
    if (last != kQvNone) ReadDataBlockByNumber(file, header, false, last);  // checked before linking to it
    std::uint32_t n;
    std::uint8_t* b = GetNewBlock(file, header, n);
    PutHead(b, n, g, kQvNone, last);
    const std::uint32_t base = n << file->log2;
    for (std::uint32_t k = 0; k < g.perBlock; ++k) {
        std::uint8_t* slot = b + kQvBlockHeadSize + k * g.slotLength;
        PutU32(slot, k + 1 < g.perBlock ? base + kQvBlockHeadSize + (k + 1) * g.slotLength : kQvNone);
        std::memset(slot + 4, 0, g.recordLength);
    }
    std::memset(b + kQvBlockHeadSize + g.perBlock * g.slotLength, 0,
                file->blockSize - kQvBlockHeadSize - g.perBlock * g.slotLength);
    // An empty chain is the only reason to format, so the new block's slots
    // are the whole chain.
    PutU32(header + hdr::kFirstDeleted, base + kQvBlockHeadSize);
    PutU32(header + hdr::kDeletedCount, g.perBlock);
    if (last != kQvNone) {
        std::uint8_t* lb = ReadDataBlockByNumber(file, header, true, last);
        PutU32(lb + dblk::kNext, n);
    } else {
        PutU32(header + hdr::kFirstDataBlock, n);
    }
    PutU32(header + hdr::kLastDataBlock, n);
}

std::uint8_t* LiveSlot(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t ref) {
    std::uint32_t offset;
    std::uint8_t* b = ReadDataBlock(file, header, forUpdate, ref, offset);
    std::uint8_t* slot = b + offset;
    if (GetU32(slot) != 0) RaiseServer(kRecordDeleted, {file->name, ref});
    return slot;
}

}  // namespace

std::uint8_t* ReadDataBlockByNumber(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t n) {
    CheckBlockNumber(file, header, n);
    std::uint8_t* b = GetBlock(file, n, forUpdate);
    if (std::memcmp(b, "QVDH", 4) != 0 || GetU32(b + 8) != n) RaiseServer(srv::kBadDataBlock, {file->name, n});
    return b;
}

std::uint8_t* ReadDataBlock(TbtdFileInfo* file, const std::uint8_t* header, bool forUpdate, std::uint32_t ref,
                            std::uint32_t& offset) {
    const Geometry g = GeometryOf(file, header);
    if (!QvIsValidRecordRef(ref, file->blockSize, g.slotLength)) RaiseServer(srv::kBadRecordRef, {file->name, ref});
    offset = ref & (file->blockSize - 1);
    return ReadDataBlockByNumber(file, header, forUpdate, ref >> file->log2);
}

void AddRecord(TbtdFileInfo* file, std::uint32_t& ref, const void* record) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    const Geometry g = GeometryOf(file, header);
    if (GetU32(header + hdr::kDeletedCount) == 0) FormatDataBlock(file, header, g);
    const std::uint32_t head = GetU32(header + hdr::kFirstDeleted);
    std::uint32_t offset;
    std::uint8_t* b = ReadDataBlock(file, header, true, head, offset);
    std::uint8_t* slot = b + offset;
    // A live record at the head of the free chain means the chain is
    // corrupt; reusing it would overwrite that record.
    if (GetU32(slot) == 0) RaiseServer(srv::kBadDataBlock, {file->name, head >> file->log2});
    PutU32(header + hdr::kFirstDeleted, GetU32(slot));
    PutU32(slot, 0);
    std::memcpy(slot + 4, record, g.recordLength);
    PutU32(header + hdr::kRecordCount, GetU32(header + hdr::kRecordCount) + 1);
    PutU32(header + hdr::kDeletedCount, GetU32(header + hdr::kDeletedCount) - 1);
    ref = head;
}

void DeleteRecord(TbtdFileInfo* file, std::uint32_t ref) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    std::uint8_t* slot = LiveSlot(file, header, true, ref);
    PutU32(slot, GetU32(header + hdr::kFirstDeleted));
    PutU32(header + hdr::kFirstDeleted, ref);
    PutU32(header + hdr::kDeletedCount, GetU32(header + hdr::kDeletedCount) + 1);
    PutU32(header + hdr::kRecordCount, GetU32(header + hdr::kRecordCount) - 1);
}

void ReadRecord(TbtdFileInfo* file, std::uint32_t ref, void* buffer) {
    TqvAccessScope access(file);
    const std::uint8_t* header = GetHeaderBlock(file, false);
    const std::uint8_t* slot = LiveSlot(file, header, false, ref);
    std::memcpy(buffer, slot + 4, GetU32(header + hdr::kRecordLength));
}

TqvRecordReader::TqvRecordReader(TbtdFileInfo* file) : file_(file), header_(GetHeaderBlock(file, false)) {
    const Geometry g = GeometryOf(file, header_);
    recordLength_ = g.recordLength;
    slotLength_ = g.slotLength;
    if (slotLength_ != 0 && QvIsValidBlockSize(file_->blockSize)) {
        perBlock_ = (file_->blockSize - kQvBlockHeadSize) / slotLength_;
        reciprocal_ = ~std::uint64_t(0) / slotLength_ + 1;
    }
}

void TqvRecordReader::Read(std::uint32_t ref, void* buffer) {
    // What QvIsValidRecordRef answers: past the block head, on a slot's
    // start, inside the block's slots. The quotient by the reciprocal is
    // exact for every 32-bit dividend.
    const std::uint32_t offset = ref & (file_->blockSize - 1);
    const std::uint32_t rel = offset - kQvBlockHeadSize;
    const auto k = static_cast<std::uint32_t>((static_cast<unsigned __int128>(reciprocal_) * rel) >> 64);
    if (perBlock_ == 0 || offset < kQvBlockHeadSize || k * slotLength_ != rel || k >= perBlock_)
        RaiseServer(srv::kBadRecordRef, {file_->name, ref});
    const std::uint32_t block = ref >> file_->log2;
    if (lastData_ == nullptr || block != lastBlock_) {
        lastData_ = ReadDataBlockByNumber(file_, header_, false, block);
        lastBlock_ = block;
    }
    const std::uint8_t* slot = lastData_ + (ref & (file_->blockSize - 1));
    if (GetU32(slot) != 0) RaiseServer(kRecordDeleted, {file_->name, ref});
    std::memcpy(buffer, slot + 4, recordLength_);
}

void UpdateRecord(TbtdFileInfo* file, std::uint32_t ref, const void* record) {
    TqvAccessScope access(file);
    const std::uint8_t* header = GetHeaderBlock(file, false);
    std::uint8_t* slot = LiveSlot(file, header, true, ref);
    std::memcpy(slot + 4, record, GetU32(header + hdr::kRecordLength));
}

void NextRecord(TbtdFileInfo* file, std::uint32_t ref, std::uint32_t& nextRef, void* buffer) {
    TqvAccessScope access(file);
    nextRef = 0;
    const std::uint8_t* header = GetHeaderBlock(file, false);
    if (GetU32(header + hdr::kRecordCount) == 0) return;
    const Geometry g = GeometryOf(file, header);
    const std::uint32_t end = kQvBlockHeadSize + g.perBlock * g.slotLength;
    std::uint32_t block, offset;
    const std::uint8_t* b;
    if (ref == 0) {
        block = GetU32(header + hdr::kFirstDataBlock);
        if (block == kQvNone) return;
        b = ReadDataBlockByNumber(file, header, false, block);
        offset = kQvBlockHeadSize;
    } else {
        b = ReadDataBlock(file, header, false, ref, offset);
        block = ref >> file->log2;
        offset += g.slotLength;
    }
    // A looping block chain would never end; no walk visits more blocks
    // than the file has.
    std::uint32_t steps = GetU32(header + hdr::kBlockCount);
    while (true) {
        for (; offset < end; offset += g.slotLength) {
            if (GetU32(b + offset) == 0) {
                nextRef = (block << file->log2) + offset;
                std::memcpy(buffer, b + offset + 4, g.recordLength);
                return;
            }
        }
        block = GetU32(b + dblk::kNext);
        if (block == kQvNone) return;
        if (steps-- == 0) RaiseServer(srv::kBadDataBlock, {file->name, block});
        b = ReadDataBlockByNumber(file, header, false, block);
        offset = kQvBlockHeadSize;
    }
}

const std::uint8_t* TqvSalvageWalk::Block(const std::uint8_t* header, std::uint32_t n) {
    if (n == 0 || n >= seen_.size() || seen_[n]) return nullptr;
    seen_[n] = true;
    try {
        const Geometry g = GeometryOf(file_, header);
        const std::uint8_t* b = ReadDataBlockByNumber(file_, header, false, n);
        if (GetU32(b + dblk::kRecordsPerBlock) == g.perBlock && GetU32(b + dblk::kRecordLength) == g.recordLength)
            return b;
    } catch (const EqvException&) {
    }
    return nullptr;
}

bool TqvSalvageWalk::Next(std::uint32_t& ref, void* buffer) {
    TqvAccessScope access(file_);
    const std::uint8_t* header = GetHeaderBlock(file_, false);
    // A header the walk cannot trust has no records to give.
    const Geometry g = GeometryOf(file_, header);
    const std::uint32_t end = kQvBlockHeadSize + g.perBlock * g.slotLength;
    if (!started_) {
        started_ = true;
        seen_.assign(GetU32(header + hdr::kBlockCount), false);
        const std::uint32_t first = GetU32(header + hdr::kFirstDataBlock);
        if (Block(header, first)) block_ = first;
        else broken_ = first != kQvNone;
        offset_ = kQvBlockHeadSize;
    }
    for (;;) {
        if (block_ == 0) {
            // A whole chain reached every data block. Otherwise the scan
            // looks for the blocks it did not reach, passing over blocks of
            // other kinds.
            if (!broken_) return false;
            scanning_ = true;
            for (; scanFrom_ < seen_.size() && block_ == 0; ++scanFrom_)
                if (Block(header, scanFrom_)) block_ = scanFrom_;
            if (block_ == 0) return false;
            offset_ = kQvBlockHeadSize;
        }
        // Read again on each call: the walk holds no block between calls.
        const std::uint8_t* b = nullptr;
        try {
            b = ReadDataBlockByNumber(file_, header, false, block_);
        } catch (const EqvException&) {
        }
        if (!b) {
            block_ = 0;
            broken_ = true;
            continue;
        }
        for (; offset_ < end; offset_ += g.slotLength) {
            if (GetU32(b + offset_) == 0) {
                ref = (block_ << file_->log2) + offset_;
                std::memcpy(buffer, b + offset_ + 4, g.recordLength);
                offset_ += g.slotLength;
                return true;
            }
        }
        // Onwards along the chain while each block links back to the one
        // before; where it breaks (a damaged block, a loop, an end that is
        // not the last block) the scan takes over.
        const std::uint32_t next = GetU32(b + dblk::kNext), here = block_;
        block_ = 0;
        offset_ = kQvBlockHeadSize;
        if (scanning_) continue;
        if (next == kQvNone) {
            broken_ = here != GetU32(header + hdr::kLastDataBlock);
        } else if (const std::uint8_t* nb = Block(header, next); nb && GetU32(nb + dblk::kPrior) == here) {
            block_ = next;
        } else {
            broken_ = true;
        }
    }
}

void GetTableInfo(TbtdFileInfo* file, TqvTableInfo& info) {
    TqvAccessScope access(file);
    const std::uint8_t* header = GetHeaderBlock(file, false);
    info.recordLength = GetU32(header + hdr::kRecordLength);
    info.recordCount = GetU32(header + hdr::kRecordCount);
    info.deletedCount = GetU32(header + hdr::kDeletedCount);
    info.recordsPerBlock = GetU32(header + hdr::kRecordsPerBlock);
}

std::uint32_t NextAutoIncValue(TbtdFileInfo* file) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    std::uint32_t v = GetU32(header + hdr::kAutoInc) + 1;
    PutU32(header + hdr::kAutoInc, v);
    return v;
}

void SetAutoIncValue(TbtdFileInfo* file, std::uint32_t value) {
    TqvAccessScope access(file);
    std::uint8_t* header = GetHeaderBlock(file, true);
    if (value > GetU32(header + hdr::kAutoInc)) PutU32(header + hdr::kAutoInc, value);
}

}  // namespace qv
