// The caret of one editor window over the device's caret calls. It keeps
// position and size while the window has no caret, so focus changes and
// size changes never lose where the caret belongs. The window may go before
// the caret does, so the caret never touches it on destruction.
#pragma once

#include <functional>

#include "platform/gdi/device.h"

namespace richtext {

class TCaret {
public:
    int x = 0, y = 0;
    int width = 3, height = 16;
    bool visible = false;
    bool created = false;
    bool enabled = false;   // the owner has a window
    bool disabled = false;  // switched off until enabled again
    plat::TDevice* window = nullptr;
    // Whether the owning control has the focus; unset counts as focused.
    std::function<bool()> ownerHasFocus;

    void Enable(plat::TDevice* ownerWindow);
    void Disable();
    // A new size (height at least 4, width at least 1) recreates a visible caret.
    void SetPosition(int x, int y, int width, int height);
    void Move();
    void SetWidth(int width);
    void Show(bool on);

private:
    bool Focused() const { return !ownerHasFocus || ownerHasFocus(); }
    void Destroy();
};

}  // namespace richtext
