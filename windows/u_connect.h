#pragma once
#include <functional>

#include "controls/BMPButton.h"
#include "controls/BMPCounter.h"
#include "controls/window_kit.h"
#include "session/session.h"
#include "settings/settings.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/stdctrls.h"

namespace tt {

// Picks a phone-book entry and dials it, with a number of attempts and a pause between them.
// The attempts are the session's; this window shows them: Timer1 is armed while an attempt
// waits and its tag is the number of that attempt, lblStatus shows the status and
// cntIleJeszcze the attempts left. cmbEntry shows the phone book as the session last listed it.
class TfrmConnect : public TCompanionForm, private TSessionView {
  public:
    // The session must outlive the window.
    TfrmConnect(TComponent* owner, TWindowKit& kit, TSettings& settings, TSession& session);
    ~TfrmConnect() override;

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
    void klawiszeClick(TComponent* Sender);
    void Timer1Timer(TComponent* Sender);
    void cntPowtorzChange(TComponent* Sender);
    void KeyPressed(TComponent* Sender, int& Key, TShiftState Shift);

  private:
    // Timer1, lblStatus and cntIleJeszcze follow the attempts.
    void ShowAttempts();
    void SessionChanged(const TSession& session, unsigned changes) override;
    // The bar's dial and cancel buttons, and the keys that stand for them.
    void DialPressed();
    void CancelPressed();

    TSettings& settings_;
    TSession& session_;
    TDialUp& DialUp1_;
    TDialAttempts& attempts_;
    std::string emptyReason_;  // the status that says why the list is empty
};

}  // namespace tt
