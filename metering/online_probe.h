#pragma once
#include <optional>
#include <string>

#include "platform/net/host_address.h"

namespace tt {

class TSettings;

// Which rule the probe follows, from section "ONLINE" of "taktomat.ini": "RULE" = "hostname"
// chooses the host-name rule, anything else (the default "dialup") the dial-up link;
// "INTERFACES" names the dial-up interfaces on Linux, separated by commas or spaces, with the
// wildcards * and ? (default "ppp*").
OnlineRule ReadOnlineRule(const TSettings& settings);

// On-line unless the address is exactly "0.0.0.0" or "127.0.0.1"; no address is off-line.
bool IsOnlineAddress(const std::optional<std::string>& address);

// Asks the source for the first address of the local host name, stores the answer in
// `IsOnline` (every call, also when the caller ignores it) and returns it.
bool ProbeOnline(HostAddressSource& source, bool& IsOnline);

}  // namespace tt
