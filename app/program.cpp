#include "app/program.h"

#include "app/no_tray.h"
#include "app/u_taktomat.h"
#include "base/error.h"
#include "dialup/u_connect.h"
#include "log/u_raport.h"
#include "metering/u_maximp.h"
#include "metering/u_opcje.h"
#include "toolkit/application.h"

namespace tt {

struct TTaktomat::State {
    explicit State(TProgramServices s)
        : Backend(s.Backend), Program(s.Host, s.Ras, std::move(s.Folder), std::move(s.Format)) {}
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
        App.reset();
    }
};

TTaktomat::TTaktomat(TProgramServices services)
    : state_(std::make_unique<State>(std::move(services))) {
    state_->App = std::make_unique<Application>(state_->Backend);
}

TTaktomat::~TTaktomat() {
    if (state_->App) state_->App.reset();
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
    main.frmOpcje = &app.CreateForm<TfrmOpcje>(program.Shell, settings, program.Format,
                                               program.TariffTable, program.Folder);
    main.frmRaport = &app.CreateForm<TfrmRaport>(program.Shell);
    TConnectHooks hooks;
    hooks.DisconnectAll = [&main] { main.DisconnectAll(); };
    hooks.EnableZegar = [&main] { main.Zegar->SetEnabled(true); };
    hooks.ReleaseStep = [&main, &app](TComponent* Sender, TMouseButton, TShiftState, int, int) {
        // A drag may end over one of the window's controls: the window is what is clamped.
        auto* form = dynamic_cast<TForm*>(Sender);
        if (!form) form = app.FindForm("frmConnect");
        if (form) main.ReleaseDrag(*form);
    };
    main.frmConnect = &app.CreateForm<TfrmConnect>(program.Shell, settings, *main.DialUp1,
                                                   program.IsOnline, std::move(hooks));
    main.SetVisible(false);
    // Made last, after the main window is hidden; it sets the limits the meter works with.
    TfrmMaxImp& limits =
        app.CreateForm<TfrmMaxImp>(program.Shell, settings, program.MeterLimits, program.Folder);
    limits.ReleaseStep = [&main, &limits](TComponent*) { main.ReleaseDrag(limits); };
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
        const TRect& r = p.Shell.SnapArea;
        return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " +
               std::to_string(r.Right) + " " + std::to_string(r.Bottom);
    }
    if (name == "LogLines") return std::to_string(p.LogLines.size());
    return std::nullopt;
}

}  // namespace tt
