#include "platform/ras/simulated_line.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/ras/ras_records.h"

namespace tt {
namespace {

struct ErrorText {
    uint32_t Code;
    const char* Text;
};

constexpr ErrorText kErrorTexts[] = {
    {kErrorInvalidHandle, "The connection does not exist."},
    {kErrorInvalidParameter, "A parameter is not valid."},
    {kErrorBufferTooSmall, "The buffer is too small."},
    {kErrorCannotFindPhonebookEntry, "The phone-book entry was not found."},
    {kErrorInvalidSize, "The structure size is not valid."},
    {SimulatedLine::kErrorLineBusy, "The line is busy."},
    {SimulatedLine::kErrorNoAnswer, "The remote computer did not answer."},
    {SimulatedLine::kErrorNoDialTone, "There is no dial tone."},
    {SimulatedLine::kErrorAuthenticationFailure,
     "Access denied: the user name or password is not valid."},
};

bool ParseNumber(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool IsDottedQuad(std::string_view text) {
    int parts = 0;
    while (true) {
        const size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        uint32_t value = 0;
        if (part.size() > 3 || !ParseNumber(part, value) || value > 255) return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts == 4;
}

}  // namespace

DialPlan StandardDialPlan() {
    DialPlan plan;
    for (uint32_t state : {0u, 1u, 2u, 3u, 4u, 5u, 14u, RASCS_Connected}) {
        plan.Steps.push_back(DialStep{state, 0, 500});
    }
    return plan;
}

std::optional<DialPlan> ParseDialPlan(const std::vector<std::string>& steps) {
    constexpr std::string_view kAddress = "address=";
    DialPlan plan;
    bool ended = false;
    for (const std::string& text : steps) {
        if (text.starts_with(kAddress)) {
            const std::string address = text.substr(kAddress.size());
            if (!IsDottedQuad(address)) return std::nullopt;
            plan.Address = address;
            continue;
        }
        if (ended) return std::nullopt;
        DialStep step;
        const size_t slash = text.find('/');
        if (!ParseNumber(std::string_view(text).substr(0, slash), step.State)) return std::nullopt;
        if (slash != std::string::npos &&
            !ParseNumber(std::string_view(text).substr(slash + 1), step.Error)) {
            return std::nullopt;
        }
        ended = step.Error != 0 || step.State == RASCS_Connected;
        plan.Steps.push_back(step);
    }
    return plan;
}

SimulatedLine::SimulatedLine(Timing timing, AddressSink addressSink)
    : timing_(timing), addressSink_(std::move(addressSink)), thread_([this] { Run(); }) {}

SimulatedLine::~SimulatedLine() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SimulatedLine::SetPhoneBook(const std::vector<std::string>& names) {
    std::lock_guard lock(mutex_);
    std::vector<Entry> book;
    for (const std::string& name : names) {
        const Entry* old = FindEntry(name.c_str());
        book.push_back(Entry{name, old != nullptr ? old->Plan : StandardDialPlan()});
    }
    phoneBook_ = std::move(book);
}

void SimulatedLine::SetDialPlan(const std::string& name, DialPlan plan) {
    std::lock_guard lock(mutex_);
    for (Entry& entry : phoneBook_) {
        if (entry.Name == name) {
            entry.Plan = std::move(plan);
            return;
        }
    }
    phoneBook_.push_back(Entry{name, std::move(plan)});
}

void SimulatedLine::SetHangUpDelay(std::optional<int64_t> ms) {
    std::lock_guard lock(mutex_);
    hangUpDelayMs_ = ms;
}

void SimulatedLine::SetIdleAddress(std::optional<std::string> address) {
    std::lock_guard lock(mutex_);
    idleAddress_ = std::move(address);
}

int64_t SimulatedLine::NowMs() {
    std::lock_guard lock(mutex_);
    return NowLocked();
}

int64_t SimulatedLine::NowLocked() const {
    if (timing_ == Timing::Virtual) return virtualNow_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

void SimulatedLine::AdvanceTo(int64_t ms) {
    if (timing_ != Timing::Virtual) return;
    std::unique_lock lock(mutex_);
    AdvanceLocked(lock, ms);
}

bool SimulatedLine::Settled() const {
    return !busy_ && (events_.empty() || events_.begin()->Due > NowLocked());
}

void SimulatedLine::Settle(std::unique_lock<std::mutex>& lock) {
    // On virtual time whatever an operation made due at once is done before it returns, so that
    // the caller never races the line's thread.
    if (timing_ == Timing::Virtual) changed_.wait(lock, [this] { return Settled(); });
}

void SimulatedLine::AdvanceLocked(std::unique_lock<std::mutex>& lock, int64_t ms) {
    Settle(lock);
    while (!events_.empty() && events_.begin()->Due <= ms) {
        virtualNow_ = std::max(virtualNow_, events_.begin()->Due);
        changed_.notify_all();
        Settle(lock);
    }
    virtualNow_ = std::max(virtualNow_, ms);
}

void SimulatedLine::Schedule(int64_t due, HRasConn handle, bool gone) {
    events_.insert(Event{due, nextSequence_++, handle, gone});
    changed_.notify_all();
}

SimulatedLine::Connection* SimulatedLine::Find(HRasConn handle) {
    for (Connection& connection : connections_) {
        if (connection.Handle == handle) return &connection;
    }
    return nullptr;
}

const SimulatedLine::Entry* SimulatedLine::FindEntry(const char* name) const {
    for (const Entry& entry : phoneBook_) {
        if (entry.Name == name) return &entry;
    }
    return nullptr;
}

void SimulatedLine::Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (events_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const Event event = *events_.begin();
        if (event.Due > NowLocked()) {
            if (timing_ == Timing::Real) {
                changed_.wait_until(lock, start_ + std::chrono::milliseconds(event.Due));
            } else {
                changed_.wait(lock);
            }
            continue;
        }
        events_.erase(events_.begin());
        busy_ = true;
        const Outcome outcome = Apply(event);
        lock.unlock();
        // The connection's address is in place before the notifier says it is connected, so
        // that whoever reacts to the notification already finds the computer on-line.
        if (outcome.AddressChanged && addressSink_) addressSink_(outcome.Address);
        if (outcome.Notifier != nullptr) {
            outcome.Notifier(kRasDialEventMessage, outcome.State, outcome.Error);
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

SimulatedLine::Outcome SimulatedLine::Apply(const Event& event) {
    Outcome outcome;
    Connection* connection = Find(event.Handle);
    if (connection == nullptr) return outcome;
    if (event.Gone) {
        const bool wasConnected = connection->Result == DialResult::Connected;
        const auto at = connections_.begin() + (connection - connections_.data());
        connections_.erase(at);
        if (wasConnected) {
            outcome.AddressChanged = true;
            outcome.Address = idleAddress_;
            for (const Connection& other : connections_) {
                if (other.Result == DialResult::Connected && !other.HangingUp) {
                    outcome.Address = other.Plan.Address;
                }
            }
        }
        return outcome;
    }
    // A hang-up ends the dial: a real library stops reporting once it is asked to hang up.
    if (connection->HangingUp || connection->Result != DialResult::Dialling) return outcome;
    const DialStep& step = connection->Plan.Steps[connection->NextStep++];
    connection->State = step.State;
    connection->Error = step.Error;
    if (step.Error != 0) {
        connection->Result = DialResult::Failed;
    } else if (step.State == RASCS_Connected) {
        connection->Result = DialResult::Connected;
        outcome.AddressChanged = true;
        outcome.Address = connection->Plan.Address;
    } else if (connection->NextStep < connection->Plan.Steps.size()) {
        Schedule(event.Due + connection->Plan.Steps[connection->NextStep].DelayMs,
                 connection->Handle, false);
    } else {
        connection->Result = DialResult::Stalled;
    }
    outcome.Notifier = connection->Notifier;
    outcome.State = step.State;
    outcome.Error = step.Error;
    return outcome;
}

uint32_t SimulatedLine::RasDialA(void*, const char*, RASDIALPARAMSA* params, uint32_t notifierType,
                                 RasDialFunc notifier, HRasConn* connection) {
    if (const uint32_t invalid = CheckRasDial(params, notifierType, notifier, connection);
        invalid != 0) {
        return invalid;
    }
    std::unique_lock lock(mutex_);
    const std::string name = RasEntryName(*params);
    const Entry* entry = FindEntry(name.c_str());
    if (entry == nullptr) return kErrorCannotFindPhonebookEntry;

    Connection dialled;
    dialled.Handle = nextHandle_++;
    dialled.EntryName = entry->Name;
    dialled.Plan = entry->Plan;
    dialled.Notifier = notifier;
    if (dialled.Plan.Steps.empty()) {
        dialled.Result = DialResult::Stalled;
    } else {
        Schedule(NowLocked() + dialled.Plan.Steps.front().DelayMs, dialled.Handle, false);
    }
    const HRasConn handle = dialled.Handle;
    connections_.push_back(std::move(dialled));
    *connection = handle;

    if (notifier != nullptr) {
        Settle(lock);
        return 0;
    }
    // Without a notifier the caller waits for the end of the dial, as a real library makes it.
    const auto ended = [&] {
        const Connection* dialling = Find(handle);
        return dialling == nullptr || dialling->Result != DialResult::Dialling;
    };
    if (timing_ == Timing::Virtual) {
        Settle(lock);
        while (!ended() && !events_.empty()) AdvanceLocked(lock, events_.begin()->Due);
    } else {
        changed_.wait(lock, ended);
    }
    const Connection* dialling = Find(handle);
    if (dialling == nullptr) return kErrorNoAnswer;
    switch (dialling->Result) {
        case DialResult::Connected:
            return 0;
        case DialResult::Failed:
            return dialling->Error;
        default:
            return kErrorNoAnswer;
    }
}

uint32_t SimulatedLine::RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                            uint32_t* count) {
    if (const uint32_t invalid = CheckRasList(connections, bufferSize, count); invalid != 0) {
        return invalid;
    }
    std::unique_lock lock(mutex_);
    if (const uint32_t full = FitRasList<RASCONNA>(connections_.size(), bufferSize, count);
        full != 0) {
        return full;
    }
    for (size_t i = 0; i < connections_.size(); ++i) {
        RASCONNA& record = connections[i];
        record.dwSize = sizeof(RASCONNA);
        record.hrasconn = connections_[i].Handle;
        CopyRasField(record.szEntryName, connections_[i].EntryName);
        CopyRasField(record.szDeviceType, "modem");
        CopyRasField(record.szDeviceName, "Simulated modem");
    }
    return 0;
}

uint32_t SimulatedLine::RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* entries,
                                        uint32_t* bufferSize, uint32_t* count) {
    if (const uint32_t invalid = CheckRasList(entries, bufferSize, count); invalid != 0) {
        return invalid;
    }
    std::unique_lock lock(mutex_);
    if (const uint32_t full = FitRasList<RASENTRYNAMEA>(phoneBook_.size(), bufferSize, count);
        full != 0) {
        return full;
    }
    for (size_t i = 0; i < phoneBook_.size(); ++i) {
        entries[i].dwSize = sizeof(RASENTRYNAMEA);
        CopyRasField(entries[i].szEntryName, phoneBook_[i].Name);
    }
    return 0;
}

uint32_t SimulatedLine::RasGetConnectStatusA(HRasConn handle, RASCONNSTATUSA* status) {
    if (status == nullptr) return kErrorInvalidParameter;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return kErrorInvalidSize;
    std::unique_lock lock(mutex_);
    const Connection* connection = Find(handle);
    if (connection == nullptr) return kErrorInvalidHandle;
    status->rasconnstate = connection->HangingUp ? RASCS_Disconnected : connection->State;
    status->dwError = connection->HangingUp ? 0 : connection->Error;
    CopyRasField(status->szDeviceType, "modem");
    CopyRasField(status->szDeviceName, "Simulated modem");
    return 0;
}

uint32_t SimulatedLine::RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) return kErrorInvalidParameter;
    for (const ErrorText& known : kErrorTexts) {
        if (known.Code == error) {
            const size_t length = std::min<size_t>(std::strlen(known.Text), bufferSize - 1);
            std::memcpy(buffer, known.Text, length);
            buffer[length] = '\0';
            return 0;
        }
    }
    return kErrorInvalidParameter;
}

uint32_t SimulatedLine::RasHangUpA(HRasConn handle) {
    std::unique_lock lock(mutex_);
    Connection* connection = Find(handle);
    if (connection == nullptr) return kErrorInvalidHandle;
    if (!connection->HangingUp) {
        connection->HangingUp = true;
        if (hangUpDelayMs_) Schedule(NowLocked() + *hangUpDelayMs_, handle, true);
    }
    Settle(lock);
    return 0;
}

uint32_t SimulatedLine::RasGetEntryDialParamsA(const char*, RASDIALPARAMSA* params,
                                               int32_t* passwordSaved) {
    if (params == nullptr) return kErrorInvalidParameter;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return kErrorInvalidSize;
    std::unique_lock lock(mutex_);
    const std::string name = RasEntryName(*params);
    if (FindEntry(name.c_str()) == nullptr) return kErrorCannotFindPhonebookEntry;
    CopyRasField(params->szPhoneNumber, "0555 0100");
    CopyRasField(params->szUserName, "user");
    CopyRasField(params->szPassword, "password");
    params->szCallbackNumber[0] = '\0';
    params->szDomain[0] = '\0';
    if (passwordSaved != nullptr) *passwordSaved = 1;
    return 0;
}

}  // namespace tt
