#include "platform/gui/media_player.h"

#include "platform/core/paths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <vector>

namespace gui {
namespace {

TMediaBackendFactory& Factory() {
    static TMediaBackendFactory f;
    return f;
}

std::vector<TMPBtnType> Shown(TButtonSet set) {
    std::vector<TMPBtnType> v;
    for (int b = btPlay; b <= btEject; ++b)
        if (set & (1u << b)) v.push_back(static_cast<TMPBtnType>(b));
    return v;
}

}  // namespace

void SetMediaBackendFactory(TMediaBackendFactory factory) { Factory() = std::move(factory); }

TMediaPlayer::TMediaPlayer(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 253, 30);
    SetColor(clBtnFace);
    SetTabStop(true);
}

// The display's link is not dropped: the display may hold the same link to
// watch this player, and notices about a component no longer used are ignored.
TMediaPlayer::~TMediaPlayer() { backend_.reset(); }

void TMediaPlayer::Open() {
    Close();
    if (fileName_.empty()) throw EMCIDeviceError("No media file name is given.");
    std::unique_ptr<TMediaBackend> backend = Factory() ? Factory()() : CreateQtMediaBackend();
    if (!backend) throw EMCIDeviceError("There is no media device.");
    backend->Load(plat::NativePath(fileName_));
    // Wait for the device without letting the user act meanwhile.
    QElapsedTimer clock;
    clock.start();
    while (backend->LoadState() == TMediaBackend::TLoadState::Loading) {
        if (clock.elapsed() > OpenTimeoutMs) throw EMCIDeviceError("The media device did not answer in time.");
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(2);
    }
    if (backend->LoadState() == TMediaBackend::TLoadState::Failed) {
        std::string text = backend->ErrorText();
        throw EMCIDeviceError(text.empty() ? "The media file cannot be played." : text);
    }
    backend_ = std::move(backend);
    ApplyDisplay();
    Invalidate();
}

void TMediaPlayer::Close() {
    if (!backend_) return;
    backend_->Stop();
    backend_->SetDisplay(nullptr, {});
    backend_.reset();
    Invalidate();
}

void TMediaPlayer::RequireOpen() const {
    if (!backend_) throw EMCIDeviceError("The media device is not open.");
}

void TMediaPlayer::Play() {
    RequireOpen();
    // At the end, play starts over, as the device does after a rewind.
    if (backend_->Length() > 0 && backend_->Position() >= backend_->Length()) backend_->SetPosition(0);
    backend_->Play();
    Invalidate();
}

void TMediaPlayer::Pause() {
    RequireOpen();
    if (backend_->Paused()) backend_->Play();
    else backend_->Pause();
    Invalidate();
}

void TMediaPlayer::Stop() {
    RequireOpen();
    backend_->Stop();
    Invalidate();
}

void TMediaPlayer::SetDisplay(TWinControl* display) {
    if (display == display_) return;
    display_ = display;
    if (display_) display_->FreeNotification(this);
    ApplyDisplay();
}

void TMediaPlayer::SetDisplayRect(const TRect& r) {
    displayRect_ = r;
    ApplyDisplay();
}

void TMediaPlayer::ApplyDisplay() {
    if (!backend_) return;
    TRect r = displayRect_;
    if (display_ && r.IsEmpty()) r = display_->ClientRect();
    backend_->SetDisplay(display_, r);
}

TMPModes TMediaPlayer::Mode() const {
    if (!backend_) return mpNotReady;
    if (backend_->Playing()) return mpPlaying;
    if (backend_->Paused()) return mpPaused;
    return mpStopped;
}

std::int64_t TMediaPlayer::Position() const { return backend_ ? backend_->Position() : 0; }
void TMediaPlayer::SetPosition(std::int64_t ms) {
    RequireOpen();
    backend_->SetPosition(ms);
}
std::int64_t TMediaPlayer::Length() const { return backend_ ? backend_->Length() : 0; }

void TMediaPlayer::SetVisibleButtons(TButtonSet set) {
    VisibleButtons = set;
    Invalidate();
}

TRect TMediaPlayer::ButtonRect(TMPBtnType button) const {
    const auto shown = Shown(VisibleButtons);
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] == button) {
            const int w = Width() / static_cast<int>(shown.size());
            return Rect(static_cast<int>(i) * w, 0, static_cast<int>(i + 1) * w, Height());
        }
    return {};
}

int TMediaPlayer::ButtonAt(int x, int y) const {
    for (TMPBtnType b : Shown(VisibleButtons))
        if (ButtonRect(b).Contains(Point(x, y))) return b;
    return -1;
}

void TMediaPlayer::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(ClientRect());
    for (TMPBtnType b : Shown(VisibleButtons)) {
        TRect r = ButtonRect(b);
        DrawEdge(c, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        const bool on = (EnabledButtons & ButtonBit(b)) && backend_;
        const TColor ink = on ? (b == btRecord ? clMaroon : clBlack) : clGray;
        c.Pen().SetColor(ink);
        c.Brush().SetColor(ink);
        const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        const int s = std::max(2, std::min(r.Width(), r.Height()) / 4);
        switch (b) {
        case btPlay: c.Polygon({{cx - s / 2, cy - s}, {cx + s, cy}, {cx - s / 2, cy + s}}); break;
        case btPause:
            c.FillRect(Rect(cx - s, cy - s, cx - s / 3, cy + s));
            c.FillRect(Rect(cx + s / 3, cy - s, cx + s, cy + s));
            break;
        case btStop: c.FillRect(Rect(cx - s, cy - s, cx + s, cy + s)); break;
        case btNext:
            c.Polygon({{cx - s, cy - s}, {cx + s / 2, cy}, {cx - s, cy + s}});
            c.FillRect(Rect(cx + s / 2, cy - s, cx + s, cy + s));
            break;
        case btPrev:
            c.Polygon({{cx + s, cy - s}, {cx - s / 2, cy}, {cx + s, cy + s}});
            c.FillRect(Rect(cx - s, cy - s, cx - s / 2, cy + s));
            break;
        case btStep: c.Polygon({{cx, cy - s}, {cx + s, cy}, {cx, cy + s}}); break;
        case btBack: c.Polygon({{cx, cy - s}, {cx - s, cy}, {cx, cy + s}}); break;
        case btRecord: c.Ellipse(cx - s, cy - s, cx + s, cy + s); break;
        case btEject:
            c.Polygon({{cx, cy - s}, {cx + s, cy}, {cx - s, cy}});
            c.FillRect(Rect(cx - s, cy + s / 2, cx + s, cy + s));
            break;
        }
    }
}

void TMediaPlayer::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    const int b = ButtonAt(X, Y);
    if (b < 0 || !(EnabledButtons & (1u << b)) || !backend_) return;
    switch (b) {
    case btPlay: Play(); break;
    case btPause: Pause(); break;
    case btStop: Stop(); break;
    case btPrev: SetPosition(0); break;
    case btNext: SetPosition(Length()); break;
    default: break;
    }
    if (OnClick) OnClick(this, static_cast<TMPBtnType>(b));
}

void TMediaPlayer::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == display_) {
        display_ = nullptr;
        if (backend_) backend_->SetDisplay(nullptr, {});
    }
}

}  // namespace gui
