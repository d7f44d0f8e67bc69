#include "platform/headless/headless_backend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace tt::headless {
namespace {

// Records what the backend delivers, with the virtual time of delivery.
struct Recorder : ui::EventSink {
    HeadlessBackend& backend;
    std::vector<std::pair<ui::Event, int64_t>> events;
    explicit Recorder(HeadlessBackend& b) : backend(b) { backend.SetEventSink(this); }
    void HandleEvent(const ui::Event& e) override { events.emplace_back(e, backend.MonotonicMs()); }
    void ProcessMessages() override { backend.DispatchPending(); }
    std::vector<std::pair<int, int64_t>> Timers() const {
        std::vector<std::pair<int, int64_t>> out;
        for (auto& [e, t] : events) {
            if (e.kind == ui::EventKind::Timer) out.emplace_back(e.timer, t);
        }
        return out;
    }
};

TEST(HeadlessTime, AdvanceFiresEveryTimerAsItFallsDueInTimeOrder) {
    HeadlessBackend backend;
    Recorder rec(backend);
    const TDateTime wall = backend.WallClock();
    const int a = backend.SetTimer(300);
    const int b = backend.SetTimer(500);
    backend.Advance(1000);
    using P = std::pair<int, int64_t>;
    EXPECT_EQ(rec.Timers(), (std::vector<P>{{a, 300}, {b, 500}, {a, 600}, {a, 900}, {b, 1000}}));
    EXPECT_EQ(backend.MonotonicMs(), 1000);
    EXPECT_NEAR((backend.WallClock() - wall) * kSecondsPerDay, 1.0, 1e-6);

    // The wall clock can jump alone; timers run on the monotonic clock.
    backend.SetWallClock(wall + 1.0);
    EXPECT_EQ(backend.MonotonicMs(), 1000);
    backend.KillTimer(a);
    backend.Advance(500);
    EXPECT_EQ(rec.Timers().back(), (P{b, 1500}));
    EXPECT_EQ(rec.Timers().size(), 6u);
}

TEST(HeadlessTime, StallDeliversOneTickPerTimerAndKeepsTheRhythm) {
    HeadlessBackend backend;
    Recorder rec(backend);
    const int t = backend.SetTimer(100);
    backend.Stall(1050);
    ASSERT_EQ(rec.Timers().size(), 1u);
    EXPECT_EQ(rec.Timers()[0].second, 1050);
    backend.Advance(100);
    EXPECT_EQ(rec.Timers().back(), (std::pair<int, int64_t>{t, 1100}));
}

TEST(HeadlessTime, TimeHookHearsEveryMoveOfVirtualTime) {
    HeadlessBackend backend;
    backend.SetRealWaitLimit(0);
    std::vector<int64_t> heard;
    backend.SetTimeHook([&](int64_t ms) { heard.push_back(ms); });
    backend.Wait(40);  // a handler's own wait moves time too
    backend.SetTimer(300);
    backend.Advance(700);  // at each timer due, then at the target
    backend.Stall(50);
    EXPECT_EQ(heard, (std::vector<int64_t>{40, 340, 640, 740, 790}));
}

TEST(HeadlessInput, SecondPressAtTheSamePlaceInTimeIsADoubleClick) {
    HeadlessBackend backend;
    Recorder rec(backend);
    const int w = backend.CreateTopWindow({}, "w");
    backend.ShowWindow(w, true, true);
    auto pressShift = [&] {
        for (auto it = rec.events.rbegin(); it != rec.events.rend(); ++it) {
            if (it->first.kind == ui::EventKind::MouseDown) return it->first.shift;
        }
        return 0u;
    };
    backend.MouseDown(w, 5, 5, ui::MouseButton::Left);
    backend.MouseUp(w, 5, 5, ui::MouseButton::Left);
    EXPECT_FALSE(pressShift() & ui::kDoubleClick);
    backend.MouseDown(w, 5, 5, ui::MouseButton::Left);
    EXPECT_TRUE(pressShift() & ui::kDoubleClick);
    backend.MouseDown(w, 5, 5, ui::MouseButton::Left);  // a third press starts over
    EXPECT_FALSE(pressShift() & ui::kDoubleClick);
    backend.MouseDown(w, 6, 5, ui::MouseButton::Left);  // elsewhere
    EXPECT_FALSE(pressShift() & ui::kDoubleClick);
    backend.Advance(501);
    backend.MouseDown(w, 6, 5, ui::MouseButton::Left);  // too late
    EXPECT_FALSE(pressShift() & ui::kDoubleClick);
}

TEST(HeadlessInput, CaptureKeepsEventsWithTheWindowAndLeavingIsReported) {
    HeadlessBackend backend;
    Recorder rec(backend);
    const int a = backend.CreateTopWindow({}, "a");
    const int b = backend.CreateTopWindow({}, "b");
    backend.SetBounds(a, {100, 100, 200, 200});
    backend.SetBounds(b, {300, 100, 400, 200});
    backend.MouseMove(a, 10, 10);
    backend.SetCapture(a);
    backend.MouseMove(b, 5, 5);
    const ui::Event& moved = rec.events.back().first;
    EXPECT_EQ(moved.window, a);
    EXPECT_EQ(moved.x, 205);  // b's (5, 5) in a's coordinates
    EXPECT_EQ(moved.y, 5);
    backend.ReleaseCapture();
    rec.events.clear();
    backend.MouseMove(b, 6, 6);
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].first.kind, ui::EventKind::MouseLeave);
    EXPECT_EQ(rec.events[0].first.window, a);
    EXPECT_EQ(rec.events[1].first.window, b);
}

