#pragma once
#include <cstdint>

#include "base/format.h"
#include "log/log_file.h"

namespace tt {

struct TTotals {
    int32_t DayPulses = 0;
    int32_t MonthPulses = 0;
};

// The pulses of the log's lines of `today` (field 0 equal to today's short date text) and of
// its month number in any year (field 0 parsed as a short date). Lines without a readable date
// or pulse count are passed over; sums too big for the counters stop at the largest value.
TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs);

}  // namespace tt
