#include "platform/qt/qt_backend.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRasterWindow>
#include <QScreen>
#include <QStyle>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimerEvent>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "platform/qt/qt_font_engine.h"

namespace tt::qt {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 1);
const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::User + 2);

// Two presses this close together (and within the double-click time) make a double click.
constexpr int kDoubleClickSlop = 2;

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

unsigned ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    unsigned shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ui::kShiftKey;
    if (modifiers & Qt::AltModifier) shift |= ui::kAltKey;
    if (modifiers & Qt::ControlModifier) shift |= ui::kCtrlKey;
    if (buttons & Qt::LeftButton) shift |= ui::kLeftButton;
    if (buttons & Qt::RightButton) shift |= ui::kRightButton;
    if (buttons & Qt::MiddleButton) shift |= ui::kMiddleButton;
    return shift;
}

std::optional<ui::MouseButton> ButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return ui::MouseButton::Left;
        case Qt::RightButton:
            return ui::MouseButton::Right;
        case Qt::MiddleButton:
            return ui::MouseButton::Middle;
        default:
            return std::nullopt;
    }
}

// The virtual-key code the toolkit knows a key by; 0 for keys it has no code for.
int VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return (modifiers & Qt::KeypadModifier) ? 0x60 + (key - Qt::Key_0) : key;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;  // the same codes
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return 0x12;
        case Qt::Key_Pause:
            return 0x13;
        case Qt::Key_CapsLock:
            return 0x14;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

Qt::CursorShape ShapeOf(ui::Cursor cursor) {
    switch (cursor) {
        case ui::Cursor::HandPoint:
            return Qt::PointingHandCursor;
        case ui::Cursor::IBeam:
            return Qt::IBeamCursor;
        case ui::Cursor::SizeAll:
            return Qt::SizeAllCursor;
        case ui::Cursor::Wait:
            return Qt::WaitCursor;
        case ui::Cursor::Cross:
            return Qt::CrossCursor;
        default:
            return Qt::ArrowCursor;
    }
}

std::string PolishCaption(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Yes:
            return "&Tak";
        case QMessageBox::No:
            return "&Nie";
        case QMessageBox::Cancel:
            return "Anuluj";
        case QMessageBox::Abort:
            return "&Przerwij";
        case QMessageBox::Retry:
            return "Ponów &próbę";
        case QMessageBox::Ignore:
            return "&Zignoruj";
        default:
            return "OK";
    }
}

