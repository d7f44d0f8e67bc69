#include "controls/BMPButton.h"

#include <cmath>

#include "toolkit/application.h"
#include "toolkit/form.h"

namespace tt {

TBMPButton::TBMPButton(TComponent* owner) : TCustomControl(owner) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    // A bar read from a window description always has its orientation set, which sizes it;
    // one made in code starts the same way.
    SizeStrip();
}

void TBMPButton::SetButtons(ImageList* list) {
    if (list) buttons_ = list;
}

void TBMPButton::SetOrientation(TLayOut value) {
    orientation_ = value;
    SizeStrip();
}

int TBMPButton::ButtonCount() const {
    return buttons_ ? buttons_->Count() / 3 : 0;
}

void TBMPButton::SizeStrip() {
    int width = 100;
    int height = 20;
    // An assigned list sizes the bar even while it holds no whole button: such a bar is 0
    // wide until its orientation is set again or a paint that reaches it finds the cells.
    if (buttons_) {
        const int n = ButtonCount();
        const bool hor = orientation_ == TLayOut::loHor;
        width = hor ? n * buttons_->Width() : buttons_->Width();
        height = hor ? buttons_->Height() : n * buttons_->Height();
    }
    strip_.SetSize(width, height);
    SetBounds(Left(), Top(), width, height);
}

void TBMPButton::DrawCell(int index, int x, int y) {
    Canvas& canvas = strip_.GetCanvas();
    if (altDrawing_) {
        buttons_->GetBitmap(index, scratch_);
        canvas.Draw(x, y, scratch_);
    } else {
        buttons_->Draw(canvas, x, y, index);
    }
}

void TBMPButton::RenderStrip() {
    if (!buttons_) {
        Canvas& canvas = strip_.GetCanvas();
        canvas.FillRect(strip_.BoundsRect());
        return;
    }
    // The list may have gained or lost cells since the last paint: the bar follows it.
    SizeStrip();
    for (int i = 0; i < ButtonCount(); ++i) {
        int cell = 3 * i;
        if (i == commandIndex_) {
            if (hoverState_ == 1) cell += 1;
            if (hoverState_ == 2) cell += 2;
        }
        if (orientation_ == TLayOut::loHor) {
            DrawCell(cell, i * buttons_->Width(), 0);
        } else {
            DrawCell(cell, 0, i * buttons_->Height());
        }
    }
    SetBounds(Left(), Top(), strip_.Width(), strip_.Height());
}

void TBMPButton::Paint() {
    RenderStrip();
    GetCanvas().Draw(0, 0, strip_);
}

void TBMPButton::RepaintNow() {
    if (Showing()) {
        Repaint();  // paints through Paint, which renders
    } else {
        RenderStrip();
    }
}

void TBMPButton::IndexFrom(int x, int y) {
    if (!buttons_) return;
    const int cell = orientation_ == TLayOut::loHor ? buttons_->Width() : buttons_->Height();
    if (cell <= 0) return;
    const int pos = orientation_ == TLayOut::loHor ? x : y;
    // In floating point and truncated toward zero, so -1 gives 0 like 1 does; no upper
    // limit, so a captured pointer beyond the last button lights none.
    const double index = std::trunc(static_cast<double>(pos) / cell);
    commandIndex_ = index < 0 ? 0 : static_cast<int>(index);
}

void TBMPButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    hoverState_ = 2;
    IndexFrom(x, y);
    RepaintNow();
    TCustomControl::MouseDown(button, shift, x, y);
}

void TBMPButton::MouseMove(TShiftState shift, int x, int y) {
    hoverState_ = (shift & ssLeft) ? 2 : 1;
    IndexFrom(x, y);
    if (commandIndex_ >= 0 && commandIndex_ < static_cast<int>(hints_.size()) && ShowHint()) {
        const std::string& line = hints_[static_cast<size_t>(commandIndex_)];
        if (Hint() != line) {
            // The old text goes at once; the new one comes after the usual pause.
            if (Application* app = Application::CurrentOrNull()) app->CancelHint();
            SetHint(line);
        }
    }
    RepaintNow();
    TCustomControl::MouseMove(shift, x, y);
}

void TBMPButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    // A click handler may have hidden the window: nothing is under the pointer then, and a
    // lit button would greet the user when the window comes back.
    hoverState_ = Showing() && ClientRect().Contains({x, y}) ? 1 : 0;
    IndexFrom(x, y);
    RepaintNow();
    TCustomControl::MouseUp(button, shift, x, y);
}

void TBMPButton::MouseLeave() {
    hoverState_ = 0;
    RepaintNow();
}

std::string TBMPButton::HintsText() const {
    std::string text;
    for (size_t i = 0; i < hints_.size(); ++i) {
        if (i) text += '\n';
        text += hints_[i];
    }
    return text;
}

const PropertyTable& TBMPButton::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TCustomControl::ClassProperties());
        t.Add("CommandIndex", &TBMPButton::CommandIndex, &TBMPButton::SetCommandIndex);
        t.Add("HoverState", &TBMPButton::HoverState);
        t.Add("AltDrawing", &TBMPButton::AltDrawing, &TBMPButton::SetAltDrawing);
        t.AddText<TBMPButton>("Orientation", [](const TBMPButton& b) {
            return std::string(b.Orientation() == TLayOut::loHor ? "loHor" : "loVer");
        });
        t.AddText<TBMPButton>("Hints", [](const TBMPButton& b) { return b.HintsText(); });
        return t;
    }();
    return table;
}

}  // namespace tt
