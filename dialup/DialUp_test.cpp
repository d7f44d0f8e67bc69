#include "dialup/DialUp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "base/error.h"
#include "platform/ras/simulated_line.h"
#include "testing/dialup_fakes.h"

namespace tt {
namespace {

using ::testing::ElementsAre;
using testing::FakeRas;
using testing::FakeUi;
using ::testing::IsEmpty;

// A component over the scripted library whose handlers write into the library's log, so that
// one list shows calls and events in the order they happened.
struct Rig {
    std::vector<std::string> log;
    FakeUi ui;
    FakeRas ras{log};
    TDialUp dialUp{ui, ras, [this] { return ui.nowMs; }};

    Rig() {
        ras.errorTexts[678] = "No answer.";
        dialUp.Entry = "Net";
        dialUp.Language = TLanguage::Polish;
        dialUp.OnDialing = [this](TComponent*) { log.push_back("OnDialing"); };
        dialUp.OnConnect = [this](TComponent*) { log.push_back("OnConnect"); };
        dialUp.OnNotConnected = [this](TComponent*, int code, const std::string& text) {
            log.push_back("OnNotConnected " + std::to_string(code) + " " + text);
        };
        dialUp.OnError = [this](TComponent*, int code, const std::string& text) {
            log.push_back("OnError " + std::to_string(code) + " " + text);
        };
        dialUp.OnAsyncEvent = [this](TComponent*, int state, int error, const std::string& text) {
            log.push_back("OnAsyncEvent " + std::to_string(state) + "/" + std::to_string(error) +
                          " " + text);
        };
    }

    // Reports from a thread other than the test's, as the library's own thread would.
    void Notify(std::vector<std::pair<uint32_t, uint32_t>> reports) {
        ASSERT_NE(ras.notifier, nullptr);
        std::thread library([&] {
            for (auto [state, error] : reports) ras.notifier(kRasDialEventMessage, state, error);
        });
        library.join();
    }
};

TEST(DialUp, AsyncDialReportsOnTheGuiThreadAfterDialReturnsInLibraryOrder) {
    Rig rig;
    ASSERT_EQ(rig.dialUp.Dial(), 0u);
    rig.Notify({{0, 0}, {5, 0}, {19, 0}, {RASCS_Connected, 0}});
    // The previous handle (none) is hung up first; nothing is delivered inside Dial.
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net", "OnDialing",
                                     "RasDialA async"));
    rig.log.clear();
    rig.ui.ProcessMessages();
    EXPECT_THAT(
        rig.log,
        ElementsAre("OnAsyncEvent 0/0 Otwieranie portu", "OnAsyncEvent 5/0 Autoryzacja rozpoczęta",
                    "OnAsyncEvent 19/0 Autoryzacja rozpoczęta", "OnAsyncEvent 8192/0 Podłączony"));
}

TEST(DialUp, AsyncDialFailuresBeforeAnyNotification) {
    Rig rig;
    rig.ras.dialParamsResult = 623;
    EXPECT_EQ(rig.dialUp.Dial(), 623u);
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net",
                                     "OnError 623 GetEntryDialParams failed"));

    // Refused at once: the library's text, and the stored handle is left for the next hang-up.
    rig.log.clear();
    rig.ras.dialParamsResult = 0;
    rig.ras.dialResult = 678;
    rig.ras.dialHandle = 41;
    EXPECT_EQ(rig.dialUp.Dial(), 678u);
    EXPECT_THAT(rig.log,
                ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net", "OnDialing",
                            "RasDialA async", "RasGetErrorStringA 678", "OnError 678 No answer."));
    rig.log.clear();
    rig.ras.dialResult = 0;
    rig.dialUp.Dial();
    EXPECT_EQ(rig.log.front(), "RasHangUpA 41");
}

TEST(DialUp, SyncDialConnectsOrHangsUpTheFailedLineBeforeReportingIt) {
    Rig rig;
    rig.dialUp.DialMode = TDialMode::dmSync;
    EXPECT_EQ(rig.dialUp.Dial(), 0u);
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net", "OnDialing",
                                     "RasDialA sync", "OnConnect"));

    rig.log.clear();
    rig.ras.dialHandle = 77;
    rig.ras.dialResult = 678;
    rig.ras.pollsUntilGone = 1;
    EXPECT_EQ(rig.dialUp.Dial(), 678u);
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net", "OnDialing",
                                     "RasDialA sync", "RasHangUpA 77", "RasGetConnectStatusA 77",
                                     "RasGetConnectStatusA 77", "RasGetErrorStringA 678",
                                     "OnNotConnected 678 No answer."));
    EXPECT_EQ(rig.ras.notifier, nullptr);
}

