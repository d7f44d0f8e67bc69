// The log's load, totals and append against the system's own tools on the same file, and
// what the on-line probe costs on every tick. Run: build/bench/bench/bench_foundation, best
// with --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true on a busy machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/files.h"
#include "log/log_file.h"
#include "metering/online_probe.h"
#include "metering/totals.h"
#include "tools/report/report_cli.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const tt::FormatSettings kPolish = tt::MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');
constexpr int kLines = 1'000'000;

fs::path Folder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("tt_bench_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// A million records spread over the years, as years of use would leave them.
const fs::path& BigLog() {
    static const fs::path file = [] {
        std::string text;
        text.reserve(kLines * 32);
        const tt::TDateTime first = tt::EncodeDate(1999, 1, 1);
        for (int i = 0; i < kLines; ++i) {
            const int pulses = 1 + i % 97;
            text += tt::FormatRecord(first + i / 100, (i % 5000) / 86400.0, pulses, pulses * 0.29L,
                                     kPolish);
            text += "\r\n";
        }
        const fs::path f = Folder() / "raport.txt";
        tt::ReplaceFileAtomically(f, text);
        return f;
    }();
    return file;
}

double ChildCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs a program without a shell and waits for it, its output thrown away.
void Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_LoadLogAndTotals(benchmark::State& state) {
    const fs::path& file = BigLog();
    const tt::TDateTime today = tt::EncodeDate(2001, 3, 15);
    for (auto _ : state) {
        // As the start does it: the totals are counted while the file is read.
        tt::TLogLines lines;
        tt::TotalsCounter counter(today, kPolish);
        tt::LoadLog(file, lines, &counter);
        const tt::TTotals totals = counter.Result();
        benchmark::DoNotOptimize(totals);
        if (lines.size() != kLines) state.SkipWithError("short load");
    }
}

// taktomat-report summary over the same log, printing its table of 10,000 days: the tool
// reads every field of every line where the program's start reads two.
void BM_ReportSummary(benchmark::State& state) {
    const fs::path& file = BigLog();
    const std::vector<std::string> args = {
        "summary", "--dir", file.parent_path().string(), "--locale", "yyyy-mm-dd", "hh:mm:ss", ","};
    for (auto _ : state) {
        std::ostringstream out, err;
        const int code = tt::RunReport(args, out, err, tt::DateParts{2001, 3, 15});
        if (code != 0 || out.str().find("Total") == std::string::npos)
            state.SkipWithError("the summary failed");
    }
}

// The tools' own CPU time is the children's, which the benchmark's CPU column does not see.
void ReportChildCpu(benchmark::State& state, double startMs) {
    state.counters["child_cpu_ms"] =
        benchmark::Counter(ChildCpuMs() - startMs, benchmark::Counter::kAvgIterations);
}

// Only the read of the file into memory: the floor under any load that keeps the lines.
void BM_ReadWholeFile(benchmark::State& state) {
    const fs::path& file = BigLog();
    for (auto _ : state) benchmark::DoNotOptimize(tt::ReadWholeFile(file));
}

void BM_WcL(benchmark::State& state) {
    const fs::path& file = BigLog();
    const double start = ChildCpuMs();
    for (auto _ : state) Run({"wc", "-l", file.string()});
    ReportChildCpu(state, start);
}

// What the program does at the end of a connection: the record added, the whole log replaced.
void BM_SaveRecord(benchmark::State& state) {
    tt::TLogLines lines;
    tt::LoadLog(BigLog(), lines);
    const fs::path target = Folder() / "append.txt";
    for (auto _ : state) {
        lines.Add(tt::FormatRecord(tt::EncodeDate(2001, 3, 15), 754.0 / 86400, 5, 1.45L, kPolish));
        tt::SaveLog(lines, target);
    }
}

void BM_Cp(benchmark::State& state) {
    const fs::path& file = BigLog();
    const std::string target = (Folder() / "copy.txt").string();
    const double start = ChildCpuMs();
    for (auto _ : state) Run({"cp", file.string(), target});
    ReportChildCpu(state, start);
}

void BM_ProbeOnlinePosix(benchmark::State& state) {
    tt::PosixHostAddressSource source;
    bool IsOnline = false;
    for (auto _ : state) benchmark::DoNotOptimize(tt::ProbeOnline(source, IsOnline));
}

BENCHMARK(BM_LoadLogAndTotals)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReportSummary)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_WcL)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_SaveRecord)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ProbeOnlinePosix)->Unit(benchmark::kMicrosecond);

// Prints the ratios the targets are stated in, after the usual table. With repetitions the
// medians are compared: on a shared machine one run of either side can be far off.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Aggregate && !median) continue;
            Times& t = times_[r.run_name.str()];
            if (t.median && !median) continue;
            t.median = median;
            t.real = r.GetAdjustedRealTime();
            t.cpu = r.GetAdjustedCPUTime();
            if (auto c = r.counters.find("child_cpu_ms"); c != r.counters.end()) t.cpu = c->second;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        Ratio("BM_LoadLogAndTotals", "BM_WcL", "load + totals / wc -l", 3);
        Ratio("BM_SaveRecord", "BM_Cp", "record saved / cp", 2);
        Ratio("BM_ReportSummary", "BM_LoadLogAndTotals", "report summary / load", 3);
    }

  private:
    void Ratio(const std::string& ours, const std::string& tool, const char* what, double limit) {
        const Times a = Find(ours);
        const Times b = Find(tool);
        if (a.real > 0 && b.real > 0 && b.cpu > 0) {
            std::printf("%-24s wall %6.2f x, cpu %6.2f x  (target at most %.0f x)\n", what,
                        a.real / b.real, a.cpu / b.cpu, limit);
        }
    }
    struct Times {
        double real = 0;
        double cpu = 0;
        bool median = false;
    };
    Times Find(const std::string& prefix) const {
        for (const auto& [name, t] : times_) {
            if (name.rfind(prefix + "/", 0) == 0 || name == prefix) return t;
        }
        return {};
    }
    std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(Folder(), ec);
    return 0;
}
