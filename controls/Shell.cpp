#include "controls/Shell.h"

#include "controls/skin/skin.h"
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

void SetUpCompanionWindow(TForm& window, int height, bool stayOnTop) {
    window.SetBorderStyle(TFormBorderStyle::bsNone);
    if (stayOnTop) window.SetFormStyle(TFormStyle::fsStayOnTop);
    window.SetToolWindow(true);
    window.SetEraseBackground(false);
    window.SetBounds(0, 0, 275, height);
    window.SetColor(kCompanionColor);
    TFont font;
    font.Color = kCompanionTextColor;
    window.SetFont(font);
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
