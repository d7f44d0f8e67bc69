#include "session/session.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>

#include "metering/online_probe.h"

namespace tt {

namespace {

constexpr const char* kLimitNames[] = {"na połączenie", "na dzień", "na miesiąc"};

// The connection's bill, after `out`: its time, pulses and cost as the user's formats show them.
void AppendBill(std::string& out, std::string_view time, int32_t pulses, std::string_view cost) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, pulses).ptr;
    out.append("Czas: ").append(time).append("\nImpulsy: ");
    out.append(digits, static_cast<size_t>(end - digits));
    out.append("\nKoszt: ").append(cost).append(" zł");
}

std::string BillText(TDateTime time, int32_t pulses, long double cost, const FormatSettings& fs) {
    std::string out;
    AppendBill(out, DurationToStr(time, fs), pulses, MoneyToStr(cost, fs));
    return out;
}

constexpr std::string_view kTipTitle = "Taktomat 2000";

}  // namespace

std::string TrayTipText(bool online, TDateTime time, int32_t pulses, long double cost,
                        const FormatSettings& fs) {
    std::string tip(kTipTitle);
    if (online) AppendBill(tip.append("\n"), DurationToStr(time, fs), pulses, MoneyToStr(cost, fs));
    return tip;
}

TSession::TSession(TSessionServices services)
    : host_(services.Host),
      ui_(services.Ui),
      wallClock_(std::move(services.WallClock)),
      monotonicMs_(std::move(services.MonotonicMs)),
      folder_(std::move(services.Folder)),
      format_(std::move(services.Format)),
      entrySettings_(std::move(services.Settings)),
      log_(folder_ / "raport.txt", std::move(services.SecondPlace)) {
    dialUp_ = std::make_unique<TDialUp>(services.Ui, services.Ras);
    dialUp_->SetName("DialUp1");
    dialUp_->DialMode = TDialMode::dmAsync;
    dialUp_->Language = TLanguage::Polish;
    dialUp_->OnEntryGet = [this](TComponent*, const std::string& name) {
        entries_.push_back(name.substr(0, name.find('\0')));
    };
    dialUp_->OnAsyncEvent = [this](TComponent*, int state, int error, const std::string& text) {
        attempts_->DialEvent(state, error, text, dialUp_->FailureReason());
    };
    dialUp_->OnActiveConnection = [this](TComponent*, int handle, TRasConnStatusA,
                                         const std::string&, const std::string&, const std::string&,
                                         const std::string&) { DialUpActiveConnection(handle); };

    UiThread& ui = services.Ui;
    TDialAttempts::Hooks hooks;
    hooks.ProcessMessages = [&ui] { ui.ProcessMessages(); };
    hooks.DisconnectAll = [this] { DisconnectAll(); };
    hooks.RunMeter = [this](bool run) { RunMeter(run); };
    hooks.StopMeter = [this] {
        meter_.Forget();
        log_.ForgetRunning();
        journaledPulses_ = 0;
        RunMeter(false);
        Changed(kStateChanged);
    };
    attempts_ = std::make_unique<TDialAttempts>(isOnline_, std::move(hooks));
}

TSession::~TSession() {
    host_.StopTelling();
}

void TSession::AddView(TSessionView& view) {
    views_.push_back(&view);
}

