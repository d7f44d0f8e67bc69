#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <chrono>

namespace tt::headless {

namespace {

std::string WithoutAmpersands(const std::string& caption) {
    std::string plain;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        plain += caption[i];
    }
    return plain;
}

int DefaultAnswer(unsigned flags) {
    switch (flags & ui::kMbButtonMask) {
        case ui::kMbOk:
        case ui::kMbOkCancel:
            return ui::kIdOk;
        case ui::kMbYesNoCancel:
        case ui::kMbRetryCancel:
            return ui::kIdCancel;
        case ui::kMbYesNo:
            return ui::kIdNo;
        default:
            return ui::kIdAbort;
    }
}

}  // namespace

HeadlessBackend::HeadlessBackend() : wall_(EncodeDate(2001, 3, 5) + EncodeTime(12, 0, 0)) {}

HeadlessBackend::Window& HeadlessBackend::Get(int window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) throw std::logic_error("no such headless window");
    return it->second;
}

const HeadlessBackend::Window* HeadlessBackend::WindowInfo(int window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

int HeadlessBackend::CreateTopWindow(const ui::WindowStyle& style, const std::string& title) {
    const int id = nextWindow_++;
    windows_[id] = Window{style, title, {}, false, 0, 0, 1, {}, 0, false, {}};
    return id;
}

void HeadlessBackend::DestroyWindow(int window) {
    if (active_ == window) active_ = 0;
    if (capture_ == window) capture_ = 0;
    if (pointerWindow_ == window) pointerWindow_ = 0;
    std::erase_if(queue_, [window](const ui::Event& e) { return e.window == window; });
    windows_.erase(window);
}

void HeadlessBackend::SetTitle(int window, const std::string& title) {
    Get(window).title = title;
}

void HeadlessBackend::SetBounds(int window, ui::Rect bounds) {
    Get(window).bounds = bounds;
}

void HeadlessBackend::ShowWindow(int window, bool visible, bool activate) {
    Window& w = Get(window);
    w.visible = visible;
    w.minimized = false;
    if (visible && activate && !w.style.popup) {
        Activate(window);
    } else if (!visible && active_ == window) {
        // As the window system does, hand activation to another visible window.
        active_ = 0;
        queue_.push_back(ui::Event{.kind = ui::EventKind::Deactivate, .window = window});
        for (auto& [id, other] : windows_) {
            if (id != window && other.visible && !other.style.popup) {
                Activate(id);
                break;
            }
        }
    }
}

bool HeadlessBackend::MinimizeWindow(int window) {
    Window& w = Get(window);
    if (w.style.toolWindow || w.style.popup || !w.visible) return false;
    w.minimized = true;
    if (active_ == window) {
        active_ = 0;
        queue_.push_back(ui::Event{.kind = ui::EventKind::Deactivate, .window = window});
    }
    return true;
}

void HeadlessBackend::Activate(int window) {
    if (active_ == window || Get(window).style.popup) return;
    if (active_ != 0)
        queue_.push_back(ui::Event{.kind = ui::EventKind::Deactivate, .window = active_});
    active_ = window;
    queue_.push_back(ui::Event{.kind = ui::EventKind::Activate, .window = window});
}

void HeadlessBackend::Present(int window, const uint32_t* pixels, int width, int height,
                              ui::Rect dirty) {
    Window& w = Get(window);
    if (w.width != width || w.height != height || w.scale != scale_) {
        w.width = width;
        w.height = height;
        w.scale = scale_;
        w.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) *
                            static_cast<size_t>(scale_ * scale_),
                        0);
        dirty = {0, 0, width, height};
    }
    dirty = ui::ClipToFrame(dirty, width, height);
    if (dirty.Width() > 0) {
        ui::CopyFramePartScaled(pixels, width, dirty,
                                reinterpret_cast<unsigned char*>(w.pixels.data()),
                                static_cast<ptrdiff_t>(width) * w.scale * 4, w.scale);
    }
    ++w.presents;
    w.lastPresent = dirty;
}

void HeadlessBackend::BeginSystemMove(int window, std::function<void(int, int)> done) {
    capture_ = 0;
    const Window& w = Get(window);
    int grabX = w.bounds.left;
    int grabY = w.bounds.top;
    if (lastPress_) {
        const Window* pressed = WindowInfo(lastPress_->window);
        if (pressed) {
            grabX = pressed->bounds.left + lastPress_->x;
            grabY = pressed->bounds.top + lastPress_->y;
        }
    }
    move_ = Move{window, grabX, grabY, w.bounds, std::move(done)};
}

void HeadlessBackend::Queue(const ui::Event& event) {
    queue_.push_back(event);
}

void HeadlessBackend::Pump() {
    if (sink_) sink_->ProcessMessages();
}

