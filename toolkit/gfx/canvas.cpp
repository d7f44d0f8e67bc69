#include "toolkit/gfx/canvas.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <utility>

namespace tt {

namespace {

constexpr Pixel kBlackPixel = PixelFromRGB(clBlack);

Pixel Resolve(TColor color) {
    return PixelFromRGB(ColorToRGB(color));
}

Pixel Combine(Pixel dest, Pixel source, TRasterOp op) {
    switch (op) {
        case TRasterOp::SrcCopy:
            return source;
        case TRasterOp::SrcInvert:
            return (dest ^ source) | 0xFF000000u;
        case TRasterOp::Blackness:
            return kBlackPixel;
    }
    return source;
}

// The ellipse in the box, sampled at pixel centres, so that it is symmetric about both axes of
// its box whatever the box's parity.
struct EllipseShape {
    double cx, cy, rx, ry;

    EllipseShape(int x1, int y1, int x2, int y2)
        : cx((x1 + x2) / 2.0), cy((y1 + y2) / 2.0), rx((x2 - x1) / 2.0), ry((y2 - y1) / 2.0) {}

    bool Inside(int x, int y) const {
        const double dx = (x + 0.5 - cx) / rx;
        const double dy = (y + 0.5 - cy) / ry;
        return dx * dx + dy * dy <= 1.0 + 1e-9;
    }
};

// Counter-clockwise on the screen, where y grows downwards.
double ScreenAngle(double dx, double dy) {
    return std::atan2(-dy, dx);
}

double Normalized(double angle) {
    constexpr double kFull = 2 * std::numbers::pi;
    angle = std::fmod(angle, kFull);
    return angle < 0 ? angle + kFull : angle;
}

void Order(int& a, int& b) {
    if (b < a) std::swap(a, b);
}

}  // namespace

Canvas::Canvas(Bitmap& target) : target_(&target) {}

TRect Canvas::ClipRect() const {
    const TRect whole = target_->BoundsRect();
    const TRect abs = clipped_ ? Intersect(clip_, whole) : whole;
    return abs.Offset(-origin_.X, -origin_.Y);
}

void Canvas::SetClipRect(const TRect& rect) {
    clip_ = rect.Offset(origin_.X, origin_.Y);
    clipped_ = true;
}

void Canvas::IntersectClipRect(const TRect& rect) {
    const TRect abs = rect.Offset(origin_.X, origin_.Y);
    clip_ = clipped_ ? Intersect(clip_, abs) : abs;
    clipped_ = true;
}

void Canvas::ResetClip() {
    clipped_ = false;
}

Canvas::State Canvas::Save() const {
    State s;
    s.pen_ = pen_;
    s.brush_ = brush_;
    s.font_ = font_;
    s.origin_ = origin_;
    s.penPos_ = penPos_;
    s.clipped_ = clipped_;
    s.clip_ = clip_;
    return s;
}

void Canvas::Restore(const State& s) {
    pen_ = s.pen_;
    brush_ = s.brush_;
    font_ = s.font_;
    origin_ = s.origin_;
    penPos_ = s.penPos_;
    clipped_ = s.clipped_;
    clip_ = s.clip_;
}

TRect Canvas::AbsClip() const {
    const TRect whole = target_->BoundsRect();
    TRect r = clipped_ ? Intersect(clip_, whole) : whole;
    if (r.IsEmpty()) r = {};
    return r;
}

void Canvas::FillAbs(const TRect& abs, Pixel pixel) {
    const TRect r = Intersect(abs, AbsClip());
    if (r.IsEmpty()) return;
    for (int y = r.Top; y < r.Bottom; ++y) {
        Pixel* row = target_->Row(y);
        std::fill(row + r.Left, row + r.Right, pixel);
    }
}

void Canvas::Plot(int x, int y, Pixel pixel) {
    if (AbsClip().Contains({x, y})) target_->Row(y)[x] = pixel;
}

void Canvas::MoveTo(int x, int y) {
    penPos_ = {x, y};
}

void Canvas::LineTo(int x, int y) {
    const Pixel pixel = Resolve(pen_.Color);
    int x0 = penPos_.X + origin_.X;
    int y0 = penPos_.Y + origin_.Y;
    const int x1 = x + origin_.X;
    const int y1 = y + origin_.Y;
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    // A line wholly outside the clip costs nothing, however long it is.
    const TRect span{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1,
                     std::max(y0, y1) + 1};
    if (Intersect(span, AbsClip()).IsEmpty()) {
        penPos_ = {x, y};
        return;
    }
    while (x0 != x1 || y0 != y1) {
        Plot(x0, y0, pixel);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    penPos_ = {x, y};
}

void Canvas::FillRect(const TRect& rect) {
    if (brush_.Style == TBrushStyle::bsClear) return;
    FillAbs(rect.Offset(origin_.X, origin_.Y), Resolve(brush_.Color));
}

void Canvas::FrameAbs(const TRect& r, Pixel pixel) {
    if (r.IsEmpty()) return;
    FillAbs({r.Left, r.Top, r.Right, r.Top + 1}, pixel);
    FillAbs({r.Left, r.Bottom - 1, r.Right, r.Bottom}, pixel);
    FillAbs({r.Left, r.Top, r.Left + 1, r.Bottom}, pixel);
    FillAbs({r.Right - 1, r.Top, r.Right, r.Bottom}, pixel);
}

void Canvas::FrameRect(const TRect& rect) {
    if (brush_.Style == TBrushStyle::bsClear) return;
    FrameAbs(rect.Offset(origin_.X, origin_.Y), Resolve(brush_.Color));
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
    Order(x1, x2);
    Order(y1, y2);
    const TRect r = TRect{x1, y1, x2, y2}.Offset(origin_.X, origin_.Y);
    if (r.IsEmpty()) return;
    if (brush_.Style == TBrushStyle::bsSolid) {
        FillAbs({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}, Resolve(brush_.Color));
    }
    FrameAbs(r, Resolve(pen_.Color));
}

template <typename InsideFn>
void Canvas::FillShape(const TRect& box, InsideFn inside) {
    const TRect r = Intersect(box, AbsClip());
    if (r.IsEmpty()) return;
    const Pixel penPixel = Resolve(pen_.Color);
    const bool fill = brush_.Style == TBrushStyle::bsSolid;
    const Pixel brushPixel = Resolve(brush_.Color);
    for (int y = r.Top; y < r.Bottom; ++y) {
        Pixel* row = target_->Row(y);
        for (int x = r.Left; x < r.Right; ++x) {
            if (!inside(x, y)) continue;
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge) {
                row[x] = penPixel;
            } else if (fill) {
                row[x] = brushPixel;
            }
        }
    }
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2) {
    Order(x1, x2);
    Order(y1, y2);
    const TRect box = TRect{x1, y1, x2, y2}.Offset(origin_.X, origin_.Y);
    if (box.IsEmpty()) return;
    const EllipseShape e(box.Left, box.Top, box.Right, box.Bottom);
    FillShape(box, [&](int x, int y) { return box.Contains({x, y}) && e.Inside(x, y); });
}

void Canvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Order(x1, x2);
    Order(y1, y2);
    const TRect box = TRect{x1, y1, x2, y2}.Offset(origin_.X, origin_.Y);
    if (box.IsEmpty()) return;
    const EllipseShape e(box.Left, box.Top, box.Right, box.Bottom);
    // The rays go through the centres of the pixels named by the two points.
    const double start = ScreenAngle(x3 + origin_.X + 0.5 - e.cx, y3 + origin_.Y + 0.5 - e.cy);
    const double end = ScreenAngle(x4 + origin_.X + 0.5 - e.cx, y4 + origin_.Y + 0.5 - e.cy);
    const double span = Normalized(end - start);
    const bool whole = span < 1e-12;
    FillShape(box, [&](int x, int y) {
        if (!box.Contains({x, y}) || !e.Inside(x, y)) return false;
        if (whole) return true;
        const double dx = x + 0.5 - e.cx;
        const double dy = y + 0.5 - e.cy;
        if (dx * dx + dy * dy < 0.25) return true;  // the centre belongs to every wedge
        const double a = Normalized(ScreenAngle(dx, dy) - start);
        return a <= span + 1e-9;
    });
}

