// A month and more of random use on virtual time, seeded: connections of random length, stalls
// of the window thread, wall-clock jumps and restarts (some while on-line). After every step the
// log holds one record per finished connection, each with the pulses that the counting rule
// gives for its duration, the day and month totals are what the log says, and memory stays flat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/program.h"
#include "base/datetime.h"
#include "base/files.h"
#include "log/log_file.h"
#include "platform/headless/headless_backend.h"
#include "platform/net/host_address.h"
#include "platform/ras/simulated_line.h"
#include "testing/resident_memory.h"
#include "testing/test_temp_folder.h"
#include "testing/totals_by_definition.h"

namespace tt {
namespace {

constexpr int kPulseLength = 30;

long long ResidentKb() {
    return ResidentBytes() / 1024;
}

// Pulse 1 at the first on-line tick, then one more each time the connection's elapsed time
// passes a multiple of the pulse length.
int32_t PulsesByRule(int seconds) {
    return seconds <= 0 ? 1 : 1 + (seconds - 1) / kPulseLength;
}

int SecondsOf(std::string_view text, const FormatSettings& fs) {
    TDateTime t = 0;
    EXPECT_TRUE(TryStrToTime(text, fs, t)) << text;
    return SecondOfDay(t);
}

TEST(Soak, AMonthOfRandomUseKeepsEveryRecordOnceAndTheTotalsEqualToTheLog) {
    const char* seedText = std::getenv("TT_SOAK_SEED");
    const unsigned seed =
        seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 2026;
    SCOPED_TRACE("TT_SOAK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };

    // In memory where the machine has it: the program flushes its second place at every pulse,
    // and a month of pulses on a real disk measures the disk, not the counting.
    std::error_code ec;
    const testing::TempFolder folder("tt_soak", std::filesystem::is_directory("/dev/shm", ec)
                                                    ? std::filesystem::path("/dev/shm")
                                                    : std::filesystem::temp_directory_path());
    {
        std::ofstream ini(folder / "taktomat.ini", std::ios::binary);
        ini << "[MAX]\r\nOODL=0\r\n[OPCJE]\r\nIMPULS1=30\r\nIMPULS2=30\r\nIMPULS3=30\r\n";
    }
    const FormatSettings fs = MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',');
    headless::HeadlessBackend backend;
    backend.SetWallClock(EncodeDate(2026, 11, 20) + EncodeTime(9, 0, 0));
    ScriptedHostAddressSource host;
    host.Set("127.0.0.1");
    SimulatedLine line(SimulatedLine::Timing::Virtual);
    std::unique_ptr<TTaktomat> program;
    const auto start = [&] {
        program = std::make_unique<TTaktomat>(
            TProgramServices{backend, host, line, folder.Path(), fs, folder / "unsaved.txt"});
        program->Start();
    };
    const auto value = [&](std::string_view name) { return program->ValueOf(name).value_or("?"); };
    start();

    size_t finished = 0;
    int restarts = 0, jumps = 0, stalls = 0;
    long long settledKb = 0;
    const TDateTime end = backend.WallClock() + 35;
    int step = 0;
    const auto check = [&](const char* where) {
        SCOPED_TRACE(std::string(where) + ", step " + std::to_string(step));
        TLogLines log;
        LoadLog(folder / "raport.txt", log);
        ASSERT_EQ(log.size(), finished);
        for (size_t i = 0; i < log.size(); ++i) {
            const int seconds = SecondsOf(FieldView(log[i], 1), fs);
            int32_t pulses = 0;
            ASSERT_TRUE(TryDecimalToInt(FieldView(log[i], 2), pulses)) << log[i];
            ASSERT_EQ(pulses, PulsesByRule(seconds)) << "line " << i << ": " << log[i];
        }
        const TTotals expected = TotalsByDefinition(log, backend.WallClock(), fs);
        ASSERT_EQ(value("DayPulses"), std::to_string(expected.DayPulses));
        ASSERT_EQ(value("MonthPulses"), std::to_string(expected.MonthPulses));
    };

    while (backend.WallClock() < end) {
        ++step;
        // Idle for a while, sometimes across midnight.
        backend.Advance(int64_t{1000} * pick(2, 4 * 3600));
        const int what = pick(0, 19);
        if (what == 0) {
            // The clock is set to another time, back or forth, up to two days.
            backend.SetWallClock(backend.WallClock() + pick(-48 * 60, 48 * 60) / 1440.0);
            ++jumps;
            backend.Advance(1000);
            ASSERT_NO_FATAL_FAILURE(check("after a clock jump"));
            continue;
        }
        if (what == 1) {
            program.reset();
            start();
            ++restarts;
            ASSERT_NO_FATAL_FAILURE(check("after a restart"));
            continue;
        }
        // A connection: on-line for a random time, with a stall now and then.
        host.Set("10.0.0.1");
        const int seconds = pick(1, 3 * 3600);
        backend.Advance(int64_t{1000} * (seconds / 2));
        if (pick(0, 3) == 0) {
            backend.Stall(int64_t{1000} * pick(2, 600));
            ++stalls;
        }
        backend.Advance(int64_t{1000} * (seconds - seconds / 2));
        if (pick(0, 9) == 0) {
            // Restarted while on-line: the end of the program writes the connection.
            program.reset();
            ++finished;
            start();
            ++restarts;
            backend.Advance(1000);  // the new copy meters the line that is still up
        }
        host.Set("127.0.0.1");
        backend.Advance(2000);
        ++finished;
        ASSERT_NO_FATAL_FAILURE(check("after a connection"));
        if (settledKb == 0 && step > 50) settledKb = ResidentKb();
    }
    EXPECT_GE(restarts, 3);
    EXPECT_GE(jumps, 3);
    EXPECT_GE(stalls, 3);
    EXPECT_GT(finished, 200u);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A few hundred records add kilobytes; anything more would be a leak.
    EXPECT_LT(ResidentKb() - settledKb, 4096) << "from " << settledKb << " kB";
#endif
    program.reset();
    std::printf("soak seed %u: %zu connections, %d restarts, %d clock jumps, %d stalls\n", seed,
                finished, restarts, jumps, stalls);
}

}  // namespace
}  // namespace tt
