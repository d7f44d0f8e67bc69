#include "controls/Shellage.h"

#include <algorithm>
#include <exception>
#include <map>
#include <vector>

#include "toolkit/gfx/utf8.h"

namespace tt {

unsigned TNotifyIcon::callbackMessage_ = 0;
unsigned TNotifyIcon::nextIconId_ = 0;

namespace {

// On platforms without a shell of their own this file plays the shell: it keeps what the
// icons registered, shows one of them through the backend (the backend has one slot) and
// sends the backend's tray input back to the owner form as the callback message.

struct ShellIcon {
    TForm* window = nullptr;
    unsigned id = 0;
    unsigned message = 0;
    bool hasIcon = false;
    Bitmap icon;
    std::string tip;
};

std::vector<ShellIcon> shellIcons;  // in the order they were added; the first one is shown
TPoint trayPointer;                 // where the pointer was at the last tray notification

// Each form's window procedures, oldest first: the newest sees a message first and passes
// on what is not its own. An empty chain is the form's own procedure, which has no use for
// tray messages.
std::map<const TForm*, std::vector<TNotifyIcon*>> windowProcs;

unsigned RegisterWindowMessage(const std::string& name) {
    static std::map<std::string, unsigned> registered;
    const unsigned next = 0xC000u + static_cast<unsigned>(registered.size());
    return registered.try_emplace(name, next).first->second;
}

void SendFormMessage(TForm* form, TMessage& message) {
    auto found = windowProcs.find(form);
    if (found == windowProcs.end()) return;
    // A copy: a handler may create or release icons while the message goes down the chain.
    const std::vector<TNotifyIcon*> chain = found->second;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const auto live = windowProcs.find(form);
        if (live == windowProcs.end()) return;
        if (std::find(live->second.begin(), live->second.end(), *it) == live->second.end()) {
            continue;
        }
        if ((*it)->WndProc(message)) return;
    }
}

unsigned TrayMessage(ui::TrayMouse what) {
    switch (what) {
        case ui::TrayMouse::LeftDown:
            return WM_LBUTTONDOWN;
        case ui::TrayMouse::LeftDoubleClick:
            return WM_LBUTTONDBLCLK;
        case ui::TrayMouse::RightDown:
            return WM_RBUTTONDOWN;
    }
    return 0;
}

void ShowFirstIcon() {
    Application& app = Application::Current();
    if (shellIcons.empty()) {
        app.HideTrayIcon();
        app.OnTrayMouse = nullptr;
        return;
    }
    const ShellIcon& shown = shellIcons.front();
    app.ShowTrayIcon(shown.tip, shown.hasIcon ? &shown.icon : nullptr);
    app.OnTrayMouse = [](ui::TrayMouse what, TPoint screen) {
        if (shellIcons.empty()) return;
        trayPointer = screen;
        const ShellIcon& target = shellIcons.front();
        TMessage message{target.message, target.id, static_cast<std::intptr_t>(TrayMessage(what)),
                         0};
        SendFormMessage(target.window, message);
    };
}

void ShellNotifyIcon(unsigned operation, const TNotifyIconData& data) {
    auto it = std::find_if(shellIcons.begin(), shellIcons.end(), [&](const ShellIcon& icon) {
        return icon.window == data.Wnd && icon.id == data.uID;
    });
    if (operation == NIM_DELETE) {
        if (it == shellIcons.end()) return;
        shellIcons.erase(it);
    } else {
        if (operation == NIM_ADD) {
            if (it != shellIcons.end()) return;  // the shell refuses a second add
            ShellIcon added;
            added.window = data.Wnd;
            added.id = data.uID;
            it = shellIcons.insert(shellIcons.end(), std::move(added));
        } else if (operation != NIM_MODIFY || it == shellIcons.end()) {
            return;
        }
        if (data.uFlags & NIF_MESSAGE) it->message = data.uCallbackMessage;
        if (data.uFlags & NIF_ICON) {
            it->hasIcon = data.hIcon && !data.hIcon->Empty();
            it->icon = it->hasIcon ? *data.hIcon : Bitmap();
        }
        if (data.uFlags & NIF_TIP) it->tip = data.szTip;
    }
    ShowFirstIcon();
}

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
    // With a backend that has the system's own tray (Win32) the icon is registered there and
    // the owner form's window procedure is really taken over. Other backends (the tests under
    // Wine run the headless one) keep the stand-in shell above.
    try {
        native_ =
            Application::Current().Backend().AttachNativeTray(ownerForm_->Handle(), nextIconId_);
    } catch (const std::exception&) {
        throw ENotifyIconError(kWndProcHookText);
    }
    if (native_) {
        native_->OnMouse = [this](unsigned mouseMessage, int x, int y) {
            if (mouseMessage == WM_RBUTTONDOWN) trayPointer = {x, y};
            TMessage message{callbackMessage_, iconId_, static_cast<std::intptr_t>(mouseMessage),
                             0};
            WndProc(message);
        };
        hooked_ = true;
        clickTimer_ = new TTimer(this);  // owned: released with the icon
        clickTimer_->SetEnabled(false);
        clickTimer_->SetInterval(native_->DoubleClickTime());
        clickTimer_->OnTimer = [this](TComponent*) { ClickTimerExpired(); };
        callbackMessage_ = native_->CallbackMessage();
        iconId_ = nextIconId_++;
        return;
    }
    // Joining the chain kept here cannot fail; where the platform replaces the window
    // procedure itself, a previous procedure of 0 raises kWndProcHookText.
    windowProcs[ownerForm_].push_back(this);
    hooked_ = true;
    clickTimer_ = new TTimer(this);  // owned: released with the icon
    clickTimer_->SetEnabled(false);
    clickTimer_->SetInterval(Application::Current().DoubleClickTime());
    clickTimer_->OnTimer = [this](TComponent*) { ClickTimerExpired(); };
    callbackMessage_ = RegisterWindowMessage("ICO.TNotifyIconMsg");
    iconId_ = nextIconId_++;
}

