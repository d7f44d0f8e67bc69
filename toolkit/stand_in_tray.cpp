#include "toolkit/stand_in_tray.h"

#include <algorithm>

#include "toolkit/application.h"

namespace tt {

class StandInTray::Icon : public ui::TrayIconHost {
  public:
    explicit Icon(StandInTray& tray) : tray_(tray) {}
    ~Icon() override { tray_.Forget(*this); }

    void SetIcon(int width, int height, const uint32_t* pixels) override {
        staged_.width = pixels ? width : 0;
        staged_.height = pixels ? height : 0;
        staged_.pixels.assign(pixels, pixels ? pixels + std::size_t(width) * height : pixels);
    }
    void Notify(ui::TrayCall call, unsigned parts, const std::string& tip) override {
        // The record is read at the call: a picture staged later waits for the next call.
        stagedParts_ = parts;
        stagedTip_ = tip;
        tray_.Notify(*this, call);
    }
    unsigned CallbackMessage() const override { return kCallbackMessage; }
    int DoubleClickTime() const override { return tray_.app_.DoubleClickTime(); }

  private:
    friend class StandInTray;
    StandInTray& tray_;
    ui::TrayIcon staged_;
    unsigned stagedParts_ = 0;
    std::string stagedTip_;
    ui::TrayIcon shown_;  // what the tray holds for this icon
};

StandInTray::StandInTray(Application& app) : app_(app) {}

StandInTray::~StandInTray() {
    if (!added_.empty()) app_.OnTrayMouse = nullptr;
}

std::unique_ptr<ui::TrayIconHost> StandInTray::Attach() {
    return std::make_unique<Icon>(*this);
}

void StandInTray::Notify(Icon& icon, ui::TrayCall call) {
    const auto it = std::find(added_.begin(), added_.end(), &icon);
    if (call == ui::TrayCall::Delete) {
        if (it == added_.end()) return;
        added_.erase(it);
    } else {
        if (call == ui::TrayCall::Add) {
            if (it != added_.end()) return;
            added_.push_back(&icon);
            icon.shown_ = ui::TrayIcon{};
        } else if (call != ui::TrayCall::Modify || it == added_.end()) {
            return;
        }
        if (call == ui::TrayCall::Modify && icon.stagedParts_ == ui::kTrayPartTip) {
            // The tip alone, as it changes every second on-line: the picture stays where it is.
            icon.shown_.tip = icon.stagedTip_;
            if (it == added_.begin()) app_.Backend().SetTrayTip(icon.shown_.tip);
            return;
        }
        if (icon.stagedParts_ & ui::kTrayPartIcon) {
            icon.shown_.width = icon.staged_.width;
            icon.shown_.height = icon.staged_.height;
            icon.shown_.pixels = icon.staged_.pixels;
        }
        if (icon.stagedParts_ & ui::kTrayPartTip) icon.shown_.tip = icon.stagedTip_;
    }
    ShowFirst();
}

void StandInTray::Forget(Icon& icon) {
    const auto it = std::find(added_.begin(), added_.end(), &icon);
    if (it == added_.end()) return;
    added_.erase(it);
    ShowFirst();
}

void StandInTray::ShowFirst() {
    if (added_.empty()) {
        app_.Backend().HideTrayIcon();
        app_.OnTrayMouse = nullptr;
        return;
    }
    app_.Backend().ShowTrayIcon(added_.front()->shown_);
    app_.OnTrayMouse = [this](ui::TrayMouse what, TPoint screen) {
        if (added_.empty()) return;
        Icon& target = *added_.front();
        ui::TrayMessage message = ui::TrayMessage::LeftDown;
        if (what == ui::TrayMouse::LeftDoubleClick) message = ui::TrayMessage::LeftDoubleClick;
        if (what == ui::TrayMouse::RightDown) message = ui::TrayMessage::RightDown;
        if (target.OnMouse) target.OnMouse(message, screen.X, screen.Y);
    };
}

}  // namespace tt
