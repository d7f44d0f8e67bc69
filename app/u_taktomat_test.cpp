#include "app/u_taktomat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/no_tray.h"
#include "app/program.h"
#include "base/datetime.h"
#include "base/error.h"
#include "base/files.h"
#include "controls/skin/skin.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "session/session.h"
#include "testing/dialup_fakes.h"
#include "testing/test_temp_folder.h"
#include "toolkit/gfx/font.h"
#include "windows/u_connect.h"
#include "windows/u_maximp.h"
#include "windows/u_opcje.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

using testing::ReadText;

class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest() {
        static std::atomic<int> counter{0};
        dir = fs::temp_directory_path() /
              ("taktomat_app_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(dir);
        fs::create_directories(dir);
        backend.SetWallClock(EncodeDate(2026, 12, 7) + EncodeTime(12, 0, 0));
        host.Set("127.0.0.1");
    }
    ~ProgramTest() override {
        program.reset();
        fs::remove_all(dir);
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    void Start(std::unique_ptr<TSettings> entrySettings = nullptr) {
        program = std::make_unique<TTaktomat>(
            TProgramServices{backend, host, ras, dir, format, Unsaved(), std::move(entrySettings)});
        program->Start();
        driver = std::make_unique<HeadlessDriver>(program->App(), backend);
    }
    fs::path Unsaved() const { return dir / "state" / "raport-unsaved.txt"; }
    std::string V(std::string_view name) { return program->ValueOf(name).value_or("?"); }
    TfrmTaktomat& W() { return program->MainWindow(); }
    void Tick(int seconds = 1) { backend.Advance(int64_t{seconds} * 1000); }
    void Online() { host.Set("10.1.2.3"); }
    void Offline() { host.Set("127.0.0.1"); }
    std::vector<int> Beeps() {
        std::vector<int> fresh(backend.Beeps().begin() + static_cast<long>(seenBeeps_),
                               backend.Beeps().end());
        seenBeeps_ = backend.Beeps().size();
        return fresh;
    }

    fs::path dir;
    FormatSettings format = MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',');
    headless::HeadlessBackend backend;
    ScriptedHostAddressSource host;
    std::vector<std::string> rasLog;
    testing::FakeRas ras{rasLog};
    std::unique_ptr<TTaktomat> program;
    std::unique_ptr<HeadlessDriver> driver;

  private:
    size_t seenBeeps_ = 0;
};

TEST_F(ProgramTest, StartShowsOnlyTheTrayIconAndPlacesTheWindowBottomRight) {
    Start();
    EXPECT_TRUE(backend.Tray().has_value());
    EXPECT_FALSE(W().Visible());
    EXPECT_EQ(W().Left(), 1024 - 275);
    EXPECT_EQ(W().Top(), 740 - 80);
    EXPECT_EQ(W().Height(), 80);
    EXPECT_EQ(V("SnapArea"), "0 0 1024 740");
    EXPECT_EQ(V("Running"), "true");
    EXPECT_EQ(W().Zegar->Tag(), 0);
    EXPECT_TRUE(W().Zegar->Enabled());
    EXPECT_FALSE(W().KlawiszeShade->Visible());
}

TEST_F(ProgramTest, WithoutATrayTheWindowShowsInItsCornerAndTheUserIsToldOnce) {
    backend.SetTrayAvailable(false);
    Start();
    // The icon is still asked for, so that a tray coming later shows it.
    EXPECT_TRUE(backend.Tray().has_value());
    // A desktop may bring its tray up a moment after the program: nothing yet.
    backend.Advance(kTrayGraceMs - 100);
    EXPECT_FALSE(W().Visible());
    EXPECT_TRUE(backend.MessageBoxes().empty());
    backend.Advance(100);
    EXPECT_TRUE(W().Visible());
    EXPECT_EQ(W().Left(), 1024 - 275);
    EXPECT_EQ(W().Top(), 740 - 80);
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, kNoTrayText);
    EXPECT_EQ(backend.MessageBoxes()[0].caption, "Taktomat 2000");
    Tick(30);
    EXPECT_EQ(backend.MessageBoxes().size(), 1u);  // once
    EXPECT_EQ(V("Running"), "true");
}

