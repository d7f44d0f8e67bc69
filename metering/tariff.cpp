#include "metering/tariff.h"

#include <algorithm>

namespace tt {

int ZoneOfTime(const TTariffTable& table, TDateTime timeOfDay) {
    return ZoneOfSecond(table, SecondOfDay(timeOfDay));
}

// The last answer is kept with the starts it was worked out from.
const std::array<int, 4>& ZoneStartSeconds(const TTariffTable& table) {
    struct Last {
        std::array<TDateTime, 4> starts{};
        std::array<int, 4> seconds{};
        bool known = false;
    };
    thread_local Last last;
    if (!last.known || last.starts != table.ZoneStart) {
        last.starts = table.ZoneStart;
        for (size_t zone = 1; zone <= 3; ++zone)
            last.seconds[zone] = SecondOfDay(table.ZoneStart[zone]);
        last.known = true;
    }
    return last.seconds;
}

int ZoneOfSecond(const TTariffTable& table, int t) {
    const std::array<int, 4>& starts = ZoneStartSeconds(table);
    const int s1 = starts[1];
    const int s2 = starts[2];
    const int s3 = starts[3];
    int zone = 3;
    if (s1 < t && t < s2)
        zone = 1;
    else if (s2 < t && t < s3)
        zone = 2;
    if (s2 == s3 && zone == 3) zone = 2;
    if (s1 == s2 && s2 == s3) zone = 1;
    return zone;
}

int SecondsZoneHolds(const TTariffTable& table, int second) {
    // The zone is decided by comparisons with the three starts: it is the same over each open
    // stretch between them, and each start second is a stretch of its own.
    int next = kSecondsPerDay;
    const std::array<int, 4>& starts = ZoneStartSeconds(table);
    for (size_t zone = 1; zone <= 3; ++zone) {
        const int start = starts[zone];
        if (start == second) return 1;
        if (start > second) next = std::min(next, start);
    }
    return next - second;
}

void ReadTariffTable(const TSettings& settings, const FormatSettings& fs, TTariffTable& table) {
    const IntegerKey* lengths[] = {&keys::IMPULS1, &keys::IMPULS2, &keys::IMPULS3};
    const TimeKey* starts[] = {&keys::S1_Start, &keys::S2_Start, &keys::S3_Start};
    const PriceKey* prices[] = {&keys::CENA1, &keys::CENA2, &keys::CENA3};
    for (int zone = 1; zone <= 3; ++zone) {
        table.PulseLength[zone] = ReadClamped(settings, *lengths[zone - 1]);
        table.ZoneStart[zone] = Read(settings, *starts[zone - 1], fs);
        table.PulsePrice[zone] = Read(settings, *prices[zone - 1], fs);
    }
}

}  // namespace tt
