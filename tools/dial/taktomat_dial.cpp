// taktomat-dial: the program's dial-up layer and on-line probe from the command line, for
// scripts and for checking a set-up.
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "dialup/state_texts.h"
#include "metering/online_probe.h"
#include "platform/ras/pppd_line.h"
#include "settings/settings.h"

using namespace tt;

namespace {

constexpr const char* kUsage =
    "Usage: taktomat-dial [--peers DIR] [--dir DIR] COMMAND\n"
    "The dial-up links of Taktomat 2000, through pppd.\n"
    "\n"
    "  list              the phone-book entries, one a line\n"
    "  dial NAME         dial an entry, print each state; exit 0 once connected\n"
    "                    (the link stays up), or print the error and exit 1\n"
    "  status            the active connections: entry name, TAB, device\n"
    "  hangup NAME|all   hang up the entry's links, or every link; exit 0 once gone\n"
    "  online            print \"on-line ADDRESS\" (exit 0) or \"off-line\" (exit 1)\n"
    "\n"
    "  --peers DIR       pppd peer files in DIR instead of /etc/ppp/peers\n"
    "  --dir DIR         where taktomat.ini says which links count as on-line\n";

std::string UserName() {
    const passwd* user = getpwuid(getuid());
    return user != nullptr ? user->pw_name : "USER";
}

struct Report {
    uint32_t State;
    uint32_t Error;
};

std::mutex gMutex;
std::condition_variable gChanged;
std::deque<Report> gReports;

void TT_RAS_CALL Notifier(uint32_t, uint32_t state, uint32_t error) {
    {
        std::lock_guard lock(gMutex);
        gReports.push_back({state, error});
    }
    gChanged.notify_all();
}

std::vector<RASCONNA> Connections(PppdLine& line, uint32_t& result) {
    std::vector<RASCONNA> records(256);
    records[0].dwSize = sizeof(RASCONNA);
    uint32_t size = static_cast<uint32_t>(records.size() * sizeof(RASCONNA));
    uint32_t count = 0;
    result = line.RasEnumConnectionsA(records.data(), &size, &count);
    records.resize(result == 0 ? count : 0);
    return records;
}

int List(PppdLine& line) {
    const std::string& folder = line.Settings().PeersDir;
    const PeerFolder peers = ScanPeerFolder(folder);
    for (const std::string& name : peers.Names) std::printf("%s\n", name.c_str());
    if (!peers.AnyUnreadable()) return 0;
    // A list that leaves out what may not be read would look complete.
    std::string what = "the folder itself";
    if (!peers.FolderUnreadable) {
        what.clear();
        for (const std::string& name : peers.Unreadable) what += (what.empty() ? "" : ", ") + name;
    }
    std::fprintf(stderr, "taktomat-dial: cannot read the peer files in %s (%s)", folder.c_str(),
                 what.c_str());
    if (!peers.ReaderGroup.empty()) {
        std::fprintf(stderr, ": only the group %s may; join it (adduser %s %s) and log in again",
                     peers.ReaderGroup.c_str(), UserName().c_str(), peers.ReaderGroup.c_str());
    }
    std::fputs("\n", stderr);
    return 1;
}

int Dial(PppdLine& line, const std::string& name) {
    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    if (name.size() > static_cast<size_t>(kRasMaxEntryName)) {
        std::fprintf(stderr, "%s\n", RasErrorText(line, kErrorCannotFindPhonebookEntry).c_str());
        return 1;
    }
    std::memcpy(params.szEntryName, name.data(), name.size());
    HRasConn handle = 0;
    if (const uint32_t code = line.RasDialA(nullptr, nullptr, &params, 0, &Notifier, &handle);
        code != 0) {
        std::fprintf(stderr, "%s\n", RasErrorText(line, code).c_str());
        return 1;
    }
    for (;;) {
        Report report;
        {
            std::unique_lock lock(gMutex);
            gChanged.wait(lock, [] { return !gReports.empty(); });
            report = gReports.front();
            gReports.pop_front();
        }
        std::printf(
            "%s\n",
            ConnectionStateText(line, TLanguage::Polish, report.State, report.Error).c_str());
        std::fflush(stdout);
        if (report.Error != 0) return 1;
        if (report.State == RASCS_Connected) return 0;
    }
}

int Status(PppdLine& line) {
    uint32_t result = 0;
    for (const RASCONNA& c : Connections(line, result)) {
        std::printf("%s\t%s\n", c.szEntryName, c.szDeviceName);
    }
    if (result != 0) std::fprintf(stderr, "%s\n", RasErrorText(line, result).c_str());
    return result == 0 ? 0 : 1;
}

int HangUp(PppdLine& line, const std::string& name) {
    uint32_t result = 0;
    std::vector<HRasConn> asked;
    int failed = 0;
    for (const RASCONNA& c : Connections(line, result)) {
        if (name != "all" && name != c.szEntryName) continue;
        if (const uint32_t code = line.RasHangUpA(c.hrasconn); code != 0) {
            std::fprintf(stderr, "%s: %s\n", c.szEntryName, RasErrorText(line, code).c_str());
            ++failed;
        } else {
            asked.push_back(c.hrasconn);
        }
    }
    if (result != 0) {
        std::fprintf(stderr, "%s\n", RasErrorText(line, result).c_str());
        return 1;
    }
    if (asked.empty() && failed == 0 && name != "all") {
        std::fprintf(stderr, "taktomat-dial: no connection of %s\n", name.c_str());
        return 1;
    }
    // pppd takes a moment to end the link; wait for it, but not for ever.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (const HRasConn handle : asked) {
        RASCONNSTATUSA status{};
        status.dwSize = sizeof status;
        while (line.RasGetConnectStatusA(handle, &status) != kErrorInvalidHandle) {
            if (std::chrono::steady_clock::now() > end) {
                std::fprintf(stderr, "taktomat-dial: a link did not end within 30 seconds\n");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    return failed == 0 ? 0 : 1;
}

int Online(const std::string& dir) {
    const OnlineRule rule = ReadOnlineRule(TSettings(ProgramFolder(dir) / "taktomat.ini"));
    const auto address = MakeOnlineAddressSource(rule)->FirstIPv4();
    if (IsOnlineAddress(address)) {
        std::printf("on-line %s\n", address->c_str());
        return 0;
    }
    std::printf("off-line\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    PppdLine::Config config;
    std::string dir;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--peers" || arg == "--dir") && i + 1 < argc && argv[i + 1][0] != '\0') {
            std::string value = argv[++i];
            while (value.size() > 1 && value.back() == '/') value.pop_back();
            (arg == "--peers" ? config.PeersDir : dir) = value;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg.starts_with("--")) {
            std::fprintf(stderr, "taktomat-dial: unknown option: %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            args.push_back(arg);
        }
    }
    // A test-only stand-in for pppd.
    if (const char* pppd = std::getenv("TAKTOMAT_TEST_PPPD")) config.Pppd = pppd;
    const std::string command = args.empty() ? "" : args[0];
    const size_t wanted = command == "dial" || command == "hangup" ? 2 : 1;
    if (args.size() != wanted || (command != "list" && command != "dial" && command != "status" &&
                                  command != "hangup" && command != "online")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (command == "online") return Online(dir);
    PppdLine line(config);
    if (command == "list") return List(line);
    if (command == "dial") return Dial(line, args[1]);
    if (command == "status") return Status(line);
    return HangUp(line, args[1]);
}
