#include "toolkit/paint_box.h"

namespace tt {

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    if (OnPaint) OnPaint(this);
}

}  // namespace tt
