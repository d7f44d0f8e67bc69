// The log is read at every start whatever it holds: the lines must survive a load and save
// unchanged, and the totals must be computed without fault from any line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "log/log_file.h"
#include "metering/totals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tt::TLogLines lines =
        tt::TLogLines::FromText(std::string(reinterpret_cast<const char*>(data), size));
    const tt::TLogLines again = tt::TLogLines::FromText(std::string(lines.FileImage()));
    if (again.size() != lines.size()) std::abort();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.find_first_of("\r\n") != std::string_view::npos || again[i] != line) std::abort();
        for (int k = 0; k < 5; ++k) {
            if (tt::SplitField(line, k).find('\t') != std::string::npos) std::abort();
        }
    }
    static const tt::FormatSettings kPolish = tt::MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');
    static const tt::FormatSettings kUs = tt::MakeFormatSettings("m/d/yy", "h:nn:ss AM/PM", '.');
    const tt::TDateTime today = tt::EncodeDate(2001, 3, 15);
    const tt::TTotals a = tt::ComputeTotals(lines, today, kPolish);
    const tt::TTotals b = tt::ComputeTotals(lines, today, kUs);
    (void)a;
    (void)b;
    return 0;
}
