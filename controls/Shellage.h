#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/error.h"
#include "toolkit/application.h"
#include "toolkit/backend.h"
#include "toolkit/component.h"
#include "toolkit/form.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/menus.h"

namespace tt {

class ENotifyIconError : public Error {
  public:
    using Error::Error;
};

inline constexpr char kOwnerNotFormText[] = "Właściciel komponentu musi być formularzem";
inline constexpr char kWndProcHookText[] = "Błąd przedefiniowania procedury komunikacyjnej";

// The longest tooltip the shell takes, in characters.
inline constexpr int kMaxTipLength = 63;

// What the icon tells the shell on every call. The Windows shell wants NOTIFYICONDATAA of 88
// bytes with the tip in the ANSI code page; the platform layer packs it from this.
struct TNotifyIconData {
    std::uint32_t cbSize = 0;
    TForm* Wnd = nullptr;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    const Bitmap* hIcon = nullptr;  // null: the system's own logo icon
    std::string szTip;              // UTF-8, at most kMaxTipLength characters
};

// A message as the owner form's window procedure sees it.
struct TMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// The icon in the notification area. It takes the shell's notifications through the owner
// form's window procedure, installed at construction in front of whatever the form had, and
// turns them into OnClick, OnDblClick and the pop-up menu.
class TNotifyIcon : public TComponent {
  public:
    explicit TNotifyIcon(TComponent* owner);
    ~TNotifyIcon() override;

    bool BringToFront() const { return bringToFront_; }
    void SetBringToFront(bool value) { bringToFront_ = value; }
    bool EnableDblClick() const { return enableDblClick_; }
    void SetEnableDblClick(bool value);
    const Bitmap& Icon() const { return icon_; }
    void SetIcon(const Bitmap& value);
    bool HideTask() const { return hideTask_; }
    void SetHideTask(bool value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* value) { popupMenu_ = value; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

    unsigned IconId() const { return iconId_; }
    // The number of the shell's callback message, the same for every icon.
    static unsigned CallbackMessage() { return callbackMessage_; }
    const TNotifyIconData& NotifyIconData() const { return notifyIconData_; }
    TTimer& ClickTimer() const { return *clickTimer_; }
    bool DoubleClickSeen() const { return doubleClickSeen_; }

    // The procedure installed on the owner form; false passes the message to the one that
    // was there before.
    bool WndProc(TMessage& message);

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    void CallTray(ui::TrayCall call, unsigned parts);
    void ClickTimerExpired();

    TForm* ownerForm_ = nullptr;
    std::unique_ptr<ui::TrayIconHost> host_;
    TPoint trayPointer_;  // where the pointer was at the last notification
    bool bringToFront_ = false;
    bool enableDblClick_ = true;
    Bitmap icon_;
    bool hideTask_ = false;
    std::string hint_;
    bool iconVisible_ = false;
    TPopupMenu* popupMenu_ = nullptr;

    TTimer* clickTimer_ = nullptr;  // owned through the component owner
    bool doubleClickSeen_ = false;
    unsigned iconId_ = 0;
    TNotifyIconData notifyIconData_;

    static unsigned callbackMessage_;
    static unsigned nextIconId_;
};

}  // namespace tt
