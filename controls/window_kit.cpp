#include "controls/window_kit.h"

#include "controls/skin/skin.h"
#include "toolkit/application.h"
#include "toolkit/gfx/canvas.h"

namespace tt {

void TSkinSet::Fill() {
    imgKlawisze.Add(LoadSkinPicture(SkinPicture::Image2));
    imgKlawiszeOkna.Add(LoadSkinPicture(SkinPicture::Image4));
    imgShade.Add(LoadSkinPicture(SkinPicture::Image3));
    imgCyfry.Add(LoadSkinPicture(SkinPicture::Image6));
    ImageList1.Add(LoadSkinPicture(SkinPicture::Image5));
    const Bitmap picture = LoadSkinPicture(SkinPicture::Image1);
    SkinBackground.SetSize(275, 80);
    SkinBackground.GetCanvas().StretchDraw(TRect{0, 0, 275, 80}, picture);
}

bool AltDrawingMarkerPresent(const std::filesystem::path& programFolder) {
    std::error_code ec;
    return std::filesystem::exists(programFolder / kAltDrawingMarker, ec);
}

TRect TWindowKit::SnapAreaAt(const TRect& bounds) const {
    const Application& app = Application::Current();
    return SnapToWorkArea ? app.WorkAreaOf(bounds) : app.MonitorRectOf(bounds);
}

TRect TWindowKit::SnapAreaOf(const TForm& window) const {
    return SnapAreaAt(window.BoundsRect());
}

TRect TWindowKit::PrimarySnapArea() const {
    const Application& app = Application::Current();
    return SnapToWorkArea ? app.WorkArea() : app.MonitorRectOf(app.WorkArea());
}

void ClampToItsMonitor(TForm& window, const TWindowKit& kit) {
    ClampToSnapArea(window, kit.SnapAreaOf(window));
}

void ClampToSnapArea(TForm& window, const TRect& snapArea) {
    if (window.Left() < snapArea.Left) window.SetLeft(snapArea.Left);
    if (window.Top() < snapArea.Top) window.SetTop(snapArea.Top);
    if (window.Left() + window.Width() > snapArea.Right) {
        window.SetLeft(snapArea.Right - window.Width());
    }
    if (window.Top() + window.Height() > snapArea.Bottom) {
        window.SetTop(snapArea.Bottom - window.Height());
    }
}

TCompanionForm::TCompanionForm(TComponent* owner, TWindowKit& kit, const char* name, int height,
                               bool stayOnTop, TCompanionMove move)
    : TForm(owner), kit_(kit), move_(move) {
    SetName(name);
    SetBorderStyle(TFormBorderStyle::bsNone);
    if (stayOnTop) SetFormStyle(TFormStyle::fsStayOnTop);
    SetToolWindow(true);
    SetEraseBackground(false);
    SetBounds(0, 0, 275, height);
    SetColor(kCompanionColor);
    TFont font;
    font.Color = kCompanionTextColor;
    SetFont(font);

    OnPaint = [this](TComponent* s) { FormPaint(s); };
    OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
        FormMouseDown(s, b, sh, x, y);
    };
    if (move_ == TCompanionMove::Drag) {
        OnMouseMove = [this](TComponent* s, TShiftState sh, int x, int y) {
            FormMouseMove(s, sh, x, y);
        };
        OnMouseUp = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
            FormMouseUp(s, b, sh, x, y);
        };
    }
}

void TCompanionForm::FormPaint(TComponent*) {
    PaintSkinBackground(*this, kit_.Skins.SkinBackground);
}

void TCompanionForm::FormMouseDown(TComponent*, TMouseButton, TShiftState Shift, int X, int Y) {
    if (move_ == TCompanionMove::Drag) {
        DragPress(kit_.DragState, Shift, X, Y);
        return;
    }
    // Any button: the window has no title bar to take hold of, so its whole background is one.
    StartSystemMove([this] { ClampToItsMonitor(*this, kit_); });
}

void TCompanionForm::FormMouseMove(TComponent*, TShiftState, int X, int Y) {
    DragMove(kit_.DragState, *this, X, Y);
}

void TCompanionForm::FormMouseUp(TComponent*, TMouseButton, TShiftState, int, int) {
    kit_.DragState.Dragging = false;
    if (ReleaseStep) {
        ReleaseStep(*this);
    } else {
        ClampToItsMonitor(*this, kit_);
    }
}

TLabel* PlaceLabel(TForm* form, const char* name, int left, int top, const std::string& caption) {
    auto* label = Place<TLabel>(form, name, left, top, 1, 1);
    label->SetTransparent(true);
    label->SetCaption(caption);
    return label;
}

void PaintSkinBackground(TForm& window, const Bitmap& skinBackground) {
    // Squeezed, not cut: a rolled-up window shows the whole frame in its 25 rows.
    Bitmap temporary(window.Width(), window.Height());
    temporary.GetCanvas().StretchDraw(TRect{0, 0, window.Width(), window.Height()}, skinBackground);
    window.GetCanvas().Draw(0, 0, temporary);
}

void DragPress(TDragState& drag, TShiftState shift, int x, int y) {
    drag.Dragging = (shift & ssLeft) != 0;
    drag.GrabX = x;
    drag.GrabY = y;
}

bool DragMove(const TDragState& drag, TForm& window, int x, int y) {
    if (!drag.Dragging) return false;
    window.SetBounds(window.Left() + x - drag.GrabX, window.Top() + y - drag.GrabY, window.Width(),
                     window.Height());
    return true;
}

}  // namespace tt
