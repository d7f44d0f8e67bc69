#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"

// What the toolkit needs of a window system, and nothing more. The toolkit draws every pixel
// itself; a backend only shows finished buffers, reports input, keeps time and offers the few
// services that must look native (menus, message boxes, the tray, the beep).
namespace tt::ui {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// The part of a frame of width x height pixels that a present must copy: `dirty` cut to the
// frame, empty when nothing of it is inside.
inline Rect ClipToFrame(Rect dirty, int width, int height) {
    dirty.left = std::max(dirty.left, 0);
    dirty.top = std::max(dirty.top, 0);
    dirty.right = std::min(dirty.right, width);
    dirty.bottom = std::min(dirty.bottom, height);
    if (dirty.left >= dirty.right || dirty.top >= dirty.bottom) return {};
    return dirty;
}

// Copies `part` (already clipped) of a frame of `width` pixels a row into a surface of the same
// size whose rows are `pitch` bytes apart: what every backend does to show a present.
inline void CopyFramePart(const uint32_t* pixels, int width, Rect part, unsigned char* surface,
                          ptrdiff_t pitch) {
    const size_t bytes = static_cast<size_t>(part.Width()) * 4;
    for (int y = part.top; y < part.bottom; ++y) {
        const uint32_t* from = pixels + static_cast<ptrdiff_t>(y) * width + part.left;
        std::memcpy(surface + y * pitch + static_cast<ptrdiff_t>(part.left) * 4, from, bytes);
    }
}

// The whole factor the program is drawn at: crisp pixels need a whole number, and more than
// three times the size the meter was drawn for helps nobody. `setting` 1..3 is the user's
// choice; 0 (or anything else) follows the desktop's `desktopRatio`, rounded to the nearest.
inline int WholeScale(int setting, double desktopRatio) {
    if (setting >= 1 && setting <= 3) return setting;
    if (!(desktopRatio >= 1)) return 1;  // also NaN
    return std::clamp(static_cast<int>(std::lround(desktopRatio)), 1, 3);
}

// As CopyFramePart, into a surface `factor` times the frame's size each way: every pixel of
// `part` becomes a factor x factor block (nearest neighbour, so the skin stays sharp).
inline void CopyFramePartScaled(const uint32_t* pixels, int width, Rect part,
                                unsigned char* surface, ptrdiff_t pitch, int factor) {
    if (factor <= 1) {
        CopyFramePart(pixels, width, part, surface, pitch);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(part.Width()) * static_cast<size_t>(factor) * 4;
    for (int y = part.top; y < part.bottom; ++y) {
        const uint32_t* from = pixels + static_cast<ptrdiff_t>(y) * width;
        unsigned char* first = surface + static_cast<ptrdiff_t>(y) * factor * pitch;
        auto* to = reinterpret_cast<uint32_t*>(first) + static_cast<ptrdiff_t>(part.left) * factor;
        for (int x = part.left; x < part.right; ++x) {
            for (int i = 0; i < factor; ++i) *to++ = from[x];
        }
        const unsigned char* made = first + static_cast<ptrdiff_t>(part.left) * factor * 4;
        for (int i = 1; i < factor; ++i) {
            std::memcpy(first + i * pitch + static_cast<ptrdiff_t>(part.left) * factor * 4, made,
                        rowBytes);
        }
    }
}

inline Rect ScaleRect(Rect r, int factor) {
    return {r.left * factor, r.top * factor, r.right * factor, r.bottom * factor};
}

// One display of the desktop, in the coordinates the toolkit places windows in.
struct Monitor {
    Rect bounds;
    Rect workArea;  // without the panels and task bars
    bool operator==(const Monitor&) const = default;
};

// The monitor a window at `bounds` is on: the one under its centre, else the one it overlaps
// most, else the first (the primary), where a window of a monitor that has gone belongs.
inline size_t MonitorOf(const std::vector<Monitor>& monitors, Rect bounds) {
    const int cx = bounds.left + bounds.Width() / 2;
    const int cy = bounds.top + bounds.Height() / 2;
    size_t best = 0;
    long long bestArea = 0;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const Rect& m = monitors[i].bounds;
        if (cx >= m.left && cx < m.right && cy >= m.top && cy < m.bottom) return i;
        const long long w = std::min(m.right, bounds.right) - std::max(m.left, bounds.left);
        const long long h = std::min(m.bottom, bounds.bottom) - std::max(m.top, bounds.top);
        if (w > 0 && h > 0 && w * h > bestArea) {
            bestArea = w * h;
            best = i;
        }
    }
    return best;
}

enum class MouseButton { Left, Right, Middle };

// Modifier keys and held buttons, as bits; the toolkit's TShiftState uses the same values.
enum ShiftBit : unsigned {
    kShiftKey = 1,
    kAltKey = 2,
    kCtrlKey = 4,
    kLeftButton = 8,
    kRightButton = 16,
    kMiddleButton = 32,
    kDoubleClick = 64,
};

// The toolkit's key codes (Event::key, and the key of TWinControl::KeyDown and OnKeyDown), as
// Dear ImGui has its ImGuiKey: the keys the controls and the forms act on, the modifiers, digits,
// letters and function keys. The values are the Windows virtual-key codes, so that the Win32
// backend hands its own codes on unchanged (and with them keys that have no name here); the
// other backends map their keys to these names and leave out the keys that have none.
enum Key : int {
    kKeyNone = 0,
    kKeyBack = 0x08,
    kKeyTab = 0x09,
    kKeyReturn = 0x0D,
    kKeyShift = 0x10,
    kKeyControl = 0x11,
    kKeyAlt = 0x12,
    kKeyPause = 0x13,
    kKeyCapsLock = 0x14,
    kKeyEscape = 0x1B,
    kKeySpace = 0x20,
    kKeyPageUp = 0x21,
    kKeyPageDown = 0x22,
    kKeyEnd = 0x23,
    kKeyHome = 0x24,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyInsert = 0x2D,
    kKeyDelete = 0x2E,
    // Digits and letters are their characters' codes ('0', 'A'), each range in order.
    // clang-format off
    kKey0 = 0x30, kKey1 = 0x31, kKey2 = 0x32, kKey3 = 0x33, kKey4 = 0x34, kKey5 = 0x35,
    kKey6 = 0x36, kKey7 = 0x37, kKey8 = 0x38, kKey9 = 0x39,
    kKeyA = 0x41, kKeyB = 0x42, kKeyC = 0x43, kKeyD = 0x44, kKeyE = 0x45, kKeyF = 0x46,
    kKeyG = 0x47, kKeyH = 0x48, kKeyI = 0x49, kKeyJ = 0x4A, kKeyK = 0x4B, kKeyL = 0x4C,
    kKeyM = 0x4D, kKeyN = 0x4E, kKeyO = 0x4F, kKeyP = 0x50, kKeyQ = 0x51, kKeyR = 0x52,
    kKeyS = 0x53, kKeyT = 0x54, kKeyU = 0x55, kKeyV = 0x56, kKeyW = 0x57, kKeyX = 0x58,
    kKeyY = 0x59, kKeyZ = 0x5A,
    // The number pad's digits while Num Lock is on, and the function keys, each range in order.
    kKeyNumpad0 = 0x60, kKeyNumpad1 = 0x61, kKeyNumpad2 = 0x62, kKeyNumpad3 = 0x63,
    kKeyNumpad4 = 0x64, kKeyNumpad5 = 0x65, kKeyNumpad6 = 0x66, kKeyNumpad7 = 0x67,
    kKeyNumpad8 = 0x68, kKeyNumpad9 = 0x69,
    kKeyF1 = 0x70, kKeyF2 = 0x71, kKeyF3 = 0x72, kKeyF4 = 0x73, kKeyF5 = 0x74, kKeyF6 = 0x75,
    kKeyF7 = 0x76, kKeyF8 = 0x77, kKeyF9 = 0x78, kKeyF10 = 0x79, kKeyF11 = 0x7A, kKeyF12 = 0x7B,
    kKeyF13 = 0x7C, kKeyF14 = 0x7D, kKeyF15 = 0x7E, kKeyF16 = 0x7F, kKeyF17 = 0x80, kKeyF18 = 0x81,
    kKeyF19 = 0x82, kKeyF20 = 0x83, kKeyF21 = 0x84, kKeyF22 = 0x85, kKeyF23 = 0x86, kKeyF24 = 0x87,
    // clang-format on
};

enum class TrayMouse { LeftDown, LeftDoubleClick, RightDown };

enum class EventKind {
    MouseDown,  // button; shift has kDoubleClick for the second press of a double click
    MouseUp,    // button
    MouseMove,
    MouseLeave,  // the pointer left the window
    KeyDown,     // key: the key's code (Key)
    Char,        // ch: the typed character; shift has kAltKey for an Alt+letter
    Activate,    // window became the active window
    Deactivate,
    Timer,          // timer: the id from SetTimer
    Tray,           // tray, with x, y the pointer on the screen
    CloseRequest,   // the user asked the window to close
    MouseWheel,     // wheel: notches times 120, positive away from the user; x, y as for a move
    DisplayChange,  // monitors came, went, or changed their size or work area
    TimeChange      // the wall clock was set, or the computer woke up: times of day moved
};

struct Event {
    EventKind kind = EventKind::MouseMove;
    int window = 0;
    int x = 0;  // window client coordinates for mouse events
    int y = 0;
    MouseButton button = MouseButton::Left;
    unsigned shift = 0;
    Key key = kKeyNone;
    char32_t ch = 0;
    int timer = 0;
    TrayMouse tray = TrayMouse::LeftDown;
    int wheel = 0;
};

struct WindowStyle {
    bool topmost = false;
    bool toolWindow = false;  // no taskbar button
    bool popup = false;       // hints and drop-down lists: never activates, never takes focus
};

enum class Cursor { Default, Arrow, HandPoint, IBeam, SizeAll, Wait, Cross };

struct MenuEntry {
    std::string caption;  // "&" marks the access key; "-" is a separator
    bool enabled = true;
};

// A few lines the user reads without a window of the program: the desktop's notification,
// or the tray icon's balloon. It goes away by itself.
struct Notification {
    std::string title;
    std::string text;
};

struct TrayIcon {
    std::string tip;
    int width = 0;
    int height = 0;
    // Pixel words 0xFFRRGGBB, row by row; a word whose top byte is 0 is transparent. Empty: the
    // default icon.
    std::vector<uint32_t> pixels;
};

// Message-box flags and answers, with the platform's values.
enum : unsigned {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbAbortRetryIgnore = 0x02,
    kMbYesNoCancel = 0x03,
    kMbYesNo = 0x04,
    kMbRetryCancel = 0x05,
    kMbButtonMask = 0x0F,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
};
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdAbort = 3,
    kIdRetry = 4,
    kIdIgnore = 5,
    kIdYes = 6,
    kIdNo = 7
};