TEST(HeadlessServices, MessageBoxesAreAnsweredFromTheQueueAndRecorded) {
    HeadlessBackend backend;
    backend.QueueMessageBoxAnswer(ui::kIdYes);
    EXPECT_EQ(backend.ShowMessageBox("Pytanie ?", "Taktomat 2000", 35), ui::kIdYes);
    EXPECT_EQ(backend.ShowMessageBox("Znowu ?", "T", ui::kMbYesNoCancel), ui::kIdCancel);
    EXPECT_EQ(backend.ShowMessageBox("Błąd.", "T", ui::kMbOk | ui::kMbIconError), ui::kIdOk);
    EXPECT_EQ(backend.ShowMessageBox("Tak czy nie", "T", ui::kMbYesNo), ui::kIdNo);
    ASSERT_EQ(backend.MessageBoxes().size(), 4u);
    EXPECT_EQ(backend.MessageBoxes()[0].caption, "Taktomat 2000");
    EXPECT_EQ(backend.MessageBoxes()[0].flags, 35u);
    EXPECT_EQ(backend.MessageBoxes()[2].text, "Błąd.");

    backend.QueueMenuChoice("Zamknij");
    EXPECT_EQ(backend.TrackPopupMenu({{"&Połącz"}, {"-"}, {"&Zamknij"}}, 0, 0), 2);
    EXPECT_EQ(backend.TrackPopupMenu({{"&Połącz"}}, 0, 0), -1);  // dismissed
}

TEST(HeadlessLoop, WaitReturnsOnAWakeFromAnotherThreadOrMovesVirtualTime) {
    HeadlessBackend backend;
    backend.SetRealWaitLimit(10000);
    std::thread waker([&] { backend.Wake(); });
    backend.Wait(-1);  // would sleep ten seconds without the wake
    waker.join();
    EXPECT_EQ(backend.MonotonicMs(), 0);

    backend.SetRealWaitLimit(0);
    backend.SetTimer(250);
    backend.Wait(1000);  // nobody wakes it: the timer falls due first
    EXPECT_EQ(backend.MonotonicMs(), 250);
    backend.Wait(1000);  // a timer is due: nothing to wait for
    EXPECT_EQ(backend.MonotonicMs(), 250);
}

