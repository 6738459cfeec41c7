// What the picture control and the media control share: the picture and
// its four paint modes, the overlay text, the image information, the two
// text effects (scrolling message, rolling credits) and their step
// messages, the clipboard and its keys. Each control adds its own load.
#pragma once

#include "controls/imaging/imaging_lib.h"
#include "platform/core/string_list.h"
#include "platform/gui/forms.h"

#include <memory>
#include <string>

namespace controls {

// The destination of a picture of bw x bh scaled by the smaller factor and
// centred in cw x ch (the whole area when a size is 0).
gui::TRect StretchRatioRect(int bw, int bh, int cw, int ch);

class TPMultiPictureBase : public gui::TCustomControl {
public:
    explicit TPMultiPictureBase(gui::TComponent* AOwner);
    ~TPMultiPictureBase() override;

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    bool Center() const { return center_; }
    void SetCenter(bool v);
    gui::TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(gui::TBorderStyle s);
    gui::TPicture& Picture() { return *picture_; }
    // Takes a copy.
    void SetPicture(const gui::TPicture& p) { picture_->Assign(p); }
    bool PictavoPalette() const { return pictavoPalette_; }
    void SetPictavoPalette(bool v);
    bool ImageDither = true;
    TLoadResolution ImageReadRes = lAutoMatic;
    TSaveResolution ImageWriteRes = sAutoMatic;
    TTiffCompression TifSaveCompress = sNONE;
    int JPegSaveQuality() const { return jpegQuality_; }
    // 1..100 is kept, any other value gives 25.
    void SetJPegSaveQuality(int v) { jpegQuality_ = (v >= 1 && v <= 100) ? v : 25; }
    int JPegSaveSmooth() const { return jpegSmooth_; }
    // 0..100 is kept, any other value gives 5.
    void SetJPegSaveSmooth(int v) { jpegSmooth_ = (v >= 0 && v <= 100) ? v : 5; }
    bool PNGInterLaced = false;
    bool UseTwainWindow = true;
    bool Stretch() const { return stretch_; }
    // True clears StretchRatio.
    void SetStretch(bool v);
    bool StretchRatio() const { return stretchRatio_; }
    // True clears Stretch.
    void SetStretchRatio(bool v);
    // The overlay text (the control has no caption of its own).
    std::string Text() const override { return overlay_; }
    void SetText(const std::string& t) override;
    bool TextShadow() const { return textShadow_; }
    void SetTextShadow(bool v);
    gui::TColor TextShadowColor = gui::clBlack;
    int TextLeft() const { return textLeft_; }
    void SetTextLeft(int v);
    int TextTop() const { return textTop_; }
    void SetTextTop(int v);
    int TextRotate() const { return textRotate_; }
    void SetTextRotate(int v);
    bool TextTransParent() const { return textTransparent_; }
    void SetTextTransParent(bool v);

    // Image information of the last GetImageInfo.
    struct TImageInfo {
        std::string type, second;
        int width = 0, height = 0;
        int numbers[3] = {0, 0, 0};
        std::int64_t size = 0;
    };
    const TImageInfo& ImageInfo() const { return info_; }
    bool GetImageInfo(const std::string& fileName);

    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // 0: palettes have no role on a true-colour surface.
    unsigned GetPalette() const { return 0; }

    // Text-effect state, for the owner and for tests.
    bool ScrollingActive() const { return scrolling_; }
    bool CreditsActive() const { return credits_; }
    gui::TPoint EffectPosition() const { return {x_, y_}; }
    int EffectSpeed() const { return speed_; }
    int CreditLineIndex() const { return lineIndex_; }
    const plat::StringList& CreditLines() const { return creditLines_; }
    const std::string& EffectMessage() const { return message_; }
    gui::TFont& EffectFont() { return effectFont_; }
    // The effects' speed can be set from outside (the open dialog sets 0).
    void SetEffectSpeed(int s) { speed_ = s; }

    void WndProc(gui::TMessage& Message) override;

protected:
    void Paint() override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    // Leaves both effects, putting the colour back, and clears the picture.
    virtual void StopEffects();
    // Loaders of the text-effect files; exceptions reach the caller.
    void LoadScrollMessage(const std::string& fileName);
    void LoadCredits(const std::string& fileName);
    void ScrollStep();
    void CreditsStep();
    // The callback value the readers get.
    virtual TImagingCallback ReaderCallback() const { return nullptr; }
    // Reads one raster file into the picture; false for an extension no reader takes.
    bool ReadRaster(const std::string& ext, const std::string& fileName, int colorBits);
    void PictureChanged();

    std::string storedName_;
    std::string status_;

private:
    void DrawOverlayText(gui::TCanvas& canvas, int x, int y);
    void PaintPlain(gui::TCanvas& canvas);
    void PaintPalette(gui::TCanvas& canvas);
    bool TickDue();
    void ShowCreditLine();
    void DrawEffectFrame(gui::TCanvas& canvas);

    std::unique_ptr<gui::TPicture> picture_;
    bool autoSize_ = false, center_ = false, pictavoPalette_ = true;
    gui::TBorderStyle borderStyle_ = gui::bsNone;
    int jpegQuality_ = 25, jpegSmooth_ = 0;
    bool stretch_ = false, stretchRatio_ = false;
    std::string overlay_;
    bool textShadow_ = false, textTransparent_ = true;
    int textLeft_ = 0, textTop_ = 0, textRotate_ = 0;
    TImageInfo info_;

    // Text effects.
    gui::TFont effectFont_;
    gui::TBitmap work_;
    plat::StringList creditLines_;
    std::string message_;
    gui::TColor backColor_ = 0;
    int speed_ = 0, counter_ = 0;
    int viewW_ = 0, viewH_ = 0, textW_ = 0, lineH_ = 0;
    int x_ = 0, y_ = 0, right_ = 0, bottom_ = 0;
    int lineIndex_ = 0;
    gui::TColor savedColor_ = 0;
    bool scrolling_ = false, credits_ = false;
};

}  // namespace controls
