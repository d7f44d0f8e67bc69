#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/format.h"
#include "log/log_file.h"
#include "tools/report/money.h"

namespace tt {

// One line of the log with every field read.
struct LogRecord {
    DateParts Date;
    int32_t Seconds = 0;  // the duration as the log keeps it: within one day
    int32_t Pulses = 0;
    Money Cost;
};

// Reads record lines in the user's formats. Lines of one day follow each other, so the last
// date read is remembered.
class RecordReader {
  public:
    explicit RecordReader(const FormatSettings& fs);
    // Nullptr when the line is a record, else why it is not, in a few words.
    const char* Read(std::string_view line, LogRecord& out);
    // The same without the shortcut for the usual line; the tests hold the two together.
    const char* ReadFieldByField(std::string_view line, LogRecord& out);

  private:
    bool ReadDuration(std::string_view text, int32_t& seconds) const;
    bool ReadFixedTime(std::string_view text, int32_t& seconds) const;
    // The usual line in one pass: the date of the line before, a duration in the fixed
    // layout, plain digits and a plain decimal. False for anything else, which Read then
    // takes apart field by field.
    bool ReadUsual(std::string_view line, LogRecord& out) const;

    // When durations are written in the same width (hh:nn:ss, not h:nn:ss), where their hour,
    // minute and second digits stand; durations are read there directly, anything else (a
    // time of day with AM/PM from an older log, too) the long way.
    std::string fixedTime_;  // 11:22:33 as a duration is written, empty when not fixed
    size_t hourAt_ = 0, minuteAt_ = 0, secondAt_ = 0;
    std::vector<size_t> timeLiterals_;  // where the rest of fixedTime_ stands
    // For a layout of eight bytes (hh:nn:ss), its literal bytes as one word and their mask.
    uint64_t timeWord_ = 0;
    uint64_t timeMask_ = 0;

    FormatSettings fs_;
    PatternReader dates_;
    PatternReader times_;
    std::string lastDate_;
    DateParts lastParts_;
    bool haveLast_ = false;
    // Dates of 8 to 16 bytes (every short date pattern in use) are compared as two
    // overlapping words, without a call.
    bool lastWords_ = false;
    uint64_t lastHead_ = 0;
    uint64_t lastTail_ = 0;
};

// A line the report could not read, by its number in the file (from 1).
struct UnreadLine {
    size_t Number = 0;
    const char* Why = "";
    std::string Text;  // the start of the line
};

// What one day's records add up to.
struct DayTotals {
    int64_t Connections = 0;
    int64_t Seconds = 0;
    int64_t Pulses = 0;
    Money Cost;
};

// A day as one number, 20261207: ordered as the days are.
inline int DayKey(const DateParts& d) {
    return d.Year * 10000 + d.Month * 100 + d.Day;
}
inline DateParts DayFromKey(int key) {
    return DateParts{key / 10000, key / 100 % 100, key % 100};
}

// Adds up the log's records day by day as the log is loaded, and keeps the lines it could
// not read.
class DailyTotals : public LogLineSink {
  public:
    explicit DailyTotals(const FormatSettings& fs) : reader_(fs) {}
    void OnLines(const LogLineBatch& lines) override;
    // For a log already in memory.
    void AddAll(const TLogLines& lines) { OnLines(lines.From(0)); }

    const std::map<int, DayTotals>& Days() const { return days_; }
    const std::vector<UnreadLine>& Unread() const { return unread_; }
    size_t LineCount() const { return lineCount_; }

  private:
    void Add(std::string_view line);

    RecordReader reader_;
    std::map<int, DayTotals> days_;
    DayTotals* last_ = nullptr;
    int lastKey_ = 0;
    size_t lineCount_ = 0;
    std::vector<UnreadLine> unread_;
};

UnreadLine MakeUnreadLine(size_t number, const char* why, std::string_view line);

enum class Period { Day, Month, Year };

// A stretch of days, both ends included, as DayKey numbers.
struct DayRange {
    int First = 0;
    int Last = 99999999;
};

struct PeriodRow {
    std::string Period;  // 2026-12-07, 2026-12 or 2026
    DayTotals Totals;
};

// The days of `range` gathered by `by`, earliest first. False when a cost sum would not fit.
bool Summarize(const std::map<int, DayTotals>& days, Period by, DayRange range,
               std::vector<PeriodRow>& rows);
// Adds `day` into `sum`; false when the cost would not fit.
bool AddTotals(DayTotals& sum, const DayTotals& day);

// The month so far, at its pace, against the month's limit.
struct Forecast {
    int Year = 0;
    int Month = 0;
    int DaysInMonth = 0;
    int DaysElapsed = 0;  // today included; all of them for a past month, 0 for a future one
    int64_t Pulses = 0;
    int64_t Connections = 0;
    Money Cost;
    int64_t ProjectedPulses = 0;  // at the pace so far, to the month's last day
    int64_t ProjectedCents = 0;
    int32_t Limit = 0;       // MAXIMP_M
    int64_t PulsesLeft = 0;  // negative past the limit
    // The day of the month on which the month's pulses reach the limit: the day it happened
    // when they already have, else the day the pace gets there; 0 when it will not this month.
    int LimitDay = 0;
    bool LimitAlreadyReached = false;
};

Forecast MakeForecast(const std::map<int, DayTotals>& days, int year, int month,
                      const DateParts& today, int32_t monthLimit);

// Pulses of each day of the month, index 0 the 1st.
std::vector<int64_t> PulsesByDay(const std::map<int, DayTotals>& days, int year, int month);

// "12:04:05" for any number of seconds, hours without a bound.
std::string HoursMinutesSeconds(int64_t seconds);

}  // namespace tt
