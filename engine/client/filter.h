// Filters of a cursor: a caller's callback, an expression tree, or both,
// tested against every record a move brings in.
//
// Expression tree as handed in (little-endian, packed): header u16 version,
// u16 total size, u16 node count, u16 node-area start, u16 literal-area
// start; nodes addressed by u16 offsets into the node area (the root at 0),
// each +0 u32 class, +4 u32 operator, then by class (1 unary, 2 binary,
// 3 compare, 4 field, 5 constant, 7 continue). The tree comes from outside
// the engine: every read is bounds-checked against the total size and
// nesting is limited, and a tree that breaks either rejects the record.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/client/handle_base.h"

namespace qv {

class TBaseTable;

// Node classes and operators of the expression tree.
enum : std::uint32_t {
    kNodeUnary = 1, kNodeBinary = 2, kNodeCompare = 3, kNodeField = 4, kNodeConst = 5, kNodeContinue = 7,
};
enum : std::uint32_t {
    kOpIsBlank = 1, kOpNotBlank = 2, kOpEq = 3, kOpNe = 4, kOpGt = 5, kOpLt = 6, kOpGe = 7, kOpLe = 8,
    kOpNot = 9, kOpAnd = 10, kOpOr = 11,
};
// The type of a field node's name when no field has it: a length-prefixed text.
constexpr std::uint16_t kFilterTextType = 15;
constexpr int kFilterHeaderSize = 10;
// Deeper trees are refused; the filter compiler builds far shallower ones.
constexpr int kMaxFilterDepth = 64;
constexpr int kFilterInfoSize = 24;

// Caller's filter routine: (client data, record, physical record number);
// non-zero accepts.
using FilterCallback = std::int16_t (*)(std::uint32_t clientData, void* record, std::uint32_t recordNumber);

// The result of evaluating one node.
struct FilterValue {
    static constexpr int kDataSize = 256;
    std::uint32_t nodeClass = 0;
    std::uint32_t op = 0;
    std::uint8_t data[kDataSize] = {};
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    bool blank = false;
};

class TFilterListItem {
public:
    TFilterListItem(TBaseTable* cursor, std::uint32_t clientData, std::uint16_t priority, bool canAbort,
                    const void* expression, FilterCallback callback);

    bool Accepts(void* record);

    TBaseTable* Cursor() const { return cursor_; }
    std::uint32_t ClientData() const { return clientData_; }
    std::uint16_t Priority() const { return priority_; }
    bool CanAbort() const { return canAbort_; }
    const std::vector<std::uint8_t>& Expression() const { return expression_; }
    FilterCallback Callback() const { return callback_; }
    bool Active() const { return active_; }
    void SetActive(bool on) { active_ = on; }

private:
    bool Evaluate(std::uint32_t nodeOffset, FilterValue& value, int depth);
    bool EvaluateField(std::uint32_t node, FilterValue& value);
    int CompareFilterValues(const FilterValue& a, const FilterValue& b, std::uint16_t partialLength,
                            bool caseInsensitive);
    std::uint16_t U16(std::uint32_t at) const;
    std::uint32_t U32(std::uint32_t at) const;
    // Bounds of node and literal areas within the tree.
    std::uint32_t NodeAt(std::uint32_t offset) const;
    std::uint32_t LiteralAt(std::uint32_t offset) const;

    TBaseTable* cursor_;
    std::uint32_t clientData_;
    std::uint16_t priority_;
    bool canAbort_;
    std::vector<std::uint8_t> expression_;
    FilterCallback callback_;
    bool active_ = false;
    void* record_ = nullptr;
};

}  // namespace qv
