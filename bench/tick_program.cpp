// N steady on-line ticks and N idle ticks of the whole program on the headless backend, for
// callgrind to count (bench/tick_instructions.sh). The main window is shown, so every tick
// repaints what it changed. With --snapshot DIR it saves the main window full and rolled up.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "app/u_taktomat.h"
#include "base/datetime.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/ras/simulated_line.h"

namespace fs = std::filesystem;

// Separate functions, so callgrind can count each phase on its own (--toggle-collect).
__attribute__((noinline)) void OnlineTicks(tt::headless::HeadlessBackend& backend, int n) {
    for (int i = 0; i < n; ++i) backend.Advance(1000);
}
__attribute__((noinline)) void IdleTicks(tt::headless::HeadlessBackend& backend, int n) {
    for (int i = 0; i < n; ++i) backend.Advance(1000);
}

int main(int argc, char** argv) {
    int n = 1000;
    std::string snapshots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--snapshot" && i + 1 < argc)
            snapshots = argv[++i];
        else
            n = std::atoi(argv[i]);
    }
    const fs::path dir = fs::temp_directory_path() / ("tt_tick_" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        tt::headless::HeadlessBackend backend;
        backend.SetWallClock(tt::EncodeDate(2026, 12, 7) + tt::EncodeTime(12, 0, 0));
        tt::ScriptedHostAddressSource host;
        host.Set("10.0.0.1");
        tt::SimulatedLine line(tt::SimulatedLine::Timing::Virtual);
        tt::TTaktomat program(tt::TProgramServices{
            backend, host, line, dir, tt::MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',')});
        program.Start();
        tt::HeadlessDriver driver(program.App(), backend);
        driver.TrayClick();
        backend.Advance(1000);  // the first tick starts the connection
        OnlineTicks(backend, n);
        if (!snapshots.empty()) {
            driver.SavePng("frmTaktomat", snapshots + "/main_full.png", 4);
            tt::TfrmTaktomat& w = program.MainWindow();
            w.klawiszeOkna->SetCommandIndex(0);
            w.klawiszeOknaClick(w.klawiszeOkna);
            backend.Advance(1000);
            driver.SavePng("frmTaktomat", snapshots + "/main_rolled.png", 4);
        }
        host.Set("127.0.0.1");
        backend.Advance(1000);  // the end of the connection
        IdleTicks(backend, n);
        std::printf("PulseCount after: %s, LogLines: %s\n", program.ValueOf("PulseCount")->c_str(),
                    program.ValueOf("LogLines")->c_str());
    }
    fs::remove_all(dir);
    return 0;
}
