#include "controls/Gauges.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <string_view>

namespace tt {

namespace {

// The platform rounds to the nearest integer with ties to even, which is the default
// floating-point rounding mode; nearbyint keeps to it where std::round would not.
int RoundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

std::string RangeMessage(long long low, long long high) {
    char text[64];
    std::snprintf(text, sizeof text, "Value must be between %lld and %lld", low, high);
    return text;
}

}  // namespace

int PartOf(int percent, int length) {
    // Whole numbers give the exact truncated product on every compiler, whatever width its
    // long double has.
    return static_cast<int>(static_cast<long long>(length) * percent / 100);
}

TGauge::TGauge(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetParentColor(true);
    SetBounds(0, 0, 100, 100);
}

int TGauge::Percent() const {
    if (maxValue_ == minValue_) return 0;
    const double span = static_cast<double>(maxValue_) - minValue_;
    return static_cast<int>((static_cast<double>(progress_) - minValue_) * 100.0 / span);
}

void TGauge::ClampProgress() {
    if (progress_ < minValue_) {
        progress_ = minValue_;
    } else if (progress_ > maxValue_) {
        progress_ = maxValue_;
    }
}

void TGauge::SetMinValue(int value) {
    if (value == minValue_) return;
    if (!loading_ && value > maxValue_) {
        throw EInvalidOperation(RangeMessage(-2147483647LL, maxValue_ - 1LL));
    }
    minValue_ = value;
    ClampProgress();
    Repaint();
}

void TGauge::SetMaxValue(int value) {
    if (value == maxValue_) return;
    if (!loading_ && value < minValue_) {
        throw EInvalidOperation(RangeMessage(minValue_ + 1LL, 2147483647LL));
    }
    maxValue_ = value;
    ClampProgress();
    Repaint();
}

void TGauge::SetProgress(int value) {
    const int before = Percent();
    if (value < minValue_) {
        value = minValue_;
    } else if (value > maxValue_) {
        value = maxValue_;
    }
    if (value == progress_) return;
    progress_ = value;
    const int now = Percent();
    if (now == before) return;
    if (kind_ == TGaugeKind::gkHorizontalBar && !showText_) {
        // One step of the bar changes only the columns between its old end and its new one.
        const int a = BarEnd(before);
        const int b = BarEnd(now);
        RepaintPart({std::min(a, b), 0, std::max(a, b), Height()});
        return;
    }
    Repaint();
}

void TGauge::PaintBar(const TRect& part) {
    // The frame, the background and the bar are three rectangles: drawn straight, they give
    // the pixels the layers would (a colour XORed onto black is itself), at a fraction of the
    // cost for the one column the meter moves each second.
    Canvas& c = GetCanvas();
    const TRect r = LookRect();
    c.Brush().Style = TBrushStyle::bsSolid;
    if (part.Left < r.Left || part.Top < r.Top || part.Right > r.Right || part.Bottom > r.Bottom) {
        c.Brush().Color = clBlack;
        c.FillRect(part);
    }
    c.Brush().Color = backColor_;
    c.FillRect(Intersect(r, part));
    const int x = BarEnd(Percent());
    if (x > r.Left) {
        c.Brush().Color = foreColor_;
        c.FillRect(Intersect({r.Left, r.Top, x, r.Bottom}, part));
    }
}

TRect TGauge::LookRect() const {
    const int w = Width();
    const int h = Height();
    return borderStyle_ == TBorderStyle::bsSingle ? TRect{1, 1, w - 1, h - 1} : TRect{0, 0, w, h};
}

int TGauge::BarEnd(int percent) const {
    const TRect r = LookRect();
    const int W = r.Right - r.Left + 1;
    return std::max(r.Left, std::min(PartOf(percent, W), W));
}

void TGauge::SetKind(TGaugeKind value) {
    if (value == kind_) return;
    kind_ = value;
    Repaint();
}

void TGauge::SetShowText(bool value) {
    if (value == showText_) return;
    showText_ = value;
    Repaint();
}

void TGauge::SetBorderStyle(TBorderStyle value) {
    if (value == borderStyle_) return;
    borderStyle_ = value;
    Repaint();
}

void TGauge::SetForeColor(TColor value) {
    if (value == foreColor_) return;
    foreColor_ = value;
    Repaint();
}

void TGauge::SetBackColor(TColor value) {
    if (value == backColor_) return;
    backColor_ = value;
    Repaint();
}

Canvas& TGauge::FreshLayer(const TRect& part) {
    Canvas& c = overlay_.GetCanvas();
    if (!freshState_) freshState_ = c.Save();
    c.Restore(*freshState_);
    c.SetClipRect(part);
    c.BitBlt(0, 0, overlay_.Width(), overlay_.Height(), overlay_, 0, 0, TRasterOp::Blackness);
    return c;
}

void TGauge::Paint() {
    const int w = Width();
    const int h = Height();
    if (w <= 0 || h <= 0) return;
    // Only the part being painted is composed: every pixel of the layers depends on its own
    // place alone, so a part composed on its own equals that part of the whole.
    const TRect part = Intersect(GetCanvas().ClipRect(), TRect{0, 0, w, h});
    if (part.IsEmpty()) return;
    if (kind_ == TGaugeKind::gkHorizontalBar && !showText_) {
        PaintBar(part);
        return;
    }

    image_.SetSize(w, h);
    overlay_.MakeLike(image_);
    Canvas& ic = image_.GetCanvas();
    ic.SetClipRect(part);
    ic.BitBlt(0, 0, w, h, image_, 0, 0, TRasterOp::Blackness);
    const TRect r = LookRect();

    // The look is drawn on black and XORed onto black: what lies outside r stays black and
    // is the frame, without a separate frame pass.
    PaintLook(FreshLayer(part), r);
    ic.BitBlt(0, 0, w, h, overlay_, 0, 0, TRasterOp::SrcInvert);

    if (showText_) PaintText(r, part);

    GetCanvas().BitBlt(part.Left, part.Top, part.Width(), part.Height(), image_, part.Left,
                       part.Top, TRasterOp::SrcCopy);
}

void TGauge::PaintLook(Canvas& c, const TRect& r) const {
    const bool single = borderStyle_ == TBorderStyle::bsSingle;
    const int L = r.Left;
    const int T = r.Top;
    const int Rt = r.Right;
    const int B = r.Bottom;
    const double pi = std::numbers::pi;

    switch (kind_) {
        case TGaugeKind::gkText:
            c.Brush().Color = backColor_;
            c.FillRect(r);
            break;

        case TGaugeKind::gkHorizontalBar:
        case TGaugeKind::gkVerticalBar: {
            const int W = Rt - L + 1;
            const int H = B - T + 1;
            c.Brush().Color = backColor_;
            c.FillRect(r);
            c.Pen().Color = foreColor_;
            c.Brush().Color = foreColor_;
            if (kind_ == TGaugeKind::gkHorizontalBar) {
                const int x = std::min(PartOf(Percent(), W), W);
                if (x < 1) break;
                c.FillRect({L, T, x, H});
            } else {
                int y = PartOf(Percent(), H);
                if (y >= H) y = H - 1;
                c.FillRect({L, H - y, W, H});
            }
            break;
        }

        case TGaugeKind::gkPie: {
            const int W = Rt - L + (single ? 1 : 0);
            const int H = B - T + (single ? 1 : 0);
            c.Brush().Color = Color();
            c.FillRect(r);
            c.Brush().Color = backColor_;
            c.Pen().Color = foreColor_;
            c.Ellipse(L, T, W, H);
            if (Percent() > 0) {
                c.Brush().Color = foreColor_;
                const int mx = W / 2;
                const int my = H / 2;
                const double a = (Percent() * 0.02 + 0.5) * pi;
                c.Pie(L, T, W, H, RoundEven(mx * (1 - std::cos(a))),
                      RoundEven(my * (1 - std::sin(a))), mx, 0);
            }
            break;
        }

        case TGaugeKind::gkNeedle: {
            const int X = L;
            const int Y = T;
            const int W = Rt - L + (single ? 1 : 0);
            const int H = B - T + (single ? 1 : 0);
            c.Brush().Color = Color();
            c.FillRect(r);
            c.Brush().Color = backColor_;
            c.Pen().Color = foreColor_;
            c.Pie(X, Y, W, 2 * H - 1, X + W, B - 1, X, B - 1);
            c.MoveTo(X, B);
            c.LineTo(X + W, B);
            if (Percent() > 0) {
                const int mx = Width() / 2;
                const double a = Percent() * 0.01 * pi;
                c.MoveTo(mx, B - 1);
                c.LineTo(RoundEven(mx * (1 - std::cos(a))), RoundEven((B - 1) * (1 - std::sin(a))));
            }
            break;
        }
    }
}

void TGauge::PaintText(const TRect& r, const TRect& part) {
    // At most "-2147483648%" and its terminator; no string is built on the paint path.
    char buffer[16];
    char* end = std::to_chars(buffer, buffer + sizeof buffer - 1, Percent()).ptr;
    *end++ = '%';
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    Canvas& c = FreshLayer(part);
    c.Brush().Style = TBrushStyle::bsClear;
    c.Font() = Font();
    c.Font().Color = clWhite;
    const TSize size = c.TextExtent(text);
    const int x = (r.Right - r.Left + 1 - size.Width) / 2;
    const int y = (r.Bottom - r.Top + 1 - size.Height) / 2;
    c.TextRect(r, x, y, text);
    // White on black XORed in: each text pixel becomes the inverse of what lies beneath,
    // so the figure reads over the filled and the empty part alike.
    image_.GetCanvas().BitBlt(0, 0, image_.Width(), image_.Height(), overlay_, 0, 0,
                              TRasterOp::SrcInvert);
}

const PropertyTable& TGauge::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TControl::ClassProperties());
        t.AddText<TGauge>("Kind",
                          [](const TGauge& g) { return PropertyText(static_cast<int>(g.Kind())); });
        t.Add("ShowText", &TGauge::ShowText, &TGauge::SetShowText);
        t.AddText<TGauge>("BorderStyle", [](const TGauge& g) {
            return PropertyText(static_cast<int>(g.BorderStyle()));
        });
        t.Add("ForeColor", &TGauge::ForeColor, &TGauge::SetForeColor);
        t.Add("BackColor", &TGauge::BackColor, &TGauge::SetBackColor);
        t.Add("MinValue", &TGauge::MinValue, &TGauge::SetMinValue);
        t.Add("MaxValue", &TGauge::MaxValue, &TGauge::SetMaxValue);
        t.Add("Progress", &TGauge::Progress, &TGauge::SetProgress);
        t.AddText<TGauge>("Percent", [](const TGauge& g) { return PropertyText(g.Percent()); });
        return t;
    }();
    return table;
}

}  // namespace tt
