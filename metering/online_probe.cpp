#include "metering/online_probe.h"

#include "settings/settings.h"

namespace tt {

OnlineRule ReadOnlineRule(const TSettings& settings) {
    OnlineRule rule;
    std::string kind = Read(settings, keys::RULE);
    for (char& c : kind) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    rule.HostName = kind == "hostname";
    const std::string names = Read(settings, keys::INTERFACES);
    std::vector<std::string> patterns;
    std::string current;
    for (const char c : names + ",") {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!current.empty()) patterns.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!patterns.empty()) rule.Interfaces = patterns;
    return rule;
}

bool IsOnlineAddress(const std::optional<std::string>& address) {
    return address && *address != "0.0.0.0" && *address != "127.0.0.1";
}

bool ProbeOnline(HostAddressSource& source, bool& IsOnline) {
    IsOnline = IsOnlineAddress(source.FirstIPv4());
    return IsOnline;
}

}  // namespace tt
