#pragma once
#include <filesystem>
#include <functional>
#include <string>

#include "toolkit/control.h"
#include "toolkit/form.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/geometry.h"
#include "toolkit/gfx/image_list.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The skin that the main window makes at start and every window draws with: the background
// picture and the image lists of the button bars and digit counters.
struct TSkinSet {
    ImageList imgKlawisze{25, 20};
    ImageList imgKlawiszeOkna{25, 20};
    ImageList imgShade{20, 12};
    ImageList imgCyfry{10, 20};
    ImageList ImageList1{35, 20};
    Bitmap SkinBackground{275, 80};

    // Cuts the compiled-in strips into the lists and stretches the background picture over
    // SkinBackground.
    void Fill();
};

// The drag under way, one for the main, connect and limits windows: only one button can be
// held at a time.
struct TDragState {
    bool Dragging = false;
    int GrabX = 0;
    int GrabY = 0;
};

// What the main window makes for all windows. The windows keep a reference to the one the
// program owns.
struct TWindowKit {
    TSkinSet Skins;
    // Whether the windows are pushed back into the work area of their monitor, or into the
    // whole monitor.
    bool SnapToWorkArea = true;
    TDragState DragState;
    // Set when the marker file "w95bug.txt" is in the program folder.
    bool AltDrawing = false;

    // The rectangle a window at `bounds` is pushed back into: the work area, or the whole
    // rectangle, of the monitor it is on; a window on no monitor belongs to the primary.
    TRect SnapAreaAt(const TRect& bounds) const;
    TRect SnapAreaOf(const TForm& window) const;
    // The primary monitor's, where the main window first shows.
    TRect PrimarySnapArea() const;
};

inline constexpr const char* kAltDrawingMarker = "w95bug.txt";
bool AltDrawingMarkerPresent(const std::filesystem::path& programFolder);

// Pushes a moved window back inside the area, left and top first, so a window larger than the
// area ends flush with its right and bottom edges.
void ClampToSnapArea(TForm& window, const TRect& snapArea);
// The same into the snap area of the monitor the window is on.
void ClampToItsMonitor(TForm& window, const TWindowKit& kit);

// The companion windows' colours: text in pale yellow on dark blue, as the skin's field.
inline constexpr TColor kCompanionColor = ColorRGB(0, 0, 64);
inline constexpr TColor kCompanionTextColor = ColorRGB(255, 255, 128);

// The background of every window: the skin stretched over the window's current size.
void PaintSkinBackground(TForm& window, const Bitmap& skinBackground);

// The drag of a window by its background: a press with the left button among those held grabs
// the point, a move shifts `window` by how far the pointer got from it (X and Y in the pressed
// control's coordinates). The release is the caller's, as it clamps.
void DragPress(TDragState& drag, TShiftState shift, int x, int y);
// True when the window moved.
bool DragMove(const TDragState& drag, TForm& window, int x, int y);

// How a companion window moves when its background is pressed.
enum class TCompanionMove {
    Drag,        // dragged with the shared DragState, ending in ReleaseStep
    SystemMove,  // moved by the window system, then clamped into its monitor's snap area
};

// What every companion window of the main window is: borderless and without a taskbar button
// (the program has none), painted all over by the skin so nothing is erased first, 275 pixels
// wide like the skin, in the companions' colours. Those opened from the always-on-top meter to
// be edited stay on top of other programs too. Its background moves it.
class TCompanionForm : public TForm {
  public:
    // The end of a drag of this window: the main window's release step, so the companions
    // end a drag as it does. Until the program sets it, the window clamps itself.
    std::function<void(TForm& window)> ReleaseStep;

    void FormPaint(TComponent* Sender);
    void FormMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormMouseMove(TComponent* Sender, TShiftState Shift, int X, int Y);
    void FormMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  protected:
    TCompanionForm(TComponent* owner, TWindowKit& kit, const char* name, int height, bool stayOnTop,
                   TCompanionMove move);

    TWindowKit& kit_;

  private:
    const TCompanionMove move_;
};

// Makes a control owned and parented by `form`, named and placed: every window makes its
// controls this way.
template <class T>
T* Place(TForm* form, const char* name, int left, int top, int width, int height) {
    T* control = new T(form);  // owned by the form
    control->SetName(name);
    control->SetParent(form);
    control->SetBounds(left, top, width, height);
    return control;
}

// A label on the skin: transparent, so the skin shows through, and sized to its text.
TLabel* PlaceLabel(TForm* form, const char* name, int left, int top, const std::string& caption);

}  // namespace tt
