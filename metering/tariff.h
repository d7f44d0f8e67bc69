#pragma once
#include <array>
#include <cstdint>

#include "base/datetime.h"
#include "settings/settings.h"

namespace tt {

// The three tariff zones, looked up by zone number 1..3 (slot 0 is unused: zone 0 means that
// nothing is being metered and is never looked up).
struct TTariffTable {
    std::array<TDateTime, 4> ZoneStart{0.0, 8.0 / 24, 22.0 / 24, 0.0};  // fraction of a day
    std::array<int32_t, 4> PulseLength{0, 180, 360, 360};               // seconds
    std::array<long double, 4> PulsePrice{0, 0.29L, 0.29L, 0.29L};
};

// The second of the day on which each zone starts (index 1..3; 0 unused). Worked out once for
// a table asked again and again (every second on-line); valid until the next call on the thread.
const std::array<int, 4>& ZoneStartSeconds(const TTariffTable& table);

// The zone of a time of day: 1 strictly between the starts of zones 1 and 2, 2 strictly
// between those of zones 2 and 3, else 3. The day does not wrap at midnight. When zones 2 and
// 3 start together, 2 takes 3's time; when all three do, the whole day is 1. Compared in whole
// seconds, so a value a hair off a start second still counts as that second.
int ZoneOfTime(const TTariffTable& table, TDateTime timeOfDay);
// The same for a second of the day, 0..86399.
int ZoneOfSecond(const TTariffTable& table, int t);
// How many seconds from `secondOfDay` on ZoneOfSecond is sure to answer the same: up to the
// next start second, or to midnight (at least 1).
int SecondsZoneHolds(const TTariffTable& table, int secondOfDay);

// All nine values of the tariff from the settings file.
void ReadTariffTable(const TSettings& settings, const FormatSettings& fs, TTariffTable& table);

}  // namespace tt
