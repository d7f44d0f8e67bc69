#pragma once
#include "toolkit/gfx/canvas.h"
#include "toolkit/gfx/geometry.h"

// Pieces that the list controls share: the scroll bar's geometry, the wheel's rows and the
// small drawings of their buttons. For the toolkit's own controls only.
namespace tt::parts {

// The parts of a vertical scroll bar over `count` rows of which `rows` show from `top`.
struct ScrollBarParts {
    TRect up;
    TRect down;
    TRect thumb;  // empty when the track is too short for one
};

ScrollBarParts ScrollBarLayout(TRect bar, int arrow, int rows, int count, int top);

// The first row shown after a press at height y on the bar: a row up or down on the arrows, a
// page on the track, no change on the thumb.
int ScrollBarPress(const ScrollBarParts& p, int y, int rows, int top);

// Rows a turn of the wheel moves, three a notch as the platforms do by default; what a fine
// wheel turns by less than a row is kept in `rest` for its next turn. Positive: further down.
int WheelRows(int& rest, int delta);

// Arrows of seven pixels' width centred at (cx, cy), in the pen's colour.
void DownArrow(Canvas& canvas, int cx, int cy);
void UpArrow(Canvas& canvas, int cx, int cy);
// A flat button face with its frame; leaves the pen in the button text's colour.
void Button(Canvas& canvas, const TRect& r);

}  // namespace tt::parts
