#include "platform/core/busy_cursor.h"

#include <utility>

namespace plat {

namespace {
BusyCursorHook& Hook() {
    static BusyCursorHook hook;
    return hook;
}
}  // namespace

BusyCursorHook SetBusyCursorHook(BusyCursorHook hook) { return std::exchange(Hook(), std::move(hook)); }

BusyCursor::BusyCursor() {
    if (Hook()) restore_ = Hook()();
}

BusyCursor::~BusyCursor() {
    if (restore_) restore_();
}

}  // namespace plat
