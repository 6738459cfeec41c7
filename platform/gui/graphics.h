// Drawing: fonts, pens, brushes, the canvas, and the pictures a canvas can
// draw (bitmaps with their monochrome masks, icons, and the picture holder).
// A canvas draws into an image (a bitmap's or a control's back buffer), so
// raster operations, pixel reads and drawing outside a paint message all work
// the same way everywhere. Qt stays out of this header.
#pragma once

#include "platform/gui/component.h"

#include <memory>
#include <string>
#include <vector>

class QImage;
class QPainter;
class QFont;
class QBrush;

namespace plat {
class Stream;
}

namespace gui {

// The one screen resolution the layer reports: drawings and font sizes are
// computed at it, whatever the display says, so they match the design.
constexpr int kScreenPixelsPerInch = 96;

// The colour the display shows for `color`: the display has true colour, so
// this is the colour itself (system colours resolved).
TColor GetNearestColor(TColor color);

// The installed family that stands in for a Windows font name ("Arial" ->
// "Liberation Sans"); unknown names are returned unchanged.
std::string MapFontName(const std::string& windowsName);
class TFont;
// Whether the font's family scales to any size (an outline font).
bool IsScalableFont(const TFont& font);

// --- fonts, pens, brushes -----------------------------------------------------
using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TGraphicsObject : public TObject {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

class TFont : public TGraphicsObject {
public:
    TFont();
    void Assign(const TFont& source);
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Points, from Height at PixelsPerInch; setting it stores a negative Height.
    int Size() const;
    void SetSize(int points);
    // Pixels; negative: character height, positive: cell height.
    int Height() const { return height_; }
    void SetHeight(int pixels);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch pitch);
    int Charset() const { return charset_; }
    void SetCharset(int charset);
    int PixelsPerInch = kScreenPixelsPerInch;
    bool operator==(const TFont& o) const {
        return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ && style_ == o.style_ &&
               pitch_ == o.pitch_ && charset_ == o.charset_;
    }

private:
    std::string name_ = "MS Sans Serif";
    int height_ = -11;  // 8 points at 96 pixels per inch
    TColor color_ = clWindowText;
    TFontStyles style_ = 0;
    TFontPitch pitch_ = fpDefault;
    int charset_ = 1;  // DEFAULT_CHARSET
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
                pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };

class TPen : public TGraphicsObject {
public:
    void Assign(const TPen& source);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    int Width() const { return width_; }
    void SetWidth(int w);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle s);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode m);

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBitmap;

class TBrush : public TGraphicsObject {
public:
    void Assign(const TBrush& source);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle s);
    // A pattern brush; not owned; nullptr for none.
    TBitmap* Bitmap() const { return bitmap_; }
    void SetBitmap(TBitmap* b);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TBitmap* bitmap_ = nullptr;
};

// --- the canvas -------------------------------------------------------------------
using TCopyMode = std::uint32_t;
constexpr TCopyMode cmBlackness = 0x00000042, cmDstInvert = 0x00550009, cmMergeCopy = 0x00C000CA,
                    cmMergePaint = 0x00BB0226, cmNotSrcCopy = 0x00330008, cmNotSrcErase = 0x001100A6,
                    cmPatCopy = 0x00F00021, cmPatInvert = 0x005A0049, cmPatPaint = 0x00FB0A09,
                    cmSrcAnd = 0x008800C6, cmSrcCopy = 0x00CC0020, cmSrcErase = 0x00440328,
                    cmSrcInvert = 0x00660046, cmSrcPaint = 0x00EE0086, cmWhiteness = 0x00FF0062;

// A ternary raster operation on pattern (the brush), source and destination
// bits: the code's third byte is its truth table, bit (P << 2 | S << 1 | D)
// giving the result for each combination. Every one of the 256 is valid.
std::uint32_t RasterOp3(TCopyMode rop, std::uint32_t pattern, std::uint32_t source, std::uint32_t dest);

// DrawText flags.
constexpr unsigned DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
                   DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                   DT_NOCLIP = 0x100, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
                   DT_END_ELLIPSIS = 0x8000, DT_PATH_ELLIPSIS = 0x4000;

class TGraphic;

// Font metrics in pixels, as Win32's TEXTMETRIC reports them.
struct TTextMetric {
    int tmHeight = 0;            // ascent + descent
    int tmAscent = 0;
    int tmDescent = 0;
    int tmInternalLeading = 0;   // tmHeight less the character (em) height
    int tmExternalLeading = 0;
    int tmAveCharWidth = 0;
    int tmMaxCharWidth = 0;
    int tmWeight = 400;
    bool tmItalic = false;
    bool tmUnderlined = false;
    bool tmStruckOut = false;
    unsigned char tmFirstChar = 32;
    unsigned char tmLastChar = 255;
    unsigned char tmCharSet = 0;
};

