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
    void OnLines(const LogLineBatch& lines) override;
    TTotals Result() const;

  private:
    void Count(std::string_view line, int64_t& day, int64_t& month);
    bool SameDateAsLast(std::string_view line) const;
    void NewDate(std::string_view date);

    DateParts today_;
    PatternReader dates_;
    int64_t day_ = 0;
    int64_t monthSum_ = 0;
    std::string lastDate_;
    bool lastIsToday_ = false;
    bool lastInMonth_ = false;
    bool haveLast_ = false;
    bool lastWords_ = false;
    uint64_t lastHead_ = 0;
    uint64_t lastTail_ = 0;
};

// The pulses of the log's lines of `today` and of its month (field 0 read as a short date and
// compared whole: year, month and, for the day, the day). Lines without a readable date or
// pulse count are passed over; sums too big for the counters stop at the largest value.
TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs);

}  // namespace tt
