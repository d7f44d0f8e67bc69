#include "session/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "base/datetime.h"
#include "base/files.h"
#include "testing/dialup_fakes.h"
#include "testing/test_temp_folder.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

using testing::ReadText;

// What a window is told, in order.
struct RecordingView : TSessionView {
    void SessionChanged(const TSession&, unsigned what) override { changes.push_back(what); }
    void Beep(int type) override { beeps.push_back(type); }
    void Tell(const std::string& text) override {
        told.push_back(text);
        changesBeforeTell = changes;
    }
    void Notify(const TSessionNotice& n) override { notices.push_back(n.Title + "|" + n.Text); }
    std::vector<unsigned> changes;
    std::vector<std::string> notices;
    std::vector<int> beeps;
    std::vector<std::string> told;
    std::vector<unsigned> changesBeforeTell;
};

// A session on its own: both clocks move a second a tick, and the save is retried every minute
// while records wait, as the main window's LogRetry does.
class SessionTest : public ::testing::Test {
  protected:
    SessionTest() {
        static std::atomic<int> counter{0};
        dir = fs::temp_directory_path() / ("taktomat_session_test_" + std::to_string(::getpid()) +
                                           "_" + std::to_string(counter++));
        fs::remove_all(dir);
        fs::create_directories(dir);
        host.Set("127.0.0.1");
    }
    ~SessionTest() override {
        SetFileFaultHook(nullptr);
        session.reset();
        fs::remove_all(dir);
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    void Start() {
        session = std::make_unique<TSession>(
            TSessionServices{host, ras, ui, [this] { return wall; }, [this] { return mono; }, dir,
                             MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ','), Unsaved()});
        session->AddView(view);
        session->Start();
        retryDue = 0;
    }
    void StartOnline() {
        Write("taktomat.ini", "[MAX]\r\nOODL=0\r\n[OPCJE]\r\nIMPULS1=30\r\n");
        Start();
        // What the options and limits windows read as they are made.
        ReadTariffTable(*session->Settings(), session->Format(), session->TariffTable());
        session->MeterLimits() = ReadMeterLimits(*session->Settings());
        Online();
        Tick(62);
    }
    void Tick(int seconds = 1) {
        for (int i = 0; i < seconds; ++i) {
            mono += 1000;
            wall += 1.0 / 86400;
            session->Tick();
            if (!session->RetryPending()) {
                retryDue = 0;
            } else if (retryDue == 0) {
                retryDue = mono + 60000;
            } else if (mono >= retryDue) {
                session->RetrySave();
                retryDue = mono + 60000;
            }
        }
    }
    void End() { session->End(); }
    void Stop() {
        if (session) session->End();
        session.reset();
    }
    void SetWallClock(TDateTime t) { wall = t; }
    void Online() { host.Set("10.1.2.3"); }
    void Offline() { host.Set("127.0.0.1"); }
    std::string Log() { return ReadText(dir / "raport.txt"); }
    fs::path Unsaved() const { return dir / "state" / "raport-unsaved.txt"; }
    // The records the second place keeps, as lines of the log.
    std::string Kept() const {
        std::string text;
        for (const std::string& r : TLogKeeper::KeptRecords(Unsaved())) text += r + "\r\n";
        return text;
    }
    std::string V(std::string_view name) {
        if (name == "DayPulses") return std::to_string(session->Totals().DayPulses);
        if (name == "MonthPulses") return std::to_string(session->Totals().MonthPulses);
        if (name == "LogLines") return std::to_string(session->LogLines().size());
        return "?";
    }

    fs::path dir;
    TDateTime wall = EncodeDate(2026, 12, 7) + EncodeTime(12, 0, 0);
    int64_t mono = 0;
    int64_t retryDue = 0;
    ScriptedHostAddressSource host;
    testing::FakeUi ui;
    std::vector<std::string> rasLog;
    testing::FakeRas ras{rasLog};
    RecordingView view;
    std::unique_ptr<TSession> session;
};

using SessionLogTest = SessionTest;

