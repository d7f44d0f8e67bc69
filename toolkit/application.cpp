#include "toolkit/application.h"

#include <algorithm>
#include <climits>

#include "base/error.h"
#include "toolkit/form.h"
#include "toolkit/stand_in_tray.h"

namespace tt {

namespace {
Application* current = nullptr;

ui::Cursor ShapeOf(TCursor cursor) {
    switch (cursor) {
        case crArrow:
            return ui::Cursor::Arrow;
        case crHandPoint:
            return ui::Cursor::HandPoint;
        case crIBeam:
            return ui::Cursor::IBeam;
        case crSizeAll:
            return ui::Cursor::SizeAll;
        case crHourGlass:
            return ui::Cursor::Wait;
        case crCross:
            return ui::Cursor::Cross;
        default:
            return ui::Cursor::Default;
    }
}

std::vector<std::string> HintLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}
}  // namespace

Application::Application(ui::Backend& backend) : TComponent(nullptr), backend_(backend) {
    if (current) throw std::logic_error("only one Application at a time");
    current = this;
    backend_.SetEventSink(this);
}

Application::~Application() {
    HideHint();
    if (hintTimer_) backend_.KillTimer(hintTimer_);
    hintTimer_ = 0;
    if (hintWindow_) backend_.DestroyWindow(hintWindow_);
    // Forms go newest first, each told before it starts coming apart.
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) (*it)->DoDestroy({});
    DestroyComponents();
    backend_.SetEventSink(nullptr);
    current = nullptr;
}

Application& Application::Current() {
    if (!current) throw std::logic_error("no Application");
    return *current;
}

Application* Application::CurrentOrNull() {
    return current;
}

void Application::AddForm(TForm& form) {
    forms_.push_back(&form);
    form.DoCreate({});
}

TForm* Application::FindForm(std::string_view name) const {
    for (TForm* f : forms_) {
        if (f->Name() == name) return f;
    }
    return nullptr;
}

TForm* Application::ActiveForm() const {
    for (TForm* f : forms_) {
        if (f->Active()) return f;
    }
    return nullptr;
}

TForm* Application::FormOfWindow(int window) const {
    for (TForm* f : forms_) {
        if (f->WindowId() == window && window != 0) return f;
    }
    return nullptr;
}

void Application::Run() {
    while (!terminated_) {
        ProcessMessages();
        if (terminated_) break;
        WaitForMessages(-1);
    }
}

void Application::Terminate() {
    terminated_ = true;
}

void Application::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(postMutex_);
        posted_.push_back(std::move(fn));
    }
    backend_.Wake();
}

void Application::RunPosted() {
    // One at a time: a posted function that runs a nested loop does not see the next one
    // start before it has returned.
    if (runningPosted_) return;
    runningPosted_ = true;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(postMutex_);
            if (posted_.empty()) break;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        Guard(fn);
    }
    runningPosted_ = false;
}

void Application::ProcessMessages() {
    backend_.DispatchPending();
    RunPosted();
    PaintForms();
}

void Application::WaitForMessages(int ms) {
    {
        std::lock_guard lock(postMutex_);
        if (!posted_.empty() && !runningPosted_) return;
    }
    backend_.Wait(ms);
}

void Application::PaintForms() {
    // Asked after every turn of the loop, for every window, mostly with nothing to paint.
    for (TForm* f : forms_) {
        if (f->PaintWaits()) Guard([f] { f->PaintPending(Badge<Application>{}); });
    }
}

