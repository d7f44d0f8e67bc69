// Prints how much CPU the GUI thread (and the whole process) uses while TDialUp waits: during a
// five-second hang-up, and while dial notifications wait for a handler that runs for five
// seconds. Both waits must leave the core idle. Runs on the real clock over the simulated line.
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialup/DialUp.h"
#include "platform/ras/simulated_line.h"

namespace tt {
namespace {

// The least of a real message loop: posted functions, and a wait that sleeps until one comes.
class RealUi : public UiThread {
  public:
    void Post(std::function<void()> fn) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(fn));
        }
        arrived_.notify_one();
    }

    void ProcessMessages() override {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) return;
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
    }

    void WaitForMessages(int ms) override {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
};

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Sample {
    double wall = Seconds(CLOCK_MONOTONIC);
    double thread = Seconds(CLOCK_THREAD_CPUTIME_ID);
    double process = ProcessCpuSeconds();
};

void Report(const char* what, const Sample& start, const Sample& end, const std::string& note) {
    const double wall = end.wall - start.wall;
    const double thread = end.thread - start.thread;
    const double process = end.process - start.process;
    std::printf(
        "%-22s %6.3f s wall | GUI thread %7.3f ms CPU = %5.3f %% of a core | whole process "
        "%7.3f ms CPU = %5.3f %% | %s\n",
        what, wall, thread * 1e3, 100.0 * thread / wall, process * 1e3, 100.0 * process / wall,
        note.c_str());
}

// Posts a message every second, as the meter's timer does, until stopped.
class Ticker {
  public:
    explicit Ticker(UiThread& ui)
        : thread_([this, &ui] {
              std::unique_lock lock(mutex_);
              while (!stop_) {
                  if (!stopped_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
                      ui.Post([this] { ++handled; });
                  }
              }
          }) {}
    ~Ticker() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_one();
        thread_.join();
    }
    std::atomic<int> handled = 0;

  private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

DialPlan QuickPlan() {
    DialPlan plan;
    plan.Steps = {{RASCS_OpenPort, 0, 1}, {1, 0, 1}, {RASCS_Connected, 0, 1}};
    return plan;
}

void MeasureHangUpWait() {
    RealUi ui;
    SimulatedLine line(SimulatedLine::Timing::Real);
    line.SetDialPlan("Net", QuickPlan());
    line.SetHangUpDelay(5000);
    TDialUp dialUp(ui, line);
    dialUp.DialMode = TDialMode::dmSync;
    dialUp.Entry = "Net";
    if (dialUp.Dial() != 0) std::printf("dial failed\n");

    Ticker ticker(ui);
    const Sample start;
    const uint32_t result = dialUp.HangUp();
    const Sample end;
    Report("hang-up wait", start, end,
           "result " + std::to_string(result) + ", " + std::to_string(ticker.handled.load()) +
               " timer messages handled inside the wait");
}

void MeasurePendingNotification() {
    RealUi ui;
    SimulatedLine line(SimulatedLine::Timing::Real);
    line.SetDialPlan("Old", QuickPlan());
    line.SetDialPlan("Net", QuickPlan());
    line.SetHangUpDelay(5000);

    // A connection that the first notification's handler hangs up, as the main window does
    // after a failed attempt: five seconds inside one handler.
    HRasConn old = 0;
    {
        RASDIALPARAMSA params{};
        params.dwSize = sizeof(params);
        std::snprintf(params.szEntryName, sizeof(params.szEntryName), "Old");
        line.RasDialA(nullptr, nullptr, &params, 0, nullptr, &old);
    }

    TDialUp dialUp(ui, line);
    dialUp.Entry = "Net";
    std::vector<int> states;
    Sample start, end;
    dialUp.OnAsyncEvent = [&](TComponent* sender, int state, int, const std::string&) {
        states.push_back(state);
        if (state != RASCS_OpenPort) return;
        // The other two notifications arrive a millisecond later and wait through this.
        start = Sample();
        static_cast<TDialUp*>(sender)->HangUpConnection(old);
        end = Sample();
    };
    dialUp.Dial();
    while (states.size() < 3) {
        ui.WaitForMessages(100);
        ui.ProcessMessages();
    }
    std::string order;
    for (int state : states) order += std::to_string(state) + " ";
    Report("pending notification", start, end, "delivered after the handler, in order: " + order);
}

}  // namespace
}  // namespace tt

int main() {
    tt::MeasureHangUpWait();
    tt::MeasurePendingNotification();
    return 0;
}
