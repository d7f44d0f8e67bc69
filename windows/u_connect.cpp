#include "windows/u_connect.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace tt {

namespace {

TBMPCounter* PlaceCounter(TForm* form, const char* name, int left, int top, ImageList& digits,
                          double minValue, double maxValue) {
    auto* counter = Place<TBMPCounter>(form, name, left, top, 1, 20);
    counter->SetDigits(&digits);
    counter->SetBounds(left, top, counter->Width(), 20);
    counter->SetMaxValue(maxValue);
    counter->SetMinValue(minValue);
    counter->SetStep(1);
    return counter;
}

}  // namespace

TfrmConnect::TfrmConnect(TComponent* owner, TWindowKit& kit, TSettings& settings, TSession& session)
    : TCompanionForm(owner, kit, "frmConnect", 102, false, TCompanionMove::Drag),
      settings_(settings),
      session_(session),
      DialUp1_(session.DialUp()),
      attempts_(session.DialAttempts()) {
    SetShowHint(true);

    lblStatus = PlaceLabel(this, "lblStatus", 8, 37, kIdleStatus);
    Label1 = PlaceLabel(this, "Label1", 8, 56, "Liczba prób podłączania:");
    Label2 = PlaceLabel(this, "Label2", 8, 76, "Odstęp między próbami:");

    cmbEntry = Place<TComboBox>(this, "cmbEntry", 8, 8, 257, 21);
    cmbEntry->SetColor(kCompanionColor);

    Klawisze = Place<TBMPButton>(this, "Klawisze", 200, 72, 1, 1);
    Klawisze->SetButtons(&kit_.Skins.ImageList1);
    Klawisze->SetOrientation(TLayOut::loHor);
    Klawisze->OnClick = [this](TComponent* s) { klawiszeClick(s); };

    ImageList& digits = kit_.Skins.imgCyfry;
    cntPowtorz = PlaceCounter(this, "cntPowtorz", 136, 54, digits, 1, 10);
    cntPowtorz->OnChange = [this](TComponent* s) { cntPowtorzChange(s); };
    cntCoIle = PlaceCounter(this, "cntCoIle", 136, 74, digits, 1, 100);
    cntCoIle->SetHint("sekundy");
    cntIleJeszcze = PlaceCounter(this, "cntIleJeszcze", 236, 52, digits, 0, 100);
    cntIleJeszcze->SetUseChanger(false);
    cntIleJeszcze->SetValue(0);
    cntIleJeszcze->SetHint("Pozostało prób");
    cntIleJeszcze->Hide();

    Timer1 = new TTimer(this);  // owned by the form
    Timer1->SetName("Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(10000);
    Timer1->OnTimer = [this](TComponent* s) { Timer1Timer(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
    // Enter dials and Escape cancels wherever the focus is, as in a dialog.
    OnKeyDown = [this](TComponent* s, int& key, TShiftState shift) { KeyPressed(s, key, shift); };
    cmbEntry->OnKeyDown = OnKeyDown;
    attempts_.OnChanged = [this] { ShowAttempts(); };
    session_.AddView(*this);
}

TfrmConnect::~TfrmConnect() {
    session_.RemoveView(*this);
    attempts_.OnChanged = nullptr;
}

void TfrmConnect::SessionChanged(const TSession& session, unsigned changes) {
    if (!(changes & kEntriesChanged)) return;
    cmbEntry->Clear();
    for (const std::string& entry : session.Entries()) cmbEntry->AddItem(entry);
    if (!session.Entries().empty()) cmbEntry->SetItemIndex(0);
    // An empty list says why; the reason goes once there is something to dial. The status of
    // attempts that are under way stays.
    if (attempts_.Waiting()) return;
    const bool reasonShown = !emptyReason_.empty() && attempts_.Status() == emptyReason_;
    emptyReason_ = session.Entries().empty() ? session.EntriesReason() : "";
    if (!emptyReason_.empty()) {
        attempts_.SetStatus(emptyReason_);
    } else if (reasonShown) {
        attempts_.SetStatus(kIdleStatus);
    }
}

void TfrmConnect::ShowAttempts() {
    // The interval before the arming, so an armed timer runs with the pause it was given.
    Timer1->SetTag(attempts_.Attempt());
    Timer1->SetInterval(attempts_.IntervalMs());
    Timer1->SetEnabled(attempts_.Waiting());
    lblStatus->SetCaption(attempts_.Status());
    // The window cuts a long status; its hint shows it whole.
    lblStatus->SetHint(attempts_.Status());
    cntIleJeszcze->SetValue(attempts_.Remaining());
    cntIleJeszcze->SetVisible(attempts_.RemainingShown());
}

void TfrmConnect::KeyPressed(TComponent* Sender, int& Key, TShiftState) {
    // The open drop-down list takes these keys itself.
    if (Sender == cmbEntry && cmbEntry->DroppedDown()) return;
    if (Key == ui::kKeyReturn) {
        Key = 0;
        DialPressed();
    } else if (Key == ui::kKeyEscape) {
        Key = 0;
        CancelPressed();
    }
}

void TfrmConnect::DialPressed() {
    if (!attempts_.Start(!cmbEntry->Items().empty())) return;
    // Taken now: choosing another entry during the attempts does not change them.
    DialUp1_.Entry = cmbEntry->Text();
    settings_.WriteInteger(keys::REP.Section, keys::REP.Key, cntPowtorz->Value());
    settings_.WriteInteger(keys::PAUSE.Section, keys::PAUSE.Key, cntCoIle->Value());
}

void TfrmConnect::CancelPressed() {
    Close();
    attempts_.Cancel();
}

void TfrmConnect::FormCreate(TComponent*) {
    for (auto* counter : {cntPowtorz, cntCoIle, cntIleJeszcze}) {
        counter->SetAltDrawing(kit_.AltDrawing);
    }
    Klawisze->SetAltDrawing(kit_.AltDrawing);
    // Setting a value from code raises no OnChange, so cntIleJeszcze keeps its 0.
    cntPowtorz->SetValue(
        settings_.ReadInteger(keys::REP.Section, keys::REP.Key, keys::REP.Default));
    cntCoIle->SetValue(
        settings_.ReadInteger(keys::PAUSE.Section, keys::PAUSE.Key, keys::PAUSE.Default));
}

void TfrmConnect::klawiszeClick(TComponent*) {
    switch (Klawisze->CommandIndex()) {
        case 0:
            DialPressed();
            return;
        case 1:
            CancelPressed();
            return;
        default:
            attempts_.ShowRemainingIfWaiting();
            return;
    }
}

void TfrmConnect::Timer1Timer(TComponent*) {
    attempts_.Tick(cntPowtorz->Value(), cntCoIle->Value(), [this] { DialUp1_.Dial(); });
}

void TfrmConnect::cntPowtorzChange(TComponent*) {
    attempts_.RepeatChanged(cntPowtorz->Value());
}

}  // namespace tt
