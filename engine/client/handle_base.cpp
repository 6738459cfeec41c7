#include "engine/client/handle_base.h"

#include <atomic>

#include <mutex>
#include <unordered_map>

#include "engine/base/qv_base.h"

namespace qv {
namespace {

// Handles are used on the main thread, but a rebuild worker may free a
// cursor's objects while the main thread looks one up; the map is guarded.
std::mutex g_handleLock;
std::unordered_map<std::uint32_t, TBapiListItem*>& HandleMap() {
    static std::unordered_map<std::uint32_t, TBapiListItem*> map;
    return map;
}

DBIResult g_lastError = kNoError;
DBIResult g_lastNative = kNoError;
std::string g_context;
std::atomic<std::uint64_t> g_handleGeneration{0};

}  // namespace

TBapiListItem::TBapiListItem(TBapiListItem* parent, TBapiCollection* list)
    : parent_(parent), list_(list), handle_(QvNextObjectId()) {
    {
        std::lock_guard<std::mutex> guard(g_handleLock);
        HandleMap()[handle_] = this;
    }
    if (list_ != nullptr) list_->Insert(this);
}

TBapiListItem::~TBapiListItem() {
    if (list_ != nullptr) {
        int at = list_->IndexOf(this);
        if (at >= 0) list_->AtDelete(at);
        list_ = nullptr;
    }
    std::lock_guard<std::mutex> guard(g_handleLock);
    HandleMap().erase(handle_);
    g_handleGeneration.fetch_add(1, std::memory_order_acq_rel);
}

DBIResult TBapiListItem::PassError(DBIResult code) { return code; }

DBIResult TBapiListItem::GetProp(std::uint32_t, void*, std::uint16_t, std::uint16_t&) {
    return kDbiErrNotSupported;
}

DBIResult TBapiListItem::SetProp(std::uint32_t, std::uint32_t) { return 0; }

DBIResult TBapiListItem::CheckProp(std::uint32_t, std::uint32_t) { return 0; }

DBIResult TBapiListItem::SetResult(DBIResult code) {
    result_ = code;
    if (code != 0) SetLastErrorCode(code);
    return code;
}

DBIResult TBapiListItem::NotSupported() {
    result_ = kDbiErrNotSupported;
    return kDbiErrNotSupported;
}

int TBapiListItem::ListIndex() const {
    if (list_ == nullptr) return 0;
    return list_->IndexOf(const_cast<TBapiListItem*>(this));
}

TBapiCollection::~TBapiCollection() { FreeAll(); }

void TBapiCollection::FreeItem(void* item) {
    auto* obj = static_cast<TBapiListItem*>(item);
    // FreeAll drops the entries itself; the object must not search this list
    // while it is being emptied.
    obj->list_ = nullptr;
    delete obj;
}

TBapiListItem* FindHandle(std::uint32_t handle) {
    if (handle == kNilHandle) return nullptr;
    std::lock_guard<std::mutex> guard(g_handleLock);
    auto it = HandleMap().find(handle);
    return it == HandleMap().end() ? nullptr : it->second;
}

std::uint64_t HandleGeneration() { return g_handleGeneration.load(std::memory_order_acquire); }

std::size_t LiveHandleCount() {
    std::lock_guard<std::mutex> guard(g_handleLock);
    return HandleMap().size();
}

DBIResult LastErrorCode() { return g_lastError; }

DBIResult SetLastErrorCode(DBIResult code) {
    g_lastError = code;
    return code;
}

DBIResult LastNativeError() { return g_lastNative; }

void SetLastNativeError(DBIResult code) { g_lastNative = code; }

bool NativeErrorPending() { return g_lastNative != 0 && g_lastNative != kNoError; }

const std::string& ErrorContext() { return g_context; }

void SetErrorContext(std::string_view context) { g_context = QvLongToShStr(context); }

void ClearErrorContext() { g_context.clear(); }

void ResetClientErrorState() {
    g_lastError = kNoError;
    g_lastNative = kNoError;
    g_context.clear();
}

}  // namespace qv
