#include "metering/tariff.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

TDateTime T(int h, int m, int s) {
    return EncodeTime(h, m, s);
}

TTariffTable Starts(TDateTime s1, TDateTime s2, TDateTime s3) {
    TTariffTable table;
    table.ZoneStart = {0, s1, s2, s3};
    return table;
}

struct Case {
    TDateTime time;
    int zone;
};

void ExpectZones(const TTariffTable& table, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const TimeParts p = DecodeTime(c.time);
        EXPECT_EQ(ZoneOfTime(table, c.time), c.zone)
            << p.Hour << ":" << p.Minute << ":" << p.Second;
    }
}

TEST(ZoneOfTime, DefaultStartsNeverChooseZoneTwo) {
    ExpectZones(TTariffTable{}, {{T(7, 59, 59), 3},
                                 {T(8, 0, 0), 3},
                                 {T(8, 0, 1), 1},
                                 {T(21, 59, 59), 1},
                                 {T(22, 0, 0), 3},
                                 {T(23, 30, 0), 3},
                                 {T(0, 0, 0), 3},
                                 {T(23, 59, 59), 3}});
}

TEST(ZoneOfTime, ThreeOrderedZonesExcludeTheirStartSeconds) {
    ExpectZones(Starts(T(8, 0, 0), T(18, 0, 0), T(22, 0, 0)), {{T(12, 0, 0), 1},
                                                               {T(18, 0, 0), 3},
                                                               {T(18, 0, 1), 2},
                                                               {T(21, 59, 59), 2},
                                                               {T(22, 0, 0), 3},
                                                               {T(3, 0, 0), 3},
                                                               {T(8, 0, 0), 3}});
}

TEST(ZoneOfTime, EqualStartsMergeZones) {
    ExpectZones(
        Starts(T(8, 0, 0), T(18, 0, 0), T(18, 0, 0)),
        {{T(12, 0, 0), 1}, {T(20, 0, 0), 2}, {T(8, 0, 0), 2}, {T(18, 0, 0), 2}, {T(3, 0, 0), 2}});
    for (const TDateTime s : {T(0, 0, 0), T(10, 0, 0), T(23, 59, 59)}) {
        ExpectZones(Starts(s, s, s),
                    {{T(0, 0, 0), 1}, {s, 1}, {T(12, 0, 0), 1}, {T(23, 59, 59), 1}});
    }
    // Equal first two starts have no rule of their own.
    ExpectZones(Starts(T(10, 0, 0), T(10, 0, 0), T(20, 0, 0)),
                {{T(10, 0, 0), 3}, {T(15, 0, 0), 2}, {T(20, 0, 0), 3}, {T(9, 0, 0), 3}});
}

TEST(ZoneOfTime, ComparesWholeSecondsOnly) {
    const TTariffTable table;
    // Clock values carry milliseconds and rounding noise; the second is what counts.
    EXPECT_EQ(ZoneOfTime(table, T(8, 0, 0) + 0.4 / kSecondsPerDay), 3);
    EXPECT_EQ(ZoneOfTime(table, T(8, 0, 1) - 1e-12), 1);
    EXPECT_EQ(ZoneOfTime(table, EncodeDate(2000, 1, 1) + T(12, 0, 0)), 1);
}

}  // namespace
}  // namespace tt
