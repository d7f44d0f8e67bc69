// One metered connection of the program on the simulated line, on virtual time, printed as the
// meter shows it, with the log line it writes: what the program does, without a display. With
// --snapshot FILE it saves the idle meter's window as the headless backend draws it instead, which
// the desktop smoke compares with the real window.
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/program.h"
#include "base/format.h"
#include "metering/tariff.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/net/host_address.h"
#include "platform/ras/simulated_line.h"

using namespace tt;

namespace {

void TT_RAS_CALL IgnoreDialProgress(uint32_t, uint32_t, uint32_t) {}

std::string LastLine(const std::filesystem::path& file) {
    std::string text = TextFromDisk(ReadWholeFile(file).value_or(""));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
}

std::string Printable(std::string text) {
    for (char& c : text)
        if (c == '\t') c = ' ';
    return text;
}

int Demonstrate(const FormatSettings& format, const std::string& snapshot) {
    char pattern[] = "/tmp/taktomat-demo-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("taktomat-demo: no folder for the demonstration");
        return 1;
    }
    // The demonstration's folder goes with it, however it ends.
    struct Scratch {
        std::filesystem::path Folder;
        ~Scratch() {
            std::error_code ec;
            std::filesystem::remove_all(Folder, ec);
        }
    } scratch{pattern};
    const std::filesystem::path& folder = scratch.Folder;
    {
        headless::HeadlessBackend backend;
        ScriptedHostAddressSource host;
        SimulatedLine line(SimulatedLine::Timing::Virtual,
                           [&host](std::optional<std::string> a) { host.Set(std::move(a)); });
        host.Set("127.0.0.1");
        line.SetPhoneBook({"Internet"});
        backend.SetRealWaitLimit(0);
        backend.SetTimeHook([&line](int64_t ms) { line.AdvanceTo(ms); });
        // Its second place goes with the folder too.
        TTaktomat program(TProgramServices{backend, host, line, folder, format,
                                           folder / ".state" / "raport-unsaved.txt"});
        HeadlessDriver driver(program.App(), backend);
        // The line's events of each second come before the program's timers of that second.
        const auto advance = [&](int64_t ms) {
            const int64_t end = backend.MonotonicMs() + ms;
            while (backend.MonotonicMs() < end) {
                const int64_t step = std::min<int64_t>(end - backend.MonotonicMs(), 100);
                line.AdvanceTo(backend.MonotonicMs() + step);
                backend.Advance(step);
            }
        };
        program.Start();
        advance(1000);
        if (!snapshot.empty()) {
            driver.TrayClick();
            advance(500);
            driver.SavePng("frmTaktomat", snapshot);
            return 0;
        }

        std::printf("Dialling \"Internet\" on the simulated line at %s %s\n",
                    DateToStr(backend.WallClock(), format).c_str(),
                    TimeToStr(backend.WallClock(), format).c_str());
        RASDIALPARAMSA params{};
        params.dwSize = sizeof params;
        std::string("Internet").copy(params.szEntryName, 8);
        HRasConn connection = 0;
        if (line.RasDialA(nullptr, nullptr, &params, 0, &IgnoreDialProgress, &connection) != 0) {
            std::fprintf(stderr, "taktomat-demo: the simulated line would not dial\n");
            return 1;
        }
        const TTariffTable tariff;
        std::printf("%-8s %-10s %-6s %-4s %s\n", "after", "time", "pulses", "zone", "cost");
        for (int minute = 1; minute <= 7; ++minute) {
            advance(int64_t{60} * 1000);
            const TDateTime now = backend.WallClock();
            const int zone = ZoneOfTime(tariff, now - std::floor(now));
            const long double pulses = std::stold(program.ValueOf("PulseCount").value_or("0"));
            std::printf(
                "%2d min   %-10s %-6s %-4d %s zł\n", minute,
                driver.Property("frmTaktomat.lblCzasPol", "Caption").c_str(),
                program.ValueOf("PulseCount").value_or("?").c_str(), zone,
                FloatToStr(pulses * tariff.PulsePrice[static_cast<size_t>(zone)], format).c_str());
        }
        line.RasHangUpA(connection);
        advance(3000);
        const std::string record = LastLine(folder / "raport.txt");
        if (record.empty()) {
            std::fprintf(stderr, "taktomat-demo: the connection left no line in raport.txt\n");
            return 1;
        }
        std::printf("Hung up. raport.txt: %s\n", Printable(record).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string snapshot;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--snapshot" && i + 1 < argc) {
            snapshot = argv[++i];
        } else {
            args.push_back(arg);
        }
    }
    const ParsedOptions parsed = ParseOptions(args);
    if (!parsed.Ok() || parsed.Options.Help) {
        std::fprintf(
            parsed.Ok() ? stdout : stderr,
            "usage: taktomat-demo [--locale SHORTDATE LONGTIME DECIMAL] [--snapshot FILE]\n");
        return parsed.Ok() ? 0 : 2;
    }
    const FormatSettings format =
        parsed.Options.Format ? *parsed.Options.Format : UserFormatSettings();
    try {
        return Demonstrate(format, snapshot);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taktomat-demo: %s\n", e.what());
        return 1;
    }
}
