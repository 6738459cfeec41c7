// What the session and database bases need of a cursor. The cursor classes
// derive from TBapiListItem and implement this interface; until they exist
// the bases reach cursors only through it, and the two places where a base
// creates a cursor of its own go through the factories below.
#pragma once

#include <cstdint>
#include <string>

#include "engine/client/handle_base.h"

namespace qv {

class TBaseSession;
class TBaseDatabase;

class ICursorHandle {
public:
    virtual ~ICursorHandle() = default;
    // The table name and the full name the cursor was opened with.
    virtual std::string TableName() const = 0;
    virtual std::string FullName() const = 0;
    // Bytes of one record as GetNextRecord writes it.
    virtual std::uint32_t RecordSize() const = 0;
    virtual DBIResult Open() = 0;
    virtual DBIResult CloseCursor() = 0;
    virtual DBIResult GetNextRecord(std::uint32_t lockType, void* record, void* recProps) = 0;
    virtual DBIResult EmptyTable() = 0;
    virtual DBIResult AddIndex(const void* indexDesc, const char* keyViolName) = 0;
    virtual DBIResult DeleteIndex(const char* indexName, const char* tagName, std::uint16_t indexId) = 0;
};

// The cursor interface of a handle object, or nullptr.
ICursorHandle* AsCursor(TBapiListItem* item);
// Closes and frees a cursor that a base opened for one call.
void FreeTemporaryCursor(TBapiListItem* cursor);

// A plain cursor of the cursor base class, entered into `list`.
using PlainCursorFactory = TBapiListItem* (*)(TBaseDatabase* database, TBapiCollection* list);
// The database list over the registry's aliases, entered into `list`.
using RegistryDatabaseListFactory = TBapiListItem* (*)(TBaseSession* session, TBapiCollection* list);

void SetPlainCursorFactory(PlainCursorFactory factory);
PlainCursorFactory GetPlainCursorFactory();
void SetRegistryDatabaseListFactory(RegistryDatabaseListFactory factory);
RegistryDatabaseListFactory GetRegistryDatabaseListFactory();

}  // namespace qv
