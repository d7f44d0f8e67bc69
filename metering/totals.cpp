#include "metering/totals.h"

#include <algorithm>

namespace tt {

namespace {
int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

TotalsCounter::TotalsCounter(TDateTime today, const FormatSettings& fs)
    : todayText_(DateToStr(today, fs)),
      month_(DecodeDate(today).Month),
      dates_(fs.ShortDateFormat, fs) {}

void TotalsCounter::OnLine(std::string_view line) {
    // Fields 0 and 2 in one walk over the first three TABs, as FieldView would cut them.
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return;
    const size_t tab3 = line.find('\t', tab2 + 1);
    const std::string_view count = line.substr(
        tab2 + 1, tab3 == std::string_view::npos ? std::string_view::npos : tab3 - tab2 - 1);
    int32_t pulses = 0;
    if (!TryDecimalToInt(count, pulses)) return;
    const std::string_view date = line.substr(0, tab1);
    if (date == todayText_) day_ += pulses;
    if (!haveLast_ || date != lastDate_) {
        DateParts parts;
        lastInMonth_ = dates_.ReadDate(date, parts) && parts.Month == month_;
        lastDate_.assign(date);
        haveLast_ = true;
    }
    if (lastInMonth_) monthSum_ += pulses;
}

TTotals TotalsCounter::Result() const { return TTotals{Saturate(day_), Saturate(monthSum_)}; }

TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs) {
    TotalsCounter counter(today, fs);
    for (size_t i = 0; i < lines.size(); ++i) counter.OnLine(lines[i]);
    return counter.Result();
}

}  // namespace tt
