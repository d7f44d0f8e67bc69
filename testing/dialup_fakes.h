#pragma once
// Stand-ins for the GUI thread and the remote-access library in the dial-up tests.
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/ras/ras_api.h"
#include "toolkit/ui_thread.h"

namespace tt::testing {

// A message queue that the test drains on its own thread; waiting moves a fake clock instead of
// sleeping.
class FakeUi : public UiThread {
  public:
    void Post(std::function<void()> fn) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }

    void ProcessMessages() override {
        ++processCalls;
        while (auto fn = Take()) fn();
    }

    void WaitForMessages(int ms) override {
        ++waitCalls;
        nowMs += ms;
        if (onWait) onWait(nowMs);
    }

    size_t Pending() {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

    int64_t nowMs = 0;
    int processCalls = 0;
    int waitCalls = 0;
    std::function<void(int64_t)> onWait;

  private:
    std::function<void()> Take() {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return nullptr;
        auto fn = std::move(queue_.front());
        queue_.pop_front();
        return fn;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

// A scripted library, called on the test thread only. Every call is written to `log`, which
// the tests share with their event handlers to check the order of both.
class FakeRas : public RasApi {
  public:
    struct Connection {
        HRasConn Handle = 0;
        std::string EntryName;
        uint32_t State = 0;
        uint32_t Error = 0;
        bool StatusFails = false;
    };

    explicit FakeRas(std::vector<std::string>& log) : log_(log) {}

    std::vector<std::string> entries;
    uint32_t entriesResult = 0;
    std::vector<Connection> connections;
    uint32_t dialParamsResult = 0;
    uint32_t dialResult = 0;
    HRasConn dialHandle = 0;  // what RasDialA stores; 0: nothing
    uint32_t hangUpResult = 0;
    bool acceptsHandleZero = false;  // otherwise handle 0 answers kErrorInvalidHandle
    int pollsUntilGone = 0;          // status checks after a hang-up before it is gone; -1: never
    bool statusThrows = false;
    std::map<uint32_t, std::string> errorTexts;
    RasDialFunc notifier = nullptr;
    std::string dialledEntry;  // the entry-name field as RasDialA received it

    uint32_t RasDialA(void*, const char*, RASDIALPARAMSA* params, uint32_t, RasDialFunc fn,
                      HRasConn* connection) override {
        log_.push_back(fn != nullptr ? "RasDialA async" : "RasDialA sync");
        dialledEntry.assign(params->szEntryName,
                            strnlen(params->szEntryName, sizeof(params->szEntryName)));
        notifier = fn;
        if (dialHandle != 0) *connection = dialHandle;
        return dialResult;
    }

    uint32_t RasEnumConnectionsA(RASCONNA* records, uint32_t*, uint32_t* count) override {
        log_.push_back("RasEnumConnectionsA");
        for (size_t i = 0; i < connections.size(); ++i) {
            records[i].hrasconn = connections[i].Handle;
            std::strcpy(records[i].szEntryName, connections[i].EntryName.c_str());
            std::strcpy(records[i].szDeviceType, "modem");
            std::strcpy(records[i].szDeviceName, "Modem 1");
        }
        *count = static_cast<uint32_t>(connections.size());
        return 0;
    }

    uint32_t RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* records, uint32_t*,
                             uint32_t* count) override {
        log_.push_back("RasEnumEntriesA");
        if (entriesResult != 0) return entriesResult;
        for (size_t i = 0; i < entries.size(); ++i) {
            std::strcpy(records[i].szEntryName, entries[i].c_str());
        }
        *count = static_cast<uint32_t>(entries.size());
        return 0;
    }

    uint32_t RasGetConnectStatusA(HRasConn handle, RASCONNSTATUSA* status) override {
        log_.push_back("RasGetConnectStatusA " + std::to_string(handle));
        if (statusThrows) throw Error("Function RasGetConnectStatusA not found!");
        if (auto hangingUp = remainingPolls_.find(handle); hangingUp != remainingPolls_.end()) {
            if (hangingUp->second == 0) return kErrorInvalidHandle;
            if (hangingUp->second > 0) --hangingUp->second;
            status->rasconnstate = RASCS_Disconnected;
            return 0;
        }
        for (const Connection& connection : connections) {
            if (connection.Handle != handle) continue;
            if (connection.StatusFails) return kErrorInvalidHandle;
            status->rasconnstate = connection.State;
            status->dwError = connection.Error;
            return 0;
        }
        return kErrorInvalidHandle;
    }

    uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) override {
        log_.push_back("RasGetErrorStringA " + std::to_string(error));
        const auto text = errorTexts.find(error);
        if (text == errorTexts.end()) return kErrorInvalidParameter;
        std::memcpy(buffer, text->second.data(), std::min<size_t>(text->second.size(), size));
        if (text->second.size() < size) buffer[text->second.size()] = '\0';
        return 0;
    }

    uint32_t RasHangUpA(HRasConn handle) override {
        log_.push_back("RasHangUpA " + std::to_string(handle));
        if (handle == 0 && !acceptsHandleZero) return kErrorInvalidHandle;
        if (hangUpResult == 0) remainingPolls_[handle] = pollsUntilGone;
        return hangUpResult;
    }

    uint32_t RasGetEntryDialParamsA(const char*, RASDIALPARAMSA* params, int32_t*) override {
        log_.push_back(std::string("RasGetEntryDialParamsA ") + params->szEntryName);
        return dialParamsResult;
    }

  private:
    std::vector<std::string>& log_;
    std::map<HRasConn, int> remainingPolls_;
};

}  // namespace tt::testing
