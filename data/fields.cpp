#include "data/fields.h"

#include "platform/core/codepage.h"
#include "platform/core/format.h"
#include "platform/core/format_settings.h"
#include "data/dataset.h"
#include "data/db_errors.h"

#include <cmath>
#include <cstdio>

namespace db {

TField::TField(TComponent* AOwner, TFieldType type) : TComponent(AOwner), type_(type) {
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftFloat: case ftCurrency: case ftBCD:
        Alignment = taRightJustify;
        break;
    default: break;
    }
}

std::unique_ptr<TField> CreateFieldOfType(TFieldType type) {
    switch (type) {
    case ftString: return std::make_unique<TStringField>();
    case ftSmallint: return std::make_unique<TSmallintField>();
    case ftInteger: return std::make_unique<TIntegerField>();
    case ftWord: return std::make_unique<TWordField>();
    case ftAutoInc: return std::make_unique<TAutoIncField>();
    case ftBoolean: return std::make_unique<TBooleanField>();
    case ftFloat: return std::make_unique<TFloatField>();
    case ftCurrency: return std::make_unique<TCurrencyField>();
    case ftBCD: return std::make_unique<TBCDField>();
    case ftDate: return std::make_unique<TDateField>();
    case ftTime: return std::make_unique<TTimeField>();
    case ftDateTime: return std::make_unique<TDateTimeField>();
    case ftBlob: return std::make_unique<TBlobField>();
    case ftMemo: return std::make_unique<TMemoField>();
    case ftGraphic: return std::make_unique<TGraphicField>();
    default: DatabaseError("Field type not supported");
    }
}

// ---- dates as text ---------------------------------------------------------
// By the regional settings, through the same scanners as every other reader
// of dates, so a field takes exactly the texts that the edits accept.

std::string DateToText(plat::TDateTime d) { return plat::DateToStr(d); }
std::string TimeToText(plat::TDateTime t) { return plat::TimeToStr(t); }

plat::TDateTime TextToDate(const std::string& s) {
    plat::TDateTime d;
    if (!plat::TryTextToDate(s, d)) throw plat::EConvertError("'" + s + "' is not a valid date");
    return d;
}

plat::TDateTime TextToTime(const std::string& s) {
    plat::TDateTime t;
    if (!plat::TryTextToTime(s, t)) throw plat::EConvertError("'" + s + "' is not a valid time");
    return t;
}

plat::TDateTime TextToDateTime(const std::string& s) {
    plat::TDateTime v;
    if (!plat::TryTextToDateTime(s, v, true)) throw plat::EConvertError("'" + s + "' is not a valid date and time");
    return v;
}

