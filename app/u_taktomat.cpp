#include "app/u_taktomat.h"

#include "base/error.h"
#include "controls/skin/skin.h"
#include "windows/u_connect.h"
#include "windows/u_maximp.h"
#include "windows/u_opcje.h"
#include "windows/u_raport.h"

namespace tt {

namespace {

constexpr int kFullHeight = 80;
constexpr int kRolledHeight = 25;
constexpr int kWidth = 275;
constexpr TColor kLightYellow = ColorRGB(255, 255, 128);
constexpr const char* kCloseQuestion = "Podłączenie jest aktywne czy chcesz je rozłączyć ?";
constexpr int kLogRetryMs = 60 * 1000;

TMenuItem* Item(TfrmTaktomat* form, TPopupMenu* menu, const char* name, const char* caption,
                int tag) {
    auto* item = new TMenuItem(form);
    item->SetName(name);
    item->SetCaption(caption);
    item->SetTag(tag);
    menu->Add(*item);
    return item;
}

}  // namespace

TfrmTaktomat::TfrmTaktomat(TComponent* owner, TSession& session, TWindowKit& kit)
    : TForm(owner), session_(session), kit_(kit) {
    SetName("frmTaktomat");
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetFormStyle(TFormStyle::fsStayOnTop);
    // Before the tray icon takes over this window: a style change makes a new window, and the
    // shell forgets an icon whose window is gone.
    SetToolWindow(true);
    SetEraseBackground(false);  // FormPaint covers every pixel
    SetText("Taktomat");
    SetShowHint(true);
    TFont font;
    font.Color = kLightYellow;
    SetFont(font);
    SetVisibleQuietly(false);
    SetBounds(0, 0, kWidth, kFullHeight);

    chkDisconnect = Place<TBitCheckBox>(this, "chkDisconnect", 8, 4, 14, 16);
    chkDisconnect->SetHint("rozłącz po tym impulsie");
    chkDisconnect->OnClick = [this](TComponent* s) { chkDisconnectClick(s); };

    gImpuls = Place<TProgress>(this, "gImpuls", 24, 8, 137, 9);
    gImpuls->SetShowText(false);
    gImpuls->SetForeColor(ColorRGB(255, 255, 0));
    gImpuls->SetBackColor(ColorRGB(0, 0, 255));
    gImpuls->SetHint("aktualny impuls");

    lblCzasPol = Place<TLabel>(this, "lblCzasPol", 165, 6, 1, 1);
    lblCzasPol->SetCaption("00:00:00");
    lblCzasPol->SetCursor(crHandPoint);
    lblCzasPol->SetTransparent(true);
    lblCzasPol->OnClick = [this](TComponent* s) { lblCzasPolClick(s); };

    mdProgress = Place<TProgress>(this, "mdProgress", 8, 27, 153, 9);
    mdProgress->SetShowText(false);
    mdProgress->SetForeColor(ColorRGB(0, 128, 255));
    mdProgress->SetBackColor(ColorRGB(0, 0, 128));
    mdProgress->SetCursor(crHandPoint);
    mdProgress->SetHint("MAX Impulsów na:\rPołączenie/Dzień/Miesiąc");
    mdProgress->OnClick = [this](TComponent* s) { mdProgressClick(s); };

    lblCzasDlugi = Place<TLabel>(this, "lblCzasDlugi", 165, 25, 1, 1);
    lblCzasDlugi->SetCaption("Impulsy: 0");
    lblCzasDlugi->SetCursor(crHandPoint);
    lblCzasDlugi->SetTransparent(true);
    lblCzasDlugi->SetHint("wykorzystano");
    lblCzasDlugi->OnClick = [this](TComponent* s) { lblCzasDlugiClick(s); };

    Label1 = Place<TLabel>(this, "Label1", 74, 64, 1, 1);
    TFont title;
    title.Name = "Courier New";
    title.Height = -11;
    title.Bold = true;
    title.Color = kLightYellow;
    Label1->SetFont(title);
    Label1->SetCaption("TAKTOMAT 2000");
    Label1->SetTransparent(true);

    TSkinSet& skins = kit_.Skins;
    Klawisze = Place<TBMPButton>(this, "Klawisze", 8, 43, 125, 20);
    Klawisze->SetButtons(&skins.imgKlawisze);
    Klawisze->SetHints({"Opcje", "Raport połączeń", "Ustawienia max'ów", "Połącz", "Rozłącz"});
    Klawisze->OnClick = [this](TComponent* s) { KlawiszeClick(s); };

    klawiszeOkna = Place<TBMPButton>(this, "klawiszeOkna", 192, 43, 75, 20);
    klawiszeOkna->SetButtons(&skins.imgKlawiszeOkna);
    klawiszeOkna->SetHints({"Zwiń okno", "Ukryj", "Zamknij"});
    klawiszeOkna->OnClick = [this](TComponent* s) { klawiszeOknaClick(s); };

    KlawiszeShade = Place<TBMPButton>(this, "KlawiszeShade", 211, 7, 60, 12);
    KlawiszeShade->SetButtons(&skins.imgShade);
    KlawiszeShade->SetHints({"Rozwiń okno", "Ukryj", "Zamknij"});
    KlawiszeShade->SetVisible(false);
    KlawiszeShade->OnClick = [this](TComponent* s) { KlawiszeShadeClick(s); };

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->SetName("PopupMenu1");
    Pocz1 = Item(this, PopupMenu1, "Pocz1", "&Połącz", 3);
    Rozcz1 = Item(this, PopupMenu1, "Rozcz1", "&Rozłącz", 4);
    N2 = Item(this, PopupMenu1, "N2", "-", 0);
    MAX1 = Item(this, PopupMenu1, "MAX1", "MAX", 2);
    N1 = Item(this, PopupMenu1, "N1", "-", 0);
    Ukryj1 = Item(this, PopupMenu1, "Ukryj1", "&Ukryj", 1);
    Zamknij1 = Item(this, PopupMenu1, "Zamknij1", "&Zamknij", 2);
    for (TMenuItem* item : {Pocz1, Rozcz1, MAX1}) {
        item->OnClick = [this](TComponent* s) { Pocz1Click(s); };
    }
    for (TMenuItem* item : {Ukryj1, Zamknij1}) {
        item->OnClick = [this](TComponent* s) { Ukryj1Click(s); };
    }

    nIcon = new TNotifyIcon(this);
    nIcon->SetName("nIcon");
    nIcon->SetHint("Taktomat 2000");
    nIcon->SetPopupMenu(PopupMenu1);
    nIcon->SetEnableDblClick(false);
    nIcon->SetHideTask(true);
    nIcon->SetBringToFront(true);
    nIcon->SetIcon(LoadSkinPicture(SkinPicture::Icon));
    nIcon->OnClick = [this](TComponent* s) { nIconClick(s); };

    // Runs only from creation on (step 11): a tick before the skins and the log are there
    // would meter against nothing.
    Zegar = new TTimer(this);
    Zegar->SetName("Zegar");
    Zegar->SetEnabled(false);
    Zegar->SetInterval(1000);
    Zegar->OnTimer = [this](TComponent* s) { ZegarTimer(s); };

    LogRetry = new TTimer(this);
    LogRetry->SetName("LogRetry");
    LogRetry->SetEnabled(false);
    LogRetry->SetInterval(kLogRetryMs);
    LogRetry->OnTimer = [this](TComponent*) { session_.RetrySave(); };

    ShadeTicked = [this] {
        if (frmOpcje) return frmOpcje->ShadeDown();
        TSettings* settings = session_.Settings();
        return settings ? Read(*settings, keys::SHADEDOWN) : keys::SHADEDOWN.Default;
    };

    // The window is dragged by its background and by the title.
    for (TControl* handle : {static_cast<TControl*>(this), static_cast<TControl*>(Label1)}) {
        handle->OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
            FormMouseDown(s, b, sh, x, y);
        };
        handle->OnMouseMove = [this](TComponent* s, TShiftState sh, int x, int y) {
            FormMouseMove(s, sh, x, y);
        };
        handle->OnMouseUp = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
            FormMouseUp(s, b, sh, x, y);
        };
    }

    Application::Current().OnTimeChange = [this](TComponent*) { WallClockSet(); };
    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnPaint = [this](TComponent* s) { FormPaint(s); };
    OnDestroy = [this](TComponent* s) { FormDestroy(s); };
    session_.AddView(*this);
}

