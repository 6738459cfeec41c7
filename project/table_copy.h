// Copying a table's structure and rows into another table: the project
// backup copies one project's rows into fresh work tables with these, and
// the project life cycle uses them for its copies.
#pragma once

#include "data/tables.h"

#include <string>

namespace editor {

// Creates an empty table with the source's field and index definitions
// (the source is opened when closed). A name with a folder part is created
// in that folder; a bare name in the source's database. An empty name shows
// "No new table name specified." and answers false; a table the engine
// refuses raises its error.
bool CreateTableLike(db::TTable& source, const std::string& newName);

// Copies the source's current record into the destination, field by field
// by index, and posts it once: the destination's current record is edited,
// or a new one appended when the destination is empty. False (after
// "Please make your <name> table active.") when either is closed, and false
// after "Failed to post." when the post fails; the destination is then back
// in browse state.
bool CopyRecordFields(db::TDataSet& source, db::TDataSet& destination);

// Appends every record of the source, from its first to its end (its filter
// applies), to the destination, a block of rows read before it is appended,
// each row posted once after all its fields are assigned. The destination must have the source's field order. False, with
// the messages above, when either is closed or when a post fails; the copy
// stops at the first failure.
bool CopyAllRecords(db::TDataSet& source, db::TDataSet& destination);

}  // namespace editor
