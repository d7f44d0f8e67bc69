#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialup/state_texts.h"
#include "platform/ras/ras_api.h"
#include "toolkit/component.h"
#include "toolkit/ui_thread.h"

namespace tt {

enum class TDialMode { dmAsync = 0, dmSync = 1 };

class TDialUp;
struct DialHandOver;

using TStandartEv = std::function<void(TComponent* Sender)>;
using TOnEntryGet = std::function<void(TComponent* Sender, const std::string& EntryName)>;
using TOnNotConn =
    std::function<void(TComponent* Sender, int ErrorCode, const std::string& ErrorMessage)>;
using TOnError =
    std::function<void(TComponent* Sender, int ErrorCode, const std::string& ErrorMessage)>;
using TOnAsyncEvent =
    std::function<void(TComponent* Sender, int State, int Error, const std::string& MessageText)>;
using TOnActiveConn = std::function<void(
    TComponent* Sender, int Handle, TRasConnStatusA Status, const std::string& StatusString,
    const std::string& EntryName, const std::string& DeviceType, const std::string& DeviceName)>;

// Milliseconds of a monotonic clock; the hang-up wait measures its limit with it.
using MonotonicClock = std::function<int64_t()>;
int64_t SteadyClockMs();

// Lists the phone book, dials one entry, lists and hangs up connections, and reports all of it
// through events. Everything runs on the GUI thread except DialNotifier, which the library calls
// on its own thread: it only queues the report, and the GUI thread delivers the queue in the
// library's order, one report at a time, the next only after the previous handler has returned.
// Texts in events are UTF-8.
class TDialUp : public TComponent {
  public:
    // How long a hang-up may take before the wait for it gives up.
    static constexpr int64_t kHangUpLimitMs = 30000;
    // How long the hang-up wait sleeps between status checks when no message comes.
    static constexpr int kHangUpPollMs = 10;
    // What the user is told, once, when a hang-up wait gives up.
    static constexpr const char* kHangUpTimeoutText =
        "Połączenie nie zostało rozłączone w ciągu 30 sekund; może nadal trwać";

    // `ui` and `ras` must outlive the component.
    TDialUp(TComponent* owner, UiThread& ui, RasApi& ras, MonotonicClock clock = SteadyClockMs);
    TDialUp(UiThread& ui, RasApi& ras, MonotonicClock clock = SteadyClockMs)
        : TDialUp(nullptr, ui, ras, std::move(clock)) {}
    ~TDialUp() override;
    TDialUp(const TDialUp&) = delete;
    TDialUp& operator=(const TDialUp&) = delete;

    TDialMode DialMode = TDialMode::dmAsync;
    const std::vector<std::string>& Entries() const { return entries_; }
    std::string Entry;
    TLanguage Language = TLanguage::Czech;
    const std::vector<std::string>& DUNA() const { return duna_; }
    // While OnAsyncEvent reports a failure: what the dialler itself said about it (empty when
    // it said nothing beyond the error code).
    const std::string& FailureReason() const { return failureReason_; }
    // Why a listing that returned `code` found no entry, for the user.
    std::string EmptyPhoneBookReason(uint32_t code) {
        return code != 0 ? RasErrorText(ras_, code) : ras_.EmptyPhoneBookReason();
    }

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

    TOnEntryGet OnEntryGet;
    TStandartEv OnDialing;
    TStandartEv OnConnect;
    TOnNotConn OnNotConnected;
    TOnAsyncEvent OnAsyncEvent;
    TOnError OnError;
    TOnActiveConn OnActiveConnection;

    // Each returns 0 or the library's error code; failures of the binding (tt::Error) pass
    // through.
    uint32_t Dial();
    uint32_t GetEntries();
    uint32_t GetActiveConnections();
    uint32_t HangUp();
    // Waits, processing messages, until the connection is gone. When it is still there after
    // kHangUpLimitMs the wait gives up: OnError with kErrorTimeout, that code as the result, and
    // kHangUpTimeoutText raised once from the message loop, where the application shows it.
    uint32_t HangUpConnection(HRasConn handle);
    void ReadDialUpAdapters();

    // The notifier handed to the library on an asynchronous dial. Any thread; never blocks on
    // the GUI thread.
    static void TT_RAS_CALL DialNotifier(uint32_t message, uint32_t state, uint32_t error);

    // GUI thread: delivers the oldest waiting notification, unless one is being delivered.
    virtual void HandOverTick();

  private:
    UiThread& ui_;
    RasApi& ras_;
    const MonotonicClock clock_;
    std::vector<std::string> entries_;
    std::vector<std::string> duna_;
    std::string failureReason_;
    void ReportHangUpTimeout();

    HRasConn handle_ = 0;
    const std::shared_ptr<bool> timeoutReportPending_ = std::make_shared<bool>(false);
    const std::shared_ptr<DialHandOver> handOver_;
};

}  // namespace tt
