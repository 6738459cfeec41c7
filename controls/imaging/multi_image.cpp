#include "controls/imaging/multi_image.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"

#include <QPainter>

namespace controls {

using namespace gui;

TPMultiImage::TPMultiImage(TComponent* AOwner) : TPMultiPictureBase(AOwner) {}

void TPMultiImage::SetImageName(const std::string& name) {
    storedName_ = name;
    Load();
}

std::string TPMultiImage::ImageName() { return Load(); }

std::string TPMultiImage::Load() {
    const std::string& name = storedName_;
    const std::string ext = plat::AnsiUpperCase(plat::ExtractFileExt(name)).substr(0, 4);
    if (ext != ".RES" && !plat::FileExists(name)) {
        Picture().SetGraphic(nullptr);
        status_ = "file not found";
        return status_;
    }
    const int colorBits = LoadResolutionBits(ImageReadRes, &Canvas());
    if (ext == ".WMF" || ext == ".ICO") {
        StopEffects();
        try {
            Picture().LoadFromFile(plat::Utf8ToAnsi(plat::NativePath(name)));
        } catch (const std::exception&) {
            Picture().SetGraphic(nullptr);
        }
        status_ = "Non TIF, JPeg, BMP, GIF, PNG or PCX Image";
        GetImageInfo(name);
        return status_;
    }
    if (ext == ".SCM" || ext == ".CMS") {
        StopEffects();
        try {
            if (ext == ".SCM") LoadScrollMessage(name);
            else LoadCredits(name);
            GetImageInfo(name);
        } catch (const std::exception&) {
            Picture().SetGraphic(nullptr);
        }
    } else if (!((ComponentState() & csDesigning) && plat::AnsiUpperCase(name) == status_)) {
        if (!ReadRaster(ext, name, colorBits)) {
            // A name no reader takes shows nothing rather than the previous
            // picture, so nothing stale is shown or written as this file.
            StopEffects();
        }
    }
    status_ = plat::AnsiUpperCase(name);
    return status_;
}

bool TPMultiImage::SaveGifFile(const std::string& fileName) {
    int bits = 8;
    switch (ImageWriteRes) {
    case sColorVga: bits = 0; break;
    case sMonoChrome: bits = 1; break;
    case sColor16: bits = 4; break;
    case sColor256:
    case sColorTrue:
    case sJpegGray: bits = 8; break;
    case sAutoMatic: bits = std::min(8, ScreenColorBits(&Canvas())); break;
    }
    if (!fileName.empty()) DefSaveFilename = fileName;
    bool ok = false;
    try {
        // A picture of another kind (a metafile, an icon) is written as it is drawn.
        TBitmap bitmap;
        const TGraphic* g = Picture().Graphic();
        if (const auto* b = dynamic_cast<const TBitmap*>(g)) {
            bitmap.Assign(*b);
        } else if (g && !g->Empty()) {
            bitmap.SetSize(g->Width(), g->Height());
            bitmap.Canvas().Brush().SetColor(clWhite);
            bitmap.Canvas().FillRect(Rect(0, 0, g->Width(), g->Height()));
            bitmap.Canvas().StretchDraw(Rect(0, 0, g->Width(), g->Height()), g);
        }
        ok = DllWriteGIF(DefSaveFilename, bits, bitmap, ReaderCallback());
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) gui::MessageDlg("Writing gif file failed", mtInformation, Buttons({mbOK}), 0);
    return ok;
}

}  // namespace controls
