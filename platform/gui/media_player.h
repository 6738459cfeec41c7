// The media player: a bar of buttons (play, pause, stop, ...) over a
// playing device. What plays is a backend: Qt Multimedia in the program,
// a scripted fake in tests. Open waits, with a bound, until the backend has
// loaded the file or failed, without handling user input; a failure (a
// kind the backend cannot play, a missing file) raises EMCIDeviceError.
// Times (Position, Length) are milliseconds.
#pragma once

#include "platform/core/exceptions.h"
#include "platform/gui/controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace gui {

enum TMPBtnType { btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject };
using TButtonSet = unsigned;  // bits 1 << TMPBtnType
constexpr TButtonSet AllMediaButtons = 0x1FF;
constexpr TButtonSet ButtonBit(TMPBtnType b) { return 1u << b; }
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

class EMCIDeviceError : public plat::Exception {
public:
    using plat::Exception::Exception;
};

class TMediaBackend {
public:
    enum class TLoadState { Loading, Loaded, Failed };
    virtual ~TMediaBackend() = default;
    // Starts loading a file (a native path).
    virtual void Load(const std::string& nativePath) = 0;
    // Polled while Open waits.
    virtual TLoadState LoadState() = 0;
    virtual std::string ErrorText() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual bool Playing() = 0;
    virtual bool Paused() = 0;
    virtual std::int64_t Position() = 0;
    virtual void SetPosition(std::int64_t ms) = 0;
    virtual std::int64_t Length() = 0;
    // Where video shows: a rectangle of a control (nullptr: a window of its own).
    virtual void SetDisplay(TWinControl* display, const TRect& rect) = 0;
};

using TMediaBackendFactory = std::function<std::unique_ptr<TMediaBackend>()>;
// The backend every player creates on Open; an empty factory restores Qt Multimedia.
void SetMediaBackendFactory(TMediaBackendFactory factory);
std::unique_ptr<TMediaBackend> CreateQtMediaBackend();

class TMediaPlayer : public TCustomControl {
public:
    explicit TMediaPlayer(TComponent* AOwner);
    ~TMediaPlayer() override;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name) { fileName_ = name; }
    // Raises EMCIDeviceError when the file cannot be played.
    void Open();
    // Ends playback and releases the device; harmless when not open.
    void Close();
    // Each raises EMCIDeviceError when the device is not open.
    void Play();
    void Pause();
    void Stop();
    bool IsOpen() const { return backend_ != nullptr; }

    TWinControl* Display() const { return display_; }
    void SetDisplay(TWinControl* display);
    TRect DisplayRect() const { return displayRect_; }
    void SetDisplayRect(const TRect& r);
    TMPModes Mode() const;
    std::int64_t Position() const;
    void SetPosition(std::int64_t ms);
    std::int64_t Length() const;

    TButtonSet VisibleButtons = AllMediaButtons;
    TButtonSet EnabledButtons = AllMediaButtons;
    void SetVisibleButtons(TButtonSet set);
    // How long Open waits for the device.
    int OpenTimeoutMs = 10000;
    // The button under a client point, -1 for none.
    int ButtonAt(int x, int y) const;
    TRect ButtonRect(TMPBtnType button) const;
    // Raised after a button's action; the argument is the button.
    std::function<void(TObject* Sender, TMPBtnType Button)> OnClick;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void RequireOpen() const;
    void ApplyDisplay();
    std::string fileName_;
    std::unique_ptr<TMediaBackend> backend_;
    TWinControl* display_ = nullptr;
    TRect displayRect_;
};

}  // namespace gui
