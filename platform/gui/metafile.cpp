#include "platform/gui/metafile.h"

#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/gui/qt_bridge.h"
#include "platform/imaging/wmf_reader.h"

#include <QImage>
#include <QPainter>

namespace gui {

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

int TMetafile::Width() const { return width_; }
int TMetafile::Height() const { return height_; }

void TMetafile::SetBytes(const std::string& bytes) {
    imaging::TMetafileHeader header;
    if (!imaging::ReadMetafileHeader(bytes, header)) throw plat::EReadError("Invalid metafile");
    QSize size = imaging::MetafileSize(bytes);
    if (size.isEmpty()) size = QSize(100, 100);
    bytes_ = bytes;
    width_ = size.width();
    height_ = size.height();
    cache_.reset();
    Changed();
}

void TMetafile::LoadFromStream(plat::Stream& stream) {
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(0, stream.Size() - stream.Position())), '\0');
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    SetBytes(bytes);
}

void TMetafile::SaveToStream(plat::Stream& stream) const {
    if (!bytes_.empty()) stream.WriteBuffer(bytes_.data(), static_cast<std::int64_t>(bytes_.size()));
}

void TMetafile::LoadFromFile(const std::string& fileName) { TGraphic::LoadFromFile(fileName); }

const QImage* TMetafile::Image() const {
    if (bytes_.empty()) return nullptr;
    if (!cache_) {
        cache_ = std::make_unique<QImage>(width_, height_, QImage::Format_ARGB32_Premultiplied);
        cache_->fill(Qt::transparent);
        QPainter p(cache_.get());
        imaging::DrawMetafile(p, QRectF(0, 0, width_, height_), bytes_, MapFontName);
    }
    return cache_.get();
}

bool TMetafile::PaintOn(QPainter& painter, const TRect& rect) const {
    if (bytes_.empty() || rect.IsEmpty()) return bytes_.empty() ? false : true;
    imaging::DrawMetafile(painter, QRectF(ToQRect(rect)), bytes_, MapFontName);
    return true;
}

std::unique_ptr<TGraphic> TMetafile::Clone() const {
    auto m = std::make_unique<TMetafile>();
    m->bytes_ = bytes_;
    m->width_ = width_;
    m->height_ = height_;
    m->transparent_ = transparent_;
    return m;
}

}  // namespace gui
