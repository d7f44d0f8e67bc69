#pragma once
#include <functional>
#include <string>

#include "controls/BMPButton.h"
#include "controls/BtChkBox.h"
#include "controls/Progress.h"
#include "controls/Shellage.h"
#include "controls/window_kit.h"
#include "session/session.h"
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

// The main window: the meter strip with its bars, the tray icon and its menu, the one-second
// timer. It shows the session and hands the user's commands to it.
class TfrmTaktomat : public TForm, private TSessionView {
  public:
    TfrmTaktomat(TComponent* owner, TSession& session, TWindowKit& kit);
    ~TfrmTaktomat() override;
    // The accessor of "taktomat.ini" the windows share; none before creation and after
    // destruction.
    TSettings* Settings() const { return session_.Settings(); }

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
    TTimer* Zegar;
    // Writes the log again while records wait that could not be written.
    TTimer* LogRetry;

    // Whether rolling keeps the bottom edge: the options window's setting once it exists.
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

    // Every end of the program runs this first, once (the session's end).
    void EndOfProgram() { session_.End(); }

  private:
    void SessionChanged(const TSession& session, unsigned changes) override;
    void Beep(int type) override;
    void Tell(const std::string& text) override;
    void Notify(const TSessionNotice& notice) override;
    // The tray icon's picture and tip for the connection's state: the on-line icon while a
    // connection is metered, so that a line the far end hung up shows at a glance.
    void ShowTrayState(const TSession& session);
    // The limit gauge and its label for the current limit and count modes.
    void ShowLimits();
    // The wall clock was set: a sleeping meter reckons its next second again.
    void WallClockSet();
    void HideWindows();
    // Above the main window, or on the bottom edge of its monitor's snap area while the main window
    // is hidden.
    void PlaceAboveOrOnEdge(TForm& form);
    TSession& session_;
    TWindowKit& kit_;
    Bitmap paintedSkin_;
    bool onlineIcon_ = false;
};

}  // namespace tt