TfrmTaktomat::~TfrmTaktomat() {
    if (Application* app = Application::CurrentOrNull()) app->OnTimeChange = nullptr;
    session_.RemoveView(*this);
}

void TfrmTaktomat::FormCreate(TComponent*) {
    Application& app = Application::Current();
    // Every step is tried whatever an earlier one met: the tray icon is the only way into the
    // program, and the windows made after this one read their settings through the accessor.
    app.Guard([&] {
        kit_.AltDrawing = AltDrawingMarkerPresent(session_.Folder());
        for (TBMPButton* bar : {Klawisze, KlawiszeShade, klawiszeOkna}) {
            bar->SetAltDrawing(kit_.AltDrawing);
        }
    });
    app.Guard([&] {
        kit_.Skins.Fill();
        paintedSkin_.SetSize(0, 0);
        Klawisze->SetButtons(&kit_.Skins.imgKlawisze);
        klawiszeOkna->SetButtons(&kit_.Skins.imgKlawiszeOkna);
        KlawiszeShade->SetButtons(&kit_.Skins.imgShade);
    });
    app.Guard([&] { nIcon->SetIconVisible(true); });
    // A monitor that went takes no window with it: the windows on it come to the primary.
    app.OnDisplayChange = [this] {
        for (TForm* form : Application::Current().Forms()) {
            if (form->Visible()) ClampToItsMonitor(*form, kit_);
        }
    };
    TRect corner{0, 0, 1024, 768};
    app.Guard([&] { corner = kit_.PrimarySnapArea(); });
    SetBounds(corner.Right - kWidth, corner.Bottom - kFullHeight, kWidth, kFullHeight);
    // The log, its totals, the active connections and the settings file; the meter runs from
    // here on (a tick before the skins and the log are there would meter against nothing).
    session_.Start();
    app.Guard([&] {
        const int height = ReadClamped(*session_.Settings(), keys::H);
        SetHeight(height);
        KlawiszeShade->SetVisible(height < kFullHeight);
    });
}