// ExtTextOut options.
constexpr unsigned ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004;
// GetDeviceCaps indices.
constexpr int HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14,
              NUMCOLORS = 24, RASTERCAPS = 38, LOGPIXELSX = 88, LOGPIXELSY = 90;
constexpr int RC_BITBLT = 0x0001, RC_STRETCHBLT = 0x0800, RC_DI_BITMAP = 0x0080;

class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TCopyMode CopyMode = cmSrcCopy;
    TNotifyEvent OnChange;

    void MoveTo(int x, int y);
    // Like Win32, the end point itself is not drawn.
    void LineTo(int x, int y);
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint p) { penPos_ = p; }
    // Outline with the pen, inside with the brush; right and bottom excluded.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Ellipse(int x1, int y1, int x2, int y2);
    void FillRect(const TRect& r);
    // A one-pixel frame in the brush colour.
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    void Polygon(const std::vector<TPoint>& points);
    void Polyline(const std::vector<TPoint>& points);
    // Text with its cell's top-left at (x, y); the background is filled with
    // the brush unless its style is bsClear. Moves the pen position past it.
    void TextOut(int x, int y, const std::string& text);
    // Text at (x, y) clipped to r, with r filled first unless the brush is clear.
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    void GetTextMetrics(TTextMetric& tm);
    // Advance widths of the Windows-1252 characters first..last into widths.
    void GetCharWidths(unsigned char first, unsigned char last, int* widths);
    // Text at (x, y) (cell top-left), each character advancing by dx[i] when
    // dx is given; ETO_OPAQUE fills `rect` with the brush colour first,
    // ETO_CLIPPED clips to it.
    void ExtTextOut(int x, int y, unsigned options, const TRect* rect, const std::string& text, const int* dx);
    // What the drawing surface reports about itself (resolution, size, colours).
    int GetDeviceCaps(int index) const;
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TPoint TextExtent(const std::string& text);
    // How many times any canvas has measured text (TextWidth, TextHeight,
    // TextExtent) since the program started: tests and benchmarks read it to
    // see that a control's measuring does not grow with its text.
    static std::uint64_t TextMeasurements();
    void Draw(int x, int y, const TGraphic* graphic);
    void StretchDraw(const TRect& r, const TGraphic* graphic);
    // Copies from another canvas (or itself) with CopyMode as raster operation.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
    // Copies a bitmap area, drawing pixels of `color` in the brush colour.
    void BrushCopy(const TRect& dest, const TBitmap& bitmap, const TRect& source, TColor color);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    // The clip in canvas coordinates (the whole drawing area when unclipped).
    TRect ClipRect() const;
    // Like a window's update region on Win32, the clip given to Bind always
    // holds: SetClipRect narrows it (an empty rectangle clips everything
    // away), ResetClip goes back to it.
    void SetClipRect(const TRect& r);
    void ResetClip();
    void Lock() {}
    void Unlock() {}
    bool HandleAllocated() const { return target_ != nullptr || device_ != nullptr; }

    // --- plumbing for the layer itself --------------------------------------------
    // Points the canvas at an image (not owned); (0, 0) of the canvas lies at
    // `origin` in it, drawing is clipped to `clip` (image coordinates; empty
    // means the whole image).
    void Bind(QImage* image, TPoint origin = {}, TRect clip = {});
    // Points the canvas at a painter already begun on another device (a
    // printer), `width` x `height` device pixels at `dpi`: what is drawn goes
    // straight to the device, so text stays text. Pixels cannot be read back.
    void BindPainter(QPainter* painter, int width, int height, int dpi);
    void Unbind();
    QImage* Target() const { return target_; }
    TPoint Origin() const { return origin_; }
    // Ends the painter, so the image can be read or handed on.
    void Flush();
    // The painter, set up for drawing; nullptr without a target.
    QPainter* Painter();
    // Raised after every change, so a control can schedule a screen update.
    std::function<void()> AfterChange;

private:
    void ApplyPen();
    void ApplyBrush();
    void ApplyFont();
    void Changed();
    void DrawImage(const TRect& dest, const QImage& image, const TRect& src, TCopyMode mode);
    QBrush PatternBrush() const;
    // The Qt font and metrics of font_, built when the font last changed
    // rather than at every measurement.
    struct FontCache;
    const FontCache& QtFont();

    TFont font_;
    std::unique_ptr<FontCache> fontCache_;
    TPen pen_;
    TBrush brush_;
    TPoint penPos_;
    QImage* target_ = nullptr;
    QPainter* device_ = nullptr;  // a painter of BindPainter, not owned
    int deviceWidth_ = 0, deviceHeight_ = 0, deviceDpi_ = 0;
    TPoint origin_;
    bool clipped_ = false;
    TRect clip_;      // image coordinates, when clipped_
    TRect bindClip_;  // the clip given to Bind (image coordinates); empty: none
    std::unique_ptr<QPainter> painter_;
};

