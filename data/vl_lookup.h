// Lookup fields of the library's datasets: each LookupFields line names a
// field of the dataset, a table (database, name, result field, index) and,
// in the LookupLinks line of the same index, pairs of (dataset field, lookup
// table field). The dataset opens each distinct table once and positions it
// once per record, however many lookup fields read from it. A table that
// will not open, or a link naming a field the dataset lacks, hides and
// blanks only its own lookup field; the record and other lookups still show.
#pragma once

#include "data/vl_dataset.h"
#include "data/vl_table.h"

#include <string>
#include <vector>

namespace vl {

struct TvlLookupTable {
    std::unique_ptr<TvlTable> table;
    std::string links;         // the LookupLinks line it was opened for
    bool usedForRecord = false;
    bool lastFetchFound = false;
    bool fetching = false;     // its key search is running
};

// The lookup tables of a library dataset; nullptr for any other dataset.
TvlLookupTableList* GetLookupTableList(db::TDataSet* dataSet);

// Positions the lookup table on the record the dataset's current record
// links to (`links`: dataset field, table field, ...); returns found.
bool FetchLookupValues(TvlTable* lookupTable, db::TDataSet* dataSet, const std::vector<std::string>& links);

// For the grid's lookup combo: the definition of the field's first line.
void GetLookupDefinition(db::TField* field, std::string& databaseName, std::string& tableName, std::string& links,
                         std::string& resultField);
// Finds the lookup record of the field's current value: found, the key value
// and the lookup table's result field (the field itself when none matches).
bool FindLookupRecord(db::TField* field, std::string& keyValue, db::TField*& resultField);

// The folder of a database alias; "" when there is no such alias.
std::string GetAliasPath(const std::string& alias);

// How many key searches FetchLookupValues ran (for tests).
int& LookupFetchCount();

}  // namespace vl
