// Databases, aliases, tables and transactions of the server engine.
#include <cstring>

#include "engine/base/engine_string_tables.h"
#include "engine/server/server_engine.h"
#include "engine/server/rebuild_swap.h"
#include "platform/core/codepage.h"
#include "platform/core/streams.h"

namespace qv {

namespace {
void WriteU32(plat::Stream& s, std::uint32_t v) {
    std::uint8_t b[4];
    PutU32(b, v);
    s.WriteBuffer(b, 4);
}

// A length-prefixed string in a zero-filled field of `width` bytes.
void PutShortString(std::uint8_t* at, std::size_t width, std::string_view s) {
    std::size_t n = std::min(s.size(), width - 1);
    at[0] = static_cast<std::uint8_t>(n);
    std::memcpy(at + 1, s.data(), n);
}

std::string TableFilePath(const TqvSrFolder* folder, std::string_view name, std::string_view ext) {
    return QvJoinPath(folder->osPath, QvMakeFileName(name, ext));
}

// Runs `body` and turns an escaping engine or storage error into its code.
template <class F>
DBIResult Guarded(F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return TqvServerEngine::ExceptionToResult(e);
    }
}
}  // namespace

// A rebuild cut short by a crash may have left a table half swapped; it is
// settled before anything of the folder is read, as journals are. Tables
// open now are left alone: their files must not move under them.
void TqvServerEngine::RecoverSwaps(TqvSrFolder* folder) {
    QvRecoverTableSwaps(folder->osPath, [&](const std::string& name) { return IsTableOpen(folder, name); });
}

// ---- databases ----------------------------------------------------------------------------------

DBIResult TqvServerEngine::OpenDatabaseOnFolder(TqvSrClient* client, const std::string& path, bool writable,
                                                bool shared, std::uint32_t& databaseId) {
    TqvSrSession* session = client->sessions.GetCurrent();
    if (!session) return dbi::kInvalidHandle;
    TqvSrFolder* folder = nullptr;
    TqvSrDatabase* db = nullptr;
    try {
        folder = folders_.AddRef(path);
        // Every database already on the folder is checked: an exclusive one
        // anywhere in the list must refuse the open, not only the first found.
        for (int i = 0; i < databases_.Count(); ++i) {
            TqvSrDatabase* other = databases_.Item(i);
            if (other->folder != folder) continue;
            if ((other->shared == 0 || !shared) && other->session != session) {
                folders_.Release(folder->Id());
                return dbi::kNotExclusive;
            }
        }
        RecoverSwaps(folder);
        db = new TqvSrDatabase(this, session, folder, writable, shared);
        databases_.Insert(db);
        databaseId = db->Id();
        return 0;
    } catch (const std::exception& e) {
        if (db)
            databases_.Delete(db->Id());
        else if (folder)
            folders_.Release(folder->Id());
        return ExceptionToResult(e);
    }
}

DBIResult TqvServerEngine::DatabaseOpen(std::uint32_t clientId, std::string_view alias, bool writable, bool shared,
                                        std::uint32_t& databaseId) {
    TqvEngineLock g(*this);
    databaseId = 0;
    TqvSrClient* client;
    if (DBIResult r = FindClient(clientId, client)) return r;
    if (!configuration_->Aliases().Exists(alias)) return dbi::kUnknownDatabase;
    std::string path = configuration_->Aliases().Directory(alias);
    if (!QvDirectoryExists(path)) return dbi::kInvalidDirectory;
    return OpenDatabaseOnFolder(client, path, writable, shared, databaseId);
}

DBIResult TqvServerEngine::DatabaseOpenNoAlias(std::uint32_t clientId, std::string_view path, bool writable,
                                               bool shared, std::uint32_t& databaseId) {
    TqvEngineLock g(*this);
    databaseId = 0;
    if (path.empty() || !QvDirectoryExists(path)) return dbi::kInvalidDirectory;
    TqvSrClient* client;
    if (DBIResult r = FindClient(clientId, client)) return r;
    return OpenDatabaseOnFolder(client, std::string(path.substr(0, 219)), writable, shared, databaseId);
}

