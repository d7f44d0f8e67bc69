#include "tools/report/report_cli.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

#include "app/options.h"
#include "base/error.h"
#include "base/files.h"
#include "base/text.h"
#include "log/log_file.h"
#include "settings/settings.h"
#include "toolkit/gfx/png.h"
#include "tools/report/chart.h"
#include "tools/report/log_report.h"

namespace tt {

namespace fs = std::filesystem;

namespace {

constexpr const char* kName = "taktomat-report";

constexpr const char* kGeneralHelp =
    "Usage: taktomat-report COMMAND [options]\n"
    "Totals, export, a forecast and a chart from the connection log of Taktomat 2000.\n"
    "\n"
    "Commands:\n"
    "  summary    connections, time, pulses and cost by day, month or year\n"
    "  export     every record of the log as CSV or JSON\n"
    "  forecast   the month so far, projected to its end, against the month's limit\n"
    "  chart      pulses of each day of a month as a PNG or SVG picture\n"
    "\n"
    "Options of every command:\n"
    "  --dir DIR          read taktomat.ini and raport.txt in DIR instead of the program's folder\n"
    "  --locale SHORTDATE LONGTIME DECIMAL\n"
    "                     the date and time patterns and the decimal separator the log was\n"
    "                     written with, e.g. --locale dd.mm.yyyy hh:nn:ss ,\n"
    "  --today DATE       take DATE (2026-12-07) as today\n"
    "  --help             show the help of the command and end\n"
    "  --version          show the version and end\n"
    "\n"
    "Dates are ISO 8601: 2026-12-07, 2026-12 or 2026. Nothing is ever written into the\n"
    "program's folder. Exit status: 0 done, 1 failed, 2 wrong command line, 3 done but some\n"
    "lines of the log could not be read (they are listed on standard error).\n"
    "Run taktomat-report COMMAND --help for the options of a command.\n";

constexpr const char* kSummaryHelp =
    "Usage: taktomat-report summary [--by day|month|year] [--from DATE] [--to DATE]\n"
    "                               [--format text|csv|json] [--dir DIR] [--locale ...]\n"
    "One row per day, month or year: connections, total time, pulses and cost.\n"
    "\n"
    "  --by day|month|year      the period of a row (day)\n"
    "  --from DATE, --to DATE   only days from and to these, both included; a month or a\n"
    "                           year stands for its first day after --from, its last after --to\n"
    "  --format text|csv|json   an aligned table with a total (text, the default; costs with\n"
    "                           the locale's decimal separator), or CSV with a header row, or a\n"
    "                           JSON array of objects (time in seconds, costs with a point)\n";

constexpr const char* kExportHelp =
    "Usage: taktomat-report export [--format csv|json] [--dir DIR] [--locale ...]\n"
    "Every record of the log, in order: its line number, the date (ISO 8601), the duration in\n"
    "seconds, the pulses and the cost as written, with a decimal point.\n"
    "\n"
    "  --format csv|json   CSV with a header row (the default) or a JSON array of objects\n"
    "\n"
    "Lines that cannot be read are listed on standard error with their numbers, and the exit\n"
    "status is then 3.\n";

constexpr const char* kForecastHelp =
    "Usage: taktomat-report forecast [--month YYYY-MM] [--dir DIR] [--locale ...]\n"
    "The month so far (pulses, cost, days elapsed, today included), the month projected to its\n"
    "end at the pace so far, the pulses left under the month's limit (MAXIMP_M of\n"
    "taktomat.ini) and the day the limit is reached at that pace, or that it will not be.\n"
    "\n"
    "  --month YYYY-MM   the month (this month)\n";

constexpr const char* kChartHelp =
    "Usage: taktomat-report chart [--month YYYY-MM] --output FILE [--dir DIR] [--locale ...]\n"
    "Draws the pulses of each day of the month as bars, and the month's limit (MAXIMP_M of\n"
    "taktomat.ini) divided by the days of the month as a line, titled in Polish.\n"
    "\n"
    "  --month YYYY-MM   the month (this month)\n"
    "  --output FILE     the picture: PNG when FILE ends in .png, SVG when it ends in .svg;\n"
    "                    never in the program's folder\n";

struct CommandSpec {
    const char* Name;
    const char* Help;
    std::vector<std::string> Options;  // the options of its own
};

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = {
        {"summary", kSummaryHelp, {"--by", "--from", "--to", "--format"}},
        {"export", kExportHelp, {"--format"}},
        {"forecast", kForecastHelp, {"--month"}},
        {"chart", kChartHelp, {"--month", "--output"}},
    };
    return commands;
}

const CommandSpec* FindCommand(std::string_view name) {
    for (const CommandSpec& c : Commands()) {
        if (name == c.Name) return &c;
    }
    return nullptr;
}

bool IsValueOption(std::string_view name) {
    return name == "--by" || name == "--from" || name == "--to" || name == "--format" ||
           name == "--month" || name == "--output" || name == "--today";
}

struct Invocation {
    const CommandSpec* Command = nullptr;
    ProgramOptions Program;
    bool Help = false;
    bool Version = false;
    std::map<std::string, std::string> Values;

