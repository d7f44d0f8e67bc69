#include "app/u_taktomat.h"

#include <cmath>
#include <cstdio>

#include "base/error.h"
#include "base/files.h"
#include "controls/skin/skin.h"
#include "metering/online_probe.h"
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

TfrmTaktomat::TfrmTaktomat(TComponent* owner, TProgramState& state) : TForm(owner), state_(state) {
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

    TSkinSet& skins = state_.Kit.Skins;
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

    DialUp1 = new TDialUp(this, Application::Current(), state_.Ras);
    DialUp1->SetName("DialUp1");
    DialUp1->DialMode = TDialMode::dmAsync;
    DialUp1->Language = TLanguage::Polish;
    DialUp1->OnEntryGet = [this](TComponent* s, const std::string& name) {
        DialUp1EntryGet(s, name);
    };
    DialUp1->OnConnect = [this](TComponent* s) { DialUp1Connect(s); };
    DialUp1->OnAsyncEvent = [this](TComponent* s, int st, int err, const std::string& text) {
        DialUp1AsyncEvent(s, st, err, text);
    };
    DialUp1->OnActiveConnection =
        [this](TComponent* s, int handle, TRasConnStatusA, const std::string&, const std::string&,
               const std::string&, const std::string&) { DialUp1ActiveConnection(s, handle); };

    // Runs only from creation on (step 11): a tick before the skins and the log are there
    // would meter against nothing.
    Zegar = new TTimer(this);
    Zegar->SetName("Zegar");
    Zegar->SetEnabled(false);
    Zegar->SetInterval(1000);
    Zegar->OnTimer = [this](TComponent* s) { ZegarTimer(s); };

    TDialAttempts::Hooks hooks;
    hooks.ProcessMessages = [] { Application::Current().ProcessMessages(); };
    hooks.DisconnectAll = [this] { DisconnectAll(); };
    hooks.RunMeter = [this](bool run) { Zegar->SetEnabled(run); };
    hooks.StopMeter = [this] {
        state_.Meter.Forget();
        Zegar->SetTag(state_.Meter.Zone());
        Zegar->SetEnabled(false);
    };
    DialAttempts = std::make_unique<TDialAttempts>(state_.IsOnline, std::move(hooks));

    LogRetry = new TTimer(this);
    LogRetry->SetName("LogRetry");
    LogRetry->SetEnabled(false);
    LogRetry->SetInterval(kLogRetryMs);
    LogRetry->OnTimer = [this](TComponent*) { SaveLogLines(false); };

    ShadeTicked = [this] {
        if (frmOpcje) return frmOpcje->chkShade->Checked();
        return state_.Settings ? Read(*state_.Settings, keys::SHADEDOWN) : keys::SHADEDOWN.Default;
    };

    const auto down = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
        FormMouseDown(s, b, sh, x, y);
    };
    const auto move = [this](TComponent* s, TShiftState sh, int x, int y) {
        FormMouseMove(s, sh, x, y);
    };
    const auto up = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
        FormMouseUp(s, b, sh, x, y);
    };
    OnMouseDown = down;
    OnMouseMove = move;
    OnMouseUp = up;
    Label1->OnMouseDown = down;
    Label1->OnMouseMove = move;
    Label1->OnMouseUp = up;

    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnPaint = [this](TComponent* s) { FormPaint(s); };
    OnDestroy = [this](TComponent* s) { FormDestroy(s); };
}

void TfrmTaktomat::FormCreate(TComponent*) {
    Application& app = Application::Current();
    TWindowKit& kit = state_.Kit;
    // Every step is tried whatever an earlier one met: the tray icon is the only way into the
    // program, and the windows made after this one read their settings through the accessor.
    app.Guard([&] {
        kit.AltDrawing = AltDrawingMarkerPresent(state_.Folder);
        for (TBMPButton* bar : {Klawisze, KlawiszeShade, klawiszeOkna}) {
            bar->SetAltDrawing(kit.AltDrawing);
        }
    });
    app.Guard([&] {
        kit.Skins.Fill();
        paintedSkin_.SetSize(0, 0);
        Klawisze->SetButtons(&kit.Skins.imgKlawisze);
        klawiszeOkna->SetButtons(&kit.Skins.imgKlawiszeOkna);
        KlawiszeShade->SetButtons(&kit.Skins.imgShade);
    });
    app.Guard([&] {
        // Only this copy writes here (the folder lock), so what a crash left is no one's.
        RemoveStaleTemporaries(state_.LogPath());
        RemoveStaleTemporaries(state_.SettingsPath());
        state_.LogLines.Clear();
        state_.Totals = TTotals{};
        const TDateTime now = app.Backend().WallClock();
        totalsDay_ = DayOf(now);
        TotalsCounter counter(now, state_.Format);
        if (LoadLog(state_.LogPath(), state_.LogLines, &counter)) {
            state_.Totals = counter.Result();
        }
    });
    app.Guard([&] { TakeBackUnsavedRecords(); });
    app.Guard([&] { kit.SnapArea = app.WorkArea(); });
    app.Guard([&] { nIcon->SetIconVisible(true); });
    state_.Meter.Forget();
    Zegar->SetTag(state_.Meter.Zone());
    SetBounds(kit.SnapArea.Right - kWidth, kit.SnapArea.Bottom - kFullHeight, kWidth, kFullHeight);
    app.Guard([&] { DialUp1->GetActiveConnections(); });
    Zegar->SetEnabled(true);
    if (state_.EntrySettings && state_.EntrySettings->Path() == state_.SettingsPath()) {
        state_.Settings = std::move(state_.EntrySettings);
    } else {
        state_.Settings = std::make_unique<TSettings>(state_.SettingsPath());
    }
    state_.EntrySettings.reset();
    app.Guard([&] {
        const int height = ReadClamped(*state_.Settings, keys::H);
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
                                             state_.Kit.Skins.SkinBackground);
    }
    GetCanvas().Draw(0, 0, paintedSkin_);
}

