#include "toolkit/gfx/bitmap.h"

#include <algorithm>

#include "toolkit/gfx/canvas.h"

namespace tt {

namespace {
constexpr Pixel kWhitePixel = PixelFromRGB(clWhite);
}

Bitmap::Bitmap() = default;

Bitmap::Bitmap(int width, int height) {
    SetSize(width, height);
}

Bitmap::~Bitmap() = default;

Bitmap::Bitmap(const Bitmap& other)
    : width_(other.width_), height_(other.height_), pixels_(other.pixels_) {}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) {
        width_ = other.width_;
        height_ = other.height_;
        pixels_ = other.pixels_;
    }
    return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(other.width_),
      height_(other.height_),
      pixels_(std::move(other.pixels_)),
      canvas_(std::move(other.canvas_)) {
    if (canvas_) canvas_->target_ = this;
    other.width_ = other.height_ = 0;
    other.pixels_.clear();
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        width_ = other.width_;
        height_ = other.height_;
        pixels_ = std::move(other.pixels_);
        canvas_ = std::move(other.canvas_);
        if (canvas_) canvas_->target_ = this;
        other.width_ = other.height_ = 0;
        other.pixels_.clear();
    }
    return *this;
}

void Bitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    std::vector<Pixel> pixels(static_cast<std::size_t>(width) * height, kWhitePixel);
    const int keepWidth = std::min(width, width_);
    const int keepHeight = std::min(height, height_);
    for (int y = 0; y < keepHeight; ++y) {
        std::copy_n(Row(y), keepWidth, pixels.data() + static_cast<std::size_t>(y) * width);
    }
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
}

TColor Bitmap::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFF;
    return RGBFromPixel(Row(y)[x]);
}

void Bitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Row(y)[x] = PixelFromRGB(ColorToRGB(color));
}

Canvas& Bitmap::GetCanvas() {
    if (!canvas_) canvas_ = std::make_unique<Canvas>(*this);
    return *canvas_;
}

}  // namespace tt
