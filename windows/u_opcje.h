#pragma once
#include <filesystem>

#include "base/format.h"
#include "controls/BMPButton.h"
#include "controls/BMPCounter.h"
#include "controls/BtChkBox.h"
#include "controls/window_kit.h"
#include "metering/tariff.h"
#include "settings/settings.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// The options window: the three tariff zones (start time, pulse length, price), what the
// windows snap to and which way the main window rolls up. Loading it, on creation and on every
// show, brings the tariff table up to the settings file, so a show also throws away edits that
// were never confirmed.
class TfrmOpcje : public TCompanionForm {
  public:
    TfrmOpcje(TComponent* owner, TWindowKit& kit, TSettings& settings, const FormatSettings& fs,
              TTariffTable& tariffTable, std::filesystem::path programFolder);

    TBitCheckBox* DoPulpitu;
    TBitCheckBox* DoEkranu;
    TBitCheckBox* chkShade;
    // Whether rolling the main window up keeps its bottom edge, as the box shows it now.
    bool ShadeDown() const { return chkShade->Checked(); }
    TLabel* lblImpuls;
    TLabel* lblStrefa;
    TLabel* lblCena;
    TLabel* lblOd1;
    TLabel* lblOd2;
    TLabel* lblOd3;
    TBMPCounter* cntImpuls_1;
    TBMPCounter* cntImpuls_2;
    TBMPCounter* cntImpuls_3;
    TEdit* edtStrefa1_Start;
    TEdit* edtStrefa2_Start;
    TEdit* edtStrefa3_Start;
    TEdit* edtCena1;
    TEdit* edtCena2;
    TEdit* edtCena3;
    TBMPButton* Klawisze;

    void OdczytZINI(TComponent* Sender);
    void klawiszeClick(TComponent* Sender);
    void ZmianaUstawienStref(TComponent* Sender, int& Key, TShiftState Shift);
    void DoPulpituClick(TComponent* Sender);
    void DoEkranuClick(TComponent* Sender);

  protected:
    void MeasureWaitingText() override;

  private:
    void Confirm();
    // Widens the start-time fields to the locale's times and moves the columns on their right.
    void FitColumnsToTimes();
    bool columnsWait_ = false;

    TSettings& settings_;
    const FormatSettings& fs_;
    TTariffTable& tariffTable_;
    std::filesystem::path programFolder_;
};

}  // namespace tt
