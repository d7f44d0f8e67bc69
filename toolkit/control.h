#pragma once
#include <functional>
#include <string>
#include <vector>

#include "toolkit/backend.h"
#include "toolkit/badge.h"
#include "toolkit/component.h"
#include "toolkit/gfx/canvas.h"
#include "toolkit/gfx/geometry.h"

namespace tt {

class TWinControl;
class TForm;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys, held buttons and the double-click mark, with the backend's bit values.
using TShiftState = unsigned;
constexpr TShiftState ssShift = ui::kShiftKey;
constexpr TShiftState ssAlt = ui::kAltKey;
constexpr TShiftState ssCtrl = ui::kCtrlKey;
constexpr TShiftState ssLeft = ui::kLeftButton;
constexpr TShiftState ssRight = ui::kRightButton;
constexpr TShiftState ssMiddle = ui::kMiddleButton;
constexpr TShiftState ssDouble = ui::kDoubleClick;

// What a control does with the mouse and its background.
using TControlStyle = unsigned;
constexpr TControlStyle csCaptureMouse = 1;  // keeps the mouse while a button is held
constexpr TControlStyle csClickEvents = 2;   // left press and release over it is a click
constexpr TControlStyle csDoubleClicks = 4;  // the second press of a double click is DblClick
constexpr TControlStyle csOpaque = 8;        // covers its whole rectangle
constexpr TControlStyle csAcceptsControls = 16;

// Cursor shapes, with the numbers the window descriptions use.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TMouseEvent =
    std::function<void(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TComponent* Sender, TShiftState Shift, int X, int Y)>;
// Key is a ui::Key code; a handler that sets it to 0 (ui::kKeyNone) keeps it from the control.
using TKeyEvent = std::function<void(TComponent* Sender, int& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TComponent* Sender, char32_t& Key)>;

// A control on a form. Windowless controls (TGraphicControl) paint on their parent and never
// take the focus; windowed ones (TWinControl) hold children and take the keyboard.
class TControl : public TComponent {
  public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    // The form the control sits on (the form itself for a form), or null.
    virtual TForm* ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return TRect{left_, top_, left_ + width_, top_ + height_}; }
    TRect ClientRect() const { return TRect{0, 0, width_, height_}; }
    // Client coordinates of this control to those of its form, and back.
    TPoint ClientToForm(TPoint p) const;
    TPoint FormToClient(TPoint p) const;
    TPoint ClientToScreen(TPoint p) const;

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all its parents up to a shown form.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value) { hint_ = value; }
    bool ShowHint() const;
    void SetShowHint(bool value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value) { parentShowHint_ = value; }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);

    TColor Color() const;
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    // The control's own font; while ParentFont is on, changes to the parent's font reach it.
    const TFont& Font() const;
    void SetFont(const TFont& value);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }

    // Caption of labels and forms, text of edit fields and combo boxes.
    const std::string& Caption() const { return text_; }
    void SetCaption(const std::string& value) { SetText(value); }
    virtual void SetText(const std::string& value);

    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
    virtual bool IsWindowed() const { return false; }

    // Marks the control for the next paint; Repaint paints it and shows it now.
    void Invalidate();
    void Repaint();
    // The same for a part of it, in its own coordinates: what changed of a control that
    // changes every second, so that neither the paint nor the present touches the rest.
    void InvalidatePart(const TRect& part);
    void RepaintPart(const TRect& part);
    // Only valid inside Paint and OnPaint: the surface the control paints on, its origin at
    // the control's top-left corner.
    Canvas& GetCanvas() const;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

    // Called by the form's input routing.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter() {}
    // The pointer left the control (moved onto another or out of the window).
    virtual void MouseLeave() {}
    // A turn of the wheel over the control (or while it holds the mouse): notches times 120,
    // positive away from the user. False passes it on to the parent.
    virtual bool MouseWheel(int /*delta*/, TShiftState /*shift*/) { return false; }
    // An "&" accelerator offered by the form; true if the control took it.
    virtual bool DialogChar(char32_t) { return false; }
    virtual void Paint() {}
    // Paints the control on the form's canvas, set up for it.
    void PaintTo(Badge<TForm>, Canvas& canvas);

  protected:
    // The font in use changed, its own or, through ParentFont, the parent's.
    virtual void FontChanged();
    // Whether measuring the control's text waits until its form is shown: the form is hidden
    // (or there is none yet) and the font engine has not loaded its fonts. A program that
    // starts in the tray so loads none unless a window is opened.
    bool TextMeasuringWaits() const;
    // Measures what waited, and lays out what follows from it; the form calls it for itself
    // and for each of its controls as it is shown, before anything is painted.
    virtual void MeasureWaitingText() {}
    void SetTextQuietly(const std::string& value) { text_ = value; }
    void SetVisibleQuietly(bool value) { visible_ = value; }

  private:
    // Nothing on its form or in the application may hold on to the control any more.
    void ForgetOnForm();

    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    TCursor cursor_ = crDefault;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    TPopupMenu* popupMenu_ = nullptr;
    std::string text_;
    TControlStyle controlStyle_ = csClickEvents | csCaptureMouse | csDoubleClicks;
    Canvas* canvas_ = nullptr;
    bool clickPending_ = false;  // a left press that may still become a click

    friend class TWinControl;
    friend class TForm;
};

class TGraphicControl : public TControl {
  public:
    explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
};

class TWinControl : public TControl {
  public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    bool IsWindowed() const override { return true; }

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
    // The deepest visible, enabled control at a point in client coordinates (this if none).
    TControl* ControlAt(TPoint p);

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value) { tabStop_ = value; }
    int TabOrder() const;
    void SetTabOrder(int value);
    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();

    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyPress(char32_t& key);
    // Whether typed characters are for this control rather than for "&" accelerators.
    virtual bool WantsChars() const { return false; }
    // Whether a left press on it moves the focus to it.
    virtual bool FocusOnClick() const { return false; }
    virtual void DoEnter();
    virtual void DoExit();
    // Windowed controls in tab order, depth first.
    void TabList(std::vector<TWinControl*>& list);

  private:
    friend class TControl;
    std::vector<TControl*> controls_;  // paint order; windowed ones come last when painted
    std::vector<TWinControl*> tabOrder_;
    bool tabStop_ = false;
};

// A windowed control that paints itself.
class TCustomControl : public TWinControl {
  public:
    explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
};

}  // namespace tt
