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
    int64_t day = 0;
    int64_t monthSum = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        int32_t pulses = 0;
        if (!TryDecimalToInt(FieldView(line, 2), pulses)) continue;
        const std::string_view date = FieldView(line, 0);
        if (date == todayText) day += pulses;
        DateParts parts;
        if (TryParseDate(date, fs, parts) && parts.Month == month) monthSum += pulses;
    }
    return TTotals{Saturate(day), Saturate(monthSum)};
}

}  // namespace tt
