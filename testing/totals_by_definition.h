// For the tests and the fuzz target: the day and month totals computed plainly, field by field,
// as their definition reads, to hold the fast counting against.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "log/log_file.h"
#include "metering/totals.h"

namespace tt {

template <class Lines>
TTotals TotalsByDefinition(const Lines& lines, TDateTime today, const FormatSettings& fs) {
    const PatternReader dates(fs.ShortDateFormat, fs);
    const DateParts now = DecodeDate(today);
    int64_t day = 0, month = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        int32_t pulses = 0;
        if (!TryDecimalToInt(FieldView(line, 2), pulses)) continue;
        const std::string_view date = FieldView(line, 0);
        DateParts parts;
        if (!dates.ReadDate(date, parts)) continue;
        if (parts == now) day += pulses;
        if (parts.Year == now.Year && parts.Month == now.Month) month += pulses;
    }
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return TTotals{clamp(day), clamp(month)};
}

}  // namespace tt