namespace {

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

// ---- values ----------------------------------------------------------------

TValue TField::Value() const {
    if (!dataSet_) return {};
    const TValue* v = dataSet_->FieldSlot(this);
    return v ? *v : TValue{};
}

bool TField::IsNull() const { return db::IsNull(Value()); }

void TField::CheckRange(std::int64_t v) const {
    std::int64_t lo, hi;
    switch (type_) {
    case ftSmallint: lo = -32768; hi = 32767; break;
    case ftWord: lo = 0; hi = 65535; break;
    case ftInteger:
    case ftAutoInc: lo = INT32_MIN; hi = INT32_MAX; break;
    default: return;
    }
    if (v < lo || v > hi)
        DatabaseError(plat::IntToStr(v) + " is not a valid value for field '" + DisplayName() +
                      "'. The allowed range is " + plat::IntToStr(lo) + " to " + plat::IntToStr(hi));
}

// Brings a value to the kind this field stores.
TValue TField::Convert(const TValue& v) const {
    if (db::IsNull(v)) return v;
    switch (type_) {
    case ftString: case ftMemo: case ftBlob: case ftGraphic: {
        std::string s;
        if (auto p = std::get_if<std::string>(&v)) s = *p;
        else if (auto i = std::get_if<std::int64_t>(&v)) s = plat::IntToStr(*i);
        else if (auto d = std::get_if<double>(&v)) s = plat::FloatToStr(*d);
        else s = std::get<bool>(v) ? "True" : "False";
        if (type_ == ftString && Size > 0 && static_cast<int>(s.size()) > Size) s.resize(Size);
        return s;
    }
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: {
        std::int64_t i;
        if (auto p = std::get_if<std::int64_t>(&v)) i = *p;
        else if (auto d = std::get_if<double>(&v)) i = static_cast<std::int64_t>(std::llround(*d));
        else if (auto b = std::get_if<bool>(&v)) i = *b;
        else {
            std::string t = Trim(std::get<std::string>(v));
            if (t.empty()) return {};
            i = plat::StrToInt(t);
        }
        CheckRange(i);
        return i;
    }
    case ftFloat: case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime: {
        double d;
        if (auto p = std::get_if<double>(&v)) d = *p;
        else if (auto i = std::get_if<std::int64_t>(&v)) d = static_cast<double>(*i);
        else if (auto b = std::get_if<bool>(&v)) d = *b;
        else {
            std::string t = Trim(std::get<std::string>(v));
            if (t.empty()) return {};
            if (type_ == ftDate) d = TextToDate(t);
            else if (type_ == ftTime) d = TextToTime(t);
            else if (type_ == ftDateTime) d = TextToDateTime(t);
            else {
                d = plat::StrToFloat(t);
            }
        }
        if (!std::isfinite(d)) throw plat::EConvertError("Invalid floating point value");
        if (type_ == ftDate) d = std::trunc(d);
        if (type_ == ftTime) d = std::fabs(d - std::trunc(d));
        return d;
    }
    case ftBoolean: {
        if (auto b = std::get_if<bool>(&v)) return *b;
        if (auto i = std::get_if<std::int64_t>(&v)) return *i != 0;
        if (auto d = std::get_if<double>(&v)) return *d != 0;
        std::string t = Trim(std::get<std::string>(v));
        if (t.empty()) return {};
        std::string yes = "True", no = "False";
        if (!DisplayValues.empty()) {
            std::size_t semi = DisplayValues.find(';');
            yes = DisplayValues.substr(0, semi);
            no = semi == std::string::npos ? std::string() : DisplayValues.substr(semi + 1);
        }
        // A leading prefix of either word will do, as typed in an edit.
        auto starts = [&](const std::string& word) {
            return !word.empty() && t.size() <= word.size() &&
                   plat::CompareAnsi(t, word.substr(0, t.size()), true) == 0;
        };
        if (starts(yes)) return true;
        if (starts(no)) return false;
        DatabaseError("'" + t + "' is not a valid boolean value for field '" + DisplayName() + "'");
    }
    default: return v;
    }
}

void TField::SetValue(const TValue& v) {
    if (!dataSet_) DatabaseError("Field '" + FieldName + "' has no dataset");
    dataSet_->SetFieldSlot(this, Convert(v));
}

std::string TField::AsString() const {
    TValue v = Value();
    if (db::IsNull(v)) return {};
    switch (type_) {
    case ftDate: return DateToText(std::get<double>(v));
    case ftTime: return TimeToText(std::get<double>(v));
    case ftDateTime: {
        double d = std::get<double>(v);
        double frac = std::fabs(d - std::trunc(d));
        return frac == 0 ? DateToText(d) : DateToText(d) + " " + TimeToText(frac);
    }
    case ftBoolean: {
        bool b = std::get<bool>(v);
        if (DisplayValues.empty()) return b ? "True" : "False";
        std::size_t semi = DisplayValues.find(';');
        if (b) return DisplayValues.substr(0, semi);
        return semi == std::string::npos ? std::string() : DisplayValues.substr(semi + 1);
    }
    default: {
        if (auto p = std::get_if<std::string>(&v)) return *p;
        if (auto i = std::get_if<std::int64_t>(&v)) return plat::IntToStr(*i);
        if (auto d = std::get_if<double>(&v)) return plat::FloatToStr(*d);
        return std::get<bool>(v) ? "True" : "False";
    }
    }
}

void TField::SetAsString(const std::string& s) {
    if (type_ != ftString && !IsBlob() && Trim(s).empty()) {
        SetValue(TValue{});
        return;
    }
    SetValue(s);
}

std::int64_t TField::AsInteger() const {
    TValue v = Value();
    if (db::IsNull(v)) return 0;
    if (auto i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) return std::llround(*d);
    if (auto b = std::get_if<bool>(&v)) return *b;
    return plat::StrToInt(Trim(std::get<std::string>(v)));
}
void TField::SetAsInteger(std::int64_t v) { SetValue(v); }

double TField::AsFloat() const {
    TValue v = Value();
    if (db::IsNull(v)) return 0;
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto b = std::get_if<bool>(&v)) return *b;
    return plat::StrToFloat(Trim(std::get<std::string>(v)));
}
void TField::SetAsFloat(double v) { SetValue(v); }

