#include "data/vl_table.h"

#include "data/text_utils.h"
#include "data/vl_helpers.h"
#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "platform/core/format.h"
#include "data/engine_driver.h"
#include "platform/core/dialog_service.h"

#include <algorithm>

namespace vl {

namespace {

void Warn(const std::string& text) { gui::MessageDlg(text, gui::mtWarning, gui::Buttons({gui::mbOK})); }

std::string ValueText(const db::TValue& v) {
    if (auto i = std::get_if<std::int64_t>(&v)) return plat::IntToStr(*i);
    if (auto d = std::get_if<double>(&v)) return plat::FloatToStr(*d);
    if (auto b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    if (auto s = std::get_if<std::string>(&v)) return *s;
    return {};
}

constexpr std::uint32_t kBlobChunk = 32768;
constexpr std::uint16_t kBlobNoMore = 8711;   // read past the end: what was there counts
constexpr std::uint16_t kBlobIgnored = 9998;

}  // namespace

TvlTable::TvlTable(plat::TComponent* AOwner) : TvlDataSetOf<db::TTable>(AOwner) {}

TvlTable::~TvlTable() {
    // The record callback reads members of this object: close while they live.
    if (Active()) Close();
}

void TvlTable::SetvlFilter(const plat::StringList& lines) {
    vlFilter_.Assign(lines);
    if (Active() && !InstallCursorFilter(BuildFilterText(), *this, exprFilter_, false)) Warn("Fail to set filter");
}

std::string TvlTable::BuildFilterText() const {
    std::string text;
    bool first = true;
    for (int i = 0; i < vlFilter_.Count(); ++i) {
        std::string line = vlFilter_[i];
        TrimRightChars(line, " \t");
        if (line.empty()) continue;
        text += first ? line : " AND (" + line + ")";
        first = false;
    }
    return text;
}

bool TvlTable::ApplyFilter() {
    const bool ok = InstallCursorFilter(BuildFilterText(), *this, exprFilter_, reapplying_);
    // While the table opens, its first read comes after this.
    if (onFilter_) InstallCallbackFilter(!reapplying_);
    return ok;
}

void TvlTable::SetQuery(const plat::StringList& lines) {
    if (Active()) Close();
    if (lines.Count() > 0) {
        TableName.clear();
        SetIndexFieldNames("");
        SetMasterSource(nullptr);
        SetMasterFields("");
    }
    query_.Assign(lines);
}

void TvlTable::SetTableName(const std::string& name) {
    TableName = name;
    if (!name.empty()) query_.Clear();
}

std::unique_ptr<db::TDataCursor> TvlTable::CreateCursor() {
    if (query_.Count() == 0) return TTable::CreateCursor();
    // The first word of the query tells its language.
    std::string first = query_[0];
    first = plat::AnsiLowerCase(first.substr(0, first.find(' ')));
    queryLanguage_ = first == "query" ? "QBE" : "SQL";
    TableName.clear();
    SetIndexFieldNames("");
    SetMasterSource(nullptr);
    SetMasterFields("");
    // This engine runs no statements: the driver shows its not-supported box
    // and raises the engine's error.
    const int language = queryLanguage_ == "QBE" ? 1 : 2;
    return DBSession().Driver().OpenQuery(DBSession().ResolveDirectory(DatabaseName), language,
                                          LinesToPChar(query_, "\r\n"));
}

void TvlTable::OpenCursorDone() {
    TTable::OpenCursorDone();
    reapplying_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{reapplying_};
    if (!BuildFilterText().empty() || onFilter_) ApplyFilter();
}

void TvlTable::CloseCursorStarting() {
    TvlDataSetOf<db::TTable>::CloseCursorStarting();
    exprFilter_ = 0;  // the filters go with the cursor
    if (query_.Count() > 0) TableName.clear();
}

void TvlTable::RefreshAfterFilterChange() {
    if (IndexFieldCount() > 0) First();
    else TvlDataSetOf<db::TTable>::RefreshAfterFilterChange();
}

bool TvlTable::CurrentRecordMatches(const std::vector<db::TValue>& values) const {
    if (IsEmpty() || State() == db::dsInsert) return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (plat::AnsiLowerCase(ValueText(values[i])) !=
            plat::AnsiLowerCase(IndexFields(static_cast<int>(i))->Text()))
            return false;
    return true;
}

bool TvlTable::FindKey(const std::vector<db::TValue>& values) {
    if (IndexFieldCount() == 0) {
        Warn("Table " + Name() + ": Table index not found");
        return false;
    }
    if (static_cast<int>(values.size()) > IndexFieldCount()) {
        Warn("Table " + Name() + ": FindKey has too many lookup values for index " + IndexName());
        return false;
    }
    ++searchDepth_;
    struct Lower {
        int& depth;
        ~Lower() { --depth; }
    } lower{searchDepth_};
    // This engine has no SQL databases, so the search by ranges that
    // SyncSQLByRange asks for there never applies.
    if (NarrowSearch) CancelRange();
    if (CurrentRecordMatches(values)) return true;
    return TTable::FindKey(values);
}

std::string TvlTable::FindIndexForField(const std::string& fieldName) {
    const std::string field = plat::AnsiUpperCase(fieldName);
    auto find = [&](bool caseInsensitive, bool prefix) -> const db::TIndexDef* {
        for (const db::TIndexDef& d : IndexDefs().List()) {
            if (((d.Options & db::ixCaseInsensitive) != 0) != caseInsensitive) continue;
            const std::string key = plat::AnsiUpperCase(d.Fields);
            if (prefix ? key.rfind(field + ";", 0) == 0 : key == field) return &d;
        }
        return nullptr;
    };
    for (bool prefix : {false, true})
        for (bool ci : {true, false})
            if (const db::TIndexDef* d = find(ci, prefix)) return d->Name;
    return "?";
}

std::string TvlTable::GetStoredPicture(const std::string&) { return {}; }

bool TvlTable::IsParadoxTable() const {
    const std::string name = plat::AnsiLowerCase(TableName);
    return name.find(".db") != std::string::npos && !name.empty() && name.back() == 'b';
}

// ---- memo stream -------------------------------------------------------------

TvlMemoStream::TvlMemoStream(db::TField* field, bool keepPosition)
    : dataSet_(field->DataSet()), fieldNo_(static_cast<std::uint16_t>(field->FieldNo())) {
    record_.assign(dataSet_->RecordSize(), 0);
    const db::TDataSetState st = dataSet_->State();
    if (!keepPosition && (st == db::dsBrowse || st == db::dsEdit || st == db::dsInsert)) dataSet_->UpdateCursorPos();
    if (dataSet_->Handle() != 0 && qv::DbiGetRecord(dataSet_->Handle(), 0, record_.data(), nullptr) == 0 &&
        qv::DbiOpenBlob(dataSet_->Handle(), record_.data(), fieldNo_, 1) == 0)
        opened_ = true;
}

TvlMemoStream::~TvlMemoStream() {
    if (opened_) qv::DbiFreeBlob(dataSet_->Handle(), record_.data(), fieldNo_);
}

std::int64_t TvlMemoStream::Read(void* buffer, std::int64_t count) {
    if (!opened_ || count <= 0 || position_ < 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        const std::uint32_t want = static_cast<std::uint32_t>(std::min<std::int64_t>(kBlobChunk, count - done));
        std::uint32_t got = 0;
        const std::uint16_t rc = qv::DbiGetBlob(dataSet_->Handle(), record_.data(), fieldNo_,
                                                static_cast<std::uint32_t>(position_), want, out + done, got);
        if (rc != 0 && rc != kBlobNoMore && rc != kBlobIgnored) db::Check(rc);
        if (rc == kBlobIgnored) got = 0;
        done += got;
        position_ += got;
        if (got < want) break;
    }
    return done;
}

std::int64_t TvlMemoStream::Size() {
    if (!opened_) return 0;
    std::uint32_t size = 0;
    db::Check(qv::DbiGetBlobSize(dataSet_->Handle(), record_.data(), fieldNo_, size));
    return size;
}

std::int64_t TvlMemoStream::Seek(std::int64_t offset, plat::SeekOrigin origin) {
    std::int64_t to;
    switch (origin) {
    case plat::SeekOrigin::Begin: to = offset; break;
    case plat::SeekOrigin::Current: to = position_ + offset; break;
    default: to = Size() + offset; break;
    }
    if (to < 0) return -1;
    position_ = to;
    return position_;
}

}  // namespace vl