// A connection metered for 61 s at 30-second pulses with no OODL: three pulses.
constexpr const char* kThreePulses = "2026-12-07\t00:01:01\t3\t0,87\t\r\n";

// The views' contract: told after each change, in the order they were added, with what changed;
// a view that goes while others are told is not told any more.
TEST_F(SessionTest, ViewsAreToldWhatChangedInOrderAndNotAfterTheyGo) {
    Write("taktomat.ini", "[MAX]\r\nOODL=0\r\nMAXIMP_P=2\r\n[OPCJE]\r\nIMPULS1=30\r\n");
    Start();
    ASSERT_EQ(view.changes.size(), 2u);  // the meter starts ticking, then the log is there
    EXPECT_EQ(view.changes.back(), unsigned{kStateChanged | kLogChanged});
    session->MeterLimits() = ReadMeterLimits(*session->Settings());
    ReadTariffTable(*session->Settings(), session->Format(), session->TariffTable());

    struct Leaving : TSessionView {
        TSession* s = nullptr;
        TSessionView* other = nullptr;
        int told = 0;
        void SessionChanged(const TSession&, unsigned) override {
            ++told;
            s->RemoveView(*other);
        }
    } leaving;
    RecordingView second;
    leaving.s = session.get();
    leaving.other = &second;
    session->AddView(leaving);
    session->AddView(second);
    view.changes.clear();
    Online();
    Tick(32);  // pulse 2 (at 30 s, counted on the tick after) reaches the limit
    EXPECT_EQ(view.changes.front(), unsigned{kOnlineTick});
    EXPECT_EQ(view.changes.back(), unsigned{kStateChanged});
    EXPECT_TRUE(session->DisconnectChecked());
    EXPECT_EQ(view.beeps, (std::vector<int>{-1, 48}));  // three quarters, then the limit
    EXPECT_TRUE(second.changes.empty());
    EXPECT_EQ(leaving.told, 33);  // each tick, and the box ticked on the last

    session->RemoveView(leaving);
    view.changes.clear();
    Offline();
    Tick();
    EXPECT_EQ(view.changes.front(), unsigned{kOfflineTick});
    EXPECT_EQ(view.changes.back(), unsigned{kStateChanged | kLogChanged});  // the record saved
    EXPECT_EQ(V("LogLines"), "1");
    // Every end runs once: a second adds nothing and tells nothing.
    End();
    view.changes.clear();
    End();
    EXPECT_TRUE(view.changes.empty());
}

// What the desktop is told, when, and the tray's tip: a connection of 61 s at 30-second pulses
// (three pulses, 0,87), with the limits that arm the hang-up box at its second pulse.
TEST_F(SessionTest, NoticesAndTheTrayTipFollowTheConnection) {
    const std::string end = "Połączenie zakończone|Czas: 00:01:01\nImpulsy: 3\nKoszt: 0,87 zł";
    const std::string rest = ". Połączenie zostanie rozłączone z końcem tego impulsu.";
    struct Case {
        const char* what;
        std::string limits;   // [MAX] besides no OODL
        std::string options;  // [OPCJE] besides 30-second pulses
        std::string log;      // today's use before the connection
        std::vector<std::string> notices;
    };
    const Case cases[] = {
        {"no limit", "", "", "", {end}},
        {"the connection's limit",
         "MAXIMP_P=2\r\n",
         "",
         "",
         {"Osiągnięto limit impulsów|Limit impulsów na połączenie: 2" + rest,
          "Rozłączono przy limicie|Limit impulsów na połączenie: 2.", end}},
        {"the day's limit, with three pulses used today",
         "MAXIMP_D=5\r\n",
         "",
         kThreePulses,
         {"Osiągnięto limit impulsów|Limit impulsów na dzień: 5" + rest,
          "Rozłączono przy limicie|Limit impulsów na dzień: 5.", end}},
        {"notices turned off", "MAXIMP_P=2\r\n", "POWIADOMIENIA=0\r\n", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("raport.txt", c.log);
        Write("taktomat.ini",
              "[MAX]\r\nOODL=0\r\n" + c.limits + "[OPCJE]\r\nIMPULS1=30\r\n" + c.options);
        view.notices.clear();
        Start();
        ReadTariffTable(*session->Settings(), session->Format(), session->TariffTable());
        session->MeterLimits() = ReadMeterLimits(*session->Settings());
        EXPECT_EQ(session->TrayTip(), "Taktomat 2000");
        Online();
        Tick(32);
        EXPECT_EQ(session->TrayTip(), "Taktomat 2000\nCzas: 00:00:31\nImpulsy: 2\nKoszt: 0,58 zł");
        Tick(30);
        Offline();
        Tick();
        EXPECT_EQ(session->TrayTip(), "Taktomat 2000");
        EXPECT_EQ(view.notices, c.notices);
        Stop();
    }
}

// A settings file that is there but cannot be read is told of once at start; the program goes
// on with the defaults.
TEST_F(SessionTest, ASettingsFileThatCannotBeReadIsToldOnce) {
    fs::create_directories(dir / "taktomat.ini");  // there, and no file to read
    Start();
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].find("Nie udało się odczytać pliku ustawień"), std::string::npos);
    EXPECT_EQ(ReadMeterLimits(*session->Settings()).MAXIMP_P, keys::MAXIMP_P.Default);
}