TNotifyIcon::~TNotifyIcon() {
    if (iconVisible_) ShellCall(NIM_DELETE, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    // Gives the form its previous window procedure back.
    if (native_) {
        native_.reset();
        DestroyComponents();
        return;
    }
    if (hooked_) {
        // Taken out wherever it sits: an icon released before a newer one on the same form
        // must not cut the newer one off, nor leave it passing messages to a dead procedure.
        auto found = windowProcs.find(ownerForm_);
        if (found != windowProcs.end()) {
            std::erase(found->second, this);
            if (found->second.empty()) windowProcs.erase(found);
        }
    }
    DestroyComponents();
}

void TNotifyIcon::SetEnableDblClick(bool value) {
    enableDblClick_ = value;
    clickTimer_->SetInterval(value ? Application::Current().DoubleClickTime() : 10);
}

void TNotifyIcon::SetIcon(const Bitmap& value) {
    icon_ = value;
    if (iconVisible_) ShellCall(NIM_MODIFY, NIF_ICON);
}

void TNotifyIcon::SetHideTask(bool value) {
    if (value == hideTask_) return;
    hideTask_ = value;
    // With the system's tray the taskbar button is the application window's.
    if (native_ && Application::Current().Backend().ShowTaskbarButton(!value)) return;
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
    if (native_) {
        if (flags & NIF_ICON) {
            // The key colour must become the shell's mask, not a magenta frame round the dial.
            const std::vector<uint32_t> pixels =
                icon_.Empty() ? std::vector<uint32_t>{} : TrayIconPixels(icon_);
            native_->SetIcon(icon_.Width(), icon_.Height(),
                             pixels.empty() ? nullptr : pixels.data());
        }
        native_->Notify(operation, flags, notifyIconData_.szTip);
        return;
    }
    ShellNotifyIcon(operation, notifyIconData_);
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
            const TPoint at = trayPointer;
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
