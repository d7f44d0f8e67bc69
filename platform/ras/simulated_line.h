#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ras/ras_api.h"

namespace tt {

// One state change of a dial: reported DelayMs after the previous one (or after the dial).
struct DialStep {
    uint32_t State = RASCS_OpenPort;
    uint32_t Error = 0;
    int64_t DelayMs = 500;
};

// How dialling one phone-book entry goes. The dial ends at a step with an error or at
// RASCS_Connected; a plan that runs out before either leaves the dial hanging.
struct DialPlan {
    std::vector<DialStep> Steps;
    // What the local host name resolves to while this connection is up.
    std::string Address = "10.0.0.2";
};

// Opening the port, connecting the modem, authenticating, connected: half a second a step.
DialPlan StandardDialPlan();

// Reads a plan written as steps "STATE", "STATE/ERROR" (decimal) and "address=A.B.C.D", each state
// half a second after the previous one. Nothing for malformed text, or for steps after the
// one that ends the dial.
std::optional<DialPlan> ParseDialPlan(const std::vector<std::string>& steps);

// A phone line with a modem and a phone book, for builds and tests without dial-up service. It
// meets the contract of RasApi and, like a real library, reports dial progress from a thread of
// its own. Its time is either the real monotonic clock or virtual time that only AdvanceTo moves:
// then every change that falls due is delivered, notifier and address sink included, before
// AdvanceTo (or the operation that made it due) returns, so runs repeat exactly. A dial without
// a notifier blocks its caller until the dial ends; on virtual time it moves time on itself,
// as far as the dial takes.
class SimulatedLine : public RasApi {
  public:
    enum class Timing { Real, Virtual };
    // Told, on the line's thread, what the local host name resolves to now: the connection's
    // address once connected, the idle address after the last connection is hung up.
    using AddressSink = std::function<void(std::optional<std::string>)>;

    // Codes of failures that only the simulated line produces.
    static constexpr uint32_t kErrorLineBusy = 676;
    static constexpr uint32_t kErrorNoAnswer = 678;
    static constexpr uint32_t kErrorNoDialTone = 680;
    static constexpr uint32_t kErrorAuthenticationFailure = 691;

    explicit SimulatedLine(Timing timing, AddressSink addressSink = {});
    ~SimulatedLine() override;
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    // The phone book, in the order the listing reports it. Entries keep a plan set earlier;
    // new ones dial with the standard plan.
    void SetPhoneBook(const std::vector<std::string>& names);
    // Adds the entry when the phone book lacks it.
    void SetDialPlan(const std::string& name, DialPlan plan);
    // How long a connection lingers after RasHangUpA; nothing: it never goes (a library that
    // never reports a hung-up connection gone).
    void SetHangUpDelay(std::optional<int64_t> ms);
    // What the host name resolves to with no connection up; nothing: it does not resolve.
    void SetIdleAddress(std::optional<std::string> address);

    int64_t NowMs();
    // Virtual timing only, never from the notifier or the address sink: moves time forward to
    // `ms` (absolute), delivering everything due on the way in time order.
    void AdvanceTo(int64_t ms);

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

  private:
    enum class DialResult { Dialling, Connected, Failed, Stalled };

    struct Entry {
        std::string Name;
        DialPlan Plan;
    };

    struct Connection {
        HRasConn Handle = 0;
        std::string EntryName;
        DialPlan Plan;
        size_t NextStep = 0;
        uint32_t State = RASCS_OpenPort;
        uint32_t Error = 0;
        RasDialFunc Notifier = nullptr;
        DialResult Result = DialResult::Dialling;
        bool HangingUp = false;
    };

    struct Event {
        int64_t Due = 0;
        uint64_t Sequence = 0;
        HRasConn Handle = 0;
        bool Gone = false;  // false: the next dial step; true: the end of a hang-up
        bool operator<(const Event& other) const {
            return Due != other.Due ? Due < other.Due : Sequence < other.Sequence;
        }
    };

    // What an event makes the line's thread tell the outside, done after the lock is released.
    struct Outcome {
        RasDialFunc Notifier = nullptr;
        uint32_t State = 0;
        uint32_t Error = 0;
        bool AddressChanged = false;
        std::optional<std::string> Address;
    };

    int64_t NowLocked() const;
    void Schedule(int64_t due, HRasConn handle, bool gone);
    Outcome Apply(const Event& event);
    Connection* Find(HRasConn handle);
    const Entry* FindEntry(const char* name) const;
    bool Settled() const;
    void Settle(std::unique_lock<std::mutex>& lock);
    void AdvanceLocked(std::unique_lock<std::mutex>& lock, int64_t ms);
    void Run();

    const Timing timing_;
    const AddressSink addressSink_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Entry> phoneBook_;
    std::vector<Connection> connections_;  // in the order they were dialled
    std::set<Event> events_;
    std::optional<int64_t> hangUpDelayMs_ = 300;
    std::optional<std::string> idleAddress_ = "127.0.0.1";
    int64_t virtualNow_ = 0;
    uint64_t nextSequence_ = 0;
    HRasConn nextHandle_ = 0x1000;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace tt
