// The whole program on a real pppd link, inside the test machine: the headless backend with
// the program's pppd layer and on-line probe, driven as a user would drive it.
//   vm_program dial FOLDER        dial "isp" from the connect window, meter, hang up with the
//                                 disconnect command: one record
//   vm_program lost FOLDER PIDFILE  the same, but the far end hangs up (the far pppd's pid is
//                                 in PIDFILE): the meter sees the link go, one record
//   vm_program disconnect FOLDER  the disconnect command ends a link started outside
// Prints what it sees, one "name: value" a line, and exits 0 when every check held.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "app/program.h"
#include "base/files.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_driver.h"
#include "platform/net/host_address.h"
#include "platform/ras/pppd_line.h"

using namespace tt;

namespace {

int gFailures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++gFailures;
}

int RecordCount(const std::string& folder) {
    const std::string text = TextFromDisk(ReadWholeFile(folder + "/raport.txt").value_or(""));
    int lines = 0;
    for (const char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vm_program dial|lost|disconnect FOLDER [PIDFILE]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string folder = argv[2];
    headless::HeadlessBackend backend;
    backend.SetRealWaitLimit(20);
    const auto host = MakeOnlineAddressSource(OnlineRule{});
    PppdLine line;
    TTaktomat program(TProgramServices{backend, *host, line, folder,
                                       MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ',')});
    HeadlessDriver driver(program.App(), backend);
    // Virtual time keeps pace with the real link.
    const auto run = [&](int64_t ms, const std::function<bool()>& until = {}) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            backend.Advance(20);
            if (until && until()) return true;
        }
        return false;
    };
    const auto value = [&](const char* name) { return program.ValueOf(name).value_or("?"); };

    program.Start();
    run(1500);
    driver.TrayClick();
    run(200);
    Check(value("IsOnline") == (mode == "disconnect" ? "true" : "false"),
          "at start IsOnline " + value("IsOnline"));
    if (mode == "disconnect") {
        // The outside link is left up at start and metered; the disconnect command ends it.
        driver.TrayMenu("Rozłącz");
        const bool off = run(20000, [&] { return value("IsOnline") == "false"; });
        Check(off, "after the disconnect command IsOnline " + value("IsOnline"));
        RASCONNA records[4] = {};
        records[0].dwSize = sizeof(RASCONNA);
        uint32_t size = sizeof records;
        uint32_t count = 9;
        line.RasEnumConnectionsA(records, &size, &count);
        Check(count == 0, "active connections afterwards " + std::to_string(count));
        return gFailures == 0 ? 0 : 1;
    }

    driver.TrayMenu("Połącz");
    run(300);
    const std::string entries = driver.Property("frmConnect.cmbEntry", "Items");
    Check(entries.find("isp") != std::string::npos, "connect window entries " + entries);
    driver.Select("frmConnect.cmbEntry", "isp");
    driver.Click("frmConnect.Klawisze", 10, 10);
    std::string last;
    const bool connected = run(60000, [&] {
        const std::string caption = driver.Property("frmConnect.lblStatus", "Caption");
        if (caption != last) {
            std::printf("label: %s\n", caption.c_str());
            std::fflush(stdout);
            last = caption;
        }
        return caption == "Podłączony" || caption == "Wystąpił błąd podłączania...";
    });
    Check(connected && last == "Podłączony", "the connect window shows " + last);
    run(4500);
    Check(value("IsOnline") == "true", "metering: IsOnline " + value("IsOnline"));
    Check(value("PulseCount") != "0" && value("PulseCount") != "?",
          "metering: PulseCount " + value("PulseCount"));
    std::printf("metering: ConnectionTime %s\n", value("ConnectionTime").c_str());
    if (mode == "lost") {
        std::ifstream pidFile(argc > 3 ? argv[3] : "/tmp/far.pid");
        int far = 0;
        pidFile >> far;
        Check(far > 0 && kill(far, SIGTERM) == 0,
              "the far end hangs up (pid " + std::to_string(far) + ")");
    } else {
        driver.TrayMenu("Rozłącz");
    }
    const bool recorded = run(30000, [&] { return RecordCount(folder) > 0; });
    run(3000);  // a second record would come within a few ticks
    Check(recorded && RecordCount(folder) == 1,
          "records in raport.txt " + std::to_string(RecordCount(folder)));
    std::printf("record: %s\n",
                TextFromDisk(ReadWholeFile(folder + "/raport.txt").value_or("")).c_str());
    Check(value("IsOnline") == "false", "afterwards IsOnline " + value("IsOnline"));
    return gFailures == 0 ? 0 : 1;
}
