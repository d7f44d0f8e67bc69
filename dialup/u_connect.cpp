#include "dialup/u_connect.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace tt {

namespace {

constexpr TColor kWindowColor = kCompanionColor;
constexpr TColor kTextColor = kCompanionTextColor;

TLabel* MakeLabel(TForm* form, const char* name, int left, int top, const char* caption) {
    auto* label = new TLabel(form);
    label->SetName(name);
    label->SetParent(form);
    label->SetTransparent(true);  // the skin shows through
    label->SetCaption(caption);
    label->SetBounds(left, top, 1, 1);  // sized to its text
    return label;
}

TBMPCounter* MakeCounter(TForm* form, const char* name, int left, int top, ImageList& digits,
                         double minValue, double maxValue) {
    auto* counter = new TBMPCounter(form);
    counter->SetName(name);
    counter->SetParent(form);
    counter->SetDigits(&digits);
    counter->SetBounds(left, top, counter->Width(), 20);
    counter->SetMaxValue(maxValue);
    counter->SetMinValue(minValue);
    counter->SetStep(1);
    return counter;
}

}  // namespace

TfrmConnect::TfrmConnect(TComponent* owner, TShell& shell, TSettings& settings, TDialUp& DialUp1,
                         TDialAttempts& attempts, TConnectHooks hooks)
    : TForm(owner),
      shell_(shell),
      settings_(settings),
      DialUp1_(DialUp1),
      attempts_(attempts),
      hooks_(std::move(hooks)) {
    SetName("frmConnect");
    SetUpCompanionWindow(*this, 102, false);
    SetShowHint(true);

    lblStatus = MakeLabel(this, "lblStatus", 8, 37, kIdleStatus);
    Label1 = MakeLabel(this, "Label1", 8, 56, "Liczba prób podłączania:");
    Label2 = MakeLabel(this, "Label2", 8, 76, "Odstęp między próbami:");

    cmbEntry = new TComboBox(this);
    cmbEntry->SetName("cmbEntry");
    cmbEntry->SetParent(this);
    cmbEntry->SetBounds(8, 8, 257, 21);
    cmbEntry->SetColor(kWindowColor);

    Klawisze = new TBMPButton(this);
    Klawisze->SetName("Klawisze");
    Klawisze->SetParent(this);
    Klawisze->SetButtons(&shell_.Skins.ImageList1);
    Klawisze->SetOrientation(TLayOut::loHor);
    Klawisze->SetBounds(200, 72, Klawisze->Width(), Klawisze->Height());
    Klawisze->OnClick = [this](TComponent* s) { klawiszeClick(s); };

    ImageList& digits = shell_.Skins.imgCyfry;
    cntPowtorz = MakeCounter(this, "cntPowtorz", 136, 54, digits, 1, 10);
    cntPowtorz->OnChange = [this](TComponent* s) { cntPowtorzChange(s); };
    cntCoIle = MakeCounter(this, "cntCoIle", 136, 74, digits, 1, 100);
    cntCoIle->SetHint("sekundy");
    cntIleJeszcze = MakeCounter(this, "cntIleJeszcze", 236, 52, digits, 0, 100);
    cntIleJeszcze->SetUseChanger(false);
    cntIleJeszcze->SetValue(0);
    cntIleJeszcze->SetHint("Pozostało prób");
    cntIleJeszcze->Hide();

    Timer1 = new TTimer(this);
    Timer1->SetName("Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(10000);
    Timer1->OnTimer = [this](TComponent* s) { Timer1Timer(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnPaint = [this](TComponent* s) { FormPaint(s); };
    RouteDragEvents(*this);
    attempts_.OnChanged = [this] { ShowAttempts(); };
}

TfrmConnect::~TfrmConnect() {
    attempts_.OnChanged = nullptr;
}

void TfrmConnect::ShowAttempts() {
    // The interval before the arming, so an armed timer runs with the pause it was given.
    Timer1->SetTag(attempts_.Attempt());
    Timer1->SetInterval(attempts_.IntervalMs());
    Timer1->SetEnabled(attempts_.Waiting());
    lblStatus->SetCaption(attempts_.Status());
    cntIleJeszcze->SetValue(attempts_.Remaining());
    cntIleJeszcze->SetVisible(attempts_.RemainingShown());
}

void TfrmConnect::FormCreate(TComponent*) {
    for (auto* counter : {cntPowtorz, cntCoIle, cntIleJeszcze}) {
        counter->SetAltDrawing(shell_.AltDrawing);
    }
    Klawisze->SetAltDrawing(shell_.AltDrawing);
    // Setting a value from code raises no OnChange, so cntIleJeszcze keeps its 0.
    cntPowtorz->SetValue(
        settings_.ReadInteger(keys::REP.Section, keys::REP.Key, keys::REP.Default));
    cntCoIle->SetValue(
        settings_.ReadInteger(keys::PAUSE.Section, keys::PAUSE.Key, keys::PAUSE.Default));
}

void TfrmConnect::FormPaint(TComponent*) {
    PaintSkinBackground(*this, shell_.Skins.SkinBackground);
}

void TfrmConnect::FormMouseDown(TComponent*, TMouseButton, TShiftState Shift, int X, int Y) {
    DragPress(shell_.DragState, Shift, X, Y);
}

void TfrmConnect::FormMouseMove(TComponent*, TShiftState, int X, int Y) {
    DragMove(shell_.DragState, *this, X, Y);
}

void TfrmConnect::FormMouseUp(TComponent* Sender, TMouseButton Button, TShiftState Shift, int X,
                              int Y) {
    shell_.DragState.Dragging = false;
    if (hooks_.ReleaseStep) {
        hooks_.ReleaseStep(Sender, Button, Shift, X, Y);
    } else {
        ClampToSnapArea(*this, shell_.SnapArea);
    }
}

void TfrmConnect::klawiszeClick(TComponent*) {
    switch (Klawisze->CommandIndex()) {
        case 0:  // dial
            if (!attempts_.Start(!cmbEntry->Items().empty())) return;
            // Taken now: choosing another entry during the attempts does not change them.
            DialUp1_.Entry = cmbEntry->Text();
            settings_.WriteInteger(keys::REP.Section, keys::REP.Key, cntPowtorz->Value());
            settings_.WriteInteger(keys::PAUSE.Section, keys::PAUSE.Key, cntCoIle->Value());
            return;
        case 1:  // cancel
            Close();
            attempts_.Cancel();
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