ui::Rect ToRect(const QRect& r) {
    return ui::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

// One toolkit window: shows the last presented buffer and reports input.
class Surface : public QRasterWindow {
  public:
    Surface(QtBackend& backend, int id, const ui::WindowStyle& style)
        : backend_(backend), id_(id), style_(style) {
        Qt::WindowFlags flags = Qt::FramelessWindowHint;
        if (style.popup) {
            // Override-redirect on X11: no frame, no focus, no activation, no taskbar button.
            flags |= Qt::ToolTip | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint;
        } else {
            flags |= style.toolWindow ? Qt::Tool : Qt::Window;
            if (style.topmost) flags |= Qt::WindowStaysOnTopHint;
        }
        setFlags(flags);
    }

    const ui::WindowStyle& Style() const { return style_; }

    void Show(const uint32_t* pixels, int width, int height, ui::Rect dirty) {
        if (image_.width() != width || image_.height() != height) {
            image_ = QImage(width, height, QImage::Format_RGB32);
            dirty = {0, 0, width, height};
        }
        dirty = ui::ClipToFrame(dirty, width, height);
        if (dirty.Width() == 0) return;
        ui::CopyFramePart(pixels, width, dirty, image_.bits(), image_.bytesPerLine());
        update(QRect(dirty.left, dirty.top, dirty.Width(), dirty.Height()));
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect r = event->rect();
        QPainter painter(this);
        painter.drawImage(r, image_, r);
    }

    bool event(QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseMove:
                Mouse(*static_cast<QMouseEvent*>(event));
                return true;
            case QEvent::MouseButtonDblClick:
                // The press before it came too; double clicks are told apart from presses.
                return true;
            case QEvent::Leave:
                backend_.OnInput(id_, {.kind = ui::EventKind::MouseLeave});
                break;
            case QEvent::Wheel:
                Wheel(*static_cast<QWheelEvent*>(event));
                return true;
            case QEvent::KeyPress:
                Key(*static_cast<QKeyEvent*>(event));
                return true;
            case QEvent::Close:
                // The program decides whether and how a window closes.
                event->ignore();
                backend_.OnInput(id_, {.kind = ui::EventKind::CloseRequest});
                return true;
            default:
                break;
        }
        return QRasterWindow::event(event);
    }

  private:
    void Mouse(const QMouseEvent& e) {
        QtBackend::Input in{.kind = ui::EventKind::MouseMove};
        const QPoint local = e.position().toPoint();
        const QPoint global = e.globalPosition().toPoint();
        in.x = local.x();
        in.y = local.y();
        in.globalX = global.x();
        in.globalY = global.y();
        in.shift = ShiftOf(e.modifiers(), e.buttons());
        in.time = static_cast<int64_t>(e.timestamp());
        if (e.type() != QEvent::MouseMove) {
            const auto button = ButtonOf(e.button());
            if (!button) return;
            in.kind = e.type() == QEvent::MouseButtonPress ? ui::EventKind::MouseDown
                                                           : ui::EventKind::MouseUp;
            in.button = *button;
        }
        backend_.OnInput(id_, in);
    }

    void Wheel(const QWheelEvent& e) {
        const int delta = e.angleDelta().y();
        if (delta == 0) return;  // a sideways turn: nothing of ours scrolls sideways
        const QPoint local = e.position().toPoint();
        const QPoint global = e.globalPosition().toPoint();
        backend_.OnInput(id_, {.kind = ui::EventKind::MouseWheel,
                               .x = local.x(),
                               .y = local.y(),
                               .globalX = global.x(),
                               .globalY = global.y(),
                               .shift = ShiftOf(e.modifiers(), e.buttons()),
                               .wheel = delta});
    }

    void Key(const QKeyEvent& e) {
        const unsigned shift = ShiftOf(e.modifiers(), Qt::NoButton);
        if (const int vk = VirtualKeyOf(e.key(), e.modifiers())) {
            backend_.OnInput(id_, {.kind = ui::EventKind::KeyDown, .shift = shift, .key = vk});
        }
        // Then the characters the key typed, control characters included, as the toolkit
        // expects them; Delete types nothing there.
        for (const char32_t ch : e.text().toUcs4()) {
            if (ch == 0x7F) continue;
            backend_.OnInput(id_, {.kind = ui::EventKind::Char, .shift = shift, .ch = ch});
        }
    }

    QtBackend& backend_;
    int id_;
    ui::WindowStyle style_;
    QImage image_;
};

// Receives the timers, the wake-ups and the hand-over requests of the loop.
class LoopHelper : public QObject {
  public:
    explicit LoopHelper(QtBackend& backend) : backend_(backend) {}

  protected:
    bool event(QEvent* event) override {
        if (event->type() == kWakeEvent) {
            backend_.OnWake();
            return true;
        }
        if (event->type() == kDrainEvent) {
            backend_.ModalTurn();
            return true;
        }
        return QObject::event(event);
    }
    void timerEvent(QTimerEvent* event) override { backend_.OnTimer(event->timerId()); }

  private:
    QtBackend& backend_;
};

QtBackend::QtBackend(int& argc, char** argv) {
    if (!QCoreApplication::instance()) {
        // The toolkit draws device pixels; scaling them would only blur them.
        if (std::getenv("QT_ENABLE_HIGHDPI_SCALING") == nullptr) {
            qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
        }
        ownApp_ = std::make_unique<QApplication>(argc, argv);
    } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        throw std::logic_error("the Qt backend needs a QApplication");
    }
    // A tray program lives on with every window hidden; the toolkit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    helper_ = std::make_unique<LoopHelper>(*this);
    fonts_ = std::make_unique<QtFontEngine>();
    SetCurrentFontEngine(fonts_.get());
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, helper_.get(),
                     [this](QWindow* focused) { OnFocusWindowChanged(focused); });
}

