#pragma once
#include <functional>

#include "controls/BMPButton.h"
#include "controls/BMPCounter.h"
#include "controls/Shell.h"
#include "dialup/DialUp.h"
#include "metering/settings.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// What only the main window can do for the connect window.
struct TConnectHooks {
    // The one sequence that ends every connection (hang up all, then the controller's own).
    std::function<void()> DisconnectAll;
    // Lets the meter's one-second tick run again.
    std::function<void()> EnableZegar;
    // The main window's release step: ends the drag and pushes Sender back into SnapArea.
    // Without it the window only clamps itself.
    TMouseEvent ReleaseStep;
};

// Picks a phone-book entry and dials it, with a number of attempts and a pause between them.
// The retry timer Timer1 makes the attempts; the main window's dial-up handler shows their
// progress in lblStatus and re-arms Timer1 after a failed one. The attempt counter is the tag
// of Timer1: the number of the attempt its next tick makes.
class TfrmConnect : public TForm {
  public:
    // `DialUp1` is the main window's controller and `IsOnline` the program's on-line flag;
    // both must outlive the window.
    TfrmConnect(TComponent* owner, TShell& shell, TSettings& settings, TDialUp& DialUp1,
                bool& IsOnline, TConnectHooks hooks);

    TLabel* lblStatus;
    TLabel* Label1;
    TLabel* Label2;
    TComboBox* cmbEntry;
    TBMPButton* Klawisze;
    TBMPCounter* cntPowtorz;
    TBMPCounter* cntCoIle;
    TBMPCounter* cntIleJeszcze;
    TTimer* Timer1;

    void FormCreate(TComponent* Sender);
    void FormPaint(TComponent* Sender);
    void FormMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormMouseMove(TComponent* Sender, TShiftState Shift, int X, int Y);
    void FormMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void klawiszeClick(TComponent* Sender);
    void Timer1Timer(TComponent* Sender);
    void cntPowtorzChange(TComponent* Sender);

  private:
    TShell& shell_;
    TSettings& settings_;
    TDialUp& DialUp1_;
    bool& IsOnline_;
    TConnectHooks hooks_;
    bool inTimer1Tick_ = false;
};

}  // namespace tt
