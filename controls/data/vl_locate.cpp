#include "controls/data/vl_locate.h"

#include "controls/data/text_utils.h"
#include "controls/data/vl_table.h"
#include "engine/api/dbi_api.h"
#include "engine/client/api_records.h"
#include "engine/client/bcd.h"
#include "engine/client/cursor_base.h"
#include "engine/client/type_conversion.h"
#include "platform/core/codepage.h"
#include "platform/core/datetime.h"
#include "platform/core/format.h"
#include "platform/db/fields.h"
#include "platform/db/tables.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/forms.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace vl {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr std::int64_t kMaxBlobText = 32767;

template <typename T> T Get(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Warn(const std::string& text) { gui::MessageDlg(text, gui::mtWarning, gui::Buttons({gui::mbOK})); }

// How the engine hands over a field read from a record buffer.
struct BufferField {
    const db::TField* field;
    bool bcdRecord = false;  // a packed decimal (else a BCD field comes as a double)
};

BufferField DescribeBufferField(std::uint32_t cursor, const db::TField* field) {
    BufferField f{field};
    if (field->DataType() != db::ftBCD) return f;
    std::vector<std::uint8_t> props(qv::CURProps::kSize, 0);
    if (qv::DbiGetCursorProps(cursor, props.data()) != 0) return f;
    const std::uint16_t count = qv::CURProps::Read(props.data()).fields;
    if (field->FieldNo() > count) return f;
    std::vector<std::uint8_t> descs(static_cast<std::size_t>(count) * qv::FLDDesc::kSize, 0);
    if (qv::DbiGetFieldDescs(cursor, descs.data()) != 0) return f;
    const qv::FLDDesc d =
        qv::FLDDesc::Read(descs.data() + static_cast<std::size_t>(field->FieldNo() - 1) * qv::FLDDesc::kSize);
    f.bcdRecord = d.fieldType == qv::fldBCD;
    return f;
}

// A float, currency or BCD value of the buffer; false when blank or unreadable.
bool FloatOf(const BufferField& f, const std::uint8_t* v, double& d) {
    if (f.field->DataType() == db::ftBCD && f.bcdRecord) return qv::BcdToDouble(v, d) == 0;
    d = Get<double>(v);
    return true;
}

// The field of the record in `rec` as text, by type; a blank field is "".
std::string BufferFieldText(std::uint32_t cursor, const BufferField& f, const std::uint8_t* rec) {
    const db::TField* field = f.field;
    std::uint8_t v[512] = {};
    bool blank = true;
    if (qv::DbiGetField(cursor, static_cast<std::uint16_t>(field->FieldNo()), rec, v, &blank) != 0 || blank)
        return {};
    switch (field->DataType()) {
    case db::ftString: {
        std::string text(reinterpret_cast<const char*>(v), strnlen(reinterpret_cast<const char*>(v), sizeof v - 1));
        return field->Transliterate ? plat::OemToAnsi(text) : text;
    }
    case db::ftSmallint: return plat::IntToStr(Get<std::int16_t>(v));
    case db::ftWord: return plat::IntToStr(Get<std::uint16_t>(v));
    case db::ftInteger:
    case db::ftAutoInc: return plat::IntToStr(Get<std::int32_t>(v));
    case db::ftBoolean: return Get<std::uint16_t>(v) != 0 ? "True" : "False";
    case db::ftFloat:
    case db::ftCurrency:
    case db::ftBCD: {
        double d = 0;
        return FloatOf(f, v, d) ? plat::FloatToStr(d) : std::string();
    }
    case db::ftDate: return db::DateToText(static_cast<double>(Get<std::int32_t>(v) - plat::DateDelta));
    case db::ftTime: return db::TimeToText(Get<std::uint32_t>(v) / kMsPerDay);
    case db::ftDateTime: {
        const double d = Get<double>(v) / kMsPerDay - plat::DateDelta;
        const double frac = std::fabs(d - std::trunc(d));
        return frac == 0 ? db::DateToText(d) : db::DateToText(d) + " " + db::TimeToText(frac);
    }
    default: return {};
    }
}

double BufferFieldFloat(std::uint32_t cursor, const BufferField& f, const std::uint8_t* rec, bool& blank) {
    std::uint8_t v[64] = {};
    blank = true;
    if (qv::DbiGetField(cursor, static_cast<std::uint16_t>(f.field->FieldNo()), rec, v, &blank) != 0) blank = true;
    double d = 0;
    if (!blank && !FloatOf(f, v, d)) blank = true;
    return blank ? 0.0 : d;
}

// The hour-glass for the length of a scan; the cursor before it comes back.
class HourGlass {
public:
    HourGlass() {
        if (!gui::Screen) return;
        saved_ = gui::Screen->Cursor();
        gui::Screen->SetCursor(gui::crHourGlass);
    }
    ~HourGlass() {
        if (gui::Screen) gui::Screen->SetCursor(saved_);
    }

private:
    gui::TCursor saved_ = gui::crDefault;
};

bool IsFloatKind(db::TFieldType t) { return t == db::ftFloat || t == db::ftCurrency || t == db::ftBCD; }

// The field can be read from the engine's record buffer: a stored field.
bool ReadableFromBuffer(db::TDataSet* ds, const db::TField* field) {
    return ds->Handle() != 0 && field->FieldKind == db::fkData && field->FieldNo() > 0;
}

class Search {
public:
    Search(db::TDataSet* ds, db::TField* field, std::string value, TvlLocateMatchType type, bool cs)
        : ds_(ds), field_(field), value_(std::move(value)), type_(type), cs_(cs) {
        numeric_ = type_ == mtExactMatch && IsFloatKind(field_->DataType()) && !value_.empty() &&
                   IsFloatText(value_);
        if (numeric_) number_ = plat::StrToFloat(value_);
    }

    // The dataset's current record (fields as the dataset shows them).
    bool CurrentMatches() const {
        if (numeric_) return !field_->IsNull() && field_->AsFloat() == number_;
        if (field_->DataType() == db::ftMemo) return MatchFieldText(field_->AsString(), value_, type_, cs_);
        // Transliterated text is compared as the cursor scan reads it.
        if (field_->DataType() == db::ftString && field_->Transliterate)
            return MatchFieldText(plat::OemToAnsi(field_->Text()), value_, type_, cs_);
        return MatchFieldText(field_->Text(), value_, type_, cs_);
    }

    bool Run(bool fromBeginning, bool sorted) {
        HourGlass wait;
        if (ReadableFromBuffer(ds_, field_)) return ScanCursor(fromBeginning, sorted);
        return ScanDataSet(fromBeginning, sorted);
    }

private:
    bool BufferMatches(const std::uint8_t* rec) const {
        const std::uint32_t cur = ds_->Handle();
        if (numeric_) {
            bool blank = true;
            double d = BufferFieldFloat(cur, buffered_, rec, blank);
            return !blank && d == number_;
        }
        if (field_->DataType() == db::ftMemo) return MatchBlobText(field_, value_, type_, cs_);
        if (plainString_) return StringMatches(cur, rec);
        return MatchFieldText(BufferFieldText(cur, buffered_, rec), value_, type_, cs_);
    }

    // A string field read into a stack buffer and, when case counts, compared
    // there: the scan makes no string per record.
    bool StringMatches(std::uint32_t cur, const std::uint8_t* rec) const {
        char v[512] = {};
        bool blank = true;
        std::string_view text;
        if (qv::DbiGetField(cur, static_cast<std::uint16_t>(field_->FieldNo()), rec, v, &blank) == 0 && !blank)
            text = std::string_view(v, strnlen(v, sizeof v - 1));
        if (!cs_) return MatchFieldText(std::string(text), value_, type_, cs_);
        switch (type_) {
        case mtExactMatch: return text == value_;
        case mtPartialMatchStart: return text.size() >= value_.size() && text.compare(0, value_.size(), value_) == 0;
        case mtPartialMatchAny: return text.find(value_) != std::string_view::npos;
        }
        return false;
    }

    // Records come from the engine a block at a time: one call per block
    // instead of one per record, and the engine reads ahead for the block.
    bool ScanCursor(bool fromBeginning, bool sorted) {
        ++LocateCounters().cursorScans;
        const std::uint32_t cur = ds_->Handle();
        buffered_ = DescribeBufferField(cur, field_);
        plainString_ = !numeric_ && field_->DataType() == db::ftString && !field_->Transliterate;
        const std::size_t size = std::max<std::size_t>(1, ds_->RecordSize());
        // A sorted scan stops at its first record, and a memo is read from the
        // cursor's own record: no block for them.
        const std::uint32_t block =
            sorted || field_->DataType() == db::ftMemo ? 1u : static_cast<std::uint32_t>(std::clamp<std::size_t>(0xFFFF / size, 1, std::max<std::uint32_t>(1, LocateBlockRecords())));
        std::vector<std::uint8_t> recs(size * block + 1, 0);
        if (fromBeginning) qv::DbiSetToBegin(cur);
        for (;;) {
            std::uint32_t got = block;
            const auto rc = qv::DbiReadBlock(cur, got, recs.data());
            for (std::uint32_t i = 0; i < got; ++i) {
                if (BufferMatches(recs.data() + i * size)) {
                    // The cursor stands on the block's last record read, or past
                    // the end when the block met it: back to the hit.
                    for (std::uint32_t back = got - 1 - i + (rc != 0 ? 1 : 0); back > 0; --back)
                        if (qv::DbiGetPriorRecord(cur, 0, nullptr, nullptr) != 0) break;
                    ds_->ShowCursorRecord();
                    return true;
                }
                if (sorted) break;
            }
            if (rc != 0 || got < block || sorted) break;
        }
        ds_->UpdateCursorPos();  // the dataset never moved: only its cursor goes back
        return false;
    }

    bool ScanDataSet(bool fromBeginning, bool sorted) {
        ++LocateCounters().datasetScans;
        const db::TBookmark start = ds_->GetBookmark();
        ds_->DisableControls();
        bool found = false;
        try {
            if (fromBeginning) {
                ds_->First();
                found = !ds_->Eof() && CurrentMatches();
            }
            while (!found && !ds_->Eof()) {
                ds_->Next();
                if (ds_->Eof()) break;
                found = CurrentMatches();
                if (!found && sorted) break;
            }
            if (!found && !start.empty()) ds_->GotoBookmark(start);
        } catch (...) {
            ds_->EnableControls();
            throw;
        }
        ds_->EnableControls();
        return found;
    }

    db::TDataSet* ds_;
    db::TField* field_;
    std::string value_;
    TvlLocateMatchType type_;
    bool cs_;
    bool numeric_ = false;
    double number_ = 0;
    BufferField buffered_{nullptr};
    bool plainString_ = false;
};

// The index the table searches with, when its first field is the search
// field; nullptr otherwise.
const db::TIndexDef* LeadingIndexOn(db::TTable* table, const db::TField* field) {
    if (table->IndexFieldCount() == 0 || table->IndexFields(0) != field) return nullptr;
    if (!table->IndexFieldNames().empty()) return table->IndexDefs().FindIndexForFields(table->IndexFieldNames());
    return table->IndexDefs().FindIndex(table->IndexName());
}

}  // namespace

