#pragma once
#include <cstdint>
#include <string>

#include "base/format.h"
#include "log/log_file.h"

namespace tt {

struct TTotals {
    int32_t DayPulses = 0;
    int32_t MonthPulses = 0;
};

// Counts the totals line by line; ComputeTotals runs it over LogLines, and LoadLog can run it
// while it reads the file.
class TotalsCounter : public LogLineSink {
public:
    TotalsCounter(TDateTime today, const FormatSettings& fs);
    void OnLine(std::string_view line) override;
    TTotals Result() const;

private:
    std::string todayText_;
    int month_;
    PatternReader dates_;
    int64_t day_ = 0;
    int64_t monthSum_ = 0;
    // Lines of one day follow each other, so the last date's answer is usually the next one's.
    std::string lastDate_;
    bool lastInMonth_ = false;
    bool haveLast_ = false;
};

// The pulses of the log's lines of `today` (field 0 equal to today's short date text) and of
// its month number in any year (field 0 parsed as a short date). Lines without a readable date
// or pulse count are passed over; sums too big for the counters stop at the largest value.
TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs);

}  // namespace tt
