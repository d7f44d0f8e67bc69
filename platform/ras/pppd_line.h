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

#include "platform/ras/pppd_links.h"
#include "platform/ras/pppd_output.h"
#include "platform/ras/ras_api.h"

namespace tt {

// What a folder of peer files holds for the user who runs the program.
struct PeerFolder {
    // The usable peer files, sorted: regular, readable files whose name has no '/', does not
    // start with '.', has no control characters and fits an entry name.
    std::vector<std::string> Names;
    // Peer files that are there but this user may not read, sorted; the folder itself when it
    // cannot be listed.
    std::vector<std::string> Unreadable;
    bool FolderUnreadable = false;
    // The group that may read what this user may not (the folder's or a file's), when one may.
    std::string ReaderGroup;

    bool AnyUnreadable() const { return FolderUnreadable || !Unreadable.empty(); }
    // For the user: why Names is empty (nothing there, or nothing that may be read).
    std::string EmptyReason(const std::string& folder) const;
};
PeerFolder ScanPeerFolder(const std::string& folder);
std::vector<std::string> ListPeerEntries(const std::string& folder);

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
    uint32_t RasGetConnectStatusA(HRasConn handle, RASCONNSTATUSA* status) override;
    uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) override;
    uint32_t RasHangUpA(HRasConn handle) override;
    uint32_t RasGetEntryDialParamsA(const char* phoneBook, RASDIALPARAMSA* params,
                                    int32_t* passwordSaved) override;
    std::string EmptyPhoneBookReason() override;
    std::string DialFailureReason(HRasConn handle) override;

  private:
    struct Dial;

    Dial* FindDial(HRasConn handle);
    void Follow(const std::shared_ptr<Dial>& dial);
    // 0 for a peer file this user may dial, else why not (missing, or not readable).
    uint32_t CheckEntry(const std::string& name) const;

    const Config config_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<Dial>> dials_;  // the program's own, in the order dialled
    HRasConn nextFailedHandle_ = 0x40000000;    // above every pid: dials that never started
    int stopPipe_[2] = {-1, -1};                // closed by the destructor to wake the followers
};

}  // namespace tt