DBIResult TqvServerEngine::DatabaseClose(std::uint32_t databaseId) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    databases_.Delete(databaseId);
    tables_.RemoveUnused();
    return 0;
}

DBIResult TqvServerEngine::DatabaseInTrans(std::uint32_t databaseId, bool& inTransaction) {
    TqvEngineLock g(*this);
    inTransaction = false;
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    inTransaction = db->transactionId != 0;
    return 0;
}

DBIResult TqvServerEngine::DatabaseAliasList(plat::Stream& reply) {
    TqvAliasList& aliases = configuration_->Aliases();
    for (int i = 0; i < aliases.Count(); ++i) {
        std::uint8_t rec[252] = {};
        PutShortString(rec, 32, aliases.Item(i)->Alias());
        PutShortString(rec + 32, 220, aliases.Item(i)->Directory());
        reply.WriteBuffer(rec, sizeof rec);
    }
    return 0;
}

DBIResult TqvServerEngine::DatabaseAddAlias(std::string_view alias, std::string_view path) {
    return AddConfigAlias(*configuration_, alias, path);
}

DBIResult TqvServerEngine::DatabaseDeleteAlias(std::string_view alias) {
    if (!configuration_->Aliases().Exists(alias)) return dbi::kUnknownDatabase;
    configuration_->Aliases().Delete(alias);
    return 0;
}

DBIResult TqvServerEngine::DatabaseChgAliasPath(std::string_view alias, std::string_view path) {
    if (!configuration_->Aliases().Exists(alias)) return dbi::kUnknownDatabase;
    std::string name(alias.substr(0, 31));
    configuration_->Aliases().Delete(name);
    return AddConfigAlias(*configuration_, name, path);
}

DBIResult TqvServerEngine::DatabaseTableList(std::uint32_t databaseId, std::string_view mask, plat::Stream& reply) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    // The mask is a file pattern only: anything that could leave the folder is refused.
    if (mask.find_first_of("\\/:") != std::string_view::npos) return 0;
    std::string pattern = QvJoinPath(db->folder->osPath, mask.empty() ? std::string("*.QVD") : std::string(mask));
    TqvSearchRec rec;
    for (std::uint32_t r = QvFindFirst(pattern, 1, 0x1F, rec); r == 0; r = QvFindNext(rec)) {
        std::uint8_t out[48] = {};
        std::string name = rec.name;
        std::string ext;
        std::size_t dot = name.rfind('.');
        if (dot != std::string::npos) {
            ext = name.substr(dot + 1);
            name.resize(dot);
        }
        PutShortString(out, 32, name.substr(0, 31));
        PutShortString(out + 32, 4, ext.substr(0, 3));
        PutU32(out + 36, rec.sizeLow);
        PutU32(out + 40, rec.sizeHigh);
        PutU32(out + 44, static_cast<std::uint32_t>(rec.dosTime) | (static_cast<std::uint32_t>(rec.dosDate) << 16));
        reply.WriteBuffer(out, sizeof out);
    }
    QvFindClose(rec);
    return 0;
}

// ---- tables --------------------------------------------------------------------------------------

