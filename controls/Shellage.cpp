#include "controls/Shellage.h"

#include <exception>
#include <vector>

#include "base/utf8.h"

namespace tt {

unsigned TNotifyIcon::callbackMessage_ = 0;
unsigned TNotifyIcon::nextIconId_ = 0;

namespace {

// Characters, not bytes, so a cut never splits a letter; the platform's code page has one
// byte for each of the program's letters. Into the room of the last tip: it changes every second.
void CutTip(const std::string& text, std::string& out) {
    std::size_t pos = text.size();
    // No more bytes than the limit's characters: nothing to cut.
    if (text.size() > static_cast<std::size_t>(kMaxTipLength)) {
        pos = 0;
        for (int n = 0; n < kMaxTipLength && pos < text.size(); ++n) NextCodePoint(text, pos);
    }
    out.assign(text, 0, pos);
}

}  // namespace

TNotifyIcon::TNotifyIcon(TComponent* owner) : TComponent(owner) {
    ownerForm_ = dynamic_cast<TForm*>(owner);
    if (!ownerForm_) throw ENotifyIconError(kOwnerNotFormText);
    // Where the platform replaces the owner's window procedure itself, a previous procedure
    // of 0 raises kWndProcHookText.
    try {
        host_ = Application::Current().AttachTrayIcon(ownerForm_->Handle(), nextIconId_);
    } catch (const std::exception&) {
        throw ENotifyIconError(kWndProcHookText);
    }
    host_->OnMouse = [this](ui::TrayMessage mouseMessage, int x, int y) {
        trayPointer_ = {x, y};
        TMessage message{callbackMessage_, iconId_, static_cast<std::intptr_t>(mouseMessage), 0};
        WndProc(message);
    };
    clickTimer_ = new TTimer(this);  // owned: released with the icon
    clickTimer_->SetEnabled(false);
    clickTimer_->SetInterval(host_->DoubleClickTime());
    clickTimer_->OnTimer = [this](TComponent*) { ClickTimerExpired(); };
    callbackMessage_ = host_->CallbackMessage();
    iconId_ = nextIconId_++;
}

TNotifyIcon::~TNotifyIcon() {
    if (iconVisible_)
        CallTray(ui::TrayCall::Delete, ui::kTrayPartMessage | ui::kTrayPartIcon | ui::kTrayPartTip);
    // Gives the form its previous window procedure back.
    host_.reset();
    DestroyComponents();
}

void TNotifyIcon::SetEnableDblClick(bool value) {
    enableDblClick_ = value;
    clickTimer_->SetInterval(value ? host_->DoubleClickTime() : 10);
}

void TNotifyIcon::SetIcon(const Bitmap& value) {
    icon_ = value;
    if (iconVisible_) CallTray(ui::TrayCall::Modify, ui::kTrayPartIcon);
}

void TNotifyIcon::SetHideTask(bool value) {
    if (value == hideTask_) return;
    hideTask_ = value;
    // With the system's tray the taskbar button is the application window's.
    if (Application::Current().Backend().ShowTaskbarButton(!value)) return;
    // The taskbar button belongs to the forms here; the owner is still being made when its
    // constructor sets this, so it is not yet among the application's forms.
    ownerForm_->SetToolWindow(value);
    for (TForm* form : Application::Current().Forms()) form->SetToolWindow(value);
}

void TNotifyIcon::SetHint(const std::string& value) {
    if (value == hint_) return;
    hint_ = value;
    if (iconVisible_) CallTray(ui::TrayCall::Modify, ui::kTrayPartTip);
}

void TNotifyIcon::SetIconVisible(bool value) {
    if (value == iconVisible_) return;
    iconVisible_ = value;
    CallTray(value ? ui::TrayCall::Add : ui::TrayCall::Delete,
             ui::kTrayPartMessage | ui::kTrayPartIcon | ui::kTrayPartTip);
}

void TNotifyIcon::CallTray(ui::TrayCall call, unsigned parts) {
    notifyIconData_.cbSize = 88;
    notifyIconData_.Wnd = ownerForm_;
    notifyIconData_.uID = iconId_;
    notifyIconData_.uFlags = parts;
    notifyIconData_.uCallbackMessage = callbackMessage_;
    notifyIconData_.hIcon = icon_.Empty() ? nullptr : &icon_;
    CutTip(hint_, notifyIconData_.szTip);
    if (parts & ui::kTrayPartIcon) {
        // The key colour must become the shell's mask, not a magenta frame round the dial.
        const std::vector<uint32_t> pixels =
            icon_.Empty() ? std::vector<uint32_t>{} : TrayIconPixels(icon_);
        host_->SetIcon(icon_.Width(), icon_.Height(), pixels.empty() ? nullptr : pixels.data());
    }
    host_->Notify(call, parts, notifyIconData_.szTip);
}

bool TNotifyIcon::WndProc(TMessage& message) {
    if (message.Msg != callbackMessage_ || message.WParam != iconId_) return false;
    switch (static_cast<ui::TrayMessage>(message.LParam)) {
        case ui::TrayMessage::LeftDown:
            // A second press within the wait must not push the single click further away.
            if (!clickTimer_->Enabled()) clickTimer_->SetEnabled(true);
            break;
        case ui::TrayMessage::LeftDoubleClick:
            doubleClickSeen_ = true;
            if (bringToFront_) ownerForm_->BringToFront();
            if (OnDblClick) OnDblClick(this);
            break;
        case ui::TrayMessage::RightDown: {
            if (bringToFront_) ownerForm_->BringToFront();
            const TPoint at = trayPointer_;
            if (popupMenu_) popupMenu_->Popup(at.X, at.Y);
            break;
        }
        default:
            break;
    }
    return true;
}

void TNotifyIcon::ClickTimerExpired() {
    clickTimer_->SetEnabled(false);
    if (bringToFront_) ownerForm_->BringToFront();
    const bool seen = doubleClickSeen_;
    doubleClickSeen_ = false;
    if (!seen && OnClick) OnClick(this);
}

const PropertyTable& TNotifyIcon::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TComponent::ClassProperties());
        t.Add("BringToFront", &TNotifyIcon::BringToFront, &TNotifyIcon::SetBringToFront);
        t.Add("EnableDblClick", &TNotifyIcon::EnableDblClick, &TNotifyIcon::SetEnableDblClick);
        t.Add("HideTask", &TNotifyIcon::HideTask, &TNotifyIcon::SetHideTask);
        t.Add("Hint", &TNotifyIcon::Hint, &TNotifyIcon::SetHint);
        t.Add("IconVisible", &TNotifyIcon::IconVisible, &TNotifyIcon::SetIconVisible);
        return t;
    }();
    return table;
}

}  // namespace tt
