#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/code_page.h"
#include "toolkit/backend.h"
#include "toolkit/gfx/font.h"

// The handle types of windows.h, without dragging its macros into every includer.
struct HWND__;
struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct HICON__;

namespace tt::win32 {

class NotifyIconHook;

// An icon handle made from pixel words 0xFFRRGGBB, rows top-down; null when there are no
// pixels. The caller destroys it (DestroyIcon).
HICON__* MakeIcon(int width, int height, const uint32_t* pixels);

// The toolkit's window system on Win32: borderless pop-up windows owned by one hidden
// application window that carries the tool-window style, so that no window of the program
// gets a taskbar button. Every window shows a DIB section that Present fills. GUI thread
// only, except Wake().
//
// Scale: the process is aware of each monitor's DPI, so nothing is stretched by the system.
// The toolkit's screen coordinates are the device pixels divided by one whole factor, the
// primary monitor's at start (or `scale` 1..3, the user's); each window shows every pixel as a
// block of its own monitor's factor, which follows the window to a monitor of another DPI.
class Win32Backend : public ui::Backend {
  public:
    explicit Win32Backend(const std::string& title = "", int scale = 0);
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    // ui::Backend
    void SetEventSink(ui::EventSink* sink) override { sink_ = sink; }
    int CreateTopWindow(const ui::WindowStyle& style, const std::string& title) override;
    void DestroyWindow(int window) override;
    void SetTitle(int window, const std::string& title) override;
    void SetBounds(int window, ui::Rect bounds) override;
    void ShowWindow(int window, bool visible, bool activate) override;
    void Activate(int window) override;
    void Present(int window, const uint32_t* pixels, int width, int height,
                 ui::Rect dirty) override;
    void SetCapture(int window) override;
    void ReleaseCapture() override;
    void SetCursor(ui::Cursor cursor) override;
    void BeginSystemMove(int window, std::function<void(int, int)> done) override;
    bool DispatchPending() override;
    void Wait(int ms) override;
    void Wake() override;
    int64_t MonotonicMs() override;
    TDateTime WallClock() override;
    int SetTimer(int intervalMs) override;
    void KillTimer(int timer) override;
    int DoubleClickTime() override;
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned flags) override;
    void Beep(int type) override;
    ui::Rect ScreenRect() override;
    ui::Rect WorkArea() override;
    std::vector<ui::Monitor> Monitors() override;
    int TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) override;
    void ShowTrayIcon(const ui::TrayIcon& icon) override;
    void SetTrayTip(const std::string& tip) override;
    void HideTrayIcon() override;
    std::unique_ptr<ui::TrayIconHost> AttachNativeTray(int window, unsigned iconId) override;
    // The balloon of the tray icon attached last (AttachNativeTray) while it is shown.
    bool ShowNotification(const ui::Notification& notification) override;
    bool ShowTaskbarButton(bool show) override;
    std::string ClipboardText() override;
    void SetClipboardText(const std::string& text) override;

    // The native handle of a toolkit window (0 for none), for the few parts that talk to the
    // shell themselves; and the hidden application window that owns them all.
    HWND__* NativeWindow(int window) const;
    HWND__* ApplicationWindow() const { return appWindow_; }
    // The toolkit window of a native handle, 0 for none.
    int WindowOf(HWND__* hwnd) const;
    // The factor of the toolkit's screen coordinates, and the one `window` is shown at.
    int Factor() const { return factor_; }
    int WindowFactor(int window) const;

    // Messages of the application window that the toolkit has no event for (the session's end,
    // a registered message from a second copy): the hook answers true with `result` when it
    // took one.
    using AppMessageHook =
        std::function<bool(unsigned msg, uintptr_t wParam, intptr_t lParam, intptr_t& result)>;
    void SetAppMessageHook(AppMessageHook hook) { appHook_ = std::move(hook); }

    // The windows' message handler; `handled` false sends the message on to the system's.
    intptr_t HandleMessage(HWND__* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam,
                           bool& handled);

  private:
    struct Window {
        HWND__* hwnd = nullptr;
        ui::WindowStyle style;
        HDC__* dc = nullptr;  // memory DC with the DIB section selected
        HBITMAP__* dib = nullptr;
        HBITMAP__* oldBitmap = nullptr;
        uint32_t* bits = nullptr;
        int width = 0;  // of the frame; the section is `factor` times larger each way
        int height = 0;
        int factor = 1;
        std::vector<uint32_t> frame;  // the last frame as presented, for a change of factor
        ui::Rect bounds;              // in the toolkit's coordinates
        bool tracking = false;        // asked for WM_MOUSELEAVE
    };

    void Queue(const ui::Event& event);
    void Deliver();
    void FreeBuffer(Window& w);
    bool MakeBuffer(Window& w, int width, int height);
    Window* Find(int window);
    // The device pixel of a toolkit coordinate, and back (rounding down).
    int ToDevice(int v) const { return v * factor_; }
    int FromDevice(int v) const;
    ui::Rect FromDevice(const ui::Rect& r) const;
    void ApplyBounds(Window& w);
    void DpiChanged(Window& w, unsigned dpi);

    ui::EventSink* sink_ = nullptr;
    int scaleSetting_ = 0;
    int factor_ = 1;
    AppMessageHook appHook_;
    HWND__* appWindow_ = nullptr;
    NotifyIconHook* balloonIcon_ = nullptr;  // see ShowNotification
    std::map<int, Window> windows_;
    int nextWindow_ = 1;
    std::set<int> timers_;
    int nextTimer_ = 1;
    std::deque<ui::Event> queue_;
    // Inside a call that makes the system send messages at once (showing, activating,
    // destroying): what they report waits for the loop instead of re-entering the program.
    int quiet_ = 0;
    ui::Cursor cursor_ = ui::Cursor::Default;
    HICON__* trayIcon_ = nullptr;
    bool trayShown_ = false;
};

// Native text drawn by GDI into the toolkit's pixels: measured and drawn in the font's own
// face, without smoothing, so that a glyph's pixels are either the text colour or untouched.
class GdiFontEngine : public FontEngine {
  public:
    GdiFontEngine();
    ~GdiFontEngine() override;
    GdiFontEngine(const GdiFontEngine&) = delete;
    GdiFontEngine& operator=(const GdiFontEngine&) = delete;

    TFontMetrics Metrics(const TFont& font) override;
    int TextWidth(const TFont& font, std::string_view text) override;
    void DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont& font,
                    std::string_view text, TColor color) override;

  private:
    HFONT__* Select(const TFont& font);

    HDC__* dc_ = nullptr;
    std::map<std::tuple<std::string, int, bool>, HFONT__*> fonts_;
};

}  // namespace tt::win32