    std::optional<std::string> Value(const std::string& name) const {
        const auto it = Values.find(name);
        if (it == Values.end()) return std::nullopt;
        return it->second;
    }
};

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

Invocation ParseCommandLine(const std::vector<std::string>& args) {
    Invocation inv;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        if (const size_t taken = TakeFolderOrLocale(args, i, inv.Program, error); taken != 0) {
            i += taken - 1;
            continue;
        }
        if (!error.empty()) throw UsageError(error);
        if (arg == "--help" || arg == "-h") {
            inv.Help = true;
        } else if (arg == "--version") {
            inv.Version = true;
        } else if (!arg.empty() && arg[0] != '-') {
            if (inv.Command != nullptr) throw UsageError("one command at a time, not also " + arg);
            inv.Command = FindCommand(arg);
            if (inv.Command == nullptr) throw UsageError("unknown command: " + arg);
        } else {
            const size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (!IsValueOption(name)) throw UsageError("unknown option: " + arg);
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (value.empty()) throw UsageError(name + " needs a value");
            inv.Values[name] = value;
        }
    }
    if (inv.Help || inv.Version) return inv;
    if (inv.Command == nullptr)
        throw UsageError("which command? summary, export, forecast or chart");
    for (const auto& [name, value] : inv.Values) {
        const std::vector<std::string>& own = inv.Command->Options;
        if (name != "--today" && std::find(own.begin(), own.end(), name) == own.end())
            throw UsageError(std::string(inv.Command->Name) + " does not take " + name);
    }
    return inv;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

DateParts DateOption(const Invocation& inv, const char* name, const DateParts& fallback) {
    const std::optional<std::string> text = inv.Value(name);
    if (!text) return fallback;
    int first = 0, last = 0;
    if (text->size() != 10 || !ParseIsoPeriod(*text, first, last))
        throw UsageError(std::string(name) + " needs a date as 2026-12-07, not " + *text);
    return DayFromKey(first);
}

// The year and month of --month, this month without it.
std::pair<int, int> MonthOption(const Invocation& inv, const DateParts& today) {
    const std::optional<std::string> text = inv.Value("--month");
    if (!text) return {today.Year, today.Month};
    int first = 0, last = 0;
    if (text->size() != 7 || !ParseIsoPeriod(*text, first, last))
        throw UsageError("--month needs a month as 2026-12, not " + *text);
    return {first / 10000, first / 100 % 100};
}

std::string Choice(const Invocation& inv, const char* name, std::vector<std::string> allowed) {
    const std::optional<std::string> value = inv.Value(name);
    if (!value) return allowed.front();
    if (std::find(allowed.begin(), allowed.end(), *value) == allowed.end()) {
        std::string list;
        for (const std::string& a : allowed) list += (list.empty() ? "" : ", ") + a;
        throw UsageError(std::string(name) + " is one of " + list + ", not " + *value);
    }
    return *value;
}

struct ProgramFiles {
    fs::path Folder;
    FormatSettings Format;
    fs::path Log() const { return Folder / "raport.txt"; }
};

// Loads the log, handing its lines to `sink`; false, with the reason on `err`, when there is
// none or it cannot be read.
bool Load(const ProgramFiles& files, TLogLines& lines, LogLineSink* sink, std::ostream& err) {
    const fs::path log = files.Log();
    std::error_code ec;
    if (!fs::exists(log, ec) && !ec) {
        err << kName << ": there is no log at " << FullPathText(log)
            << " (nothing has been logged in that folder; --dir chooses another)\n";
        return false;
    }
    if (!LoadLog(log, lines, sink)) {
        err << kName << ": cannot read " << FullPathText(log) << "\n";
        return false;
    }
    return true;
}

std::string Shown(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out;
}

// Lists the lines that could not be read; the exit code.
int Finish(const std::vector<UnreadLine>& unread, size_t lineCount, const ProgramFiles& files,
           std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        err << kName << ": the output could not be written\n";
        return kReportFailed;
    }
    if (unread.empty()) return kReportOk;
    // The hint first: a log of another locale's dates fails on every line, and the hint
    // would scroll away below them.
    err << kName << ": " << unread.size() << " of " << lineCount
        << " lines could not be read and are left out (dates were expected as "
        << files.Format.ShortDateFormat
        << "; --locale reads a log written with another locale's patterns):\n";
    const std::string log = FullPathText(files.Log());
    for (const UnreadLine& u : unread) {
        err << log << ":" << u.Number << ": " << u.Why;
        if (!u.Text.empty()) err << ": " << Shown(u.Text);
        err << "\n";
    }
    return kReportLinesUnread;
}

