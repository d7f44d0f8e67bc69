#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/qt/qt_backend.h"

namespace tt::qt::testing {

// Records what the backend hands over; a test may act on each event as it comes. Its loop is
// the backend's alone.
class RecordingSink : public ui::EventSink {
  public:
    ui::Backend* backend = nullptr;
    std::vector<ui::Event> events;
    std::function<void(const ui::Event&)> onEvent;
    int turns = 0;                 // of ProcessMessages
    std::function<void()> onTurn;  // run once, at the next turn
    void HandleEvent(const ui::Event& event) override {
        events.push_back(event);
        if (onEvent) onEvent(event);
    }
    void ProcessMessages() override {
        ++turns;
        if (onTurn) std::exchange(onTurn, nullptr)();
        if (backend) backend->DispatchPending();
    }
};

// A backend on Qt's display-less platform, made fresh for every test.
class QtTest : public ::testing::Test {
  protected:
    QtTest() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        backend = std::make_unique<QtBackend>(argc_, argv_);
        backend->SetEventSink(&sink);
        sink.backend = backend.get();
    }
    ~QtTest() override { backend.reset(); }

    RecordingSink sink;
    std::unique_ptr<QtBackend> backend;

  private:
    static inline char name_[] = "qt_tests";
    static inline char* argv_[] = {name_, nullptr};
    static inline int argc_ = 1;
};

}  // namespace tt::qt::testing
