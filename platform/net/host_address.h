#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

// The window thread's loop as a source needs it to hear from the system: `Watch` calls `ready`
// on that thread whenever the descriptor can be read (false where the loop cannot watch one),
// `Unwatch` stops it.
struct HandleWatch {
    std::function<bool(int handle, std::function<void()> ready)> Watch;
    std::function<void(int handle)> Unwatch;
};

// Where the on-line probe learns the first IPv4 address of the local host name, as dotted
// text. It is asked on the GUI thread, so no source may wait on the network.
class HostAddressSource {
  public:
    virtual ~HostAddressSource() = default;
    // Nothing when the name has no IPv4 address or cannot be looked up.
    virtual std::optional<std::string> FirstIPv4() = 0;
    // From now on `changed` is called, from any thread, whenever the answer may have changed;
    // true when the source sees every change, so that it need not be asked every second. A
    // source that cannot tell returns false and must be polled.
    virtual bool TellChanges(const HandleWatch& loop, std::function<void()> changed);
    // No more calls of `changed` after this returns.
    virtual void StopTelling();

  protected:
    void AnswerMayHaveChanged();

  private:
    std::mutex listenerMutex_;
    std::function<void()> changed_;
};

// Tests, the headless backend and the scenario runner say what the address is, and it tells
// every change it is given.
class ScriptedHostAddressSource : public HostAddressSource {
  public:
    std::optional<std::string> FirstIPv4() override { return address_; }
    bool TellChanges(const HandleWatch& loop, std::function<void()> changed) override;
    void Set(std::optional<std::string> address);
    // False: it claims not to tell, as a system source that must be polled.
    bool Tells = true;
    // "none" means no address; any other text is the address.
    void SetText(std::string_view text);

  private:
    std::optional<std::string> address_;
};

// The address while the program dials on a simulated line: the line's own while it is connected,
// the machine's (`system`) otherwise. The line tells it from its own thread.
class LineHostAddressSource : public HostAddressSource {
  public:
    explicit LineHostAddressSource(std::unique_ptr<HostAddressSource> system)
        : system_(std::move(system)) {}
    // The system's answer in 127.0.0.0/8 is the loopback, never a connection (Debian names the
    // host 127.0.1.1), though the probe knows only 127.0.0.1 as off-line.
    std::optional<std::string> FirstIPv4() override;
    // The line's idle address is the loopback: then the machine's own answer counts.
    void LineSays(std::optional<std::string> address);
    // As well as the system's source tells, with the line's changes besides.
    bool TellChanges(const HandleWatch& loop, std::function<void()> changed) override;
    void StopTelling() override;

  private:
    std::mutex mutex_;
    std::optional<std::string> lineAddress_;
    std::unique_ptr<HostAddressSource> system_;
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
    std::string Name;  // eth0, wlan0, ppp0, ...
};
// What a name missing from the hosts file stands for: the first address of an interface that
// is up and not the loopback, else the loopback's 127.0.0.1 (so the machine is off-line).
std::string AddressFromInterfaces(const std::vector<InterfaceAddress>& interfaces);

// Which rule tells the probe that the computer is on-line. A meter of telephone pulses must
// count only the telephone link: by default the address of an up dial-up link (a pppd
// interface on Linux, an adapter of the PPP type on Windows), else 127.0.0.1. The host-name
// rule, where the first address of the local host name counts, is for machines where that is
// what the user wants; there any network card makes the computer on-line.
struct OnlineRule {
    bool HostName = false;
    // Linux: the interfaces that are dial-up links, as names with the wildcards * and ?.
    std::vector<std::string> Interfaces = {"ppp*"};
};

// A name against patterns with * (any run of characters) and ? (one character).
bool InterfaceNameMatches(std::string_view name, const std::vector<std::string>& patterns);
// The first interface named by the patterns that is up with an IPv4 address other than
// 0.0.0.0, else 127.0.0.1 (off-line).
std::string AddressFromDialUpInterfaces(const std::vector<InterfaceAddress>& interfaces,
                                        const std::vector<std::string>& patterns);

