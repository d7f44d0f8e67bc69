#pragma once
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ras/ras_api.h"

namespace tt {

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
    std::vector<uint32_t> Line(std::string_view raw);
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
    // pppd's (or its connect script's) own words for what went wrong, as it printed them: the
    // first complaint of the dial, else its last word on a hang-up; empty when it said neither.
    const std::string& Reason() const { return reason_.empty() ? hangUpReason_ : reason_; }

  private:
    std::vector<uint32_t> Reach(uint32_t state);
    void Complaint(std::string_view line);

    int reached_ = -1;
    std::string interface_;
    std::string address_;
    std::string device_;
    std::string reason_;
    std::string hangUpReason_;
    std::string chatFailure_;  // the modem's answer that made the chat script give up
    bool authFailed_ = false;
    bool hungUpByPeer_ = false;
};

}  // namespace tt