void TfrmTaktomat::FormDestroy(TComponent*) {
    EndOfProgram();
    Zegar->SetEnabled(false);
    Application::Current().Guard([&] {
        if (state_.Settings) state_.Settings->WriteInteger(keys::H.Section, keys::H.Key, Height());
    });
    state_.Settings.reset();
}

void TfrmTaktomat::ZegarTimer(TComponent*) {
    Application& app = Application::Current();
    ui::Backend& backend = app.Backend();
    TPulseMeter& meter = state_.Meter;

    TPulseMeter::Inputs in;
    in.WallNow = backend.WallClock();
    // A new day, a new month or a clock set to another date: the limits count that day's use.
    if (DayOf(in.WallNow) != totalsDay_) RecountTotals(in.WallNow);
    in.Online = ProbeOnline(state_.Host, state_.IsOnline);
    in.MonotonicMs = backend.MonotonicMs();
    in.DisconnectChecked = chkDisconnect->Checked();
    const TMeterTick tick = meter.Tick(in, state_.TariffTable, state_.MeterLimits, state_.Totals);
    // The meter owns the connection; the timer's and the box's tags and the gauge show it.
    Zegar->SetTag(meter.Zone());
    chkDisconnect->SetTag(meter.LimitArmed());
    for (int beep : tick.ZoneBeeps) app.MessageBeep(beep);

    if (tick.Online) {
        if (state_.ShowPulseNumber) {
            lblCzasPol->SetCaption("Impuls: " + std::to_string(tick.LabelPulseCount));
        } else {
            lblCzasPol->SetCaption(TimeToStr(meter.ConnectionTime(), state_.Format));
        }
        gImpuls->SetMaxValue(tick.GaugeMax);
        gImpuls->SetProgress(tick.GaugeProgress);
        RefreshLimitDisplay();
        if (tick.HangUp) DisconnectAll();
        if (tick.ArmLimit) {
            chkDisconnect->SetChecked(true);
            app.MessageBeep(kBeepExclamation);
        }
        if (tick.ThreeQuarterBeep) app.MessageBeep(kBeepSimple);
        gImpuls->SetForeColor(tick.GaugeColor);
        return;
    }

    gImpuls->SetProgress(meter.GaugeProgress());
    if (tick.Ended) WriteRecord(*tick.Ended);
    if (tick.ZoneStartBeep) app.MessageBeep(kBeepExclamation);
}

void TfrmTaktomat::WriteRecord(const TMeterTick::Record& record) {
    // The meter is idle before the file is written, so a failed save is not retried as a
    // second record on the next tick; the line stays in LogLines for the next save.
    state_.LogLines.Add(
        FormatRecord(record.Date, record.Duration, record.Pulses, record.Cost, state_.Format));
    SaveLogLines(true);
}

bool TfrmTaktomat::SaveLogLines(bool tellOnFailure) {
    Application& app = Application::Current();
    bool saved = false;
    try {
        SaveLog(state_.LogLines, state_.LogPath());
        saved = true;
    } catch (const std::exception& e) {
        // Told once per run of failures: the retry every minute would otherwise pile boxes up.
        if (tellOnFailure && !toldUnsaved_) {
            toldUnsaved_ = true;
            const std::string text = std::string(e.what()) +
                                     ". The record is kept and will be written as soon as "
                                     "the file can be written";
            if (state_.EndingUnattended) {
                std::fprintf(stderr, "taktomat: %s\n", text.c_str());
            } else {
                app.HandleException(Error(text));
            }
        }
    }
    if (saved) toldUnsaved_ = false;
    if (!ended_) LogRetry->SetEnabled(state_.LogLines.Unsaved());
    // A save may have brought in lines that another program added.
    RecountTotals(app.Backend().WallClock());
    return saved;
}

