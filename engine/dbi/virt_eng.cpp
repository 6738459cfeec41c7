#include "engine/dbi/virt_eng.h"

#include <cstring>

#include "engine/client/base_database.h"
#include "engine/client/base_session.h"
#include "engine/client/client_session.h"
#include "engine/client/cursor_base.h"

namespace qv {

TVirtEng::TVirtEng() : TBapiListItem(nullptr, nullptr) {
    hDBISes first = kNilHandle;
    startResult_ = StartSession(nullptr, first, nullptr);
    currentSession_ = startResult_ == 0 ? first : kNilHandle;
}

TVirtEng::~TVirtEng() {
    filters_.clear();
    // Each session closes its databases and cursors and stops its server.
    sessions_.FreeAll();
}

DBIResult TVirtEng::GetProp(std::uint32_t property, void* buffer, std::uint16_t maxLen, std::uint16_t& len) {
    len = 0;
    if (property != kClientProperty) return SetResult(kDbiErrNotSupported);
    if (buffer == nullptr || maxLen < 4) return SetResult(kDbiErrInvalidParam);
    std::memcpy(buffer, &clientProperty_, 4);
    len = 4;
    return SetResult(0);
}

DBIResult TVirtEng::SetProp(std::uint32_t property, std::uint32_t value) {
    if (property == kClientProperty) clientProperty_ = value;
    return SetResult(0);
}

TBaseTable* TVirtEng::SetCurrentCursor(hDBICur h) {
    currentCursor_ = h;
    const std::uint64_t generation = HandleGeneration();
    TBaseTable* c;
    if (h != kNilHandle && h == lastCursorHandle_ && generation == lastCursorGeneration_) {
        c = lastCursor_;
    } else {
        c = HandleAs<TBaseTable>(h);
        // Only a live cursor is kept: an unknown number may name one later.
        if (c != nullptr) lastCursorHandle_ = h, lastCursor_ = c, lastCursorGeneration_ = generation;
    }
    SetResult(c == nullptr ? kDbiErrInvalidHandle : 0);
    return c;
}

TBaseDatabase* TVirtEng::SetCurrentDatabase(hDBIDb h) {
    currentDatabase_ = h;
    auto* d = HandleAs<TBaseDatabase>(h);
    SetResult(d == nullptr ? kDbiErrInvalidHandle : 0);
    return d;
}

TBapiListItem* TVirtEng::SetCurrentStatement(hDBIStmt h) {
    currentStatement_ = h;
    // No database of this engine makes statements, so no handle is one.
    SetResult(kDbiErrInvalidHandle);
    return nullptr;
}

TBaseSession* TVirtEng::SetCurrentSession(hDBISes h) {
    currentSession_ = h;
    auto* s = HandleAs<TBaseSession>(h);
    SetResult(s == nullptr ? kDbiErrInvalidSesHandle : 0);
    return s;
}

TBaseSession* TVirtEng::GetCurrentSession() {
    auto* s = HandleAs<TBaseSession>(currentSession_);
    SetResult(s == nullptr ? kDbiErrInvalidSesHandle : 0);
    return s;
}

TBaseDatabase* TVirtEng::GetCurrentDatabase() {
    auto* d = HandleAs<TBaseDatabase>(currentDatabase_);
    SetResult(d == nullptr ? kDbiErrInvalidHandle : 0);
    return d;
}

DBIResult TVirtEng::StartSession(const char* name, hDBISes& session, const char* netDir) {
    auto* s = new TQVClientSession(this, &sessions_, name, netDir);
    if (s->Result() != 0) {
        DBIResult rc = s->Result();
        delete s;
        return SetResult(rc);
    }
    SetCurrentSession(s->Handle());
    session = s->Handle();
    return SetResult(0);
}

DBIResult TVirtEng::CloseSession(hDBISes session) {
    auto* s = HandleAs<TBaseSession>(session);
    if (s == nullptr) return SetResult(kDbiErrInvalidSesHandle);
    delete s;
    currentSession_ = sessions_.Count() > 0 ? sessions_.Item(0)->Handle() : kNilHandle;
    return SetResult(0);
}

hDBIFilter TVirtEng::AddFilterHandle(hDBICur cursor, TFilterListItem* filter) {
    hDBIFilter id = nextFilter_++;
    filters_[id] = {cursor, filter};
    return id;
}

TFilterListItem* TVirtEng::FindFilter(hDBICur cursor, hDBIFilter filter) {
    auto it = filters_.find(filter);
    if (it == filters_.end() || it->second.first != cursor) return nullptr;
    return it->second.second;
}

void TVirtEng::DropFilterHandle(hDBIFilter filter) { filters_.erase(filter); }

std::string NameToBuffer(const char* name) {
    if (name == nullptr) return std::string();
    std::string s(name, strnlen(name, TVirtEng::kNameBufferSize - 1));
    std::size_t open = s.find('[');
    if (open != std::string::npos) {
        std::size_t close = s.find(']', open + 1);
        if (close != std::string::npos) s.erase(open, std::min(close + 2, s.size()) - open);
    }
    return s;
}

}  // namespace qv