void TfrmTaktomat::FormPaint(TComponent*) {
    // The squeezed skin is the same picture until the size changes, so it is stretched once
    // per size rather than on every paint: the meter repaints its labels every second.
    if (paintedSkin_.Width() != Width() || paintedSkin_.Height() != Height()) {
        paintedSkin_.SetSize(Width(), Height());
        paintedSkin_.GetCanvas().StretchDraw(TRect{0, 0, Width(), Height()},
                                             kit_.Skins.SkinBackground);
    }
    GetCanvas().Draw(0, 0, paintedSkin_);
}

void TfrmTaktomat::FormDestroy(TComponent*) {
    EndOfProgram();
    Application::Current().Guard([&] {
        if (TSettings* settings = session_.Settings()) {
            settings->WriteInteger(keys::H.Section, keys::H.Key, Height());
        }
    });
    session_.ReleaseSettings();
}

void TfrmTaktomat::ZegarTimer(TComponent*) {
    session_.Tick();
    // Off-line and idle nothing shown changes from one second to the next: the timer sleeps
    // until the probe tells of a change or a second comes on which something must happen.
    Zegar->SkipBeats(session_.IdleTicks(Zegar->MsToNextBeat()));
}

void TfrmTaktomat::WallClockSet() {
    if (Zegar->Skipping()) Zegar->SkipBeats(session_.IdleTicks(Zegar->MsToNextBeat()));
}

