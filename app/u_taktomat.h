#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/format.h"
#include "controls/BMPButton.h"
#include "controls/BtChkBox.h"
#include "controls/Progress.h"
#include "controls/Shellage.h"
#include "controls/window_kit.h"
#include "dialup/DialUp.h"
#include "dialup/dial_attempts.h"
#include "log/log_file.h"
#include "metering/pulse_meter.h"
#include "metering/tariff.h"
#include "metering/totals.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_api.h"
#include "settings/settings.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/menus.h"
#include "toolkit/stdctrls.h"

namespace tt {

class TfrmOpcje;
class TfrmRaport;
class TfrmConnect;
class TfrmMaxImp;

// The program-wide state. The program owns it; the windows take what they use by reference.
struct TProgramState {
    TProgramState(HostAddressSource& host, RasApi& ras, std::filesystem::path folder,
                  FormatSettings format)
        : Host(host), Ras(ras), Folder(std::move(folder)), Format(std::move(format)) {}

    HostAddressSource& Host;
    RasApi& Ras;
    const std::filesystem::path Folder;
    const FormatSettings Format;

    TWindowKit Kit;
    TLogLines LogLines;
    TTotals Totals;
    TTariffTable TariffTable;
    TMeterLimits MeterLimits;
    TPulseMeter Meter;
    // The accessor of "taktomat.ini": made by the main window's creation, freed by its
    // destruction. The creation takes the one the program's entry already read, if any.
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TSettings> EntrySettings;
    bool IsOnline = false;
    bool ShowPulseNumber = false;

    // Where unsaved records go when the log still cannot be written as the program ends.
    std::filesystem::path UnsavedLogPath;
    // Set when the program ends because the session ends or a signal asks it to: nobody is
    // there to answer a message box, so what it would say goes to the error stream.
    bool EndingUnattended = false;

    std::filesystem::path LogPath() const { return Folder / "raport.txt"; }
    std::filesystem::path SettingsPath() const { return Folder / "taktomat.ini"; }
};

// The main window: the meter strip with its bars, the tray icon and its menu, the dial-up
// controller and the one-second timer.
class TfrmTaktomat : public TForm {
  public:
    TfrmTaktomat(TComponent* owner, TProgramState& state);
    // The accessor of "taktomat.ini" the windows share; none before creation and after
    // destruction.
    TSettings* Settings() const { return state_.Settings.get(); }

    TBitCheckBox* chkDisconnect;
    TProgress* gImpuls;
    TLabel* lblCzasPol;
    TProgress* mdProgress;
    TLabel* lblCzasDlugi;
    TLabel* Label1;
    TBMPButton* Klawisze;
    TBMPButton* klawiszeOkna;
    TBMPButton* KlawiszeShade;
    TNotifyIcon* nIcon;
    TPopupMenu* PopupMenu1;
    TMenuItem* Pocz1;
    TMenuItem* Rozcz1;
    TMenuItem* N2;
    TMenuItem* MAX1;
    TMenuItem* N1;
    TMenuItem* Ukryj1;
    TMenuItem* Zamknij1;
    TDialUp* DialUp1;
    TTimer* Zegar;
    // The dialling sequence that the connect window shows and DialUp1AsyncEvent reports into.
    std::unique_ptr<TDialAttempts> DialAttempts;
    // Writes the log again while records wait that could not be written.
    TTimer* LogRetry;

    bool HangUpRequested = false;

    // Whether rolling keeps the bottom edge: the options window's chkShade once it exists.
    std::function<bool()> ShadeTicked;

    // The companion windows, created after this one; the commands open them once they are set.
    TfrmOpcje* frmOpcje = nullptr;
    TfrmRaport* frmRaport = nullptr;
    TfrmConnect* frmConnect = nullptr;
    TfrmMaxImp* frmMaxImp = nullptr;

    void FormCreate(TComponent* Sender);
    void FormPaint(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    void ZegarTimer(TComponent* Sender);
    void nIconClick(TComponent* Sender);

    void mdProgressClick(TComponent* Sender);
    void lblCzasDlugiClick(TComponent* Sender);
    void lblCzasPolClick(TComponent* Sender);
    void chkDisconnectClick(TComponent* Sender);

    void FormMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormMouseMove(TComponent* Sender, TShiftState Shift, int X, int Y);
    void FormMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    // The release step: also run by the connect and limits windows for themselves.
    void ReleaseDrag(TForm& target);
    void FollowMainWindow();
    void RollUp();
    void Unroll();

    void KlawiszeClick(TComponent* Sender);
    void klawiszeOknaClick(TComponent* Sender);
    void KlawiszeShadeClick(TComponent* Sender);
    void Pocz1Click(TComponent* Sender);
    void Ukryj1Click(TComponent* Sender);

    void DialUp1EntryGet(TComponent* Sender, const std::string& EntryName);
    void DialUp1Connect(TComponent* Sender);
    void DialUp1AsyncEvent(TComponent* Sender, int State, int Error,
                           const std::string& MessageText);
    void DialUp1ActiveConnection(TComponent* Sender, int Handle);
    // Hangs up every active connection of the system and the controller's own.
    void DisconnectAll();

    // The limit gauge and its label for the current limit and count modes.
    void RefreshLimitDisplay();

    // Every end of the program runs this first, once: the meter's off-line step for a metered
    // connection, then the last try to write what is unsaved, else the second place for it.
    // What an earlier run put in the second place goes back into the log at start.
    void EndOfProgram();
    void TakeBackUnsavedRecords();
    // Writes LogLines; false when the file cannot be written (the retry timer then runs). The
    // totals follow the log either way.
    bool SaveLogLines(bool tellOnFailure);

  private:
    void WriteRecord(const TMeterTick::Record& record);
    // The day and month totals of the log for the day of `now`.
    void RecountTotals(TDateTime now);
    void ShowTimeLabel();
    void HideWindows();
    // Above the main window, or on the bottom edge of SnapArea while the main window is hidden.
    void PlaceAboveOrOnEdge(TForm& form);
    TProgramState& state_;
    Bitmap paintedSkin_;
    int64_t totalsDay_ = 0;  // the day whose totals DayPulses holds
    bool ended_ = false;
    bool toldUnsaved_ = false;
};

}  // namespace tt