QtBackend::~QtBackend() {
    if (&CurrentFontEngine() == fonts_.get()) SetCurrentFontEngine(nullptr);
    tray_.reset();
    windows_.clear();
    helper_.reset();
    fonts_.reset();
    ownApp_.reset();
}

Surface* QtBackend::Find(int window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

QWindow* QtBackend::NativeWindow(int window) const {
    return Find(window);
}

int QtBackend::WindowOf(const QWindow* window) const {
    for (const auto& [id, surface] : windows_) {
        if (surface.get() == window) return id;
    }
    return 0;
}

// --- windows

int QtBackend::CreateTopWindow(const ui::WindowStyle& style, const std::string& title) {
    const int id = nextWindow_++;
    auto surface = std::make_unique<Surface>(*this, id, style);
    surface->setTitle(ToQString(title));
    surface->setCursor(ShapeOf(cursor_));
    windows_.emplace(id, std::move(surface));
    return id;
}

void QtBackend::DestroyWindow(int window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    if (active_ == window) active_ = 0;
    if (capture_ == window) capture_ = 0;
    if (pointerWindow_ == window) pointerWindow_ = 0;
    for (auto& [id, other] : windows_) {
        if (other->transientParent() == it->second.get()) other->setTransientParent(nullptr);
    }
    if (move_ && move_->window == window) move_.reset();
    if (lastPress_ && lastPress_->window == window) lastPress_.reset();
    std::erase_if(queue_,
                  [window](const Pending& p) { return !p.call && p.event.window == window; });
    // Taken out of the table first: Qt may report its focus moving while it goes.
    std::unique_ptr<Surface> surface = std::move(it->second);
    windows_.erase(it);
    surface.reset();
}

void QtBackend::SetTitle(int window, const std::string& title) {
    if (Surface* s = Find(window)) s->setTitle(ToQString(title));
}

void QtBackend::SetBounds(int window, ui::Rect bounds) {
    if (Surface* s = Find(window)) {
        s->setGeometry(bounds.left, bounds.top, std::max(bounds.Width(), 1),
                       std::max(bounds.Height(), 1));
    }
}

void QtBackend::ShowWindow(int window, bool visible, bool activate) {
    Surface* s = Find(window);
    if (!s) return;
    if (!visible) {
        if (capture_ == window) ReleaseCapture();
        s->hide();
        return;
    }
    const bool activating = activate && !s->Style().popup;
    if (s->Style().popup) {
        // Wayland places a pop-up only next to a window of ours: the one it belongs to is the
        // active one, or for a hint over an inactive window the one under the pointer.
        Surface* owner = Find(active_ != 0 ? active_ : pointerWindow_);
        if (owner != s) s->setTransientParent(owner);
    }
    // Read by the X11 platform when it maps the window: shown without taking the focus.
    s->setProperty("_q_showWithoutActivating", !activating);
    s->show();
    if (activating) s->requestActivate();
}

void QtBackend::Activate(int window) {
    Surface* s = Find(window);
    if (s && !s->Style().popup && s->isVisible()) s->requestActivate();
}

void QtBackend::Present(int window, const uint32_t* pixels, int width, int height, ui::Rect dirty) {
    if (Surface* s = Find(window)) s->Show(pixels, width, height, dirty);
}

void QtBackend::SetCapture(int window) {
    if (capture_ == window) return;
    ReleaseCapture();
    Surface* s = Find(window);
    if (!s) return;
    capture_ = window;
    // May be refused (say, while the window is not mapped); presses still come to the window
    // they started in, and everything else is routed to the capture below.
    s->setMouseGrabEnabled(true);
}

void QtBackend::ReleaseCapture() {
    if (Surface* s = Find(capture_)) s->setMouseGrabEnabled(false);
    capture_ = 0;
}

void QtBackend::SetCursor(ui::Cursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    for (auto& [id, surface] : windows_) surface->setCursor(ShapeOf(cursor));
}

void QtBackend::BeginSystemMove(int window, std::function<void(int, int)> done) {
    Surface* s = Find(window);
    if (!s) return;
    ReleaseCapture();
    // Where windows cannot place themselves (Wayland) the compositor moves it; elsewhere the
    // window follows the pointer itself, which needs nothing of the window manager.
    if (QGuiApplication::platformName().startsWith("wayland") && s->startSystemMove()) {
        move_ = Move{window, 0, 0, true, std::move(done)};
        return;
    }
    QPoint grab = QCursor::pos();
    if (pressedAt_) grab = QPoint(pressedAt_->first, pressedAt_->second);
    move_ = Move{window, grab.x() - s->x(), grab.y() - s->y(), false, std::move(done)};
    s->setMouseGrabEnabled(true);
    // The pointer may have gone on, and the button come up, while the press waited its turn:
    // what it did since belongs to the move. The queue is rebuilt in order, so that the end of
    // the move takes the release's place.
    std::deque<Pending> pending;
    pending.swap(queue_);
    for (Pending& p : pending) {
        const auto kind = p.event.kind;
        const bool pointer = kind == ui::EventKind::MouseMove || kind == ui::EventKind::MouseUp;
        if (move_ && !p.call && pointer) {
            FollowMove(Input{.kind = kind, .globalX = p.globalX, .globalY = p.globalY});
        } else {
            queue_.push_back(std::move(p));
        }
    }
}

bool QtBackend::FollowMove(const Input& in) {
    if (!move_) return false;
    if (move_->native) {
        // The compositor had the pointer; the first input after it gives it back.
        FinishMove();
        return false;
    }
    Surface* moved = Find(move_->window);
    if (!moved) {
        move_.reset();
        return false;
    }
    if (in.kind == ui::EventKind::MouseMove || in.kind == ui::EventKind::MouseUp) {
        moved->setPosition(in.globalX - move_->offsetX, in.globalY - move_->offsetY);
    }
    if (in.kind == ui::EventKind::MouseUp) FinishMove();
    return true;
}

void QtBackend::FinishMove() {
    Move move = std::move(*move_);
    move_.reset();
    Surface* s = Find(move.window);
    if (!s) return;
    if (!move.native) s->setMouseGrabEnabled(false);
    if (move.done) {
        const int left = s->x();
        const int top = s->y();
        Enqueue(Pending{{}, [done = std::move(move.done), left, top] { done(left, top); }});
    }
}

// --- input

void QtBackend::OnInput(int window, const Input& in) {
    Surface* from = Find(window);
    if (!from) return;
    const bool mouse = in.kind == ui::EventKind::MouseDown || in.kind == ui::EventKind::MouseUp ||
                       in.kind == ui::EventKind::MouseMove;
    if (mouse && FollowMove(in)) return;
    if (mouse && !from->Style().popup) pointerWindow_ = window;
    const bool wheel = in.kind == ui::EventKind::MouseWheel;

    ui::Event event{.kind = in.kind,
                    .window = window,
                    .x = in.x,
                    .y = in.y,
                    .button = in.button,
                    .shift = in.shift,
                    .key = in.key,
                    .ch = in.ch,
                    .wheel = in.wheel};
    if (in.kind == ui::EventKind::MouseDown) {
        // The window system's time of the press, not ours: two presses that waited for a
        // busy program are as far apart as the user made them.
        const int64_t now = in.time != 0 ? in.time : MonotonicMs();
        const bool dbl = lastPress_ && lastPress_->window == window &&
                         lastPress_->button == in.button &&
                         std::abs(lastPress_->x - in.x) <= kDoubleClickSlop &&
                         std::abs(lastPress_->y - in.y) <= kDoubleClickSlop &&
                         now >= lastPress_->at && now - lastPress_->at <= DoubleClickTime();
        if (dbl) {
            event.shift |= ui::kDoubleClick;
            lastPress_.reset();  // a third press starts over
        } else {
            lastPress_ = Press{window, in.x, in.y, in.button, now};
        }
    }
    if ((mouse || wheel) && capture_ != 0 && capture_ != window) {
        if (Surface* to = Find(capture_)) {
            event.window = capture_;
            event.x = in.globalX - to->x();
            event.y = in.globalY - to->y();
        }
    }
    if (in.kind == ui::EventKind::KeyDown || in.kind == ui::EventKind::Char) {
        // Keys belong to the active window, whichever window Qt gave them to.
        if (active_ == 0) return;
        event.window = active_;
    }
    Enqueue(Pending{event, {}, in.globalX, in.globalY});
}

void QtBackend::OnFocusWindowChanged(QWindow* focused) {
    const int now = WindowOf(focused);
    if (now == active_) return;
    if (active_ != 0) EnqueueEvent(ui::Event{.kind = ui::EventKind::Deactivate, .window = active_});
    active_ = now;
    if (now != 0) EnqueueEvent(ui::Event{.kind = ui::EventKind::Activate, .window = now});
}

// --- the loop

void QtBackend::Enqueue(Pending pending) {
    queue_.push_back(std::move(pending));
    RequestModalTurn();
}

void QtBackend::RequestModalTurn() {
    // A native modal loop does not come back to the program's loop until it ends; ask it for
    // a turn of the program's loop, so that timers, posted work and painting go on under it.
    if (modalDepth_ > 0 && !drainPosted_) {
        drainPosted_ = true;
        QCoreApplication::postEvent(helper_.get(), new QEvent(kDrainEvent));
    }
}

void QtBackend::ModalTurn() {
    drainPosted_ = false;
    if (sink_) {
        sink_->ProcessMessages();
    } else {
        Drain();
    }
}

void QtBackend::Drain() {
    ++drainDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{drainDepth_};
    while (!queue_.empty()) {
        Pending p = std::move(queue_.front());
        queue_.pop_front();
        if (p.call) {
            p.call();
            continue;
        }
        if (p.event.kind == ui::EventKind::Timer) {
            auto it = timers_.find(p.event.timer);
            if (it == timers_.end()) continue;  // killed while queued
            it->second.queued = false;
        }
        if (p.event.kind == ui::EventKind::MouseDown) {
            pressedAt_ = std::make_pair(p.globalX, p.globalY);
        }
        if (sink_) sink_->HandleEvent(p.event);
    }
}

bool QtBackend::DispatchPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Qt deletes what its objects gave up with deleteLater only when an event loop it knows
    // returns, and this loop is ours: at the outermost level nothing of it is on the stack.
    if (modalDepth_ == 0 && drainDepth_ == 0) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const bool any = !queue_.empty();
    Drain();
    return any;
}

