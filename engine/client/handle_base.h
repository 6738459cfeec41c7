// Handle objects of the database-API layer: every session, database, cursor,
// filter and configuration record handed to a caller derives from
// TBapiListItem. A handle value is the object's 32-bit id; ids count up and
// are never reused, so a handle kept after its object was freed is recognised
// as stale instead of reaching freed memory.
//
// Also the result codes and the process-wide last error, native error and
// error context.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/api/dbi_types.h"
#include "engine/base/qv_lists.h"

namespace qv {

// "None" for the last error and the last native error.
constexpr DBIResult kNoError = 65535;

class TBapiCollection;

class TBapiListItem {
public:
    // Enters the new object into `list` when one is given; `parent` is the
    // handle that made it (nil for the engine object).
    TBapiListItem(TBapiListItem* parent, TBapiCollection* list);
    virtual ~TBapiListItem();
    TBapiListItem(const TBapiListItem&) = delete;
    TBapiListItem& operator=(const TBapiListItem&) = delete;

    // The value handed to callers for this object.
    std::uint32_t Handle() const { return handle_; }
    TBapiListItem* Parent() const { return parent_; }
    TBapiCollection* List() const { return list_; }
    DBIResult Result() const { return result_; }
    // Whether this object is a cursor (a TBaseTable): every cursor call
    // looks its handle up, and a flag answers faster than a cast.
    bool IsCursor() const { return isCursor_; }

    virtual DBIResult PassError(DBIResult code);
    virtual DBIResult GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len);
    virtual DBIResult SetProp(std::uint32_t property, std::uint32_t value);
    virtual DBIResult CheckProp(std::uint32_t property, std::uint32_t value);

    // Stores `code`; a non-zero code also becomes the process-wide last error.
    DBIResult SetResult(DBIResult code);
    bool ResultOK() const { return result_ == 0; }
    // Stores 12289 and returns it, with no message.
    DBIResult NotSupported();
    // Index in the owning list, 0 without one.
    int ListIndex() const;

protected:
    bool isCursor_ = false;  // set by the cursor base

private:
    friend class TBapiCollection;

    TBapiListItem* parent_;
    TBapiCollection* list_;
    DBIResult result_ = 0;
    std::uint32_t handle_;
};

// A collection of handle objects that owns them: freeing it (or calling
// FreeAll) frees every object still in it. An object freed on its own leaves
// the collection by itself.
class TBapiCollection : public TSorvikCollection {
public:
    TBapiCollection() = default;
    ~TBapiCollection() override;

    void FreeItem(void* item) override;
    TBapiListItem* Item(int index) { return static_cast<TBapiListItem*>(At(index)); }
};

// The live object behind a handle; nullptr for the nil handle and for a
// handle whose object has been freed.
TBapiListItem* FindHandle(std::uint32_t handle);
// The same, only when the object is of class T.
template <class T>
T* HandleAs(std::uint32_t handle) {
    return dynamic_cast<T*>(FindHandle(handle));
}
// Number of live handle objects (diagnostics and tests).
std::size_t LiveHandleCount();
// Moves on whenever a handle goes: a pointer found for a handle stays good
// while this has not changed.
std::uint64_t HandleGeneration();

// ---- process-wide error state ------------------------------------------------------
DBIResult LastErrorCode();
DBIResult SetLastErrorCode(DBIResult code);
DBIResult LastNativeError();
void SetLastNativeError(DBIResult code);
// True when a native error is pending (neither 0 nor "none").
bool NativeErrorPending();
// The name a look-up did not find; at most 255 characters.
const std::string& ErrorContext();
void SetErrorContext(std::string_view context);
void ClearErrorContext();
// The state at program start: no last error, no native error, no context.
void ResetClientErrorState();

}  // namespace qv
