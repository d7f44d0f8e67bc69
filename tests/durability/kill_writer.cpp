// The whole program on the headless backend over a folder, ending one connection after another
// as fast as it can, each one a day after the last, for kill_loop.sh to kill -9 while it writes
// and for the power cuts of the test machine (tests/vm/power_cut.sh).
//   taktomat-kill-writer DIR write     meter and log until killed
//   taktomat-kill-writer DIR confirm   the same, and print "kept|" and the record (TABs as |)
//                                      once its save has returned, "writing" when the start is
//                                      done: what the program told the user it had saved
//   taktomat-kill-writer DIR start     only start and end (the next start after the kills)
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "app/single_copy.h"
#include "base/datetime.h"
#include "base/files.h"
#include "log/log_file.h"
#include "platform/headless/headless_backend.h"
#include "platform/net/host_address.h"
#include "platform/ras/simulated_line.h"
#include "session/session.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: taktomat-kill-writer DIR write|confirm|start\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::string mode = argv[2];
    tt::TFolderLock lock(folder);
    if (!lock.Held()) return 3;
    // Each record is dated one day after the last the file holds, so a record written twice
    // shows as a date that does not grow. The start may add the record of the connection that
    // the last kill cut off, dated as the day it was metered on: the count is taken after it.
    const std::string text = tt::ReadWholeFile(folder / "raport.txt").value_or("");
    int64_t day = 0;
    for (const char c : text) day += c == '\n';
    const tt::TDateTime base = tt::EncodeDate(1900, 1, 1);
    tt::headless::HeadlessBackend backend;
    backend.SetWallClock(base + static_cast<double>(day) + 0.5);
    tt::ScriptedHostAddressSource host;
    host.Set("127.0.0.1");
    tt::SimulatedLine line(tt::SimulatedLine::Timing::Virtual);
    tt::TTaktomat program(tt::TProgramServices{
        backend, host, line, folder, tt::MakeFormatSettings("yyyy-mm-dd", "hh:nn:ss", ','),
        folder / "unsaved" / "raport.txt"});
    program.Start();
    if (mode != "write" && mode != "confirm") return 0;
    // The lines the file held are not this run's to confirm; those the start took back are,
    // once saved. Printed in one write each, flushed, on a console that may expand TABs.
    size_t confirmed = static_cast<size_t>(day);
    const auto confirm = [&] {
        if (mode != "confirm") return;
        const tt::TLogLines& lines = program.Session().LogLines();
        for (; confirmed < lines.Saved; ++confirmed) {
            std::string out = "kept|" + std::string(lines[confirmed]) + "\n";
            for (char& c : out) c = c == '\t' ? '|' : c;
            std::fputs(out.c_str(), stdout);
            std::fflush(stdout);
        }
    };
    confirm();
    if (mode == "confirm") {
        std::puts("writing");
        std::fflush(stdout);
    }
    day = std::stoll(program.ValueOf("LogLines").value_or("0"));
    backend.SetWallClock(base + static_cast<double>(day) + 0.5);
    for (;;) {
        host.Set("10.0.0.1");
        backend.Advance(1000);
        host.Set("127.0.0.1");
        backend.Advance(1000);
        confirm();
        ++day;
        backend.SetWallClock(base + static_cast<double>(day) + 0.5);
    }
}
