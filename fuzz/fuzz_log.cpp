// The log is read at every start whatever it holds: the lines must survive a load and save
// unchanged, and the totals must be computed without fault from any line.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>


#include "log/log_file.h"
#include "metering/totals.h"

namespace {
struct Collect : tt::LogLineSink {
    void OnLine(std::string_view line) override { seen.emplace_back(line); }
    std::vector<std::string> seen;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const tt::TLogLines lines = tt::TLogLines::FromText(input);

    // Loading from the file, with its lines seen on the way, cuts the same lines.
    static const std::string file = "/tmp/tt_fuzz_log_" + std::to_string(getpid()) + ".txt";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        if (!out) std::abort();
    }
    tt::TLogLines loaded;
    Collect sink;
    if (!tt::LoadLog(file, loaded, &sink) || loaded.FileImage() != lines.FileImage() ||
        sink.seen.size() != lines.size()) {
        std::abort();
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (sink.seen[i] != lines[i] || loaded[i] != lines[i]) std::abort();
    }

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
