#include "data/bag.h"

#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "data/dataset.h"
#include "data/fields.h"

#include <cstdlib>

namespace misc {

TBag::TBag(plat::TComponent* AOwner) : plat::TComponent(AOwner) {}

namespace {

int IndexOfName(const plat::StringList& names, const std::string& name) {
    for (int i = 0; i < names.Count(); ++i)
        if (plat::CompareAnsi(names[i], name, true) == 0) return i;
    return -1;
}

// The widest column, in characters, a stored grid layout may ask for: the
// longest string field.
constexpr int kMaxStoredDisplayWidth = 255;

// Text that is not a number counts as 0; a number may have a sign.
int NumberOrZero(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t j = i;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) ++j;
    const std::size_t digits = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    std::size_t end = j;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    if (j == digits || end != text.size() || j - digits > 9) return 0;
    return std::atoi(text.substr(i, j - i).c_str());
}

}  // namespace

std::string TBag::GetValue(const std::string& name) const {
    if (name.empty()) throw EBagError("No item specified");
    const int at = IndexOfName(names_, name);
    return at < 0 ? std::string() : values_[at];
}

void TBag::AddItem(const std::string& name, const std::string& value) {
    if (name.empty()) throw EBagError("No item specified");
    const int at = IndexOfName(names_, name);
    if (at < 0) {
        names_.Add(name);
        values_.Add(value);
    } else {
        values_.SetString(at, value);
    }
}

void TBag::Clear() {
    names_.Clear();
    values_.Clear();
}

void TBag::CheckIni() const {
    if (IniFile.empty()) throw EBagError("No INI file specified");
    if (IniSect.empty()) throw EBagError("No INI file section specified");
}

void TBag::LoadFromIni() {
    CheckIni();
    plat::TIniFile ini(IniFile);
    for (const std::string& line : ini.ReadSectionValues(IniSect)) {
        if (line.size() <= 1) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        AddItem(line.substr(0, eq), line.substr(eq + 1));
    }
}

void TBag::SaveToIni() {
    CheckIni();
    if (names_.Count() == 0) throw EBagError("No items to write to INI file");
    plat::TIniFile ini(IniFile);
    for (int i = 0; i < names_.Count(); ++i) ini.WriteString(IniSect, names_[i], values_[i]);
}

void TBag::AddDataSetFields(const std::string& prefix, db::TDataSet* dataSet) {
    if (!dataSet) return;
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        const db::TField* f = dataSet->Fields(i);
        AddItem(prefix + "_Field_" + std::to_string(i),
                f->FieldName + "," + std::to_string(f->DisplayWidth()) + "," + std::to_string(f->Index()) + "," +
                    (f->Visible ? "1" : "0") + "," + (f->ReadOnly ? "1" : "0"));
    }
}

void TBag::RestoreDataSetFields(const std::string& prefix, db::TDataSet* dataSet) {
    if (!dataSet) return;
    const std::string key = plat::AnsiUpperCase(prefix) + "_FIELD_";
    for (int i = 0; i <= 999; ++i) {
        std::string value = GetValue(key + std::to_string(i));
        if (value.empty()) break;
        if (const std::size_t eq = value.find('='); eq != std::string::npos) value = value.substr(eq + 1);
        const std::size_t comma = value.find(',');
        const std::string fieldName = value.substr(0, comma);
        std::string rest = comma == std::string::npos ? std::string() : value.substr(comma + 1);
        if (rest.size() > 99) rest.resize(99);
        int numbers[4] = {0, 0, 0, 0};
        std::size_t start = 0;
        for (int n = 0; n < 4 && start <= rest.size(); ++n) {
            const std::size_t end = rest.find(',', start);
            numbers[n] = NumberOrZero(rest.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        for (int n = 0; n < 4; ++n) parsed_[n] = numbers[n];
        db::TField* field = dataSet->FindField(fieldName);
        const bool flagsOk = (numbers[2] == 0 || numbers[2] == 1) && (numbers[3] == 0 || numbers[3] == 1);
        if (!field || !flagsOk) continue;  // a stale entry: the rest still applies
        // The width comes from a file a user may have edited: only what a
        // grid column can show is taken.
        if (numbers[0] >= 1 && numbers[0] <= kMaxStoredDisplayWidth) field->SetDisplayWidth(numbers[0]);
        if (numbers[1] >= 0 && numbers[1] < dataSet->FieldCount()) field->SetIndex(numbers[1]);
        field->Visible = numbers[2] == 1;
        field->ReadOnly = numbers[3] == 1;
    }
}

// ---------------------------------------------------------------------------

TBestRecordBuffer::TBestRecordBuffer(plat::TComponent* AOwner) : plat::TComponent(AOwner) {}

void TBestRecordBuffer::Notification(plat::TComponent* AComponent, plat::TOperation Operation) {
    plat::TComponent::Notification(AComponent, Operation);
    if (Operation != plat::opRemove) return;
    if (AComponent == dataSet_) dataSet_ = nullptr;
    if (AComponent == ToDataSet) ToDataSet = nullptr;
}

void TBestRecordBuffer::SetDataSet(db::TDataSet* dataSet) {
    buffer_.clear();
    hasBuffer_ = false;
    if (dataSet_ && dataSet_ != dataSet) dataSet_->RemoveFreeNotification(this);
    dataSet_ = dataSet;
    if (!dataSet_) return;
    dataSet_->FreeNotification(this);
    const bool onRecord = dataSet_->Active() && !dataSet_->IsEmpty();
    for (int i = 0; i < dataSet_->FieldCount(); ++i) {
        const db::TField* f = dataSet_->Fields(i);
        buffer_.push_back({f->DataType(), onRecord ? f->Value() : db::TValue{}});
    }
    hasBuffer_ = true;
}

namespace {

int KindGroup(db::TFieldType t) {
    switch (t) {
        case db::ftString: return 1;
        case db::ftSmallint: case db::ftInteger: case db::ftWord: case db::ftAutoInc: return 2;
        case db::ftFloat: case db::ftCurrency: case db::ftBCD: return 3;
        case db::ftBoolean: return 4;
        case db::ftDate: case db::ftTime: case db::ftDateTime: return 5;
        case db::ftMemo: return 6;
        case db::ftBlob: case db::ftGraphic: return 7;
        default: return 0;
    }
}

}  // namespace

void TBestRecordBuffer::InsertFromBuffer() {
    if (!ToDataSet) throw plat::Exception("No Table");
    if (ToDataSet->IsEditing())
        throw plat::Exception("Already in edit.");
    if (!hasBuffer_) throw plat::Exception("Buffer empty");
    // The target must take every captured value as it is: the same number
    // of fields, each of a kind that holds the value.
    bool fits = static_cast<int>(buffer_.size()) == ToDataSet->FieldCount();
    for (int i = 0; fits && i < ToDataSet->FieldCount(); ++i)
        fits = KindGroup(ToDataSet->Fields(i)->DataType()) == KindGroup(buffer_[i].type) &&
               KindGroup(buffer_[i].type) != 0;
    if (!fits) throw plat::Exception("Buffer is corrupt");
    ToDataSet->Insert();
    try {
        for (int i = 0; i < ToDataSet->FieldCount(); ++i) {
            db::TField* f = ToDataSet->Fields(i);
            if (db::IsNull(buffer_[i].value) || f->ReadOnly) continue;
            f->SetValue(buffer_[i].value);
        }
    } catch (...) {
        ToDataSet->Cancel();
        throw;
    }
}

}  // namespace misc
