#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/backend.h"

class QApplication;
class QSocketNotifier;
class QSystemTrayIcon;
class QWidget;
class QWindow;

namespace tt::qt {

class QtFontEngine;
class Surface;
class LoopHelper;

// The toolkit's window system on Qt 6. Qt only shows our finished buffers, reports input and
// time, and supplies what must look native: the tray icon, pop-up menus, message boxes.
//
// Qt's callbacks never run the program: they queue what happened, and the queue is handed to
// the event sink from DispatchPending, outside any Qt window's own event handling, so a handler
// may destroy the window it came from. Inside a native modal loop (menu, message box) the program
// gets a turn of its loop whenever something comes, so timers, posted work and painting go on
// under an open message box, as they do on Windows.
//
// GUI thread only, except Wake().
class QtBackend : public ui::Backend {
  public:
    // Makes the QApplication when there is none yet (and owns it then). While it lives, canvases
    // draw text with Qt's fonts. `scale` 1..3 shows every window at that factor; 0 follows
    // the desktop's scale, rounded to a whole factor.
    QtBackend(int& argc, char** argv, int scale = 0);
    ~QtBackend() override;
    QtBackend(const QtBackend&) = delete;
    QtBackend& operator=(const QtBackend&) = delete;

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
    bool WatchHandle(int handle, std::function<void()> ready) override;
    void UnwatchHandle(int handle) override;
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned flags) override;
    void Beep(int type) override;
    ui::Rect ScreenRect() override;
    ui::Rect WorkArea() override;
    std::vector<ui::Monitor> Monitors() override;
    int TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) override;
    void EndModalLoops() override;
    void ShowTrayIcon(const ui::TrayIcon& icon) override;
    void SetTrayTip(const std::string& tip) override;
    void HideTrayIcon() override;
    bool TrayAvailable() override;
    // The desktop's notification service over D-Bus; where there is none, the tray icon's own
    // message.
    bool ShowNotification(const ui::Notification& notification) override;
    bool MinimizeWindow(int window) override;
    std::string ClipboardText() override;
    void SetClipboardText(const std::string& text) override;

    // False on a platform whose windows go where the compositor puts them (Wayland).
    bool CanPlaceWindows() const;

    // The native objects, for tests and the smoke; null when there is none.
    QWindow* NativeWindow(int window) const;
    QSystemTrayIcon* NativeTrayIcon() const { return tray_.get(); }
    int ActiveWindow() const { return active_; }
    int CaptureWindow() const { return capture_; }
    ui::Cursor CurrentCursor() const { return cursor_; }

    // Called by the Qt side.
    struct Input {
        ui::EventKind kind;
        int x = 0;  // window coordinates
        int y = 0;
        int globalX = 0;
        int globalY = 0;
        ui::MouseButton button = ui::MouseButton::Left;
        unsigned shift = 0;
        ui::Key key = ui::kKeyNone;
        char32_t ch = 0;
        int wheel = 0;
        int64_t time = 0;  // ms, when the window system saw it; 0 for unknown
    };
    void OnInput(int window, const Input& input);
    void OnFocusWindowChanged(QWindow* focused);
    void DisplayChanged();
    void OnTimer(int qtTimer);
    void OnWake();
    void Drain();
    void ModalTurn();

  private:
    struct Pending {
        ui::Event event;
        std::function<void()> call;  // set: run this instead of handing over the event
        int globalX = 0;             // the pointer on the screen, for mouse events
        int globalY = 0;
    };
    struct Timer {
        int qtId = 0;
        bool queued = false;
    };
    struct Watched {
        std::unique_ptr<QSocketNotifier> notifier;
        std::function<void()> ready;
        uint64_t serial = 0;  // tells a later watch of the same descriptor apart
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
        int offsetX = 0;  // the pointer's place within the window
        int offsetY = 0;
        bool native = false;  // the window system moves it; we only learn that it ended
        std::function<void(int, int)> done;
    };

    void Enqueue(Pending pending);
    void EnqueueEvent(const ui::Event& event) { Enqueue(Pending{event, {}}); }
    void RequestModalTurn();
    void HandleReady(int handle, uint64_t serial);
    // Linux: a timer that the kernel cancels when the wall clock is set (also on waking up).
    void WatchClockSet();
    void ArmClockSet();
    bool FollowMove(const Input& input);
    void FinishMove();
    int WindowOf(const QWindow* window) const;
    Surface* Find(int window) const;
    // Runs a box's or menu's own loop, with `widget` listed for EndModalLoops.
    int RunModal(QWidget* widget, const std::function<int()>& exec);
    // The notification as the tray icon's message; false while no icon shows.
    bool ShowTrayMessage(const ui::Notification& notification);

    std::unique_ptr<QApplication> ownApp_;
    std::unique_ptr<QtFontEngine> fonts_;
    std::unique_ptr<LoopHelper> helper_;
    ui::EventSink* sink_ = nullptr;

    std::map<int, std::unique_ptr<Surface>> windows_;
    int nextWindow_ = 1;
    int active_ = 0;
    int capture_ = 0;
    int pointerWindow_ = 0;  // the last of ours (not a pop-up) the pointer was over
    ui::Cursor cursor_ = ui::Cursor::Default;
    std::optional<Press> lastPress_;                // the first press of a possible double click
    std::optional<std::pair<int, int>> pressedAt_;  // the last press handed over, on the screen
    std::optional<Move> move_;

    std::deque<Pending> queue_;
    int modalDepth_ = 0;
    std::vector<QWidget*> modalWidgets_;  // the boxes and menus open now, innermost last
    bool modalsEnded_ = false;            // EndModalLoops: no box or menu waits any more
    int drainDepth_ = 0;
    bool drainPosted_ = false;

    std::map<int, Timer> timers_;  // by our id
    std::map<int, int> timerIds_;  // Qt's id -> ours
    int nextTimer_ = 1;
    int waitTimer_ = 0;
    bool waitTimedOut_ = false;
    bool woken_ = false;
    std::atomic<bool> wakePosted_{false};

    std::map<int, Watched> watched_;  // by descriptor
    uint64_t nextWatch_ = 1;
    int clockSet_ = -1;

    std::unique_ptr<QSystemTrayIcon> tray_;
    std::optional<ui::TrayIcon> trayShown_;
};

}  // namespace tt::qt
