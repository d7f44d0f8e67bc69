#include "toolkit/control_parts.h"

#include <algorithm>

namespace tt::parts {

ScrollBarParts ScrollBarLayout(TRect bar, int arrow, int rows, int count, int top) {
    ScrollBarParts p;
    p.up = {bar.Left, bar.Top, bar.Right, bar.Top + arrow};
    p.down = {bar.Left, bar.Bottom - arrow, bar.Right, bar.Bottom};
    const int track = p.down.Top - p.up.Bottom;
    const int thumb = std::max(track * rows / std::max(count, 1), 8);
    const int range = std::max(count - rows, 1);
    const int y = p.up.Bottom + (track - thumb) * top / range;
    if (track > thumb) p.thumb = {bar.Left, y, bar.Right, y + thumb};
    return p;
}

int ScrollBarPress(const ScrollBarParts& p, int y, int rows, int top) {
    if (y < p.up.Bottom) return top - 1;
    if (y >= p.down.Top) return top + 1;
    if (p.thumb.Bottom > p.thumb.Top) {
        if (y < p.thumb.Top) return top - rows;
        if (y >= p.thumb.Bottom) return top + rows;
    }
    return top;
}

int WheelRows(int& rest, int delta) {
    constexpr int kDeltaPerRow = 120 / 3;
    rest += delta;
    const int rows = rest / kDeltaPerRow;
    rest -= rows * kDeltaPerRow;
    return -rows;
}

void DownArrow(Canvas& canvas, int cx, int cy) {
    for (int i = 0; i < 4; ++i) {
        canvas.MoveTo(cx - 3 + i, cy - 1 + i);
        canvas.LineTo(cx + 4 - i, cy - 1 + i);
    }
}

void UpArrow(Canvas& canvas, int cx, int cy) {
    for (int i = 0; i < 4; ++i) {
        canvas.MoveTo(cx - 3 + i, cy + 2 - i);
        canvas.LineTo(cx + 4 - i, cy + 2 - i);
    }
}

void Button(Canvas& canvas, const TRect& r) {
    canvas.Brush() = TBrush{clBtnFace, TBrushStyle::bsSolid};
    canvas.FillRect(r);
    canvas.Brush().Color = clBtnShadow;
    canvas.FrameRect(r);
    canvas.Pen().Color = clBtnText;
}

}  // namespace tt::parts