void TSession::RemoveView(TSessionView& view) {
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

void TSession::Changed(unsigned changes) {
    // A view may go (or come) while the others are told. The list is copied into room kept
    // for it: this runs every second.
    std::vector<TSessionView*> views;
    views.swap(telling_);
    views.assign(views_.begin(), views_.end());
    for (TSessionView* view : views) {
        if (std::find(views_.begin(), views_.end(), view) != views_.end()) {
            view->SessionChanged(*this, changes);
        }
    }
    views.clear();
    if (telling_.capacity() < views.capacity()) telling_.swap(views);
}

void TSession::Beep(int type) {
    for (TSessionView* view : views_) view->Beep(type);
}

void TSession::Tell(const std::string& text) {
    if (unattended_) {
        std::fprintf(stderr, "taktomat: %s\n", text.c_str());
        return;
    }
    for (TSessionView* view : views_) view->Tell(text);
}

void TSession::Notify(TSessionNotice::Kind what, std::string text) {
    if (unattended_) return;
    if (settings_ && !Read(*settings_, keys::POWIADOMIENIA)) return;
    static constexpr const char* kTitles[] = {"Osiągnięto limit impulsów",
                                              "Rozłączono przy limicie", "Połączenie zakończone"};
    const TSessionNotice notice{what, kTitles[what], std::move(text)};
    const std::vector<TSessionView*> views = views_;
    for (TSessionView* view : views) view->Notify(notice);
}

void TSession::RunMeter(bool run) {
    if (meterRunning_ == run) return;
    meterRunning_ = run;
    Changed(kStateChanged);
}

void TSession::Start() {
    // Every step is tried whatever an earlier one met: the meter must run even without a log
    // or a remote-access library, and the windows read their settings through the accessor.
    const auto step = [&](const std::function<void()>& fn) {
        try {
            fn();
        } catch (const std::exception& e) {
            Tell(e.what());
        }
    };
    step([&] {
        // Only this copy writes here (the folder lock), so what a crash left is no one's.
        RemoveStaleTemporaries(SettingsPath());
        totals_ = TTotals{};
        const TDateTime now = wallClock_();
        totalsDay_ = DayOf(now);
        TotalsCounter counter(now, format_);
        log_.Load(&counter);
        totals_ = counter.Result();
    });
    step([&] {
        log_.TakeBack();
        RecountTotals(wallClock_());
        if (!log_.HasSecondPlace()) {
            Tell("Brak prywatnego folderu na zapisy, których nie uda się zapisać w \"" +
                 FullPathText(LogPath()) +
                 "\": zapis połączenia przerwanego awarią programu może przepaść.");
        }
    });
    meter_.Forget();
    step([&] { dialUp_->GetActiveConnections(); });
    HandleWatch loop;
    loop.Watch = [this](int handle, std::function<void()> ready) {
        return ui_.WatchHandle(handle, std::move(ready));
    };
    loop.Unwatch = [this](int handle) { ui_.UnwatchHandle(handle); };
    // The news may come on any thread; the meter hears it on the window thread, if it is still
    // there.
    probeTells_ = host_.TellChanges(loop, [this, alive = std::weak_ptr<int>(alive_)] {
        ui_.Post([this, alive] {
            if (alive.lock()) Changed(kProbeChanged);
        });
    });
    RunMeter(true);
    if (entrySettings_ && entrySettings_->Path() == SettingsPath()) {
        settings_ = std::move(entrySettings_);
    } else {
        settings_ = std::make_unique<TSettings>(SettingsPath());
    }
    entrySettings_.reset();
    step([&] {
        // Read now for every key, so that a file that cannot be read is told of once, before
        // the windows take its defaults.
        ReadClamped(*settings_, keys::H);
        if (settings_->Unreadable()) {
            Tell("Nie udało się odczytać pliku ustawień \"" + FullPathText(SettingsPath()) +
                 "\": program używa ustawień domyślnych i nie zapisze zmian, dopóki plik nie "
                 "da się odczytać.");
        }
    });
    Changed(kStateChanged | kLogChanged);
}

void TSession::Tick() {
    TPulseMeter::Inputs in;
    in.WallNow = wallClock_();
    // A new day, a new month or a clock set to another date: the limits count that day's use.
    if (DayOf(in.WallNow) != totalsDay_) RecountTotals(in.WallNow);
    in.Online = ProbeOnline();
    in.MonotonicMs = monotonicMs_();
    in.DisconnectChecked = disconnectChecked_;
    lastTick_ = meter_.Tick(in, tariff_, limits_, totals_);
    const TMeterTick& tick = lastTick_;
    for (int beep : tick.ZoneBeeps) Beep(beep);

    if (tick.Online) {
        if (meter_.PulseCount() != journaledPulses_) {
            // At the start and at every pulse, not every second: what a hard end would cost.
            journaledPulses_ = meter_.PulseCount();
            log_.Running(FormatRecord(in.WallNow, meter_.ConnectionTime(), journaledPulses_,
                                      meter_.Cost(tariff_), format_));
        }
        labelPulseCount_ = tick.LabelPulseCount;
        Changed(kOnlineTick);
        if (tick.HangUp) {
            DisconnectAll();
            // Once: a line that stays up is hung up again at every full pulse.
            if (meter_.LimitArmed() && reachedLimit_ >= 0 && !toldHangUp_) {
                toldHangUp_ = true;
                Notify(TSessionNotice::HungUpAtLimit, LimitText(reachedLimit_) + ".");
            }
        }
        if (tick.ArmLimit) {
            disconnectChecked_ = true;
            reachedLimit_ = tick.ReachedLimit;
            Changed(kStateChanged);
            Beep(kBeepExclamation);
            Notify(TSessionNotice::LimitReached,
                   LimitText(reachedLimit_) +
                       ". Połączenie zostanie rozłączone z końcem tego impulsu.");
        }
        if (tick.ThreeQuarterBeep) Beep(kBeepSimple);
        return;
    }

    reachedLimit_ = -1;
    toldHangUp_ = false;
    Changed(kOfflineTick);
    if (tick.Ended) {
        // The far end, the modem or another program may have ended it.
        attempts_->LineDown();
        // The meter is idle before the file is written, so a failed save is not retried as a
        // second record on the next tick; the record waits in the log for the next save.
        const TMeterTick::Record& r = *tick.Ended;
        journaledPulses_ = 0;
        log_.Add(FormatRecord(r.Date, r.Duration, r.Pulses, r.Cost, format_));
        SaveLog(true);
        Notify(TSessionNotice::ConnectionEnded, BillText(r.Duration, r.Pulses, r.Cost, format_));
    }
    if (tick.ZoneStartBeep) Beep(kBeepExclamation);
}

int64_t TSession::IdleTicks(int64_t msToNextTick) const {
    if (!probeTells_ || !meterRunning_ || isOnline_ || meter_.Zone() != 0) return 0;
    // The clock was set to another day: the next tick counts the totals again.
    if (DayOf(wallClock_()) != totalsDay_) return 0;
    constexpr int64_t kMsPerDay = int64_t{kSecondsPerDay} * 1000;
    const int next = SecondOfDay(wallClock_() + static_cast<TDateTime>(msToNextTick) /
                                                    static_cast<TDateTime>(kMsPerDay));
    // Midnight too: the totals are counted again for the new day.
    int64_t until = (kSecondsPerDay - next) % kSecondsPerDay;
    const std::array<int, 4>& starts = ZoneStartSeconds(tariff_);
    for (size_t i = 1; i <= 3; ++i) {
        const int start = starts[i];
        until = std::min<int64_t>(until, (start - next + kSecondsPerDay) % kSecondsPerDay);
    }
    // The tick a second before runs as well, in case the timer's clock and the wall clock
    // have drifted apart; an hour at most, for a clock set without anybody being told.
    return std::clamp<int64_t>(until - 1, 0, 3600);
}

void TSession::RetrySave() {
    SaveLog(false);
}

bool TSession::SaveLog(bool tellOnFailure) {
    std::string error;
    const bool saved = log_.Save(error);
    if (saved) toldUnsaved_ = false;
    // A save may have brought in lines that another program added. The views learn of it (and
    // arm the retry) before any box is shown: a box waits for the user, the retry must not.
    RecountTotals(wallClock_());
    Changed(kStateChanged | kLogChanged);
    if (!saved && tellOnFailure && !toldUnsaved_) {
        // Told once per run of failures: the retry every minute would otherwise pile boxes up.
        toldUnsaved_ = true;
        Tell(error +
             ". Zapis połączenia jest zachowany i zostanie dopisany, gdy tylko plik da się "
             "zapisać.");
    }
    return saved;
}

void TSession::RecountTotals(TDateTime now) {
    totalsDay_ = DayOf(now);
    totals_ = ComputeTotals(log_.Lines(), now, format_);
}

void TSession::End() {
    if (ended_) return;
    ended_ = true;
    RunMeter(false);
    if (meter_.Zone() != 0) {
        // The off-line step, as the first tick after the line went down would run it.
        TPulseMeter::Inputs in;
        in.WallNow = wallClock_();
        in.MonotonicMs = monotonicMs_();
        in.Online = false;
        lastTick_ = meter_.Tick(in, tariff_, limits_, totals_);
        if (const auto& r = lastTick_.Ended) {
            log_.Add(FormatRecord(r->Date, r->Duration, r->Pulses, r->Cost, format_));
        }
        Changed(kStateChanged);
    }
    const std::string told = log_.Finish();
    Changed(kStateChanged | kLogChanged);
    if (told.empty()) return;
    std::fprintf(stderr, "taktomat: %s\n", told.c_str());
    if (!unattended_) Tell(told);
}

void TSession::TellMisreadSettings() {
    if (!settings_ || settings_->Misread().size() <= toldMisread_) return;
    std::string list;
    for (size_t i = toldMisread_; i < settings_->Misread().size(); ++i) {
        list += "\n" + settings_->Misread()[i];
    }
    toldMisread_ = settings_->Misread().size();
    Tell("Nie zrozumiano ustawień w pliku \"" + FullPathText(SettingsPath()) +
         "\" (użyto wartości domyślnych):" + list);
}

bool TSession::ProbeOnline() {
    return tt::ProbeOnline(host_, isOnline_);
}

TLimitDisplay TSession::LimitDisplayNow() const {
    return LimitDisplay(limitMode_, countMode_, meter_.PulseCount(), totals_, limits_);
}

std::string TSession::LimitText(int limit) const {
    const int32_t values[] = {limits_.MAXIMP_P, limits_.MAXIMP_D, limits_.MAXIMP_M};
    const auto i = static_cast<size_t>(std::clamp(limit, 0, 2));
    return std::string("Limit impulsów ") + kLimitNames[i] + ": " + std::to_string(values[i]);
}

const std::string& TSession::TrayTip() const {
    if (meter_.Zone() == 0) {
        tipText_ = TrayTipText(false, 0, 0, 0, format_);
        return tipText_;
    }
    // Built every second on-line, in the room of the last one: the cost's text changes only with
    // the cost, the time's is the label's of the same tick.
    const long double cost = meter_.Cost(tariff_);
    if (tipCostText_.empty() || cost != tipCost_) {
        tipCost_ = cost;
        tipCostText_ = MoneyToStr(cost, format_);
    }
    tipText_.assign(kTipTitle).append("\n");
    AppendBill(tipText_, ConnectionTimeText(), meter_.PulseCount(), tipCostText_);
    return tipText_;
}

const std::string& TSession::ConnectionTimeText() const {
    const TDateTime time = meter_.ConnectionTime();
    if (timeText_.empty() || time != timeTextOf_) {
        timeTextOf_ = time;
        timeText_ = DurationToStr(time, format_);
    }
    return timeText_;
}

std::string TSession::TimeLabel() const {
    if (showPulseNumber_) return "Impuls: " + std::to_string(labelPulseCount_);
    return ConnectionTimeText();
}

void TSession::SetDisconnectChecked(bool checked) {
    disconnectChecked_ = checked;
    hangUpRequested_ = checked;
    Changed(kStateChanged);
}

void TSession::NextLimitMode() {
    if (!ProbeOnline()) return;
    limitMode_ = limitMode_ + 1 >= 3 ? 0 : limitMode_ + 1;
    Changed(kStateChanged);
}

void TSession::ToggleCountMode() {
    countMode_ = countMode_ != 1 ? 1 : 0;
    ProbeOnline();
    Changed(kCountModeChanged);
}

void TSession::ToggleTimeLabel() {
    showPulseNumber_ = !showPulseNumber_;
    if (showPulseNumber_) ProbeOnline();
    labelPulseCount_ = meter_.PulseCount();
    Changed(kTimeLabelChanged);
}

void TSession::ListEntries() {
    entries_.clear();
    entriesReason_.clear();
    // Told even when the listing fails: the window's list is emptied of the last one.
    struct Tell {
        TSession& s;
        ~Tell() { s.Changed(kEntriesChanged); }
    } tell{*this};
    const uint32_t code = dialUp_->GetEntries();
    if (entries_.empty()) {
        entriesReason_ = dialUp_->EmptyPhoneBookReason(code);
    }
}

void TSession::DisconnectAll() {
    hangUpRequested_ = true;
    // Cleared also when the remote-access library fails, or the next listing would hang up
    // what it finds.
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{hangUpRequested_};
    dialUp_->GetActiveConnections();
    dialUp_->HangUp();
    attempts_->LineDown();
}

void TSession::DialUpActiveConnection(int handle) {
    if (hangUpRequested_) dialUp_->HangUpConnection(static_cast<HRasConn>(handle));
}

}  // namespace tt