TEST(DialUp, SyncDialFailingWithoutHandleHangsNothingUpAndExplainsUnknownCodes) {
    Rig rig;
    rig.dialUp.DialMode = TDialMode::dmSync;
    rig.ras.dialResult = 4242;
    EXPECT_EQ(rig.dialUp.Dial(), 4242u);
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasGetEntryDialParamsA Net", "OnDialing",
                                     "RasDialA sync", "RasGetErrorStringA 4242",
                                     "OnNotConnected 4242 Error 4242"));
}

TEST(DialUp, EntryNameLongerThanTheFieldIsCutNotOverrun) {
    Rig rig;
    rig.dialUp.Entry = std::string(300, 'x');
    rig.dialUp.Dial();
    EXPECT_EQ(rig.ras.dialledEntry, std::string(256, 'x'));
}

TEST(DialUp, HangUpWaitsProcessingMessagesWithoutSpinning) {
    Rig rig;
    rig.ras.pollsUntilGone = 3;
    int ticks = 0;
    rig.ui.onWait = [&](int64_t) { rig.ui.Post([&] { ++ticks; }); };
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), 0u);
    EXPECT_EQ(rig.ui.waitCalls, 3);
    EXPECT_EQ(ticks, 3);  // every message that came during the wait was handled inside it
    EXPECT_EQ(rig.ui.Pending(), 0u);
}

TEST(DialUp, HangUpThatNeverFinishesGivesUpAfterTheLimit) {
    Rig rig;
    rig.ras.pollsUntilGone = -1;
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), kErrorTimeout);
    EXPECT_GE(rig.ui.nowMs, TDialUp::kHangUpLimitMs);
    EXPECT_LT(rig.ui.nowMs, TDialUp::kHangUpLimitMs + 100);
    EXPECT_EQ(rig.log.back(), "OnError 1460 Hang-up timed out");

    // The user is told from the message loop, once for the wait that gave up.
    ASSERT_EQ(rig.ui.Pending(), 1u);
    try {
        rig.ui.ProcessMessages();
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), TDialUp::kHangUpTimeoutText);
    }
    EXPECT_EQ(rig.ui.Pending(), 0u);
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), kErrorTimeout);  // a later one is told again
    EXPECT_EQ(rig.ui.Pending(), 1u);
}

TEST(DialUp, HangUpAsksTheStatusBeforeItHandlesAnyMessage) {
    Rig rig;
    rig.ras.pollsUntilGone = 0;
    int handled = 0;
    rig.ui.Post([&] { ++handled; });
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), 0u);
    EXPECT_EQ(rig.ui.processCalls, 0);
    EXPECT_EQ(rig.ui.waitCalls, 0);
    EXPECT_EQ(handled, 0);
}

TEST(DialUp, HangUpThatIsRefusedOrHasNoConnectionDoesNotWait) {
    Rig rig;
    EXPECT_EQ(rig.dialUp.HangUp(), kErrorInvalidHandle);  // never dialled: handle 0
    rig.ras.hangUpResult = 5;
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), 5u);
    EXPECT_THAT(rig.log, ElementsAre("RasHangUpA 0", "RasHangUpA 9"));
    EXPECT_EQ(rig.ui.processCalls, 0);

    // A library that accepts handle 0 and never calls it gone (Wine's does) costs no wait.
    rig.ras.hangUpResult = 0;
    rig.ras.acceptsHandleZero = true;
    rig.ras.pollsUntilGone = -1;
    EXPECT_EQ(rig.dialUp.HangUp(), 0u);
    EXPECT_EQ(rig.ui.processCalls, 0);
}

TEST(DialUp, BindingFailureInsideTheHangUpWaitEndsItQuietly) {
    Rig rig;
    rig.ras.statusThrows = true;
    EXPECT_EQ(rig.dialUp.HangUpConnection(9), 0u);
    EXPECT_EQ(rig.ui.waitCalls, 0);
}

TEST(DialUp, ListsEntriesInLibraryOrder) {
    Rig rig;
    std::vector<std::string> seen;
    rig.dialUp.OnEntryGet = [&](TComponent* sender, const std::string& name) {
        // Each name is in Entries by the time its event is raised.
        EXPECT_EQ(static_cast<TDialUp*>(sender)->Entries().back(), name);
        seen.push_back(name);
    };
    rig.ras.entries = {"Zeta", "Alfa"};
    EXPECT_EQ(rig.dialUp.GetEntries(), 0u);
    EXPECT_THAT(rig.dialUp.Entries(), ElementsAre("Zeta", "Alfa"));
    EXPECT_THAT(seen, ElementsAre("Zeta", "Alfa"));

    rig.ras.entries.clear();
    seen.clear();
    EXPECT_EQ(rig.dialUp.GetEntries(), 0u);
    EXPECT_THAT(rig.dialUp.Entries(), IsEmpty());
    EXPECT_THAT(seen, IsEmpty());
}

