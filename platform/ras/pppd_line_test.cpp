#include "platform/ras/pppd_line.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/ras/ras_errors.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

struct Report {
    uint32_t State;
    uint32_t Error;
};

std::mutex gMutex;
std::condition_variable gChanged;
std::vector<Report> gReports;

void TT_RAS_CALL Notifier(uint32_t message, uint32_t state, uint32_t error) {
    EXPECT_EQ(message, kRasDialEventMessage);
    {
        std::lock_guard lock(gMutex);
        gReports.push_back({state, error});
    }
    gChanged.notify_all();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A folder of peer files and a stand-in pppd called "pppd" (so that the process looks like one),
// which runs the peer file it is given as a shell script and notes its arguments.
class PppdLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tt-pppd-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "peers");
        fs::create_directories(root_ / "run");
        fs::create_directories(root_ / "bin");
        WriteFile(root_ / "bin" / "pppd",
                  "#!/bin/sh\n"
                  "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                  "RUN=" +
                      (root_ / "run").string() +
                      "\n"
                      ". \"$2\"\n");
        fs::permissions(root_ / "bin" / "pppd", fs::perms::owner_all);
        std::lock_guard lock(gMutex);
        gReports.clear();
    }
    void TearDown() override {
        line_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    PppdLine& Line(int graceMs = 5000) {
        PppdLine::Config config;
        config.PeersDir = (root_ / "peers").string();
        config.Pppd = (root_ / "bin" / "pppd").string();
        config.RunDir = (root_ / "run").string();
        config.HangUpGraceMs = graceMs;
        line_ = std::make_unique<PppdLine>(config);
        return *line_;
    }
    void Peer(const std::string& name, const std::string& script) {
        WriteFile(root_ / "peers" / name, script);
    }
    HRasConn Dial(const std::string& name) {
        RASDIALPARAMSA params{};
        params.dwSize = sizeof params;
        std::strncpy(params.szEntryName, name.c_str(), kRasMaxEntryName);
        HRasConn handle = 0;
        EXPECT_EQ(line_->RasDialA(nullptr, nullptr, &params, 0, &Notifier, &handle), 0u);
        return handle;
    }
    // Waits (at most 10 s) until the dial has ended, and gives every report it made.
    static std::vector<Report> Reports(bool untilEnd = true) {
        std::unique_lock lock(gMutex);
        gChanged.wait_for(lock, std::chrono::seconds(10), [&] {
            return !untilEnd || (!gReports.empty() && (gReports.back().Error != 0 ||
                                                       gReports.back().State == RASCS_Connected));
        });
        return gReports;
    }
    static std::vector<uint32_t> States(const std::vector<Report>& reports) {
        std::vector<uint32_t> states;
        for (const Report& r : reports) states.push_back(r.State);
        return states;
    }
    uint32_t Status(HRasConn handle) {
        RASCONNSTATUSA status{};
        status.dwSize = sizeof status;
        return line_->RasGetConnectStatusA(handle, &status);
    }
    bool GoneWithin(HRasConn handle, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (Status(handle) == kErrorInvalidHandle) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::vector<std::string> Connections() {
        std::vector<RASCONNA> records(10);
        records[0].dwSize = sizeof(RASCONNA);
        uint32_t size = sizeof(RASCONNA) * 10;
        uint32_t count = 0;
        EXPECT_EQ(line_->RasEnumConnectionsA(records.data(), &size, &count), 0u);
        std::vector<std::string> names;
        for (uint32_t i = 0; i < count; ++i) {
            names.push_back(std::string(records[i].szEntryName) + "\t" + records[i].szDeviceName);
        }
        return names;
    }
    std::string ErrorText(uint32_t code) {
        char buffer[100] = {};
        EXPECT_EQ(line_->RasGetErrorStringA(code, buffer, sizeof buffer), 0u);
        return buffer;
    }

    fs::path root_;
    std::unique_ptr<PppdLine> line_;
};

const std::vector<uint32_t> kAllStates = {0, 1, 2, 3, 4, 5, 14, RASCS_Connected};

const char* const kConnects =
    "echo 'abort on (BUSY)'\n"
    "echo 'send (ATDT5550100^M)'\n"
    "echo 'Serial connection established.'\n"
    "echo 'Using interface ppp3'\n"
    "echo 'Connect: ppp3 <--> /dev/ttyS0'\n"
    "echo 'CHAP authentication succeeded'\n"
    "echo 'local  IP address 10.9.0.2'\n";

TEST_F(PppdLineTest, ADialReportsEveryStateInOrderAndHangsUpWithASignal) {
    Peer("isp", std::string(kConnects) +
                    "trap 'echo Terminating on signal 15; exit 5' TERM\n"
                    "while :; do sleep 0.05; done\n");
    Line();
    const HRasConn handle = Dial("isp");
    EXPECT_EQ(States(Reports()), kAllStates);
    for (const Report& r : Reports()) EXPECT_EQ(r.Error, 0u);
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    ASSERT_EQ(line_->RasGetConnectStatusA(handle, &status), 0u);
    EXPECT_EQ(status.rasconnstate, RASCS_Connected);
    EXPECT_STREQ(status.szDeviceName, "ppp3");
    EXPECT_EQ(Connections(), std::vector<std::string>{"isp\tppp3"});

    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_TRUE(GoneWithin(handle, 3000));
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(line_->RasHangUpA(handle), kErrorInvalidHandle);
    // Nothing is reported after the program itself hung up.
    EXPECT_EQ(Reports(false).size(), kAllStates.size());

    // The peer's options first, then what keeps pppd the program's child and ends a failed dial.
    std::ifstream args(root_ / "bin" / "args");
    std::string all((std::istreambuf_iterator<char>(args)), {});
    EXPECT_EQ(all, "file\n" + (root_ / "peers" / "isp").string() + "\nnodetach\nnopersist\n");
}

TEST_F(PppdLineTest, TheDefaultPeersFolderIsDialledByName) {
    PppdLine line;
    EXPECT_EQ(line.PppdArguments("isp"),
              (std::vector<std::string>{"call", "isp", "nodetach", "nopersist"}));
}

TEST_F(PppdLineTest, TheModemsAnswerAsChatReportsItBecomesTheError) {
    Peer("busy",
         "echo 'abort on (BUSY)'\necho 'abort on (NO CARRIER)'\necho 'send (ATDT1^M)'\n"
         "echo 'expect (CONNECT)'\necho '^M'\necho 'BUSY'\necho ' -- failed'\n"
         "echo 'Failed (BUSY)'\necho 'Connect script failed'\nexit 8\n");
    Line();
    Dial("busy");
    const std::vector<Report> reports = Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().Error, kErrorLineBusy);
    EXPECT_EQ(States(reports), (std::vector<uint32_t>{0, 1, 2, 2}));
    EXPECT_EQ(ErrorText(kErrorLineBusy), "Linia jest zajęta.");
}