DBIResult TqvServerEngine::OpenTable(std::uint32_t databaseId, std::string_view tableName, std::string_view indexName,
                                     std::uint32_t indexNumber, bool writable, bool shared, std::uint8_t fileFlag,
                                     plat::Stream* reply, std::uint32_t& cursorId) {
    TqvEngineLock g(*this);
    cursorId = 0;
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    if (writable && db->writable == 0) return dbi::kDatabaseReadOnly;
    if (db->shared == 0) shared = false;
    TqvSrTable* table = FindOpenTable(db->folder, tableName);
    TqvSrTable* made = nullptr;
    return Guarded([&]() -> DBIResult {
        try {
            if (!table) {
                if (!QvIsValidTableName(tableName)) return dbi::kInvalidTableName;
                RecoverSwaps(db->folder);
                if (!QvFileExists(TableFilePath(db->folder, tableName, "QVD"))) return dbi::kTableMissing;
                made = table = new TqvSrTable(this, std::string(tableName), db->folder, bufferManager_.get(), shared);
                table->OpenFiles(fileFlag);
                // An index header that disagrees with the dictionary would
                // have every walk of that index read keys of the wrong length.
                if (!table->IndexHeadersMatch()) {
                    delete made;
                    return dbi::kIndexCorrupt;
                }
                table->ResolveKeyRoutines();
            } else if (table->shared == 0) {
                if (table->exclusiveOwner != db->session) return dbi::kRecordLocked;
                shared = false;
            } else if (!shared) {
                return dbi::kNotExclusive;
            }
            std::uint32_t index = indexNumber;
            if (!indexName.empty()) {
                int n = table->dictionary.GetIndexNumber(std::string(indexName.substr(0, 31)));
                if (n < 0) {
                    delete made;
                    return dbi::kIndexMissing;
                }
                index = static_cast<std::uint32_t>(n);
            } else if (index >= table->dictionary.IndexCount()) {
                delete made;
                return dbi::kIndexMissing;
            }
            auto* cursor = new TqvSrCursor(table, db, index, writable);
            cursors_.Insert(cursor);
            if (made) {
                if (!shared) table->exclusiveOwner = db->session;
                tables_.Insert(made);
                if (db->folder->transactionId != 0) made->BindFiles(db->folder->transactionId);
                made = nullptr;
            }
            cursorId = cursor->Id();
            if (reply) {
                WriteU32(*reply, cursorId);
                table->dictionary.WriteToStream(*reply);
                WriteU32(*reply, index);
            }
            return 0;
        } catch (...) {
            delete made;
            throw;
        }
    });
}

DBIResult TqvServerEngine::BuildTable(std::uint32_t databaseId, bool overwrite, const TqvDataDictionary& dictionary,
                                      std::uint8_t fileFlag, std::string_view tableName) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    if (db->writable == 0) return dbi::kDatabaseReadOnly;
    if (IsTableOpen(db->folder, tableName)) return dbi::kTableOpen;
    if (!QvIsValidTableName(tableName)) return dbi::kInvalidTableName;
    return Guarded([&]() -> DBIResult {
        std::string base = TableFilePath(db->folder, tableName, "QVD");
        if (QvFileExists(base)) {
            if (!overwrite) return dbi::kTableExists;
            DeleteTableFiles(base);
        }
        std::unique_ptr<TqvSrTable> table(
            new TqvSrTable(this, std::string(tableName), db->folder, bufferManager_.get(), false));
        std::uint32_t tr = 0;
        if (DBIResult r = TransactionStart(databaseId, true, tr)) return r;
        try {
            table->CreateFiles(tr, fileFlag, dictionary);
        } catch (...) {
            TransactionRollback(tr);
            throw;
        }
        return TransactionCommit(tr);
    });
}

DBIResult TqvServerEngine::DeleteTable(std::uint32_t databaseId, std::string_view tableName) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    // Deleting is a change like any other: a read-only database refuses it.
    if (db->writable == 0) return dbi::kDatabaseReadOnly;
    if (IsTableOpen(db->folder, tableName)) return dbi::kTableOpen;
    // The name becomes part of a path: only a plain table name may reach it.
    if (!QvIsValidTableName(tableName)) return dbi::kInvalidTableName;
    return Guarded([&]() -> DBIResult {
        DeleteTableFiles(TableFilePath(db->folder, tableName, "QVD"));
        return 0;
    });
}