TEST(DialUp, ListingAgainstTheSimulatedLineFailsAsAWholeBeyondAHundredEntries) {
    FakeUi ui;
    SimulatedLine line(SimulatedLine::Timing::Virtual);
    TDialUp dialUp(ui, line);
    int events = 0;
    dialUp.OnEntryGet = [&](TComponent*, const std::string&) { ++events; };
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("Entry " + std::to_string(i));
    line.SetPhoneBook(names);
    EXPECT_EQ(dialUp.GetEntries(), 0u);
    EXPECT_EQ(dialUp.Entries().size(), 100u);
    EXPECT_EQ(dialUp.Entries()[99], "Entry 99");

    names.push_back("Entry 100");
    line.SetPhoneBook(names);
    events = 0;
    EXPECT_EQ(dialUp.GetEntries(), kErrorBufferTooSmall);
    EXPECT_THAT(dialUp.Entries(), IsEmpty());
    EXPECT_EQ(events, 0);
}

TEST(DialUp, ActiveConnectionsCarryStatusTextAndKeepTheLastStatusWhenAQueryFails) {
    Rig rig;
    rig.ras.connections = {{11, "Home", RASCS_Connected, 0, false},
                           {12, "Work", 0, 0, true},
                           {13, "Other", 3, 678, false}};
    std::vector<std::string> seen;
    rig.dialUp.OnActiveConnection = [&](TComponent*, int handle, TRasConnStatusA status,
                                        const std::string& text, const std::string& entry,
                                        const std::string& type, const std::string& device) {
        EXPECT_EQ(status.dwSize, sizeof(RASCONNSTATUSA));
        seen.push_back(std::to_string(handle) + " " + std::to_string(status.rasconnstate) + " " +
                       text + " " + entry + " " + type + " " + device);
    };
    EXPECT_EQ(rig.dialUp.GetActiveConnections(), 0u);
    EXPECT_THAT(seen, ElementsAre("11 8192 Podłączony Home modem Modem 1",
                                  "12 8192 Podłączony Work modem Modem 1",
                                  "13 3 No answer. Other modem Modem 1"));
}

TEST(DialUp, UnassignedAsyncEventStillEmptiesTheHandOver) {
    Rig rig;
    rig.dialUp.Dial();
    rig.dialUp.OnAsyncEvent = nullptr;
    rig.Notify({{0, 0}, {1, 0}});
    rig.ui.ProcessMessages();
    EXPECT_EQ(rig.ui.Pending(), 0u);
    std::vector<int> states;
    rig.dialUp.OnAsyncEvent = [&](TComponent*, int state, int, const std::string&) {
        states.push_back(state);
    };
    rig.Notify({{2, 0}});
    rig.ui.ProcessMessages();
    EXPECT_THAT(states, ElementsAre(2));
    // Without a handler no text is looked up: an error report asks the library nothing.
    rig.dialUp.OnAsyncEvent = nullptr;
    rig.log.clear();
    rig.Notify({{3, 678}});
    rig.ui.ProcessMessages();
    EXPECT_THAT(rig.log, IsEmpty());
}

TEST(DialUp, NextReportWaitsForTheHandlerEvenThroughANestedMessageLoop) {
    Rig rig;
    rig.dialUp.Dial();
    std::vector<std::string> order;
    bool inside = false;
    rig.dialUp.OnAsyncEvent = [&](TComponent*, int state, int, const std::string&) {
        EXPECT_FALSE(inside) << "delivered re-entrantly";
        inside = true;
        order.push_back("begin " + std::to_string(state));
        if (state == 0) {
            // The library reports again while the handler runs its own message loop.
            rig.Notify({{1, 0}});
            rig.ui.ProcessMessages();
            rig.ui.ProcessMessages();
        }
        order.push_back("end " + std::to_string(state));
        inside = false;
    };
    rig.Notify({{0, 0}});
    rig.ui.ProcessMessages();
    EXPECT_THAT(order, ElementsAre("begin 0", "end 0", "begin 1", "end 1"));
}

TEST(DialUp, AHandlerThatThrowsDoesNotBlockTheReportsBehindIt) {
    Rig rig;
    rig.dialUp.Dial();
    std::vector<int> states;
    rig.dialUp.OnAsyncEvent = [&](TComponent*, int state, int, const std::string&) {
        states.push_back(state);
        if (state == 0) throw Error("Function RasHangUpA not found!");
    };
    rig.Notify({{0, 0}, {1, 0}});
    EXPECT_THROW(rig.ui.ProcessMessages(), Error);
    rig.ui.ProcessMessages();
    EXPECT_THAT(states, ElementsAre(0, 1));
}

