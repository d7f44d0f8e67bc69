#include "metering/totals.h"

#include <algorithm>
#include <cstring>

namespace tt {

namespace {
int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

TotalsCounter::TotalsCounter(TDateTime today, const FormatSettings& fs)
    : today_(DecodeDate(today)), dates_(fs.ShortDateFormat, fs) {}

namespace {

// The pulse field is one to a few digits on nearly every line: those are read here without a
// call; anything else goes the long way, which also judges signs and overflow.
bool ReadPulses(std::string_view text, int32_t& out) {
    if (text.empty() || text.size() > 9) return TryDecimalToInt(text, out);
    int32_t v = 0;
    for (const char c : text) {
        const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
        if (digit > 9) return TryDecimalToInt(text, out);
        v = v * 10 + static_cast<int32_t>(digit);
    }
    out = v;
    return true;
}

uint64_t Word(const char* p) {
    uint64_t w = 0;
    std::memcpy(&w, p, 8);
    return w;
}

}  // namespace

void TotalsCounter::NewDate(std::string_view date) {
    // Year and month both: a log of several years holds this month of every one of them.
    DateParts parts;
    const bool read = dates_.ReadDate(date, parts);
    lastInMonth_ = read && parts.Year == today_.Year && parts.Month == today_.Month;
    lastIsToday_ = lastInMonth_ && parts.Day == today_.Day;
    lastDate_.assign(date);
    haveLast_ = true;
    // Dates are 8 to 16 bytes in every short date pattern in use: two overlapping words of the
    // line are compared with these, without a call.
    lastWords_ = date.size() >= 8 && date.size() <= 16;
    if (lastWords_) {
        lastHead_ = Word(date.data());
        lastTail_ = Word(date.data() + date.size() - 8);
    }
}

inline bool TotalsCounter::SameDateAsLast(std::string_view line) const {
    const size_t n = lastDate_.size();
    if (!haveLast_ || line.size() <= n || line[n] != '\t') return false;
    if (!lastWords_) return line.compare(0, n, lastDate_) == 0;
    return ((Word(line.data()) ^ lastHead_) | (Word(line.data() + n - 8) ^ lastTail_)) == 0;
}

// The sums are passed in rather than kept in members while a batch is counted, so that adding
// to them cannot be taken for a change of the cached date.
inline void TotalsCounter::Count(std::string_view line, int64_t& day, int64_t& month) {
    // Lines of one day follow each other, so the last date's answers are usually this one's,
    // and only the lines of this month need their pulses read.
    if (!SameDateAsLast(line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return;  // no pulse field
        NewDate(line.substr(0, tab));
    }
    if (!lastInMonth_) return;
    // Field 2, cut as FieldView cuts it.
    const size_t tab2 = line.find('\t', lastDate_.size() + 1);
    if (tab2 == std::string_view::npos) return;
    const size_t tab3 = line.find('\t', tab2 + 1);
    const std::string_view count = line.substr(
        tab2 + 1, tab3 == std::string_view::npos ? std::string_view::npos : tab3 - tab2 - 1);
    int32_t pulses = 0;
    if (!ReadPulses(count, pulses)) return;
    if (lastIsToday_) day += pulses;
    if (lastInMonth_) month += pulses;
}

void TotalsCounter::OnLines(const LogLineBatch& lines) {
    int64_t day = day_;
    int64_t month = monthSum_;
    for (size_t i = 0; i < lines.size(); ++i) Count(lines[i], day, month);
    day_ = day;
    monthSum_ = month;
}

TTotals TotalsCounter::Result() const {
    return TTotals{Saturate(day_), Saturate(monthSum_)};
}

TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs) {
    TotalsCounter counter(today, fs);
    counter.OnLines(lines.From(0));
    return counter.Result();
}

}  // namespace tt