void Canvas::BitBlt(int x, int y, int width, int height, const Bitmap& source, int sourceX,
                    int sourceY, TRasterOp op) {
    if (width <= 0 || height <= 0) return;
    const TRect dest = Bounds(x + origin_.X, y + origin_.Y, width, height);
    if (op == TRasterOp::Blackness) {
        FillAbs(dest, kBlackPixel);
        return;
    }
    // Copying a bitmap onto itself must read the pixels as they were before the copy.
    std::optional<Bitmap> snapshot;
    if (&source == target_) snapshot.emplace(source);
    const Bitmap& src = snapshot ? *snapshot : source;
    const int dx = sourceX - dest.Left;
    const int dy = sourceY - dest.Top;
    TRect r = Intersect(dest, AbsClip());
    r = Intersect(r, src.BoundsRect().Offset(-dx, -dy));
    if (r.IsEmpty()) return;
    // The operation is chosen once per copy, not per pixel: every paint of the form and the
    // gauge goes through here, and a plain copy is then a row-wise memory copy.
    for (int ty = r.Top; ty < r.Bottom; ++ty) {
        Pixel* out = target_->Row(ty) + r.Left;
        const Pixel* in = src.Row(ty + dy) + r.Left + dx;
        const int n = r.Right - r.Left;
        if (op == TRasterOp::SrcCopy) {
            std::copy_n(in, n, out);
        } else {
            for (int i = 0; i < n; ++i) out[i] = Combine(out[i], in[i], op);
        }
    }
}

