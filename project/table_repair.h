// Damaged project tables: found at start-up by reading each table whole,
// and rebuilt through the engine's pack, which keeps the records it can
// still read. The damaged file is kept beside the rebuilt one.
#pragma once

#include <optional>
#include <string>

namespace editor {

struct DamagedTable {
    std::string file;    // the table's file name as the program names it ("TvrnITEM.QVD")
    std::string reason;  // what the engine found wrong, in its words
    // False when the table does not even open (its header or dictionary is
    // damaged): there is nothing a rebuild could read.
    bool opens = false;
};

// The first of the program folder's tables (every project table, also those
// start-up does not open) whose file a full read fails on with damage: every
// record through each of its indexes, with its BLOBs. Tables that are
// missing or held elsewhere are not damaged.
std::optional<DamagedTable> FindDamagedTable(const std::string& folder);

// Where the damaged file is kept: "<name>-damaged.QVD" beside it, or
// "<name>-damaged-2.QVD" and so on when that is taken.
std::string DamagedCopyName(const std::string& folder, const std::string& file);

struct TableRepair {
    std::string copy;  // the kept copy's file name
    int rows = 0;      // records in the rebuilt table
};

// Copies the file under DamagedCopyName, then has the engine pack the table
// in place. No cursor of this process may hold the table. A pack that fails
// leaves the table as it was, removes the copy and throws.
TableRepair RepairTable(const std::string& folder, const std::string& file);

}  // namespace editor
