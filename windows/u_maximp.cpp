#include "windows/u_maximp.h"

#include <array>

#include "toolkit/application.h"

namespace tt {

namespace {

struct LimitRow {
    const char* LabelName;
    const char* Caption;
    const char* CounterName;
    const char* Hint;
    const IntegerKey* Key;
    int Left;
    int Top;
};

// Two rows of two: the per-connection and per-day limits above, the month and the delay below.
const std::array<LimitRow, 4> kRows{{
    {"lblMAXIMP_P", "MAX IMP/P", "cntMAXIMP_P", "Maksymalna liczba impulsow na połączenie",
     &keys::MAXIMP_P, 8, 8},
    {"lblMAXIMP_D", "MAX IMP/D", "cntMAXIMP_D", "Maksymalna liczba impulsow na dzień",
     &keys::MAXIMP_D, 138, 8},
    {"lblMAXIMP_M", "MAX IMP/M", "cntMAXIMP_M", "Maksymalna liczba impulsow na miesiąc",
     &keys::MAXIMP_M, 8, 32},
    {"lblOODL", "OODL", "cntOODL", "Opóźnienie od wybrania numeru", &keys::OODL, 138, 32},
}};
constexpr int kCounterOffset = 58;  // from the label's left edge

}  // namespace

TfrmMaxImp::TfrmMaxImp(TComponent* owner, TWindowKit& kit, TSettings& settings,
                       TMeterLimits& meterLimits, std::filesystem::path programFolder)
    : TCompanionForm(owner, kit, "frmMaxImp", 80, true, TCompanionMove::Drag),
      settings_(settings),
      meterLimits_(meterLimits),
      programFolder_(std::move(programFolder)) {
    SetCaption("Ustawienia impulsów");
    SetShowHint(true);

    std::array<TLabel*, 4> labels{};
    std::array<TBMPCounter*, 4> counters{};
    for (size_t i = 0; i < kRows.size(); ++i) {
        const LimitRow& row = kRows[i];
        TLabel* label = PlaceLabel(this, row.LabelName, row.Left, row.Top + 4, row.Caption);
        label->SetHint(row.Hint);
        labels[i] = label;

        auto* counter =
            Place<TBMPCounter>(this, row.CounterName, row.Left + kCounterOffset, row.Top, 50, 20);
        counter->SetDigits(&kit_.Skins.imgCyfry);
        counter->SetMaxValue(row.Key->Max);
        counter->SetMinValue(row.Key->Min);
        counter->SetStep(1);
        counter->SetHint(row.Hint);
        counters[i] = counter;
    }
    lblMAXIMP_P = labels[0];
    lblMAXIMP_D = labels[1];
    lblMAXIMP_M = labels[2];
    lblOODL = labels[3];
    cntMAXIMP_P = counters[0];
    cntMAXIMP_D = counters[1];
    cntMAXIMP_M = counters[2];
    cntOODL = counters[3];

    Klawisze = Place<TBMPButton>(this, "Klawisze", 197, 54, 70, 20);
    Klawisze->SetButtons(&kit_.Skins.ImageList1);
    Klawisze->OnClick = [this](TComponent* s) { KlawiszeClick(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
}

void TfrmMaxImp::FormCreate(TComponent*) {
    const bool alt = AltDrawingMarkerPresent(programFolder_);
    Klawisze->SetAltDrawing(alt);
    const std::array<TBMPCounter*, 4> counters{cntMAXIMP_P, cntMAXIMP_D, cntMAXIMP_M, cntOODL};
    for (TBMPCounter* c : counters) c->SetAltDrawing(alt);

    const Bitmap& skin = kit_.Skins.SkinBackground;
    SetBounds(Left(), Top(), skin.Width(), skin.Height());

    // The counters clamp what the file holds; the meter takes the clamped values.
    for (size_t i = 0; i < kRows.size(); ++i) {
        const IntegerKey& key = *kRows[i].Key;
        counters[i]->SetValue(settings_.ReadInteger(key.Section, key.Key, key.Default));
    }
    CopyToMeterLimits();
}

void TfrmMaxImp::CopyToMeterLimits() {
    meterLimits_.MAXIMP_P = cntMAXIMP_P->Value();
    meterLimits_.MAXIMP_D = cntMAXIMP_D->Value();
    meterLimits_.MAXIMP_M = cntMAXIMP_M->Value();
    meterLimits_.OODL = cntOODL->Value();
}

void TfrmMaxImp::KlawiszeClick(TComponent*) {
    switch (Klawisze->CommandIndex()) {
        case 0:
            CopyToMeterLimits();
            settings_.WriteInteger(keys::MAXIMP_P.Section, keys::MAXIMP_P.Key,
                                   cntMAXIMP_P->Value());
            settings_.WriteInteger(keys::MAXIMP_D.Section, keys::MAXIMP_D.Key,
                                   cntMAXIMP_D->Value());
            settings_.WriteInteger(keys::MAXIMP_M.Section, keys::MAXIMP_M.Key,
                                   cntMAXIMP_M->Value());
            settings_.WriteInteger(keys::OODL.Section, keys::OODL.Key, cntOODL->Value());
            Close();
            break;
        case 1:
            // Nothing reloads the counters: the values set stay for the next confirm.
            Close();
            break;
        default:
            break;
    }
}

}  // namespace tt