bool HeadlessBackend::HasPending() const {
    if (!queue_.empty()) return true;
    return std::any_of(timers_.begin(), timers_.end(),
                       [this](const auto& t) { return t.second.due <= monotonic_; });
}

void HeadlessBackend::QueueDueTimers() {
    for (auto& [id, timer] : timers_) {
        if (timer.due > monotonic_) continue;
        // Coalesced: however often it fell due, one event, and the next one a whole
        // interval after this moment's schedule.
        while (timer.due <= monotonic_) timer.due += timer.interval;
        if (!timer.queued) {
            timer.queued = true;
            queue_.push_back(ui::Event{.kind = ui::EventKind::Timer, .timer = id});
        }
    }
}

bool HeadlessBackend::DispatchPending() {
    QueueDueTimers();
    bool any = false;
    while (!queue_.empty()) {
        const ui::Event event = queue_.front();
        queue_.pop_front();
        if (event.kind == ui::EventKind::Timer) {
            auto it = timers_.find(event.timer);
            if (it == timers_.end()) continue;  // killed while queued
            it->second.queued = false;
        }
        any = true;
        if (sink_) sink_->HandleEvent(event);
    }
    return any;
}

void HeadlessBackend::Wait(int ms) {
    if (HasPending()) return;
    {
        std::unique_lock lock(wakeMutex_);
        const int real = ms < 0 ? realWaitLimitMs_ : std::min(ms, realWaitLimitMs_);
        wakeCv_.wait_for(lock, std::chrono::milliseconds(real), [this] { return woken_; });
        if (woken_) {
            woken_ = false;
            return;
        }
    }
    // Nobody woke us: the time the caller was ready to wait passes, up to the next timer.
    int64_t target = ms < 0 ? INT64_MAX : monotonic_ + ms;
    for (const auto& [id, timer] : timers_) target = std::min(target, timer.due);
    if (target == INT64_MAX) return;
    const int64_t step = std::max<int64_t>(target - monotonic_, 0);
    monotonic_ += step;
    wall_ += static_cast<double>(step) / 1000.0 / kSecondsPerDay;
    TimeMoved();
}

void HeadlessBackend::Wake() {
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeCv_.notify_one();
}

int HeadlessBackend::SetTimer(int intervalMs) {
    const int id = nextTimer_++;
    const int interval = std::max(intervalMs, 1);
    timers_[id] = Timer{interval, monotonic_ + interval, false};
    return id;
}

void HeadlessBackend::KillTimer(int timer) {
    timers_.erase(timer);
}

void HeadlessBackend::Advance(int64_t ms) {
    const int64_t target = monotonic_ + std::max<int64_t>(ms, 0);
    // What was posted before time moves is handled now, as a woken loop would handle it.
    bool woken = false;
    {
        std::lock_guard lock(wakeMutex_);
        std::swap(woken, woken_);
    }
    if (woken) Pump();
    for (;;) {
        int next = 0;
        int64_t due = target + 1;
        for (const auto& [id, timer] : timers_) {
            if (timer.due < due) {
                due = timer.due;
                next = id;
            }
        }
        if (next == 0) break;
        if (due > monotonic_) {
            wall_ += static_cast<double>(due - monotonic_) / 1000.0 / kSecondsPerDay;
            monotonic_ = due;
            TimeMoved();
        }
        QueueDueTimers();
        Pump();
    }
    // A handler's own wait may have carried time past the target; time never goes back.
    if (target > monotonic_) {
        wall_ += static_cast<double>(target - monotonic_) / 1000.0 / kSecondsPerDay;
        monotonic_ = target;
        TimeMoved();
    }
    Pump();
}

void HeadlessBackend::SetWallClock(TDateTime now) {
    const bool set = now != wall_;
    wall_ = now;
    if (!set || sink_ == nullptr) return;
    Queue(ui::Event{.kind = ui::EventKind::TimeChange});
    Pump();
}

void HeadlessBackend::TimeMoved() {
    if (timeHook_) timeHook_(monotonic_);
}

void HeadlessBackend::Stall(int64_t ms) {
    const int64_t step = std::max<int64_t>(ms, 0);
    monotonic_ += step;
    wall_ += static_cast<double>(step) / 1000.0 / kSecondsPerDay;
    TimeMoved();
    QueueDueTimers();
    Pump();
}

int HeadlessBackend::ShowMessageBox(const std::string& text, const std::string& caption,
                                    unsigned flags) {
    int answer = DefaultAnswer(flags);
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    boxes_.push_back(MessageBoxRecord{text, caption, flags, answer});
    return answer;
}