TEST_F(PppdLineTest, AFailedDialKeepsPppdsOwnWordsAndAnEmptyFolderSaysWhy) {
    Line();
    EXPECT_EQ(line_->EmptyPhoneBookReason(),
              "Brak plików wpisów pppd w " + (root_ / "peers").string() + ".");
    Peer("typo", "echo \"In file $2: unrecognized option 'frobnicate'\"\nexit 2\n");
    const HRasConn handle = Dial("typo");
    ASSERT_EQ(Reports().back().Error, kErrorCorruptPhonebook);
    EXPECT_EQ(line_->DialFailureReason(handle), "In file " + (root_ / "peers" / "typo").string() +
                                                    ": unrecognized option 'frobnicate'");

    // A pppd that said nothing: how it ended.
    Peer("silent", "exit 4\n");
    {
        std::lock_guard lock(gMutex);
        gReports.clear();
    }
    const HRasConn silent = Dial("silent");
    ASSERT_EQ(Reports().back().Error, kErrorDeviceDoesNotExist);
    EXPECT_EQ(line_->DialFailureReason(silent), "pppd: exit status 4");

    // No pppd at all: the system's words on the start.
    PppdLine::Config config;
    config.PeersDir = (root_ / "peers").string();
    config.Pppd = (root_ / "bin" / "missing").string();
    line_ = std::make_unique<PppdLine>(config);
    {
        std::lock_guard lock(gMutex);
        gReports.clear();
    }
    const HRasConn none = Dial("typo");
    ASSERT_EQ(Reports().back().Error, kErrorServiceMissing);
    EXPECT_EQ(line_->DialFailureReason(none), config.Pppd + ": No such file or directory");
}

