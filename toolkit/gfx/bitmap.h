#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/gfx/color.h"
#include "toolkit/gfx/geometry.h"

namespace tt {

class Canvas;

// A 32-bit picture, rows top-down without padding, in the layout of color.h's Pixel. A new
// bitmap and the area that a resize adds are white, as the platform's bitmaps start.
class Bitmap {
  public:
    Bitmap();
    Bitmap(int width, int height);
    ~Bitmap();
    // A copy takes the pixels only; its canvas starts with default pen, brush and font.
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    TRect BoundsRect() const { return {0, 0, width_, height_}; }

    // Keeps the pixels that the old and new sizes share; negative sizes count as 0. A bitmap
    // may be 0 wide and still have a height (a bar without cells is sized so).
    void SetSize(int width, int height);

    // For tests and hit checks: colour words, 0xFFFFFFFF (no colour) outside the bitmap.
    // Writing outside is ignored.
    TColor GetPixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Raw access for the backends and the drawing code: Height() rows of Width() pixels.
    Pixel* Bits() { return pixels_.data(); }
    const Pixel* Bits() const { return pixels_.data(); }
    Pixel* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const Pixel* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    int StrideBytes() const { return width_ * 4; }

    // The bitmap's own drawing surface; it keeps its pen, brush and font between uses,
    // like the platform's bitmap canvas.
    Canvas& GetCanvas();

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
    std::unique_ptr<Canvas> canvas_;
};

}  // namespace tt
