#include "metering/tariff.h"

namespace tt {

int ZoneOfTime(const TTariffTable& table, TDateTime timeOfDay) {
    const int t = SecondOfDay(timeOfDay);
    const int s1 = SecondOfDay(table.ZoneStart[1]);
    const int s2 = SecondOfDay(table.ZoneStart[2]);
    const int s3 = SecondOfDay(table.ZoneStart[3]);
    int zone = 3;
    if (s1 < t && t < s2)
        zone = 1;
    else if (s2 < t && t < s3)
        zone = 2;
    if (s2 == s3 && zone == 3) zone = 2;
    if (s1 == s2 && s2 == s3) zone = 1;
    return zone;
}

}  // namespace tt