TEST_F(PppdLineTest, OddEntryNamesAreSkippedOrDialledAsOneArgumentNeverThroughAShell) {
    Peer("zeta", "exit 0\n");
    Peer("alpha", "exit 0\n");
    Peer(".hidden", "exit 0\n");
    Peer("tab\there", "exit 0\n");
    Peer("name with spaces; touch pwned", std::string(kConnects) + "exec sleep 30\n");
    fs::create_directories(root_ / "peers" / "folder");
    fs::create_symlink(root_ / "peers" / "alpha", root_ / "peers" / "linked");
    fs::create_symlink(root_ / "nowhere", root_ / "peers" / "dangling");
    Line();
    EXPECT_EQ(
        ListPeerEntries((root_ / "peers").string()),
        (std::vector<std::string>{"alpha", "linked", "name with spaces; touch pwned", "zeta"}));
    std::vector<RASENTRYNAMEA> entries(100);
    entries[0].dwSize = sizeof(RASENTRYNAMEA);
    uint32_t size = 100 * sizeof(RASENTRYNAMEA);
    uint32_t count = 0;
    ASSERT_EQ(line_->RasEnumEntriesA(nullptr, nullptr, entries.data(), &size, &count), 0u);
    ASSERT_EQ(count, 4u);
    EXPECT_STREQ(entries[2].szEntryName, "name with spaces; touch pwned");

    const HRasConn handle = Dial("name with spaces; touch pwned");
    EXPECT_EQ(Reports().back().State, RASCS_Connected);
    EXPECT_FALSE(fs::exists(root_ / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_TRUE(GoneWithin(handle, 3000));

    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    std::strcpy(params.szEntryName, ".hidden");
    EXPECT_EQ(line_->RasGetEntryDialParamsA(nullptr, &params, nullptr),
              kErrorCannotFindPhonebookEntry);
    HRasConn none = 0;
    std::strcpy(params.szEntryName, "../peers/alpha");
    EXPECT_EQ(line_->RasDialA(nullptr, nullptr, &params, 0, &Notifier, &none),
              kErrorCannotFindPhonebookEntry);
    std::strcpy(params.szEntryName, "folder");
    EXPECT_EQ(line_->RasDialA(nullptr, nullptr, &params, 0, &Notifier, &none),
              kErrorCannotFindPhonebookEntry);
}

TEST_F(PppdLineTest, APppdThatIgnoresTheHangUpIsEndedWithoutBlockingTheCaller) {
    Peer("stubborn", std::string(kConnects) + "trap '' TERM\nwhile :; do sleep 0.05; done\n");
    Line(300);
    const HRasConn handle = Dial("stubborn");
    EXPECT_EQ(Reports().back().State, RASCS_Connected);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    if (line_->RasGetConnectStatusA(handle, &status) == 0) {
        EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
    }
    EXPECT_TRUE(GoneWithin(handle, 3000));
}

TEST_F(PppdLineTest, APppdThatNeverAnswersLeavesTheCallerFree) {
    Peer("silent", "exec sleep 30\n");
    Line(200);
    const auto start = std::chrono::steady_clock::now();
    const HRasConn handle = Dial("silent");
    EXPECT_EQ(Status(handle), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(States(Reports(false)), std::vector<uint32_t>{0});
    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_TRUE(GoneWithin(handle, 3000));
}

TEST_F(PppdLineTest, AFloodOfOutputNeitherBlocksTheCallerNorHidesTheStates) {
    Peer("flood",
         "head -c 20000000 /dev/zero\necho\n"
         "i=0; while [ $i -lt 20000 ]; do echo 'rcvd [LCP EchoReq id=0x1 magic=0x1]'; "
         "i=$((i+1)); done\n" +
             std::string(kConnects) + "exec sleep 30\n");
    Line();
    const HRasConn handle = Dial("flood");
    // Every call of the caller's side stays quick while pppd floods.
    for (int i = 0; i < 20; ++i) {
        const auto start = std::chrono::steady_clock::now();
        Status(handle);
        Connections();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(States(Reports()), kAllStates);
    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_TRUE(GoneWithin(handle, 3000));
}

TEST_F(PppdLineTest, APppdThatDiesMidDialIsAFailedDial) {
    Peer("dies", "echo 'Serial connection established.'\nkill -9 $$\n");
    Line();
    const HRasConn handle = Dial("dies");
    const std::vector<Report> reports = Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().Error, kErrorDisconnection);
    EXPECT_EQ(States(reports), (std::vector<uint32_t>{0, 1, 2, 3, 3}));
    EXPECT_TRUE(GoneWithin(handle, 3000));
}

TEST_F(PppdLineTest, AMissingOrForbiddenPppdIsReportedThroughTheNotifier) {
    Peer("isp", "exit 0\n");
    PppdLine::Config config;
    config.PeersDir = (root_ / "peers").string();
    config.Pppd = (root_ / "bin" / "no-such-pppd").string();
    line_ = std::make_unique<PppdLine>(config);
    HRasConn handle = Dial("isp");
    EXPECT_EQ(Reports().back().Error, kErrorServiceMissing);
    EXPECT_EQ(Status(handle), kErrorInvalidHandle);
    EXPECT_NE(ErrorText(kErrorServiceMissing).find("pppd"), std::string::npos);

    {
        std::lock_guard lock(gMutex);
        gReports.clear();
    }
    WriteFile(root_ / "bin" / "forbidden", "#!/bin/sh\n");
    fs::permissions(root_ / "bin" / "forbidden", fs::perms::owner_read);
    config.Pppd = (root_ / "bin" / "forbidden").string();
    line_ = std::make_unique<PppdLine>(config);
    handle = Dial("isp");
    EXPECT_EQ(Reports().back().Error, kErrorAccessDenied);
    EXPECT_NE(ErrorText(kErrorAccessDenied).find("dip"), std::string::npos);
}

TEST_F(PppdLineTest, WithoutANotifierTheDialWaitsForItsEnd) {
    Peer("isp", std::string(kConnects) + "exec sleep 30\n");
    Peer("busy", "echo 'Failed (BUSY)'\nexit 8\n");
    Line();
    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    std::strcpy(params.szEntryName, "busy");
    HRasConn handle = 0;
    EXPECT_EQ(line_->RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle), kErrorLineBusy);
    std::strcpy(params.szEntryName, "isp");
    EXPECT_EQ(line_->RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle), 0u);
    EXPECT_EQ(Status(handle), 0u);
    EXPECT_EQ(line_->RasHangUpA(handle), 0u);
    EXPECT_TRUE(GoneWithin(handle, 3000));
}

TEST_F(PppdLineTest, LinksStartedByOthersAreListedFromPidFilesAndHungUp) {
    Peer("isp", "exit 0\n");
    // Another dialler's pppd: a link name and a unit pid file, as pppd writes them.
    Peer("other",
         "trap 'exit 5' TERM\n"
         "printf '%s\\nppp5\\n' $$ > \"$RUN/ppp-work.pid\"\n"
         "printf '%s\\n' $$ > \"$RUN/ppp5.pid\"\n"
         "while :; do sleep 0.05; done\n");
    // Stale files: a process that is no pppd, and one that is gone.
    WriteFile(root_ / "run" / "ppp7.pid", std::to_string(getpid()) + "\n");
    WriteFile(root_ / "run" / "ppp8.pid", "999999999\n");
    Line();
    const std::string stand = (root_ / "bin" / "pppd").string();
    const std::string file = (root_ / "peers" / "other").string();
    char* argv[] = {const_cast<char*>(stand.c_str()), const_cast<char*>("file"),
                    const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, stand.c_str(), nullptr, nullptr, argv, environ), 0);
    for (int i = 0; i < 100 && Connections().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Connections(), std::vector<std::string>{"work\tppp5"});
    const std::vector<PppdLink> links = FindPppdLinks((root_ / "run").string(), "/proc");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].Pid, pid);
    EXPECT_EQ(Status(static_cast<HRasConn>(pid)), 0u);

    EXPECT_EQ(line_->RasHangUpA(static_cast<HRasConn>(pid)), 0u);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(Status(static_cast<HRasConn>(pid)), kErrorInvalidHandle);
    EXPECT_TRUE(Connections().empty());
    // A process that is no pppd is never signalled.
    EXPECT_EQ(line_->RasHangUpA(static_cast<HRasConn>(getpid())), kErrorInvalidHandle);
}

TEST(RasErrorTextTest, EveryTextFitsTheBufferAndACutKeepsWholeLetters) {
    for (uint32_t code = 0; code < 2000; ++code) {
        if (const char* text = RasErrorTextPolish(code)) {
            EXPECT_LT(std::strlen(text), 100u) << code;
        }
    }
    char buffer[6];
    ASSERT_EQ(CopyRasErrorText(kErrorNoCarrier, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "Brak ");
    char small[8];
    ASSERT_EQ(CopyRasErrorText(kErrorNoCarrier, small, sizeof small), 0u);
    EXPECT_STREQ(small, "Brak no");  // "ś" would not fit whole
    EXPECT_EQ(CopyRasErrorText(12345, small, sizeof small), kErrorInvalidParameter);
}

}  // namespace
}  // namespace tt
