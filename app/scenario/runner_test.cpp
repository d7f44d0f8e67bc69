// The runner against a small stand-in for the program, so its own behaviour (time, input, the
// line, exit outcomes) is pinned down apart from the program's.
#include "app/scenario/runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/program.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// Counts its ticks, tells on-line from the host address, beeps on every on-line tick and asks
// before it closes when its label is clicked.
struct TTaktomat::State {
    explicit State(TProgramServices s) : services(std::move(s)), app(services.Backend) {}
    TProgramServices services;
    Application app;
    TForm* form = nullptr;
    int ticks = 0;
    int clicks = 0;
    bool online = false;
    bool closed = false;
};

TTaktomat::TTaktomat(TProgramServices services)
    : state_(std::make_unique<State>(std::move(services))) {}
TTaktomat::~TTaktomat() = default;

void TTaktomat::Start() {
    State& s = *state_;
    s.form = &s.app.CreateForm<TForm>();
    s.form->SetName("frmTaktomat");
    s.form->SetBounds(10, 20, 275, 80);
    auto* label = new TLabel(s.form);
    label->SetName("Label1");
    label->SetParent(s.form);
    label->SetCaption("TAKTOMAT");
    label->SetBounds(74, 64, 60, 12);
    label->OnClick = [&s](TComponent*) {
        if (s.services.Backend.ShowMessageBox("Koniec?", "Taktomat 2000", 35) == ui::kIdYes) {
            s.closed = true;
        }
    };
    s.form->OnClick = [&s](TComponent*) { ++s.clicks; };
    auto* zegar = new TTimer(s.form);
    zegar->SetName("Zegar");
    zegar->OnTimer = [&s](TComponent*) {
        ++s.ticks;
        const auto address = s.services.Host.FirstIPv4();
        s.online = address && *address != "127.0.0.1";
        if (s.online) s.services.Backend.Beep(48);
    };
    s.form->Show();
}

int TTaktomat::Run() {
    return 0;
}
bool TTaktomat::Running() const {
    return !state_->closed;
}
Application& TTaktomat::App() {
    return state_->app;
}

std::optional<std::string> TTaktomat::ValueOf(std::string_view name) const {
    if (name == "Ticks") return std::to_string(state_->ticks);
    if (name == "Clicks") return std::to_string(state_->clicks);
    if (name == "IsOnline") return state_->online ? "true" : "false";
    if (name == "Running") return Running() ? "true" : "false";
    if (name == "Folder") return state_->services.Folder.string();
    return std::nullopt;
}