int HeadlessBackend::TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int, int) {
    menus_.push_back(entries);
    if (menuChoices_.empty()) return -1;
    const std::string wanted = menuChoices_.front();
    menuChoices_.pop_front();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.caption == "-" || !e.enabled) continue;
        if (e.caption == wanted || WithoutAmpersands(e.caption) == WithoutAmpersands(wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void HeadlessBackend::SetScreen(ui::Rect screen, ui::Rect workArea) {
    screen_ = screen;
    workArea_ = workArea;
    if (!monitors_.empty()) monitors_[0] = ui::Monitor{screen, workArea};
    Queue(ui::Event{.kind = ui::EventKind::DisplayChange});
    Pump();
}

void HeadlessBackend::SetMonitors(std::vector<ui::Monitor> monitors) {
    monitors_ = std::move(monitors);
    if (!monitors_.empty()) {
        screen_ = monitors_[0].bounds;
        workArea_ = monitors_[0].workArea;
    }
    Queue(ui::Event{.kind = ui::EventKind::DisplayChange});
    Pump();
}

std::vector<ui::Monitor> HeadlessBackend::Monitors() {
    if (monitors_.empty()) return {ui::Monitor{screen_, workArea_}};
    return monitors_;
}

void HeadlessBackend::PointerTo(int window) {
    if (pointerWindow_ != 0 && pointerWindow_ != window && windows_.count(pointerWindow_)) {
        Queue(ui::Event{.kind = ui::EventKind::MouseLeave, .window = pointerWindow_});
    }
    pointerWindow_ = window;
}

void HeadlessBackend::QueueMouse(ui::EventKind kind, int window, int x, int y,
                                 ui::MouseButton button, unsigned shift) {
    int target = window;
    if (capture_ != 0 && capture_ != window && windows_.count(capture_)) {
        const Window& from = Get(window);
        const Window& to = Get(capture_);
        x += from.bounds.left - to.bounds.left;
        y += from.bounds.top - to.bounds.top;
        target = capture_;
    } else {
        PointerTo(window);
    }
    Queue(ui::Event{
        .kind = kind, .window = target, .x = x, .y = y, .button = button, .shift = shift});
}

void HeadlessBackend::MouseDown(int window, int x, int y, ui::MouseButton button, unsigned shift) {
    const Window& w = Get(window);
    if (!w.style.popup) Activate(window);
    const bool dbl = lastPress_ && lastPress_->window == window && lastPress_->x == x &&
                     lastPress_->y == y && lastPress_->button == button &&
                     monotonic_ - lastPress_->at <= DoubleClickTime();
    if (dbl) {
        shift |= ui::kDoubleClick;
        lastPress_.reset();  // a third press starts over
    } else {
        lastPress_ = Press{window, x, y, button, monotonic_};
    }
    QueueMouse(ui::EventKind::MouseDown, window, x, y, button, shift);
    Pump();
}

void HeadlessBackend::MouseWheel(int window, int x, int y, int delta, unsigned shift) {
    QueueMouse(ui::EventKind::MouseWheel, window, x, y, ui::MouseButton::Left, shift);
    queue_.back().wheel = delta;
    Pump();
}

void HeadlessBackend::MouseMove(int window, int x, int y, unsigned shift) {
    if (move_) {
        const Window& w = Get(window);
        Window& moved = Get(move_->window);
        const int dx = w.bounds.left + x - move_->grabX;
        const int dy = w.bounds.top + y - move_->grabY;
        moved.bounds = {move_->start.left + dx, move_->start.top + dy, move_->start.right + dx,
                        move_->start.bottom + dy};
        return;
    }
    QueueMouse(ui::EventKind::MouseMove, window, x, y, ui::MouseButton::Left, shift);
    Pump();
}

void HeadlessBackend::MouseUp(int window, int x, int y, ui::MouseButton button, unsigned shift) {
    if (move_) {
        MouseMove(window, x, y, shift);
        Move move = std::move(*move_);
        move_.reset();
        const ui::Rect& b = Get(move.window).bounds;
        if (move.done) move.done(b.left, b.top);
        Pump();
        return;
    }
    QueueMouse(ui::EventKind::MouseUp, window, x, y, button, shift);
    Pump();
}

void HeadlessBackend::KeyDown(ui::Key key, unsigned shift) {
    if (active_ == 0) return;
    Queue(ui::Event{.kind = ui::EventKind::KeyDown, .window = active_, .shift = shift, .key = key});
    Pump();
}

void HeadlessBackend::Char(char32_t ch, unsigned shift) {
    if (active_ == 0) return;
    Queue(ui::Event{.kind = ui::EventKind::Char, .window = active_, .shift = shift, .ch = ch});
    Pump();
}

void HeadlessBackend::TrayInput(ui::TrayMouse what, int screenX, int screenY) {
    if (!tray_) return;
    Queue(ui::Event{.kind = ui::EventKind::Tray, .x = screenX, .y = screenY, .tray = what});
    Pump();
}

void HeadlessBackend::RequestClose(int window) {
    Queue(ui::Event{.kind = ui::EventKind::CloseRequest, .window = window});
    Pump();
}

}  // namespace tt::headless
