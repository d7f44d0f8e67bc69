#include "metering/totals.h"

#include <algorithm>

namespace tt {

namespace {
int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

TTotals ComputeTotals(const TLogLines& lines, TDateTime today, const FormatSettings& fs) {
    const std::string todayText = DateToStr(today, fs);
    const int month = DecodeDate(today).Month;
    const PatternReader dates(fs.ShortDateFormat, fs);
    int64_t day = 0;
    int64_t monthSum = 0;
    // Lines of one day follow each other, so the last date's answer is usually the next one's.
    std::string lastDate;
    bool lastInMonth = false;
    bool haveLast = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        int32_t pulses = 0;
        if (!TryDecimalToInt(FieldView(line, 2), pulses)) continue;
        const std::string_view date = FieldView(line, 0);
        if (date == todayText) day += pulses;
        if (!haveLast || date != lastDate) {
            DateParts parts;
            lastInMonth = dates.ReadDate(date, parts) && parts.Month == month;
            lastDate.assign(date);
            haveLast = true;
        }
        if (lastInMonth) monthSum += pulses;
    }
    return TTotals{Saturate(day), Saturate(monthSum)};
}

}  // namespace tt