class EventSink {
  public:
    virtual ~EventSink() = default;
    virtual void HandleEvent(const Event& event) = 0;
    // Lets a backend that drives time itself (headless) run the loop's work when it made
    // timers fall due.
    virtual void ProcessMessages() = 0;
};

// A tray icon's calls to the notification area, the parts of its record a call carries (bits)
// and the pointer messages reported for it, by the Windows shell's numbers that every tray
// icon speaks.
enum class TrayCall : unsigned { Add = 0, Modify = 1, Delete = 2 };
enum TrayPart : unsigned { kTrayPartMessage = 1, kTrayPartIcon = 2, kTrayPartTip = 4 };
enum class TrayMessage : unsigned { LeftDown = 0x201, LeftDoubleClick = 0x203, RightDown = 0x204 };

// What one tray icon speaks to: the notification area that holds it. A system with a tray of
// its own with window-message callbacks (Win32) hands one out from Backend::AttachNativeTray:
// the notifications arrive through the owner window's procedure, which it takes over. For the
// other backends, which show one icon over ShowTrayIcon, the toolkit stands in for the Windows
// shell (toolkit/stand_in_tray.h) and Application::AttachTrayIcon hands out its hosts.
class TrayIconHost {
  public:
    virtual ~TrayIconHost() = default;
    // The pointer message for the icon (TrayMessage::LeftDown, ..., or another of the system's
    // mouse messages), with the pointer's screen position at that moment.
    std::function<void(TrayMessage message, int x, int y)> OnMouse;
    // The picture for the next shell calls, pixel words 0xFFRRGGBB with the transparent ones
    // 0; none brings the system's default icon back.
    virtual void SetIcon(int width, int height, const uint32_t* pixels) = 0;
    // One call with the record's parts (kTrayPart... bits) and the tip.
    virtual void Notify(TrayCall call, unsigned parts, const std::string& tip) = 0;
    virtual unsigned CallbackMessage() const = 0;
    virtual int DoubleClickTime() const = 0;
};

