// TvlTable: the library's table, the class of every table of the help
// editor. Besides the class library's table it keeps filter-expression lines
// (vlFilter) compiled into an engine filter, a record-callback filter
// (OnFilter) that Escape can cancel, a table defined by a query text, a
// case-insensitive key search with its warnings, and the per-field lines the
// grid and edits read. TvlMemoStream reads one memo or BLOB field of the
// current record straight from the engine, in pieces.
#pragma once

#include "data/filter_compiler.h"
#include "data/vl_dataset.h"
#include "platform/core/streams.h"
#include "data/tables.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vl {

class TvlTable : public TvlDataSetOf<db::TTable> {
public:
    explicit TvlTable(plat::TComponent* AOwner);
    ~TvlTable() override;

    // The live lines: callers clear them, add conditions and call ApplyFilter.
    plat::StringList& vlFilter() { return vlFilter_; }
    // Copies the lines; on an open table installs them at once and shows
    // "Fail to set filter" when they do not compile or install.
    void SetvlFilter(const plat::StringList& lines);
    // The lines joined: the first as it stands, each further one as
    // " AND (" + line + ")"; trailing blanks and TABs and empty lines dropped.
    std::string BuildFilterText() const;
    // Installs the joined lines as the expression filter and, with OnFilter,
    // the record callback; the result is that of the expression filter.
    bool ApplyFilter();
    TFilterHandle ExprFilterHandle() const { return exprFilter_; }

    bool SyncSQLByRange = true;
    bool NarrowSearch = false;
    std::uint16_t NarrowSearchUpperChar = 255;

    const plat::StringList& Query() const { return query_; }
    // Closes the table; non-empty lines clear TableName, the index and the
    // master link.
    void SetQuery(const plat::StringList& lines);
    // A non-empty name clears the Query lines.
    void SetTableName(const std::string& name);
    // "QBE" when the first word of the query is "query", else "SQL".
    const std::string& QueryLanguage() const { return queryLanguage_; }

    // Warns "Table <name>: Table index not found" or "... FindKey has too
    // many lookup values for index <index>" and answers false. A current
    // record that already carries the key (letter case aside) is kept.
    bool FindKey(const std::vector<db::TValue>& values);
    // An index whose key begins with the field; "?" when there is none.
    std::string FindIndexForField(const std::string& fieldName);
    // Pictures stored in a table's own validity checks exist only in the
    // other engine's tables: always empty here.
    std::string GetStoredPicture(const std::string& fieldName);
    bool IsParadoxTable() const;
    int SearchDepth() const { return searchDepth_; }

protected:
    std::unique_ptr<db::TDataCursor> CreateCursor() override;
    void OpenCursorDone() override;
    void CloseCursorStarting() override;
    void RefreshAfterFilterChange() override;

private:
    bool CurrentRecordMatches(const std::vector<db::TValue>& values) const;

    plat::StringList vlFilter_;
    plat::StringList query_;
    std::string queryLanguage_ = "SQL";
    TFilterHandle exprFilter_ = 0;
    bool reapplying_ = false;
    int searchDepth_ = 0;
};

// A read-only stream over one memo or BLOB field of the dataset's current
// record, read through the engine in pieces of at most 32768 bytes.
class TvlMemoStream : public plat::Stream {
public:
    // With `keepPosition` the cursor is taken where it stands.
    TvlMemoStream(db::TField* field, bool keepPosition);
    ~TvlMemoStream() override;
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, plat::SeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t) override {}
    bool Opened() const { return opened_; }

private:
    db::TDataSet* dataSet_;
    std::uint16_t fieldNo_;
    std::vector<std::uint8_t> record_;
    bool opened_ = false;
    std::int64_t position_ = 0;
};

}  // namespace vl
