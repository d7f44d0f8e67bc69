// The log is read at every start whatever it holds: the lines must survive a load and save
// unchanged, and the totals must be computed without fault from any line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "log/log_file.h"
#include "metering/totals.h"
#include "testing/totals_by_definition.h"

namespace {
struct Collect : tt::LogLineSink {
    void OnLines(const tt::LogLineBatch& lines) override {
        for (size_t i = 0; i < lines.size(); ++i) seen.emplace_back(lines[i]);
    }
    std::vector<std::string> seen;
};
// The lines as the file's definition cuts them, byte by byte: CR LF, a lone CR or a lone LF
// ends a line, and a last line without an end counts too.
std::vector<std::string> PlainCut(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        out.push_back(line);
        line.clear();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') out.push_back(line);
    return out;
}

bool operator!=(const tt::TTotals& a, const tt::TTotals& b) {
    return a.DayPulses != b.DayPulses || a.MonthPulses != b.MonthPulses;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const tt::TLogLines lines = tt::TLogLines::FromText(input);
    const std::vector<std::string> plain = PlainCut(input);
    if (plain.size() != lines.size()) std::abort();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != plain[i]) std::abort();
    }

    // Loading from the file, with its lines seen on the way, cuts the same lines.
    // Removed when the fuzzer ends, so that runs in CI leave nothing behind.
    static const struct File {
        std::string path = "/tmp/tt_fuzz_log_" + std::to_string(getpid()) + ".txt";
        ~File() { std::remove(path.c_str()); }
    } scratch;
    const std::string& file = scratch.path;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        if (!out) std::abort();
    }
    static const tt::FormatSettings kPolish = tt::MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');
    static const tt::FormatSettings kUs = tt::MakeFormatSettings("m/d/yy", "h:nn:ss AM/PM", '.');
    const tt::TDateTime today = tt::EncodeDate(2001, 3, 15);
    tt::TLogLines loaded;
    Collect sink;
    // A file an editor saved as Unicode is not read line by line, nor ever replaced.
    if (input.starts_with("\xEF\xBB\xBF") || input.starts_with("\xFF\xFE") ||
        input.starts_with("\xFE\xFF")) {
        if (tt::LoadLog(file, loaded, &sink) || !loaded.FileUnread || !sink.seen.empty()) {
            std::abort();
        }
        return 0;
    }
    if (!tt::LoadLog(file, loaded, &sink) || loaded.FileImage() != lines.FileImage() ||
        sink.seen.size() != lines.size()) {
        std::abort();
    }
    // The totals counted on the way agree with the definition.
    tt::TLogLines reloaded;
    tt::TotalsCounter counter(today, kPolish);
    if (!tt::LoadLog(file, reloaded, &counter) ||
        counter.Result() != tt::TotalsByDefinition(plain, today, kPolish)) {
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
    for (const tt::FormatSettings* fs : {&kPolish, &kUs}) {
        if (tt::ComputeTotals(lines, today, *fs) != tt::TotalsByDefinition(plain, today, *fs)) {
            std::abort();
        }
    }
    return 0;
}
