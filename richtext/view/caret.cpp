#include "richtext/view/caret.h"

namespace richtext {

void TCaret::Destroy() {
    if (created && window) window->DestroyCaret();
    created = false;
}

void TCaret::Enable(plat::TDevice* ownerWindow) {
    if (window != ownerWindow) Destroy();
    window = ownerWindow;
    enabled = window != nullptr;
    disabled = false;
}

void TCaret::Disable() {
    Destroy();
    visible = false;
    disabled = true;
}

void TCaret::SetPosition(int nx, int ny, int nw, int nh) {
    bool resize = (nh >= 4 && nh != height) || (nw >= 1 && nw != width);
    if (resize && visible) {
        // The system caret has a fixed size: a new one replaces it.
        Show(false);
        x = nx, y = ny;
        if (nh >= 4) height = nh;
        if (nw >= 1) width = nw;
        Show(true);
        return;
    }
    x = nx, y = ny;
    if (nh >= 4) height = nh;
    if (nw >= 1) width = nw;
    Move();
}

void TCaret::Move() {
    if (created && enabled && window && Focused()) window->SetCaretPos(x, y);
}

void TCaret::SetWidth(int w) {
    if (w < 1 || w == width) return;
    width = w;
    if (!created) return;
    Destroy();
    if (visible) Show(true);
}

void TCaret::Show(bool on) {
    if (!on) {
        if (created && window) window->HideCaret();
        Destroy();
        visible = false;
        return;
    }
    if (disabled || !enabled || !window) return;
    if (!created && Focused()) {
        window->CreateCaret(width, height);
        created = true;
    }
    Move();
    if (created) {
        window->ShowCaret();
        visible = true;
    }
}

}  // namespace richtext
