#pragma once
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/backend.h"

namespace tt::headless {

// A window system without a display: virtual clocks that tests move, synthetic input, and a
// record of everything the program showed or asked. Only the GUI thread may call it, except
// Wake().
class HeadlessBackend : public ui::Backend {
  public:
    struct Window {
        ui::WindowStyle style;
        std::string title;
        ui::Rect bounds;
        bool visible = false;
        int width = 0;  // of the last presented buffer
        int height = 0;
        // What the screen shows: width x height pixels, each a block of scale x scale.
        int scale = 1;
        std::vector<uint32_t> pixels;
        int presents = 0;
        bool minimized = false;  // to its taskbar button; showing or hiding it again clears it
        ui::Rect lastPresent;    // the part the last present copied
    };
    struct MessageBoxRecord {
        std::string text;
        std::string caption;
        unsigned flags = 0;
        int answer = 0;
    };

    HeadlessBackend();

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
    void SetCapture(int window) override { capture_ = window; }
    void ReleaseCapture() override { capture_ = 0; }
    void SetCursor(ui::Cursor cursor) override { cursor_ = cursor; }
    void BeginSystemMove(int window, std::function<void(int, int)> done) override;
    bool DispatchPending() override;
    void Wait(int ms) override;
    void Wake() override;
    int64_t MonotonicMs() override { return monotonic_; }
    TDateTime WallClock() override { return wall_; }
    int SetTimer(int intervalMs) override;
    void KillTimer(int timer) override;
    int DoubleClickTime() override { return 500; }
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned flags) override;
    void Beep(int type) override { beeps_.push_back(type); }
    ui::Rect ScreenRect() override { return screen_; }
    ui::Rect WorkArea() override { return workArea_; }
    std::vector<ui::Monitor> Monitors() override;
    int TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) override;
    void ShowTrayIcon(const ui::TrayIcon& icon) override { tray_ = icon; }
    void SetTrayTip(const std::string& tip) override {
        if (tray_) tray_->tip = tip;
    }
    void HideTrayIcon() override { tray_.reset(); }
    bool TrayAvailable() override { return trayAvailable_; }
    bool ShowNotification(const ui::Notification& notification) override {
        notifications_.push_back(notification);
        return true;
    }
    bool MinimizeWindow(int window) override;
    std::string ClipboardText() override { return clipboard_; }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }

    // Time. Advance moves both clocks and fires every timer as it falls due, in time order,
    // letting the program handle each. Stall moves both clocks as if the GUI thread had been
    // busy: each timer that fell due fires once, afterwards.
    void Advance(int64_t ms);
    void Stall(int64_t ms);
    // Sets the wall clock alone; a running program is told at once, as a system tells its
    // programs that the clock was set.
    void SetWallClock(TDateTime now);
    // Told the new monotonic time whenever virtual time moves, also inside the program's own
    // waits, so a simulated device on the same virtual time keeps pace with the backend.
    void SetTimeHook(std::function<void(int64_t)> hook) { timeHook_ = std::move(hook); }
    // Wait() sleeps at most this long in real time for a Wake() before it moves virtual time.
    void SetRealWaitLimit(int ms) { realWaitLimitMs_ = ms; }

    // Input, in the window's client coordinates, handled by the program at once.
    void MouseDown(int window, int x, int y, ui::MouseButton button, unsigned shift = 0);
    void MouseMove(int window, int x, int y, unsigned shift = 0);
    void MouseUp(int window, int x, int y, ui::MouseButton button, unsigned shift = 0);
    // Wheel notches times 120, positive away from the user.
    void MouseWheel(int window, int x, int y, int delta, unsigned shift = 0);
    void KeyDown(ui::Key key, unsigned shift = 0);  // to the active window
    void Char(char32_t ch, unsigned shift = 0);
    void TrayInput(ui::TrayMouse what, int screenX, int screenY);
    void RequestClose(int window);

    // Answers for the next message boxes (IDOK ...); an unanswered box gets OK if it has that
    // button, else Cancel if it has that, else No.
    void QueueMessageBoxAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
    // Answer for the next pop-up menu: the caption of the entry to choose, with or without
    // its "&"; an unanswered menu is dismissed.
    void QueueMenuChoice(const std::string& caption) { menuChoices_.push_back(caption); }
    const std::vector<std::vector<ui::MenuEntry>>& Menus() const { return menus_; }
    const std::vector<int>& Beeps() const { return beeps_; }
    const std::optional<ui::TrayIcon>& Tray() const { return tray_; }
    const std::vector<ui::Notification>& Notifications() const { return notifications_; }

    // Monitors changed: the program hears of it at once.
    void SetScreen(ui::Rect screen, ui::Rect workArea);
    // Several monitors, the primary first (which SetScreen then describes).
    void SetMonitors(std::vector<ui::Monitor> monitors);
    // The whole factor windows are shown at from their next present on, as on a desktop
    // drawn larger.
    void SetScale(int factor) { scale_ = std::max(factor, 1); }
    // A desktop without a notification area: the tray icon is kept but nobody shows it.
    void SetTrayAvailable(bool value) { trayAvailable_ = value; }
    const Window* WindowInfo(int window) const;
    int ActiveWindow() const { return active_; }
    int CaptureWindow() const { return capture_; }
    ui::Cursor CurrentCursor() const { return cursor_; }
    int TimerCount() const { return static_cast<int>(timers_.size()); }

  private:
    struct Timer {
        int interval = 0;
        int64_t due = 0;
        bool queued = false;
    };
    struct Press {
        int window = 0;
        int x = 0;
        int y = 0;
        ui::MouseButton button = ui::MouseButton::Left;
        int64_t at = 0;
    };
    struct Move {
        int window = 0;
        int grabX = 0;  // screen point of the press
        int grabY = 0;
        ui::Rect start;
        std::function<void(int, int)> done;
    };

    void Queue(const ui::Event& event);
    void Pump();
    // Sends a mouse event to the captured window if there is one.
    void QueueMouse(ui::EventKind kind, int window, int x, int y, ui::MouseButton button,
                    unsigned shift);
    void PointerTo(int window);
    void QueueDueTimers();
    void TimeMoved();
    bool HasPending() const;
    Window& Get(int window);

    ui::EventSink* sink_ = nullptr;
    std::map<int, Window> windows_;
    int nextWindow_ = 1;
    int active_ = 0;
    int capture_ = 0;
    int pointerWindow_ = 0;
    ui::Cursor cursor_ = ui::Cursor::Default;
    std::optional<Move> move_;
    std::optional<Press> lastPress_;

    std::deque<ui::Event> queue_;
    std::map<int, Timer> timers_;
    int nextTimer_ = 1;
    int64_t monotonic_ = 0;
    TDateTime wall_ = 0;
    int realWaitLimitMs_ = 20;
    std::function<void(int64_t)> timeHook_;

    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    bool woken_ = false;

    ui::Rect screen_{0, 0, 1024, 768};
    ui::Rect workArea_{0, 0, 1024, 740};
    std::vector<ui::Monitor> monitors_;  // empty: the one of screen_ and workArea_
    int scale_ = 1;
    std::deque<int> answers_;
    std::vector<MessageBoxRecord> boxes_;
    std::deque<std::string> menuChoices_;
    std::vector<std::vector<ui::MenuEntry>> menus_;
    std::vector<int> beeps_;
    std::optional<ui::TrayIcon> tray_;
    std::vector<ui::Notification> notifications_;
    bool trayAvailable_ = true;
    std::string clipboard_;
};

}  // namespace tt::headless
