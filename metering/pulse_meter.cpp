#include "metering/pulse_meter.h"

#include <algorithm>

namespace tt {

namespace {

constexpr int64_t kMsPerDay = int64_t{kSecondsPerDay} * 1000;

int64_t CeilDiv(int64_t a, int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// The count reached the limit on this tick: equal to it now, or stepped over it because
// several boundaries passed at once. A total already past the limit before the tick never
// counts, so the box is not armed for a limit that was spent before the connection began.
bool Reached(int64_t limit, int64_t base, int64_t before, int64_t now) {
    return base + now == limit || (base + before < limit && limit < base + now);
}

}  // namespace

int64_t BoundariesPassed(int64_t from, int64_t to, int64_t length) {
    if (length <= 0 || to <= from) return 0;
    const int64_t first = std::max<int64_t>(1, CeilDiv(from, length));  // k >= 1
    const int64_t last = CeilDiv(to, length) - 1;                       // k x length < to
    return last >= first ? last - first + 1 : 0;
}

long double TPulseMeter::Cost(const TTariffTable& tariff) const {
    if (zone_ < 1 || zone_ > 3) return carriedCost_;
    return carriedCost_ + static_cast<long double>(pulseCount_ - pulsesAtChange_) *
                              tariff.PulsePrice[static_cast<size_t>(zone_)];
}

void TPulseMeter::CountBoundaries(int64_t elapsed, int wallSecond, const TTariffTable& tariff,
                                  TMeterTick& out) {
    const auto length = [&](int zone) {
        return static_cast<int64_t>(tariff.PulseLength[static_cast<size_t>(zone)]);
    };
    // The wall second at which a tick on time would have met an elapsed second, counted back
    // from this tick's.
    const auto wallAt = [&](int64_t e) {
        const int64_t w = (wallSecond - (elapsed - e)) % kSecondsPerDay;
        return static_cast<int>(w < 0 ? w + kSecondsPerDay : w);
    };
    const auto narrow = [](int64_t v) {
        return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
    };
    int64_t counted = pulseCount_;
    int64_t from = lastElapsed_;
    for (;;) {
        const int64_t l = length(zone_);
        const int64_t boundary = std::max<int64_t>(1, CeilDiv(from, l)) * l;
        if (boundary >= elapsed) break;
        // The tick after a full gauge decides the zone of the pulse that starts there.
        const int second = wallAt(boundary + 1);
        const int z = ZoneOfSecond(tariff, second);
        if (z == zone_) {
            // Every boundary while the zone holds is this zone's, however long the stall.
            const int64_t until =
                std::min<int64_t>(elapsed, boundary + SecondsZoneHolds(tariff, second));
            counted += BoundariesPassed(boundary, until, l);
            from = until;
            continue;
        }
        // Pulses before the boundary are the old zone's, the pulse that starts there the new
        // zone's.
        if (out.ZoneBeeps.empty()) out.ZoneBeeps.push_back(kBeepExclamation);
        pulseCount_ = narrow(counted);
        carriedCost_ += static_cast<long double>(pulseCount_ - pulsesAtChange_) *
                        tariff.PulsePrice[static_cast<size_t>(zone_)];
        pulsesAtChange_ = pulseCount_;
        zone_ = z;
        // A longer pulse has not filled the gauge at the boundary: its first pulse is the next
        // multiple of the new length.
        if (length(zone_) <= l) ++counted;
        from = boundary + 1;
    }
    pulseCount_ = narrow(counted);
}

TMeterTick TPulseMeter::Tick(const Inputs& in, const TTariffTable& tariff,
                             const TMeterLimits& limits, const TTotals& totals) {
    TMeterTick out;
    const int t = SecondOfDay(in.WallNow);
    const int z = ZoneOfSecond(tariff, t);
    out.Online = in.Online;

    if (!in.Online) {
        if (zone_ != 0) {
            out.Ended = TMeterTick::Record{in.WallNow, connectionTime_, pulseCount_, Cost(tariff)};
        } else {
            const std::array<int, 4>& starts = ZoneStartSeconds(tariff);
            for (size_t i = 1; i <= 3; ++i) {
                if (starts[i] == t) out.ZoneStartBeep = true;
            }
        }
        pulseCount_ = 0;
        pulsesAtChange_ = 0;
        zone_ = 0;
        carriedCost_ = 0;
        limitArmed_ = 0;
        gaugeProgress_ = 0;
        return out;
    }

    const auto length = [&](int zone) {
        return static_cast<int64_t>(tariff.PulseLength[static_cast<size_t>(zone)]);
    };
    const int32_t before = zone_ == 0 ? 0 : pulseCount_;
    int64_t elapsed = 0;
    if (zone_ == 0) {
        zone_ = z;
        startMs_ = in.MonotonicMs - int64_t{limits.OODL} * 1000;
        pulseCount_ = 1;
        pulsesAtChange_ = 0;
        carriedCost_ = 0;
        limitArmed_ = 0;
        elapsed = (in.MonotonicMs - startMs_) / 1000;
    } else {
        elapsed = std::max<int64_t>(lastElapsed_, (in.MonotonicMs - startMs_) / 1000);
        CountBoundaries(elapsed, t, tariff, out);
    }
    lastElapsed_ = elapsed;
    out.LabelPulseCount = before == 0 ? 1 : before;

    const int64_t ms = in.MonotonicMs - startMs_;
    connectionTime_ = static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
    const int64_t s = elapsed % kSecondsPerDay;

    const int l = static_cast<int>(length(zone_));
    out.GaugeMax = l;
    int progress = std::clamp(gaugeProgress_, 0, std::max(0, l));
    if (s != 0) {
        const int r = static_cast<int>(s % l);
        progress = r != 0 ? r : l;
    }
    out.GaugeProgress = progress;
    gaugeProgress_ = progress;

    out.HangUp = in.DisconnectChecked && progress == l;

    if (limitArmed_ == 0) {
        const bool reached[] = {Reached(limits.MAXIMP_P, 0, before, pulseCount_),
                                Reached(limits.MAXIMP_D, totals.DayPulses, before, pulseCount_),
                                Reached(limits.MAXIMP_M, totals.MonthPulses, before, pulseCount_)};
        for (int i = 0; i < 3 && !out.ArmLimit; ++i) {
            if (!reached[i]) continue;
            out.ArmLimit = true;
            out.ReachedLimit = i;
            limitArmed_ = 1;
        }
    }

    if (static_cast<double>(l) * 0.75 >= progress) {
        out.GaugeColor = kGaugeYellow;
    } else {
        out.ThreeQuarterBeep = gaugeColor_ == kGaugeYellow;
        out.GaugeColor = kGaugeRed;
    }
    gaugeColor_ = out.GaugeColor;
    return out;
}

TLimitDisplay LimitDisplay(int limitMode, int countMode, int32_t pulseCount, const TTotals& totals,
                           const TMeterLimits& limits) {
    TLimitDisplay d;
    const int64_t p = pulseCount;
    int64_t used = 0;
    int64_t limit = 0;
    switch (limitMode) {
        case 0:
            limit = limits.MAXIMP_P;
            used = p;
            d.Hint = "Impulsy połączenia (MAXIMP/P)";
            d.Color = used > limit ? kGaugeRed : kLimitBlue;
            break;
        case 1:
            limit = limits.MAXIMP_D;
            used = totals.DayPulses + p;
            d.Hint = "Impulsy dnia (MAXIMP/D)";
            d.Color = used > limit ? kGaugeRed : kLimitBlue;
            break;
        case 2:
            limit = limits.MAXIMP_M;
            used = totals.MonthPulses + p;
            d.Hint = "Impulsy miesiaca (MAXIMP/M)";
            d.Color = used == limit ? kLimitMaroon : kLimitBlue;
            break;
        default:
            return d;
    }
    d.Valid = true;
    const auto narrow = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    d.MaxValue = narrow(limit);
    d.Progress = narrow(used);
    d.Caption = "Impulsy: " + std::to_string(countMode == 1 ? limit - used : used);
    return d;
}

}  // namespace tt