std::string PadRight(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void PrintSummaryText(const std::vector<PeriodRow>& rows, const DayTotals& total, char separator,
                      std::ostream& out) {
    // Every cell is short enough to stay inside its string, so a table of years of days
    // costs one allocation.
    using Row = std::array<std::string, 5>;
    std::vector<Row> table;
    table.reserve(rows.size() + 2);
    table.push_back({"Period", "Connections", "Time", "Pulses", "Cost"});
    auto add = [&](const std::string& period, const DayTotals& t) {
        table.push_back({period, std::to_string(t.Connections), HoursMinutesSeconds(t.Seconds),
                         std::to_string(t.Pulses), t.Cost.Fixed2(separator)});
    };
    for (const PeriodRow& r : rows) add(r.Period, r.Totals);
    add("Total", total);
    std::array<size_t, 5> widths{};
    for (const Row& row : table) {
        for (size_t k = 0; k < row.size(); ++k) widths[k] = std::max(widths[k], row[k].size());
    }
    std::string text;
    auto print = [&](const Row& row) {
        text += row[0];
        text.append(widths[0] - row[0].size(), ' ');
        for (size_t k = 1; k < row.size(); ++k) {
            text.append(2 + widths[k] - row[k].size(), ' ');
            text += row[k];
        }
        text += '\n';
    };
    for (size_t i = 0; i + 1 < table.size(); ++i) print(table[i]);
    size_t rule = widths[0];
    for (size_t k = 1; k < widths.size(); ++k) rule += 2 + widths[k];
    text.append(rule, '-');
    text += '\n';
    print(table.back());
    out << text;
}

int Summary(const Invocation& inv, const ProgramFiles& files, std::ostream& out,
            std::ostream& err) {
    const std::string by = Choice(inv, "--by", {"day", "month", "year"});
    const std::string format = Choice(inv, "--format", {"text", "csv", "json"});
    DayRange range;
    int first = 0, last = 0;
    if (const auto from = inv.Value("--from")) {
        if (!ParseIsoPeriod(*from, first, last))
            throw UsageError("--from needs a date as 2026-12-07, 2026-12 or 2026, not " + *from);
        range.First = first;
    }
    if (const auto to = inv.Value("--to")) {
        if (!ParseIsoPeriod(*to, first, last))
            throw UsageError("--to needs a date as 2026-12-07, 2026-12 or 2026, not " + *to);
        range.Last = last;
    }
    if (range.First > range.Last) throw UsageError("--from is after --to");

    TLogLines lines;
    DailyTotals totals(files.Format);
    if (!Load(files, lines, &totals, err)) return kReportFailed;
    std::vector<PeriodRow> rows;
    const Period period = by == "day" ? Period::Day : by == "month" ? Period::Month : Period::Year;
    DayTotals total;
    bool fits = Summarize(totals.Days(), period, range, rows);
    for (const PeriodRow& r : rows) fits = fits && AddTotals(total, r.Totals);
    if (!fits) {
        err << kName << ": the costs add up to more than can be counted\n";
        return kReportFailed;
    }
    if (format == "text") {
        PrintSummaryText(rows, total, files.Format.DecimalSeparator, out);
    } else if (format == "csv") {
        out << "period,connections,seconds,pulses,cost\n";
        for (const PeriodRow& r : rows) {
            out << r.Period << "," << r.Totals.Connections << "," << r.Totals.Seconds << ","
                << r.Totals.Pulses << "," << r.Totals.Cost.Fixed2('.') << "\n";
        }
    } else {
        out << "[";
        for (size_t i = 0; i < rows.size(); ++i) {
            const PeriodRow& r = rows[i];
            out << (i == 0 ? "\n" : ",\n") << "  {\"period\": \"" << r.Period
                << "\", \"connections\": " << r.Totals.Connections
                << ", \"seconds\": " << r.Totals.Seconds << ", \"pulses\": " << r.Totals.Pulses
                << ", \"cost\": " << r.Totals.Cost.Fixed2('.') << "}";
        }
        out << (rows.empty() ? "]\n" : "\n]\n");
    }
    return Finish(totals.Unread(), totals.LineCount(), files, out, err);
}

int Export(const Invocation& inv, const ProgramFiles& files, std::ostream& out, std::ostream& err) {
    const std::string format = Choice(inv, "--format", {"csv", "json"});
    TLogLines lines;
    if (!Load(files, lines, nullptr, err)) return kReportFailed;
    RecordReader reader(files.Format);
    std::vector<UnreadLine> unread;
    bool json = format == "json";
    out << (json ? "[" : "line,date,seconds,pulses,cost\n");
    bool firstRecord = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        LogRecord r;
        if (const char* why = reader.Read(lines[i], r)) {
            unread.push_back(MakeUnreadLine(i + 1, why, lines[i]));
            continue;
        }
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", r.Date.Year, r.Date.Month, r.Date.Day);
        if (json) {
            out << (firstRecord ? "\n" : ",\n") << "  {\"line\": " << i + 1 << ", \"date\": \""
                << date << "\", \"seconds\": " << r.Seconds << ", \"pulses\": " << r.Pulses
                << ", \"cost\": " << r.Cost.Exact('.') << "}";
        } else {
            out << i + 1 << "," << date << "," << r.Seconds << "," << r.Pulses << ","
                << r.Cost.Exact('.') << "\n";
        }
        firstRecord = false;
    }
    if (json) out << (firstRecord ? "]\n" : "\n]\n");
    return Finish(unread, lines.size(), files, out, err);
}

