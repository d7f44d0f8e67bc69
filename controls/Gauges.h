#pragma once
#include <cstdint>
#include <optional>

#include "base/error.h"
#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/canvas.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The error a property setter raises when the value cannot be taken as it stands.
class EInvalidOperation : public Error {
  public:
    using Error::Error;
};

enum class TGaugeKind : std::uint8_t { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

// A bitmap that can take another's size; the gauge composes its layers in these.
class TBltBitmap : public Bitmap {
  public:
    using Bitmap::Bitmap;
    void MakeLike(const Bitmap& tmpl) { SetSize(tmpl.Width(), tmpl.Height()); }
};

// Pixels for a percentage of a length, truncated toward zero; PartOf(100, n) is n exactly.
int PartOf(int percent, int length);

// Where Progress stands between MinValue and MaxValue, as a whole percentage. Every repaint
// composes the whole picture off screen and copies it in one step, so the bar never flickers
// even though the meter sets it every second.
class TGauge : public TGraphicControl {
  public:
    explicit TGauge(TComponent* owner);

    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Progress() const { return progress_; }
    void SetProgress(int value);
    int Percent() const;

    TGaugeKind Kind() const { return kind_; }
    void SetKind(TGaugeKind value);
    bool ShowText() const { return showText_; }
    void SetShowText(bool value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TColor ForeColor() const { return foreColor_; }
    void SetForeColor(TColor value);
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor value);

    // While a form sets up its stored properties the bounds may come in either order, so the
    // range guards wait until the form says it is done.
    bool Loading() const { return loading_; }
    void SetLoading(bool value) { loading_ = value; }

    void Paint() override;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    void PaintLook(Canvas& canvas, const TRect& r) const;
    void PaintText(const TRect& r, const TRect& part);
    void PaintBar(const TRect& part);
    void ClampProgress();
    // Inside the frame, if there is one.
    TRect LookRect() const;
    // The first column right of a horizontal bar at `percent`.
    int BarEnd(int percent) const;
    // The layer's canvas as a new bitmap's would be, so every paint starts from the same
    // pen, brush and font whatever the last one left behind; drawn only within `part`.
    Canvas& FreshLayer(const TRect& part);

    // The layers live as long as the gauge: the meter repaints it every few seconds, and
    // allocating two bitmaps for each paint cost more than the drawing itself.
    TBltBitmap image_;
    TBltBitmap overlay_;
    std::optional<Canvas::State> freshState_;

    int minValue_ = 0;
    int maxValue_ = 100;
    int progress_ = 0;
    TGaugeKind kind_ = TGaugeKind::gkHorizontalBar;
    bool showText_ = true;
    TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
    TColor foreColor_ = clBlack;
    TColor backColor_ = clWhite;
    bool loading_ = false;
};

}  // namespace tt
