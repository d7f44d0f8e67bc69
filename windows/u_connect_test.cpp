#include "windows/u_connect.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "dialup/state_texts.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_errors.h"
#include "platform/ras/simulated_line.h"

namespace tt {
namespace {

constexpr const char* kFailureText = "Wystąpił błąd podłączania...";

// Keeps the simulated line on the window system's virtual time: whatever moves one clock
// (a hang-up wait included) moves the other.
class LineBackend : public headless::HeadlessBackend {
  public:
    SimulatedLine* line = nullptr;
    void Wait(int ms) override {
        HeadlessBackend::Wait(ms);
        if (line) line->AdvanceTo(MonotonicMs());
    }
};

// The simulated line, or one whose library cannot be loaded: every dial raises. Every
// disconnect-all sequence lists the active connections, and only that sequence does here.
class SwitchableLine : public SimulatedLine {
  public:
    SwitchableLine() : SimulatedLine(Timing::Virtual) {}
    bool missing = false;
    int listings = 0;
    std::string reason;  // the dialler's own words on every failure
    std::string emptyReason = "Brak plików wpisów pppd w /etc/ppp/peers.";
    std::string DialFailureReason(HRasConn) override { return reason; }
    std::string EmptyPhoneBookReason() override { return emptyReason; }
    uint32_t RasEnumConnectionsA(RASCONNA* list, uint32_t* size, uint32_t* count) override {
        ++listings;
        return SimulatedLine::RasEnumConnectionsA(list, size, count);
    }
    uint32_t RasGetEntryDialParamsA(const char* pb, RASDIALPARAMSA* p, int32_t* s) override {
        if (missing) throw Error("Error opening rasapi.dll");
        return SimulatedLine::RasGetEntryDialParamsA(pb, p, s);
    }
};

// The connect window over a session that has not started: its meter does not tick until the
// attempts let it.
class ConnectTest : public ::testing::Test {
  protected:
    ConnectTest() {
        backend.line = &line;
        backend.SetRealWaitLimit(0);
        std::filesystem::create_directories(folder);
        kit.Skins.Fill();
        DialUp1.OnDialing = [this](TComponent*) {
            dialled.push_back(DialUp1.Entry);
            dialledAt.push_back(backend.MonotonicMs());
        };
    }

    ~ConnectTest() override {
        // The windows go before the session they show.
        app.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    void Create(bool releaseHook = true) {
        frmConnect = &app->CreateForm<TfrmConnect>(kit, settings, session);
        if (releaseHook) {
            frmConnect->ReleaseStep = [this](TForm& window) {
                releasedBy.push_back(&window);
                ClampToItsMonitor(window, kit);
            };
        }
        frmConnect->SetBounds(300, 500, frmConnect->Width(), frmConnect->Height());
    }

    // Fills the list as the connect command does and shows the window.
    void Open() {
        session.ListEntries();
        frmConnect->Show();
        app->ProcessMessages();
    }

    void PressDial() { driver.Click("frmConnect.Klawisze", 10, 10); }
    void PressCancel() { driver.Click("frmConnect.Klawisze", 45, 10); }

    void RunFor(int64_t ms) {
        for (int64_t t = 0; t < ms; t += 10) {
            backend.Advance(10);
            line.AdvanceTo(backend.MonotonicMs());
            app->ProcessMessages();
        }
    }

    int Setting(const char* key) const { return settings.ReadInteger("CONNECT", key, -1); }
    bool MeterRuns() const { return session.MeterRunning(); }

    LineBackend backend;
    SwitchableLine line;
    std::unique_ptr<Application> app = std::make_unique<Application>(backend);
    HeadlessDriver driver{*app, backend};
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("tt_connect_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TSettings settings{folder / "taktomat.ini"};
    TWindowKit kit;
    ScriptedHostAddressSource host;
    TSession session{TSessionServices{host,
                                      line,
                                      *app,
                                      [] { return TDateTime{46000}; },
                                      [this] { return backend.MonotonicMs(); },
                                      folder,
                                      MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ','),
                                      {}}};
    TDialUp& DialUp1 = session.DialUp();
    TfrmConnect* frmConnect = nullptr;

    std::vector<std::string> dialled;
    std::vector<int64_t> dialledAt;
    std::vector<TForm*> releasedBy;
};

DialPlan FailingPlan(int64_t stepMs) {
    DialPlan plan;
    plan.Steps = {{RASCS_OpenPort, 0, stepMs}, {2, SimulatedLine::kErrorNoAnswer, stepMs}};
    return plan;
}

TEST_F(ConnectTest, CountersShowTheStoredAttemptsAndPauseWithinTheirRanges) {
    settings.WriteInteger("CONNECT", "REP", 50);
    settings.WriteInteger("CONNECT", "PAUSE", 0);
    Create();
    EXPECT_EQ(frmConnect->cntPowtorz->Value(), 10);
    EXPECT_EQ(frmConnect->cntCoIle->Value(), 1);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 0);
    EXPECT_FALSE(frmConnect->cntIleJeszcze->Visible());
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->Timer1->Interval(), 10000);
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Stan połączenia...");
}

TEST_F(ConnectTest, ASuccessfulDialShowsTheStatesAndEndsTheAttempts) {
    line.SetPhoneBook({"Net", "Other"});
    Create();
    Open();
    EXPECT_EQ(frmConnect->cmbEntry->Items(), (std::vector<std::string>{"Net", "Other"}));
    EXPECT_EQ(frmConnect->cmbEntry->Text(), "Net");
    frmConnect->cntPowtorz->SetValue(4);
    frmConnect->cntCoIle->SetValue(7);

    PressDial();
    EXPECT_TRUE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->Timer1->Interval(), 1);
    EXPECT_EQ(frmConnect->Timer1->Tag(), 1);
    EXPECT_TRUE(frmConnect->cntIleJeszcze->Visible());
    EXPECT_EQ(Setting("REP"), 4);
    EXPECT_EQ(Setting("PAUSE"), 7);

