#include "platform/qt/qt_backend.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QScreen>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#ifdef __linux__
#include <unistd.h>
#endif

#include "platform/qt/qt_font_engine.h"
#include "platform/qt/qt_private.h"

namespace tt::qt {

namespace {

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

ui::Rect ToRect(const QRect& r) {
    return ui::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

QtBackend::QtBackend(int& argc, char** argv, int scale) {
    if (!QCoreApplication::instance()) {
        if (scale >= 1 && scale <= 3) {
            // The user's own size, on every screen whatever the desktop's scale.
            qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
            qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
            qunsetenv("QT_SCREEN_SCALE_FACTORS");
        } else {
            // The desktop's scale, as a whole factor: the surfaces blow every pixel up to a
            // block of it, which keeps the skin sharp where a fraction would smear it.
            QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
                Qt::HighDpiScaleFactorRoundingPolicy::Round);
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
    // A screen that came, went or changed: the program keeps its windows on the ones there are.
    const auto watch = [this](QScreen* screen) {
        for (auto changed : {&QScreen::geometryChanged, &QScreen::availableGeometryChanged}) {
            QObject::connect(screen, changed, helper_.get(), [this] { DisplayChanged(); });
        }
    };
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, helper_.get(), [this, watch](QScreen* s) {
        watch(s);
        DisplayChanged();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, helper_.get(),
                     [this] { DisplayChanged(); });
    WatchClockSet();
}

QtBackend::~QtBackend() {
    if (&CurrentFontEngine() == fonts_.get()) SetCurrentFontEngine(nullptr);
    watched_.clear();
#ifdef __linux__
    if (clockSet_ >= 0) close(clockSet_);
#endif
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

bool QtBackend::MinimizeWindow(int window) {
    Surface* s = Find(window);
    // A tool window has no taskbar button to come back from.
    if (!s || !s->isVisible() || s->Style().popup || s->Style().toolWindow) return false;
    if (capture_ == window) ReleaseCapture();
    s->showMinimized();
    return true;
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

// --- the screen and the clipboard

ui::Rect QtBackend::ScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? ToRect(screen->geometry()) : ui::Rect{0, 0, 1024, 768};
}

ui::Rect QtBackend::WorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? ToRect(screen->availableGeometry()) : ui::Rect{0, 0, 1024, 768};
}

void QtBackend::DisplayChanged() {
    // One report for a burst of them: a monitor that goes changes the others too.
    const bool queued = std::any_of(queue_.begin(), queue_.end(), [](const Pending& p) {
        return !p.call && p.event.kind == ui::EventKind::DisplayChange;
    });
    if (!queued) EnqueueEvent(ui::Event{.kind = ui::EventKind::DisplayChange});
}

std::vector<ui::Monitor> QtBackend::Monitors() {
    std::vector<ui::Monitor> monitors;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        monitors.push_back({ToRect(primary->geometry()), ToRect(primary->availableGeometry())});
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen == primary) continue;
        monitors.push_back({ToRect(screen->geometry()), ToRect(screen->availableGeometry())});
    }
    if (monitors.empty()) monitors.push_back({ScreenRect(), WorkArea()});
    return monitors;
}

bool QtBackend::CanPlaceWindows() const {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::string QtBackend::ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

void QtBackend::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(ToQString(text));
}

}  // namespace tt::qt