int32_t MonthLimit(const ProgramFiles& files) {
    // Read only: a missing file gives the default, as it does to the program.
    const TSettings settings(files.Folder / "taktomat.ini");
    return ReadClamped(settings, keys::MAXIMP_M);
}

std::string IsoDay(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

int ForecastCommand(const Invocation& inv, const ProgramFiles& files, const DateParts& today,
                    std::ostream& out, std::ostream& err) {
    const auto [year, month] = MonthOption(inv, today);
    TLogLines lines;
    DailyTotals totals(files.Format);
    if (!Load(files, lines, &totals, err)) return kReportFailed;
    const Forecast f = MakeForecast(totals.Days(), year, month, today, MonthLimit(files));
    const char sep = files.Format.DecimalSeparator;
    char monthText[16];
    std::snprintf(monthText, sizeof monthText, "%04d-%02d", year, month);
    auto row = [&out](const char* name, const std::string& value) {
        out << PadRight(name, 16) << value << "\n";
    };
    row("Month", std::string(monthText) + " (" + std::to_string(f.DaysInMonth) + " days)");
    row("So far", std::to_string(f.DaysElapsed) + " of " + std::to_string(f.DaysInMonth) +
                      " days, " + std::to_string(f.Connections) + " connections, " +
                      std::to_string(f.Pulses) + " pulses, cost " + f.Cost.Fixed2(sep));
    if (f.DaysElapsed == 0) {
        row("Projected", "nothing yet: the month has not begun");
    } else {
        const int64_t paceHundredths = DivideRounded(f.Pulses * 100, f.DaysElapsed);
        row("Pace", Money::FromCents(paceHundredths).Fixed2(sep) + " pulses a day");
        row("Projected", std::to_string(f.ProjectedPulses) + " pulses, cost " +
                             Money::FromCents(f.ProjectedCents).Fixed2(sep) + " by " +
                             IsoDay(year, month, f.DaysInMonth));
    }
    row("Month limit", std::to_string(f.Limit) + " pulses (MAXIMP_M)");
    row("Pulses left", f.PulsesLeft >= 0 ? std::to_string(f.PulsesLeft)
                                         : "none, " + std::to_string(-f.PulsesLeft) + " over");
    if (f.LimitAlreadyReached) {
        row("Limit reached", IsoDay(year, month, f.LimitDay) + " (already)");
    } else if (f.LimitDay != 0) {
        row("Limit reached", IsoDay(year, month, f.LimitDay) + " at this pace");
    } else {
        row("Limit reached",
            f.DaysElapsed == f.DaysInMonth ? "no, not this month" : "not this month at this pace");
    }
    return Finish(totals.Unread(), totals.LineCount(), files, out, err);
}

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return ca == cb || (fs::exists(ca, ec) && fs::exists(cb, ec) && fs::equivalent(ca, cb, ec));
}

