#include "platform/gui/image_list.h"

#include <algorithm>

namespace gui {

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}
TImageList::~TImageList() = default;

void TImageList::SetSize(int w, int h) {
    width_ = std::max(1, w);
    height_ = std::max(1, h);
    Clear();
}

int TImageList::Add(const TBitmap& bitmap) {
    if (bitmap.Empty()) return -1;
    TBitmap copy;
    copy.Assign(bitmap);
    return AddMasked(bitmap, copy.Canvas().Pixel(0, copy.Height() - 1));
}

int TImageList::AddMasked(const TBitmap& bitmap, TColor maskColor) {
    if (bitmap.Empty()) return -1;
    TBitmap source;
    source.Assign(bitmap);
    int first = Count();
    int n = std::max(1, (source.Width() + width_ - 1) / width_);
    for (int i = 0; i < n; ++i) {
        auto img = std::make_unique<TBitmap>(width_, height_);
        img->Canvas().Brush().SetColor(maskColor);
        img->Canvas().FillRect(Rect(0, 0, width_, height_));
        img->Canvas().CopyRect(Rect(0, 0, width_, height_), source.Canvas(), Bounds(i * width_, 0, width_, height_));
        img->SetTransparentColor(maskColor);
        img->SetTransparent(true);
        images_.push_back(std::move(img));
    }
    if (OnChange) OnChange(this);
    return first;
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    images_.erase(images_.begin() + index);
    if (OnChange) OnChange(this);
}

void TImageList::Clear() {
    images_.clear();
    if (OnChange) OnChange(this);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index) const {
    if (index < 0 || index >= Count()) return;
    canvas.Draw(x, y, images_[index].get());
}

}  // namespace gui
