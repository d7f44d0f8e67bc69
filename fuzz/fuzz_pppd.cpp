// pppd's output and the pid files in /run come from outside the program: any bytes must follow
// a dial safely, the states must only ever move forward, and pid files must never name a
// process the program would then signal without it being a live pppd.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/ras/pppd_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tt::PppdDialProgress progress;
    progress.Start();
    uint32_t last = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        for (const uint32_t state : progress.Line(text.substr(start, end - start))) {
            if (state < last) std::abort();
            last = state;
        }
        start = end + 1;
    }
    const uint32_t error = progress.Ended(static_cast<int>(size % 21), 0, false);
    if (progress.Connected() != (error == 0)) std::abort();

    // The same bytes as a pid file: nothing but a live pppd may come out. The folder goes when
    // the fuzzer ends, so that runs in CI leave nothing behind.
    static const struct Folder {
        std::filesystem::path path = [] {
            char pattern[] = "/tmp/fuzz-pppd-XXXXXX";
            return std::filesystem::path(mkdtemp(pattern));
        }();
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } folder;
    const std::filesystem::path& run = folder.path;
    std::ofstream(run / "ppp0.pid", std::ios::binary) << text;
    std::ofstream(run / "ppp-x.pid", std::ios::binary) << text;
    for (const tt::PppdLink& link : tt::FindPppdLinks(run.string(), "/proc")) {
        (void)link;
        std::abort();  // no pppd runs where the fuzzer runs
    }
    return 0;
}