void QtBackend::Wait(int ms) {
    if (!queue_.empty()) return;
    woken_ = false;
    waitTimedOut_ = false;
    if (ms == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    if (ms > 0) waitTimer_ = helper_->startTimer(ms, Qt::PreciseTimer);
    // Qt's own events (painting, the tray's bookkeeping) are handled on the way; ours only
    // queue, so nothing of the program runs while it waits.
    while (queue_.empty() && !woken_ && !waitTimedOut_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (waitTimer_ != 0) helper_->killTimer(waitTimer_);
    waitTimer_ = 0;
}

void QtBackend::Wake() {
    // One wake-up in flight is enough; a posted event also wakes a wait that has not begun.
    if (wakePosted_.exchange(true)) return;
    QCoreApplication::postEvent(helper_.get(), new QEvent(kWakeEvent));
}

void QtBackend::OnWake() {
    wakePosted_ = false;
    woken_ = true;
    RequestModalTurn();  // what was posted must not wait for the box to close
}

void QtBackend::OnTimer(int qtTimer) {
    if (qtTimer == waitTimer_ && waitTimer_ != 0) {
        waitTimedOut_ = true;
        return;
    }
    auto id = timerIds_.find(qtTimer);
    if (id == timerIds_.end()) return;
    Timer& timer = timers_.at(id->second);
    // However often it fell due while the thread was busy, one event.
    if (timer.queued) return;
    timer.queued = true;
    EnqueueEvent(ui::Event{.kind = ui::EventKind::Timer, .timer = id->second});
}

int64_t QtBackend::MonotonicMs() {
    // The boot clock goes on while the computer is suspended: a link that outlives it is billed.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

TDateTime QtBackend::WallClock() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now - std::chrono::system_clock::from_time_t(seconds))
                        .count();
    std::tm local{};
    localtime_r(&seconds, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                      static_cast<int>(std::clamp<int64_t>(ms, 0, 999)));
}

int QtBackend::SetTimer(int intervalMs) {
    const int qtId = helper_->startTimer(std::max(intervalMs, 1), Qt::PreciseTimer);
    if (qtId == 0) throw std::runtime_error("no timer left");
    const int id = nextTimer_++;
    timers_[id] = Timer{qtId, false};
    timerIds_[qtId] = id;
    return id;
}

void QtBackend::KillTimer(int timer) {
    auto it = timers_.find(timer);
    if (it == timers_.end()) return;
    helper_->killTimer(it->second.qtId);
    timerIds_.erase(it->second.qtId);
    timers_.erase(it);
}

int QtBackend::DoubleClickTime() {
    return QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

// --- native services

int QtBackend::RunModal(QWidget* widget, const std::function<int()>& exec) {
    // Whatever the pointer held is over: the modal loop takes it.
    ReleaseCapture();
    if (move_ && !move_->native) FinishMove();
    ++modalDepth_;
    modalWidgets_.push_back(widget);
    struct Leave {
        int& depth;
        std::vector<QWidget*>& widgets;
        ~Leave() {
            --depth;
            widgets.pop_back();
        }
    } leave{modalDepth_, modalWidgets_};
    return exec();
}

void QtBackend::EndModalLoops() {
    modalsEnded_ = true;
    for (auto it = modalWidgets_.rbegin(); it != modalWidgets_.rend(); ++it) {
        if (auto* dialog = qobject_cast<QDialog*>(*it)) {
            dialog->reject();  // no button clicked: the answer Escape gives
        } else {
            (*it)->close();
        }
    }
}

int QtBackend::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    using SB = QMessageBox::StandardButton;
    std::vector<SB> buttons;
    switch (flags & ui::kMbButtonMask) {
        case ui::kMbOkCancel:
            buttons = {SB::Ok, SB::Cancel};
            break;
        case ui::kMbAbortRetryIgnore:
            buttons = {SB::Abort, SB::Retry, SB::Ignore};
            break;
        case ui::kMbYesNoCancel:
            buttons = {SB::Yes, SB::No, SB::Cancel};
            break;
        case ui::kMbYesNo:
            buttons = {SB::Yes, SB::No};
            break;
        case ui::kMbRetryCancel:
            buttons = {SB::Retry, SB::Cancel};
            break;
        default:
            buttons = {SB::Ok};
            break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
        case ui::kMbIconError:
            icon = QMessageBox::Critical;
            break;
        case ui::kMbIconQuestion:
            icon = QMessageBox::Question;
            break;
        case ui::kMbIconExclamation:
            icon = QMessageBox::Warning;
            break;
        case ui::kMbIconInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    // Closed without a button: the answer an escape gives, else the first button.
    const int escapeAnswer = buttons.back() == SB::Cancel ? ui::kIdCancel
                             : buttons.front() == SB::Yes ? ui::kIdNo
                                                          : ui::kIdOk;
    if (modalsEnded_) {
        // Nobody will answer any more; the text must not be lost.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return escapeAnswer;
    }
    QMessageBox box(icon, ToQString(caption), ToQString(text));
    // The text is the program's words, never markup: an error text with "<" stays as it is.
    box.setTextFormat(Qt::PlainText);
    // Our meter stays on top; its questions must not open behind it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // The questions are Polish, and so are their answers, whatever language Qt was built for.
    for (SB b : buttons) box.addButton(b)->setText(ToQString(PolishCaption(b)));
    box.setDefaultButton(buttons.front());
    if (std::find(buttons.begin(), buttons.end(), SB::Cancel) != buttons.end()) {
        box.setEscapeButton(SB::Cancel);
    } else if (buttons.size() == 1) {
        box.setEscapeButton(buttons.front());
    }

    return RunModal(&box, [&]() -> int {
        box.exec();
        switch (box.standardButton(box.clickedButton())) {
            case SB::Ok:
                return ui::kIdOk;
            case SB::Cancel:
                return ui::kIdCancel;
            case SB::Abort:
                return ui::kIdAbort;
            case SB::Retry:
                return ui::kIdRetry;
            case SB::Ignore:
                return ui::kIdIgnore;
            case SB::Yes:
                return ui::kIdYes;
            case SB::No:
                return ui::kIdNo;
            default:
                return escapeAnswer;
        }
    });
}

void QtBackend::Beep(int) {
    QApplication::beep();
}

ui::Rect QtBackend::ScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? ToRect(screen->geometry()) : ui::Rect{0, 0, 1024, 768};
}

ui::Rect QtBackend::WorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? ToRect(screen->availableGeometry()) : ui::Rect{0, 0, 1024, 768};
}

