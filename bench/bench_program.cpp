// Start-up of the whole program to the tray icon with an empty log and with a 100,000-line one,
// against the log's own load of that file, and one meter tick on-line and idle.
// Run: build/bench/bench/bench_program
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/program.h"
#include "base/datetime.h"
#include "log/log_file.h"
#include "metering/totals.h"
#include "platform/headless/headless_backend.h"
#include "platform/ras/simulated_line.h"

namespace {

namespace fs = std::filesystem;

const tt::FormatSettings kFormat = tt::MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',');
constexpr int kLines = 100'000;
const tt::TDateTime kNow = tt::EncodeDate(2026, 12, 7) + tt::EncodeTime(12, 0, 0);

fs::path Folder(const std::string& name, int lines) {
    const fs::path dir =
        fs::temp_directory_path() / ("tt_bench_program_" + std::to_string(getpid())) / name;
    if (fs::exists(dir)) return dir;
    fs::create_directories(dir);
    if (lines > 0) {
        std::ofstream out(dir / "raport.txt", std::ios::binary);
        for (int i = 0; i < lines; ++i) {
            const int day = 1 + i % 28;
            const int month = 1 + (i / 28) % 12;
            out << 2020 + i / 336 % 7 << '-' << (month < 10 ? "0" : "") << month << '-'
                << (day < 10 ? "0" : "") << day << "\t00:" << 10 + i % 50 << ":12\t" << 1 + i % 40
                << '\t' << i % 40 << ",29\t\r\n";
        }
    }
    return dir;
}

// The program, from construction to the tray icon; building the services and releasing the
// windows afterwards are not timed.
void RunStart(benchmark::State& state, const fs::path& dir) {
    for (auto _ : state) {
        state.PauseTiming();
        auto backend = std::make_unique<tt::headless::HeadlessBackend>();
        backend->SetWallClock(kNow);
        tt::ScriptedHostAddressSource host;
        tt::SimulatedLine line(tt::SimulatedLine::Timing::Virtual);
        state.ResumeTiming();
        auto program = std::make_unique<tt::TTaktomat>(
            tt::TProgramServices{*backend, host, line, dir, kFormat});
        program->Start();
        if (!backend->Tray()) state.SkipWithError("no tray icon");
        state.PauseTiming();
        program.reset();
        state.ResumeTiming();
    }
}

// A settings file of 100 MB: the keys the start reads, then a section of padding.
fs::path HugeSettingsFolder() {
    const fs::path dir =
        fs::temp_directory_path() / ("tt_bench_program_" + std::to_string(getpid())) / "bigini";
    if (fs::exists(dir)) return dir;
    fs::create_directories(dir);
    std::ofstream out(dir / "taktomat.ini", std::ios::binary);
    out << "[OPCJE]\r\nIMPULS1=180\r\n[MAX]\r\nOODL=20\r\n[OKNO]\r\nH=80\r\n[PADDING]\r\n";
    const std::string line = "PAD" + std::string(60, 'x') + "=1\r\n";
    for (size_t done = 0; done < 100u << 20; done += line.size()) out << line;
    return dir;
}

void BM_StartUpEmptyLog(benchmark::State& state) {
    RunStart(state, Folder("empty", 0));
}
void BM_StartUpLog100k(benchmark::State& state) {
    RunStart(state, Folder("big", kLines));
}

// Start-up with a 100 MB "taktomat.ini": the file is read once, whatever the number of keys.
void BM_StartUpSettings100MB(benchmark::State& state) {
    RunStart(state, HugeSettingsFolder());
}

// What the log alone costs for the same file: its load with the totals counted on the way.
void BM_LoadLog100k(benchmark::State& state) {
    const fs::path file = Folder("big", kLines) / "raport.txt";
    for (auto _ : state) {
        tt::TLogLines lines;
        tt::TotalsCounter counter(kNow, kFormat);
        tt::LoadLog(file, lines, &counter);
        benchmark::DoNotOptimize(counter.Result());
    }
}

void RunTicks(benchmark::State& state, bool online) {
    tt::headless::HeadlessBackend backend;
    backend.SetWallClock(kNow);
    tt::ScriptedHostAddressSource host;
    host.Set("127.0.0.1");
    tt::SimulatedLine line(tt::SimulatedLine::Timing::Virtual);
    tt::TTaktomat program(tt::TProgramServices{backend, host, line, Folder("empty", 0), kFormat});
    program.Start();
    backend.Advance(1000);
    if (online) host.Set("10.0.0.1");
    backend.Advance(1000);
    for (auto _ : state) backend.Advance(1000);
}

void BM_TickOnline(benchmark::State& state) {
    RunTicks(state, true);
}
void BM_TickIdle(benchmark::State& state) {
    RunTicks(state, false);
}

}  // namespace

BENCHMARK(BM_StartUpEmptyLog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartUpLog100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartUpSettings100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadLog100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TickOnline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickIdle)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