TEST_F(SessionLogTest, AFailedWriteIsKeptRetriedEveryMinuteAndNeverWrittenTwice) {
    std::atomic<bool> fail{true};
    SetFileFaultHook([&](FileStep step, const fs::path& file) {
        return fail && step == FileStep::Rename && file.filename() == "raport.txt" ? ENOSPC : 0;
    });
    StartOnline();
    Offline();
    Tick();
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].find("Zapis połączenia jest zachowany"), std::string::npos);
    EXPECT_EQ(Log(), "<missing>");
    EXPECT_TRUE(session->RetryPending());
    // The retry is armed before the box is shown: a box waits for the user, the retry must not.
    ASSERT_FALSE(view.changesBeforeTell.empty());
    EXPECT_TRUE(view.changesBeforeTell.back() & kStateChanged);
    Tick(60);  // still failing: tried again, no second box
    EXPECT_EQ(view.told.size(), 1u);
    fail = false;
    Tick(60);
    EXPECT_EQ(Log(), kThreePulses);
    EXPECT_FALSE(session->RetryPending());
    EXPECT_EQ(V("DayPulses"), "3");
    Tick(120);
    Stop();
    EXPECT_EQ(Log(), kThreePulses);
    // No temporary is left of the failed tries.
    EXPECT_FALSE(fs::exists(TemporaryFor(dir / "raport.txt")));
}

TEST_F(SessionLogTest, WhatCannotBeWrittenAtTheEndGoesToTheSecondPlaceOnce) {
    SetFileFaultHook([&](FileStep step, const fs::path& file) {
        return step == FileStep::Write && file.filename() == "raport.txt" ? EROFS : 0;
    });
    StartOnline();
    End();
    EXPECT_EQ(Log(), "<missing>");
    EXPECT_EQ(Kept(), kThreePulses);
    ASSERT_FALSE(view.told.empty());
    EXPECT_NE(view.told.back().find(FullPathText(Unsaved())), std::string::npos);
    Stop();
    EXPECT_EQ(Kept(), kThreePulses);
}

