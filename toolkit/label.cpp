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
    TGraphicControl::SetText(value);
    AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
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
    if (autoSize_) {
        const TSize size = MeasureText(Font(), Caption(), showAccelChar_);
        width = size.Width;
        height = size.Height;
    }
    TGraphicControl::SetBounds(left, top, width, height);
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
    canvas.DrawTextLine({0, 0, Width(), lineHeight}, Caption(),
                        showAccelChar_ ? TextPrefix::Accelerator : TextPrefix::None);
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
