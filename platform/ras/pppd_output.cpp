#include "platform/ras/pppd_output.h"

#include <cerrno>

#include "base/format.h"
#include "platform/ras/ras_errors.h"

namespace tt {

namespace {

// A line without its blanks; chat shows a carriage return it received as "^M".
std::string_view TrimOutput(std::string_view text) {
    text = Trim(text);
    while (text.ends_with("^M")) text = Trim(text.substr(0, text.size() - 2));
    return text;
}

// What chat's report of the modem's answer means.
uint32_t ModemAnswerError(std::string_view answer) {
    if (answer == "BUSY") return kErrorLineBusy;
    if (answer == "NO CARRIER") return kErrorNoCarrier;
    if (answer == "NO DIALTONE" || answer == "NO DIAL TONE") return kErrorNoDialTone;
    if (answer == "NO ANSWER") return kErrorNoAnswer;
    return 0;
}

// What pppd and chat print on the way of every dial, failed or not: no reason for a failure.
bool RoutineLine(std::string_view line) {
    static constexpr std::string_view kRoutine[] = {"pppd ",
                                                    "Connection terminated",
                                                    "Connect time",
                                                    "Sent ",
                                                    "Script ",
                                                    "Exit",
                                                    "Terminating on signal",
                                                    "Hangup (",
                                                    "Plugin ",
                                                    "rcvd [",
                                                    "sent [",
                                                    "remote IP address",
                                                    "primary",
                                                    "secondary",
                                                    "Waiting for",
                                                    "timeout ",
                                                    "alarm",
                                                    "abort on (",
                                                    "send (",
                                                    "expect (",
                                                    "-- got it",
                                                    "Removed stale lock",
                                                    "Using interface"};
    for (const std::string_view prefix : kRoutine) {
        if (line.starts_with(prefix)) return true;
    }
    return false;
}

// Enough for any line pppd writes about a failure; a flood is cut.
constexpr size_t kMaxReason = 160;

}  // namespace

void PppdDialProgress::Complaint(std::string_view line) {
    if (!reason_.empty() || RoutineLine(line)) return;
    // pppd names itself by the path it was started with; the name is enough.
    if (const size_t colon = line.find(": ");
        colon != std::string_view::npos && line.substr(0, colon).ends_with("/pppd")) {
        line.remove_prefix(line.rfind('/', colon) + 1);
    }
    reason_ = std::string(line.substr(0, kMaxReason));
}

std::vector<uint32_t> PppdDialProgress::Reach(uint32_t state) {
    std::vector<uint32_t> reached;
    for (int i = 0; i < static_cast<int>(std::size(kOrder)); ++i) {
        if (i > reached_) reached.push_back(kOrder[i]);
        if (kOrder[i] == state) {
            if (i > reached_) reached_ = i;
            return reached;
        }
    }
    return {};
}

std::vector<uint32_t> PppdDialProgress::Start() {
    return Reach(0);
}

std::vector<uint32_t> PppdDialProgress::Line(std::string_view raw) {
    const std::string_view line = TrimOutput(raw);
    if (line.empty() || Connected()) return {};
    // chat, when it reports to standard error: it talks to the modem, so the port is open.
    if (line.starts_with("send (") || line.starts_with("expect (") ||
        line.starts_with("abort on (") || line.starts_with("-- got it")) {
        return Reach(2);
    }
    if (line.starts_with("Failed (") && line.ends_with(")")) {
        chatFailure_ = std::string(line.substr(8, line.size() - 9));
        Complaint(line);
        return {};
    }
    // The modem's answer itself, as chat echoes it (-V, -e) or reports it (REPORT).
    if (chatFailure_.empty() && ModemAnswerError(line) != 0) {
        chatFailure_ = std::string(line);
        Complaint(line);
        return {};
    }
    if (line == "Serial connection established.") return Reach(3);
    if (line.starts_with("Using interface ")) {
        interface_ = std::string(line.substr(16));
        return {};
    }
    if (line.starts_with("Connect: ")) {
        // "Connect: ppp0 <--> /dev/ttyS0": the link is there, authentication comes next.
        const size_t arrow = line.find(" <--> ");
        if (arrow != std::string_view::npos) {
            if (interface_.empty()) interface_ = std::string(line.substr(9, arrow - 9));
            device_ = std::string(line.substr(arrow + 6));
        }
        return Reach(5);
    }
    if (line.find("peer authentication") == std::string_view::npos) {
        if (line.find("authentication succeeded") != std::string_view::npos) return Reach(14);
        if (line.find("authentication failed") != std::string_view::npos ||
            line == "Authentication failed") {
            authFailed_ = true;
            Complaint(line);
            return {};
        }
    }
    if (line.find("terminated by peer") != std::string_view::npos || line == "Modem hangup") {
        // The end of a failure more often than its cause: only the reason when nothing came
        // before it.
        hungUpByPeer_ = true;
        hangUpReason_ = std::string(line.substr(0, kMaxReason));
        return {};
    }
    for (const std::string_view prefix : {"local  IP address ", "local IP address "}) {
        if (line.starts_with(prefix)) {
            address_ = std::string(Trim(line.substr(prefix.size())));
            return Reach(RASCS_Connected);
        }
    }
    Complaint(line);
    return {};
}

uint32_t PppdDialProgress::Ended(int exitCode, int signal, bool hangUpRequested) const {
    if (hangUpRequested || Connected()) return 0;
    if (const uint32_t modem = ModemAnswerError(chatFailure_); modem != 0) return modem;
    if (!chatFailure_.empty()) return kErrorFromDevice;
    if (authFailed_) return kErrorAuthenticationFailure;
    if (hungUpByPeer_) return kErrorRemoteDisconnection;
    if (signal != 0) return kErrorDisconnection;
    // pppd's documented exit codes.
    switch (exitCode) {
        case 2:
            return kErrorCorruptPhonebook;
        case 3:
            return kErrorAccessDenied;
        case 4:
            return kErrorDeviceDoesNotExist;
        case 5:
            return kErrorUserDisconnection;
        case 6:
            return kErrorPortAlreadyOpen;
        case 7:
            return kErrorPortNotAvailable;
        case 8:
        case 18:
            return kErrorFromDevice;
        case 10:
        case 17:
            return kErrorPppNegotiation;
        case 11:
        case 19:
            return kErrorAuthenticationFailure;
        case 15:
        case 16:
            return kErrorRemoteDisconnection;
        default:
            return kErrorDisconnection;
    }
}

uint32_t PppdDialProgress::StartFailed(int error) {
    if (error == EACCES || error == EPERM) return kErrorAccessDenied;
    if (error == ENOENT || error == ENOTDIR) return kErrorServiceMissing;
    return kErrorDisconnection;
}

}  // namespace tt
