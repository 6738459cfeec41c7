// The media control: the picture control with sound and video added. Media
// files (".MID", ".RMI", ".AVI", ".MOV", ".WAV" registered under
// [mci extensions] of WIN.INI) open in a linked player, show video inside
// the control, report progress through the unit's hook every 500 ms and can
// replay by themselves.
#pragma once

#include "controls/imaging/multi_picture.h"
#include "platform/gui/media_player.h"

namespace controls {

// The player class the media control links to.
class TMIMediaPlayer : public gui::TMediaPlayer {
public:
    using gui::TMediaPlayer::TMediaPlayer;
};

// The unit's progress hook (nullptr: none): readers receive it as their
// callback value, and playback reports its percentage through it.
TImagingCallback MediaProgressHook();
void SetMediaProgressHook(TImagingCallback hook);

class TPMultiMedia : public TPMultiPictureBase {
public:
    explicit TPMultiMedia(gui::TComponent* AOwner);
    ~TPMultiMedia() override;

    // Reading loads the stored file again and returns the status text.
    std::string MediaName();
    void SetMediaName(const std::string& name);
    bool AutoPlayMultiMedia = false;
    bool AutoRePlayMultiMedia = false;
    bool AutoHideMediaPlayer = false;
    TMIMediaPlayer* MediaPlayer() const { return player_; }
    void SetMediaPlayer(TMIMediaPlayer* player);
    // Posts one scroll step and one credits step to the control.
    void Animate();
    // Timer 1: runs every 500 ms while a media file is open.
    bool MediaTimerRunning() const;
    void MediaTimerTick();

    void WndProc(gui::TMessage& Message) override;

protected:
    void StopEffects() override;
    TImagingCallback ReaderCallback() const override { return MediaProgressHook(); }
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;

private:
    std::string Load();
    void BeforePictureLoad();
    void OpenMedia(const std::string& name);

    TMIMediaPlayer* player_ = nullptr;
    gui::TTimer* timer_ = nullptr;
};

}  // namespace controls