int QtBackend::TrackPopupMenu(const std::vector<ui::MenuEntry>& entries, int x, int y) {
    if (modalsEnded_) return -1;
    QMenu menu;
    std::vector<QAction*> actions;
    for (const ui::MenuEntry& entry : entries) {
        if (entry.caption == "-") {
            actions.push_back(menu.addSeparator());
            continue;
        }
        QAction* action = menu.addAction(ToQString(entry.caption));  // "&" means the same to Qt
        action->setEnabled(entry.enabled);
        actions.push_back(action);
    }
    return RunModal(&menu, [&] {
        const QAction* chosen = menu.exec(QPoint(x, y));
        auto it = std::find(actions.begin(), actions.end(), chosen);
        return chosen && it != actions.end() ? static_cast<int>(it - actions.begin()) : -1;
    });
}

void QtBackend::ShowTrayIcon(const ui::TrayIcon& icon) {
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(
            tray_.get(), &QSystemTrayIcon::activated, helper_.get(),
            [this](QSystemTrayIcon::ActivationReason reason) {
                ui::TrayMouse what;
                switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        what = ui::TrayMouse::LeftDown;
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        what = ui::TrayMouse::LeftDoubleClick;
                        break;
                    case QSystemTrayIcon::Context:
                        what = ui::TrayMouse::RightDown;
                        break;
                    default:
                        return;
                }
                const QPoint at = QCursor::pos();
                EnqueueEvent(
                    ui::Event{.kind = ui::EventKind::Tray, .x = at.x(), .y = at.y(), .tray = what});
            });
    }
    // The program refreshes its tip every second; only a change reaches the tray host.
    const bool pictureChanged = !trayShown_ || trayShown_->width != icon.width ||
                                trayShown_->height != icon.height ||
                                trayShown_->pixels != icon.pixels;
    if (pictureChanged) {
        const size_t count = static_cast<size_t>(std::max(icon.width, 0)) *
                             static_cast<size_t>(std::max(icon.height, 0));
        if (icon.pixels.size() >= count && count > 0) {
            // The top byte of a word is its opacity: 0 where the desktop shows through.
            QImage image(icon.width, icon.height, QImage::Format_ARGB32);
            for (int row = 0; row < icon.height; ++row) {
                std::memcpy(image.scanLine(row),
                            icon.pixels.data() + static_cast<ptrdiff_t>(row) * icon.width,
                            static_cast<size_t>(icon.width) * 4);
            }
            tray_->setIcon(QIcon(QPixmap::fromImage(image)));
        } else {
            tray_->setIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
        }
    }
    if (!trayShown_ || trayShown_->tip != icon.tip) tray_->setToolTip(ToQString(icon.tip));
    trayShown_ = icon;
    tray_->show();
}

void QtBackend::HideTrayIcon() {
    if (tray_) tray_->hide();
}

bool QtBackend::CanPlaceWindows() const {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool QtBackend::TrayAvailable() {
    // Qt keeps watching: an icon shown while this is false appears when a tray host comes.
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::string QtBackend::ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

void QtBackend::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(ToQString(text));
}

}  // namespace tt::qt