TEST(DialUp, ReportsRacingTheGuiThreadArriveAllInOrder) {
    Rig rig;
    rig.dialUp.Dial();
    std::vector<int> states;
    rig.dialUp.OnAsyncEvent = [&](TComponent*, int state, int, const std::string&) {
        states.push_back(state);
        if (state % 7 == 0) rig.ui.ProcessMessages();  // now and then a nested loop
    };
    constexpr int kReports = 2000;
    std::atomic<bool> done = false;
    std::thread library([&] {
        for (int i = 0; i < kReports; ++i) rig.ras.notifier(kRasDialEventMessage, i, 0);
        done = true;
    });
    while (!done || rig.ui.Pending() > 0) rig.ui.ProcessMessages();
    library.join();
    ASSERT_EQ(states.size(), static_cast<size_t>(kReports));
    for (int i = 0; i < kReports; ++i) ASSERT_EQ(states[i], i);
}

TEST(DialUp, ReportsForADestroyedComponentAreDropped) {
    std::vector<std::string> log;
    FakeUi ui;
    FakeRas ras(log);
    int delivered = 0;
    {
        TDialUp dialUp(ui, ras);
        dialUp.Entry = "Net";
        dialUp.OnAsyncEvent = [&](TComponent*, int, int, const std::string&) { ++delivered; };
        dialUp.Dial();
        ras.notifier(kRasDialEventMessage, 0, 0);  // posted, not yet delivered
    }
    ras.notifier(kRasDialEventMessage, 1, 0);
    ui.ProcessMessages();
    EXPECT_EQ(delivered, 0);
}

// The whole road over the simulated line: reports come from the line's own thread, time is
// virtual and moves only when the GUI thread waits.
struct LineRig {
    std::mutex addressMutex;
    std::vector<std::optional<std::string>> addresses;
    SimulatedLine line{SimulatedLine::Timing::Virtual, [this](std::optional<std::string> a) {
                           std::lock_guard lock(addressMutex);
                           addresses.push_back(std::move(a));
                       }};
    FakeUi ui;
    TDialUp dialUp{ui, line, [this] { return ui.nowMs; }};
    std::vector<std::string> texts;

    LineRig() {
        ui.onWait = [this](int64_t now) { line.AdvanceTo(now); };
        dialUp.Language = TLanguage::Polish;
        dialUp.OnAsyncEvent = [this](TComponent*, int, int, const std::string& text) {
            texts.push_back(text);
        };
    }

    void RunFor(int64_t ms) {
        ui.nowMs += ms;
        line.AdvanceTo(ui.nowMs);
        ui.ProcessMessages();
    }
};

TEST(DialUp, DialsAndHangsUpOverTheSimulatedLine) {
    LineRig rig;
    rig.line.SetPhoneBook({"Net"});
    rig.dialUp.Entry = "Net";
    ASSERT_EQ(rig.dialUp.Dial(), 0u);
    rig.RunFor(1200);
    EXPECT_THAT(rig.texts, ElementsAre("Otwieranie portu", "Port otwarty"));
    rig.RunFor(10000);
    EXPECT_EQ(rig.texts.size(), 8u);
    EXPECT_EQ(rig.texts.back(), "Podłączony");

    EXPECT_EQ(rig.dialUp.HangUp(), 0u);
    EXPECT_GE(rig.ui.nowMs, 11200 + 300);  // the line's hang-up delay passed inside the wait
    std::lock_guard lock(rig.addressMutex);
    EXPECT_THAT(rig.addresses, ElementsAre("10.0.0.2", "127.0.0.1"));
}

TEST(DialUp, TwoReportsAtOnceFromTheLineReachAHandlerThatHangsUpOneAfterTheOther) {
    LineRig rig;
    DialPlan plan;
    plan.Steps = {{0, 0, 500}, {2, 678, 0}};
    rig.line.SetDialPlan("Busy", plan);
    rig.dialUp.Entry = "Busy";
    bool inside = false;
    std::vector<int> states;
    rig.dialUp.OnAsyncEvent = [&](TComponent* sender, int state, int error, const std::string&) {
        EXPECT_FALSE(inside);
        inside = true;
        states.push_back(state);
        // As the main window does on a report: it handles messages and may hang up and wait.
        rig.ui.ProcessMessages();
        if (error != 0) {
            EXPECT_EQ(static_cast<TDialUp*>(sender)->HangUp(), 0u);
        }
        inside = false;
    };
    ASSERT_EQ(rig.dialUp.Dial(), 0u);
    rig.RunFor(500);
    EXPECT_THAT(states, ElementsAre(0, 2));
    uint32_t size = sizeof(RASCONNA), count = 1;
    RASCONNA record{};
    record.dwSize = sizeof(RASCONNA);
    EXPECT_EQ(rig.line.RasEnumConnectionsA(&record, &size, &count), 0u);
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace tt
