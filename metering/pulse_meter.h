#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "metering/tariff.h"
#include "metering/totals.h"
#include "settings/settings.h"

namespace tt {

inline constexpr int kBeepExclamation = 48;
inline constexpr int kBeepSimple = -1;
inline constexpr uint32_t kGaugeYellow = 65535;
inline constexpr uint32_t kGaugeRed = 255;
inline constexpr uint32_t kLimitMaroon = 128;
inline constexpr uint32_t kLimitBlue = 16744448;

// What one tick of the meter found, in the order the window must carry it out.
struct TMeterTick {
    bool Online = false;
    // Beeps of the zone change (before anything is shown).
    std::vector<int> ZoneBeeps;
    // On-line: the count the time label shows (a pulse counted on this tick shows on the next
    // one), and the pulse gauge.
    int32_t LabelPulseCount = 0;
    int GaugeMax = 0;
    int GaugeProgress = 0;
    // The pulse gauge was full with the hang-up box ticked: the line goes down now.
    bool HangUp = false;
    // A limit was reached: tick the hang-up box and beep. Which one: 0 the connection's, 1 the
    // day's, 2 the month's (the first of them when several are reached at once).
    bool ArmLimit = false;
    int ReachedLimit = 0;
    uint32_t GaugeColor = kGaugeYellow;
    bool ThreeQuarterBeep = false;
    // Off-line after a metered connection: the record to append.
    struct Record {
        TDateTime Date = 0;
        TDateTime Duration = 0;
        int32_t Pulses = 0;
        long double Cost = 0;
    };
    std::optional<Record> Ended;
    // Off-line: the idle clear of the pulse gauge, and the zone-start beep.
    bool ZoneStartBeep = false;
};

// The connection's pulse count, cost and running time. Pulses are counted from the elapsed
// time on the monotonic clock, every boundary k x L passed since the previous tick, so a late
// or skipped tick, a stalled thread, a suspended computer whose link stayed up or a connection
// longer than a day loses no pulse the line was charged. The wall clock picks the zone and the
// date: after a stall each boundary is charged in the zone a tick on time would have found.
class TPulseMeter {
  public:
    struct Inputs {
        TDateTime WallNow = 0;
        int64_t MonotonicMs = 0;
        bool Online = false;
        bool DisconnectChecked = false;  // chkDisconnect as the tick finds it
    };

    TMeterTick Tick(const Inputs& in, const TTariffTable& tariff, const TMeterLimits& limits,
                    const TTotals& totals);

    // The zone tag: 0 idle, else the zone whose length and price apply to the connection.
    int Zone() const { return zone_; }
    // A failed dial ends the connection without logging it.
    void Forget() { zone_ = 0; }
    int32_t PulseCount() const { return pulseCount_; }
    long double CarriedCost() const { return carriedCost_; }
    TDateTime ConnectionTime() const { return connectionTime_; }
    int LimitArmed() const { return limitArmed_; }
    // The pulse gauge as the last tick left it: the window's gImpuls shows it.
    int GaugeProgress() const { return gaugeProgress_; }
    // What the connection has cost so far, carried zones included.
    long double Cost(const TTariffTable& tariff) const;

  private:
    // Counts the pulse boundaries passed between the previous tick and `elapsed` seconds, at
    // `wallSecond` of the day now, and changes the zone where ticks on time would have.
    void CountBoundaries(int64_t elapsed, int wallSecond, const TTariffTable& tariff,
                         TMeterTick& out);

    int zone_ = 0;
    int32_t pulseCount_ = 0;
    int32_t pulsesAtChange_ = 0;
    long double carriedCost_ = 0;
    int64_t startMs_ = 0;
    int64_t lastElapsed_ = 0;  // whole seconds at the previous on-line tick
    TDateTime connectionTime_ = 0;
    int limitArmed_ = 0;
    int gaugeProgress_ = 0;
    uint32_t gaugeColor_ = kGaugeYellow;
};

// Pulse boundaries k x length (k >= 1) with from <= k x length < to: those passed between a
// tick that saw `from` elapsed seconds and one that sees `to`.
int64_t BoundariesPassed(int64_t from, int64_t to, int64_t length);

// The limit gauge and its label for one tick or click.
struct TLimitDisplay {
    bool Valid = false;  // false for a mode outside 0..2: nothing changes
    int MaxValue = 0;
    int Progress = 0;
    std::string_view Hint;  // one of three fixed texts: no copy each second
    uint32_t Color = kLimitBlue;
    std::string Caption;
};
TLimitDisplay LimitDisplay(int limitMode, int countMode, int32_t pulseCount, const TTotals& totals,
                           const TMeterLimits& limits);

}  // namespace tt
