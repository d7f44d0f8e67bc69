#include "toolkit/tray_shell.h"

#include <algorithm>

#include "toolkit/application.h"

namespace tt {

class TrayShell::Icon : public ui::ShellIcon {
  public:
    explicit Icon(TrayShell& shell) : shell_(shell) {}
    ~Icon() override { shell_.Forget(*this); }

    void SetIcon(int width, int height, const uint32_t* pixels) override {
        staged_.width = pixels ? width : 0;
        staged_.height = pixels ? height : 0;
        staged_.pixels.assign(pixels, pixels ? pixels + std::size_t(width) * height : pixels);
    }
    void Notify(unsigned operation, unsigned flags, const std::string& tip) override {
        // The record is read at the call: a picture staged later waits for the next call.
        stagedFlags_ = flags;
        stagedTip_ = tip;
        shell_.Notify(*this, operation);
    }
    unsigned CallbackMessage() const override { return kCallbackMessage; }
    int DoubleClickTime() const override { return shell_.app_.DoubleClickTime(); }

  private:
    friend class TrayShell;
    TrayShell& shell_;
    ui::TrayIcon staged_;
    unsigned stagedFlags_ = 0;
    std::string stagedTip_;
    ui::TrayIcon shown_;  // what the shell holds for this icon
};

TrayShell::TrayShell(Application& app) : app_(app) {}

TrayShell::~TrayShell() {
    if (!added_.empty()) app_.OnTrayMouse = nullptr;
}

std::unique_ptr<ui::ShellIcon> TrayShell::Attach() {
    return std::make_unique<Icon>(*this);
}

void TrayShell::Notify(Icon& icon, unsigned operation) {
    const auto it = std::find(added_.begin(), added_.end(), &icon);
    if (operation == ui::kShellDelete) {
        if (it == added_.end()) return;
        added_.erase(it);
    } else {
        if (operation == ui::kShellAdd) {
            if (it != added_.end()) return;
            added_.push_back(&icon);
            icon.shown_ = ui::TrayIcon{};
        } else if (operation != ui::kShellModify || it == added_.end()) {
            return;
        }
        if (icon.stagedFlags_ & ui::kShellFlagIcon) {
            icon.shown_.width = icon.staged_.width;
            icon.shown_.height = icon.staged_.height;
            icon.shown_.pixels = icon.staged_.pixels;
        }
        if (icon.stagedFlags_ & ui::kShellFlagTip) icon.shown_.tip = icon.stagedTip_;
    }
    ShowFirst();
}

void TrayShell::Forget(Icon& icon) {
    const auto it = std::find(added_.begin(), added_.end(), &icon);
    if (it == added_.end()) return;
    added_.erase(it);
    ShowFirst();
}

void TrayShell::ShowFirst() {
    if (added_.empty()) {
        app_.Backend().HideTrayIcon();
        app_.OnTrayMouse = nullptr;
        return;
    }
    app_.Backend().ShowTrayIcon(added_.front()->shown_);
    app_.OnTrayMouse = [this](ui::TrayMouse what, TPoint screen) {
        if (added_.empty()) return;
        Icon& target = *added_.front();
        unsigned message = ui::kShellLeftDown;
        if (what == ui::TrayMouse::LeftDoubleClick) message = ui::kShellLeftDoubleClick;
        if (what == ui::TrayMouse::RightDown) message = ui::kShellRightDown;
        if (target.OnMouse) target.OnMouse(message, screen.X, screen.Y);
    };
}

}  // namespace tt
