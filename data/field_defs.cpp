#include "data/field_defs.h"

#include "platform/core/codepage.h"
#include "data/db_errors.h"

namespace db {

namespace {
bool SameName(const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) == 0; }
}  // namespace

std::vector<std::string> SplitFieldNames(const std::string& fields) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        std::size_t b = cur.find_first_not_of(" \t");
        std::size_t e = cur.find_last_not_of(" \t");
        if (b != std::string::npos) out.push_back(cur.substr(b, e - b + 1));
        cur.clear();
    };
    for (char c : fields) {
        if (c == ';') flush(); else cur += c;
    }
    flush();
    return out;
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
    if (name.empty()) DatabaseError("Field name missing");
    if (IndexOf(name) >= 0) DatabaseError("Duplicate field name '" + name + "'");
    TFieldDef d;
    d.Name = name;
    d.DataType = type;
    d.Size = size;
    d.Required = required;
    d.FieldNo = Count() + 1;
    items_.push_back(d);
    return items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameName(items_[i].Name, name)) return i;
    return -1;
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &items_[i];
}

void TFieldDefs::Assign(const std::vector<TFieldDef>& defs) {
    items_ = defs;
    for (int i = 0; i < Count(); ++i) items_[i].FieldNo = i + 1;
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, unsigned options) {
    if (FindIndex(name) && !name.empty()) DatabaseError("Duplicate index name '" + name + "'");
    items_.push_back({name, fields, options});
    return items_.back();
}

const TIndexDef* TIndexDefs::FindIndex(const std::string& name) const {
    for (const TIndexDef& d : items_) {
        if (SameName(d.Name, name)) return &d;
        if (name.empty() && (d.Options & ixPrimary)) return &d;
    }
    return nullptr;
}

const TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) const {
    std::vector<std::string> want = SplitFieldNames(fields);
    if (want.empty()) return nullptr;
    for (const TIndexDef& d : items_) {
        std::vector<std::string> have = SplitFieldNames(d.Fields);
        if (have.size() < want.size()) continue;
        bool ok = true;
        for (std::size_t i = 0; i < want.size() && ok; ++i) ok = SameName(have[i], want[i]);
        if (ok) return &d;
    }
    return nullptr;
}

}  // namespace db