void TfrmTaktomat::SessionChanged(const TSession& s, unsigned changes) {
    // Plain mirrors of the session's state: cheap, and never out of step.
    Zegar->SetTag(s.Meter().Zone());
    Zegar->SetEnabled(s.MeterRunning());
    LogRetry->SetEnabled(s.RetryPending());
    chkDisconnect->SetChecked(s.DisconnectChecked());
    chkDisconnect->SetTag(s.Meter().LimitArmed());
    mdProgress->SetTag(s.LimitMode());
    lblCzasDlugi->SetTag(s.CountMode());
    lblCzasDlugi->SetHint(s.CountMode() == 1 ? "zostało" : "wykorzystano");

    // On the beat it would have had, so that a connection starts in the second the tick
    // every second would have found it.
    if (changes & kProbeChanged) Zegar->Resume();
    if (changes & kOnlineTick) {
        const TMeterTick& tick = s.LastTick();
        lblCzasPol->SetCaption(s.TimeLabel());
        gImpuls->SetMaxValue(tick.GaugeMax);
        gImpuls->SetProgress(tick.GaugeProgress);
        gImpuls->SetForeColor(tick.GaugeColor);
        ShowLimits();
    }
    if (changes & kOfflineTick) gImpuls->SetProgress(s.Meter().GaugeProgress());
    ShowTrayState(s);
    if ((changes & kCountModeChanged) && s.IsOnline()) {
        const TLimitDisplay d = s.LimitDisplayNow();
        if (d.Valid) lblCzasDlugi->SetCaption(d.Caption);
    }
    if (changes & kTimeLabelChanged) {
        lblCzasPol->SetHint(s.ShowPulseNumber() ? "Impulsy połączenia" : "Czas połączenia");
        lblCzasPol->SetCaption(s.TimeLabel());
    }
}

void TfrmTaktomat::Beep(int type) {
    Application::Current().MessageBeep(type);
}

void TfrmTaktomat::Tell(const std::string& text) {
    Application::Current().HandleException(Error(text));
}

void TfrmTaktomat::Notify(const TSessionNotice& notice) {
    Application::Current().Backend().ShowNotification({notice.Title, notice.Text});
}

void TfrmTaktomat::ShowTrayState(const TSession& s) {
    // The tip changes at most once a tick; the icon passes an unchanged tip over.
    nIcon->SetHint(s.TrayTip());
    const bool online = s.Meter().Zone() != 0;
    if (online == onlineIcon_) return;
    onlineIcon_ = online;
    nIcon->SetIcon(LoadSkinPicture(online ? SkinPicture::IconOnline : SkinPicture::Icon));
}

void TfrmTaktomat::ShowLimits() {
    const TLimitDisplay d = session_.LimitDisplayNow();
    if (!d.Valid) return;
    mdProgress->SetMaxValue(d.MaxValue);
    mdProgress->SetProgress(d.Progress);
    if (mdProgress->Hint() != d.Hint) mdProgress->SetHint(std::string(d.Hint));
    mdProgress->SetForeColor(d.Color);
    lblCzasDlugi->SetCaption(d.Caption);
}

void TfrmTaktomat::nIconClick(TComponent*) {
    // The corner of the monitor the meter was last on; the primary's when that one has gone.
    const TRect snap = kit_.SnapAreaOf(*this);
    SetBounds(snap.Right - Width(), snap.Bottom - Height(), Width(), Height());
    Show();
}

void TfrmTaktomat::mdProgressClick(TComponent*) {
    session_.NextLimitMode();
}

void TfrmTaktomat::lblCzasDlugiClick(TComponent*) {
    session_.ToggleCountMode();
}

void TfrmTaktomat::lblCzasPolClick(TComponent*) {
    session_.ToggleTimeLabel();
}

void TfrmTaktomat::chkDisconnectClick(TComponent*) {
    session_.SetDisconnectChecked(chkDisconnect->Checked());
}

void TfrmTaktomat::FormMouseDown(TComponent*, TMouseButton, TShiftState Shift, int X, int Y) {
    DragPress(kit_.DragState, Shift, X, Y);
}

void TfrmTaktomat::FormMouseMove(TComponent*, TShiftState, int X, int Y) {
    if (DragMove(kit_.DragState, *this, X, Y)) FollowMainWindow();
}

void TfrmTaktomat::FormMouseUp(TComponent* Sender, TMouseButton, TShiftState, int, int) {
    auto* form = dynamic_cast<TForm*>(Sender);
    ReleaseDrag(form ? *form : *this);
}

void TfrmTaktomat::ReleaseDrag(TForm& target) {
    kit_.DragState.Dragging = false;
    ClampToItsMonitor(target, kit_);
}