void TfrmTaktomat::TakeBackUnsavedRecords() {
    const std::filesystem::path& second = state_.UnsavedLogPath;
    TLogLines kept;
    if (second.empty() || !LoadLog(second, kept) || kept.FileUnread) return;
    // Those the log already holds (copied there by hand, say) are not added twice.
    TLogLines& log = state_.LogLines;
    const TLogLines missing = MissingLogLines(log, kept);
    for (size_t i = 0; i < missing.size(); ++i) log.Add(missing[i]);
    // The second place is emptied only once the log on disk holds all of it; until then the
    // records wait in memory as any unsaved record does, and the retry takes them.
    if (log.Unsaved() && !SaveLogLines(false)) return;
    std::error_code ec;
    std::filesystem::remove(second, ec);
}

void TfrmTaktomat::RecountTotals(TDateTime now) {
    totalsDay_ = DayOf(now);
    state_.Totals = ComputeTotals(state_.LogLines, now, state_.Format);
}

void TfrmTaktomat::EndOfProgram() {
    if (ended_) return;
    ended_ = true;
    Application& app = Application::Current();
    Zegar->SetEnabled(false);
    LogRetry->SetEnabled(false);
    TPulseMeter& meter = state_.Meter;
    if (meter.Zone() != 0) {
        // The off-line step, as the first tick after the line went down would run it.
        TPulseMeter::Inputs in;
        in.WallNow = app.Backend().WallClock();
        in.MonotonicMs = app.Backend().MonotonicMs();
        in.Online = false;
        const TMeterTick tick =
            meter.Tick(in, state_.TariffTable, state_.MeterLimits, state_.Totals);
        Zegar->SetTag(meter.Zone());
        if (tick.Ended) {
            state_.LogLines.Add(FormatRecord(tick.Ended->Date, tick.Ended->Duration,
                                             tick.Ended->Pulses, tick.Ended->Cost, state_.Format));
        }
    }
    if (!state_.LogLines.Unsaved()) return;
    try {
        SaveLog(state_.LogLines, state_.LogPath());
        return;
    } catch (const std::exception&) {
    }
    // The log still cannot be written: the unsaved records go to the second place, less those
    // it holds already (taken back at start, they are among the unsaved ones again).
    const std::filesystem::path& second = state_.UnsavedLogPath;
    TLogLines pending;
    for (size_t i = state_.LogLines.Saved; i < state_.LogLines.size(); ++i) {
        pending.Add(state_.LogLines[i]);
    }
    TLogLines there;
    if (second.empty() || !LoadLog(second, there) || there.FileUnread) there.Clear();
    const std::string unsaved(MissingLogLines(there, pending).FileImage());
    const size_t count = pending.size();
    std::error_code ec;
    if (!second.empty()) std::filesystem::create_directories(second.parent_path(), ec);
    std::string text = "Unable to write to " + FullPathText(state_.LogPath()) + ". ";
    if (!second.empty() && AppendToFile(second, TextToDisk(unsaved))) {
        state_.LogLines.Saved = state_.LogLines.size();
        text += std::to_string(count) + (count == 1 ? " record was" : " records were") +
                " written to " + FullPathText(second) + " instead";
    } else {
        text += std::to_string(count) + (count == 1 ? " record" : " records") +
                " could not be written anywhere:\n" + std::string(pending.FileImage());
    }
    std::fprintf(stderr, "taktomat: %s\n", text.c_str());
    if (!state_.EndingUnattended) app.HandleException(Error(text));
}

void TfrmTaktomat::RefreshLimitDisplay() {
    const TLimitDisplay d =
        LimitDisplay(mdProgress->Tag(), lblCzasDlugi->Tag(), state_.Meter.PulseCount(),
                     state_.Totals, state_.MeterLimits);
    if (!d.Valid) return;
    mdProgress->SetMaxValue(d.MaxValue);
    mdProgress->SetProgress(d.Progress);
    mdProgress->SetHint(d.Hint);
    mdProgress->SetForeColor(d.Color);
    lblCzasDlugi->SetCaption(d.Caption);
}

void TfrmTaktomat::nIconClick(TComponent*) {
    const TRect& snap = state_.Kit.SnapArea;
    SetBounds(snap.Right - Width(), snap.Bottom - Height(), Width(), Height());
    Show();
}

void TfrmTaktomat::mdProgressClick(TComponent*) {
    if (!ProbeOnline(state_.Host, state_.IsOnline)) return;
    const int mode = mdProgress->Tag() + 1;
    mdProgress->SetTag(mode >= 3 ? 0 : mode);
}

