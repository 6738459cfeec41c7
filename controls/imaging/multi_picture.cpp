#include "controls/imaging/multi_picture.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/metafile.h"

#include <QFont>
#include <QPainter>

#include <cmath>

namespace controls {

using namespace gui;

namespace {

// Halves go to the even neighbour, as the rounding of the original does.
int Nearest(double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace

TRect StretchRatioRect(int bw, int bh, int cw, int ch) {
    if (bw <= 0 || bh <= 0) return Rect(0, 0, cw, ch);
    const double fx = static_cast<double>(cw) / bw, fy = static_cast<double>(ch) / bh;
    if (fx > fy) {
        const double e = cw - fy * bw;
        return Bounds(Nearest(e * 0.5), 0, Nearest(cw - e), ch);
    }
    const double e = ch - fx * bh;
    return Bounds(0, Nearest(e * 0.5), cw, Nearest(ch - e));
}

TPMultiPictureBase::TPMultiPictureBase(TComponent* AOwner)
    : TCustomControl(AOwner), picture_(std::make_unique<TPicture>()) {
    ControlStyle |= csReplicatable;
    SetBounds(0, 0, 105, 105);
    SetColor(clBtnFace);
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TPMultiPictureBase::~TPMultiPictureBase() { picture_->OnChange = nullptr; }

void TPMultiPictureBase::SetAutoSize(bool v) {
    autoSize_ = v;
    PictureChanged();
}
void TPMultiPictureBase::SetCenter(bool v) {
    if (v == center_) return;
    center_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetBorderStyle(TBorderStyle s) {
    if (s == borderStyle_) return;
    borderStyle_ = s;
    Invalidate();
}
void TPMultiPictureBase::SetPictavoPalette(bool v) {
    if (v == pictavoPalette_) return;
    pictavoPalette_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetStretch(bool v) {
    if (v == stretch_) return;
    stretch_ = v;
    if (v) stretchRatio_ = false;
    Invalidate();
}
void TPMultiPictureBase::SetStretchRatio(bool v) {
    if (v == stretchRatio_) return;
    stretchRatio_ = v;
    if (v) stretch_ = false;
    Invalidate();
}
void TPMultiPictureBase::SetText(const std::string& t) {
    if (t == overlay_) return;
    overlay_ = t;
    Invalidate();
}
void TPMultiPictureBase::SetTextShadow(bool v) {
    if (v == textShadow_) return;
    textShadow_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetTextLeft(int v) {
    if (v == textLeft_) return;
    textLeft_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetTextTop(int v) {
    if (v == textTop_) return;
    textTop_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetTextRotate(int v) {
    if (v == textRotate_) return;
    textRotate_ = v;
    Invalidate();
}
void TPMultiPictureBase::SetTextTransParent(bool v) {
    if (v == textTransparent_) return;
    textTransparent_ = v;
    Invalidate();
}

void TPMultiPictureBase::PictureChanged() {
    const int pw = picture_->Width(), ph = picture_->Height();
    if (autoSize_ && pw > 0 && ph > 0) SetBounds(Left(), Top(), pw, ph);
    const auto* bmp = dynamic_cast<const TBitmap*>(picture_->Graphic());
    if (bmp && bmp->Width() == Width() && bmp->Height() == Height()) ControlStyle |= csOpaque;
    else ControlStyle &= ~csOpaque;
    Invalidate();
}

bool TPMultiPictureBase::GetImageInfo(const std::string& fileName) {
    std::string ext = plat::AnsiUpperCase(plat::ExtractFileExt(fileName)).substr(0, 4);
    info_ = TImageInfo{};
    if (ext == ".RES") {
        info_.type = "RES";
        info_.second = "BMP";
        info_.width = picture_->Width();
        info_.height = picture_->Height();
        // Header and pixels of the bitmap as a 24-bit DIB.
        info_.size = 40 + std::int64_t{(picture_->Width() * 3 + 3) & ~3} * picture_->Height();
        return true;
    }
    if (ext == ".WMF" || ext == ".ICO" || ext == ".SCM" || ext == ".CMS") {
        plat::File f;
        if (plat::FileExists(fileName) &&
            f.Open(fileName, plat::FileAccess::Read, plat::FileShare::DenyNone)) {
            info_.type = info_.second = ext.substr(1);
            info_.width = picture_->Width();
            info_.height = picture_->Height();
            info_.size = f.Size();
            return true;
        }
        info_.type = info_.second = "ERR";
        info_.width = info_.height = -1;
        info_.numbers[0] = info_.numbers[1] = info_.numbers[2] = -1;
        info_.size = -1;
        return false;
    }
    int numbers[5] = {0, 0, 0, 0, 0};
    const bool ok = DllImageInfo(fileName, info_.type, numbers, info_.second);
    info_.width = numbers[0];
    info_.height = numbers[1];
    for (int i = 0; i < 3; ++i) info_.numbers[i] = numbers[2 + i];
    plat::File f;
    info_.size = f.Open(fileName, plat::FileAccess::Read, plat::FileShare::DenyNone) ? f.Size() : -1;
    return ok;
}

bool TPMultiPictureBase::ReadRaster(const std::string& ext, const std::string& fileName, int colorBits) {
    using Reader = bool (*)(const std::string&, int, bool, TBitmap&, TImagingCallback);
    struct Entry {
        const char* ext;
        Reader read;
        const char* failure;
    };
    static const Entry kReaders[] = {
        {".BMP", DllReadBMP, "Reading bmp file failed"}, {".THB", DllReadBMP, "Reading bmp file failed"},
        {".THJ", DllReadJPEG, "Reading jpg file failed"}, {".RES", nullptr, "Reading resource file failed"},
        {".PNG", DllReadPNG, "Reading png file failed"}, {".GIF", DllReadGIF, "Reading gif file failed"},
        {".TIF", DllReadTIFF, "Reading tif file failed"}, {".PCX", DllReadPCX, "Reading pcx file failed"},
        {".JPG", DllReadJPEG, "Reading jpg file failed"},
    };
    for (const Entry& e : kReaders) {
        if (ext != e.ext) continue;
        StopEffects();
        TBitmap bitmap;
        try {
            const bool ok = e.read ? e.read(fileName, colorBits, ImageDither, bitmap, ReaderCallback())
                                   : ReadResourceBitmap("", ExtractBaseName(fileName), Handle(), bitmap);
            if (!ok) gui::MessageDlg(e.failure, mtInformation, Buttons({mbOK}), 0);
            picture_->SetGraphic(&bitmap);
            if (ok) GetImageInfo(fileName);
        } catch (const std::exception&) {
            picture_->SetGraphic(nullptr);
        }
        return true;
    }
    return false;
}

void TPMultiPictureBase::StopEffects() {
    if (scrolling_) SetColor(savedColor_);
    if (credits_) SetColor(savedColor_);
    scrolling_ = credits_ = false;
    picture_->SetGraphic(nullptr);
}

// --- painting -----------------------------------------------------------------------
void TPMultiPictureBase::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    if (ComponentState() & csDesigning) {
        c.Pen().SetStyle(psDash);
        c.Brush().SetStyle(bsClear);
        c.Rectangle(0, 0, Width(), Height());
        c.Brush().SetStyle(bsSolid);
        c.Pen().SetStyle(psSolid);
    }
    if (info_.type == "ICO" || info_.type == "WMF" || !pictavoPalette_ ||
        !dynamic_cast<const TBitmap*>(picture_->Graphic()))
        PaintPlain(c);
    else
        PaintPalette(c);
    DrawEffectFrame(c);
    if (!overlay_.empty()) DrawOverlayText(c, textLeft_, textTop_);
    if (borderStyle_ == bsSingle) {
        c.Brush().SetColor(clWindowFrame);
        c.FrameRect(ClientRect());
    }
    if (OnPaint) OnPaint(this);
}

void TPMultiPictureBase::PaintPlain(TCanvas& c) {
    const TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    const int pw = picture_->Width(), ph = picture_->Height();
    TRect dest;
    if (stretch_) dest = ClientRect();
    else if (center_) dest = Bounds((Width() - pw) / 2, (Height() - ph) / 2, pw, ph);
    else dest = Rect(0, 0, pw, ph);
    c.StretchDraw(dest, g);
}

void TPMultiPictureBase::PaintPalette(TCanvas& c) {
    auto* bmp = const_cast<TBitmap*>(dynamic_cast<const TBitmap*>(picture_->Graphic()));
    if (!bmp || bmp->Empty()) return;
    const int bw = bmp->Width(), bh = bmp->Height(), cw = ClientWidth(), ch = ClientHeight();
    TRect dest;
    if (stretchRatio_) dest = StretchRatioRect(bw, bh, cw, ch);
    else if (stretch_) dest = ClientRect();
    else {
        dest = Bounds(0, 0, bw, bh);
        if (center_) OffsetRect(dest, (cw - picture_->Width()) / 2, (ch - picture_->Height()) / 2);
    }
    // The canvas's copy mode decides how the picture meets what is there.
    c.CopyRect(dest, bmp->Canvas(), Rect(0, 0, bw, bh));
}

void TPMultiPictureBase::DrawOverlayText(TCanvas& c, int x, int y) {
    QPainter* p = c.Painter();
    if (!p) return;
    TFont& f = Font();
    QFont qf(QString::fromStdString(plat::AnsiToUtf8(MapFontName(f.Name()))));
    qf.setPixelSize(std::max(1, std::abs(f.Height())));
    qf.setBold(f.Style() & fsBold);
    qf.setItalic(f.Style() & fsItalic);
    qf.setUnderline(f.Style() & fsUnderline);
    qf.setStrikeOut(f.Style() & fsStrikeOut);
    qf.setFixedPitch(f.Pitch() == fpFixed);
    const QString text = QString::fromStdString(plat::AnsiToUtf8(overlay_));
    auto draw = [&](int dx, int dy, TColor color) {
        p->save();
        p->setFont(qf);
        p->translate(x + dx, y + dy);
        p->rotate(-textRotate_);  // counter-clockwise degrees, as escapement
        const QFontMetrics fm(qf);
        if (!textTransparent_)
            p->fillRect(QRect(0, 0, fm.horizontalAdvance(text), fm.height()), QColor::fromRgb(
                GetRValue(ColorToRGB(Color())), GetGValue(ColorToRGB(Color())), GetBValue(ColorToRGB(Color()))));
        const TColor rgb = ColorToRGB(color);
        p->setPen(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
        p->drawText(QPoint(0, fm.ascent()), text);
        p->restore();
    };
    if (textShadow_) draw(2, 2, TextShadowColor);
    draw(0, 0, f.Color());
    c.Flush();
}

// --- text effects --------------------------------------------------------------------
bool TPMultiPictureBase::TickDue() {
    if (++counter_ > speed_) {
        counter_ = 0;
        return true;
    }
    return false;
}

void TPMultiPictureBase::DrawEffectFrame(TCanvas& c) {
    if ((scrolling_ || credits_) && !work_.Empty()) c.Draw(x_, y_, &work_);
}

void TPMultiPictureBase::LoadScrollMessage(const std::string& fileName) {
    picture_->SetGraphic(nullptr);
    viewW_ = Width();
    viewH_ = Height();
    ReadScrollMessageFile(fileName, effectFont_, speed_, backColor_, message_);
    Refresh();
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(effectFont_);
    const int tw = measure.Canvas().TextWidth(message_), th = measure.Canvas().TextHeight(message_);
    textW_ = tw;
    x_ = viewW_;
    right_ = viewW_ + tw;
    y_ = (viewH_ - th) / 2;
    work_.SetSize(std::max(1, tw), std::max(1, th));
    savedColor_ = Color();
    SetColor(backColor_);
    TCanvas& wc = work_.Canvas();
    wc.Brush().SetColor(backColor_);
    wc.FillRect(Rect(0, 0, work_.Width(), work_.Height()));
    wc.Font().Assign(effectFont_);
    wc.TextOut(0, 0, message_);
    scrolling_ = true;
    counter_ = 0;
}

void TPMultiPictureBase::ScrollStep() {
    if (!scrolling_ || !TickDue()) return;
    --x_;
    --right_;
    if (right_ < 0) {
        x_ = viewW_;
        right_ = viewW_ + textW_;
    }
    Canvas().Draw(x_, y_, &work_);
}

void TPMultiPictureBase::LoadCredits(const std::string& fileName) {
    picture_->SetGraphic(nullptr);
    ReadCreditsFile(fileName, effectFont_, speed_, backColor_, creditLines_);
    lineIndex_ = 0;
    counter_ = 0;
    ShowCreditLine();
}

void TPMultiPictureBase::ShowCreditLine() {
    if (creditLines_.Count() == 0) return;
    if (lineIndex_ >= creditLines_.Count()) lineIndex_ = 0;
    std::string line = creditLines_[lineIndex_];
    if (line.empty()) return;
    if (line.front() != ' ') line = "  " + line;
    if (line.back() != ' ') line += ' ';
    viewW_ = Width();
    viewH_ = Height();
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(effectFont_);
    int tw = measure.Canvas().TextWidth(line);
    const int th = measure.Canvas().TextHeight(line);
    if (line.size() > 2) tw += tw / static_cast<int>(line.size() - 2);
    lineH_ = th;
    textW_ = tw;
    x_ = (viewW_ - tw) / 2;
    y_ = viewH_;
    bottom_ = viewH_ + lineH_;
    work_.SetSize(std::max(1, tw), lineH_ + 5);
    if (!credits_) savedColor_ = Color();
    SetColor(backColor_);
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(backColor_);
    c.FillRect(Rect(0, 0, Width(), Height()));
    TCanvas& wc = work_.Canvas();
    wc.Brush().SetColor(backColor_);
    wc.Pen().SetColor(backColor_);
    wc.Rectangle(0, 0, work_.Width(), work_.Height());
    wc.Font().Assign(effectFont_);
    wc.TextOut(0, 0, line);
    credits_ = true;
}

void TPMultiPictureBase::CreditsStep() {
    if (!credits_ || !TickDue()) return;
    --y_;
    --bottom_;
    if (y_ < -lineH_ - 5) {
        if (creditLines_.Count() > 0) {
            lineIndex_ = lineIndex_ + 1 >= creditLines_.Count() ? 0 : lineIndex_ + 1;
            ShowCreditLine();
        } else {
            y_ = viewH_;
            bottom_ = viewH_ + lineH_;
        }
    }
    Canvas().Draw(x_, y_, &work_);
}

// --- clipboard and keys ----------------------------------------------------------------
void TPMultiPictureBase::CopyToClipboard() {
    if (picture_->Graphic()) Clipboard()->Assign(*picture_);
}

void TPMultiPictureBase::CutToClipboard() {
    if (!picture_->Graphic()) return;
    CopyToClipboard();
    picture_->SetGraphic(nullptr);
}

void TPMultiPictureBase::PasteFromClipboard() {
    TClipboard* cb = Clipboard();
    if (!(cb->HasFormat(CF_PICTURE()) || cb->HasFormat(CF_DIB) || cb->HasFormat(CF_BITMAP))) return;
    scrolling_ = credits_ = false;  // the effect's colour stays
    cb->AssignTo(*picture_);
}

void TPMultiPictureBase::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_INSERT && (Shift & ssShift)) PasteFromClipboard();
    else if (Key == VK_INSERT && (Shift & ssCtrl)) CopyToClipboard();
    else if (Key == VK_DELETE && (Shift & ssShift)) CutToClipboard();
}

void TPMultiPictureBase::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    switch (Key) {
    case 3: CopyToClipboard(); break;
    case 22: PasteFromClipboard(); break;
    case 24: CutToClipboard(); break;
    default: break;
    }
}

void TPMultiPictureBase::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_CUT: CutToClipboard(); return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_SCROLLSTEP: ScrollStep(); return;
    case WM_CREDITSSTEP: CreditsStep(); return;
    default: break;
    }
    TCustomControl::WndProc(m);
}

}  // namespace controls
