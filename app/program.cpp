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
    explicit State(TProgramServices s) : Backend(s.Backend), Services(std::move(s)) {}
    ui::Backend& Backend;
    TProgramServices Services;
    // Declared before the application: the windows use them until they are gone. The session
    // is made with the application, whose thread its dial-up controller posts to.
    TWindowKit Kit;
    std::unique_ptr<TSession> Session;
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
    // The window thread as the session sees it: the session outlives the application (its
    // values are read after the end), and a dial report that comes after the application is
    // gone is dropped rather than posted to nothing.
    struct WindowThread : UiThread {
        explicit WindowThread(State& s) : S(s) {}
        void Post(std::function<void()> fn) override { S.PostFromAnyThread(std::move(fn)); }
        void ProcessMessages() override {
            if (S.App) S.App->ProcessMessages();
        }
        void WaitForMessages(int ms) override {
            if (S.App) S.App->WaitForMessages(ms);
        }
        // Straight to the backend, which outlives both: the probe stops watching when the
        // session goes, after the application.
        bool WatchHandle(int handle, std::function<void()> ready) override {
            return S.Backend.WatchHandle(handle, std::move(ready));
        }
        void UnwatchHandle(int handle) override { S.Backend.UnwatchHandle(handle); }
        State& S;
    } Thread{*this};
};

TTaktomat::TTaktomat(TProgramServices services)
    : state_(std::make_unique<State>(std::move(services))) {
    State& s = *state_;
    s.App = std::make_unique<Application>(s.Backend);
    TProgramServices& in = s.Services;
    ui::Backend& backend = s.Backend;
    const std::filesystem::path log = in.Folder / "raport.txt";
    s.Session = std::make_unique<TSession>(TSessionServices{
        in.Host, in.Ras, s.Thread, [&backend] { return backend.WallClock(); },
        [&backend] { return backend.MonotonicMs(); }, in.Folder, in.Format,
        in.UnsavedLog.empty() ? UnsavedLogPath(log) : in.UnsavedLog, std::move(in.Settings)});
}

TTaktomat::~TTaktomat() {
    std::unique_ptr<Application> gone;
    {
        std::lock_guard<std::mutex> lock(state_->PostMutex);
        gone = std::move(state_->App);
    }
    gone.reset();
    state_->Session.reset();
}

void TTaktomat::Start() {
    if (state_->Started) return;
    state_->Started = true;
    Application& app = *state_->App;
    TSession& session = *state_->Session;
    TWindowKit& kit = state_->Kit;
    app.SetTitle("Taktomat 2000");
    TfrmTaktomat& main = app.CreateForm<TfrmTaktomat>(session, kit);
    state_->Main = &main;
    // The main window's creation started the session (the settings accessor) and made the
    // image lists that the companions read and draw with; the options window fills the tariff
    // table as it is made.
    TSettings& settings = *session.Settings();
    main.frmOpcje = &app.CreateForm<TfrmOpcje>(kit, settings, session.Format(),
                                               session.TariffTable(), session.Folder());
    main.frmRaport = &app.CreateForm<TfrmRaport>(kit);
    main.frmConnect = &app.CreateForm<TfrmConnect>(kit, settings, session);
    main.frmConnect->ReleaseStep = [&main](TForm& window) { main.ReleaseDrag(window); };
    main.SetVisible(false);
    // Made last, after the main window is hidden; it sets the limits the meter works with.
    TfrmMaxImp& limits =
        app.CreateForm<TfrmMaxImp>(kit, settings, session.MeterLimits(), session.Folder());
    limits.ReleaseStep = [&main](TForm& window) { main.ReleaseDrag(window); };
    main.frmMaxImp = &limits;
    // The windows have read their settings: what they could not understand is told now.
    session.TellMisreadSettings();
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
    state_->Session->SetUnattended();
    if (state_->Main) state_->Main->EndOfProgram();
}

void TTaktomat::RequestEnd() {
    State* state = state_.get();
    state->PostFromAnyThread([state] {
        if (!state->Main) return;
        state->Session->SetUnattended();
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

TSession& TTaktomat::Session() {
    return *state_->Session;
}

TfrmTaktomat& TTaktomat::MainWindow() {
    if (!state_->Main) throw Error("The main window does not exist");
    return *state_->Main;
}

std::optional<std::string> TTaktomat::ValueOf(std::string_view name) const {
    const TSession& p = *state_->Session;
    const FormatSettings& fs = p.Format();
    const auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    const auto zoneIndex = [&](std::string_view prefix) -> int {
        if (name.size() != prefix.size() + 1 || name.substr(0, prefix.size()) != prefix) return 0;
        const char c = name.back();
        return c >= '1' && c <= '3' ? c - '0' : 0;
    };
    if (name == "Running") return flag(Running());
    if (name == "PulseCount") return std::to_string(p.Meter().PulseCount());
    if (name == "CarriedCost") return FloatToStr(p.Meter().CarriedCost(), fs);
    if (name == "ConnectionTime") return DurationToStr(p.Meter().ConnectionTime(), fs);
    if (name == "IsOnline") return flag(p.IsOnline());
    if (name == "HangUpRequested") return flag(p.HangUpRequested());
    if (name == "ShowPulseNumber") return flag(p.ShowPulseNumber());
    if (name == "DayPulses") return std::to_string(p.Totals().DayPulses);
    if (name == "MonthPulses") return std::to_string(p.Totals().MonthPulses);
    const TMeterLimits& limits = p.MeterLimits();
    if (name == "MAXIMP_P") return std::to_string(limits.MAXIMP_P);
    if (name == "MAXIMP_D") return std::to_string(limits.MAXIMP_D);
    if (name == "MAXIMP_M") return std::to_string(limits.MAXIMP_M);
    if (name == "OODL") return std::to_string(limits.OODL);
    const TTariffTable& tariff = p.TariffTable();
    if (int z = zoneIndex("PulseLength")) return std::to_string(tariff.PulseLength[z]);
    if (int z = zoneIndex("PulsePrice")) return FloatToStr(tariff.PulsePrice[z], fs);
    if (int z = zoneIndex("ZoneStart")) return TimeToStr(tariff.ZoneStart[z], fs);
    if (name == "SnapArea") {
        if (!state_->Main) return "";
        const TRect r = state_->Kit.SnapAreaOf(*state_->Main);
        return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " +
               std::to_string(r.Right) + " " + std::to_string(r.Bottom);
    }
    if (name == "LogLines") return std::to_string(p.LogLines().size());
    if (name == "SettingsReadings")
        return std::to_string(p.Settings() ? p.Settings()->Readings() : 0);
    return std::nullopt;
}

}  // namespace tt