    // Choosing another entry now changes nothing for the attempts already started.
    frmConnect->cmbEntry->SetItemIndex(1);
    RunFor(20);
    EXPECT_EQ(dialled, std::vector<std::string>{"Net"});
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->Timer1->Interval(), 7000);
    EXPECT_EQ(frmConnect->Timer1->Tag(), 2);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 3);
    EXPECT_TRUE(MeterRuns());

    RunFor(1000);
    EXPECT_FALSE(MeterRuns());  // stopped while dialling
    RunFor(5000);
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Podłączony");
    EXPECT_TRUE(session.IsOnline());
    EXPECT_TRUE(MeterRuns());
    RunFor(30000);
    EXPECT_EQ(dialled.size(), 1u);
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
}

TEST_F(ConnectTest, FailedAttemptsRepeatAfterThePauseUntilTheAttemptsRunOut) {
    line.SetPhoneBook({"Busy"});
    line.SetDialPlan("Busy", FailingPlan(500));
    settings.WriteInteger("CONNECT", "REP", 2);
    settings.WriteInteger("CONNECT", "PAUSE", 3);
    Create();
    Open();
    PressDial();
    RunFor(1500);
    ASSERT_EQ(dialled.size(), 1u);
    EXPECT_EQ(frmConnect->lblStatus->Caption(), kFailureText);
    EXPECT_TRUE(frmConnect->Timer1->Enabled());
    EXPECT_TRUE(frmConnect->cntIleJeszcze->Visible());
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 1);
    EXPECT_EQ(line.listings, 1);
    EXPECT_FALSE(MeterRuns());

    RunFor(6000);
    ASSERT_EQ(dialled.size(), 2u);
    // One pause after the failure, which came a second after the first dial (plus the
    // hang-up that followed it).
    EXPECT_GE(dialledAt[1] - dialledAt[0], 1000 + 3000);
    EXPECT_LE(dialledAt[1] - dialledAt[0], 1000 + 3000 + 400);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 0);

    // The tick after the last failure dials nothing and lets the meter run.
    RunFor(30000);
    EXPECT_EQ(dialled.size(), 2u);
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_TRUE(MeterRuns());
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 0);
    EXPECT_EQ(frmConnect->lblStatus->Caption(), kFailureText);
}

TEST_F(ConnectTest, CancelWhileWaitingHangsUpAndStopsTheAttempts) {
    line.SetPhoneBook({"Busy"});
    line.SetDialPlan("Busy", FailingPlan(500));
    Create();
    Open();
    PressDial();
    RunFor(1500);
    ASSERT_TRUE(frmConnect->Timer1->Enabled());
    const int before = line.listings;

    PressCancel();
    EXPECT_FALSE(frmConnect->Visible());
    EXPECT_EQ(line.listings, before + 1);
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Stan połączenia...");
    EXPECT_FALSE(frmConnect->cntIleJeszcze->Visible());
    RunFor(30000);
    EXPECT_EQ(dialled.size(), 1u);
}

TEST_F(ConnectTest, CancelWhileDiallingLeavesTheAttemptToGoOnWithTheWindowHidden) {
    line.SetPhoneBook({"Busy"});
    line.SetDialPlan("Busy", FailingPlan(500));
    settings.WriteInteger("CONNECT", "PAUSE", 1);
    Create();
    Open();
    PressDial();
    RunFor(20);
    ASSERT_EQ(dialled.size(), 1u);
    PressCancel();
    EXPECT_FALSE(frmConnect->Visible());
    EXPECT_EQ(line.listings, 0);
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Stan połączenia...");

    RunFor(3000);
    EXPECT_EQ(dialled.size(), 2u);
    EXPECT_FALSE(frmConnect->Visible());
}