void TfrmTaktomat::lblCzasDlugiClick(TComponent*) {
    lblCzasDlugi->SetTag(lblCzasDlugi->Tag() != 1 ? 1 : 0);
    lblCzasDlugi->SetHint(lblCzasDlugi->Tag() == 1 ? "zostało" : "wykorzystano");
    if (!ProbeOnline(state_.Host, state_.IsOnline)) return;
    const TLimitDisplay d =
        LimitDisplay(mdProgress->Tag(), lblCzasDlugi->Tag(), state_.Meter.PulseCount(),
                     state_.Totals, state_.MeterLimits);
    if (d.Valid) lblCzasDlugi->SetCaption(d.Caption);
}

void TfrmTaktomat::lblCzasPolClick(TComponent*) {
    state_.ShowPulseNumber = !state_.ShowPulseNumber;
    if (state_.ShowPulseNumber) {
        lblCzasPol->SetHint("Impulsy połączenia");
        ProbeOnline(state_.Host, state_.IsOnline);
        lblCzasPol->SetCaption("Impuls: " + std::to_string(state_.Meter.PulseCount()));
    } else {
        lblCzasPol->SetHint("Czas połączenia");
        lblCzasPol->SetCaption(TimeToStr(state_.Meter.ConnectionTime(), state_.Format));
    }
}

void TfrmTaktomat::chkDisconnectClick(TComponent*) {
    HangUpRequested = chkDisconnect->Checked();
}

void TfrmTaktomat::FormMouseDown(TComponent*, TMouseButton, TShiftState Shift, int X, int Y) {
    DragPress(state_.Kit.DragState, Shift, X, Y);
}

void TfrmTaktomat::FormMouseMove(TComponent*, TShiftState, int X, int Y) {
    if (DragMove(state_.Kit.DragState, *this, X, Y)) FollowMainWindow();
}

void TfrmTaktomat::FormMouseUp(TComponent* Sender, TMouseButton, TShiftState, int, int) {
    auto* form = dynamic_cast<TForm*>(Sender);
    ReleaseDrag(form ? *form : *this);
}

void TfrmTaktomat::ReleaseDrag(TForm& target) {
    state_.Kit.DragState.Dragging = false;
    ClampToSnapArea(target, state_.Kit.SnapArea);
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

void TfrmTaktomat::DisconnectAll() {
    HangUpRequested = true;
    // Cleared also when the remote-access library fails, or the next listing would hang
    // up what it finds.
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{HangUpRequested};
    DialUp1->GetActiveConnections();
    DialUp1->HangUp();
}

void TfrmTaktomat::DialUp1EntryGet(TComponent*, const std::string& EntryName) {
    if (!frmConnect) return;
    frmConnect->cmbEntry->AddItem(EntryName.substr(0, EntryName.find('\0')));
    frmConnect->cmbEntry->SetItemIndex(0);
}

void TfrmTaktomat::DialUp1Connect(TComponent*) {
    if (!frmConnect) return;
    DialAttempts->SetStatus("[" + frmConnect->cmbEntry->Text() + "] Połączony pomyślnie...");
}

void TfrmTaktomat::DialUp1AsyncEvent(TComponent*, int State, int Error,
                                     const std::string& MessageText) {
    DialAttempts->DialEvent(State, Error, MessageText);
}

void TfrmTaktomat::DialUp1ActiveConnection(TComponent*, int Handle) {
    if (HangUpRequested) DialUp1->HangUpConnection(static_cast<HRasConn>(Handle));
}

void TfrmTaktomat::PlaceAboveOrOnEdge(TForm& form) {
    const int top = Visible() ? Top() - form.Height() : state_.Kit.SnapArea.Bottom - form.Height();
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
            frmRaport->CopyLog(state_.LogLines);
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
            frmConnect->cmbEntry->Clear();
            DialUp1->GetEntries();
            frmConnect->Show();
            break;
        case 4:
            DisconnectAll();
            break;
        default:
            break;
    }
}

void TfrmTaktomat::HideWindows() {
    SetVisible(false);
    Application& app = Application::Current();
    for (const char* name : {"frmRaport", "frmOpcje", "frmConnect"}) {
        if (TForm* form = app.FindForm(name)) form->SetVisible(false);
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
            if (!ProbeOnline(state_.Host, state_.IsOnline)) {
                Close();
                break;
            }
            Application& app = Application::Current();
            const int answer = app.ShowMessageBox(kCloseQuestion, app.Title(),
                                                  ui::kMbYesNoCancel | ui::kMbIconQuestion);
            if (answer == ui::kIdYes) {
                DisconnectAll();
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
    state_.Kit.DragState = TDragState{};
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
