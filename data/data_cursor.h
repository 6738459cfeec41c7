// The one seam between the dataset classes and a table store. TTable talks to
// a table only through TDataCursor and to the store of tables only through
// TDbDriver; the engine-backed implementation forwards to the database-API
// entry points, and tests may give an in-memory one.
//
// A cursor is positioned on a record, or on a crack before the first or
// after the last. Every failure is raised as EDBEngineError.
#pragma once

#include "data/field_defs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

class TDataCursor {
public:
    virtual ~TDataCursor() = default;

    virtual std::vector<TFieldDef> FieldDefs() const = 0;
    virtual std::vector<TIndexDef> IndexDefs() const = 0;
    // Orders the cursor by the index of this name ("" for the primary index);
    // keeps the current record.
    virtual void SwitchToIndex(const std::string& indexName) = 0;

    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    // Move and read; false (cursor on the crack past the end) when none is left.
    virtual bool GetNext(TRecord& record) = 0;
    virtual bool GetPrior(TRecord& record) = 0;
    // Reads the current record; false on a crack.
    virtual bool GetCurrent(TRecord& record) = 0;

    // Opaque bytes naming the current record.
    virtual std::string GetBookmark() = 0;
    // False when the record is gone or outside the cursor's view.
    virtual bool SetToBookmark(const std::string& bookmark) = 0;
    virtual int CompareBookmarks(const std::string& a, const std::string& b) = 0;

    // The new record becomes the current one.
    virtual void InsertRecord(const TRecord& record) = 0;
    // Replaces the current record; it stays current.
    virtual void ModifyRecord(const TRecord& record) = 0;
    // Deletes the current record; the cursor then stands on the crack where it was.
    virtual void DeleteRecord() = 0;

    // Positions on the first record whose key (the first `fieldCount` fields
    // of the active index) is at or after `key`; true when it matches. With
    // `partial` the last string key value matches as a prefix.
    virtual bool SetToKey(const TRecord& key, int fieldCount, bool partial) = 0;
    // Limits the view to keys between low and high (each of its own field count;
    // 0 means open on that side).
    virtual void SetRange(const TRecord& low, int lowCount, bool lowInclusive,
                          const TRecord& high, int highCount, bool highInclusive) = 0;
    virtual void ResetRange() = 0;

    // BLOB fields (memos, pictures) can be large. A cursor that can defer
    // them reads them only when asked once deferring is on: the record reads
    // above then leave BLOB fields null, FetchBlob reads one for the record a
    // bookmark names (and leaves the cursor there), ReadBlobs fills those of
    // the current record. A cursor that cannot defer keeps reading them.
    virtual void SetDeferBlobs(bool /*on*/) {}
    virtual bool DefersBlobs() const { return false; }
    // `fieldIndex` counts from 0 in FieldDefs' order.
    virtual TValue FetchBlob(const std::string& bookmark, int fieldIndex) = 0;
    virtual void ReadBlobs(TRecord& record) = 0;

    // A cursor may hand a step's record over in its own bytes, to be turned
    // into values only when a field is read (most rows a walk passes are
    // never looked at). Decode works on bytes a step gave, wherever the
    // cursor stands by then.
    virtual bool StepsUndecoded() const { return false; }
    virtual bool GetNextUndecoded(std::vector<std::uint8_t>& /*bytes*/) { return false; }
    virtual bool GetPriorUndecoded(std::vector<std::uint8_t>& /*bytes*/) { return false; }
    virtual void Decode(const std::vector<std::uint8_t>& /*bytes*/, TRecord& /*record*/) {}

    virtual int RecordCount() = 0;
    // A record callback filter; an empty function removes it.
    virtual void SetRecordFilter(std::function<bool(const TRecord&)> accept) = 0;

    // The engine's handles behind the cursor, for code that calls the entry
    // points itself (0 when the store is not the engine).
    virtual std::uint32_t Handle() const { return 0; }
    virtual std::uint32_t DatabaseHandle() const { return 0; }
    // Bytes of the engine's record buffer.
    virtual std::uint32_t RecordSize() const { return 0; }
};

class TDbDriver {
public:
    virtual ~TDbDriver() = default;
    // `directory` is the database's folder; table names may carry an extension.
    virtual std::unique_ptr<TDataCursor> OpenTable(const std::string& directory, const std::string& tableName,
                                                   const std::string& indexName, bool exclusive, bool readOnly) = 0;
    virtual void CreateTable(const std::string& directory, const std::string& tableName,
                             const std::vector<TFieldDef>& fields, const std::vector<TIndexDef>& indexes) = 0;
    virtual void DeleteTable(const std::string& directory, const std::string& tableName) = 0;
    virtual void EmptyTable(const std::string& directory, const std::string& tableName) = 0;
    // Copies the table's live records into a fresh table that takes its
    // place; records in damaged parts of the file are left out. A store
    // without it raises its not-supported error.
    virtual void PackTable(const std::string& directory, const std::string& tableName);
    virtual bool TableExists(const std::string& directory, const std::string& tableName) = 0;
    // Statements (language 1 QBE, 2 SQL) and stored procedures; a store
    // without them raises its not-supported error.
    virtual std::unique_ptr<TDataCursor> OpenQuery(const std::string& directory, int language,
                                                   const std::string& text) = 0;

    virtual void AddAlias(const std::string& name, const std::string& path) = 0;
    virtual void DeleteAlias(const std::string& name) = 0;
    // False when there is no such alias.
    virtual bool GetAliasPath(const std::string& name, std::string& path) = 0;
    virtual std::vector<std::string> AliasNames() = 0;
    // One transaction over every table of the folder: an id to end it by.
    // A store without transactions raises its not-supported error.
    virtual std::uint32_t BeginTransaction(const std::string& directory);
    virtual void EndTransaction(const std::string& directory, std::uint32_t transaction, bool commit);
};

}  // namespace db