int ChartCommand(const Invocation& inv, const ProgramFiles& files, const DateParts& today,
                 std::ostream& out, std::ostream& err) {
    const auto [year, month] = MonthOption(inv, today);
    const std::optional<std::string> output = inv.Value("--output");
    if (!output) throw UsageError("chart needs --output FILE (.png or .svg)");
    const bool png = EndsWithNoCase(*output, ".png");
    if (!png && !EndsWithNoCase(*output, ".svg"))
        throw UsageError("--output must end in .png or .svg: " + *output);
    fs::path target(*output);
    std::error_code ec;
    const fs::path parent = fs::absolute(target, ec).parent_path();
    if (SameFolder(parent, files.Folder)) {
        err << kName << ": will not write into the program's folder " << FullPathText(files.Folder)
            << "; choose another place for the chart\n";
        return kReportFailed;
    }
    TLogLines lines;
    DailyTotals totals(files.Format);
    if (!Load(files, lines, &totals, err)) return kReportFailed;
    const ChartPicture chart = MakeMonthChart(year, month, PulsesByDay(totals.Days(), year, month),
                                              MonthLimit(files), files.Format);
    try {
        if (png) {
            WritePng(RenderChartBitmap(chart), target.string());
        } else if (!ReplaceFileAtomically(target, RenderChartSvg(chart))) {
            throw Error("Unable to write to " + FullPathText(target));
        }
    } catch (const std::exception& e) {
        err << kName << ": " << e.what() << "\n";
        return kReportFailed;
    }
    out << FullPathText(target) << "\n";
    return Finish(totals.Unread(), totals.LineCount(), files, out, err);
}

}  // namespace

bool ParseIsoPeriod(std::string_view text, int& firstKey, int& lastKey) {
    if (text.size() != 4 && text.size() != 7 && text.size() != 10) return false;
    const std::string_view y = text.substr(0, 4);
    if (!AllDigits(y)) return false;
    const int year = std::atoi(std::string(y).c_str());
    if (year < 1) return false;
    if (text.size() == 4) {
        firstKey = year * 10000 + 101;
        lastKey = year * 10000 + 1231;
        return true;
    }
    const std::string_view m = text.substr(5, 2);
    if (text[4] != '-' || !AllDigits(m)) return false;
    const int month = (m[0] - '0') * 10 + (m[1] - '0');
    if (month < 1 || month > 12) return false;
    if (text.size() == 7) {
        firstKey = (year * 100 + month) * 100 + 1;
        lastKey = (year * 100 + month) * 100 + DaysInMonth(year, month);
        return true;
    }
    const std::string_view d = text.substr(8, 2);
    if (text[7] != '-' || !AllDigits(d)) return false;
    const int day = (d[0] - '0') * 10 + (d[1] - '0');
    if (!IsValidDate(year, month, day)) return false;
    firstKey = lastKey = (year * 100 + month) * 100 + day;
    return true;
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const DateParts& today) {
    try {
        const Invocation inv = ParseCommandLine(args);
        if (inv.Version) {
            out << kName << " " << VersionText().substr(VersionText().rfind(' ') + 1);
            return kReportOk;
        }
        if (inv.Help) {
            out << (inv.Command != nullptr ? inv.Command->Help : kGeneralHelp);
            return kReportOk;
        }
        const DateParts day = DateOption(inv, "--today", today);
        ProgramFiles files;
        files.Folder = ChooseProgramFolder(inv.Program.Dir, ExecutableFolder(),
                                           std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        files.Format = inv.Program.Format ? *inv.Program.Format : UserFormatSettings();
        const std::string name = inv.Command->Name;
        if (name == "summary") return Summary(inv, files, out, err);
        if (name == "export") return Export(inv, files, out, err);
        if (name == "forecast") return ForecastCommand(inv, files, day, out, err);
        return ChartCommand(inv, files, day, out, err);
    } catch (const UsageError& e) {
        err << kName << ": " << e.what() << "\nRun " << kName << " --help for the commands.\n";
        return kReportUsage;
    }
}

}  // namespace tt
