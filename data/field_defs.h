// Field and index definitions: what a table holds, as the engine describes an
// open table and as CreateTable asks for a new one.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace db {

enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
    ftBCD, ftDate, ftTime, ftDateTime, ftAutoInc, ftBlob, ftMemo, ftGraphic
};

// One field value as the dataset layer moves it between the engine and the
// fields: null, an integer, a float (also currency, BCD and every date-time
// kind), a boolean, or bytes (strings, memos and BLOBs).
using TValue = std::variant<std::monostate, std::int64_t, double, bool, std::string>;
using TRecord = std::vector<TValue>;

inline bool IsNull(const TValue& v) { return std::holds_alternative<std::monostate>(v); }

class TFieldDef {
public:
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;          // characters for strings, places for BCD
    bool Required = false;
    int FieldNo = 0;       // counted from 1
};

class TFieldDefs {
public:
    void Clear() { items_.clear(); }
    TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
    int Count() const { return static_cast<int>(items_.size()); }
    const TFieldDef& Items(int i) const { return items_.at(i); }
    // Without regard to case; -1 when missing.
    int IndexOf(const std::string& name) const;
    const TFieldDef* Find(const std::string& name) const;
    const std::vector<TFieldDef>& List() const { return items_; }
    void Assign(const std::vector<TFieldDef>& defs);

private:
    std::vector<TFieldDef> items_;
};

enum TIndexOption : unsigned {
    ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8, ixExpression = 16
};

class TIndexDef {
public:
    std::string Name;     // empty for the primary index
    std::string Fields;   // field names separated by ";"
    unsigned Options = 0;
};

class TIndexDefs {
public:
    void Clear() { items_.clear(); }
    TIndexDef& Add(const std::string& name, const std::string& fields, unsigned options);
    int Count() const { return static_cast<int>(items_.size()); }
    const TIndexDef& Items(int i) const { return items_.at(i); }
    // By name without regard to case; the primary index also answers to "".
    const TIndexDef* FindIndex(const std::string& name) const;
    // The first index whose leading fields are these (names without regard to case).
    const TIndexDef* FindIndexForFields(const std::string& fields) const;
    const std::vector<TIndexDef>& List() const { return items_; }
    void Assign(const std::vector<TIndexDef>& defs) { items_ = defs; }

private:
    std::vector<TIndexDef> items_;
};

// "A;B; C" -> {"A","B","C"}: blanks around names do not count, empty names are dropped.
std::vector<std::string> SplitFieldNames(const std::string& fields);

}  // namespace db