DBIResult TqvServerEngine::RenameTable(std::uint32_t databaseId, std::string_view oldName, std::string_view newName) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    if (!QvIsValidTableName(newName) || !QvIsValidTableName(oldName)) return dbi::kInvalidTableName;
    if (IsTableOpen(db->folder, oldName)) return dbi::kTableOpen;
    return Guarded([&]() -> DBIResult {
        if (!QvFileExists(TableFilePath(db->folder, oldName, "QVD"))) return dbi::kTableMissing;
        if (QvFileExists(TableFilePath(db->folder, newName, "QVD"))) return dbi::kTableExists;
        // Only the table's own files move: its base file and the files its
        // dictionary lists. Other files that share the name are not the table's.
        std::vector<std::string> extensions;
        {
            TqvSrTable probe(this, std::string(oldName), db->folder, bufferManager_.get(), true);
            probe.OpenFiles(0);
            for (std::uint32_t i = 0; i < probe.dictionary.FileCount(); ++i)
                extensions.push_back(i == 0 ? std::string("QVD") : probe.dictionary.FileExtension(i));
        }
        std::vector<std::string> done;
        try {
            for (const std::string& ext : extensions) {
                QvRenameFile(TableFilePath(db->folder, oldName, ext), TableFilePath(db->folder, newName, ext));
                done.push_back(ext);
            }
        } catch (...) {
            // Put back what moved, so the table stays whole under its old name.
            for (auto it = done.rbegin(); it != done.rend(); ++it) {
                try {
                    QvRenameFile(TableFilePath(db->folder, newName, *it), TableFilePath(db->folder, oldName, *it));
                } catch (...) {
                }
            }
            throw;
        }
        return 0;
    });
}

DBIResult TqvServerEngine::GetTableDictionary(std::uint32_t databaseId, std::string_view tableName,
                                              plat::Stream& reply, std::uint8_t fileFlag) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    return Guarded([&]() -> DBIResult {
        if (TqvSrTable* open = FindOpenTable(db->folder, tableName)) {
            open->dictionary.WriteToStream(reply);
            return 0;
        }
        if (!QvIsValidTableName(tableName)) return dbi::kInvalidTableName;
        if (!QvFileExists(TableFilePath(db->folder, tableName, "QVD"))) return dbi::kTableMissing;
        TqvSrTable temp(this, std::string(tableName), db->folder, bufferManager_.get(), true);
        temp.OpenFiles(fileFlag);
        temp.dictionary.WriteToStream(reply);
        return 0;
    });
}

DBIResult TqvServerEngine::EmptyTable(std::uint32_t databaseId, std::uint32_t cursorId, std::string_view tableName) {
    TqvEngineLock g(*this);
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    if (cursorId == 0) {
        return Guarded([&]() -> DBIResult {
            plat::MemoryStream ms;
            if (DBIResult r = GetTableDictionary(databaseId, tableName, ms, 0)) return r;
            ms.SetPosition(0);
            TqvDataDictionary dict;
            dict.ReadFromStream(ms);
            return BuildTable(databaseId, true, dict, 0, tableName);
        });
    }
    TqvSrCursor* cursor;
    if (DBIResult r = FindCursor(cursorId, cursor)) return r;
    std::uint32_t tr = 0;
    if (DBIResult r = TransactionStart(databaseId, true, tr)) return r;
    DBIResult refusal = 0;
    if (cursor->table->shared != 0)
        refusal = dbi::kNotExclusive;
    else if (cursor->writable == 0)
        refusal = dbi::kTableReadOnly;
    if (refusal) {
        TransactionRollback(tr);
        return refusal;
    }
    TqvSrTable* table = cursor->table;
    DBIResult r = Guarded([&]() -> DBIResult { return table->Empty(tr); });
    if (r != 0) {
        if (transactions_.Find(tr)) TransactionRollback(tr);
        if (table->files.empty()) Guarded([&]() -> DBIResult { table->OpenFiles(0); return 0; });
    }
    // Every cursor's old position names records that are gone, and its index
    // context names the file records that were just replaced.
    for (int i = 0; i < table->cursors.Count(); ++i) {
        TqvSrCursor* c = table->cursors.Item(i);
        c->state = kCurBOF;
        c->reference = 0;
        if (c->nav) c->nav->FilesReopened(table, c->index);
    }
    return r;
}

DBIResult TqvServerEngine::CursorClose(std::uint32_t cursorId) {
    TqvEngineLock g(*this);
    TqvSrCursor* cursor;
    if (DBIResult r = FindCursor(cursorId, cursor)) return r;
    TqvSrTable* table = cursor->table;
    cursors_.Delete(cursorId);
    // Closing a table's files drops its pages from the cache. While its
    // folder has a transaction those pages hold uncommitted writes and the
    // before-images a rollback needs, so the table stays open (and is found
    // again by a reopen) until the transaction ends.
    if (table->cursors.Count() == 0 && table->folder->transactionId == 0) tables_.Delete(table->Id());
    return 0;
}