void Canvas::Draw(int x, int y, const Bitmap& source) {
    BitBlt(x, y, source.Width(), source.Height(), source, 0, 0, TRasterOp::SrcCopy);
}

void Canvas::StretchBlt(const TRect& dest, const Bitmap& source, const TRect& sourceRect,
                        TRasterOp op) {
    if (dest.IsEmpty() || sourceRect.IsEmpty()) return;
    const TRect absDest = dest.Offset(origin_.X, origin_.Y);
    if (op == TRasterOp::Blackness) {
        FillAbs(absDest, kBlackPixel);
        return;
    }
    std::optional<Bitmap> snapshot;
    if (&source == target_) snapshot.emplace(source);
    const Bitmap& src = snapshot ? *snapshot : source;
    const TRect r = Intersect(absDest, AbsClip());
    if (r.IsEmpty()) return;
    const std::int64_t dw = absDest.Width(), dh = absDest.Height();
    const std::int64_t sw = sourceRect.Width(), sh = sourceRect.Height();
    for (int ty = r.Top; ty < r.Bottom; ++ty) {
        const std::int64_t i = ty - absDest.Top;
        const int sy = sourceRect.Top + static_cast<int>((2 * i + 1) * sh / (2 * dh));
        if (sy < 0 || sy >= src.Height()) continue;
        Pixel* out = target_->Row(ty);
        const Pixel* in = src.Row(sy);
        for (int tx = r.Left; tx < r.Right; ++tx) {
            const std::int64_t j = tx - absDest.Left;
            const int sx = sourceRect.Left + static_cast<int>((2 * j + 1) * sw / (2 * dw));
            if (sx < 0 || sx >= src.Width()) continue;
            out[tx] = Combine(out[tx], in[sx], op);
        }
    }
}

void Canvas::StretchDraw(const TRect& dest, const Bitmap& source) {
    StretchBlt(dest, source, source.BoundsRect(), TRasterOp::SrcCopy);
}

void Canvas::KeyedCopy(int x, int y, const Bitmap& source, const TRect& sourceRect, TColor key,
                       std::optional<Pixel> replacement) {
    std::optional<Bitmap> snapshot;
    if (&source == target_) snapshot.emplace(source);
    const Bitmap& src = snapshot ? *snapshot : source;
    const TRect part = Intersect(sourceRect, src.BoundsRect());
    if (part.IsEmpty()) return;
    const int dx = sourceRect.Left - (x + origin_.X);
    const int dy = sourceRect.Top - (y + origin_.Y);
    const TRect r = Intersect(part.Offset(-dx, -dy), AbsClip());
    if (r.IsEmpty()) return;
    const TColor keyRGB = ColorToRGB(key);
    for (int ty = r.Top; ty < r.Bottom; ++ty) {
        Pixel* out = target_->Row(ty);
        const Pixel* in = src.Row(ty + dy);
        for (int tx = r.Left; tx < r.Right; ++tx) {
            const Pixel p = in[tx + dx];
            if (RGBFromPixel(p) != keyRGB) {
                out[tx] = p | 0xFF000000u;
            } else if (replacement) {
                out[tx] = *replacement;
            }
        }
    }
}

void Canvas::TransparentDraw(int x, int y, const Bitmap& source, const TRect& sourceRect,
                             TColor key) {
    KeyedCopy(x, y, source, sourceRect, key, std::nullopt);
}

