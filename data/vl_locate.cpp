#include "data/vl_locate.h"

#include "data/text_utils.h"
#include "data/vl_table.h"
#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "platform/core/datetime.h"
#include "platform/core/format.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/core/busy_cursor.h"

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

bool IsFloatKind(db::TFieldType t) { return t == db::ftFloat || t == db::ftCurrency || t == db::ftBCD; }

// The field text, upper-cased already when case does not count, against
// the value.
bool TextMatches(std::string_view text, std::string_view value, TvlLocateMatchType matchType) {
    switch (matchType) {
    case mtExactMatch: return text == value;
    case mtPartialMatchStart: return text.starts_with(value);
    case mtPartialMatchAny: return text.find(value) != std::string_view::npos;
    }
    return false;
}

void Warn(const std::string& text) { gui::MessageDlg(text, gui::mtWarning, gui::Buttons({gui::mbOK})); }

// The widest value other than text read back from the value buffer (a
// packed decimal, 34 bytes): only that much is cleared before such a read.
constexpr std::size_t kValueBytes = 64;

// One field of the records in an engine read, taken through the cursor into
// a value buffer made once for the scan. The buffer is sized from the
// field's descriptor, so a long text fits, and is not cleared per record.
class BufferField {
public:
    BufferField(std::uint32_t cursor, const db::TField* field)
        : field_(field), cursor_(cursor), number_(static_cast<std::uint16_t>(field->FieldNo())) {
        std::size_t bytes = 512;
        std::vector<std::uint8_t> props(qv::CURProps::kSize, 0);
        if (qv::DbiGetCursorProps(cursor, props.data()) == 0) {
            const std::uint16_t count = qv::CURProps::Read(props.data()).fields;
            std::vector<std::uint8_t> descs(static_cast<std::size_t>(count) * qv::FLDDesc::kSize, 0);
            if (number_ >= 1 && number_ <= count && qv::DbiGetFieldDescs(cursor, descs.data()) == 0) {
                const qv::FLDDesc d =
                    qv::FLDDesc::Read(descs.data() + static_cast<std::size_t>(number_ - 1) * qv::FLDDesc::kSize);
                bcdRecord_ = field->DataType() == db::ftBCD && d.fieldType == qv::fldBCD;
                const std::size_t units = d.units1 > 0 ? static_cast<std::size_t>(d.units1) : 0;
                bytes = std::max({bytes, static_cast<std::size_t>(d.length) + 1, units + 1});
            }
        }
        value_.assign(bytes, 0);
    }

    const db::TField* Field() const { return field_; }

    // The text of a string field, "" when blank or unreadable; upper-cased
    // in place when asked. The engine ends the text with a zero, so the
    // buffer needs no clearing.
    std::string_view Text(const std::uint8_t* rec, bool upper) {
        char* v = reinterpret_cast<char*>(value_.data());
        bool blank = true;
        if (qv::DbiGetField(cursor_, number_, rec, v, &blank) != 0 || blank) return {};
        const std::size_t n = strnlen(v, value_.size() - 1);
        if (upper) plat::CharUpperBuff(v, n);
        return {v, n};
    }

    // The value of any other kind; nullptr when blank or unreadable.
    const std::uint8_t* Value(const std::uint8_t* rec) {
        std::memset(value_.data(), 0, std::min(kValueBytes, value_.size()));
        bool blank = true;
        if (qv::DbiGetField(cursor_, number_, rec, value_.data(), &blank) != 0 || blank) return nullptr;
        return value_.data();
    }

    // A float, currency or BCD value; false when blank or unreadable.
    bool Float(const std::uint8_t* rec, double& d) {
        const std::uint8_t* v = Value(rec);
        if (!v) return false;
        if (field_->DataType() == db::ftBCD && bcdRecord_) return qv::BcdToDouble(v, d) == 0;
        d = Get<double>(v);
        return true;
    }

private:
    const db::TField* field_;
    std::uint32_t cursor_;
    std::uint16_t number_;
    bool bcdRecord_ = false;  // a packed decimal (else a BCD field comes as a double)
    std::vector<std::uint8_t> value_;
};

