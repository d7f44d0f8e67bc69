#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QStyleHints>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <stdexcept>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

#include "platform/qt/qt_private.h"

namespace tt::qt {

bool LoopHelper::event(QEvent* event) {
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

void LoopHelper::timerEvent(QTimerEvent* event) {
    backend_.OnTimer(event->timerId());
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

bool QtBackend::WatchHandle(int handle, std::function<void()> ready) {
    if (handle < 0 || watched_.count(handle)) return false;
    const uint64_t serial = nextWatch_++;
    auto notifier = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
    QSocketNotifier* n = notifier.get();
    QObject::connect(n, &QSocketNotifier::activated, helper_.get(), [this, n, handle, serial] {
        // Quiet until the program has read what waits, or Qt would report it again and again.
        n->setEnabled(false);
        Enqueue(Pending{ui::Event{}, [this, handle, serial] { HandleReady(handle, serial); }});
    });
    watched_[handle] = Watched{std::move(notifier), std::move(ready), serial};
    return true;
}

void QtBackend::HandleReady(int handle, uint64_t serial) {
    auto it = watched_.find(handle);
    if (it == watched_.end() || it->second.serial != serial) return;  // no longer watched
    const std::function<void()> ready = it->second.ready;
    ready();
    it = watched_.find(handle);
    if (it != watched_.end() && it->second.serial == serial) it->second.notifier->setEnabled(true);
}

void QtBackend::UnwatchHandle(int handle) {
    watched_.erase(handle);
}

void QtBackend::WatchClockSet() {
#ifdef __linux__
    clockSet_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (clockSet_ < 0) return;
    ArmClockSet();
    WatchHandle(clockSet_, [this] {
        uint64_t expired = 0;
        // Fails with ECANCELED once the clock was set; the timer must be set again then.
        while (read(clockSet_, &expired, sizeof expired) > 0) {
        }
        ArmClockSet();
        EnqueueEvent(ui::Event{.kind = ui::EventKind::TimeChange});
    });
#endif
}

void QtBackend::ArmClockSet() {
#ifdef __linux__
    // Far in the future: it is there only to be cancelled.
    itimerspec far{};
    far.it_value.tv_sec = std::time(nullptr) + 10LL * 366 * 24 * 3600;
    timerfd_settime(clockSet_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
#endif
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

}  // namespace tt::qt
