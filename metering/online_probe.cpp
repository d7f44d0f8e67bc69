#include "metering/online_probe.h"

namespace tt {

bool IsOnlineAddress(const std::optional<std::string>& address) {
    return address && *address != "0.0.0.0" && *address != "127.0.0.1";
}

bool ProbeOnline(HostAddressSource& source, bool& IsOnline) {
    IsOnline = IsOnlineAddress(source.FirstIPv4());
    return IsOnline;
}

}  // namespace tt
