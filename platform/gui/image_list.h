// A list of same-sized images drawn by index (tree views, tab sets).
#pragma once

#include "platform/gui/graphics.h"

#include <memory>
#include <vector>

namespace gui {

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* AOwner);
    ~TImageList() override;
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changes the size and empties the list.
    void SetSize(int w, int h);
    int Count() const { return static_cast<int>(images_.size()); }
    // Splits a bitmap into images of the list's width (one more per width);
    // pixels of the bitmap's transparent colour are not drawn. Returns the
    // index of the first one added, -1 when the bitmap is empty.
    int Add(const TBitmap& bitmap);
    // Like Add, with an explicit see-through colour.
    int AddMasked(const TBitmap& bitmap, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Does nothing for an index outside the list.
    void Draw(TCanvas& canvas, int x, int y, int index) const;
    TNotifyEvent OnChange;

private:
    int width_ = 16, height_ = 16;
    std::vector<std::unique_ptr<TBitmap>> images_;
};

}  // namespace gui
