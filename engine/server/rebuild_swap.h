// Putting a filled copy of a table in the table's place so that an
// interruption at any point (an error, or the process dying) leaves a whole
// table under the table's name: the old one or the new one, never a mix.
//
// The swap first writes a swap record "<table>.RB$" naming the table, the
// copy, the name the old files are set aside under and both lists of file
// extensions. Then the table's files are renamed aside (base file last), the
// copy's files renamed into place (base file last), the old files deleted
// and the record removed. Each rename is atomic, so the state can be read
// back from which files exist: while the copy's base file is still there the
// swap has not finished and is undone; once it is gone the new table is whole
// and only the old files are left to delete.
//
// Recovery runs over every swap record of a folder; it must run before a
// table of the folder is opened after a crash. The server engine runs it when
// a database opens and before it opens a table not open yet; the rebuild code
// runs it before each rebuild it prepares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

struct TqvSwapPlan {
    std::string folder;  // the folder's file-system path
    std::string table, copy, aside;
    std::vector<std::string> oldExtensions, newExtensions;  // "QVD" first
};

// Test hook: called before each step of a swap with the step's number
// (1 record written, then one per rename or deletion); throwing from it
// simulates a failure at that point.
using TqvSwapStepHook = void (*)(int step);
void QvSetSwapStepHook(TqvSwapStepHook hook);

// A name "<prefix><n>" for the first n whose base file and swap record do not exist.
std::string QvFreeTableName(const std::string& folder, const std::string& prefix);

// Swaps; raises on failure after putting the table back as it was.
void QvSwapTableFiles(const TqvSwapPlan& plan);

// Finishes or undoes every interrupted swap in `folder`; answers how many.
// A record that cannot be read is left alone, and so is one naming a table
// that `inUse` reports open (its files must not move under it).
int QvRecoverTableSwaps(const std::string& folder,
                        const std::function<bool(const std::string& table)>& inUse = nullptr);

// Exposed for tests.
std::string QvSwapRecordPath(const std::string& folder, const std::string& table);
bool QvReadSwapRecord(const std::string& path, TqvSwapPlan& plan);

}  // namespace qv
