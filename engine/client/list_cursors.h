// The lists the database API hands out as cursors: the tables of a
// database, the fields, indexes and validity checks of a table, and the
// aliases. Each list is read into fixed-size rows when it opens and walked
// like any cursor, forwards and backwards, with bookmarks and filters.
// Their server requests go through IListRequestChannel, so tests drive the
// lists with a fake channel and no server.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/client/cursor_base.h"
#include "engine/storage/dictionary.h"

namespace plat {
class MemoryStream;
class RegistryStore;
}  // namespace plat

namespace qv {

class TBaseSession;

// Requests of the lists and their row sizes.
constexpr std::uint16_t kQvnmDatabaseAliasList = 258;
constexpr std::uint16_t kQvnmDatabaseTableList = 259;
constexpr std::uint16_t kQvnmGetTableDictionary = 1299;
constexpr int kTableListEntrySize = 48;
constexpr int kAliasListEntrySize = 252;
constexpr int kTableListRowSize = 574;
constexpr int kTableListRequestSize = 40;

// How a list reaches the server: one request whose reply is a stream. The
// client database and session provide it.
class IListRequestChannel {
public:
    virtual ~IListRequestChannel() = default;
    virtual DBIResult RequestStream(std::uint16_t requestId, const std::string& payload,
                                    plat::MemoryStream& reply) = 0;
};

// Rows held in memory, with the raw moves and bookmarks over them. A list
// whose source ended inside an entry reports 8708 when a walk reaches it.
class TListTableBase : public TBaseTable {
public:
    TListTableBase(TBapiListItem* owner, TBapiCollection* list, const char* name, std::uint32_t rowSize);

    DBIResult CloseCursor() override;
    DBIResult First() override;
    DBIResult Last() override;
    DBIResult NextRaw() override;
    DBIResult PriorRaw() override;
    std::uint16_t BookmarkSize() const override { return 4; }
    DBIResult GetBookMark(void* bookmark) override;
    DBIResult SetToBookMark(const void* bookmark) override;
    DBIResult RereadAtBookmark(const void* bookmark, void* record) override;
    DBIResult CompareBookMarks(const void* first, const void* second, std::int16_t& result) override;

    std::size_t RowCount() const { return rows_.size(); }

protected:
    // Puts the list in its opened state around freshly built rows.
    DBIResult Opened(std::vector<std::vector<std::uint8_t>> rows, bool truncated);
    DBIResult CopyRow(std::size_t at);

private:
    std::vector<std::vector<std::uint8_t>> rows_;
    // Rows returned so far: the current row is rows_[position_ - 1].
    std::size_t position_ = 0;
    bool truncated_ = false;
};

// The tables of a database, from the server's table list.
class TQVClientTblListTable : public TListTableBase {
public:
    TQVClientTblListTable(TBapiListItem* database, TBapiCollection* list, IListRequestChannel* channel,
                          std::uint32_t databaseId, const char* mask);
    DBIResult Open() override;

private:
    IListRequestChannel* channel_;
    std::uint32_t databaseId_;
    std::string mask_;
};

// The fields, indexes or validity checks of a table, from its dictionary.
class TQVClientDictListTable : public TListTableBase {
public:
    enum class Kind { Fields, Indexes, ValidityChecks };
    TQVClientDictListTable(TBapiListItem* database, TBapiCollection* list, IListRequestChannel* channel,
                           const char* tableName, Kind kind);
    DBIResult Open() override;
    const TqvDataDictionary& Dictionary() const { return dictionary_; }

private:
    IListRequestChannel* channel_;
    Kind kind_;
    TqvDataDictionary dictionary_;
};

class TQVClientFieldListTable : public TQVClientDictListTable {
public:
    TQVClientFieldListTable(TBapiListItem* database, TBapiCollection* list, IListRequestChannel* channel,
                            const char* tableName)
        : TQVClientDictListTable(database, list, channel, tableName, Kind::Fields) {}
};
class TQVClientIndexListTable : public TQVClientDictListTable {
public:
    TQVClientIndexListTable(TBapiListItem* database, TBapiCollection* list, IListRequestChannel* channel,
                            const char* tableName)
        : TQVClientDictListTable(database, list, channel, tableName, Kind::Indexes) {}
};
class TQVClientVChkListTable : public TQVClientDictListTable {
public:
    TQVClientVChkListTable(TBapiListItem* database, TBapiCollection* list, IListRequestChannel* channel,
                           const char* tableName)
        : TQVClientDictListTable(database, list, channel, tableName, Kind::ValidityChecks) {}
};

// Aliases from the session's configuration records (those whose path holds
// "INFO"); the base of the registry and server alias lists.
class TBaseDBListTable : public TListTableBase {
public:
    TBaseDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                     TBapiCollection* cfgRecords);
    DBIResult Open() override;

protected:
    void AppendCfgRows(std::vector<std::vector<std::uint8_t>>& rows);
    std::vector<std::uint8_t> AliasRow(const std::string& name, const std::string& description,
                                       const std::string& path) const;
    const std::string& TypeName() const { return typeName_; }

private:
    std::string typeName_;
    TBapiCollection* cfgRecords_;
};

// Aliases from the registry, then from the configuration records.
class TRegDBListTable : public TBaseDBListTable {
public:
    TRegDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                    TBapiCollection* cfgRecords, plat::RegistryStore* store = nullptr);
    DBIResult Open() override;

private:
    plat::RegistryStore* store_;
};

// Aliases from the server's alias list.
class TStreamDBListTable : public TBaseDBListTable {
public:
    TStreamDBListTable(TBapiListItem* session, TBapiCollection* list, const char* typeName,
                       IListRequestChannel* channel);
    DBIResult Open() override;

private:
    IListRequestChannel* channel_;
};

// The 40-byte request of the table list.
std::string TableListRequest(std::uint32_t databaseId, const std::string& mask);

// Installs the cursor factories of the session and database bases: the
// plain (empty) cursor and the registry alias list.
void InstallListCursorFactories();

}  // namespace qv
