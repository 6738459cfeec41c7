#include "controls/imaging/multi_media.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/win/message_queue.h"

#include <cmath>

namespace controls {

using namespace gui;

namespace {

TImagingCallback g_progressHook = nullptr;

}  // namespace

TImagingCallback MediaProgressHook() { return g_progressHook; }
void SetMediaProgressHook(TImagingCallback hook) { g_progressHook = hook; }

TPMultiMedia::TPMultiMedia(TComponent* AOwner) : TPMultiPictureBase(AOwner) {
    timer_ = new TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(500);
    timer_->OnTimer = [this](TObject*) { MediaTimerTick(); };
}

// Links of free notification are shared by both sides (the player also
// watches this control as its display), so they are never dropped here:
// a notice about a component no longer linked is simply ignored.
TPMultiMedia::~TPMultiMedia() { timer_->SetEnabled(false); }

void TPMultiMedia::SetMediaPlayer(TMIMediaPlayer* player) {
    if (player == player_) return;
    player_ = player;
    if (player_) player_->FreeNotification(this);
}

void TPMultiMedia::Notification(TComponent* AComponent, TOperation Operation) {
    TPMultiPictureBase::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == player_) player_ = nullptr;
}

void TPMultiMedia::SetMediaName(const std::string& name) {
    storedName_ = name;
    Load();
}

std::string TPMultiMedia::MediaName() { return Load(); }

void TPMultiMedia::Animate() {
    plat::PostMessage(Handle(), WM_SCROLLSTEP, 0, 0);
    plat::PostMessage(Handle(), WM_CREDITSSTEP, 0, 0);
}

bool TPMultiMedia::MediaTimerRunning() const { return timer_->Enabled(); }

void TPMultiMedia::StopEffects() {
    timer_->SetEnabled(false);
    TPMultiPictureBase::StopEffects();
}

void TPMultiMedia::BeforePictureLoad() {
    if (player_ && AutoHideMediaPlayer) player_->SetVisible(false);
    timer_->SetEnabled(false);
    if (g_progressHook) g_progressHook(0);
    StopEffects();
}

void TPMultiMedia::OpenMedia(const std::string& name) {
    const TCursor previous = Screen ? Screen->Cursor() : crDefault;
    if (Screen) Screen->SetCursor(crHourGlass);
    try {
        StopEffects();
        if (player_) {
            player_->Close();
            player_->SetVisible(true);
            player_->SetFileName(name);
            player_->Open();
            player_->SetDisplay(this);
            player_->SetDisplayRect(Rect(0, 0, Width(), Height()));
            if (AutoPlayMultiMedia) player_->Play();
            timer_->SetEnabled(true);
        }
    } catch (...) {
        if (Screen) Screen->SetCursor(previous);
        throw;
    }
    if (Screen) Screen->SetCursor(previous);
}

std::string TPMultiMedia::Load() {
    if (player_) player_->Close();
    const std::string& name = storedName_;
    const std::string ext = plat::AnsiUpperCase(plat::ExtractFileExt(name));
    if (ext != ".RES" && !plat::FileExists(name)) {
        Picture().SetGraphic(nullptr);
        status_ = "file not found";
        return status_;
    }
    const int colorBits = LoadResolutionBits(ImageReadRes, &Canvas());
    const std::string bare = ext.empty() ? std::string() : ext.substr(1);
    if (bare == "MID" || bare == "RMI" || bare == "AVI" || bare == "MOV" || bare == "WAV") {
        if (ComponentState() & csDesigning) return {};
        if (!HasMciExtension(bare)) return {};
        OpenMedia(name);
    } else if (ext == ".WMF" || ext == ".ICO") {
        BeforePictureLoad();
        try {
            Picture().LoadFromFile(plat::Utf8ToAnsi(plat::NativePath(name)));
        } catch (const std::exception&) {
            Picture().SetGraphic(nullptr);
        }
        status_ = "Non TIF, JPeg, BMP, GIF, PNG or PCX Image";
        GetImageInfo(name);
        return status_;
    } else if (ext == ".SCM" || ext == ".CMS") {
        BeforePictureLoad();
        try {
            if (ext == ".SCM") LoadScrollMessage(name);
            else LoadCredits(name);
            GetImageInfo(name);
        } catch (const std::exception&) {
            Picture().SetGraphic(nullptr);
        }
    } else if (!((ComponentState() & csDesigning) && plat::AnsiUpperCase(name) == status_)) {
        static const char* const kRaster[] = {".BMP", ".RES", ".PNG", ".GIF", ".TIF", ".PCX", ".JPG"};
        bool raster = false;
        for (const char* r : kRaster) raster = raster || ext == r;
        if (raster) {
            BeforePictureLoad();
            ReadRaster(ext, name, colorBits);
        } else {
            // Nothing stale stays on show under a name no reader takes.
            StopEffects();
        }
    }
    status_ = plat::AnsiUpperCase(name);
    return status_;
}

void TPMultiMedia::MediaTimerTick() {
    if (!player_) return;
    if (!(AutoRePlayMultiMedia || player_->Mode() == mpPlaying)) return;
    const std::int64_t length = player_->Length();
    // A device without a length has no progress to report.
    if (length <= 0) return;
    const int percent = static_cast<int>(std::nearbyint(static_cast<double>(player_->Position()) * (100.0 / length)));
    if (g_progressHook) g_progressHook(percent);
    if (AutoRePlayMultiMedia && percent >= 100 && !player_->FileName().empty()) player_->Play();
}

void TPMultiMedia::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_SIZE:
        TPMultiPictureBase::WndProc(m);
        if (player_ && player_->Display() == this) player_->SetDisplayRect(Rect(0, 0, Width(), Height()));
        return;
    case CM_ENTER:
    case CM_EXIT:
        Repaint();
        break;
    default: break;
    }
    TPMultiPictureBase::WndProc(m);
}

void TPMultiMedia::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && TabStop() && CanFocus()) SetFocus();
    TPMultiPictureBase::MouseDown(Button, Shift, X, Y);
}

}  // namespace controls