TEST_F(ProgramTest, ATrayThatComesWithinTheGraceTimeKeepsTheUsualHiddenStart) {
    backend.SetTrayAvailable(false);
    Start();
    backend.Advance(kTrayGraceMs / 2);
    backend.SetTrayAvailable(true);
    Tick(10);
    EXPECT_FALSE(W().Visible());
    EXPECT_TRUE(backend.MessageBoxes().empty());
}

// A stored height is the whole or the rolled-up window: others would put it off screen, and
// the largest made a box of a failed allocation.
TEST_F(ProgramTest, StoredHeightsOutsideTheWindowsTwoAreClamped) {
    for (const auto& [stored, height] :
         std::vector<std::pair<const char*, int>>{{"0", 25}, {"100000", 80}, {"2147483647", 80}}) {
        SCOPED_TRACE(stored);
        Write("taktomat.ini", std::string("[OKNO]\r\nH=") + stored + "\r\n");
        Start();
        EXPECT_EQ(W().Height(), height);
        EXPECT_TRUE(backend.MessageBoxes().empty());
        program.reset();
    }
}

// A price with the other decimal separator, or a time in another pattern, is told of once,
// with the value, instead of silently billing at the default.
TEST_F(ProgramTest, SettingsTheWindowsCannotUnderstandAreToldOnce) {
    Write("taktomat.ini", "[OPCJE]\r\nCENA1=0,35\r\nS2_Start=22h\r\nCENA2=0.40\r\n");
    program = std::make_unique<TTaktomat>(TProgramServices{
        backend, host, ras, dir, MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", '.'), Unsaved()});
    program->Start();
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    const std::string& text = backend.MessageBoxes()[0].text;
    EXPECT_NE(text.find("[OPCJE] CENA1=0,35"), std::string::npos) << text;
    EXPECT_NE(text.find("[OPCJE] S2_Start=22h"), std::string::npos) << text;
    EXPECT_EQ(text.find("CENA2"), std::string::npos) << text;
    EXPECT_EQ(V("PulsePrice1"), "0.29");
    EXPECT_EQ(V("PulsePrice2"), "0.4");
}

TEST_F(ProgramTest, StoredHeightRollsTheWindowUpAndClosingStoresTheHeight) {
    Write("taktomat.ini", "[OKNO]\r\nH=25\r\n");
    Start();
    EXPECT_EQ(W().Height(), 25);
    EXPECT_TRUE(W().KlawiszeShade->Visible());
    EXPECT_EQ(W().Top(), 740 - 80);  // the top of the full window stays
    driver->TrayClick();
    Tick();
    EXPECT_TRUE(W().Visible());
    EXPECT_EQ(W().Top(), 740 - 25);
    EXPECT_EQ(W().Left(), 1024 - 275);

    // The shade bar's unroll, then the tray menu's close while off-line: no question.
    W().KlawiszeShade->SetCommandIndex(0);
    W().KlawiszeShadeClick(W().KlawiszeShade);
    EXPECT_EQ(W().Height(), 80);
    EXPECT_EQ(W().Top(), 740 - 80);
    driver->TrayMenu("&Zamknij");
    EXPECT_TRUE(backend.MessageBoxes().empty());
    EXPECT_EQ(V("Running"), "false");
    EXPECT_NE(ReadText(dir / "taktomat.ini").find("H=80"), std::string::npos);
}

TEST_F(ProgramTest, StartGoesOnAfterAStepFails) {
    ras.statusThrows = true;
    // An unreadable log: a folder where the file should be.
    fs::create_directories(dir / "raport.txt");
    struct Throwing : testing::FakeRas {
        using FakeRas::FakeRas;
        uint32_t RasEnumConnectionsA(RASCONNA*, uint32_t*, uint32_t*) override {
            throw Error("Error opening rasapi.dll");
        }
    };
    std::vector<std::string> log;
    Throwing broken(log);
    program = std::make_unique<TTaktomat>(TProgramServices{
        backend, host, broken, dir, MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ','), Unsaved()});
    program->Start();
    ASSERT_FALSE(backend.MessageBoxes().empty());
    EXPECT_EQ(backend.MessageBoxes().back().text, "Error opening rasapi.dll.");
    EXPECT_EQ(backend.MessageBoxes().back().caption, "Taktomat 2000");
    EXPECT_TRUE(backend.Tray().has_value());
    EXPECT_TRUE(W().Zegar->Enabled());
    EXPECT_EQ(V("MAXIMP_P"), "1440");
    EXPECT_EQ(V("PulseLength1"), "180");
    program.reset();
}

TEST_F(ProgramTest, OneConnectionIsMeteredLoggedOnceAndCountedAfterARestart) {
    Write("taktomat.ini", "[MAX]\r\nOODL=20\r\nMAXIMP_P=3\r\n[OPCJE]\r\nIMPULS1=30\r\n");
    Start();
    EXPECT_EQ(V("OODL"), "20");
    Online();
    Tick();
    EXPECT_EQ(V("PulseCount"), "1");
    EXPECT_EQ(W().Zegar->Tag(), 1);
    EXPECT_EQ(W().lblCzasPol->Caption(), "00:00:20");
    EXPECT_EQ(W().gImpuls->Progress(), 20);
    EXPECT_EQ(W().gImpuls->MaxValue(), 30);
    Tick(11);  // s = 31: pulse 2
    EXPECT_EQ(V("PulseCount"), "2");
    EXPECT_EQ(Beeps(), (std::vector<int>{-1}));  // three quarters at s = 23
    Tick(30);                                    // s = 61: pulse 3 reaches MAXIMP_P
    EXPECT_EQ(V("PulseCount"), "3");
    EXPECT_TRUE(W().chkDisconnect->Checked());
    EXPECT_EQ(W().chkDisconnect->Tag(), 1);
    EXPECT_EQ(Beeps(), (std::vector<int>{-1, 48}));
    rasLog.clear();
    ras.connections.push_back({7, "TPSA", RASCS_Connected, 0, false});
    Tick(29);  // s = 90: the gauge is full, everything is hung up
    EXPECT_NE(std::find(rasLog.begin(), rasLog.end(), "RasHangUpA 7"), rasLog.end());
    EXPECT_EQ(V("HangUpRequested"), "false");
    Offline();
    Tick();
    Tick();
    EXPECT_EQ(V("PulseCount"), "0");
    EXPECT_EQ(W().Zegar->Tag(), 0);
    EXPECT_EQ(V("LogLines"), "1");
    EXPECT_EQ(ReadText(dir / "raport.txt"), "2026-12-07\t00:01:30\t3\t0,87\t\r\n");
    // The time label keeps the last connection's time while idle.
    EXPECT_EQ(W().lblCzasPol->Caption(), "00:01:30");

    program.reset();
    Start();
    EXPECT_EQ(V("DayPulses"), "3");
    EXPECT_EQ(V("MonthPulses"), "3");
}

TEST_F(ProgramTest, AWallClockJumpChangesNeitherDurationNorPulses) {
    Write("taktomat.ini", "[MAX]\r\nOODL=0\r\n[OPCJE]\r\nIMPULS1=30\r\nIMPULS3=30\r\n");
    Start();
    Online();
    Tick();
    Tick(40);
    backend.SetWallClock(backend.WallClock() - 1.0 / 24);  // back an hour
    Tick(20);
    EXPECT_EQ(V("ConnectionTime"), "00:01:00");
    EXPECT_EQ(V("PulseCount"), "2");
}

TEST_F(ProgramTest, ClickHandlersSwitchModesOnlineAndOnlyTheHintsOffline) {
    Start();
    driver->TrayClick();
    Tick();
    driver->Click("frmTaktomat.mdProgress", 5, 4);
    EXPECT_EQ(W().mdProgress->Tag(), 0);  // off-line: no change
    driver->Click("frmTaktomat.lblCzasDlugi", 2, 2);
    EXPECT_EQ(W().lblCzasDlugi->Tag(), 1);
    EXPECT_EQ(W().lblCzasDlugi->Hint(), "zostało");
    EXPECT_EQ(W().lblCzasDlugi->Caption(), "Impulsy: 0");
    driver->Click("frmTaktomat.lblCzasPol", 2, 2);
    EXPECT_EQ(V("ShowPulseNumber"), "true");
    EXPECT_EQ(W().lblCzasPol->Caption(), "Impuls: 0");
    EXPECT_EQ(W().lblCzasPol->Hint(), "Impulsy połączenia");

    Online();
    Tick();
    driver->Click("frmTaktomat.mdProgress", 5, 4);
    EXPECT_EQ(W().mdProgress->Tag(), 1);
    Tick();
    EXPECT_EQ(W().mdProgress->Hint(), "Impulsy dnia (MAXIMP/D)");
    EXPECT_EQ(W().lblCzasDlugi->Caption(), "Impulsy: 1439");
    driver->Click("frmTaktomat.lblCzasDlugi", 2, 2);
    EXPECT_EQ(W().lblCzasDlugi->Caption(), "Impulsy: 1");  // rewritten at once on-line
    driver->Click("frmTaktomat.mdProgress", 5, 4);
    driver->Click("frmTaktomat.mdProgress", 60, 4);  // elsewhere: not a double click
    EXPECT_EQ(W().mdProgress->Tag(), 0);

    driver->Click("frmTaktomat.chkDisconnect", 5, 5);
    EXPECT_EQ(V("HangUpRequested"), "true");
}

TEST_F(ProgramTest, DragClampsOnReleaseAndRollingFollowsTheShadeSetting) {
    Start();
    driver->TrayClick();
    Tick();
    driver->Press("frmTaktomat", 100, 70);
    driver->Move("frmTaktomat", 250, 70);  // half past the right edge
    EXPECT_EQ(W().Left(), 1024 - 275 + 150);
    driver->Release("frmTaktomat", 250, 70);
    EXPECT_EQ(W().Left(), 1024 - 275);
    // A right press does not drag.
    driver->Press("frmTaktomat", 100, 70, TMouseButton::mbRight);
    driver->Move("frmTaktomat", 0, 0);
    EXPECT_EQ(W().Left(), 1024 - 275);
    driver->Release("frmTaktomat", 0, 0, TMouseButton::mbRight);

    // Ticked (the default): the bottom edge stays.
    W().klawiszeOkna->SetCommandIndex(0);
    W().klawiszeOknaClick(W().klawiszeOkna);
    EXPECT_EQ(W().Height(), 25);
    EXPECT_EQ(W().Top(), 740 - 25);
    // The whole skin squeezed into the strip: its bottom row is the frame, not the field.
    Tick();
    const Bitmap rolled = driver->Snapshot("frmTaktomat");
    ASSERT_EQ(rolled.Height(), 25);
    EXPECT_EQ(rolled.GetPixel(180, 24), kSkinFrameColor);
    EXPECT_EQ(rolled.GetPixel(180, 22), kSkinFieldColor);
    W().KlawiszeShade->SetCommandIndex(0);
    W().KlawiszeShadeClick(W().KlawiszeShade);
    EXPECT_EQ(W().Top(), 740 - 80);

    // Clear: the top edge stays, and unrolling at the bottom is pushed back up.
    W().ShadeTicked = [] { return false; };
    W().klawiszeOknaClick(W().klawiszeOkna);
    EXPECT_EQ(W().Top(), 740 - 80);
    W().SetTop(740 - 25);
    W().KlawiszeShadeClick(W().KlawiszeShade);
    EXPECT_EQ(W().Top(), 740 - 80);
    EXPECT_FALSE(W().KlawiszeShade->Visible());
}

TEST_F(ProgramTest, OnTwoMonitorsTheMeterKeepsToTheOneItIsOn) {
    // The second monitor left of the primary and taller, its panel at the top.
    backend.SetMonitors(
        {{{0, 0, 1024, 768}, {0, 0, 1024, 740}}, {{-1280, -256, 0, 768}, {-1280, -226, 0, 768}}});
    Start();
    driver->TrayClick();
    Tick();
    EXPECT_EQ(W().Left(), 1024 - 275);
    EXPECT_EQ(W().Top(), 740 - 80);
    // Dropped with its centre on the second monitor, past that one's top: clamped into it, not
    // sent back to the primary.
    driver->Press("frmTaktomat", 100, 70);
    driver->Move("frmTaktomat", 100 - 1100, 70 - 900);
    driver->Release("frmTaktomat", 100 - 1100, 70 - 900);
    EXPECT_EQ(W().Left(), 1024 - 275 - 1100);
    EXPECT_EQ(W().Top(), -226);
    EXPECT_EQ(V("SnapArea"), "-1280 -226 0 768");
    driver->TrayClick();
    Tick();
    EXPECT_EQ(W().Left(), -275);
    EXPECT_EQ(W().Top(), 768 - 80);

    // That monitor is unplugged: the meter comes to the primary, pushed in from the left.
    backend.SetMonitors({{{0, 0, 1024, 768}, {0, 0, 1024, 740}}});
    EXPECT_EQ(W().Left(), 0);
    EXPECT_EQ(W().Top(), 740 - 80);
    driver->TrayClick();
    Tick();
    EXPECT_EQ(W().Left(), 1024 - 275);
}

TEST_F(ProgramTest, CloseWhileOnlineAsksAndFollowsTheAnswer) {
    Start();
    Online();
    W().klawiszeOkna->SetCommandIndex(2);
    backend.QueueMessageBoxAnswer(ui::kIdCancel);
    W().klawiszeOknaClick(W().klawiszeOkna);
    ASSERT_EQ(backend.MessageBoxes().size(), 1u);
    EXPECT_EQ(backend.MessageBoxes()[0].text, "Podłączenie jest aktywne czy chcesz je rozłączyć ?");
    EXPECT_EQ(backend.MessageBoxes()[0].flags, 35u);
    EXPECT_EQ(V("Running"), "true");

    ras.connections.push_back({5, "A", RASCS_Connected, 0, false});
    rasLog.clear();
    backend.QueueMessageBoxAnswer(ui::kIdNo);
    W().klawiszeOknaClick(W().klawiszeOkna);
    EXPECT_EQ(std::count(rasLog.begin(), rasLog.end(), "RasHangUpA 5"), 0);
    EXPECT_EQ(V("Running"), "false");

    Start();
    rasLog.clear();
    backend.QueueMessageBoxAnswer(ui::kIdYes);
    W().klawiszeOkna->SetCommandIndex(2);
    W().klawiszeOknaClick(W().klawiszeOkna);
    EXPECT_EQ(std::count(rasLog.begin(), rasLog.end(), "RasHangUpA 5"), 1);
    EXPECT_EQ(V("Running"), "false");
}

TEST_F(ProgramTest, ConnectCommandListsThePhoneBookAndTheHandlersWriteTheConnectWindow) {
    ras.entries = {std::string("Dom\0old", 7), "Praca"};
    Start();
    W().Klawisze->SetCommandIndex(3);
    W().KlawiszeClick(W().Klawisze);
    TfrmConnect& connect = *W().frmConnect;
    // A name is what comes before its NUL; the first entry is chosen.
    EXPECT_EQ(connect.cmbEntry->Items(), (std::vector<std::string>{"Dom", "Praca"}));
    EXPECT_EQ(connect.cmbEntry->ItemIndex(), 0);
    // Opening again lists the book afresh instead of adding to the old list.
    W().KlawiszeClick(W().Klawisze);
    EXPECT_EQ(connect.cmbEntry->Items().size(), 2u);

    // A failure after the meter took a zone: the zone is dropped and the timer stopped.
    Online();
    Tick();
    ASSERT_EQ(W().Zegar->Tag(), 1);
    TDialUp& dialUp = program->Session().DialUp();
    dialUp.OnAsyncEvent(&dialUp, 1, 678, "Port otwarty");
    EXPECT_EQ(connect.lblStatus->Caption(), "Wystąpił błąd podłączania...");
    EXPECT_EQ(W().Zegar->Tag(), 0);
    EXPECT_FALSE(W().Zegar->Enabled());
    EXPECT_TRUE(connect.Timer1->Enabled());
    EXPECT_TRUE(connect.cntIleJeszcze->Visible());
    EXPECT_EQ(V("HangUpRequested"), "false");
    dialUp.OnAsyncEvent(&dialUp, 8192, 0, "Podłączony");
    EXPECT_TRUE(W().Zegar->Enabled());
    EXPECT_EQ(V("IsOnline"), "true");
}

TEST_F(ProgramTest, DraggingTheMainWindowTakesTheOpenCompanionsAlong) {
    Start();
    driver->TrayClick();
    Tick();
    W().Klawisze->SetCommandIndex(0);
    W().KlawiszeClick(W().Klawisze);
    W().Klawisze->SetCommandIndex(2);
    W().KlawiszeClick(W().Klawisze);
    driver->Press("frmTaktomat", 100, 70);
    driver->Move("frmTaktomat", 0, 20);
    driver->Release("frmTaktomat", 0, 20);
    ASSERT_EQ(W().Left(), 1024 - 275 - 100);
    EXPECT_EQ(W().frmOpcje->Left(), W().Left());
    EXPECT_EQ(W().frmOpcje->Top(), W().Top() - W().frmOpcje->Height());
    // The limits window stays where it was opened.
    EXPECT_EQ(W().frmMaxImp->Left(), 1024 - 275);
}

// While metered the tray shows the on-line icon and the session's tip; the end is notified.
TEST_F(ProgramTest, TheTrayShowsTheConnectionAndTheDesktopHearsOfItsEnd) {
    Start();
    const ui::TrayIcon offline = *backend.Tray();
    Online();
    Tick(40);
    EXPECT_EQ(backend.Tray()->tip, program->Session().TrayTip());
    EXPECT_NE(backend.Tray()->pixels, offline.pixels);
    Offline();
    Tick();
    EXPECT_EQ(backend.Tray()->tip, offline.tip);
    EXPECT_EQ(backend.Tray()->pixels, offline.pixels);
    ASSERT_EQ(backend.Notifications().size(), 1u);
    EXPECT_EQ(backend.Notifications()[0].title, "Połączenie zakończone");
}

// "Ukryj" takes the limits window along; without a tray the main window goes to a taskbar
// button, since a hidden window could not be brought back.
TEST_F(ProgramTest, HidingLeavesAWayBackWithOrWithoutATray) {
    for (const bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        backend.SetTrayAvailable(tray);
        Start();
        backend.Advance(kTrayGraceMs);
        if (tray) driver->TrayClick();
        Tick();
        ASSERT_TRUE(W().Visible());
        W().frmMaxImp->Show();
        driver->TrayMenu("&Ukryj");
        EXPECT_FALSE(W().frmMaxImp->Visible());
        EXPECT_EQ(W().Visible(), !tray);
        const auto* window = backend.WindowInfo(W().Handle());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->minimized, !tray);
        EXPECT_EQ(window->style.toolWindow, tray);
        program.reset();
    }
}

