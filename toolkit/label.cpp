#include "toolkit/label.h"

#include "toolkit/control_text.h"

namespace tt {

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    SetParentColor(true);
    SetBounds(0, 0, 65, 13);
    AdjustSize();
}

void TLabel::SetText(const std::string& value) {
    const std::string& before = Caption();
    if (value == before) return;
    if (autoSize_ && Visible() && !TextMeasuringWaits()) {
        // A caption that keeps its size and its first glyphs, as a clock's does from one
        // second to the next, repaints from the first glyph that changed on: the glyphs before
        // it stand where they stood. With an accelerator the drawn text differs from the
        // caption, so that case takes the whole.
        const bool accel = showAccelChar_ && (value.find('&') != std::string::npos ||
                                              before.find('&') != std::string::npos);
        size_t same = 0;
        while (same < value.size() && same < before.size() && value[same] == before[same]) ++same;
        // Back to the start of a code point.
        while (same > 0 && (static_cast<unsigned char>(value[same]) & 0xC0) == 0x80) --same;
        if (!accel && same > 0) {
            const TSize size = MeasureText(Font(), value);
            if (size.Width == Width() && size.Height == Height()) {
                // Where the changed glyphs start, from the few of them rather than the many
                // before; a pixel more on the left for a glyph that reaches over its neighbour.
                const int from =
                    size.Width - MeasureText(Font(), std::string_view(value).substr(same)).Width;
                SetTextQuietly(value);
                InvalidatePart({from - 1, 0, Width(), Height()});
                return;
            }
        }
    }
    TGraphicControl::SetText(value);
    AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
    // Turned off, it keeps the size of the text it has: that is measured now.
    if (!value && sizeWaits_) {
        const TSize size = MeasureText(Font(), Caption(), showAccelChar_);
        TGraphicControl::SetBounds(Left(), Top(), size.Width, size.Height);
        sizeWaits_ = false;
    }
    autoSize_ = value;
    AdjustSize();
}

void TLabel::SetTransparent(bool value) {
    transparent_ = value;
    SetControlStyle(value ? ControlStyle() & ~csOpaque : ControlStyle() | csOpaque);
    Invalidate();
}

void TLabel::SetShowAccelChar(bool value) {
    showAccelChar_ = value;
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustSize();
}

void TLabel::SetBounds(int left, int top, int width, int height) {
    sizeWaits_ = autoSize_ && TextMeasuringWaits();
    if (autoSize_ && !sizeWaits_) {
        const TSize size = MeasureText(Font(), Caption(), showAccelChar_);
        width = size.Width;
        height = size.Height;
    }
    TGraphicControl::SetBounds(left, top, width, height);
}

void TLabel::MeasureWaitingText() {
    if (sizeWaits_) AdjustSize();
}

void TLabel::AdjustSize() {
    SetBounds(Left(), Top(), Width(), Height());
}

void TLabel::Paint() {
    Canvas& canvas = GetCanvas();
    if (!transparent_) canvas.FillRect(ClientRect());
    canvas.Brush().Style = TBrushStyle::bsClear;
    if (!Enabled()) canvas.Font().Color = clGrayText;
    const int lineHeight = MeasureText(Font(), "").Height;
    const std::string& caption = Caption();
    if (!showAccelChar_ || caption.find('&') == std::string::npos) {
        // Nothing to underline: the line is drawn as it stands, where DrawTextLine would put
        // it, without measuring it first (a clock label paints every second).
        canvas.TextRect({0, 0, Width(), lineHeight}, 0, 0, caption);
        return;
    }
    canvas.DrawTextLine({0, 0, Width(), lineHeight}, caption, TextPrefix::Accelerator);
}

const PropertyTable& TLabel::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TGraphicControl::ClassProperties());
        t.Add("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize);
        t.Add("Transparent", &TLabel::Transparent, &TLabel::SetTransparent);
        t.Add("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar);
        return t;
    }();
    return table;
}

}  // namespace tt