TEST_F(ConnectTest, DialWithAnEmptyListStartsNothing) {
    Create();
    Open();
    PressDial();
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->Timer1->Tag(), 1);
    EXPECT_EQ(frmConnect->Timer1->Interval(), 1);
    EXPECT_FALSE(frmConnect->cntIleJeszcze->Visible());
    EXPECT_EQ(Setting("REP"), -1);
    RunFor(100);
    EXPECT_TRUE(dialled.empty());
}

TEST_F(ConnectTest, DialPressedAgainMakesOneNewAttemptWhileThePreviousOneIsHungUp) {
    DialPlan slow;
    slow.Steps = {{RASCS_OpenPort, 0, 500}, {1, 0, 20000}, {RASCS_Connected, 0, 500}};
    line.SetPhoneBook({"Slow"});
    line.SetDialPlan("Slow", slow);
    line.SetHangUpDelay(300);
    Create();
    Open();
    PressDial();
    RunFor(1000);
    ASSERT_EQ(dialled.size(), 1u);

    // The new attempt first waits for the old connection to go; the retry timer, armed for
    // 1 ms meanwhile, must not make the same attempt again inside that wait.
    PressDial();
    RunFor(1000);
    EXPECT_EQ(dialled.size(), 2u);
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_EQ(frmConnect->Timer1->Tag(), 2);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 9);
}

TEST_F(ConnectTest, ADialThatRaisesIsShownOnceAndEndsTheAttempts) {
    Create();
    frmConnect->cmbEntry->AddItem("Net");
    frmConnect->cmbEntry->SetItemIndex(0);
    frmConnect->Show();
    line.missing = true;
    PressDial();
    RunFor(100);
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Error opening rasapi.dll.");
    EXPECT_FALSE(frmConnect->Timer1->Enabled());
    EXPECT_TRUE(MeterRuns());
    EXPECT_FALSE(frmConnect->cntIleJeszcze->Visible());
    RunFor(30000);
    EXPECT_EQ(backend.MessageBoxes().size(), 1u);
}

TEST_F(ConnectTest, AFailureThatAnotherAttemptCannotMendEndsTheAttemptsAtOnce) {
#ifdef _WIN32
    constexpr bool kWindows = true;
#else
    constexpr bool kWindows = false;
#endif
    struct Case {
        uint32_t Error;
        const char* Reason;
        size_t Dials;  // of the two attempts allowed
    };
    const Case cases[] = {
        {SimulatedLine::kErrorNoAnswer, "", 2},
        {kErrorNoCarrier, "Failed (NO CARRIER)", 2},
        {kErrorCorruptPhonebook, "In file /etc/ppp/peers/Net: unrecognized option 'x'", 1},
        // On Windows a port in use by another program for now: tried again.
        {kErrorPortNotAvailable, "Failed to open /dev/ttyUSB0: No such file or directory",
         kWindows ? 2u : 1u},
        {kErrorServiceMissing, "/usr/sbin/pppd: No such file or directory", 1},
        {kErrorAccessDenied, "pppd: must be root to run pppd, since it is not setuid-root", 1},
        {kErrorAuthenticationFailure, "PAP authentication failed", 1},
    };
    settings.WriteInteger("CONNECT", "REP", 2);
    settings.WriteInteger("CONNECT", "PAUSE", 1);
    line.SetPhoneBook({"Net"});
    Create();
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Error);
        DialPlan plan;
        plan.Steps = {{RASCS_OpenPort, 0, 200}, {2, c.Error, 200}};
        line.SetDialPlan("Net", plan);
        line.reason = c.Reason;
        dialled.clear();
        PressDial();
        RunFor(800);
        // A dialler with words of its own has them shown after the failure's text.
        EXPECT_EQ(frmConnect->lblStatus->Caption(),
                  *c.Reason ? RasErrorText(line, c.Error) + " (" + c.Reason + ")" : kFailureText);
        RunFor(10000);
        EXPECT_EQ(dialled.size(), c.Dials);
        EXPECT_FALSE(frmConnect->Timer1->Enabled());
        EXPECT_TRUE(MeterRuns());
    }
}