// Win32 DrawText on a canvas: returns the text's height; with DT_CALCRECT
// only measures, widening or narrowing rect to the text.
int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags);
// Scrolls the picture inside `scroll` by dx, dy (clipped to `clip`), as
// Win32's ScrollDC; the caller repaints what was uncovered.
void ScrollDC(TCanvas& canvas, int dx, int dy, const TRect& scroll, const TRect& clip);
// DrawEdge: 3-D borders of the classic look.
constexpr unsigned BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
                   EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                   EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF,
                   BF_MIDDLE = 0x800, BF_ADJUST = 0x2000;
// Draws the chosen sides of an outer and an inner border; BF_MIDDLE fills
// the inside with clBtnFace; BF_ADJUST shrinks rect to the inside.
void DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags);
// A raised or sunken frame: top-left in topColor, bottom-right in bottomColor;
// shrinks rect by width.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// --- pictures ----------------------------------------------------------------------
class TGraphic : public TGraphicsObject {
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName) const;
    virtual void LoadFromStream(plat::Stream& stream) = 0;
    virtual void SaveToStream(plat::Stream& stream) const = 0;
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool t);
    // The picture as an image, for drawing; nullptr when empty.
    virtual const QImage* Image() const = 0;
    // A copy of the same kind.
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
    // Draws itself into `rect` when it can do better than its Image
    // stretched (a metafile plays its records at the size asked); false
    // leaves the drawing to the canvas.
    virtual bool PaintOn(QPainter& painter, const TRect& rect) const { return false; }

protected:
    bool transparent_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf8bit, pf24bit, pf32bit };

class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    void Assign(const TBitmap& source);

    int Width() const override;
    int Height() const override;
    void SetWidth(int w);
    void SetHeight(int h);
    // Resizing keeps the top-left part; new pixels are white.
    void SetSize(int w, int h);
    bool Empty() const override;
    TCanvas& Canvas();
    // A monochrome bitmap holds only black and white: setting it (and every
    // drawing on it afterwards) maps each pixel to the nearer of the two.
    bool Monochrome() const { return monochrome_; }
    void SetMonochrome(bool m);
    TPixelFormat PixelFormat() const { return monochrome_ ? pf1bit : pf24bit; }
    // The colour drawn as see-through when Transparent: by default the
    // bottom-left pixel, as the class library does.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor c);
    // Turns the bitmap into a monochrome mask of `transparentColor`: white
    // where the colour was, black elsewhere.
    void Mask(TColor transparentColor);
    // A monochrome mask of this bitmap without changing it.
    std::unique_ptr<TBitmap> CreateMask(TColor transparentColor) const;
    void LoadFromStream(plat::Stream& stream) override;
    void SaveToStream(plat::Stream& stream) const override;
    void LoadFromFile(const std::string& fileName) override;
    const QImage* Image() const override;
    QImage& MutableImage();
    void SetImage(const QImage& image);
    std::unique_ptr<TGraphic> Clone() const override;

private:
    void Monochromize();
    void CanvasChanged();

    std::unique_ptr<QImage> image_;
    std::unique_ptr<TCanvas> canvas_;
    bool monochrome_ = false;
    TColor transparentColor_ = clDefault;
};

class TIcon : public TGraphic {
public:
    TIcon();
    ~TIcon() override;
    int Width() const override;
    int Height() const override;
    bool Empty() const override;
    void LoadFromStream(plat::Stream& stream) override;
    void SaveToStream(plat::Stream& stream) const override;
    void LoadFromFile(const std::string& fileName) override;
    const QImage* Image() const override;
    void SetImage(const QImage& image);
    std::unique_ptr<TGraphic> Clone() const override;

private:
    std::unique_ptr<QImage> image_;
};

// Holds one graphic of any kind.
class TPicture : public TGraphicsObject {
public:
    TPicture();
    ~TPicture() override;
    TGraphic* Graphic() const { return graphic_.get(); }
    // Takes a copy; nullptr empties the picture.
    void SetGraphic(const TGraphic* graphic);
    // The bitmap, replacing any other kind of graphic by an empty bitmap.
    TBitmap& Bitmap();
    TIcon& Icon();
    void Assign(const TPicture& source);
    // Icons (.ico) become TIcon, metafiles (.wmf) TMetafile, every other
    // readable image a TBitmap.
    // Raises plat::EFOpenError for a missing file and plat::Exception for an
    // unreadable one; the picture is then unchanged.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    bool Empty() const { return !graphic_ || graphic_->Empty(); }

private:
    void Attach(std::unique_ptr<TGraphic> g);
    std::unique_ptr<TGraphic> graphic_;
};

}  // namespace gui
