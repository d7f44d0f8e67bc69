#include "dialup/DialUp.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>

#include "base/error.h"
#include "platform/ras/dialup_adapters.h"

namespace tt {

namespace {

// The listings use fixed arrays of this many records; a longer list fails as a whole.
constexpr uint32_t kListCapacity = 100;

struct Notification {
    uint32_t Message = 0;
    uint32_t State = 0;
    uint32_t Error = 0;
};

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return RasTextToUtf8(std::string(field, strnlen(field, N)));
}

}  // namespace

// What the library's thread shares with the GUI thread. It outlives the component as long as a
// posted tick or a notifier still holds it; Owner tells whether the component is still there.
struct DialHandOver {
    DialHandOver(UiThread& ui, TDialUp* owner) : Ui(ui), Owner(owner) {}

    UiThread& Ui;
    TDialUp* Owner;                  // GUI thread only
    bool Delivering = false;         // GUI thread only
    std::deque<Notification> Queue;  // guarded by the mutex below
    bool TickPosted = false;         // guarded by the mutex below

    static void PostTick(const std::shared_ptr<DialHandOver>& handOver) {
        handOver->Ui.Post([weak = std::weak_ptr<DialHandOver>(handOver)] {
            if (auto alive = weak.lock(); alive && alive->Owner != nullptr) {
                alive->Owner->HandOverTick();
            }
        });
    }
};

namespace {

// The library's notifier has no context argument, so the component that dialled last is found
// here. Guards every hand-over's queue too.
std::mutex gHandOverMutex;
std::shared_ptr<DialHandOver> gNotifierTarget;

}  // namespace

int64_t SteadyClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TDialUp::TDialUp(TComponent* owner, UiThread& ui, RasApi& ras, MonotonicClock clock)
    : TComponent(owner),
      ui_(ui),
      ras_(ras),
      clock_(std::move(clock)),
      handOver_(std::make_shared<DialHandOver>(ui, this)) {
    ReadDialUpAdapters();
}

const PropertyTable& TDialUp::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TComponent::ClassProperties());
        t.AddText<TDialUp>("DialMode", [](const TDialUp& d) {
            return std::string(d.DialMode == TDialMode::dmAsync ? "dmAsync" : "dmSync");
        });
        t.AddText<TDialUp>("Language", [](const TDialUp& d) {
            static const char* const names[] = {"Czech", "English", "Polish", "Portuguese"};
            return std::string(names[static_cast<int>(d.Language) & 3]);
        });
        t.AddText<TDialUp>("Entry", [](const TDialUp& d) { return d.Entry; });
        t.AddText<TDialUp>("Entries", [](const TDialUp& d) {
            std::string joined;
            for (const std::string& e : d.Entries()) joined += (joined.empty() ? "" : "|") + e;
            return joined;
        });
        return t;
    }();
    return table;
}

TDialUp::~TDialUp() {
    // Reports that arrive after this are dropped instead of reaching a component that is gone.
    std::lock_guard lock(gHandOverMutex);
    handOver_->Owner = nullptr;
    if (gNotifierTarget == handOver_) gNotifierTarget.reset();
}

uint32_t TDialUp::Dial() {
    HangUp();

    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof(params));
    params.dwSize = sizeof(RASDIALPARAMSA);
    // A name longer than the field can hold is cut, never written past it; no entry has such a
    // name, so the library then reports the entry missing.
    const std::string name = Utf8ToRasText(Entry);
    std::memcpy(params.szEntryName, name.data(),
                std::min(name.size(), sizeof(params.szEntryName) - 1));

    int32_t passwordSaved = 0;
    if (const uint32_t code = ras_.RasGetEntryDialParamsA(nullptr, &params, &passwordSaved);
        code != 0) {
        if (OnError) OnError(this, static_cast<int>(code), "GetEntryDialParams failed");
        return code;
    }

    handle_ = 0;
    if (DialMode == TDialMode::dmSync) {
        if (OnDialing) OnDialing(this);
        const uint32_t code = ras_.RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle_);
        if (code == 0) {
            if (OnConnect) OnConnect(this);
        } else {
            // A failed dial may still hold a line; it must be gone before anyone redials.
            if (handle_ != 0) HangUpConnection(handle_);
            const std::string text = RasErrorText(ras_, code);
            if (OnNotConnected) OnNotConnected(this, static_cast<int>(code), text);
        }
        return code;
    }

    {
        std::lock_guard lock(gHandOverMutex);
        gNotifierTarget = handOver_;
    }
    if (OnDialing) OnDialing(this);
    const uint32_t code = ras_.RasDialA(nullptr, nullptr, &params, 0, &DialNotifier, &handle_);
    if (code != 0) {
        // A handle the library may have stored is hung up by the next Dial or HangUp.
        const std::string text = RasErrorText(ras_, code);
        if (OnError) OnError(this, static_cast<int>(code), text);
    }
    return code;
}

uint32_t TDialUp::GetEntries() {
    entries_.clear();
    std::vector<RASENTRYNAMEA> records(kListCapacity);
    records[0].dwSize = sizeof(RASENTRYNAMEA);
    uint32_t bufferSize = kListCapacity * sizeof(RASENTRYNAMEA);
    uint32_t count = 0;
    const uint32_t code =
        ras_.RasEnumEntriesA(nullptr, nullptr, records.data(), &bufferSize, &count);
    if (code != 0) return code;
    // A count beyond the array would read memory the library never wrote.
    count = std::min(count, kListCapacity);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string name = FieldText(records[i].szEntryName);
        entries_.push_back(name);
        if (OnEntryGet) OnEntryGet(this, name);
    }
    return 0;
}

