// The filter language of the data-aware tables, compiled into the engine's
// filter-expression buffer and installed on a dataset's cursor.
//
// A text is a chain of comparisons joined by AND and OR, which have the same
// precedence and group from the left (`a OR b AND c` is `(a OR b) AND c`).
// The field stands on the left of a comparison and the constant on the
// right; the constant is written in the type of that field. Identifiers run
// on across blanks (`Name = John Smith`), a minus sign before a digit starts
// a number (`HelpId = -1 OR ...`), strings are in double quotes without
// escapes, and comparisons of strings are case-sensitive.
//
// A run of one connective (`a OR b OR c ...`) is written as a balanced tree,
// so a long list of alternatives stays within the engine's depth limit; its
// terms keep their order. Brackets and products nest at most
// kFilterMaxNesting deep, and a tree deeper than the engine takes
// (kDbiMaxFilterLevels) is refused here rather than by the engine.
//
// Buffer layout (little-endian): five 16-bit words (version 1, total size,
// node count, node-area start 10, literal-pool start), then 14-byte node
// slots with the root at offset 0 (children are written first, from the last
// slot back), then the literal pool (names and values back to back; a name
// used again points at its first copy). Binary
// node: class 2, operator, left and right offsets. Field node: class 4,
// operator 13, running field-node count, name offset. Constant node: class
// 5, operator 14, type, size, value offset.
//
// bench_filter times a read through an expression filter that passes every
// row against the same read without one.
#pragma once

#include "data/field_defs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace db { class TDataSet; }

namespace vl {

// Node kinds of the parsed tree.
enum TNodeKind : std::uint8_t { nkRelation = 0, nkConnective = 1, nkArithmetic = 2, nkOperand = 3 };

// Operand codes: how a constant compared with a field of a type is written
// (0: as a field node carrying the constant's text as a name).
enum TOperandCode : std::uint8_t {
    ocFieldNode = 0, ocString = 1, ocFloat = 2, ocTimeStamp = 3, ocDate = 4, ocTime = 5,
    ocBoolean = 6, ocInteger = 7, ocBCD = 8, ocSmallInt = 9
};
TOperandCode OperandCodeOf(db::TFieldType type);

class TNode {
public:
    TNode(TNodeKind kind, std::string text) : Kind(kind), Text(std::move(text)) {}
    TNodeKind Kind;
    TOperandCode DataType = ocFieldNode;
    std::int32_t Decimals = 0;
    std::string Text;
    std::int32_t Offset = 0;
    std::unique_ptr<TNode> Left, Right;
    // Nodes on the longest path down from this one, this one included.
    int Levels = 1;
    int CountNodes() const;
};

// The parser's symbol stack.
class TStackStr {
public:
    void Push(std::string s) { items_.push_back(std::move(s)); }
    // "" when empty.
    std::string Pop();
    int Count() const { return static_cast<int>(items_.size()); }
private:
    std::vector<std::string> items_;
};

// The operand stack of nodes; it owns what it holds.
class TStackPtr {
public:
    void Push(std::unique_ptr<TNode> n) { items_.push_back(std::move(n)); }
    // nullptr when empty.
    std::unique_ptr<TNode> Pop();
    int Count() const { return static_cast<int>(items_.size()); }
private:
    std::vector<std::unique_ptr<TNode>> items_;
};

// A field the compiler may compare with: name, type and size (places of a
// BCD field).
struct TFilterField {
    std::string Name;
    db::TFieldType DataType = db::ftUnknown;
    int Size = 0;
};
// The fields of a dataset: its field objects when open, else its definitions.
std::vector<TFilterField> FilterFieldsOf(const db::TDataSet& dataSet);

// Why a compilation failed.
enum class TFilterFault {
    None, Syntax, FieldNotFound, TrailingText, LiteralTooLong, TooDeep, TooLarge
};

constexpr int kFilterNodeSize = 14;
constexpr int kFilterHeaderSize = 10;
// Names and string values are written with at most this many characters.
constexpr std::size_t kFilterMaxLiteral = 255;
// Brackets (and right-hand products) within one another the parser follows.
constexpr int kFilterMaxNesting = 256;

// Compiles a filter text. Fails (no buffer) on a syntax error, on text left
// after the chain, on a name or constant longer than 255 characters, on
// nesting or a tree too deep, on a buffer over 65 535 bytes, and
// with the warning "<name>" + line break + "Field not found in Table. " when
// the left side of a comparison is no field. A constant its field's type
// cannot read raises plat::EConvertError.
std::optional<std::vector<std::uint8_t>> FilterTextToExpr(const std::string& text,
                                                           const std::vector<TFilterField>& fields,
                                                           TFilterFault* fault = nullptr);

// The engine's filter handle (0: none).
using TFilterHandle = std::uint32_t;

// Compiles `text` and makes it the dataset's one expression filter, then the
// dataset reads from its first record again. A closed dataset installs
// nothing (unless `force`, while it opens). An empty text removes the filter.
// When the text does not compile or the engine refuses the new filter, the
// filter installed before stays in force with its handle and the result is
// false. Conversion errors are raised before anything changes.
bool InstallCursorFilter(const std::string& text, db::TDataSet& dataSet, TFilterHandle& handle, bool force);
// Switches the filter off and drops it; the handle becomes 0.
void DropCursorFilter(db::TDataSet& dataSet, TFilterHandle& handle);

// The engine's filter entry points the installer calls; a test may put in
// ones that fail (nullptr restores the engine's).
struct TFilterEntryPoints {
    std::uint16_t (*AddFilter)(std::uint32_t cursor, std::uint32_t clientData, std::uint16_t priority, bool canAbort,
                               const void* expression, void* callback, std::uint32_t& filter);
    std::uint16_t (*ActivateFilter)(std::uint32_t cursor, std::uint32_t filter);
    std::uint16_t (*DeactivateFilter)(std::uint32_t cursor, std::uint32_t filter);
    std::uint16_t (*DropFilter)(std::uint32_t cursor, std::uint32_t filter);
};
void SetFilterEntryPoints(const TFilterEntryPoints* entryPoints);

}  // namespace vl
