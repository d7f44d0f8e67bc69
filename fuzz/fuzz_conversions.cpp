// Text from the settings file and the log reaches these parsers unchecked. They must reject
// what they cannot read, and what they accept must come back the same through the formatter.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/format.h"

namespace {

const tt::FormatSettings& Settings(uint8_t which) {
    static const tt::FormatSettings kAll[] = {
        tt::MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ','),
        tt::MakeFormatSettings("m/d/yy", "h:nn:ss AM/PM", '.'),
        tt::MakeFormatSettings("dd.mm.yyyy", "hh.nn.ss", ','),
        tt::MakeFormatSettings("yy'年'm'月'd", "ampm h:nn", '.'),
    };
    return kAll[which % 4];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const tt::FormatSettings& fs = Settings(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    tt::TDateTime t = 0;
    if (tt::TryStrToTime(text, fs, t)) {
        tt::TDateTime back = -1;
        if (t < 0 || t >= 1 || !tt::TryStrToTime(tt::TimeToStr(t, fs), fs, back)) std::abort();
        // A pattern without seconds drops them; nothing else may change.
        if (tt::SecondOfDay(back) / 60 != tt::SecondOfDay(t) / 60) std::abort();
    }
    tt::DateParts d;
    if (tt::TryParseDate(text, fs, d)) {
        tt::DateParts back;
        const tt::TDateTime value = tt::EncodeDate(d.Year, d.Month, d.Day);
        if (!tt::TryParseDate(tt::DateToStr(value, fs), fs, back) || back.Month != d.Month ||
            back.Day != d.Day) {
            std::abort();
        }
    }
    long double v = 0;
    if (tt::TryStrToFloat(text, fs, v) && std::isfinite(static_cast<double>(v))) {
        long double back = 0;
        if (!tt::TryStrToFloat(tt::FloatToStr(v, fs), fs, back)) std::abort();
    }
    int32_t i = 0;
    if (tt::TryStrToInt(text, i) && !text.starts_with("0x") && !text.starts_with("0X")) {
        int32_t back = 0;
        if (!tt::TryStrToInt(tt::IntToStr(i), back) || back != i) std::abort();
    }
    // Any pattern formats any value without fault.
    const double when = static_cast<double>(size % 3000000) - 700000.0 + data[0] / 256.0;
    (void)tt::FormatDateTime(text.substr(0, 64), when, fs);
    return 0;
}
