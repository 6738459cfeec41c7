// Filters of a cursor: a caller's callback, an expression tree, or both,
// tested against every record a move brings in.
//
// Expression tree as handed in (little-endian, packed): header u16 version,
// u16 total size, u16 node count, u16 node-area start, u16 literal-area
// start; nodes addressed by u16 offsets into the node area (the root at 0),
// each +0 u32 class, +4 u32 operator, then by class (1 unary, 2 binary,
// 3 compare, 4 field, 5 constant, 7 continue). The tree comes from outside
// the engine, so it is checked once, when the filter is added: every read
// within the total size, at most kMaxFilterDepth nodes from the root down,
// and every node reached from one parent only (an offset pointing back up,
// or two parents sharing a child, would make a walk endless or
// exponential). A tree that fails is refused and never evaluated. The
// check decodes the tree and resolves each field name to its field number,
// so testing a record reads no names and allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/api/dbi_filter.h"
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
// Nodes on the longest path from the root; deeper trees are refused.
constexpr int kMaxFilterDepth = kDbiMaxFilterLevels;
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

    // False when the expression does not hold together or is too deep:
    // such a filter is refused. It was checked and decoded on construction,
    // against the fields the cursor has then.
    bool Valid() const { return valid_; }

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
    // One node of the expression, decoded; operands are indexes into nodes_.
    struct Node {
        std::uint32_t cls = 0;
        std::uint32_t op = 0;
        int first = -1, second = -1;
        bool caseInsensitive = false;
        std::uint16_t partial = 0;
        std::uint16_t continueValue = 0;
        // Field node: 0 with an empty name (false) or a name that is no
        // field (its text, kept in the node's value).
        int fieldNumber = 0;
        bool emptyName = false;
    };

    bool Prepare();
    int Decode(std::uint32_t nodeOffset, int level, std::vector<bool>& seen);
    bool Evaluate(int index);
    bool EvaluateField(const Node& node, FilterValue& value);
    int CompareFilterValues(const FilterValue& a, const FilterValue& b, std::uint16_t partialLength,
                            bool caseInsensitive);
    bool Readable(std::uint32_t at, std::uint32_t size) const;
    std::uint16_t U16(std::uint32_t at) const;
    std::uint32_t U32(std::uint32_t at) const;

    TBaseTable* cursor_;
    std::uint32_t clientData_;
    std::uint16_t priority_;
    bool canAbort_;
    std::vector<std::uint8_t> expression_;
    FilterCallback callback_;
    bool active_ = false;
    void* record_ = nullptr;
    bool valid_ = true;
    std::vector<Node> nodes_;
    // Each node's value; constants and names that are no field are filled
    // when decoded and never change.
    std::vector<FilterValue> values_;
    // A field's value is read whole here, then its first 256 bytes kept.
    std::vector<std::uint8_t> scratch_;
};

}  // namespace qv