void Canvas::BrushCopy(int x, int y, const Bitmap& source, const TRect& sourceRect, TColor key) {
    std::optional<Pixel> replacement;
    if (brush_.Style == TBrushStyle::bsSolid) replacement = Resolve(brush_.Color);
    KeyedCopy(x, y, source, sourceRect, key, replacement);
}

void Canvas::DrawFocusRect(const TRect& rect) {
    const TRect r = rect.Offset(origin_.X, origin_.Y);
    if (r.IsEmpty()) return;
    const TRect clip = AbsClip();
    // Every other pixel by target position, so that the dots line up across controls and
    // a second call hits exactly the same pixels.
    auto invert = [&](int x, int y) {
        if (((x + y) & 1) == 0 && clip.Contains({x, y})) target_->Row(y)[x] ^= 0x00FFFFFFu;
    };
    for (int x = r.Left; x < r.Right; ++x) {
        invert(x, r.Top);
        if (r.Bottom - 1 > r.Top) invert(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        invert(r.Left, y);
        if (r.Right - 1 > r.Left) invert(r.Right - 1, y);
    }
}

int Canvas::TextWidth(std::string_view text) const {
    return CurrentFontEngine().TextWidth(font_, text);
}

int Canvas::TextHeight(std::string_view) const {
    return CurrentFontEngine().Metrics(font_).Height;
}

TSize Canvas::TextExtent(std::string_view text) const {
    return {TextWidth(text), TextHeight(text)};
}

void Canvas::PaintText(int absX, int absY, const TRect& absClip, std::string_view text) {
    FontEngine& engine = CurrentFontEngine();
    const TRect clip = Intersect(absClip, AbsClip());
    if (clip.IsEmpty()) return;
    if (brush_.Style == TBrushStyle::bsSolid) {
        const TSize extent{engine.TextWidth(font_, text), engine.Metrics(font_).Height};
        const TRect cell = Intersect(Bounds(absX, absY, extent.Width, extent.Height), clip);
        if (!cell.IsEmpty()) {
            const Pixel p = Resolve(brush_.Color);
            for (int y = cell.Top; y < cell.Bottom; ++y) {
                Pixel* row = target_->Row(y);
                std::fill(row + cell.Left, row + cell.Right, p);
            }
        }
    }
    engine.DrawGlyphs(*target_, clip, absX, absY, font_, text, ColorToRGB(font_.Color));
}

void Canvas::DrawTextAt(int x, int y, std::string_view text) {
    PaintText(x + origin_.X, y + origin_.Y, AbsClip(), text);
}

void Canvas::TextRect(const TRect& rect, int x, int y, std::string_view text) {
    PaintText(x + origin_.X, y + origin_.Y, rect.Offset(origin_.X, origin_.Y), text);
}

int Canvas::DrawTextLine(const TRect& rect, std::string_view text, TextPrefix prefix) {
    // A caption without "&" is drawn as it stands, without a copy: labels draw every second.
    PrefixedText parsed;
    std::string_view shown = text;
    if (prefix == TextPrefix::Accelerator && text.find('&') != std::string_view::npos) {
        parsed = ParsePrefix(text);
        shown = parsed.Text;
    }
    FontEngine& engine = CurrentFontEngine();
    const TFontMetrics metrics = engine.Metrics(font_);
    const int width = engine.TextWidth(font_, shown);
    const TRect abs = rect.Offset(origin_.X, origin_.Y);
    const int x = abs.Left;
    const int y = abs.Top + (abs.Height() - metrics.Height) / 2;
    PaintText(x, y, abs, shown);
    if (parsed.UnderlineLength > 0) {
        const std::string_view all(parsed.Text);
        const int ux = x + engine.TextWidth(font_, all.substr(0, parsed.UnderlineStart));
        const int uw =
            engine.TextWidth(font_, all.substr(parsed.UnderlineStart, parsed.UnderlineLength));
        // Thicker for the large faces, so the mark scales with the letters.
        const int thickness = std::max(1, metrics.Height / 13);
        const int uy = y + metrics.Ascent + thickness;
        FillAbs(Intersect({ux, uy, ux + uw, uy + thickness}, abs),
                PixelFromRGB(ColorToRGB(font_.Color)));
    }
    return width;
}

}  // namespace tt