bool TField::AsBoolean() const {
    TValue v = Value();
    if (db::IsNull(v)) return false;
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto i = std::get_if<std::int64_t>(&v)) return *i != 0;
    if (auto d = std::get_if<double>(&v)) return *d != 0;
    TBooleanField probe;
    probe.DisplayValues = DisplayValues;
    return std::get<bool>(probe.Convert(v));
}
void TField::SetAsBoolean(bool v) { SetValue(v); }

plat::TDateTime TField::AsDateTime() const {
    TValue v = Value();
    if (db::IsNull(v)) return 0;
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto p = std::get_if<std::string>(&v)) {
        TDateTimeField probe;
        return std::get<double>(probe.Convert(*p));
    }
    DatabaseError("Invalid type conversion for field '" + DisplayName() + "'");
}
void TField::SetAsDateTime(plat::TDateTime v) { SetValue(v); }

std::string TField::DisplayText() const {
    if (IsNull()) return {};
    switch (type_) {
    case ftCurrency: return plat::Format("%m", {AsFloat()});
    case ftMemo: return "(Memo)";
    case ftBlob: return "(Blob)";
    case ftGraphic: return "(Graphic)";
    default: return AsString();
    }
}

std::string TField::Text() const {
    if (type_ == ftCurrency && !IsNull()) return plat::Format("%.2f", {AsFloat()});
    return AsString();
}

bool TField::IsValidChar(char c) const {
    switch (type_) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
        return (c >= '0' && c <= '9') || c == '+' || c == '-';
    case ftFloat: case ftCurrency: case ftBCD:
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
    default:
        return c != '\0';
    }
}

int TField::DisplayWidth() const {
    if (displayWidth_ > 0) return displayWidth_;
    switch (type_) {
    case ftString: return Size > 0 ? Size : 20;
    case ftSmallint: return 6;
    case ftWord: return 5;
    case ftInteger: case ftAutoInc: return 11;
    case ftBoolean: return 5;
    case ftDate: case ftTime: return 10;
    case ftDateTime: return 18;
    default: return 10;
    }
}

int TField::Index() const {
    if (!dataSet_) return -1;
    for (int i = 0; i < dataSet_->FieldCount(); ++i)
        if (dataSet_->Fields(i) == this) return i;
    return -1;
}

bool TField::CanModify() const {
    return !ReadOnly && dataSet_ && dataSet_->CanModify() && FieldKind == fkData;
}

// ---- BLOBs -----------------------------------------------------------------

void TBlobField::LoadFromStream(plat::Stream& stream) {
    stream.SetPosition(0);
    std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    SetValue(bytes.empty() ? TValue{} : TValue(bytes));
}

void TBlobField::SaveToStream(plat::Stream& stream) const {
    std::string bytes = AsString();
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TBlobField::LoadFromFile(const std::string& path) {
    plat::MemoryStream m;
    m.LoadFromFile(path);
    LoadFromStream(m);
}

void TBlobField::SaveToFile(const std::string& path) const {
    plat::MemoryStream m;
    SaveToStream(m);
    m.SaveToFile(path);
}

TBlobStream::TBlobStream(TBlobField* field, TBlobStreamMode mode) : field_(field), mode_(mode) {
    if (!field_ || !field_->DataSet()) DatabaseError("Field has no dataset");
    TDataSetState st = field_->DataSet()->State();
    if (mode_ != bmRead && st != dsEdit && st != dsInsert)
        DatabaseError("Dataset not in edit or insert mode");
    if (mode_ == bmWrite) {
        modified_ = true;  // a write stream empties the field even if nothing is written
    } else {
        std::string bytes = field_->AsString();
        data_.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        data_.SetPosition(0);
    }
}

TBlobStream::~TBlobStream() {
    if (!modified_ || mode_ == bmRead) return;
    try {
        field_->SetValue(data_.Size() == 0 ? TValue{} : TValue(data_.Bytes()));
    } catch (...) {
        // A destructor cannot report; the dataset state was checked at creation.
    }
}

std::int64_t TBlobStream::Read(void* buffer, std::int64_t count) { return data_.Read(buffer, count); }

std::int64_t TBlobStream::Write(const void* buffer, std::int64_t count) {
    if (mode_ == bmRead) throw plat::EWriteError("Cannot write to a read-only BLOB stream");
    modified_ = true;
    return data_.Write(buffer, count);
}

std::int64_t TBlobStream::Seek(std::int64_t offset, plat::SeekOrigin origin) { return data_.Seek(offset, origin); }

void TBlobStream::SetSize(std::int64_t newSize) {
    if (mode_ == bmRead) throw plat::EWriteError("Cannot write to a read-only BLOB stream");
    modified_ = true;
    data_.SetSize(newSize);
}

}  // namespace db
