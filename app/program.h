#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/format.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_api.h"
#include "settings/settings.h"
#include "toolkit/backend.h"

namespace tt {

class Application;
class TfrmTaktomat;
class TSession;

// What the program is given from outside: the backend of its windows, where it learns the
// local host's address, the remote-access library (or the simulated line), its folder for
// "taktomat.ini", "raport.txt" and "w95bug.txt", and the user's formats.
struct TProgramServices {
    ui::Backend& Backend;
    HostAddressSource& Host;
    RasApi& Ras;
    std::filesystem::path Folder;
    FormatSettings Format;
    // Where unsaved records go when the log cannot be written at the end; empty: the usual
    // place (UnsavedLogPath).
    std::filesystem::path UnsavedLog = {};
    // "taktomat.ini" of the folder as the entry already read it (for its own keys); none: the
    // main window reads the file itself.
    std::unique_ptr<TSettings> Settings = {};
};

// The whole program: the application with its windows and the program-wide state.
class TTaktomat {
  public:
    explicit TTaktomat(TProgramServices services);
    ~TTaktomat();
    TTaktomat(const TTaktomat&) = delete;
    TTaktomat& operator=(const TTaktomat&) = delete;

    // The start-up sequence up to the message loop: the windows are created in their order and
    // only the tray icon shows.
    void Start();
    // The message loop of a real backend; returns when the main window has closed.
    int Run();
    // False once the main window has closed and the windows are gone.
    bool Running() const;

    // The session ends (log-out, shut-down) and the process may be gone when this returns: the
    // meter's off-line step and the log's last write run now, with no message box.
    void EndSession();
    // From any thread (a signal's watcher): the program ends as if its main window were
    // closed, without questions, once the window thread gets to it.
    void RequestEnd();
    // From any thread: the main window comes up as the tray icon's click brings it.
    void RequestShow();

    Application& App();
    TfrmTaktomat& MainWindow();
    // What the program does; it outlives the windows.
    TSession& Session();

    // A program-wide value by its name, as text: PulseCount, CarriedCost, ConnectionTime,
    // IsOnline, HangUpRequested, ShowPulseNumber, DayPulses, MonthPulses, MAXIMP_P, MAXIMP_D,
    // MAXIMP_M, OODL, PulseLength1..3, PulsePrice1..3, ZoneStart1..3, SnapArea, LogLines
    // (the number of lines), Running. Nothing for a name it does not know.
    std::optional<std::string> ValueOf(std::string_view name) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tt
