#pragma once
#include <filesystem>
#include <functional>

#include "controls/BMPButton.h"
#include "controls/BMPCounter.h"
#include "controls/Shell.h"
#include "metering/settings.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The limits window: pulses per connection, day and month, and the dialling delay. Only its
// creation and its confirm set the limits the meter works with; the file is never read back
// during a run.
class TfrmMaxImp : public TForm {
  public:
    TfrmMaxImp(TComponent* owner, TShell& shell, TSettings& settings, TMeterLimits& meterLimits,
               std::filesystem::path programFolder);

    TLabel* lblMAXIMP_P;
    TLabel* lblMAXIMP_D;
    TLabel* lblMAXIMP_M;
    TLabel* lblOODL;
    TBMPCounter* cntMAXIMP_P;
    TBMPCounter* cntMAXIMP_D;
    TBMPCounter* cntMAXIMP_M;
    TBMPCounter* cntOODL;
    TBMPButton* Klawisze;

    // The main window's release step, run with this window as Sender when a drag of it ends
    // (the main window clamps the window it is given). Until the program sets it, the window
    // ends the drag and clamps itself.
    std::function<void(TComponent* Sender)> ReleaseStep;

    void FormCreate(TComponent* Sender);
    void KlawiszeClick(TComponent* Sender);
    void FormMouseDown(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormMouseMove(TComponent* Sender, TShiftState Shift, int X, int Y);
    void FormMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormPaint(TComponent* Sender);

  private:
    void CopyToMeterLimits();

    TShell& shell_;
    TSettings& settings_;
    TMeterLimits& meterLimits_;
    std::filesystem::path programFolder_;
};

}  // namespace tt