TEST(HeadlessWindows, PresentKeepsOnlyTheDirtyPartAndHidingHandsOnActivation) {
    HeadlessBackend backend;
    const int a = backend.CreateTopWindow({}, "a");
    const int b = backend.CreateTopWindow({}, "b");
    std::vector<uint32_t> px(4 * 2, 1);
    backend.Present(a, px.data(), 4, 2, {0, 0, 4, 2});
    std::fill(px.begin(), px.end(), 2);
    backend.Present(a, px.data(), 4, 2, {1, 1, 3, 2});
    EXPECT_EQ(backend.WindowInfo(a)->pixels, (std::vector<uint32_t>{1, 1, 1, 1, 1, 2, 2, 1}));

    backend.ShowWindow(a, true, true);
    backend.ShowWindow(b, true, true);
    EXPECT_EQ(backend.ActiveWindow(), b);
    backend.ShowWindow(b, false, false);
    EXPECT_EQ(backend.ActiveWindow(), a);
    const int hint = backend.CreateTopWindow({true, true, true}, "");
    backend.ShowWindow(hint, true, true);
    EXPECT_EQ(backend.ActiveWindow(), a);  // pop-ups never take activation
}

TEST(HeadlessWindows, AtALargerScaleEveryPixelIsABlockAndOnlyTheDirtyPartChanges) {
    HeadlessBackend backend;
    backend.SetScale(2);
    const int a = backend.CreateTopWindow({}, "a");
    std::vector<uint32_t> px{1, 2, 3, 4, 5, 6};  // 3 x 2
    backend.Present(a, px.data(), 3, 2, {0, 0, 3, 2});
    px = {7, 7, 7, 7, 7, 7};
    backend.Present(a, px.data(), 3, 2, {2, 1, 9, 9});  // cut to the frame
    // clang-format off
    EXPECT_EQ(backend.WindowInfo(a)->pixels, (std::vector<uint32_t>{
        1, 1, 2, 2, 3, 3,
        1, 1, 2, 2, 3, 3,
        4, 4, 5, 5, 7, 7,
        4, 4, 5, 5, 7, 7}));
    // clang-format on
    // Back at 1x the next present shows the whole frame again, at its own size.
    backend.SetScale(1);
    backend.Present(a, px.data(), 3, 2, {0, 0, 1, 1});
    EXPECT_EQ(backend.WindowInfo(a)->pixels, px);
}

TEST(Screens, TheFactorIsTheUsersOrTheDesktopsRoundedAndKeptWithinThree) {
    struct Case {
        int setting;
        double desktop;
        int factor;
    };
    // clang-format off
    for (const Case& c : std::vector<Case>{
             {0, 1.0, 1}, {0, 1.25, 1}, {0, 1.5, 2}, {0, 2.0, 2}, {0, 2.5, 3}, {0, 4.0, 3},
             {0, 0.5, 1}, {0, std::nan(""), 1}, {2, 1.0, 2}, {1, 2.0, 1}, {3, 1.0, 3}, {4, 2.0, 2}}) {
        // clang-format on
        EXPECT_EQ(ui::WholeScale(c.setting, c.desktop), c.factor) << c.setting << " " << c.desktop;
    }
}

TEST(Screens, AWindowBelongsToTheMonitorUnderItsCentreElseTheOneItOverlapsMost) {
    const std::vector<ui::Monitor> monitors{
        {{0, 0, 1024, 768}, {}}, {{1024, 0, 2048, 768}, {}}, {{0, 800, 1024, 1568}, {}}};
    struct Case {
        ui::Rect window;
        size_t monitor;
    };
    for (const Case& c :
         std::vector<Case>{{{100, 100, 375, 180}, 0},
                           {{900, 100, 1175, 180}, 1},      // centre just past the edge
                           {{800, 100, 1075, 180}, 0},      // most of it on the primary
                           {{100, 750, 375, 830}, 2},       // centre in the gap, more below it
                           {{100, 700, 375, 780}, 0},       // centre on the primary
                           {{3000, 3000, 3275, 3080}, 0},   // on no monitor: the primary's
                           {{-500, 700, -100, 900}, 0}}) {  // beside them all
        EXPECT_EQ(ui::MonitorOf(monitors, c.window), c.monitor)
            << c.window.left << "," << c.window.top;
    }
}

}  // namespace
}  // namespace tt::headless
