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
        // Fields 0 and 2 in one walk over the first three TABs, as FieldView would cut them.
        const size_t tab1 = line.find('\t');
        if (tab1 == std::string_view::npos) continue;
        const size_t tab2 = line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) continue;
        const size_t tab3 = line.find('\t', tab2 + 1);
        const std::string_view count =
            line.substr(tab2 + 1, tab3 == std::string_view::npos ? std::string_view::npos
                                                                  : tab3 - tab2 - 1);
        int32_t pulses = 0;
        if (!TryDecimalToInt(count, pulses)) continue;
        const std::string_view date = line.substr(0, tab1);
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