namespace scenario {
namespace {

struct RunResult {
    Outcome outcome;
    std::string out;
    std::string err;
};

RunResult RunText(const std::string& text,
                  std::optional<std::filesystem::path> dir = std::nullopt) {
    std::ostringstream out, err;
    const Outcome outcome = RunScript("t.scn", text, dir, out, err);
    return {outcome, out.str(), err.str()};
}

TEST(Runner, TicksProbesBeepsAndPrints) {
    const RunResult r = RunText(
        "start\n"
        "tick 3\n"
        "expect Ticks 3\n"
        "expect beeps \"\"\n"
        "host 10.0.0.5\n"
        "tick 2\n"
        "expect IsOnline true\n"
        "expect beeps \"48 48\"\n"
        "expect beeps \"\"\n"
        "print frmTaktomat.Left frmTaktomat.Label1.Caption Ticks\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.outcome, Outcome::Passed);
    EXPECT_EQ(r.out, "frmTaktomat.Left = 10\nfrmTaktomat.Label1.Caption = TAKTOMAT\nTicks = 5\n");
}

TEST(Runner, StallFiresTheTimerOnceAtItsEndAndKeepsItsRhythm) {
    const RunResult r = RunText(
        "start\nstall 5500\nexpect Ticks 1\nwait 499\nexpect Ticks 1\nwait 1\nexpect Ticks 2\n");
    EXPECT_EQ(r.outcome, Outcome::Passed) << r.err;
}

TEST(Runner, ALongTickFiresEveryTimerOnTheWay) {
    const RunResult r = RunText("start\ntick 90000\nexpect Ticks 90000\n");
    EXPECT_EQ(r.outcome, Outcome::Passed) << r.err;
}

TEST(Runner, TheLineKeepsPaceWithTheProgram) {
    // Connected at 1000 ms: the address changes before the timer of that same moment fires.
    // After the dial is hung up elsewhere nothing is on-line; the line's connection is listed.
    const RunResult r = RunText(
        "phonebook Dom Praca\n"
        "line Dom 1 8192 address=10.0.0.7\n"
        "start\n"
        "dial Dom\n"
        "expect connections Dom\n"
        "wait 999\n"
        "expect Ticks 0\n"
        "wait 1\n"
        "expect Ticks 1\n"
        "expect IsOnline true\n");
    EXPECT_EQ(r.outcome, Outcome::Passed) << r.err;
}

TEST(Runner, InputFilesAndMessageBoxes) {
    const RunResult r = RunText(
        "file raport.txt \"a\\tb\\r\\n\"\n"
        "expect file:raport.txt \"a\\tb\\r\\n\"\n"
        "delete raport.txt\n"
        "expect file:raport.txt <missing>\n"
        "start\n"
        "click frmTaktomat 5 5\n"
        "dblclick frmTaktomat\n"
        "expect Clicks 2\n"
        "answer no\n"
        "click frmTaktomat.Label1\n"
        "expect Running true\n"
        "expect messages \"Taktomat 2000|Koniec?|35\"\n"
        "expect messages \"\"\n"
        "answer yes\n"
        "click frmTaktomat.Label1\n"  // at once again: a double click, no box
        "expect messages \"\"\n"
        "wait 600\n"
        "click frmTaktomat.Label1\n"
        "expect Running false\n"
        "start\n"
        "expect Running true\n"
        "expect Ticks 0\n");
    EXPECT_EQ(r.outcome, Outcome::Passed) << r.err;
}

TEST(Runner, FailedExpectStopsWithItsLineAndBothValues) {
    const RunResult r = RunText("start\n\ntick\nexpect Ticks 2\nexpect Ticks 99\n");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.err, "t.scn:4: expected 2, got 1\n");
    // Control characters are shown escaped so the message stays on one line.
    const RunResult f = RunText("file a \"x\\ny\"\nexpect file:a \"x\ty\"\n");
    EXPECT_EQ(f.err, "t.scn:2: expected x\\ty, got x\\ny\n");
}

TEST(Runner, ScriptFaultsNameTheirLine) {
    RunResult r = RunText("start\nbogus 1\n");
    EXPECT_EQ(r.outcome, Outcome::ScriptFault);
    EXPECT_EQ(r.err.rfind("t.scn:2: ", 0), 0u) << r.err;
    // Faults found only while running: a control that does not exist, a name the program does
    // not know, a window before the program started, a second start while it runs.
    for (const char* text :
         {"start\ntick\nclick frmTaktomat.Nothing\n", "start\nexpect NoSuchName 1\n",
          "tick\nexpect frmTaktomat.Left 0\n", "start\nstart\n",
          "start\nline Dom 8192\ndial Praca\n", "start\nfile ../escape x\n"}) {
        r = RunText(text);
        EXPECT_EQ(r.outcome, Outcome::ScriptFault) << text;
        EXPECT_NE(r.err.find("t.scn:"), std::string::npos) << text;
    }
}

TEST(Runner, FolderIsFreshUnlessGivenAndKeptWhenGiven) {
    const auto dir = std::filesystem::temp_directory_path() / "taktomat-runner-test";
    std::filesystem::remove_all(dir);
    EXPECT_EQ(RunText("file taktomat.ini x\n", dir).outcome, Outcome::Passed);
    EXPECT_TRUE(std::filesystem::exists(dir / "taktomat.ini"));
    // A fresh folder never sees what another run left.
    EXPECT_EQ(RunText("expect file:taktomat.ini <missing>\n").outcome, Outcome::Passed);
    EXPECT_EQ(RunText("expect file:taktomat.ini x\n", dir).outcome, Outcome::Passed);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace scenario
}  // namespace tt
