// The one engine object behind the database-API entry points. Each entry
// point hands its arguments to the method of the same name here; the method
// checks the handle, makes it current and calls the handle object's
// operation, keeping the result.
//
// Handles are the ids of handle objects (handle_base.h): a nil handle and a
// handle whose object has been freed are both invalid, and a handle of the
// wrong kind (a database where a cursor is wanted) is too.
#pragma once

#include <cstdint>
#include <map>

#include "engine/client/handle_base.h"

namespace qv {

class TBaseSession;
class TBaseDatabase;
class TBaseTable;
class TFilterListItem;

class TVirtEng : public TBapiListItem {
public:
    static constexpr std::uint32_t kClientProperty = 0xFF070002;
    static constexpr std::size_t kNameBufferSize = 288;

    // Starts the first session (and with it the in-process server).
    TVirtEng();
    ~TVirtEng() override;

    DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) override;
    DBIResult SetProp(std::uint32_t property, std::uint32_t value) override;

    TBaseTable* SetCurrentCursor(hDBICur h);
    TBaseDatabase* SetCurrentDatabase(hDBIDb h);
    TBapiListItem* SetCurrentStatement(hDBIStmt h);
    TBaseSession* SetCurrentSession(hDBISes h);
    TBaseSession* GetCurrentSession();
    TBaseDatabase* GetCurrentDatabase();
    hDBISes CurrentSessionHandle() const { return currentSession_; }

    DBIResult StartSession(const char* name, hDBISes& session, const char* netDir);
    DBIResult CloseSession(hDBISes session);
    DBIResult StartResult() const { return startResult_; }
    TBapiCollection& Sessions() { return sessions_; }

    // Filter handles: the filter object and the cursor that owns it.
    hDBIFilter AddFilterHandle(hDBICur cursor, TFilterListItem* filter);
    TFilterListItem* FindFilter(hDBICur cursor, hDBIFilter filter);
    void DropFilterHandle(hDBIFilter filter);

private:
    TBapiCollection sessions_;
    hDBISes currentSession_ = kNilHandle;
    hDBICur currentCursor_ = kNilHandle;
    // The last cursor found, kept while no handle has gone since: most
    // calls name the cursor the previous one named.
    hDBICur lastCursorHandle_ = kNilHandle;
    TBaseTable* lastCursor_ = nullptr;
    std::uint64_t lastCursorGeneration_ = 0;
    hDBIDb currentDatabase_ = kNilHandle;
    std::uint32_t clientProperty_ = 0;
    hDBIStmt currentStatement_ = kNilHandle;
    DBIResult startResult_ = 0;
    std::map<hDBIFilter, std::pair<hDBICur, TFilterListItem*>> filters_;
    hDBIFilter nextFilter_ = 1;
};

// The process-wide engine; nullptr before DbiInit and after DbiExit.
TVirtEng* VirtEng();

// A database or alias name as the engine looks it up: a leading "[tag] "
// is dropped ("[S] Work" is "Work"); at most 287 characters.
std::string NameToBuffer(const char* name);

}  // namespace qv