std::uint32_t& LocateBlockRecords() {
    static std::uint32_t records = 512;
    return records;
}

TvlLocateCounters& LocateCounters() {
    static TvlLocateCounters counters;
    return counters;
}

bool MatchFieldText(std::string fieldText, const std::string& value, TvlLocateMatchType matchType,
                    bool caseSensitive) {
    if (!caseSensitive) fieldText = plat::AnsiUpperCase(fieldText);
    switch (matchType) {
    case mtExactMatch: return fieldText == value;
    case mtPartialMatchStart: return fieldText.compare(0, value.size(), value) == 0 && fieldText.size() >= value.size();
    case mtPartialMatchAny: return fieldText.find(value) != std::string::npos;
    }
    return false;
}

bool MatchBlobText(db::TField* field, const std::string& value, TvlLocateMatchType matchType, bool caseSensitive) {
    TvlMemoStream stream(field, true);
    if (!stream.Opened()) {
        gui::MessageDlg("Fail to create blob", gui::mtInformation, gui::Buttons({gui::mbOK}));
        return false;
    }
    std::string text(static_cast<std::size_t>(kMaxBlobText), '\0');
    const std::int64_t got = stream.Read(text.data(), kMaxBlobText);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    text.resize(strnlen(text.c_str(), text.size()));  // a zero-terminated text
    return MatchFieldText(std::move(text), value, matchType, caseSensitive);
}