uint32_t TDialUp::GetActiveConnections() {
    std::vector<RASCONNA> records(kListCapacity);
    records[0].dwSize = sizeof(RASCONNA);
    uint32_t bufferSize = kListCapacity * sizeof(RASCONNA);
    uint32_t count = 0;
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof(status));
    status.dwSize = sizeof(RASCONNSTATUSA);
    const uint32_t code = ras_.RasEnumConnectionsA(records.data(), &bufferSize, &count);
    if (code != 0) return code;
    count = std::min(count, kListCapacity);
    for (uint32_t i = 0; i < count; ++i) {
        const RASCONNA& connection = records[i];
        // A failed query leaves the record as the previous one left it.
        ras_.RasGetConnectStatusA(connection.hrasconn, &status);
        const std::string text =
            ConnectionStateText(ras_, Language, status.rasconnstate, status.dwError);
        if (OnActiveConnection) {
            OnActiveConnection(this, static_cast<int>(connection.hrasconn), status, text,
                               FieldText(connection.szEntryName),
                               FieldText(connection.szDeviceType),
                               FieldText(connection.szDeviceName));
        }
    }
    return 0;
}

uint32_t TDialUp::HangUp() {
    return HangUpConnection(handle_);
}

uint32_t TDialUp::HangUpConnection(HRasConn handle) {
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof(status));
    status.dwSize = sizeof(RASCONNSTATUSA);
    // Handle 0 is no connection: some libraries accept it and then never report it gone.
    if (const uint32_t code = ras_.RasHangUpA(handle); code != 0 || handle == 0) return code;

    // The library hangs up in the background. Redialling before the port is free fails, so
    // wait, but keep the window alive, never spin, and never wait for ever: some libraries
    // never report the connection gone.
    const int64_t start = clock_();
    try {
        // The status is asked first: a connection already gone costs no round of messages.
        while (ras_.RasGetConnectStatusA(handle, &status) != kErrorInvalidHandle) {
            if (clock_() - start >= kHangUpLimitMs) {
                ReportHangUpTimeout();
                return kErrorTimeout;
            }
            ui_.WaitForMessages(kHangUpPollMs);
            ui_.ProcessMessages();
        }
    } catch (const std::exception&) {
        // A failure inside the wait ends it and goes no further; the connection is left to
        // the next hang-up.
        return 0;
    }
    return 0;
}

void TDialUp::ReportHangUpTimeout() {
    if (OnError) OnError(this, static_cast<int>(kErrorTimeout), "Hang-up timed out");
    // Nobody else would tell the user that the line may still be up. One box is enough
    // however many waits give up before it is seen, and it comes from the message loop,
    // so the sequence that waited finishes first.
    if (*timeoutReportPending_) return;
    *timeoutReportPending_ = true;
    // The flag is shared, not the component: the message may come after the component is gone.
    ui_.Post([pending = timeoutReportPending_] {
        *pending = false;
        throw Error(kHangUpTimeoutText);
    });
}

void TDialUp::ReadDialUpAdapters() {
    duna_ = ReadDialUpAdapterNames();
    std::sort(duna_.begin(), duna_.end());
}

void TT_RAS_CALL TDialUp::DialNotifier(uint32_t message, uint32_t state, uint32_t error) {
    std::shared_ptr<DialHandOver> target;
    {
        std::lock_guard lock(gHandOverMutex);
        if (gNotifierTarget == nullptr) return;
        gNotifierTarget->Queue.push_back(Notification{message, state, error});
        if (gNotifierTarget->TickPosted) return;
        gNotifierTarget->TickPosted = true;
        target = gNotifierTarget;
    }
    // Posted outside the lock; a tick that arrives after the component is gone does nothing.
    DialHandOver::PostTick(target);
}

void TDialUp::HandOverTick() {
    Notification notification;
    {
        std::lock_guard lock(gHandOverMutex);
        handOver_->TickPosted = false;
        // A handler that runs a message loop must not see the next report inside it: that one
        // waits until the handler has returned.
        if (handOver_->Delivering || handOver_->Queue.empty()) return;
        notification = handOver_->Queue.front();
        handOver_->Queue.pop_front();
    }
    handOver_->Delivering = true;
    // Also when the handler throws: the next report must not be stuck behind this one.
    struct Delivered {
        std::shared_ptr<DialHandOver> handOver;
        ~Delivered() {
            handOver->Delivering = false;
            bool post = false;
            {
                std::lock_guard lock(gHandOverMutex);
                post = !handOver->Queue.empty() && !handOver->TickPosted;
                if (post) handOver->TickPosted = true;
            }
            if (post) DialHandOver::PostTick(handOver);
        }
    } delivered{handOver_};
    if (OnAsyncEvent) {
        const std::string text =
            ConnectionStateText(ras_, Language, notification.State, notification.Error);
        failureReason_ = notification.Error != 0 ? ras_.DialFailureReason(handle_) : "";
        OnAsyncEvent(this, static_cast<int>(notification.State),
                     static_cast<int>(notification.Error), text);
    }
}

}  // namespace tt
