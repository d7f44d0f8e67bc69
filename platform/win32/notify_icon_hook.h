#pragma once
#include <cstdint>
#include <functional>
#include <string>

struct HWND__;
struct HICON__;

namespace tt::win32 {

// The Windows side of the notification-area icon: the shell's record in its first, 88-byte
// version, the callback message registered by name, and the owner form's window procedure
// taken over so that the shell's notifications for this icon reach us while everything else
// goes on to the form as before. The click timing and the menu stay with the component.
class NotifyIconHook {
  public:
    // Shell operations and record flags, with the shell's values.
    enum : unsigned { kAdd = 0, kModify = 1, kDelete = 2 };
    enum : unsigned { kFlagMessage = 1, kFlagIcon = 2, kFlagTip = 4 };

    // Registers the callback message and loads the default (Windows logo) icon; `iconId` is the
    // icon's identifier towards the shell.
    explicit NotifyIconHook(unsigned iconId);
    // Gives the window its previous procedure back.
    ~NotifyIconHook();
    NotifyIconHook(const NotifyIconHook&) = delete;
    NotifyIconHook& operator=(const NotifyIconHook&) = delete;

    // Takes over the window's procedure; false when the system gave no previous procedure
    // back (or every hook place is taken), and the window is then left as it was.
    bool Attach(HWND__* owner);
    bool Hooked() const { return previous_ != 0; }
    HWND__* Owner() const { return owner_; }
    unsigned IconId() const { return iconId_; }
    static unsigned CallbackMessage();
    HICON__* DefaultIcon() const { return defaultIcon_; }

    // The picture for the next shell calls, pixel words 0xFFRRGGBB row by row; none (null or
    // an empty size) brings the default icon back.
    void SetIcon(int width, int height, const uint32_t* pixels);
    // One shell call: the record filled with the owner, the identifier, the flags, the
    // callback message, the icon and the tip cut to 63 bytes of the ANSI code page. The shell's
    // answer is returned for tests; the program ignores it.
    bool Notify(unsigned operation, unsigned flags, const std::string& tipUtf8);
    // The icon's balloon (the Unicode record, so that no letter is lost to the code page);
    // false while the icon is not in the notification area.
    bool Balloon(const std::string& titleUtf8, const std::string& textUtf8);
    // How many times the icon went into the notification area: the first add, and again each
    // time the shell started anew (its "TaskbarCreated" message) while the icon was shown.
    int Adds() const { return adds_; }
    static unsigned TaskbarCreatedMessage();

    // The mouse message (0x201 left down, 0x203 left double click, 0x204 right down, ...)
    // that the shell reports for this icon; runs inside the owner's window procedure.
    std::function<void(unsigned mouseMessage)> OnMouse;

    // What the component does around a notification.
    void BringOwnerToFront() const;
    static void CursorPos(int& x, int& y);
    static int DoubleClickTime();
    // Shows or hides the application's own top-level window, the one with the taskbar button.
    static void ShowApplicationWindow(HWND__* appWindow, bool show);

    // Every message of the owner window passes here while hooked.
    long HandleMessage(HWND__* hwnd, unsigned msg, unsigned wParam, long lParam);

  private:
    template <typename Record>
    Record RecordOf(unsigned size, unsigned flags) const;

    unsigned iconId_;
    HWND__* owner_ = nullptr;
    long previous_ = 0;  // the window procedure before ours, as SetWindowLongA returned it
    int slot_ = -1;
    HICON__* defaultIcon_ = nullptr;
    HICON__* icon_ = nullptr;  // owned
    // The icon is shown, with this tip: what a restarted shell must be given again.
    bool shown_ = false;
    std::string tip_;
    int adds_ = 0;
};

}  // namespace tt::win32
