#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ras/ras_api.h"

namespace tt {

// The names of the usable peer files in `folder`, sorted: regular, readable files whose name
// has no '/', does not start with '.', has no control characters and fits an entry name.
std::vector<std::string> ListPeerEntries(const std::string& folder);

// Follows one dial through pppd's own output (its log on standard output, and whatever its
// connect script writes to standard error) and its exit, and says which connection states it
// has reached and, when it ends before the link is up, which error that was.
class PppdDialProgress {
  public:
    // The states a dial passes through, in order. A dial reports every one of them, also those
    // pppd says nothing about (a link without a connect script, a peer without authentication),
    // so that the user always sees the same sequence.
    static constexpr uint32_t kOrder[] = {0, 1, 2, 3, 4, 5, 14, RASCS_Connected};

    // The state pppd is in as soon as it runs: opening the port.
    std::vector<uint32_t> Start();
    // One line of output (without its line end); the states newly reached, in order.
    std::vector<uint32_t> Line(std::string_view line);
    // pppd has ended: how (an exit code, or the signal that killed it). The error to report,
    // or 0 when there is nothing to report (the link was up, or we hung it up ourselves).
    uint32_t Ended(int exitCode, int signal, bool hangUpRequested) const;
    // The error of a pppd that could not be started at all (errno of the start).
    static uint32_t StartFailed(int error);

    bool Connected() const { return reached_ >= static_cast<int>(std::size(kOrder)) - 1; }
    uint32_t State() const { return reached_ < 0 ? 0 : kOrder[reached_]; }
    const std::string& Interface() const { return interface_; }
    const std::string& Address() const { return address_; }
    const std::string& Device() const { return device_; }

  private:
    std::vector<uint32_t> Reach(uint32_t state);

    int reached_ = -1;
    std::string interface_;
    std::string address_;
    std::string device_;
    std::string chatFailure_;  // the modem's answer that made the chat script give up
    bool authFailed_ = false;
    bool hungUpByPeer_ = false;
};

// A pppd link that is running now, found from pppd's pid files and the processes they name.
struct PppdLink {
    pid_t Pid = 0;
    std::string Interface;  // pppN, when known
    std::string Name;       // the peer's name, when it can be known
};

// Every running pppd link: the pid files "ppp-NAME.pid" (a link name) and "pppN.pid" (a unit)
// in `runDir`, whose process in `procDir` is a live pppd. One entry a process.
std::vector<PppdLink> FindPppdLinks(const std::string& runDir, const std::string& procDir);

// The remote-access operations over pppd. The phone book is a folder of pppd peer files; a dial
// starts pppd for one of them as a child and follows it from a thread of its own, which reports
// each state through the notifier; links started by others are found from pppd's pid files and
// hung up with a signal. Nothing here waits for pppd on the caller's thread.
class PppdLine : public RasApi {
  public:
    struct Config {
        // The peer files. The default folder is dialled with "pppd call NAME", so that pppd
        // trusts the file as the administrator's; another folder with "pppd file PATH".
        std::string PeersDir = "/etc/ppp/peers";
        std::string Pppd = "/usr/sbin/pppd";  // tests put a stand-in here
        std::string RunDir = "/run";
        std::string ProcDir = "/proc";
        // How long a hung-up pppd may take to end before it is killed.
        int HangUpGraceMs = 5000;
    };
    static constexpr const char* kDefaultPeersDir = "/etc/ppp/peers";

    explicit PppdLine(Config config);
    PppdLine() : PppdLine(Config{}) {}
    // Stops following the links but leaves them up: a connection outlives the program.
    ~PppdLine() override;
    PppdLine(const PppdLine&) = delete;
    PppdLine& operator=(const PppdLine&) = delete;

    const Config& Settings() const { return config_; }
    // The arguments pppd gets for an entry (without the program's own name).
    std::vector<std::string> PppdArguments(const std::string& entry) const;

    uint32_t RasDialA(void* dialExtensions, const char* phoneBook, RASDIALPARAMSA* params,
                      uint32_t notifierType, RasDialFunc notifier, HRasConn* connection) override;
    uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                 uint32_t* count) override;
    uint32_t RasEnumEntriesA(const char* reserved, const char* phoneBook, RASENTRYNAMEA* entries,
                             uint32_t* bufferSize, uint32_t* count) override;
    uint32_t RasGetConnectStatusA(HRasConn connection, RASCONNSTATUSA* status) override;
    uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) override;
    uint32_t RasHangUpA(HRasConn connection) override;
    uint32_t RasGetEntryDialParamsA(const char* phoneBook, RASDIALPARAMSA* params,
                                    int32_t* passwordSaved) override;

  private:
    struct Dial;

    Dial* FindDial(HRasConn handle);
    void Follow(const std::shared_ptr<Dial>& dial);
    bool IsEntry(const std::string& name) const;

    const Config config_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<Dial>> dials_;  // the program's own, in the order dialled
    HRasConn nextFailedHandle_ = 0x40000000;    // above every pid: dials that never started
    int stopPipe_[2] = {-1, -1};                // closed by the destructor to wake the followers
};

}  // namespace tt
