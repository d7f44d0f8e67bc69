#pragma once
#include <functional>

namespace tt {

// What code outside the toolkit needs of the GUI thread's message loop: a thread-safe way in,
// and a way to keep messages flowing while it waits for something on the GUI thread.
class UiThread {
  public:
    virtual ~UiThread() = default;

    // Any thread: run fn on the GUI thread, after everything posted before it.
    virtual void Post(std::function<void()> fn) = 0;

    // GUI thread: handle every message that is pending now (input, due timers, posted
    // functions), then return. May be called from inside an event handler.
    virtual void ProcessMessages() = 0;

    // GUI thread: sleep until a message arrives or a timer falls due, or at most `ms`
    // milliseconds, without handling anything.
    virtual void WaitForMessages(int ms) = 0;

    // GUI thread: `ready` runs on the GUI thread whenever the descriptor `handle` can be read,
    // until UnwatchHandle. False where the loop cannot watch one (then ask on a timer).
    // By value: the backends that can watch keep it.
    virtual bool WatchHandle(
        int /*handle*/,
        std::function<void()> /*ready*/) {  // NOLINT(performance-unnecessary-value-param)
        return false;
    }
    virtual void UnwatchHandle(int handle) { (void)handle; }
};

}  // namespace tt