void TfrmTaktomat::FollowMainWindow() {
    Application& app = Application::Current();
    for (const char* name : {"frmConnect", "frmRaport", "frmOpcje"}) {
        TForm* form = app.FindForm(name);
        if (!form || !form->Visible() || form->Active()) continue;
        form->SetBounds(Left(), Top() - form->Height(), form->Width(), form->Height());
    }
}

void TfrmTaktomat::RollUp() {
    if (ShadeTicked()) SetTop(Top() + Height() - kRolledHeight);
    SetHeight(kRolledHeight);
    KlawiszeShade->SetVisible(true);
    Invalidate();
}

void TfrmTaktomat::Unroll() {
    if (ShadeTicked()) SetTop(Top() - (kFullHeight - kRolledHeight));
    SetHeight(kFullHeight);
    KlawiszeShade->SetVisible(false);
    ReleaseDrag(*this);
}

void TfrmTaktomat::PlaceAboveOrOnEdge(TForm& form) {
    const int top =
        Visible() ? Top() - form.Height() : kit_.SnapAreaOf(*this).Bottom - form.Height();
    form.SetBounds(Left(), top, form.Width(), form.Height());
}

void TfrmTaktomat::KlawiszeClick(TComponent*) {
    const auto placeAbove = [this](TForm& form) {
        form.SetBounds(Left(), Top() - form.Height(), form.Width(), form.Height());
    };
    switch (Klawisze->CommandIndex()) {
        case 0:
            if (!frmOpcje) break;
            placeAbove(*frmOpcje);
            frmOpcje->Show();
            break;
        case 1:
            if (!frmRaport) break;
            placeAbove(*frmRaport);
            frmRaport->CopyLog(session_.LogLines());
            frmRaport->Show();
            break;
        case 2:
            if (!frmMaxImp) break;
            PlaceAboveOrOnEdge(*frmMaxImp);
            frmMaxImp->Show();
            break;
        case 3:
            if (!frmConnect) break;
            PlaceAboveOrOnEdge(*frmConnect);
            session_.ListEntries();
            frmConnect->Show();
            break;
        case 4:
            session_.DisconnectAll();
            break;
        default:
            break;
    }
}

void TfrmTaktomat::HideWindows() {
    Application& app = Application::Current();
    for (const char* name : {"frmRaport", "frmOpcje", "frmConnect", "frmMaxImp"}) {
        if (TForm* form = app.FindForm(name)) form->SetVisible(false);
    }
    // The tray icon is the way back to a hidden window. Without a tray the window goes to its
    // taskbar button instead, and where it cannot, it stays: hidden, nothing would bring it back.
    const bool tray = app.Backend().TrayAvailable();
    nIcon->SetHideTask(tray);
    if (tray) {
        SetVisible(false);
    } else if (Visible()) {
        app.Backend().MinimizeWindow(Handle());
    }
}

void TfrmTaktomat::klawiszeOknaClick(TComponent*) {
    switch (klawiszeOkna->CommandIndex()) {
        case 0:
            RollUp();
            break;
        case 1:
            HideWindows();
            break;
        case 2: {
            if (!session_.ProbeOnline()) {
                Close();
                break;
            }
            Application& app = Application::Current();
            const int answer = app.ShowMessageBox(kCloseQuestion, app.Title(),
                                                  ui::kMbYesNoCancel | ui::kMbIconQuestion);
            if (answer == ui::kIdYes) {
                session_.DisconnectAll();
                Close();
            } else if (answer == ui::kIdNo) {
                Close();
            }
            break;
        }
        default:
            break;
    }
}

void TfrmTaktomat::KlawiszeShadeClick(TComponent*) {
    switch (KlawiszeShade->CommandIndex()) {
        case 0:
            Unroll();
            break;
        case 1:
            HideWindows();
            break;
        case 2:
            Close();
            break;
        default:
            break;
    }
    kit_.DragState = TDragState{};
    Invalidate();
}

void TfrmTaktomat::Pocz1Click(TComponent* Sender) {
    Klawisze->SetCommandIndex(Sender->Tag());
    KlawiszeClick(Klawisze);
}

void TfrmTaktomat::Ukryj1Click(TComponent* Sender) {
    klawiszeOkna->SetCommandIndex(Sender->Tag());
    klawiszeOknaClick(klawiszeOkna);
}

}  // namespace tt