void Application::HandleEvent(const ui::Event& event) {
    Guard([&] {
        switch (event.kind) {
            case ui::EventKind::Timer: {
                if (event.timer == hintTimer_ && hintTimer_ != 0) {
                    backend_.KillTimer(hintTimer_);
                    hintTimer_ = 0;
                    if (hintTimerShows_) {
                        ShowHintNow();
                    } else {
                        HideHint();
                    }
                    return;
                }
                FireTimer(event.timer);
                return;
            }
            case ui::EventKind::TimeChange:
                if (OnTimeChange) {
                    // A copy: the handler may replace itself.
                    const TNotifyEvent handler = OnTimeChange;
                    handler(this);
                }
                return;
            case ui::EventKind::Tray:
                if (OnTrayMouse) OnTrayMouse(event.tray, TPoint{event.x, event.y});
                return;
            case ui::EventKind::DisplayChange:
                if (OnDisplayChange) OnDisplayChange();
                return;
            default:
                break;
        }
        if (TForm* form = FormOfWindow(event.window)) form->HandleInput({}, event);
    });
}

void Application::Guard(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        HandleException(e);
    }
}

void Application::HandleException(const std::exception& error) {
    std::string text = error.what();
    // Bytes compare unsigned, so a text ending in a Polish letter gets its full stop too.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    backend_.ShowMessageBox(text, title_, ui::kMbOk | ui::kMbIconError);
}

int Application::ShowMessageBox(const std::string& text, const std::string& caption,
                                unsigned flags) {
    CancelHint();
    return backend_.ShowMessageBox(text, caption, flags);
}

void Application::MessageBeep(int type) {
    backend_.Beep(type);
}

int Application::ScreenWidth() const {
    return backend_.ScreenRect().Width();
}
int Application::ScreenHeight() const {
    return backend_.ScreenRect().Height();
}

TRect Application::WorkArea() const {
    const ui::Rect r = backend_.WorkArea();
    return TRect{r.left, r.top, r.right, r.bottom};
}

namespace {

TRect ToTRect(const ui::Rect& r) {
    return TRect{r.left, r.top, r.right, r.bottom};
}

}  // namespace

