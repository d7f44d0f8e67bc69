#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/format.h"
#include "dialup/DialUp.h"
#include "dialup/dial_attempts.h"
#include "log/log_keeper.h"
#include "metering/pulse_meter.h"
#include "metering/tariff.h"
#include "metering/totals.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_api.h"
#include "settings/settings.h"
#include "toolkit/ui_thread.h"

namespace tt {

class TSession;

// What changed in the session, for the views to show. Several may come together. Whatever
// comes, a view may also bring every mirror of plain state up to date (the zone, the armed
// mark, the modes, whether the meter ticks and a save waits): those never change on their own.
enum SessionChange : unsigned {
    kOnlineTick = 1u << 0,        // a tick on-line: the time label, the pulse gauge, the limits
    kOfflineTick = 1u << 1,       // a tick off-line: the pulse gauge
    kStateChanged = 1u << 2,      // plain state only: zone, hang-up box, modes, timers
    kCountModeChanged = 1u << 3,  // pulses used or left; the count shows at once while on-line
    kTimeLabelChanged = 1u << 4,  // the time label's mode, shown at once
    kEntriesChanged = 1u << 5,    // the phone book as last listed
    kLogChanged = 1u << 6,        // the in-memory log
    kProbeChanged = 1u << 7,      // the probe may answer otherwise: the next tick must come
};

// What the user is told outside the program's windows (the desktop's notification, the tray's
// balloon): a limit reached, the line hung up at a limit, a connection's end with its bill.
struct TSessionNotice {
    enum Kind { LimitReached, HungUpAtLimit, ConnectionEnded };
    Kind What = LimitReached;
    std::string Title;
    std::string Text;
};

// The tray icon's tip: the program's name off-line; on-line also the connection's time, its
// pulses and what it has cost so far, in the user's formats.
std::string TrayTipText(bool online, TDateTime time, int32_t pulses, long double cost,
                        const FormatSettings& fs);

// A window that shows the session. The session calls its views on the window thread, after
// the change, in the order they were added.
class TSessionView {
  public:
    virtual ~TSessionView() = default;
    virtual void SessionChanged(const TSession& session, unsigned changes) = 0;
    // The system beep: 48 the exclamation, -1 the simple beep.
    virtual void Beep(int type) { (void)type; }
    // Something the user must read (a record that could not be written). Not called while the
    // program ends unattended: the text goes to the error stream then.
    virtual void Tell(const std::string& text) { (void)text; }
    // A notice for the desktop; only while "[OPCJE] POWIADOMIENIA" leaves them on.
    virtual void Notify(const TSessionNotice& notice) { (void)notice; }
};

// What the session is given from outside.
struct TSessionServices {
    HostAddressSource& Host;
    RasApi& Ras;
    // The window thread: the dial-up controller posts its events there, and waits for a
    // hang-up go on handling its messages.
    UiThread& Ui;
    std::function<TDateTime()> WallClock;
    std::function<int64_t()> MonotonicMs;
    std::filesystem::path Folder;
    FormatSettings Format;
    // Where the records go that cannot be written when the program ends.
    std::filesystem::path SecondPlace;
    // "taktomat.ini" of the folder as the program's entry already read it; none: the session
    // reads it at start.
    std::unique_ptr<TSettings> Settings = {};
};

// What the program does, without a window: the on-line probe and the pulse meter's tick, the
// day and month totals and the limits, the log's records, the dial-up controller and the
// attempts of a dialling sequence. Windows show its state through TSessionView and hand the
// user's input in as calls.
class TSession {
  public:
    explicit TSession(TSessionServices services);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    void AddView(TSessionView& view);
    void RemoveView(TSessionView& view);

    // The start: the settings file, the log with its totals and what the second place kept, the
    // active connections listed once (nothing hung up); the meter ticks from now on. A step that
    // fails throws after the others have run, as the first failure's error.
    void Start();
    // One second of the meter: the probe, the pulse meter, the limits, the record of a
    // connection that ended.
    void Tick();
    // How many of the one-second ticks after the next `msToNextTick` from now may be left out:
    // none while a connection is metered or the probe must be asked every second; while the
    // meter is idle and the probe tells every change, all up to the one before a second on
    // which something happens (a zone's start beeps, a new day recounts the totals), at most
    // an hour's.
    int64_t IdleTicks(int64_t msToNextTick) const;
    // Whether the probe hears of every change of the address rather than asking each second.
    bool ProbeTellsChanges() const { return probeTells_; }
    // The retry of a save that failed: every minute while records wait.
    void RetrySave();
    // Every end of the program runs this first, once: the meter's off-line step for a metered
    // connection, then the last save; what still cannot be written goes to the second place.
    void End();
    // The program ends with nobody to answer a message box: what it would say goes to the
    // error stream.
    void SetUnattended() { unattended_ = true; }
    // The user was told at start that the folder cannot be written: a failed save does not say
    // so again (until one succeeds).
    void SetToldUnsaved() { toldUnsaved_ = true; }
    bool Unattended() const { return unattended_; }

