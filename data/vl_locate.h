// Finding a record by the text of one field: the search behind the locate
// dialog, the table's lookups and the incremental search edit. Data fields
// are read straight from the engine cursor, a block of records at a time, without
// moving the dataset; calculated and lookup fields by moving the dataset
// with its controls disabled. A table's current index is used where it
// answers the question directly. The scan decodes packed decimals and
// OEM-transliterated strings from the block itself, and a hit is brought
// into the dataset by ShowCursorRecord. bench_locate compares the scan with
// a Next loop over the dataset.
#pragma once

#include "data/dataset.h"

#include <cstdint>
#include <string>

namespace vl {

enum TvlLocateMatchType { mtExactMatch, mtPartialMatchStart, mtPartialMatchAny };

// When not case-sensitive the field text is upper-cased here; the caller
// upper-cases the value once.
bool MatchFieldText(std::string fieldText, const std::string& value, TvlLocateMatchType matchType,
                    bool caseSensitive);
// A memo of the record the dataset's cursor stands on, at most 32767 bytes.
// "Fail to create blob" when it cannot be read (no match then).
bool MatchBlobText(db::TField* field, const std::string& value, TvlLocateMatchType matchType, bool caseSensitive);

// Found: the dataset stands on the record. Not found: where it stood.
// fromBeginning tests the first record first; otherwise the search starts
// after the current record.
bool LocateFieldValue(bool fromBeginning, db::TDataSet* dataSet, const std::string& fieldName,
                      const std::string& value, TvlLocateMatchType matchType, bool caseSensitive);
// True at once when the current record already holds the value; otherwise a
// search from the first record.
bool LocateIfDifferent(db::TDataSet* dataSet, const std::string& value, const std::string& fieldName,
                       TvlLocateMatchType matchType, bool caseSensitive);

// How many searches went through the engine cursor, the index, or the
// moving dataset (for tests and the benchmark).
struct TvlLocateCounters {
    int cursorScans = 0;
    int indexSearches = 0;
    int datasetScans = 0;
};
TvlLocateCounters& LocateCounters();
// At most this many records per engine read of a cursor scan (fewer when
// the records are large); tests make it small to cross block ends.
std::uint32_t& LocateBlockRecords();

}  // namespace vl