bool LocateFieldValue(bool fromBeginning, db::TDataSet* dataSet, const std::string& fieldName,
                      const std::string& value, TvlLocateMatchType matchType, bool caseSensitive) {
    if (!dataSet || !dataSet->Active()) return false;
    dataSet->CheckBrowseMode();
    db::TField* field = dataSet->FindField(fieldName);
    if (!field) {
        Warn("Field " + fieldName + " not found.");
        return false;
    }
    dataSet->UpdateCursorPos();
    const std::string wanted = caseSensitive ? value : plat::AnsiUpperCase(value);
    Search search(dataSet, field, wanted, matchType, caseSensitive);

    bool sorted = false;
    auto* table = dynamic_cast<db::TTable*>(dataSet);
    auto* vlTable = dynamic_cast<TvlTable*>(dataSet);
    const bool queryTable = vlTable && vlTable->Query().Count() > 0;
    if (table && !field->IsBlob() && !queryTable) {
        if (const db::TIndexDef* index = LeadingIndexOn(table, field)) {
            const bool indexCase = (index->Options & db::ixCaseInsensitive) == 0;
            const bool isString = field->DataType() == db::ftString;
            const bool caseFits = !isString || indexCase == caseSensitive;
            if (matchType == mtExactMatch && field->DataType() != db::ftBoolean && caseFits &&
                (fromBeginning || !search.CurrentMatches())) {
                ++LocateCounters().indexSearches;
                return table->FindKey({db::TValue(value)});
            }
            if (matchType == mtPartialMatchStart && isString && caseFits) {
                if (fromBeginning || !search.CurrentMatches()) {
                    ++LocateCounters().indexSearches;
                    const db::TBookmark start = table->GetBookmark();
                    table->FindNearest({db::TValue(value)});
                    if (!table->Eof() && search.CurrentMatches()) return true;
                    // The nearest record is no match: the search leaves no trace.
                    if (!start.empty()) table->GotoBookmark(start);
                    return false;
                }
                sorted = true;
            }
        }
    }
    return search.Run(fromBeginning, sorted);
}

bool LocateIfDifferent(db::TDataSet* dataSet, const std::string& value, const std::string& fieldName,
                       TvlLocateMatchType matchType, bool caseSensitive) {
    if (!dataSet || !dataSet->Active()) return false;
    if (db::TField* field = dataSet->FindField(fieldName)) {
        const std::string text = field->Text();
        if (caseSensitive ? text == value : plat::AnsiUpperCase(text) == plat::AnsiUpperCase(value)) return true;
    }
    return LocateFieldValue(true, dataSet, fieldName, value, matchType, caseSensitive);
}

}  // namespace vl
