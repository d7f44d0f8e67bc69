#include "app/program.h"

#include "app/no_tray.h"
#include "app/u_taktomat.h"

#include <mutex>
#include "base/error.h"
#include "base/files.h"
#include "toolkit/application.h"
#include "windows/u_connect.h"
#include "windows/u_maximp.h"
#include "windows/u_opcje.h"
#include "windows/u_raport.h"

namespace tt {

struct TTaktomat::State {
    explicit State(TProgramServices s)
        : Backend(s.Backend), Program(s.Host, s.Ras, std::move(s.Folder), std::move(s.Format)) {
        Program.UnsavedLogPath =
            s.UnsavedLog.empty() ? UnsavedLogPath(Program.LogPath()) : s.UnsavedLog;
        Program.EntrySettings = std::move(s.Settings);
    }
    ui::Backend& Backend;
    // Declared before the application: the windows use it until they are gone.
    TProgramState Program;
    std::unique_ptr<Application> App;
    TfrmTaktomat* Main = nullptr;
    bool Started = false;
    bool Ended = false;

    // Once the main window has closed, the windows are released (the main window stores its
    // height then), as after the end of the message loop.
    void EndIfClosed() {
        if (Ended || !App || !App->Terminated()) return;
        Ended = true;
        Main = nullptr;
        std::unique_ptr<Application> gone;
        {
            std::lock_guard<std::mutex> lock(PostMutex);
            gone = std::move(App);
        }
        gone.reset();
    }
    // Other threads post to the application only while it exists.
    std::mutex PostMutex;
    void PostFromAnyThread(std::function<void()> fn) {
        std::lock_guard<std::mutex> lock(PostMutex);
        if (App) App->Post(std::move(fn));
    }
};

TTaktomat::TTaktomat(TProgramServices services)
    : state_(std::make_unique<State>(std::move(services))) {
    state_->App = std::make_unique<Application>(state_->Backend);
}

TTaktomat::~TTaktomat() {
    std::unique_ptr<Application> gone;
    {
        std::lock_guard<std::mutex> lock(state_->PostMutex);
        gone = std::move(state_->App);
    }
    gone.reset();
}

void TTaktomat::Start() {
    if (state_->Started) return;
    state_->Started = true;
    Application& app = *state_->App;
    TProgramState& program = state_->Program;
    app.SetTitle("Taktomat 2000");
    TfrmTaktomat& main = app.CreateForm<TfrmTaktomat>(program);
    state_->Main = &main;
    // The main window's creation made the settings accessor and the image lists that the
    // companions read and draw with; the options window fills the tariff table as it is made.
    TSettings& settings = *program.Settings;
    main.frmOpcje = &app.CreateForm<TfrmOpcje>(program.Kit, settings, program.Format,
                                               program.TariffTable, program.Folder);
    main.frmRaport = &app.CreateForm<TfrmRaport>(program.Kit);
    main.frmConnect =
        &app.CreateForm<TfrmConnect>(program.Kit, settings, *main.DialUp1, *main.DialAttempts);
    main.frmConnect->ReleaseStep = [&main](TForm& window) { main.ReleaseDrag(window); };
    main.SetVisible(false);
    // Made last, after the main window is hidden; it sets the limits the meter works with.
    TfrmMaxImp& limits =
        app.CreateForm<TfrmMaxImp>(program.Kit, settings, program.MeterLimits, program.Folder);
    limits.ReleaseStep = [&main](TForm& window) { main.ReleaseDrag(window); };
    main.frmMaxImp = &limits;
    WatchForMissingTray(main);
}

int TTaktomat::Run() {
    if (!state_->Started) Start();
    if (state_->App && !state_->App->Terminated()) state_->App->Run();
    state_->EndIfClosed();
    return 0;
}

bool TTaktomat::Running() const {
    state_->EndIfClosed();
    return state_->Started && !state_->Ended;
}

void TTaktomat::EndSession() {
    state_->Program.EndingUnattended = true;
    if (state_->Main) state_->Main->EndOfProgram();
}

void TTaktomat::RequestEnd() {
    State* state = state_.get();
    state->PostFromAnyThread([state] {
        if (!state->Main) return;
        state->Program.EndingUnattended = true;
        state->Main->Close();
        // A box or menu left open would hold the end until somebody answered it.
        state->Backend.EndModalLoops();
    });
}

void TTaktomat::RequestShow() {
    State* state = state_.get();
    state->PostFromAnyThread([state] {
        if (state->Main) state->Main->nIconClick(state->Main->nIcon);
    });
}

Application& TTaktomat::App() {
    if (!state_->App) throw Error("The program has ended");
    return *state_->App;
}

TfrmTaktomat& TTaktomat::MainWindow() {
    if (!state_->Main) throw Error("The main window does not exist");
    return *state_->Main;
}

std::optional<std::string> TTaktomat::ValueOf(std::string_view name) const {
    const TProgramState& p = state_->Program;
    const FormatSettings& fs = p.Format;
    const auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    const auto zoneIndex = [&](std::string_view prefix) -> int {
        if (name.size() != prefix.size() + 1 || name.substr(0, prefix.size()) != prefix) return 0;
        const char c = name.back();
        return c >= '1' && c <= '3' ? c - '0' : 0;
    };
    if (name == "Running") return flag(Running());
    if (name == "PulseCount") return std::to_string(p.Meter.PulseCount());
    if (name == "CarriedCost") return FloatToStr(p.Meter.CarriedCost(), fs);
    if (name == "ConnectionTime") return TimeToStr(p.Meter.ConnectionTime(), fs);
    if (name == "IsOnline") return flag(p.IsOnline);
    if (name == "HangUpRequested") return flag(state_->Main && state_->Main->HangUpRequested);
    if (name == "ShowPulseNumber") return flag(p.ShowPulseNumber);
    if (name == "DayPulses") return std::to_string(p.Totals.DayPulses);
    if (name == "MonthPulses") return std::to_string(p.Totals.MonthPulses);
    if (name == "MAXIMP_P") return std::to_string(p.MeterLimits.MAXIMP_P);
    if (name == "MAXIMP_D") return std::to_string(p.MeterLimits.MAXIMP_D);
    if (name == "MAXIMP_M") return std::to_string(p.MeterLimits.MAXIMP_M);
    if (name == "OODL") return std::to_string(p.MeterLimits.OODL);
    if (int z = zoneIndex("PulseLength")) return std::to_string(p.TariffTable.PulseLength[z]);
    if (int z = zoneIndex("PulsePrice")) return FloatToStr(p.TariffTable.PulsePrice[z], fs);
    if (int z = zoneIndex("ZoneStart")) return TimeToStr(p.TariffTable.ZoneStart[z], fs);
    if (name == "SnapArea") {
        const TRect& r = p.Kit.SnapArea;
        return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " +
               std::to_string(r.Right) + " " + std::to_string(r.Bottom);
    }
    if (name == "LogLines") return std::to_string(p.LogLines.size());
    if (name == "SettingsReadings") return std::to_string(p.Settings ? p.Settings->Readings() : 0);
    return std::nullopt;
}

}  // namespace tt
