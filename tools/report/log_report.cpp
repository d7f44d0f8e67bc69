#include "tools/report/log_report.h"

#include <cstdio>

namespace tt {

RecordReader::RecordReader(const FormatSettings& fs)
    : fs_(fs), dates_(fs.ShortDateFormat, fs), times_(fs.LongTimeFormat, fs) {}

bool RecordReader::ReadDuration(std::string_view text, int32_t& seconds) const {
    PatternReader::Fields f;
    if (times_.Read(text, f) && f.Hour >= 0 && f.Minute >= 0) {
        int h = f.Hour;
        if (f.AmPm != 0) {
            if (h < 1 || h > 12) return false;
            h = h % 12 + (f.AmPm == 2 ? 12 : 0);
        }
        const int s = f.Second < 0 ? 0 : f.Second;
        if (h > 23 || f.Minute > 59 || s > 59) return false;
        seconds = h * 3600 + f.Minute * 60 + s;
        return true;
    }
    // Times written with the separator but another layout of fields.
    TDateTime value = 0;
    if (!TryStrToTime(text, fs_, value)) return false;
    seconds = SecondOfDay(value);
    return true;
}

namespace {

// No sign, no separators: what the log writes.
bool ReadPulses(std::string_view text, int32_t& out) {
    if (text.empty() || text.size() > 9) {
        int32_t v = 0;
        if (!TryDecimalToInt(text, v) || v < 0 || text[0] == '+' || text[0] == '-') return false;
        out = v;
        return true;
    }
    int32_t v = 0;
    for (const char c : text) {
        const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
        if (digit > 9) return false;
        v = v * 10 + static_cast<int32_t>(digit);
    }
    out = v;
    return true;
}

}  // namespace

const char* RecordReader::Read(std::string_view line, LogRecord& out) {
    if (line.empty()) return "an empty line";
    const size_t tab0 = line.find('\t');
    const size_t tab1 = tab0 == std::string_view::npos ? tab0 : line.find('\t', tab0 + 1);
    const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos || tab2 + 1 == line.size()) return "fewer than four fields";
    const std::string_view date = line.substr(0, tab0);
    if (!haveLast_ || date != lastDate_) {
        DateParts parts;
        if (!dates_.ReadDate(date, parts)) return "the date is not in the short date format";
        lastDate_.assign(date);
        lastParts_ = parts;
        haveLast_ = true;
    }
    const size_t tab3 = line.find('\t', tab2 + 1);
    const std::string_view duration = line.substr(tab0 + 1, tab1 - tab0 - 1);
    const std::string_view pulses = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string_view cost = line.substr(
        tab2 + 1, tab3 == std::string_view::npos ? std::string_view::npos : tab3 - tab2 - 1);
    if (!ReadDuration(duration, out.Seconds)) return "the duration is not a time";
    if (!ReadPulses(pulses, out.Pulses)) return "the pulses are not a whole number";
    const std::optional<Money> money = Money::Parse(cost, fs_.DecimalSeparator);
    if (!money) return "the cost is not a number";
    out.Cost = *money;
    out.Date = lastParts_;
    return nullptr;
}

UnreadLine MakeUnreadLine(size_t number, const char* why, std::string_view line) {
    constexpr size_t kShown = 60;
    UnreadLine u{number, why, std::string(line.substr(0, kShown))};
    if (line.size() > kShown) u.Text += "...";
    return u;
}

void DailyTotals::OnLines(const LogLineBatch& lines) {
    for (size_t i = 0; i < lines.size(); ++i) Add(lines[i]);
}

void DailyTotals::Add(std::string_view line) {
    ++lineCount_;
    LogRecord record;
    if (const char* why = reader_.Read(line, record)) {
        unread_.push_back(MakeUnreadLine(lineCount_, why, line));
        return;
    }
    const int key = DayKey(record.Date);
    if (last_ == nullptr || key != lastKey_) {
        last_ = &days_[key];
        lastKey_ = key;
    }
    DayTotals& day = *last_;
    if (!day.Cost.Add(record.Cost)) {
        unread_.push_back(MakeUnreadLine(lineCount_, "the cost makes the sum too large", line));
        return;
    }
    ++day.Connections;
    day.Seconds += record.Seconds;
    day.Pulses += record.Pulses;
}