// The field of the record in `rec` as text, by type; a blank field is "".
std::string BufferFieldText(BufferField& f, const std::uint8_t* rec) {
    const db::TField* field = f.Field();
    if (field->DataType() == db::ftString) {
        std::string text(f.Text(rec, false));
        return field->Transliterate ? plat::OemToAnsi(text) : text;
    }
    if (IsFloatKind(field->DataType())) {
        double d = 0;
        return f.Float(rec, d) ? plat::FloatToStr(d) : std::string();
    }
    const std::uint8_t* v = f.Value(rec);
    if (!v) return {};
    switch (field->DataType()) {
    case db::ftSmallint: return plat::IntToStr(Get<std::int16_t>(v));
    case db::ftWord: return plat::IntToStr(Get<std::uint16_t>(v));
    case db::ftInteger:
    case db::ftAutoInc: return plat::IntToStr(Get<std::int32_t>(v));
    case db::ftBoolean: return Get<std::uint16_t>(v) != 0 ? "True" : "False";
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
        plat::BusyCursor wait;  // for the length of the scan
        if (ReadableFromBuffer(ds_, field_)) return ScanCursor(fromBeginning, sorted);
        return ScanDataSet(fromBeginning, sorted);
    }

private:
    // How each record of a cursor scan is tested, settled once per scan.
    enum class ScanTest { Number, Memo, PlainText, ShownText };

    ScanTest ScanTestFor() const {
        if (numeric_) return ScanTest::Number;
        if (field_->DataType() == db::ftMemo) return ScanTest::Memo;
        if (field_->DataType() == db::ftString && !field_->Transliterate) return ScanTest::PlainText;
        return ScanTest::ShownText;
    }

    bool BufferMatches(BufferField& f, const std::uint8_t* rec) const {
        switch (test_) {
        case ScanTest::Number: {
            double d = 0;
            return f.Float(rec, d) && d == number_;
        }
        case ScanTest::Memo: return MatchBlobText(field_, value_, type_, cs_);
        // Compared in the value buffer: the scan makes no string per record.
        case ScanTest::PlainText: return TextMatches(f.Text(rec, !cs_), value_, type_);
        case ScanTest::ShownText: return MatchFieldText(BufferFieldText(f, rec), value_, type_, cs_);
        }
        return false;
    }

    // Records come from the engine a block at a time: one call per block
    // instead of one per record, and the engine reads ahead for the block.
    bool ScanCursor(bool fromBeginning, bool sorted) {
        ++LocateCounters().cursorScans;
        const std::uint32_t cur = ds_->Handle();
        BufferField buffered(cur, field_);
        test_ = ScanTestFor();
        const std::size_t size = std::max<std::size_t>(1, ds_->RecordSize());
        // A sorted scan stops at its first record, and a memo is read from the
        // cursor's own record: no block for them.
        const std::uint32_t block =
            sorted || test_ == ScanTest::Memo ? 1u : static_cast<std::uint32_t>(std::clamp<std::size_t>(0xFFFF / size, 1, std::max<std::uint32_t>(1, LocateBlockRecords())));
        std::vector<std::uint8_t> recs(size * block + 1, 0);
        if (fromBeginning) qv::DbiSetToBegin(cur);
        for (;;) {
            std::uint32_t got = block;
            const auto rc = qv::DbiReadBlock(cur, got, recs.data());
            for (std::uint32_t i = 0; i < got; ++i) {
                if (BufferMatches(buffered, recs.data() + i * size)) {
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
    ScanTest test_ = ScanTest::ShownText;
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
    if (!caseSensitive) plat::CharUpperBuff(fieldText.data(), fieldText.size());
    return TextMatches(fieldText, value, matchType);
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
