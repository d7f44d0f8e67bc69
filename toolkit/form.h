#pragma once
#include <optional>
#include <string>

#include "toolkit/badge.h"
#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

class Application;

enum class TFormBorderStyle { bsNone, bsSingle };
enum class TFormStyle { fsNormal, fsStayOnTop };

// A top-level window. Created once, then only shown and hidden; a hidden form keeps its place
// and size. Left and Top are screen pixels; the client area is the whole form.
class TForm : public TWinControl {
  public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TForm* ParentForm() const override { return const_cast<TForm*>(this); }

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value) { borderStyle_ = value; }
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle value);
    // No taskbar button.
    bool ToolWindow() const { return toolWindow_; }
    void SetToolWindow(bool value);
    // Off for forms whose OnPaint covers every pixel: nothing is filled before it.
    bool EraseBackground() const { return eraseBackground_; }
    void SetEraseBackground(bool value) { eraseBackground_ = value; }
    int ClientWidth() const { return Width(); }
    int ClientHeight() const { return Height(); }
    void SetClientWidth(int value) { SetWidth(value); }
    void SetClientHeight(int value) { SetHeight(value); }

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool value) override;
    // Shows the form, and brings it to the front if it was showing already.
    void Show() {
        SetVisible(true);
        BringToFront();
    }
    void SetText(const std::string& value) override;
    // Hides the form; closing the main form ends the application's loop.
    void Close();
    // Makes a shown form the active, foreground window.
    void BringToFront();
    bool Active() const { return active_; }
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    // Moves the focus to the next (or previous) tab stop.
    void SelectNext(bool forward);
    // Keeps the mouse with a control until released here, also between presses (an open
    // drop-down list); null releases it.
    void SetMouseCapture(TControl* control);
    TControl* MouseCapture() const { return capture_; }
    // The window follows the pointer until the button is let go; then `done` runs.
    void StartSystemMove(std::function<void()> done);

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnPaint;
    // Runs when the application releases its forms, newest first, each form still whole.
    TNotifyEvent OnDestroy;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

    // The finished picture, as last presented, while the form is shown (a hidden form keeps
    // none); for snapshots.
    const Bitmap& Buffer() const { return buffer_; }
    int WindowId() const { return window_; }
    // The backend's window of this form, made now if it does not exist yet: for the parts
    // that hand it to the platform themselves (the tray icon on Windows).
    int Handle() {
        EnsureWindow();
        return window_;
    }
    // A control (or this form) by name, searched through everything the form owns.
    TControl* FindControl(std::string_view name) const;

    // The control under the pointer, or null.
    TControl* Hovered() const { return hovered_; }
    void Paint() override;

    // The toolkit's own calls, each for the class its Badge names alone.
    // A part of the form to paint at the next PaintPending.
    void InvalidateRect(Badge<TControl>, const TRect& rect) { MarkDirty(rect); }
    // Paints what was invalidated and presents it.
    void PaintPending(Badge<TControl>) { PaintDirty(); }
    void PaintPending(Badge<Application>) { PaintDirty(); }
    // Whether PaintPending has anything to do.
    bool PaintWaits() const { return !dirty_.empty() && Visible() && window_ && !painting_; }
    // An event of the form's window.
    void HandleInput(Badge<Application>, const ui::Event& event);
    // Lets go of a control that goes away, hides or is disabled: the capture, the focus, the
    // pointer.
    void ForgetControl(Badge<TControl>, TControl* control);
    void DoCreate(Badge<Application>);
    void DoDestroy(Badge<Application>);

  private:
    void MarkDirty(const TRect& rect);
    void PaintDirty();
    void SetActive(bool value);
    void EnsureWindow();
    void RecreateWindow();
    void MeasureWaitingTextOf(TControl& control);
    void PaintRegion(const TRect& rect);
    void PaintTree(TControl& control, const TRect& clip, TControl* from, bool& started);
    void SetHovered(TControl* control);
    void MouseDownAt(const ui::Event& event);
    void MouseMoveAt(const ui::Event& event);
    void MouseUpAt(const ui::Event& event);
    void KeyDownAt(const ui::Event& event);
    void CharAt(const ui::Event& event);
    void UpdateCursor();
    TControl* MouseTarget(TPoint p, TPoint& local);

    Application& app_;
    int window_ = 0;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSingle;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    bool toolWindow_ = false;
    bool eraseBackground_ = true;
    bool active_ = false;
    TWinControl* activeControl_ = nullptr;
    TControl* capture_ = nullptr;
    bool captureHeld_ = false;  // set by SetMouseCapture, not ended by a release
    TControl* hovered_ = nullptr;
    TControl* pressed_ = nullptr;  // the control of the last left press, whose click may follow
    TShiftState buttons_ = 0;
    Bitmap buffer_;
    std::vector<TRect> dirty_;                             // apart from each other
    std::vector<std::pair<TControl*, TRect>> paintOrder_;  // kept for its room
    bool painting_ = false;
    bool destroyed_ = false;
};

}  // namespace tt
