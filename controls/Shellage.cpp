#include "controls/Shellage.h"

#include <exception>
#include <vector>

#include "toolkit/gfx/utf8.h"

namespace tt {

unsigned TNotifyIcon::callbackMessage_ = 0;
unsigned TNotifyIcon::nextIconId_ = 0;

namespace {

// Characters, not bytes, so a cut never splits a letter; the platform's code page has one
// byte for each of the program's letters.
std::string CutTip(const std::string& text) {
    std::size_t pos = 0;
    for (int n = 0; n < kMaxTipLength && pos < text.size(); ++n) NextCodePoint(text, pos);
    return text.substr(0, pos);
}

}  // namespace

TNotifyIcon::TNotifyIcon(TComponent* owner) : TComponent(owner) {
    ownerForm_ = dynamic_cast<TForm*>(owner);
    if (!ownerForm_) throw ENotifyIconError(kOwnerNotFormText);
    // Where the platform replaces the owner's window procedure itself, a previous procedure
    // of 0 raises kWndProcHookText.
    try {
        shell_ = Application::Current().AttachTrayIcon(ownerForm_->Handle(), nextIconId_);
    } catch (const std::exception&) {
        throw ENotifyIconError(kWndProcHookText);
    }
    shell_->OnMouse = [this](unsigned mouseMessage, int x, int y) {
        trayPointer_ = {x, y};
        TMessage message{callbackMessage_, iconId_, static_cast<std::intptr_t>(mouseMessage), 0};
        WndProc(message);
    };
    clickTimer_ = new TTimer(this);  // owned: released with the icon
    clickTimer_->SetEnabled(false);
    clickTimer_->SetInterval(shell_->DoubleClickTime());
    clickTimer_->OnTimer = [this](TComponent*) { ClickTimerExpired(); };
    callbackMessage_ = shell_->CallbackMessage();
    iconId_ = nextIconId_++;
}

TNotifyIcon::~TNotifyIcon() {
    if (iconVisible_) ShellCall(NIM_DELETE, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    // Gives the form its previous window procedure back.
    shell_.reset();
    DestroyComponents();
}

void TNotifyIcon::SetEnableDblClick(bool value) {
    enableDblClick_ = value;
    clickTimer_->SetInterval(value ? shell_->DoubleClickTime() : 10);
}

void TNotifyIcon::SetIcon(const Bitmap& value) {
    icon_ = value;
    if (iconVisible_) ShellCall(NIM_MODIFY, NIF_ICON);
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
    if (iconVisible_) ShellCall(NIM_MODIFY, NIF_TIP);
}

void TNotifyIcon::SetIconVisible(bool value) {
    if (value == iconVisible_) return;
    iconVisible_ = value;
    ShellCall(value ? NIM_ADD : NIM_DELETE, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

void TNotifyIcon::ShellCall(unsigned operation, unsigned flags) {
    notifyIconData_ = TNotifyIconData{};
    notifyIconData_.cbSize = 88;
    notifyIconData_.Wnd = ownerForm_;
    notifyIconData_.uID = iconId_;
    notifyIconData_.uFlags = flags;
    notifyIconData_.uCallbackMessage = callbackMessage_;
    notifyIconData_.hIcon = icon_.Empty() ? nullptr : &icon_;
    notifyIconData_.szTip = CutTip(hint_);
    if (flags & NIF_ICON) {
        // The key colour must become the shell's mask, not a magenta frame round the dial.
        const std::vector<uint32_t> pixels =
            icon_.Empty() ? std::vector<uint32_t>{} : TrayIconPixels(icon_);
        shell_->SetIcon(icon_.Width(), icon_.Height(), pixels.empty() ? nullptr : pixels.data());
    }
    shell_->Notify(operation, flags, notifyIconData_.szTip);
}

bool TNotifyIcon::WndProc(TMessage& message) {
    if (message.Msg != callbackMessage_ || message.WParam != iconId_) return false;
    switch (static_cast<unsigned>(message.LParam)) {
        case WM_LBUTTONDOWN:
            // A second press within the wait must not push the single click further away.
            if (!clickTimer_->Enabled()) clickTimer_->SetEnabled(true);
            break;
        case WM_LBUTTONDBLCLK:
            doubleClickSeen_ = true;
            if (bringToFront_) ownerForm_->BringToFront();
            if (OnDblClick) OnDblClick(this);
            break;
        case WM_RBUTTONDOWN: {
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
