#include "toolkit/gfx/image_list.h"

#include <algorithm>

#include "toolkit/gfx/canvas.h"

namespace tt {

ImageList::ImageList(int cellWidth, int cellHeight) {
    SetSize(cellWidth, cellHeight);
}

void ImageList::SetSize(int cellWidth, int cellHeight) {
    cellWidth_ = std::max(cellWidth, 1);
    cellHeight_ = std::max(cellHeight, 1);
    Clear();
}

void ImageList::Clear() {
    count_ = 0;
    cells_.SetSize(0, 0);
}

int ImageList::Add(const Bitmap& strip) {
    const int added = strip.Width() / cellWidth_;
    if (added <= 0) return -1;
    const int first = count_;
    cells_.SetSize((count_ + added) * cellWidth_, cellHeight_);
    const int rows = std::min(cellHeight_, strip.Height());
    const int columns = added * cellWidth_;
    for (int y = 0; y < rows; ++y) {
        std::copy_n(strip.Row(y), columns, cells_.Row(y) + std::ptrdiff_t{first} * cellWidth_);
    }
    count_ += added;
    return first;
}

void ImageList::Draw(Canvas& canvas, int x, int y, int index) const {
    if (index < 0 || index >= count_) return;
    canvas.BitBlt(x, y, cellWidth_, cellHeight_, cells_, index * cellWidth_, 0, TRasterOp::SrcCopy);
}

void ImageList::GetBitmap(int index, Bitmap& dest) const {
    dest.SetSize(cellWidth_, cellHeight_);
    const Pixel white = PixelFromRGB(clWhite);
    for (int y = 0; y < cellHeight_; ++y) {
        Pixel* row = dest.Row(y);
        if (index < 0 || index >= count_) {
            std::fill(row, row + cellWidth_, white);
        } else {
            std::copy_n(cells_.Row(y) + std::ptrdiff_t{index} * cellWidth_, cellWidth_, row);
        }
    }
}

}  // namespace tt