class Backend {
  public:
    virtual ~Backend() = default;

    virtual void SetEventSink(EventSink* sink) = 0;

    // Top-level windows; bounds are in screen pixels and equal the client area. On a desktop
    // drawn at a larger scale these are its logical pixels: the backend shows every pixel of a
    // window as a block of the whole factor, and reports input and screens in the same units.
    virtual int CreateTopWindow(const WindowStyle& style, const std::string& title) = 0;
    virtual void DestroyWindow(int window) = 0;
    virtual void SetTitle(int window, const std::string& title) = 0;
    virtual void SetBounds(int window, Rect bounds) = 0;
    virtual void ShowWindow(int window, bool visible, bool activate) = 0;
    virtual void Activate(int window) = 0;
    // The window's whole buffer of pixel words 0xFFRRGGBB, rows top-down without padding;
    // only `dirty` changed since the last call.
    virtual void Present(int window, const uint32_t* pixels, int width, int height, Rect dirty) = 0;
    virtual void SetCapture(int window) = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetCursor(Cursor cursor) = 0;
    // The window follows the pointer while the button is held; `done` gets its final place.
    virtual void BeginSystemMove(int window, std::function<void(int left, int top)> done) = 0;

    // The loop: deliver what is queued (due timers included), sleep until something
    // arrives, wake from any thread.
    virtual bool DispatchPending() = 0;
    virtual void Wait(int ms) = 0;  // ms < 0: no limit
    virtual void Wake() = 0;