TEST_F(ConnectTest, TheStatusLineSaysWhyTheListIsEmptyAndNeverShowsAGoneLinkAsConnected) {
    Create();
    Open();
    EXPECT_EQ(frmConnect->lblStatus->Caption(), line.emptyReason);
    line.SetPhoneBook({"Net"});
    Open();
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Stan połączenia...");

    // Hung up by the program (the hang-up box, a limit) ...
    PressDial();
    RunFor(5000);
    ASSERT_EQ(frmConnect->lblStatus->Caption(), "Podłączony");
    session.DisconnectAll();
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Rozłączony");
    session.ProbeOnline();  // as the meter's next tick does
    // ... or by the far end: the meter's tick finds the metered connection gone.
    PressDial();
    RunFor(5000);
    ASSERT_EQ(frmConnect->lblStatus->Caption(), "Podłączony");
    host.Set("10.0.0.2");
    session.Tick();
    host.Set("127.0.0.1");
    session.Tick();
    EXPECT_EQ(frmConnect->lblStatus->Caption(), "Rozłączony");
}

TEST_F(ConnectTest, EnterDialsAndEscapeCancelsAsTheButtonsDo) {
    line.SetPhoneBook({"Net", "Other"});
    Create();
    Open();
    driver.Key(ui::kKeyReturn);
    RunFor(20);
    EXPECT_EQ(dialled, std::vector<std::string>{"Net"});
    driver.Key(ui::kKeyEscape);
    EXPECT_FALSE(frmConnect->Visible());

    // With the list dropped down, the keys are the list's: Enter picks, Escape closes it.
    Open();
    frmConnect->cmbEntry->SetFocus();
    frmConnect->cmbEntry->SetDroppedDown(true);
    driver.Key(ui::kKeyDown);
    driver.Key(ui::kKeyReturn);
    EXPECT_EQ(frmConnect->cmbEntry->Text(), "Other");
    EXPECT_EQ(dialled.size(), 1u);
    driver.Key(ui::kKeyReturn);
    RunFor(20);
    EXPECT_EQ(dialled.back(), "Other");
}

TEST_F(ConnectTest, ChangingTheAttemptsShowsThemAsTheAttemptsLeft) {
    settings.WriteInteger("CONNECT", "REP", 3);
    Create();
    frmConnect->Show();
    driver.Click("frmConnect.cntPowtorz", 25, 5);  // the changer's upper half
    EXPECT_EQ(frmConnect->cntPowtorz->Value(), 4);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 4);
    driver.Click("frmConnect.cntPowtorz", 25, 15);
    EXPECT_EQ(frmConnect->cntIleJeszcze->Value(), 3);
}

TEST_F(ConnectTest, TheWindowIsDraggedByItsBackgroundAndReleasedThroughTheMainWindow) {
    Create();
    frmConnect->Show();
    driver.Press("frmConnect", 250, 96, TMouseButton::mbRight);
    driver.Move("frmConnect", 260, 100, ssRight);
    EXPECT_EQ(frmConnect->Left(), 300);
    driver.Release("frmConnect", 260, 100, TMouseButton::mbRight);

    driver.Press("frmConnect", 250, 96);
    EXPECT_TRUE(kit.DragState.Dragging);
    driver.Move("frmConnect", 260, 300, ssLeft);
    EXPECT_EQ(frmConnect->Left(), 310);
    EXPECT_EQ(frmConnect->Top(), 704);  // below the area while the button is held
    driver.Release("frmConnect", 250, 96);
    // Every release goes through the main window's step, the right button's too.
    ASSERT_EQ(releasedBy.size(), 2u);
    EXPECT_EQ(releasedBy[1], frmConnect);
    EXPECT_FALSE(kit.DragState.Dragging);
    EXPECT_EQ(frmConnect->Top(), 740 - 102);
}

TEST_F(ConnectTest, WithoutTheMainWindowsReleaseStepTheWindowClampsItself) {
    Create(false);
    frmConnect->Show();
    driver.Press("frmConnect", 250, 96);
    driver.Move("frmConnect", 1000, 96, ssLeft);
    driver.Release("frmConnect", 1000, 96);
    EXPECT_FALSE(kit.DragState.Dragging);
    EXPECT_EQ(frmConnect->Left(), 1024 - 275);
}

// Kept for a look at four times the size (TT_SNAPSHOT_DIR).
TEST_F(ConnectTest, Snapshot) {
    line.SetPhoneBook({"Internet TP", "Inny dostawca"});
    line.SetDialPlan("Internet TP", FailingPlan(500));
    Create();
    Open();
    PressDial();
    RunFor(1500);
    EXPECT_TRUE(frmConnect->cntIleJeszcze->Visible());
    app->ProcessMessages();
    if (const char* dir = std::getenv("TT_SNAPSHOT_DIR")) {
        driver.SavePng("frmConnect", (std::filesystem::path(dir) / "frmConnect.png").string(), 4);
    }
}

}  // namespace
}  // namespace tt