    // The user's commands.
    void SetDisconnectChecked(bool checked);  // the hang-up box, by mouse or space key
    void NextLimitMode();                     // connection, day, month; only while on-line
    void ToggleCountMode();                   // pulses used or left
    void ToggleTimeLabel();                   // the connection's time or its pulse number
    // Lists the phone book afresh.
    void ListEntries();
    // Hangs up every active connection of the system and the controller's own.
    void DisconnectAll();
    // Probes the line now, as a command that depends on it does.
    bool ProbeOnline();
    // Tells, once for each, the settings that the windows read and could not understand.
    void TellMisreadSettings();

    // The state the windows show.
    const TPulseMeter& Meter() const { return meter_; }
    const TMeterTick& LastTick() const { return lastTick_; }
    const TTotals& Totals() const { return totals_; }
    TTariffTable& TariffTable() { return tariff_; }
    const TTariffTable& TariffTable() const { return tariff_; }
    TMeterLimits& MeterLimits() { return limits_; }
    const TMeterLimits& MeterLimits() const { return limits_; }
    // The limit display for the current modes; not Valid for a mode out of range.
    TLimitDisplay LimitDisplayNow() const;
    int LimitMode() const { return limitMode_; }
    int CountMode() const { return countMode_; }
    bool ShowPulseNumber() const { return showPulseNumber_; }
    bool DisconnectChecked() const { return disconnectChecked_; }
    bool HangUpRequested() const { return hangUpRequested_; }
    bool IsOnline() const { return isOnline_; }
    bool MeterRunning() const { return meterRunning_; }
    bool RetryPending() const { return !ended_ && log_.Unsaved(); }
    const TLogLines& LogLines() const { return log_.Lines(); }
    const std::vector<std::string>& Entries() const { return entries_; }
    // Why the last listing found no entry; empty when it found some.
    const std::string& EntriesReason() const { return entriesReason_; }
    // The time label's text: the connection's time, or its pulse number (on a tick the count
    // of the tick before: a pulse counted now shows on the next one).
    std::string TimeLabel() const;
    // The tray icon's tip now (TrayTipText); valid until the next call.
    const std::string& TrayTip() const;

    TSettings* Settings() const { return settings_.get(); }
    // Releases the settings file's accessor (the program's last write is done).
    void ReleaseSettings() { settings_.reset(); }
    TDialUp& DialUp() { return *dialUp_; }
    TDialAttempts& DialAttempts() { return *attempts_; }
    const std::filesystem::path& Folder() const { return folder_; }
    const FormatSettings& Format() const { return format_; }
    std::filesystem::path LogPath() const { return folder_ / "raport.txt"; }
    std::filesystem::path SettingsPath() const { return folder_ / "taktomat.ini"; }

  private:
    // The connection's time as text, made once for the label and the tray tip of a tick.
    const std::string& ConnectionTimeText() const;
    mutable TDateTime timeTextOf_ = 0;
    mutable std::string timeText_;
    mutable long double tipCost_ = 0;
    mutable std::string tipCostText_;
    mutable std::string tipText_;
    void Changed(unsigned changes);
    void Beep(int type);
    void Tell(const std::string& text);
    void Notify(TSessionNotice::Kind what, std::string text);
    // "Limit impulsów na dzień: 120", for the limit of TMeterTick::ReachedLimit.
    std::string LimitText(int limit) const;
    void RunMeter(bool run);
    // Saves the log; the user is told of the first failure of a run of them. The totals follow
    // the log either way.
    bool SaveLog(bool tellOnFailure);
    void RecountTotals(TDateTime now);
    void DialUpActiveConnection(int handle);

    HostAddressSource& host_;
    UiThread& ui_;
    std::function<TDateTime()> wallClock_;
    std::function<int64_t()> monotonicMs_;
    const std::filesystem::path folder_;
    const FormatSettings format_;
    std::unique_ptr<TSettings> settings_;
    std::unique_ptr<TSettings> entrySettings_;

    TPulseMeter meter_;
    TMeterTick lastTick_;
    TTariffTable tariff_;
    TMeterLimits limits_;
    TTotals totals_;
    int64_t totalsDay_ = 0;  // the day whose totals DayPulses holds
    TLogKeeper log_;

    bool isOnline_ = false;
    bool probeTells_ = false;
    // Held while the session lives: the probe's news, posted from any thread, checks it.
    std::shared_ptr<int> alive_ = std::make_shared<int>();
    bool hangUpRequested_ = false;
    bool disconnectChecked_ = false;
    bool meterRunning_ = false;
    int limitMode_ = 0;
    int countMode_ = 0;
    bool showPulseNumber_ = false;
    int32_t labelPulseCount_ = 0;
    int32_t journaledPulses_ = 0;  // the running connection's, as the second place has it
    bool ended_ = false;
    bool toldUnsaved_ = false;
    bool unattended_ = false;
    size_t toldMisread_ = 0;
    int reachedLimit_ = -1;  // the limit that armed the hang-up box, -1 for none
    bool toldHangUp_ = false;

    std::unique_ptr<TDialUp> dialUp_;
    std::unique_ptr<TDialAttempts> attempts_;
    std::vector<std::string> entries_;
    std::string entriesReason_;
    std::vector<TSessionView*> views_;
    std::vector<TSessionView*> telling_;  // room for Changed's copy of views_
};

}  // namespace tt