    virtual int64_t MonotonicMs() = 0;
    virtual TDateTime WallClock() = 0;
    // A repeating timer; a timer that fell due several times while the thread was busy
    // delivers one event.
    virtual int SetTimer(int intervalMs) = 0;
    virtual void KillTimer(int timer) = 0;
    virtual int DoubleClickTime() = 0;
    // Calls `ready` from the loop whenever the descriptor `handle` can be read, until
    // UnwatchHandle; `ready` must read what waits, or it is called again. False where the
    // backend cannot watch one: the caller asks on a timer instead.
    // By value: the backends that can watch keep it.
    virtual bool WatchHandle(
        int /*handle*/,
        std::function<void()> /*ready*/) {  // NOLINT(performance-unnecessary-value-param)
        return false;
    }
    virtual void UnwatchHandle(int handle) { (void)handle; }

    virtual int ShowMessageBox(const std::string& text, const std::string& caption,
                               unsigned flags) = 0;
    virtual void Beep(int type) = 0;
    // The primary monitor's rectangle and work area.
    virtual Rect ScreenRect() = 0;
    virtual Rect WorkArea() = 0;
    // Every monitor, the primary first; never empty.
    virtual std::vector<Monitor> Monitors() { return {Monitor{ScreenRect(), WorkArea()}}; }
    // Modal; returns the chosen entry's index or -1.
    virtual int TrackPopupMenu(const std::vector<MenuEntry>& entries, int x, int y) = 0;
    // The program must end (a signal asks it to): every message box and menu open on the
    // window thread closes as Escape would close it, so that their loops give the thread back.
    // Where they cannot outlive the loop's turn (headless) there is nothing to do.
    virtual void EndModalLoops() {}
    virtual void ShowTrayIcon(const TrayIcon& icon) = 0;  // adds or modifies
    // Only the tip of the icon shown changed (it does every second on-line): the picture is
    // not handed over again. Nothing happens while no icon is shown.
    virtual void SetTrayTip(const std::string& tip) = 0;
    virtual void HideTrayIcon() = 0;
    // Whether the desktop has a notification area now. An icon shown without one appears when
    // one comes.
    virtual bool TrayAvailable() { return true; }
    // The system's own tray for an icon of `window`; nullptr where there is none. Throws when
    // the window's procedure cannot be taken over.
    virtual std::unique_ptr<TrayIconHost> AttachNativeTray(int window, unsigned iconId) {
        (void)window;
        (void)iconId;
        return nullptr;
    }
    // Shows a desktop notification and returns at once; false where the system has nowhere to
    // show one (and nothing was shown).
    virtual bool ShowNotification(const Notification& notification) {
        (void)notification;
        return false;
    }
    // Minimizes a window to its taskbar button; false where it has none (a tool window) or the
    // system cannot, and the window was left as it was.
    virtual bool MinimizeWindow(int window) {
        (void)window;
        return false;
    }
    // Shows or hides the application window's taskbar button; false where the forms have
    // their own buttons and nothing was done.
    virtual bool ShowTaskbarButton(bool show) {
        (void)show;
        return false;
    }
    virtual std::string ClipboardText() = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
};

}  // namespace tt::ui
