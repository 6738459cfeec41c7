// A metafile picture: the file's bytes, played through the imaging layer's
// metafile reader whenever it is drawn, so it stays sharp at any size.
#pragma once

#include "platform/gui/graphics.h"

#include <memory>
#include <string>

namespace gui {

class TMetafile : public TGraphic {
public:
    TMetafile();
    ~TMetafile() override;
    int Width() const override;
    int Height() const override;
    bool Empty() const override { return bytes_.empty(); }
    // Raises plat::EReadError when the bytes are no metafile.
    void LoadFromStream(plat::Stream& stream) override;
    void SaveToStream(plat::Stream& stream) const override;
    void LoadFromFile(const std::string& fileName) override;
    // The metafile played at its own size on a transparent background.
    const QImage* Image() const override;
    std::unique_ptr<TGraphic> Clone() const override;
    bool PaintOn(QPainter& painter, const TRect& rect) const override;
    const std::string& Bytes() const { return bytes_; }
    // Raises plat::EReadError when the bytes are no metafile.
    void SetBytes(const std::string& bytes);

private:
    std::string bytes_;
    int width_ = 0, height_ = 0;
    mutable std::unique_ptr<QImage> cache_;
};

}  // namespace gui
