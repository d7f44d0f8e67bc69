#pragma once
#include "toolkit/gfx/bitmap.h"

namespace tt {

class Canvas;

// Equal cells cut from strips, numbered from 0 in the order they were added. The cells are
// opaque: drawing one is a plain copy.
class ImageList {
  public:
    ImageList() = default;
    ImageList(int cellWidth, int cellHeight);

    int Width() const { return cellWidth_; }
    int Height() const { return cellHeight_; }
    int Count() const { return count_; }

    // Drops every cell.
    void SetSize(int cellWidth, int cellHeight);
    void Clear();

    // Cuts the strip left to right into whole cells (a narrower remainder is not a cell;
    // rows below the cell height are ignored, missing rows are white) and appends them.
    // Returns the index of the first new cell, or -1 when the strip holds no whole cell.
    int Add(const Bitmap& strip);

    // Out-of-range indexes draw nothing.
    void Draw(Canvas& canvas, int x, int y, int index) const;
    // Sizes dest to one cell and copies the cell into it; an out-of-range index leaves it white.
    void GetBitmap(int index, Bitmap& dest) const;

  private:
    int cellWidth_ = 16;
    int cellHeight_ = 16;
    int count_ = 0;
    Bitmap cells_;  // all cells side by side
};

}  // namespace tt
