#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "toolkit/backend.h"
#include "toolkit/badge.h"
#include "toolkit/component.h"
#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/ui_thread.h"

namespace tt {

class TForm;
class TTimer;
class StandInTray;

// The pixel words of an icon for the tray (ui::TrayIcon): its fuchsia key made transparent.
std::vector<uint32_t> TrayIconPixels(const Bitmap& icon);

// Where a hint of `size` shows for the pointer at `pointer` (screen pixels).
TPoint HintPlace(TPoint pointer, TSize size, const TRect& workArea);

// The one application object: title, the forms in creation order, the message loop, hints and
// the handler that shows an error escaping any event handler. One exists at a time; the
// controls find it through Current().
class Application : public TComponent, public UiThread, public ui::EventSink {
  public:
    explicit Application(ui::Backend& backend);
    ~Application() override;

    static Application& Current();
    static Application* CurrentOrNull();
    ui::Backend& Backend() const { return backend_; }

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // Creates a form owned by the application and runs its OnCreate (an error there is shown
    // and creation goes on). The first form created is the main form.
    template <class T, class... Args>
    T& CreateForm(Args&&... args) {
        T* form = new T(this, std::forward<Args>(args)...);  // owned: released with the app
        AddForm(*form);
        return *form;
    }
    TForm* MainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
    const std::vector<TForm*>& Forms() const { return forms_; }
    TForm* FindForm(std::string_view name) const;
    TForm* ActiveForm() const;

    // Runs the loop until the main form closes or Terminate is called.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // UiThread
    void Post(std::function<void()> fn) override;
    void ProcessMessages() override;
    void WaitForMessages(int ms) override;
    bool WatchHandle(int handle, std::function<void()> ready) override {
        return backend_.WatchHandle(handle, std::move(ready));
    }
    void UnwatchHandle(int handle) override { backend_.UnwatchHandle(handle); }

    // Shows the error's text in a message box titled with Title(), with the error icon; a
    // full stop is added when the text's last character sorts after ".".
    void HandleException(const std::exception& error);
    // Runs fn, turning an error that escapes it into HandleException.
    void Guard(const std::function<void()>& fn);

    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);
    void MessageBeep(int type);
    // The time within which a second click at the same place is a double click, in ms.
    int DoubleClickTime() const { return backend_.DoubleClickTime(); }
    int ScreenWidth() const;
    int ScreenHeight() const;
    // The primary monitor's work area.
    TRect WorkArea() const;
    // The work area and the whole rectangle of the monitor that a window at `bounds` is on
    // (ui::MonitorOf): where it snaps, is clamped and shows its corner.
    TRect WorkAreaOf(const TRect& bounds) const;
    TRect MonitorRectOf(const TRect& bounds) const;
    // The application-wide cursor: crDefault lets each control show its own.
    TCursor ScreenCursor() const { return screenCursor_; }
    void SetScreenCursor(TCursor cursor);

    // Hints: shown after HintPause over a control with ShowHint and a hint text, hidden after
    // HintHidePause or when the pointer moves to another control.
    static constexpr int kHintPause = 500;
    static constexpr int kHintShortPause = 50;
    static constexpr int kHintHidePause = 2500;
    void CancelHint();
    bool HintShowing() const { return hintShowing_; }
    const std::string& HintText() const { return hintText_; }
    int HintWindowId() const { return hintWindow_; }
    const Bitmap& HintBuffer() const { return hintBuffer_; }

    // The notification-area icon; the handler gets the pointer's screen position.
    std::function<void(ui::TrayMouse what, TPoint screen)> OnTrayMouse;
    // Monitors came, went, or changed their size or work area.
    std::function<void()> OnDisplayChange;
    // The wall clock was set, or the computer woke up: whatever waits for a time of day
    // reckons again.
    TNotifyEvent OnTimeChange;
    void ShowTrayIcon(const std::string& tip, const Bitmap* icon);
    void HideTrayIcon();
    // An icon for the notification area's shell: the system's own where the backend has one
    // (its notifications then come through `window`'s procedure), else the toolkit's stand-in.
    std::unique_ptr<ui::TrayIconHost> AttachTrayIcon(int window, unsigned iconId);

    // The toolkit's own calls, each for the class its Badge names alone.
    // The pointer is over `hovered` (null: over none of ours) at `screen`.
    void UpdateHint(Badge<TForm>, TControl* hovered, TPoint screen);
    // A control's cursor or the control under the pointer changed.
    void UpdateCursor(Badge<TForm>) { ApplyCursor(); }
    void UpdateCursor(Badge<TControl>) { ApplyCursor(); }
    // A control goes away, hides or is disabled: its hint goes, and a form leaves the list.
    void ForgetControl(Badge<TControl>, TControl* control);
    int StartTimer(Badge<TTimer>, TTimer& timer, int interval);
    void StopTimer(Badge<TTimer>, int id);
    // The timer's event now, from the loop, as if it had fallen due.
    void FireTimerSoon(Badge<TTimer>, int id);

  private:
    // ui::EventSink: for the backend, through the sink it was given.
    void HandleEvent(const ui::Event& event) override;
    void ApplyCursor();
    void AddForm(TForm& form);
    TForm* FormOfWindow(int window) const;
    void RunPosted();
    void PaintForms();
    void ShowHintNow();
    void HideHint();
    void FireTimer(int id);

    ui::Backend& backend_;
    std::string title_;
    std::vector<TForm*> forms_;
    bool terminated_ = false;
    TCursor screenCursor_ = crDefault;

    std::mutex postMutex_;
    std::deque<std::function<void()>> posted_;
    bool runningPosted_ = false;

    std::vector<std::pair<int, TTimer*>> timers_;

    TControl* hintControl_ = nullptr;
    TPoint hintPoint_;
    int hintTimer_ = 0;
    bool hintTimerShows_ = false;  // the pending hint timer shows (true) or hides the hint
    bool hintShowing_ = false;
    std::string hintText_;
    int hintWindow_ = 0;
    Bitmap hintBuffer_;

    std::unique_ptr<StandInTray> standInTray_;  // made when the first icon wants the stand-in
};

// A message-driven timer: OnTimer runs on the GUI thread every Interval milliseconds while
// Enabled; ticks that fall due while the thread is busy come as one.
class TTimer : public TComponent {
  public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    int Interval() const { return interval_; }
    void SetInterval(int value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    TNotifyEvent OnTimer;

    // Lets the next `beats` events pass unrun while the timer stays Enabled and keeps its
    // beat: the event after them comes when it would have come anyway. A thread with nothing to
    // do each second then sleeps through them.
    void SkipBeats(int64_t beats);
    // Back on the beat at once: the next event comes when it would have come had none been
    // skipped (one due this very moment comes now).
    void Resume();
    bool Skipping() const { return skipping_; }
    // Milliseconds to the next beat, counted from the last event (or the start).
    int64_t MsToNextBeat() const;
    // The application's loop hands the timer its event here.
    void Fire(Badge<Application>);

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    void Update();
    void Start(int64_t delay);
    int interval_ = 1000;
    bool enabled_ = true;
    int64_t beat_ = 0;       // the monotonic time of the last event, or of the start
    bool skipping_ = false;  // beats pass unrun until skipUntil_
    bool single_ = false;    // the backend's timer is set once, for the next event run
    int64_t skipUntil_ = 0;
    int id_ = 0;
};

}  // namespace tt
