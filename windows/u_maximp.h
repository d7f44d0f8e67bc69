#pragma once
#include <filesystem>
#include <functional>

#include "controls/BMPButton.h"
#include "controls/BMPCounter.h"
#include "controls/window_kit.h"
#include "settings/settings.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The limits window: pulses per connection, day and month, and the dialling delay. Only its
// creation and its confirm set the limits the meter works with; the file is never read back
// during a run.
class TfrmMaxImp : public TCompanionForm {
  public:
    TfrmMaxImp(TComponent* owner, TWindowKit& kit, TSettings& settings, TMeterLimits& meterLimits,
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

    void FormCreate(TComponent* Sender);
    void KlawiszeClick(TComponent* Sender);

  private:
    void CopyToMeterLimits();

    TSettings& settings_;
    TMeterLimits& meterLimits_;
    std::filesystem::path programFolder_;
};

}  // namespace tt
