#include "metering/pulse_meter.h"

#include <gtest/gtest.h>

#include <array>

namespace tt {
namespace {

TEST(BoundariesPassed, CountsMultiplesFromTheFirstPulseOn) {
    EXPECT_EQ(BoundariesPassed(0, 31, 30), 1);   // 30
    EXPECT_EQ(BoundariesPassed(30, 31, 30), 1);  // full at 30, counted the second after
    EXPECT_EQ(BoundariesPassed(31, 60, 30), 0);
    EXPECT_EQ(BoundariesPassed(0, 30, 30), 0);
    EXPECT_EQ(BoundariesPassed(0, 0, 30), 0);    // k = 0 is the connection's start
    EXPECT_EQ(BoundariesPassed(29, 95, 30), 3);  // 30, 60, 90 in one late tick
}

}  // namespace
}  // namespace tt

namespace tt {
namespace {

// A meter driven the way the window drives it: the gauge as the previous tick left it.
class MeterRig {
  public:
    TTariffTable tariff;
    TMeterLimits limits;
    TTotals totals;
    TPulseMeter meter;
    bool disconnect = false;
    int progress = 0;
    int max = 100;
    uint32_t color = kGaugeYellow;
    TDateTime wall = EncodeDate(2026, 12, 7) + EncodeTime(12, 0, 0);
    int64_t mono = 1'000'000;