// An adapter as the Windows IP Helper lists it.
struct AdapterAddress {
    uint32_t Type = 0;    // 23: a PPP link (dial-up); 6: Ethernet; 71: wireless; ...
    std::string Address;  // the first IPv4 address, dotted
};
constexpr uint32_t kAdapterTypePpp = 23;
// The first PPP adapter's address other than 0.0.0.0, else 127.0.0.1 (off-line).
std::string AddressFromDialUpAdapters(const std::vector<AdapterAddress>& adapters);

// The address source of the rule for this machine.
std::unique_ptr<HostAddressSource> MakeOnlineAddressSource(const OnlineRule& rule);

#ifndef _WIN32
// The IPv4 interfaces of this machine, from the kernel.
std::vector<InterfaceAddress> ListInterfaces();

// Linux: the kernel's news of interfaces and their IPv4 addresses, as a route netlink socket
// subscribed to the link and IPv4 address groups hears it. Elsewhere it never opens.
class NetlinkAddressEvents {
  public:
    NetlinkAddressEvents();
    // Takes over a socket that someone else feeds with netlink messages.
    explicit NetlinkAddressEvents(int socket) : socket_(socket) {}
    ~NetlinkAddressEvents();
    NetlinkAddressEvents(const NetlinkAddressEvents&) = delete;
    NetlinkAddressEvents& operator=(const NetlinkAddressEvents&) = delete;
    // -1 when the socket could not be opened.
    int Handle() const { return socket_; }
    // Reads everything waiting, without blocking; true when a link or an IPv4 address came,
    // went or changed, or when news was lost (the socket's buffer overran) and the answer must
    // be asked for again.
    bool ReadChanges();

  private:
    int socket_ = -1;
};

// Linux: the address of an up dial-up interface. Asks the kernel only, never a resolver, and
// hears of the kernel's changes where the window thread's loop can watch a socket.
class DialUpInterfaceAddressSource : public HostAddressSource {
  public:
    explicit DialUpInterfaceAddressSource(std::vector<std::string> patterns)
        : patterns_(std::move(patterns)) {}
    ~DialUpInterfaceAddressSource() override;
    std::optional<std::string> FirstIPv4() override;
    bool TellChanges(const HandleWatch& loop, std::function<void()> changed) override;
    void StopTelling() override;

  private:
    std::vector<std::string> patterns_;
    std::unique_ptr<NetlinkAddressEvents> events_;
    std::function<void(int)> unwatch_;
};
#endif

#ifdef _WIN32
// Windows: the address of an up PPP adapter, from GetAdaptersInfo of the IP Helper, which is
// loaded when first needed so that the program still starts where it is missing. Where the
// system cannot list its adapters, the host-name rule answers instead.
// Changes are heard through NotifyIpInterfaceChange and NotifyUnicastIpAddressChange, loaded
// the same way; where they are missing the source is polled.
class DialUpAdapterAddressSource : public HostAddressSource {
  public:
    DialUpAdapterAddressSource();
    ~DialUpAdapterAddressSource() override;
    DialUpAdapterAddressSource(const DialUpAdapterAddressSource&) = delete;
    DialUpAdapterAddressSource& operator=(const DialUpAdapterAddressSource&) = delete;
    std::optional<std::string> FirstIPv4() override;
    // The adapters, or nothing where the system cannot list them.
    std::optional<std::vector<AdapterAddress>> Adapters();
    bool TellChanges(const HandleWatch& loop, std::function<void()> changed) override;
    void StopTelling() override;
    // The system's notification threads call this.
    void FirstIPv4Changed();

  private:
    void Load();
    void* library_ = nullptr;
    void* getAdaptersInfo_ = nullptr;
    bool tried_ = false;
    void* notifications_[2] = {nullptr, nullptr};
};

// Windows: gethostname, gethostbyname and inet_ntoa of Winsock 1.1. The program starts and
// cleans up the library; the local name is answered by the system without a query.
class WinsockHostAddressSource : public HostAddressSource {
  public:
    std::optional<std::string> FirstIPv4() override;
};
#endif

}  // namespace tt
