#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace tt {

// Exit codes of taktomat-report.
inline constexpr int kReportOk = 0;
inline constexpr int kReportFailed = 1;       // no log, a file that cannot be read or written
inline constexpr int kReportUsage = 2;        // a command line that is not understood
inline constexpr int kReportLinesUnread = 3;  // done, but some lines of the log could not be read

// Runs taktomat-report with the arguments after its name, writing to `out` and `err`;
// `today` is the local date. Answers the exit code.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const DateParts& today);

// An ISO 8601 day (2026-12-07), month (2026-12) or year (2026) as its first and last day.
bool ParseIsoPeriod(std::string_view text, int& firstKey, int& lastKey);

}  // namespace tt