TRect Application::WorkAreaOf(const TRect& bounds) const {
    const std::vector<ui::Monitor> monitors = backend_.Monitors();
    if (monitors.empty()) return WorkArea();
    const ui::Rect b{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
    return ToTRect(monitors[ui::MonitorOf(monitors, b)].workArea);
}

TRect Application::MonitorRectOf(const TRect& bounds) const {
    const std::vector<ui::Monitor> monitors = backend_.Monitors();
    if (monitors.empty()) return TRect{0, 0, ScreenWidth(), ScreenHeight()};
    const ui::Rect b{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
    return ToTRect(monitors[ui::MonitorOf(monitors, b)].bounds);
}

void Application::SetScreenCursor(TCursor cursor) {
    screenCursor_ = cursor;
    ApplyCursor();
}

void Application::ApplyCursor() {
    TCursor shape = screenCursor_;
    if (shape == crDefault) {
        for (TForm* f : forms_) {
            if (!f->Hovered()) continue;
            for (TControl* c = f->Hovered(); c && shape == crDefault; c = c->Parent()) {
                shape = c->Cursor();
            }
        }
    }
    backend_.SetCursor(ShapeOf(shape));
}

void Application::ForgetControl(Badge<TControl>, TControl* control) {
    if (hintControl_ == control) CancelHint();
    std::erase_if(forms_, [control](TForm* f) { return static_cast<TControl*>(f) == control; });
}

int Application::StartTimer(Badge<TTimer>, TTimer& timer, int interval) {
    const int id = backend_.SetTimer(interval);
    timers_.emplace_back(id, &timer);
    return id;
}

void Application::StopTimer(Badge<TTimer>, int id) {
    backend_.KillTimer(id);
    std::erase_if(timers_, [id](const auto& t) { return t.first == id; });
}

void Application::FireTimerSoon(Badge<TTimer>, int id) {
    Post([this, id] { FireTimer(id); });
}

void Application::FireTimer(int id) {
    for (auto& [timerId, timer] : timers_) {
        if (timerId == id) {
            timer->Fire({});
            return;
        }
    }
}

// --- hints

void Application::UpdateHint(Badge<TForm>, TControl* hovered, TPoint screen) {
    TControl* target = nullptr;
    if (hovered && hovered->ShowHint()) {
        for (TControl* c = hovered; c; c = c->Parent()) {
            if (!c->Hint().empty()) {
                target = hovered;
                break;
            }
        }
    }
    hintPoint_ = screen;
    if (target == hintControl_) return;
    const bool wasShowing = hintShowing_;
    HideHint();
    if (hintTimer_) backend_.KillTimer(hintTimer_);
    hintTimer_ = 0;
    hintControl_ = target;
    if (target) {
        hintTimerShows_ = true;
        hintTimer_ = backend_.SetTimer(wasShowing ? kHintShortPause : kHintPause);
    }
}

void Application::CancelHint() {
    HideHint();
    if (hintTimer_) backend_.KillTimer(hintTimer_);
    hintTimer_ = 0;
    hintControl_ = nullptr;
}

TPoint HintPlace(TPoint pointer, TSize size, const TRect& workArea) {
    // Below the pointer, as the platform places its tooltips, and like them kept inside the
    // work area: moved left at the right edge, and above the pointer where there is no room
    // below it.
    constexpr int kBelowPointer = 20;
    constexpr int kAbovePointer = 2;
    int left = std::min(pointer.X, workArea.Right - size.Width);
    int top = pointer.Y + kBelowPointer;
    if (top + size.Height > workArea.Bottom) top = pointer.Y - kAbovePointer - size.Height;
    left = std::max(left, workArea.Left);
    top = std::max(top, workArea.Top);
    return {left, top};
}

void Application::ShowHintNow() {
    if (!hintControl_ || !hintControl_->Showing()) return;
    std::string text;
    for (TControl* c = hintControl_; c && text.empty(); c = c->Parent()) text = c->Hint();
    if (text.empty()) return;
    hintText_ = text;
    const std::vector<std::string> lines = HintLines(text);
    TFont font;
    font.Color = clInfoText;
    Bitmap probe(1, 1);
    probe.GetCanvas().Font() = font;
    int width = 0;
    const int lineHeight = probe.GetCanvas().TextHeight("Ag");
    for (const auto& line : lines) width = std::max(width, probe.GetCanvas().TextWidth(line));
    const int w = width + 6;
    const int h = lineHeight * static_cast<int>(lines.size()) + 4;
    hintBuffer_.SetSize(w, h);
    Canvas& canvas = hintBuffer_.GetCanvas();
    canvas.Font() = font;
    canvas.Brush().Color = clInfoBk;
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.FillRect(hintBuffer_.BoundsRect());
    canvas.Brush().Color = clBlack;
    canvas.FrameRect(hintBuffer_.BoundsRect());
    canvas.Brush().Style = TBrushStyle::bsClear;
    for (size_t i = 0; i < lines.size(); ++i) {
        canvas.DrawTextAt(3, 2 + static_cast<int>(i) * lineHeight, lines[i]);
    }
    if (!hintWindow_) hintWindow_ = backend_.CreateTopWindow({true, true, true}, "");
    // On the pointer's monitor, as a tooltip of the system shows there.
    const TRect pointer{hintPoint_.X, hintPoint_.Y, hintPoint_.X + 1, hintPoint_.Y + 1};
    const TPoint at = HintPlace(hintPoint_, {w, h}, WorkAreaOf(pointer));
    const int left = at.X;
    const int top = at.Y;
    backend_.SetBounds(hintWindow_, {left, top, left + w, top + h});
    backend_.Present(hintWindow_, hintBuffer_.Bits(), w, h, {0, 0, w, h});
    backend_.ShowWindow(hintWindow_, true, false);
    hintShowing_ = true;
    hintTimerShows_ = false;
    hintTimer_ = backend_.SetTimer(kHintHidePause);
}

void Application::HideHint() {
    if (hintShowing_ && hintWindow_) backend_.ShowWindow(hintWindow_, false, false);
    hintShowing_ = false;
    hintText_.clear();
}

// --- tray

std::vector<uint32_t> TrayIconPixels(const Bitmap& icon) {
    std::vector<uint32_t> pixels(icon.Bits(), icon.Bits() + static_cast<size_t>(icon.Width()) *
                                                                static_cast<size_t>(icon.Height()));
    // Icons are drawn on fuchsia where the desktop is to show through, as icon editors do.
    const Pixel key = PixelFromRGB(clFuchsia);
    for (uint32_t& word : pixels) {
        if ((word | 0xFF000000u) == key) word = 0;
    }
    return pixels;
}

void Application::ShowTrayIcon(const std::string& tip, const Bitmap* icon) {
    ui::TrayIcon data;
    data.tip = tip;
    if (icon && !icon->Empty()) {
        data.width = icon->Width();
        data.height = icon->Height();
        data.pixels = TrayIconPixels(*icon);
    }
    backend_.ShowTrayIcon(data);
}

void Application::HideTrayIcon() {
    backend_.HideTrayIcon();
}

std::unique_ptr<ui::TrayIconHost> Application::AttachTrayIcon(int window, unsigned iconId) {
    if (auto native = backend_.AttachNativeTray(window, iconId)) return native;
    if (!standInTray_) standInTray_ = std::make_unique<StandInTray>(*this);
    return standInTray_->Attach();
}

// --- TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    Update();
}

TTimer::~TTimer() {
    if (id_) {
        if (Application* app = Application::CurrentOrNull()) app->StopTimer({}, id_);
    }
}

void TTimer::SetInterval(int value) {
    if (value == interval_) return;
    interval_ = value;
    Update();
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Update();
}

void TTimer::Update() {
    Application& app = Application::Current();
    if (id_) app.StopTimer({}, id_);
    id_ = 0;
    skipping_ = false;
    single_ = false;
    if (enabled_ && interval_ > 0) {
        beat_ = app.Backend().MonotonicMs();
        id_ = app.StartTimer({}, *this, interval_);
    }
}

void TTimer::Start(int64_t delay) {
    Application& app = Application::Current();
    if (id_) app.StopTimer({}, id_);
    id_ = app.StartTimer({}, *this, static_cast<int>(std::clamp<int64_t>(delay, 1, INT32_MAX)));
}

int64_t TTimer::MsToNextBeat() const {
    if (interval_ <= 0) return 0;
    const int64_t since =
        std::max<int64_t>(Application::Current().Backend().MonotonicMs() - beat_, 0);
    if (since == 0) return interval_;
    const int64_t into = since % interval_;
    return into == 0 ? 0 : interval_ - into;
}

void TTimer::SkipBeats(int64_t beats) {
    if (id_ == 0) return;
    if (beats <= 0) {
        Resume();
        return;
    }
    const int64_t now = Application::Current().Backend().MonotonicMs();
    const int64_t until = now + MsToNextBeat() + beats * interval_;
    if (skipping_ && until == skipUntil_) return;
    skipping_ = true;
    single_ = true;
    skipUntil_ = until;
    Start(until - now);
}

void TTimer::Resume() {
    if (id_ == 0 || !skipping_) return;
    skipping_ = false;
    const int64_t next = MsToNextBeat();
    if (next > 0) {
        Start(next);  // single_ still set: the beat goes on from that event
        return;
    }
    // A beat falls on this very moment: its event comes from the loop, as a due one would.
    single_ = false;
    Start(interval_);
    Application::Current().FireTimerSoon({}, id_);
}

void TTimer::Fire(Badge<Application>) {
    Application& app = Application::Current();
    const int64_t now = app.Backend().MonotonicMs();
    if (single_) {
        // The single event of a skip: from here on every Interval again.
        single_ = false;
        skipping_ = false;
        Start(interval_);
    }
    beat_ = now;
    // A copy: the handler may release its own timer.
    const TNotifyEvent handler = OnTimer;
    if (handler) handler(this);
}

const PropertyTable& TTimer::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TComponent::ClassProperties());
        t.Add("Interval", &TTimer::Interval, &TTimer::SetInterval);
        t.Add("Enabled", &TTimer::Enabled, &TTimer::SetEnabled);
        return t;
    }();
    return table;
}

}  // namespace tt
