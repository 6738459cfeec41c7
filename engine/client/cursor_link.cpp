#include "engine/client/cursor_link.h"

namespace qv {
namespace {

PlainCursorFactory g_plainCursor = nullptr;
RegistryDatabaseListFactory g_registryList = nullptr;

}  // namespace

ICursorHandle* AsCursor(TBapiListItem* item) { return dynamic_cast<ICursorHandle*>(item); }

void FreeTemporaryCursor(TBapiListItem* cursor) {
    if (cursor == nullptr) return;
    if (ICursorHandle* c = AsCursor(cursor)) c->CloseCursor();
    delete cursor;
}

void SetPlainCursorFactory(PlainCursorFactory factory) { g_plainCursor = factory; }
PlainCursorFactory GetPlainCursorFactory() { return g_plainCursor; }
void SetRegistryDatabaseListFactory(RegistryDatabaseListFactory factory) { g_registryList = factory; }
RegistryDatabaseListFactory GetRegistryDatabaseListFactory() { return g_registryList; }

}  // namespace qv