bool AddTotals(DayTotals& sum, const DayTotals& day) {
    if (!sum.Cost.Add(day.Cost)) return false;
    sum.Connections += day.Connections;
    sum.Seconds += day.Seconds;
    sum.Pulses += day.Pulses;
    return true;
}

namespace {

std::string PeriodText(int dayKey, Period by) {
    const DateParts d = DayFromKey(dayKey);
    char text[16];
    switch (by) {
        case Period::Day:
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
            break;
        case Period::Month:
            std::snprintf(text, sizeof text, "%04d-%02d", d.Year, d.Month);
            break;
        case Period::Year:
            std::snprintf(text, sizeof text, "%04d", d.Year);
            break;
    }
    return text;
}

int PeriodKey(int dayKey, Period by) {
    return by == Period::Day ? dayKey : by == Period::Month ? dayKey / 100 : dayKey / 10000;
}

}  // namespace

bool Summarize(const std::map<int, DayTotals>& days, Period by, DayRange range,
               std::vector<PeriodRow>& rows) {
    rows.clear();
    int current = -1;
    for (auto it = days.lower_bound(range.First); it != days.end() && it->first <= range.Last;
         ++it) {
        const int key = PeriodKey(it->first, by);
        if (rows.empty() || key != current) {
            rows.push_back(PeriodRow{PeriodText(it->first, by), {}});
            current = key;
        }
        if (!AddTotals(rows.back().Totals, it->second)) return false;
    }
    return true;
}

Forecast MakeForecast(const std::map<int, DayTotals>& days, int year, int month,
                      const DateParts& today, int32_t monthLimit) {
    Forecast f;
    f.Year = year;
    f.Month = month;
    f.DaysInMonth = DaysInMonth(year, month);
    const int monthKey = year * 100 + month;
    const int todayMonth = today.Year * 100 + today.Month;
    f.DaysElapsed = monthKey < todayMonth ? f.DaysInMonth : monthKey == todayMonth ? today.Day : 0;
    f.Limit = monthLimit;

    const int first = monthKey * 100 + 1;
    const int last = monthKey * 100 + 31;
    int reachedOn = 0;
    for (auto it = days.lower_bound(first); it != days.end() && it->first <= last; ++it) {
        f.Pulses += it->second.Pulses;
        f.Connections += it->second.Connections;
        f.Cost.Add(it->second.Cost);
        if (reachedOn == 0 && f.Pulses >= monthLimit) reachedOn = it->first % 100;
    }
    if (f.DaysElapsed > 0) {
        f.ProjectedPulses = DivideRounded(f.Pulses * f.DaysInMonth, f.DaysElapsed);
        f.ProjectedCents = DivideRounded(f.Cost.Cents() * f.DaysInMonth, f.DaysElapsed);
    }
    f.PulsesLeft = monthLimit - f.Pulses;
    if (f.Pulses >= monthLimit) {
        f.LimitAlreadyReached = true;
        // A limit of 0 is reached before anything is used.
        f.LimitDay = reachedOn != 0 ? reachedOn : 1;
    } else if (f.Pulses > 0 && f.DaysElapsed > 0) {
        // At p pulses a day the month holds p * d pulses after day d.
        const int64_t day = (int64_t{monthLimit} * f.DaysElapsed + f.Pulses - 1) / f.Pulses;
        if (day <= f.DaysInMonth) f.LimitDay = static_cast<int>(day);
    }
    return f;
}

std::vector<int64_t> PulsesByDay(const std::map<int, DayTotals>& days, int year, int month) {
    std::vector<int64_t> pulses(static_cast<size_t>(DaysInMonth(year, month)), 0);
    const int first = (year * 100 + month) * 100 + 1;
    for (auto it = days.lower_bound(first); it != days.end() && it->first < first + 31; ++it) {
        const int day = it->first % 100;
        if (day >= 1 && day <= static_cast<int>(pulses.size())) pulses[day - 1] = it->second.Pulses;
    }
    return pulses;
}

std::string HoursMinutesSeconds(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

}  // namespace tt