// What an earlier run left in the second place goes back into the log at the next start, once;
// the second place is emptied only when the log holds it, and never fills up with doubles.
TEST_F(SessionLogTest, TheSecondPlaceGoesBackIntoTheLogAtTheNextStart) {
    const std::string earlier = "2026-12-06\t00:05:00\t2\t0,58\t\r\n";
    const std::string copied = "2026-12-05\t00:02:00\t1\t0,29\t\r\n";
    Write("raport.txt", copied);
    fs::create_directories(Unsaved().parent_path());
    std::ofstream(Unsaved(), std::ios::binary) << copied << earlier;  // one copied by hand
    Start();
    EXPECT_EQ(Log(), copied + earlier);
    EXPECT_EQ(Kept(), "");
    EXPECT_EQ(V("LogLines"), "2");
    Stop();

    // The log cannot be written at start: the records wait in memory and in the second place,
    // and the end adds only the new one there.
    const std::string later = "2026-12-06\t00:09:00\t4\t1,16\t\r\n";
    std::ofstream(Unsaved(), std::ios::binary) << later;
    SetFileFaultHook([&](FileStep step, const fs::path& file) {
        return step == FileStep::Write && file.filename() == "raport.txt" ? EROFS : 0;
    });
    StartOnline();
    EXPECT_TRUE(session->RetryPending());
    End();
    EXPECT_EQ(Kept(), later + kThreePulses);
    Stop();
    SetFileFaultHook(nullptr);
    Start();
    EXPECT_EQ(Log(), copied + earlier + later + kThreePulses);
    EXPECT_EQ(Kept(), "");
}

TEST_F(SessionLogTest, LinesAnotherProgramAddedAreKeptAndADeletedLogIsWrittenWhole) {
    Write("raport.txt", "2026-12-06\t00:05:00\t2\t0,58\t\r\n");
    StartOnline();
    // Another program adds a line while this one runs.
    std::ofstream(dir / "raport.txt", std::ios::binary | std::ios::app)
        << "2026-12-07\t00:01:00\t4\t1,16\t\r\n";
    Offline();
    Tick();
    EXPECT_EQ(Log(), std::string("2026-12-06\t00:05:00\t2\t0,58\t\r\n") +
                         "2026-12-07\t00:01:00\t4\t1,16\t\r\n" + kThreePulses);
    EXPECT_EQ(V("DayPulses"), "7");
    fs::remove(dir / "raport.txt");
    Online();
    Tick(62);
    Offline();
    Tick();
    EXPECT_EQ(V("LogLines"), "4");
    const std::string whole = Log();
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 4);
    EXPECT_EQ(whole.rfind("2026-12-06\t00:05:00\t2\t0,58\t\r\n2026-12-07\t00:01:00", 0), 0u);
}

// A log that cannot be read whole at start is never replaced: the record is added at its end,
// and once it can be read again the lines are merged without any twice.
TEST_F(SessionLogTest, ALogThatCouldNotBeReadIsNeverReplacedByLess) {
    const std::string old = "2026-12-01\t00:05:00\t2\t0,58\t\r\n";
    Write("raport.txt", old);
    std::atomic<bool> fail{true};
    SetFileFaultHook([&](FileStep step, const fs::path& file) {
        return fail && step == FileStep::Read && file.filename() == "raport.txt" ? ENOMEM : 0;
    });
    StartOnline();
    EXPECT_EQ(V("LogLines"), "0");
    Offline();
    Tick();
    EXPECT_EQ(Log(), old + kThreePulses);
    fail = false;
    Online();
    Tick(62);
    Offline();
    Tick();
    EXPECT_EQ(Log(), old + kThreePulses + kThreePulses);
    EXPECT_EQ(V("LogLines"), "3");
}

// The limits count what the log holds for the day and month of the clock, also when the clock
// moves into a new day or month while the program runs, or jumps.
TEST_F(SessionLogTest, TotalsFollowTheLogIntoANewDayAndMonthAndAfterAClockJump) {
    SetWallClock(EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 50));
    Write("raport.txt", "2026-12-31\t00:05:00\t10\t2,9\t\r\n2027-01-01\t00:05:00\t5\t1,45\t\r\n");
    Start();
    EXPECT_EQ(V("DayPulses"), "10");
    EXPECT_EQ(V("MonthPulses"), "10");
    Tick(15);
    EXPECT_EQ(V("DayPulses"), "5");
    EXPECT_EQ(V("MonthPulses"), "5");
    SetWallClock(EncodeDate(2026, 12, 31) + EncodeTime(12, 0, 0));
    Tick();
    EXPECT_EQ(V("DayPulses"), "10");
    EXPECT_EQ(V("MonthPulses"), "10");
}

}  // namespace
}  // namespace tt
