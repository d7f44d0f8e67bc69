#pragma once
#include <string>
#include <string_view>

#include "platform/headless/headless_backend.h"
#include "toolkit/application.h"
#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

class TForm;

// Synthetic input for forms on the headless backend, addressed the way a scenario names
// things: "frmTaktomat" for a form, "frmTaktomat.gImpuls" for a control on it, positions in
// that control's client coordinates. Every call lets the program handle the input at once.
// Failures (no such form or control, a hidden form) throw tt::Error.
class HeadlessDriver {
  public:
    HeadlessDriver(Application& app, headless::HeadlessBackend& backend)
        : app_(app), backend_(backend) {}

    TControl& Find(std::string_view path) const;
    TForm& FindForm(std::string_view name) const;
    // Any component of a form, visual or not ("frmTaktomat.Zegar").
    TComponent& FindComponent(std::string_view path) const;
    std::string Property(std::string_view path, std::string_view name) const;
    void SetProperty(std::string_view path, std::string_view name, std::string_view text);

    void Click(std::string_view path, int x, int y, TShiftState shift = 0);
    // Two clicks at the same place, within the double-click time.
    void DblClick(std::string_view path, int x, int y);
    void Press(std::string_view path, int x, int y, TMouseButton button = TMouseButton::mbLeft,
               TShiftState shift = 0);
    void Move(std::string_view path, int x, int y, TShiftState shift = 0);
    // Turns the wheel over a point of the control: notches times 120, positive away from the user.
    void Wheel(std::string_view path, int x, int y, int delta);
    void Release(std::string_view path, int x, int y, TMouseButton button = TMouseButton::mbLeft,
                 TShiftState shift = 0);

    // A key to the active form: its code (ui::Key), or a name ("Tab", "Enter", "Esc", "Back",
    // "Delete", "Left", "Right", "Up", "Down", "Home", "End", "PgUp", "PgDn", "F4", "Space",
    // a letter or digit), optionally after "Shift+", "Ctrl+" or "Alt+".
    void Key(ui::Key key, TShiftState shift = 0);
    void Key(std::string_view name);
    // Each character of a UTF-8 text typed into the focused control.
    void Type(std::string_view text);
    // Chooses an item of a combo box (through its open list) or list box by its text.
    void Select(std::string_view path, std::string_view item);

    // The answer to the next message box: "ok", "cancel", "yes" or "no".
    void AnswerMessageBox(std::string_view answer);

    void TrayClick();
    void TrayDblClick();
    // Right press on the tray icon, choosing the menu entry with this caption ("&" optional).
    void TrayMenu(std::string_view caption);

    // What the backend last showed of a form, and that as a PNG file.
    Bitmap Snapshot(std::string_view name) const;
    void SavePng(std::string_view form, const std::string& path, int zoom = 1) const;

  private:
    struct Target {
        int window;
        TPoint at;
    };
    Target Locate(std::string_view path, int x, int y) const;
    TPoint TrayPoint() const;

    Application& app_;
    headless::HeadlessBackend& backend_;
};

}  // namespace tt
