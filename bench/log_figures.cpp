// Two figures of the log and settings, printed: the memory the report window's copy of a log
// of 50 MB of empty lines takes, against the log's size; and how long the start takes with a
// 100 MB "taktomat.ini", against one reading of that file.
// Run: build/ci/bench/log_figures [MB of empty lines, default 50] [MB of settings, default 100]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/program.h"
#include "app/u_taktomat.h"
#include "base/datetime.h"
#include "base/files.h"
#include "platform/headless/headless_backend.h"
#include "platform/ras/simulated_line.h"
#include "testing/resident_memory.h"

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Program {
    explicit Program(const fs::path& dir) : line(tt::SimulatedLine::Timing::Virtual) {
        backend.SetWallClock(tt::EncodeDate(2026, 12, 7) + tt::EncodeTime(12, 0, 0));
        program = std::make_unique<tt::TTaktomat>(tt::TProgramServices{
            backend, host, line, dir, tt::MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',')});
    }
    tt::headless::HeadlessBackend backend;
    tt::ScriptedHostAddressSource host;
    tt::SimulatedLine line;
    std::unique_ptr<tt::TTaktomat> program;
};

}  // namespace

int main(int argc, char** argv) {
    const size_t logMb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const size_t iniMb = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
    const fs::path root =
        fs::temp_directory_path() / ("tt_log_figures_" + std::to_string(getpid()));
    fs::create_directories(root / "log");
    fs::create_directories(root / "ini");
    {
        std::ofstream out(root / "log" / "raport.txt", std::ios::binary);
        const std::string block(1 << 20, '\n');
        std::string crlf;
        for (size_t i = 0; i < block.size() / 2; ++i) crlf += "\r\n";
        for (size_t i = 0; i < logMb; ++i) out << crlf;
    }
    {
        std::ofstream out(root / "ini" / "taktomat.ini", std::ios::binary);
        out << "[OPCJE]\r\nIMPULS1=180\r\n[MAX]\r\nOODL=20\r\n[OKNO]\r\nH=80\r\n[PADDING]\r\n";
        const std::string line = "PAD" + std::string(60, 'x') + "=1\r\n";
        for (size_t done = 0; done < (iniMb << 20); done += line.size()) out << line;
    }

    {
        Program p(root / "log");
        p.program->Start();
        tt::TfrmTaktomat& main = p.program->MainWindow();
        const long long before = tt::ResidentBytes();
        // The report command: the window is filled with a copy of the log and shown.
        main.Klawisze->SetCommandIndex(1);
        main.KlawiszeClick(main.Klawisze);
        const long long copy = tt::ResidentBytes() - before;
        const double size = static_cast<double>(logMb << 20);
        std::printf("report window: log of %zu MB (%s lines), copy %.1f MB = %.2f x the log\n",
                    logMb, p.program->ValueOf("LogLines").value_or("?").c_str(),
                    static_cast<double>(copy) / (1 << 20), static_cast<double>(copy) / size);
    }
    {
        const fs::path ini = root / "ini" / "taktomat.ini";
        auto t = std::chrono::steady_clock::now();
        const auto bytes = tt::ReadWholeFile(ini);
        const double once = Seconds(t);
        Program p(root / "ini");
        t = std::chrono::steady_clock::now();
        p.program->Start();
        const double start = Seconds(t);
        std::printf(
            "settings: %zu MB taktomat.ini read whole %s times at start, start %.2f s, one reading "
            "%.2f s (%zu bytes)\n",
            iniMb, p.program->ValueOf("SettingsReadings").value_or("?").c_str(), start, once,
            bytes ? bytes->size() : 0);
    }
    fs::remove_all(root);
    return 0;
}
