// Fields: the typed view of one column of a dataset's current record, with
// display and edit text, validation and the calculated and lookup kinds.
#pragma once

#include "platform/core/datetime.h"
#include "platform/core/streams.h"
#include "platform/core/component.h"
#include "data/field_defs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

// Datasets, data sources and fields are components of the one model that
// forms and controls use, so a form owns its tables and finds them by name.
using plat::TComponent;
using plat::TObject;
using plat::TOperation;
using plat::opInsert;
using plat::opRemove;

class TDataSet;
class TField;

enum TFieldKind { fkData, fkCalculated, fkLookup };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

using TFieldNotifyEvent = std::function<void(TField*)>;

// How a field's text sits in its cell (the same order as the controls').
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TField : public TComponent {
public:
    TField(TComponent* AOwner, TFieldType type);
    ~TField() override;

    TFieldType DataType() const { return type_; }
    TDataSet* DataSet() const { return dataSet_; }
    // Adds the field to the dataset's list (the dataset must be closed).
    void SetDataSet(TDataSet* ds);

    std::string FieldName;
    std::string DisplayLabel;
    bool Visible = true;
    bool ReadOnly = false;
    bool Required = false;
    TFieldKind FieldKind = fkData;
    int Size = 0;
    std::string DisplayValues;   // booleans: "True text;False text"
    // Numbers sit right, everything else left, unless set.
    TAlignment Alignment = taLeftJustify;
    // The edit mask of the class library's mask language; none by default.
    std::string EditMask;
    // The stored text is in the OEM character set and is read through it.
    // This engine stores ANSI text, so it is off unless a table asks for it.
    bool Transliterate = false;
    // Lookup fields: the value of LookupResultField in the LookupDataSet row
    // whose LookupKeyFields equal this dataset's KeyFields.
    TDataSet* LookupDataSet = nullptr;
    std::string KeyFields, LookupKeyFields, LookupResultField;

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;

    int FieldNo() const { return fieldNo_; }
    bool Calculated() const { return FieldKind != fkData; }
    bool IsBlob() const { return type_ == ftBlob || type_ == ftMemo || type_ == ftGraphic; }
    std::string DisplayName() const { return DisplayLabel.empty() ? FieldName : DisplayLabel; }
    int DisplayWidth() const;
    void SetDisplayWidth(int w) { displayWidth_ = w; }
    int Index() const;
    void SetIndex(int index);

    TValue Value() const;
    void SetValue(const TValue& v);
    bool IsNull() const;
    void Clear() { SetValue(TValue{}); }

    std::string AsString() const;
    void SetAsString(const std::string& s);
    std::int64_t AsInteger() const;
    void SetAsInteger(std::int64_t v);
    double AsFloat() const;
    void SetAsFloat(double v);
    bool AsBoolean() const;
    void SetAsBoolean(bool v);
    plat::TDateTime AsDateTime() const;
    void SetAsDateTime(plat::TDateTime v);

    // The text shown in a grid or label, and the text an edit starts from.
    std::string DisplayText() const;
    std::string Text() const;
    void SetText(const std::string& s) { SetAsString(s); }
    virtual bool IsValidChar(char c) const;
    bool CanModify() const;
    void FocusControl();

    // Engine-side slot of the field in a record; set by the dataset when it opens.
    int RecordSlot() const { return slot_; }

protected:
    void SetFieldNo(int n) { fieldNo_ = n; }

private:
    friend class TDataSet;
    TValue Convert(const TValue& v) const;
    void CheckRange(std::int64_t v) const;

    TFieldType type_;
    TDataSet* dataSet_ = nullptr;
    int fieldNo_ = 0;
    int slot_ = -1;
    int displayWidth_ = 0;
};

class TStringField : public TField {
public:
    explicit TStringField(TComponent* o = nullptr) : TField(o, ftString) { Size = 20; }
};
class TIntegerField : public TField {
public:
    explicit TIntegerField(TComponent* o = nullptr) : TField(o, ftInteger) {}
protected:
    TIntegerField(TComponent* o, TFieldType t) : TField(o, t) {}
};
class TSmallintField : public TIntegerField {
public:
    explicit TSmallintField(TComponent* o = nullptr) : TIntegerField(o, ftSmallint) {}
};
class TWordField : public TIntegerField {
public:
    explicit TWordField(TComponent* o = nullptr) : TIntegerField(o, ftWord) {}
};
class TAutoIncField : public TIntegerField {
public:
    explicit TAutoIncField(TComponent* o = nullptr) : TIntegerField(o, ftAutoInc) { ReadOnly = true; }
};
class TFloatField : public TField {
public:
    explicit TFloatField(TComponent* o = nullptr) : TField(o, ftFloat) {}
protected:
    TFloatField(TComponent* o, TFieldType t) : TField(o, t) {}
};
class TCurrencyField : public TFloatField {
public:
    explicit TCurrencyField(TComponent* o = nullptr) : TFloatField(o, ftCurrency) {}
};
class TBCDField : public TField {
public:
    explicit TBCDField(TComponent* o = nullptr) : TField(o, ftBCD) {}
};
class TBooleanField : public TField {
public:
    explicit TBooleanField(TComponent* o = nullptr) : TField(o, ftBoolean) {}
};
class TDateTimeField : public TField {
public:
    explicit TDateTimeField(TComponent* o = nullptr) : TField(o, ftDateTime) {}
protected:
    TDateTimeField(TComponent* o, TFieldType t) : TField(o, t) {}
};
class TDateField : public TDateTimeField {
public:
    explicit TDateField(TComponent* o = nullptr) : TDateTimeField(o, ftDate) {}
};
class TTimeField : public TDateTimeField {
public:
    explicit TTimeField(TComponent* o = nullptr) : TDateTimeField(o, ftTime) {}
};
class TBlobField : public TField {
public:
    explicit TBlobField(TComponent* o = nullptr) : TField(o, ftBlob) {}
    int BlobSize() const { return static_cast<int>(AsString().size()); }
    void LoadFromStream(plat::Stream& stream);
    void SaveToStream(plat::Stream& stream) const;
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;
protected:
    TBlobField(TComponent* o, TFieldType t) : TField(o, t) {}
};
class TMemoField : public TBlobField {
public:
    explicit TMemoField(TComponent* o = nullptr) : TBlobField(o, ftMemo) {}
};
class TGraphicField : public TBlobField {
public:
    explicit TGraphicField(TComponent* o = nullptr) : TBlobField(o, ftGraphic) {}
};

// A stream over a BLOB field of the current record. Reading starts from the
// field's bytes; what is written goes back to the field when the stream is
// freed (the dataset must then be in edit or insert state).
class TBlobStream : public plat::Stream {
public:
    TBlobStream(TBlobField* field, TBlobStreamMode mode);
    ~TBlobStream() override;
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, plat::SeekOrigin origin) override;
    std::int64_t Size() override { return data_.Size(); }
    void SetSize(std::int64_t newSize) override;
    void Truncate() { SetSize(data_.Position()); }

private:
    TBlobField* field_;
    TBlobStreamMode mode_;
    plat::MemoryStream data_;
    bool modified_ = false;
};

// A new field object of the kind that holds values of this type.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type);

// Dates and times as shown and typed, by the regional settings
// (plat::FormatSettings); a text that does not read raises EConvertError.
std::string DateToText(plat::TDateTime d);
std::string TimeToText(plat::TDateTime t);
plat::TDateTime TextToDate(const std::string& s);
plat::TDateTime TextToTime(const std::string& s);
// A date with an optional time after it.
plat::TDateTime TextToDateTime(const std::string& s);

}  // namespace db
