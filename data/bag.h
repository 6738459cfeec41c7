// Two small non-visual components: TBag, named values kept in one section
// of an ini file (the main window keeps its page grid's column layout in
// one), and TBestRecordBuffer, which copies the current record of one
// dataset into a new record of another. Neither uses Qt.
#pragma once

#include "platform/core/component.h"
#include "platform/core/exceptions.h"
#include "platform/core/string_list.h"
#include "data/field_defs.h"

#include <string>
#include <vector>

namespace db {
class TDataSet;
}

namespace misc {

class EBagError : public plat::Exception {
public:
    explicit EBagError(const std::string& message) : plat::Exception(message) {}
};

class TBag : public plat::TComponent {
public:
    explicit TBag(plat::TComponent* AOwner);

    std::string IniFile;  // path of the ini file
    std::string IniSect;  // its section

    int Count() const { return names_.Count(); }
    const plat::StringList& Names() const { return names_; }
    const plat::StringList& Values() const { return values_; }
    // Names match without regard to case; "" when there is none. An empty
    // name raises "No item specified".
    std::string GetValue(const std::string& name) const;
    // Appends the pair, or replaces the value of the pair with that name.
    void AddItem(const std::string& name, const std::string& value);
    void Clear();

    // Adds every key=value line of the section; a missing file or section
    // leaves the bag as it was.
    void LoadFromIni();
    // Writes every pair into the section; an empty bag raises "No items to
    // write to INI file" and writes nothing.
    void SaveToIni();

    // One pair per field of the dataset: prefix + "_Field_" + i valued field
    // name, display width, index, visible and read-only (0 or 1), joined by ",".
    void AddDataSetFields(const std::string& prefix, db::TDataSet* dataSet);
    // Gives the fields back their width, index, visibility and read-only
    // flag, from number 0 up to the first missing or empty pair. A pair that
    // names a field the dataset lacks, or holds a flag other than 0 or 1, is
    // skipped (a stale ini file never stops a window from opening); the
    // numbers of the last pair read stay in ParsedNumbers.
    void RestoreDataSetFields(const std::string& prefix, db::TDataSet* dataSet);
    const int* ParsedNumbers() const { return parsed_; }

private:
    void CheckIni() const;
    plat::StringList names_, values_;
    int parsed_[4] = {0, 0, 0, 0};
};

// Copies a record: SetDataSet captures the current record of a dataset,
// InsertFromBuffer inserts it as a new record into ToDataSet.
class TBestRecordBuffer : public plat::TComponent {
public:
    explicit TBestRecordBuffer(plat::TComponent* AOwner);

    db::TDataSet* DataSet() const { return dataSet_; }
    // Stores the dataset and, when it is assigned, captures every field's
    // value of its current record (a dataset without a record gives nulls).
    void SetDataSet(db::TDataSet* dataSet);
    db::TDataSet* ToDataSet = nullptr;

    bool HasBuffer() const { return hasBuffer_; }
    // Raises "No Table" without a target, "Already in edit." when the target
    // is being edited, "Buffer empty" before any capture, and "Buffer is
    // corrupt" when the target's fields differ in number or kind from the
    // captured ones; then nothing is inserted. Captured nulls leave the new
    // record's defaults.
    void InsertFromBuffer();

protected:
    void Notification(plat::TComponent* AComponent, plat::TOperation Operation) override;

private:
    struct Node {
        db::TFieldType type;
        db::TValue value;
    };
    db::TDataSet* dataSet_ = nullptr;
    std::vector<Node> buffer_;
    bool hasBuffer_ = false;
};

}  // namespace misc