    TMeterTick Step(int64_t ms, bool online = true) {
        mono += ms;
        wall += static_cast<double>(ms) / (86400.0 * 1000);
        TPulseMeter::Inputs in;
        in.WallNow = wall;
        in.MonotonicMs = mono;
        in.Online = online;
        in.DisconnectChecked = disconnect;
        TMeterTick t = meter.Tick(in, tariff, limits, totals);
        if (t.Online) {
            max = t.GaugeMax;
            progress = t.GaugeProgress;
            color = t.GaugeColor;
            if (t.ArmLimit) disconnect = true;
        } else {
            progress = 0;
        }
        return t;
    }
    // A connection started in zone 1 that is in zone 2 from its tenth second on; the seconds
    // from 11 to `last` at which the count went up.
    std::vector<int> CountSecondsAfterZone2From10s(int last) {
        tariff.ZoneStart = {0, 0, 0, 0};
        limits.OODL = 0;
        Step(0);
        Step(10'000);
        tariff.ZoneStart = {0, EncodeTime(23, 59, 59), EncodeTime(0, 0, 1), EncodeTime(23, 59, 58)};
        wall = EncodeDate(2026, 12, 7) + EncodeTime(12, 0, 10);
        return CountSeconds(11, last);
    }
    // Seconds at which the count went up, over ticks one second apart numbered from `first`.
    std::vector<int> CountSeconds(int first, int last) {
        std::vector<int> at;
        for (int s = first; s <= last; ++s) {
            const int32_t before = meter.PulseCount();
            Step(1000);
            if (meter.PulseCount() != before) at.push_back(s);
        }
        return at;
    }
};

TEST(PulseMeter, FirstTickStartsWithOnePulseSetBackByTheDiallingDelay) {
    MeterRig rig;
    rig.limits.OODL = 20;
    const TMeterTick t = rig.Step(0);
    EXPECT_EQ(rig.meter.PulseCount(), 1);
    EXPECT_EQ(rig.meter.Zone(), 1);
    EXPECT_EQ(t.GaugeMax, 180);
    EXPECT_EQ(t.GaugeProgress, 20);
    EXPECT_EQ(SecondOfDay(rig.meter.ConnectionTime()), 20);
    EXPECT_EQ(t.LabelPulseCount, 1);

    // With no delay the first tick is at s = 0: the gauge keeps what idle left.
    MeterRig zero;
    zero.limits.OODL = 0;
    EXPECT_EQ(zero.Step(0).GaugeProgress, 0);
}

TEST(PulseMeter, EverySecondTicksCountTheSecondAfterAFullGauge) {
    MeterRig rig;
    rig.tariff.PulseLength[1] = 30;
    rig.limits.OODL = 0;
    rig.Step(0);
    std::vector<int> gaugeFullAt;
    std::vector<int> countAt;
    for (int s = 1; s <= 61; ++s) {
        const int32_t before = rig.meter.PulseCount();
        const TMeterTick t = rig.Step(1000);
        if (t.GaugeProgress == 30) gaugeFullAt.push_back(s);
        if (rig.meter.PulseCount() != before) countAt.push_back(s);
        // The label shows the count from before this tick.
        EXPECT_EQ(t.LabelPulseCount, before);
    }
    EXPECT_EQ(gaugeFullAt, (std::vector<int>{30, 60}));
    EXPECT_EQ(countAt, (std::vector<int>{31, 61}));
    EXPECT_EQ(rig.meter.PulseCount(), 3);
}

TEST(PulseMeter, ADelayOnAWholeMultipleShowsAFullGaugeAndCountsOnTheNextTick) {
    MeterRig rig;
    rig.tariff.PulseLength[1] = 30;
    rig.limits.OODL = 90;
    EXPECT_EQ(rig.Step(0).GaugeProgress, 30);
    EXPECT_EQ(rig.meter.PulseCount(), 1);
    rig.Step(1000);
    EXPECT_EQ(rig.meter.PulseCount(), 2);
}

TEST(PulseMeter, LateAndSkippedTicksLoseNoPulse) {
    MeterRig rig;
    rig.tariff.PulseLength[1] = 30;
    rig.limits.OODL = 0;
    rig.Step(0);
    rig.Step(29'000);
    EXPECT_EQ(rig.meter.PulseCount(), 1);
    // One tick 100 s later: boundaries 30, 60, 90, 120 all passed.
    rig.Step(100'000);
    EXPECT_EQ(rig.meter.PulseCount(), 5);
    // Skipping exactly the full second still counts that pulse.
    rig.Step(20'000);  // s = 149
    rig.Step(2'000);   // s = 151, 150 never shown
    EXPECT_EQ(rig.meter.PulseCount(), 6);
}

TEST(PulseMeter, AConnectionLongerThanADayCountsThePulseAtTheWrap) {
    MeterRig rig;
    rig.tariff.ZoneStart = {0, 0, 0, 0};  // one zone all day
    rig.tariff.PulseLength[1] = 180;
    rig.limits.OODL = 0;
    rig.Step(0);
    rig.Step(86'399'000);
    EXPECT_EQ(rig.meter.PulseCount(), 480);  // boundaries 180 .. 86220
    const TMeterTick wrap = rig.Step(1000);  // s = 0: the gauge is not moved
    EXPECT_EQ(wrap.GaugeProgress, 179);
    EXPECT_EQ(SecondOfDay(rig.meter.ConnectionTime()), 0);
    rig.Step(1000);
    EXPECT_EQ(rig.meter.PulseCount(), 481);  // the boundary at 86400 is charged too
    EXPECT_EQ(rig.progress, 1);
}

TEST(PulseMeter, ZoneChangeWaitsForTheBoundaryAndCarriesTheOldZonesCost) {
    MeterRig rig;
    rig.tariff.PulseLength = {0, 180, 360, 30};
    rig.tariff.PulsePrice = {0, 0.29L, 0.29L, 0.10L};
    rig.tariff.ZoneStart = {0, EncodeTime(8, 0, 0), EncodeTime(22, 0, 0), EncodeTime(23, 0, 0)};
    rig.limits.OODL = 0;
    rig.wall = EncodeDate(2026, 12, 7) + EncodeTime(21, 50, 0);
    rig.Step(0);
    ASSERT_EQ(rig.meter.Zone(), 1);
    // From 22:00:00 on zone 2 applies, but 600 s is not a pulse boundary.
    rig.tariff.ZoneStart[2] = EncodeTime(22, 0, 0);
    rig.tariff.ZoneStart[3] = EncodeTime(22, 0, 0);
    rig.tariff.PulseLength[2] = 30;
    rig.tariff.PulsePrice[2] = 0.10L;
    for (int s = 1; s <= 720; ++s) rig.Step(1000);
    // Pulses 1..4 in zone 1 (0, 180, 360, 540); the change waits for the boundary at 720.
    EXPECT_EQ(rig.meter.Zone(), 1);
    EXPECT_EQ(rig.meter.PulseCount(), 4);
    const TMeterTick change = rig.Step(1000);
    EXPECT_EQ(change.ZoneBeeps, std::vector<int>{kBeepExclamation});
    EXPECT_EQ(rig.meter.Zone(), 2);
    EXPECT_EQ(rig.meter.PulseCount(), 5);  // the shorter pulse starts at the boundary
    EXPECT_NEAR(static_cast<double>(rig.meter.CarriedCost()), 4 * 0.29, 1e-9);
    for (int s = 0; s < 30; ++s) rig.Step(1000);
    EXPECT_EQ(rig.meter.PulseCount(), 6);
    EXPECT_NEAR(static_cast<double>(rig.meter.Cost(rig.tariff)), 4 * 0.29 + 2 * 0.10, 1e-9);

    const TMeterTick end = rig.Step(1000, false);
    ASSERT_TRUE(end.Ended.has_value());
    EXPECT_EQ(end.Ended->Pulses, 6);
    EXPECT_NEAR(static_cast<double>(end.Ended->Cost), 1.36, 1e-9);
    EXPECT_EQ(rig.meter.Zone(), 0);
    EXPECT_EQ(rig.meter.PulseCount(), 0);
    EXPECT_FALSE(rig.Step(1000, false).Ended.has_value());  // written once
}

TEST(PulseMeter, ALongerPulseAfterTheChangeIsCountedAtItsOwnMultiple) {
    MeterRig rig;
    rig.tariff.PulseLength = {0, 30, 60, 60};
    const std::vector<int> at = rig.CountSecondsAfterZone2From10s(130);
    EXPECT_EQ(rig.meter.Zone(), 2);
    // Changed at 30 (not counted: 30 is short of the new 60), then 60 and 120.
    EXPECT_EQ(at, (std::vector<int>{61, 121}));
}

TEST(PulseMeter, AChangeBetweenEqualPulseLengthsCountsTheNewPulseAtOnce) {
    MeterRig rig;
    rig.tariff.PulseLength = {0, 30, 30, 30};
    rig.tariff.PulsePrice = {0, 0.29L, 0.10L, 0.10L};
    const std::vector<int> at = rig.CountSecondsAfterZone2From10s(61);
    EXPECT_EQ(rig.meter.Zone(), 2);
    EXPECT_EQ(at, (std::vector<int>{31, 61}));  // the pulse that begins at the change counts
    EXPECT_NEAR(static_cast<double>(rig.meter.Cost(rig.tariff)), 0.29 + 2 * 0.10, 1e-9);
}

TEST(PulseMeter, AfterAStallTheCountIsWhatTicksOnTimeWouldHaveCounted) {
    const TDateTime day = EncodeDate(2026, 12, 7);
    const struct {
        const char* what;
        std::array<TDateTime, 4> starts;
        std::array<int32_t, 4> lengths;
        TDateTime begin;  // the connection's first tick
        int stallAt;      // seconds after it
        int stallFor;
    } cases[] = {
        {"night to day",
         {0, EncodeTime(8, 0, 0), EncodeTime(22, 0, 0), 0},
         {0, 30, 360, 360},
         EncodeTime(7, 0, 0),
         1,
         3610},
        {"day to a longer night",
         {0, EncodeTime(8, 0, 0), EncodeTime(22, 0, 0), 0},
         {0, 30, 360, 360},
         EncodeTime(21, 50, 0),
         7,
         2400},
        {"two zones in one stall",
         {0, EncodeTime(8, 0, 0), EncodeTime(20, 0, 0), EncodeTime(21, 0, 0)},
         {0, 180, 60, 90},
         EncodeTime(19, 50, 0),
         100,
         7300},
        {"a suspended day",
         {0, EncodeTime(8, 0, 0), EncodeTime(18, 0, 0), EncodeTime(22, 0, 0)},
         {0, 120, 90, 600},
         EncodeTime(12, 0, 13),
         50,
         31 * 3600 + 17},
        {"to the start second",
         {0, EncodeTime(8, 0, 0), EncodeTime(22, 0, 0), 0},
         {0, 60, 360, 120},
         EncodeTime(7, 50, 0),
         3,
         598},
    };
    for (const auto& c : cases) {
        MeterRig ticks, stall;
        for (MeterRig* rig : {&ticks, &stall}) {
            rig->tariff.ZoneStart = c.starts;
            rig->tariff.PulseLength = c.lengths;
            rig->tariff.PulsePrice = {0, 0.29L, 0.10L, 0.05L};
            rig->limits.OODL = 0;
            rig->wall = day + c.begin;
            rig->Step(0);
            for (int s = 0; s < c.stallAt; ++s) rig->Step(1000);
        }
        for (int s = 0; s < c.stallFor; ++s) ticks.Step(1000);
        stall.Step(int64_t{c.stallFor} * 1000);
        for (int after = 0; after <= 400; after += 400) {
            EXPECT_EQ(stall.meter.PulseCount(), ticks.meter.PulseCount()) << c.what << after;
            EXPECT_EQ(stall.meter.Zone(), ticks.meter.Zone()) << c.what << after;
            EXPECT_EQ(stall.meter.Cost(stall.tariff), ticks.meter.Cost(ticks.tariff)) << c.what;
            for (int s = 0; s < 400; ++s) {
                ticks.Step(1000);
                stall.Step(1000);
            }
        }
    }
}

TEST(PulseMeter, ATotalExactlyAtItsLimitBeforeTheConnectionNeverArms) {
    for (const bool day : {true, false}) {
        MeterRig at;
        at.tariff.PulseLength[1] = 30;
        (day ? at.totals.DayPulses : at.totals.MonthPulses) = 40;
        (day ? at.limits.MAXIMP_D : at.limits.MAXIMP_M) = 40;
        for (int s = 0; s < 100; ++s) EXPECT_FALSE(at.Step(1000).ArmLimit) << day << " " << s;

        MeterRig below;  // one short: the connection's first pulse reaches it
        below.tariff.PulseLength[1] = 30;
        (day ? below.totals.DayPulses : below.totals.MonthPulses) = 39;
        (day ? below.limits.MAXIMP_D : below.limits.MAXIMP_M) = 40;
        EXPECT_TRUE(below.Step(0).ArmLimit) << day;
    }
}

TEST(PulseMeter, LimitsArmOnceOnReachingAndNeverWhenAlreadyPast) {
    MeterRig rig;
    rig.tariff.PulseLength[1] = 30;
    rig.limits.OODL = 0;
    rig.limits.MAXIMP_P = 3;
    rig.Step(0);
    int armedAt = 0;
    bool hangUp = false;
    for (int s = 1; s <= 91 && !hangUp; ++s) {
        const TMeterTick t = rig.Step(1000);
        if (t.ArmLimit) armedAt = s;
        hangUp = t.HangUp;
        if (hangUp) {
            EXPECT_EQ(s, 90);
        }
    }
    EXPECT_EQ(armedAt, 61);  // the tick that counts pulse 3
    EXPECT_TRUE(hangUp);

    // Unticked by the user: not armed again in this connection.
    rig.disconnect = false;
    for (int s = 0; s < 40; ++s) EXPECT_FALSE(rig.Step(1000).ArmLimit);

    MeterRig past;
    past.totals.DayPulses = 50;
    past.limits.MAXIMP_D = 40;
    past.tariff.PulseLength[1] = 30;
    for (int s = 0; s < 200; ++s) EXPECT_FALSE(past.Step(1000).ArmLimit);

    // A late tick that steps over the limit still arms it.
    MeterRig jump;
    jump.tariff.PulseLength[1] = 30;
    jump.limits.OODL = 0;
    jump.limits.MAXIMP_P = 3;
    jump.Step(0);
    EXPECT_TRUE(jump.Step(100'000).ArmLimit);
}

TEST(PulseMeter, GaugeTurnsRedPastThreeQuartersWithOneBeep) {
    MeterRig rig;
    rig.tariff.PulseLength[1] = 30;
    rig.limits.OODL = 0;
    rig.Step(0);
    std::vector<int> beepsAt;
    for (int s = 1; s <= 60; ++s) {
        const TMeterTick t = rig.Step(1000);
        if (t.ThreeQuarterBeep) beepsAt.push_back(s);
        if (s == 22) {
            EXPECT_EQ(t.GaugeColor, kGaugeYellow);
        }
        if (s == 23) {
            EXPECT_EQ(t.GaugeColor, kGaugeRed);
        }
        if (s == 31) {
            EXPECT_EQ(t.GaugeColor, kGaugeYellow);
        }
    }
    EXPECT_EQ(beepsAt, (std::vector<int>{23, 53}));
}

TEST(PulseMeter, IdleBeepsAtAZoneStartOnly) {
    MeterRig rig;
    rig.wall = EncodeDate(2026, 12, 7) + EncodeTime(7, 59, 58);
    EXPECT_FALSE(rig.Step(1000, false).ZoneStartBeep);
    EXPECT_TRUE(rig.Step(1000, false).ZoneStartBeep);  // 08:00:00
    EXPECT_FALSE(rig.Step(1000, false).ZoneStartBeep);
    // While metering no zone-start beep.
    MeterRig on;
    on.wall = EncodeDate(2026, 12, 7) + EncodeTime(7, 59, 58);
    on.Step(1000);
    EXPECT_FALSE(on.Step(1000).ZoneStartBeep);
}

TEST(LimitDisplay, ModesColoursAndCounts) {
    TMeterLimits limits;
    limits.MAXIMP_P = 10;
    limits.MAXIMP_D = 40;
    limits.MAXIMP_M = 100;
    TTotals totals{30, 95};

    TLimitDisplay day = LimitDisplay(1, 0, 5, totals, limits);
    EXPECT_EQ(day.MaxValue, 40);
    EXPECT_EQ(day.Progress, 35);
    EXPECT_EQ(day.Color, kLimitBlue);
    EXPECT_EQ(day.Caption, "Impulsy: 35");
    EXPECT_EQ(day.Hint, "Impulsy dnia (MAXIMP/D)");
    EXPECT_EQ(LimitDisplay(1, 1, 5, totals, limits).Caption, "Impulsy: 5");

    // Exactly at the connection's limit: still blue, none left; one more is over it.
    const TLimitDisplay at = LimitDisplay(0, 1, 10, totals, limits);
    EXPECT_EQ(at.Color, kLimitBlue);
    EXPECT_EQ(at.Progress, 10);
    EXPECT_EQ(at.Caption, "Impulsy: 0");
    EXPECT_EQ(LimitDisplay(0, 1, 11, totals, limits).Color, kGaugeRed);

    TLimitDisplay over = LimitDisplay(0, 1, 12, totals, limits);
    EXPECT_EQ(over.Color, kGaugeRed);
    EXPECT_EQ(over.Caption, "Impulsy: -2");
    EXPECT_EQ(over.Hint, "Impulsy połączenia (MAXIMP/P)");

    EXPECT_EQ(LimitDisplay(2, 0, 5, totals, limits).Color, kLimitMaroon);
    EXPECT_EQ(LimitDisplay(2, 0, 6, totals, limits).Color, kLimitBlue);
    EXPECT_EQ(LimitDisplay(2, 0, 5, totals, limits).Hint, "Impulsy miesiaca (MAXIMP/M)");
    EXPECT_FALSE(LimitDisplay(3, 0, 5, totals, limits).Valid);
}

}  // namespace
}  // namespace tt
