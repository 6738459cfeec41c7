// The library's further datasets: a query, a stored procedure and a
// query-by-example dataset, each with the per-field lines and the record
// filter of the library's table (no expression filter), and the data source
// that the library's grid, edits and combos take.
#pragma once

#include "data/vl_dataset.h"
#include "data/tables.h"

#include <map>
#include <string>

namespace vl {

class TvlQuery : public TvlDataSetOf<db::TQuery> {
public:
    using TvlDataSetOf<db::TQuery>::TvlDataSetOf;
    ~TvlQuery() override;
protected:
    void FilterRefused() override;
};

class TvlStoredProc : public TvlDataSetOf<db::TStoredProc> {
public:
    using TvlDataSetOf<db::TStoredProc>::TvlDataSetOf;
    ~TvlStoredProc() override;
protected:
    void FilterRefused() override;
};

// A dataset defined by a query-by-example text. Tilde variables ("~name")
// in the text are replaced by the values set for them.
class TvlQBE : public TvlDataSetOf<db::TDBDataSet> {
public:
    using TvlDataSetOf<db::TDBDataSet>::TvlDataSetOf;
    ~TvlQBE() override;
    bool HasValidateWithMask() const override { return false; }

    const plat::StringList& QBE() const { return qbe_; }
    // Copies the lines; an open dataset runs the new query at once.
    void SetQBE(const plat::StringList& lines);
    std::string AnswerTable;
    bool AuxiliaryTables = true;
    bool BlankAsZero = true;
    // Names compare without regard to case; a name not set stays as written.
    void SetTildeVariable(const std::string& name, const std::string& value);
    // The query text with its tilde variables replaced.
    std::string QueryText() const;
    // The last run gave no answer (a query that only changes data).
    bool NoResult() const { return noResult_; }

protected:
    std::unique_ptr<db::TDataCursor> CreateCursor() override;
    void FilterRefused() override;

private:
    plat::StringList qbe_;
    std::map<std::string, std::string> tildes_;  // upper-cased name -> value
    bool noResult_ = false;
};

// A data source of the library; its grid and edits take only these.
class TvlDataSource : public db::TDataSource {
public:
    using db::TDataSource::TDataSource;
};

}  // namespace vl
