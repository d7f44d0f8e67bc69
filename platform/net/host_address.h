#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

// Where the on-line probe learns the first IPv4 address of the local host name, as dotted
// text. It is asked every second on the GUI thread, so no source may wait on the network.
class HostAddressSource {
  public:
    virtual ~HostAddressSource() = default;
    // Nothing when the name has no IPv4 address or cannot be looked up.
    virtual std::optional<std::string> FirstIPv4() = 0;
};

// Tests, the headless backend and the scenario runner say what the address is.
class ScriptedHostAddressSource : public HostAddressSource {
  public:
    std::optional<std::string> FirstIPv4() override { return address_; }
    void Set(std::optional<std::string> address) { address_ = std::move(address); }
    // "none" means no address; any other text is the address.
    void SetText(std::string_view text);

  private:
    std::optional<std::string> address_;
};

#ifndef _WIN32
// Linux and the other POSIX systems. The name is looked up without DNS: first in the hosts
// file, as the resolver would before asking a server, then among the local interfaces.
class PosixHostAddressSource : public HostAddressSource {
  public:
    explicit PosixHostAddressSource(std::string hostsFile = "/etc/hosts")
        : hostsFile_(std::move(hostsFile)) {}
    std::optional<std::string> FirstIPv4() override;

  private:
    std::string hostsFile_;
};
#endif

// The first IPv4 address that a hosts file gives `name` (names compared without case).
std::optional<std::string> FindInHostsText(std::string_view hostsText, std::string_view name);

struct InterfaceAddress {
    std::string Address;  // dotted IPv4
    bool Up = false;
    bool Loopback = false;
};
// What a name missing from the hosts file stands for: the first address of an interface that
// is up and not the loopback, else the loopback's 127.0.0.1 (so the machine is off-line).
std::string AddressFromInterfaces(const std::vector<InterfaceAddress>& interfaces);

#ifdef _WIN32
// Windows: gethostname, gethostbyname and inet_ntoa of Winsock 1.1. The program starts and
// cleans up the library; the local name is answered by the system without a query.
class WinsockHostAddressSource : public HostAddressSource {
  public:
    std::optional<std::string> FirstIPv4() override;
};
#endif

}  // namespace tt
