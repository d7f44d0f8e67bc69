#include <QCursor>
#include <QGuiApplication>

#include <cstdlib>

#include "platform/qt/qt_private.h"

// Input from the windows on its way to the program's queue: double clicks, the mouse capture,
// the active window, and a window that follows the pointer.
namespace tt::qt {

namespace {

// Two presses this close together (and within the double-click time) make a double click.
constexpr int kDoubleClickSlop = 2;

}  // namespace

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

// --- moving a window with the pointer

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

}  // namespace tt::qt