// ---- transactions ------------------------------------------------------------------------------

DBIResult TqvServerEngine::TransactionStart(std::uint32_t databaseId, bool failSafe, std::uint32_t& transactionId) {
    TqvEngineLock g(*this);
    transactionId = 0;
    TqvSrDatabase* db;
    if (DBIResult r = FindDatabase(databaseId, db)) return r;
    if (db->folder->transactionId != 0) return dbi::kTransactionActive;
    auto* tr = new TqvSrTransaction(db->folder, databaseId);
    transactions_.Insert(tr);
    std::string journal =
        failSafe ? QvJoinPath(db->folder->osPath, std::to_string(databaseId) + ".QV$") : std::string();
    DBIResult r = Guarded([&]() -> DBIResult {
        bufferManager_->StartTransaction(tr->Id(), failSafe, journal);
        return 0;
    });
    if (r != 0) {
        transactions_.Delete(tr->Id());
        return r;
    }
    db->transactionId = tr->Id();
    for (int i = 0; i < tables_.Count(); ++i)
        if (tables_.Item(i)->folder == db->folder) tables_.Item(i)->BindFiles(tr->Id());
    transactionId = tr->Id();
    return 0;
}

DBIResult TqvServerEngine::EndTransaction(std::uint32_t transactionId, bool commit) {
    TqvEngineLock g(*this);
    TqvSrTransaction* tr;
    if (DBIResult r = FindTransaction(transactionId, tr)) return r;
    DBIResult r = Guarded([&]() -> DBIResult {
        if (commit)
            bufferManager_->CommitTransaction(transactionId);
        else
            bufferManager_->RollbackTransaction(transactionId);
        return 0;
    });
    if (r != 0 && commit) Guarded([&]() -> DBIResult { bufferManager_->RollbackTransaction(transactionId); return 0; });
    if (TqvSrDatabase* db = databases_.Find(tr->databaseId))
        if (db->transactionId == transactionId) db->transactionId = 0;
    for (int i = 0; i < tables_.Count(); ++i) {
        TqvSrTable* t = tables_.Item(i);
        if (t->folder != tr->folder) continue;
        t->BindFiles(0);
        // A rollback put older pages back: every cursor finds itself again by its key.
        if (!commit || r != 0)
            for (int k = 0; k < t->cursors.Count(); ++k)
                if (t->cursors.Item(k)->nav) t->cursors.Item(k)->nav->InvalidatePath();
    }
    transactions_.Delete(transactionId);
    // Tables whose last cursor closed during the transaction go now.
    tables_.RemoveUnused();
    return r;
}

DBIResult TqvServerEngine::TransactionCommit(std::uint32_t transactionId) { return EndTransaction(transactionId, true); }
DBIResult TqvServerEngine::TransactionRollback(std::uint32_t transactionId) {
    return EndTransaction(transactionId, false);
}

DBIResult TqvServerEngine::TransactionSaveProgress(std::uint32_t transactionId) {
    TqvEngineLock g(*this);
    TqvSrTransaction* tr;
    if (DBIResult r = FindTransaction(transactionId, tr)) return r;
    return Guarded([&]() -> DBIResult {
        bufferManager_->FlushTransaction(transactionId);
        return 0;
    });
}

DBIResult TqvServerEngine::TransactionDiscardProgress(std::uint32_t transactionId) {
    TqvEngineLock g(*this);
    TqvSrTransaction* tr;
    if (DBIResult r = FindTransaction(transactionId, tr)) return r;
    DBIResult r = Guarded([&]() -> DBIResult {
        bufferManager_->DiscardTransactionPages(transactionId);
        return 0;
    });
    // Older pages are back: cursors on the folder's tables find themselves again.
    for (int i = 0; i < tables_.Count(); ++i) {
        TqvSrTable* t = tables_.Item(i);
        if (t->folder != tr->folder) continue;
        for (int k = 0; k < t->cursors.Count(); ++k)
            if (t->cursors.Item(k)->nav) t->cursors.Item(k)->nav->InvalidatePath();
    }
    return r;
}

}  // namespace qv