// A connection metered for 61 s at 30-second pulses with no OODL: three pulses.
constexpr const char* kThreePulses = "2026-12-07\t00:01:01\t3\t0,87\t\r\n";

class LogSafetyTest : public ProgramTest {
  protected:
    void StartOnline() {
        Write("taktomat.ini", "[MAX]\r\nOODL=0\r\n[OPCJE]\r\nIMPULS1=30\r\n");
        Start();
        Online();
        Tick(62);
    }
    std::string Log() { return ReadText(dir / "raport.txt"); }
    ~LogSafetyTest() override { SetFileFaultHook(nullptr); }
};

// Every way the program ends while a connection is metered runs the off-line step first.
TEST_F(LogSafetyTest, EveryEndOfTheProgramWritesTheMeteredConnection) {
    const std::vector<std::pair<std::string, std::function<void()>>> ends = {
        {"close, Yes",
         [&] {
             backend.QueueMessageBoxAnswer(ui::kIdYes);
             W().klawiszeOkna->SetCommandIndex(2);
             W().klawiszeOknaClick(W().klawiszeOkna);
         }},
        {"close, No",
         [&] {
             backend.QueueMessageBoxAnswer(ui::kIdNo);
             W().klawiszeOkna->SetCommandIndex(2);
             W().klawiszeOknaClick(W().klawiszeOkna);
         }},
        {"shade bar close",
         [&] {
             W().KlawiszeShade->SetCommandIndex(2);
             W().KlawiszeShadeClick(W().KlawiszeShade);
         }},
        {"signal",
         [&] {
             program->RequestEnd();
             Tick();
         }},
        {"session end",
         [&] {
             program->EndSession();
             // Whatever runs after the session's end writes nothing a second time.
             W().KlawiszeShade->SetCommandIndex(2);
             W().KlawiszeShadeClick(W().KlawiszeShade);
         }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        fs::remove(dir / "raport.txt");
        StartOnline();
        end();
        EXPECT_EQ(V("Running"), "false");
        // One line, of the whole connection (the signal's end may come a tick later).
        const std::string log = Log();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_EQ(log.rfind("2026-12-07\t00:01:0", 0), 0u) << log;
        EXPECT_NE(log.find("\t3\t0,87\t\r\n"), std::string::npos) << log;
        program.reset();
    }
}

// Every window reads its keys at start; the file is read for them once, however big it is.
TEST_F(ProgramTest, StartReadsTheSettingsFileOnce) {
    std::string big = "[OPCJE]\r\nIMPULS1=45\r\n[PADDING]\r\n";
    for (int i = 0; i < 20000; ++i) big += "PAD" + std::to_string(i) + "=x\r\n";
    Write("taktomat.ini", big);
    Start();
    EXPECT_EQ(V("PulseLength1"), "45");
#ifndef _WIN32
    EXPECT_EQ(V("SettingsReadings"), "1");
    // A change by hand is seen at the next read, with one more reading.
    Write("taktomat.ini", "[OPCJE]\r\nIMPULS1=60\r\n");
    W().Klawisze->SetCommandIndex(0);
    W().KlawiszeClick(W().Klawisze);
    EXPECT_EQ(V("PulseLength1"), "60");
    EXPECT_EQ(V("SettingsReadings"), "2");
#endif
}

// The entry reads the file for its own keys first; the program goes on with that reading
// rather than a second one, and one made for another folder's file is not taken.
TEST_F(ProgramTest, StartTakesTheEntrysReadingOfTheSettingsFile) {
    Write("taktomat.ini", "[OPCJE]\r\nIMPULS1=45\r\n");
    auto read = std::make_unique<TSettings>(dir / "taktomat.ini");
    const TSettings* entry = read.get();
    Start(std::move(read));
    EXPECT_EQ(W().Settings(), entry);
    EXPECT_EQ(V("PulseLength1"), "45");
#ifndef _WIN32
    EXPECT_EQ(V("SettingsReadings"), "1");
#endif
    program.reset();
    fs::create_directories(dir / "other");
    std::ofstream(dir / "other" / "taktomat.ini", std::ios::binary) << "[OPCJE]\r\nIMPULS1=90\r\n";
    Start(std::make_unique<TSettings>(dir / "other" / "taktomat.ini"));
    EXPECT_EQ(W().Settings()->Path(), dir / "taktomat.ini");
    EXPECT_EQ(V("PulseLength1"), "45");
}

// A probe that hears of address changes lets the hidden, idle program sleep, and must not change
// what the meter does: the same run with the probe asked every second starts the connection,
// counts it and beeps on the very same seconds.
TEST_F(ProgramTest, AnIdleMeterSleepsYetStartsAndBeepsOnTheSecondsOfAPolledProbe) {
    struct Trace : TSessionView {
        headless::HeadlessBackend* backend = nullptr;
        int64_t started = 0;
        int ticks = 0;
        std::vector<std::string> events;
        std::string At() const {
            return std::to_string(backend->MonotonicMs() - started) + " ms " +
                   FormatDateTime("hh:nn:ss", backend->WallClock(),
                                  MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ':'));
        }
        void SessionChanged(const TSession& s, unsigned changes) override {
            if (changes & (kOnlineTick | kOfflineTick)) ++ticks;
            if (changes & kOnlineTick) {
                events.push_back("on-line " + At() + " " + s.TimeLabel() + " pulses " +
                                 std::to_string(s.Meter().PulseCount()));
            }
        }
        void Beep(int type) override {
            events.push_back("beep " + std::to_string(type) + " " + At());
        }
    };
    const auto run = [&](bool tells, int& idleTicks) {
        host.Tells = tells;
        Offline();
        backend.SetWallClock(EncodeDate(2026, 12, 7) + EncodeTime(21, 58, 30));
        Trace trace;
        trace.backend = &backend;
        trace.started = backend.MonotonicMs();
        Start();
        program->Session().AddView(trace);
        backend.Advance(95'400);  // the start of zone 2 at 22:00:00 beeps
        Online();                 // between two seconds
        backend.Advance(4'000);
        backend.Advance(300);
        Offline();
        backend.Advance(2'000);
        const int before = trace.ticks;
        backend.Advance(int64_t{3} * 3600 * 1000);  // past midnight, zone 3's start
        idleTicks = trace.ticks - before;
        // The clock set forward to just before 08:00, the start of zone 1.
        backend.SetWallClock(EncodeDate(2026, 12, 8) + EncodeTime(7, 59, 58));
        backend.Advance(3'000);
        program->Session().RemoveView(trace);
        program.reset();
        return trace.events;
    };
    int polledIdle = 0, toldIdle = 0;
    const std::vector<std::string> polled = run(false, polledIdle);
    const std::vector<std::string> told = run(true, toldIdle);
    EXPECT_EQ(told, polled);
    EXPECT_EQ(polledIdle, 3 * 3600);
    // A tick before and on midnight, and one an hour at most besides.
    EXPECT_LE(toldIdle, 5);
    EXPECT_EQ(std::count_if(told.begin(), told.end(),
                            [](const std::string& e) { return e.rfind("beep", 0) == 0; }),
              3);
}

// Started in the tray, the program measures no text, off-line or on, until a window is shown:
// a desktop's engine would load its fonts for that. Shown, every window is laid out and
// painted as when its text is measured at once.
TEST_F(ProgramTest, HiddenWindowsMeasureNoTextUntilShownAndThenLookAsIfMeasuredAtOnce) {
    // The built-in font, with fonts to load until its first use unless `loaded`.
    struct Fonts : FontEngine {
        bool loaded = false;
        int measured = 0;
        FontEngine& f = BuiltinFontEngine();
        TFontMetrics Metrics(const TFont& font) override { return ++measured, f.Metrics(font); }
        int TextWidth(const TFont& font, std::string_view text) override {
            return ++measured, f.TextWidth(font, text);
        }
        void DrawGlyphs(Bitmap& b, const TRect& r, int x, int y, const TFont& font,
                        std::string_view text, TColor color) override {
            f.DrawGlyphs(b, r, x, y, font, text, color);
        }
        bool FontsLoaded() const override { return loaded || measured > 0; }
        ~Fonts() override { SetCurrentFontEngine(nullptr); }
    };
    // Times longer than the options window's start fields were drawn for move its columns.
    format = MakeFormatSettings("yyyy-mm-dd", "hh' h 'nn' min 'ss' s'", ',');
    const auto run = [&](bool loaded, int& measuredHidden) {
        Fonts fonts;
        fonts.loaded = loaded;
        SetCurrentFontEngine(&fonts);
        backend.SetWallClock(EncodeDate(2026, 12, 7) + EncodeTime(12, 0, 0));
        Offline();
        Start();
        Tick(3);
        Online();
        Tick(5);  // the clock's labels change while hidden
        measuredHidden = fonts.measured;
        for (TForm* form : program->App().Forms()) form->Show();
        program->App().ProcessMessages();
        // The columns moved, and every label's size shows in what is painted.
        std::string shown = std::to_string(W().frmOpcje->lblCena->Left());
        for (TForm* form : program->App().Forms()) {
            const Bitmap picture = driver->Snapshot(form->Name());
            const std::string_view pixels(reinterpret_cast<const char*>(picture.Bits()),
                                          sizeof(Pixel) * picture.Width() * picture.Height());
            shown +=
                " " + form->Name() + " " + std::to_string(std::hash<std::string_view>{}(pixels));
        }
        program.reset();
        return shown;
    };
    int measuredHidden = 0;
    const std::string eager = run(true, measuredHidden);
    EXPECT_EQ(eager.rfind("174 ", 0), 0u) << eager;
    EXPECT_EQ(run(false, measuredHidden), eager);
    EXPECT_EQ(measuredHidden, 0);
}

}  // namespace
}  // namespace tt
