#include "tools/report/log_report.h"

#include <cstdio>
#include <cstring>

namespace tt {

RecordReader::RecordReader(const FormatSettings& fs)
    : fs_(fs), dates_(fs.ShortDateFormat, fs), times_(fs.LongTimeFormat, fs) {
    // The same digits in the same places for a duration of one-digit fields and one of two-digit
    // fields past noon: the log writes durations in a fixed layout.
    const std::string sample = DurationToStr(EncodeTime(11, 22, 33), fs);
    const std::string small = DurationToStr(EncodeTime(1, 2, 3), fs);
    const std::string evening = DurationToStr(EncodeTime(23, 22, 33), fs);
    const size_t h = sample.find("11"), m = sample.find("22"), s = sample.find("33");
    bool fixed = sample.size() == small.size() && sample.size() == evening.size() &&
                 h != std::string::npos && m != std::string::npos && s != std::string::npos &&
                 small.compare(h, 2, "01") == 0 && small.compare(m, 2, "02") == 0 &&
                 small.compare(s, 2, "03") == 0 && evening.compare(h, 2, "23") == 0;
    for (size_t i = 0; fixed && i < sample.size(); ++i) {
        const bool digit = i - h < 2 || i - m < 2 || i - s < 2;
        fixed = digit ? sample[i] >= '0' && sample[i] <= '9'
                      : sample[i] == small[i] && sample[i] == evening[i];
    }
    if (fixed) {
        fixedTime_ = sample;
        hourAt_ = h;
        minuteAt_ = m;
        secondAt_ = s;
        for (size_t i = 0; i < sample.size(); ++i) {
            if (i - h >= 2 && i - m >= 2 && i - s >= 2) timeLiterals_.push_back(i);
        }
        if (sample.size() == 8) {
            unsigned char mask[8] = {};
            for (const size_t at : timeLiterals_) mask[at] = 0xFF;
            std::memcpy(&timeMask_, mask, 8);
            std::memcpy(&timeWord_, sample.data(), 8);
            timeWord_ &= timeMask_;
        }
    }
}

namespace {

uint64_t Word(const char* p) {
    uint64_t w = 0;
    std::memcpy(&w, p, 8);
    return w;
}

int TwoDigits(std::string_view text, size_t at) {
    const unsigned tens = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    const unsigned ones = static_cast<unsigned char>(text[at + 1]) - unsigned{'0'};
    return tens > 9 || ones > 9 ? -1 : static_cast<int>(tens * 10 + ones);
}

}  // namespace

bool RecordReader::ReadFixedTime(std::string_view text, int32_t& seconds) const {
    if (fixedTime_.empty() || text.size() != fixedTime_.size()) return false;
    const int h = TwoDigits(text, hourAt_);
    const int m = TwoDigits(text, minuteAt_);
    const int s = TwoDigits(text, secondAt_);
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
    if (text.size() == 8) {
        uint64_t word = 0;
        std::memcpy(&word, text.data(), 8);
        if ((word & timeMask_) != timeWord_) return false;
    } else {
        for (const size_t at : timeLiterals_) {
            if (text[at] != fixedTime_[at]) return false;
        }
    }
    seconds = h * 3600 + m * 60 + s;
    return true;
}

bool RecordReader::ReadDuration(std::string_view text, int32_t& seconds) const {
    if (ReadFixedTime(text, seconds)) return true;
    // Logs of a 12-hour locale held durations as times of day: "12:10:00 AM" is ten minutes.
    TimeParts t;
    if (times_.ReadTime(text, t)) {
        seconds = t.Hour * 3600 + t.Minute * 60 + t.Second;
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

bool RecordReader::ReadUsual(std::string_view line, LogRecord& out) const {
    const size_t n = lastDate_.size();
    const size_t width = fixedTime_.size();
    if (!haveLast_ || width == 0 || line.size() < n + width + 4 || line[n] != '\t') return false;
    if (lastWords_) {
        if (((Word(line.data()) ^ lastHead_) | (Word(line.data() + n - 8) ^ lastTail_)) != 0)
            return false;
    } else if (line.compare(0, n, lastDate_) != 0) {
        return false;
    }
    const char* p = line.data() + n + 1;
    const char* const end = line.data() + line.size();
    if (p[width] != '\t') return false;
    if (width == 8) {
        // hh:nn:ss and its kin, read here without a call.
        const std::string_view time(p, 8);
        const int h = TwoDigits(time, hourAt_);
        const int m = TwoDigits(time, minuteAt_);
        const int s = TwoDigits(time, secondAt_);
        if ((Word(p) & timeMask_) != timeWord_ || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 ||
            s > 59)
            return false;
        out.Seconds = h * 3600 + m * 60 + s;
    } else if (!ReadFixedTime(std::string_view(p, width), out.Seconds)) {
        return false;
    }
    p += width + 1;

    // Digits are counted after each run rather than at every step; a run too long for its
    // number is refused whatever it added up to.
    auto digit = [](char c) { return static_cast<unsigned>(static_cast<unsigned char>(c) - '0'); };
    const char* start = p;
    uint32_t pulses = 0;
    for (unsigned d = 0; p < end && (d = digit(*p)) <= 9; ++p) pulses = pulses * 10 + d;
    if (p == start || p - start > 9 || p == end || *p != '\t') return false;

    // The cost: digits, maybe a separator and more digits, then the end or a TAB.
    start = ++p;
    uint64_t whole = 0;
    for (unsigned d = 0; p < end && (d = digit(*p)) <= 9; ++p) whole = whole * 10 + d;
    if (p == start || p - start > Money::kMaxWholeDigits) return false;
    uint64_t fraction = 0;
    int fractionDigits = 0;
    if (p < end && *p == fs_.DecimalSeparator) {
        start = ++p;
        for (unsigned d = 0; p < end && (d = digit(*p)) <= 9; ++p) fraction = fraction * 10 + d;
        if (p - start > 18) return false;
        fractionDigits = static_cast<int>(p - start);
    }
    if (p != end && *p != '\t') return false;
    out.Date = lastParts_;
    out.Pulses = static_cast<int32_t>(pulses);
    out.Cost =
        Money::FromParts(static_cast<int64_t>(whole),
                         static_cast<int64_t>(fraction) * Money::PowerOfTen(18 - fractionDigits));
    return true;
}

const char* RecordReader::Read(std::string_view line, LogRecord& out) {
    if (ReadUsual(line, out)) return nullptr;
    return ReadFieldByField(line, out);
}

const char* RecordReader::ReadFieldByField(std::string_view line, LogRecord& out) {
    if (line.empty()) return "an empty line";
    // The first four TABs in one pass: the fields are short, a search call each costs more.
    size_t tabs[4] = {line.size(), line.size(), line.size(), line.size()};
    int found = 0;
    for (size_t i = 0; i < line.size() && found < 4; ++i) {
        if (line[i] == '\t') tabs[found++] = i;
    }
    const size_t tab0 = tabs[0], tab1 = tabs[1], tab2 = tabs[2], tab3 = tabs[3];
    if (found < 3 || tab2 + 1 == line.size()) return "fewer than four fields";
    const std::string_view date = line.substr(0, tab0);
    if (!haveLast_ || date != lastDate_) {
        DateParts parts;
        if (!dates_.ReadDate(date, parts)) return "the date is not in the short date format";
        lastDate_.assign(date);
        lastParts_ = parts;
        haveLast_ = true;
        lastWords_ = date.size() >= 8 && date.size() <= 16;
        if (lastWords_) {
            lastHead_ = Word(date.data());
            lastTail_ = Word(date.data() + date.size() - 8);
        }
    }
    const std::string_view duration = line.substr(tab0 + 1, tab1 - tab0 - 1);
    const std::string_view pulses = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string_view cost = line.substr(tab2 + 1, tab3 - tab2 - 1);
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

inline void DailyTotals::Add(std::string_view line) {
    ++lineCount_;
    LogRecord record;
    if (const char* why = reader_.Read(line, record)) {
        // Past so many, a log of another locale would fill the memory with copies: the rest
        // are listed by number and reason only.
        constexpr size_t kShownLines = 10000;
        unread_.push_back(MakeUnreadLine(lineCount_, why,
                                         unread_.size() < kShownLines ? line : std::string_view()));
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

void DailyTotals::OnLines(const LogLineBatch& lines) {
    for (size_t i = 0; i < lines.size(); ++i) Add(lines[i]);
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
        int64_t scaled = 0;
        f.ProjectedCents =
            __builtin_mul_overflow(f.Cost.Cents(), int64_t{f.DaysInMonth}, &scaled)
                ? f.Cost.Cents()  // beyond any bill: the month so far is all that can be said
                : DivideRounded(scaled, f.DaysElapsed);
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
