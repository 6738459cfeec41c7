// The busy (hourglass) cursor for long work done below the user interface.
// The GUI installs the hook at start-up; without one (no screen, tests of
// the layers below it) showing it does nothing.
#pragma once

#include <functional>

namespace plat {

// Shows the busy cursor and returns what puts the previous one back.
using BusyCursorHook = std::function<std::function<void()>()>;
// Returns the hook it replaces; empty removes it.
BusyCursorHook SetBusyCursorHook(BusyCursorHook hook);

// Shows the busy cursor while it lives.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    std::function<void()> restore_;
};

}  // namespace plat
