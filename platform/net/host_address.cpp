#include "platform/net/host_address.h"

#include <cstring>

#include "base/files.h"

#ifdef _WIN32
#include <winsock2.h>
// After Winsock 2: the IP Helper's header needs its types.
#include <iphlpapi.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#ifdef __linux__
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#endif
#endif

namespace tt {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsDottedIPv4(std::string_view s) {
    int parts = 0;
    size_t i = 0;
    while (i < s.size()) {
        int value = 0;
        size_t digits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 4) {
            value = value * 10 + (s[i++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (i == s.size()) break;
        if (s[i++] != '.' || i == s.size()) return false;
    }
    return parts == 4;
}

}  // namespace

bool HostAddressSource::TellChanges(const HandleWatch&, std::function<void()> changed) {
    std::lock_guard lock(listenerMutex_);
    changed_ = std::move(changed);
    return false;
}

void HostAddressSource::StopTelling() {
    std::lock_guard lock(listenerMutex_);
    changed_ = nullptr;
}

void HostAddressSource::AnswerMayHaveChanged() {
    std::function<void()> changed;
    {
        std::lock_guard lock(listenerMutex_);
        changed = changed_;
    }
    if (changed) changed();
}

bool ScriptedHostAddressSource::TellChanges(const HandleWatch& loop,
                                            std::function<void()> changed) {
    HostAddressSource::TellChanges(loop, std::move(changed));
    return Tells;
}

void ScriptedHostAddressSource::Set(std::optional<std::string> address) {
    const bool same = address == address_;
    address_ = std::move(address);
    if (!same) AnswerMayHaveChanged();
}

void ScriptedHostAddressSource::SetText(std::string_view text) {
    if (text == "none")
        Set(std::nullopt);
    else
        Set(std::string(text));
}

std::optional<std::string> FindInHostsText(std::string_view text, std::string_view name) {
    if (name.empty()) return std::nullopt;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (const size_t hash = line.find('#'); hash != std::string_view::npos) {
            line = line.substr(0, hash);
        }
        std::string_view address;
        bool first = true;
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
            if (start == i) break;
            const std::string_view word = line.substr(start, i - start);
            if (first) {
                if (!IsDottedIPv4(word)) break;  // IPv6 lines and junk
                address = word;
                first = false;
            } else if (EqualNoCase(word, name)) {
                return std::string(address);
            }
        }
    }
    return std::nullopt;
}

std::string AddressFromInterfaces(const std::vector<InterfaceAddress>& interfaces) {
    for (const InterfaceAddress& i : interfaces) {
        if (i.Up && !i.Loopback) return i.Address;
    }
    return "127.0.0.1";
}

bool InterfaceNameMatches(std::string_view name, const std::vector<std::string>& patterns) {
    // Wildcard match with backtracking to the last *.
    const auto matches = [](std::string_view text, std::string_view pattern) {
        size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
        while (t < text.size()) {
            if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
                ++t;
                ++p;
            } else if (p < pattern.size() && pattern[p] == '*') {
                starP = p++;
                starT = t;
            } else if (starP != std::string_view::npos) {
                p = starP + 1;
                t = ++starT;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern[p] == '*') ++p;
        return p == pattern.size();
    };
    for (const std::string& pattern : patterns) {
        if (matches(name, pattern)) return true;
    }
    return false;
}

std::string AddressFromDialUpInterfaces(const std::vector<InterfaceAddress>& interfaces,
                                        const std::vector<std::string>& patterns) {
    for (const InterfaceAddress& i : interfaces) {
        if (i.Up && i.Address != "0.0.0.0" && InterfaceNameMatches(i.Name, patterns)) {
            return i.Address;
        }
    }
    return "127.0.0.1";
}

std::string AddressFromDialUpAdapters(const std::vector<AdapterAddress>& adapters) {
    for (const AdapterAddress& a : adapters) {
        if (a.Type == kAdapterTypePpp && !a.Address.empty() && a.Address != "0.0.0.0") {
            return a.Address;
        }
    }
    return "127.0.0.1";
}

#ifdef _WIN32

std::unique_ptr<HostAddressSource> MakeOnlineAddressSource(const OnlineRule& rule) {
    if (rule.HostName) return std::make_unique<WinsockHostAddressSource>();
    return std::make_unique<DialUpAdapterAddressSource>();
}

DialUpAdapterAddressSource::DialUpAdapterAddressSource() = default;

DialUpAdapterAddressSource::~DialUpAdapterAddressSource() {
    DialUpAdapterAddressSource::StopTelling();
    if (library_ != nullptr) FreeLibrary(static_cast<HMODULE>(library_));
}

void DialUpAdapterAddressSource::Load() {
    if (tried_) return;
    tried_ = true;
    library_ = LoadLibraryA("iphlpapi.dll");
    if (library_ != nullptr) {
        getAdaptersInfo_ = reinterpret_cast<void*>(
            GetProcAddress(static_cast<HMODULE>(library_), "GetAdaptersInfo"));
    }
}

namespace {

// The IP Helper's change notifications (Vista and later), declared here as they are called:
// the program must start on systems whose headers and libraries lack them.
using ChangeCallback = void(WINAPI*)(void* context, void* row, int type);
using NotifyChangeFn = DWORD(WINAPI*)(unsigned short family, ChangeCallback callback, void* context,
                                      BOOLEAN initial, HANDLE* handle);
using CancelNotifyFn = DWORD(WINAPI*)(HANDLE handle);

void WINAPI OnAdapterChange(void* context, void*, int) {
    static_cast<DialUpAdapterAddressSource*>(context)->FirstIPv4Changed();
}

}  // namespace

void DialUpAdapterAddressSource::FirstIPv4Changed() {
    AnswerMayHaveChanged();
}

bool DialUpAdapterAddressSource::TellChanges(const HandleWatch& loop,
                                             std::function<void()> changed) {
    HostAddressSource::TellChanges(loop, std::move(changed));
    Load();
    if (library_ == nullptr || getAdaptersInfo_ == nullptr) return false;
    const char* names[2] = {"NotifyIpInterfaceChange", "NotifyUnicastIpAddressChange"};
    bool any = false;
    for (int i = 0; i < 2; ++i) {
        const auto notify = reinterpret_cast<NotifyChangeFn>(
            reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library_), names[i])));
        HANDLE handle = nullptr;
        if (notify != nullptr &&
            notify(AF_INET, &OnAdapterChange, this, FALSE, &handle) == NO_ERROR) {
            notifications_[i] = handle;
            any = true;
        }
    }
    return any;
}

void DialUpAdapterAddressSource::StopTelling() {
    const auto cancel =
        library_ == nullptr
            ? nullptr
            : reinterpret_cast<CancelNotifyFn>(reinterpret_cast<void*>(
                  GetProcAddress(static_cast<HMODULE>(library_), "CancelMibChangeNotify2")));
    for (void*& handle : notifications_) {
        // Waits for a callback that is running: none comes after this.
        if (handle != nullptr && cancel != nullptr) cancel(static_cast<HANDLE>(handle));
        handle = nullptr;
    }
    HostAddressSource::StopTelling();
}

std::optional<std::vector<AdapterAddress>> DialUpAdapterAddressSource::Adapters() {
    using GetAdaptersInfoFn = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    Load();
    if (getAdaptersInfo_ == nullptr) return std::nullopt;
    const auto getAdaptersInfo = reinterpret_cast<GetAdaptersInfoFn>(getAdaptersInfo_);
    std::vector<AdapterAddress> adapters;
    ULONG size = 0;
    DWORD result = getAdaptersInfo(nullptr, &size);
    if (result == ERROR_NO_DATA) return adapters;  // no adapter at all: off-line
    if (result != ERROR_BUFFER_OVERFLOW || size == 0) return std::nullopt;
    // IP_ADAPTER_INFO records chain through pointers inside the buffer: keep it aligned.
    std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
    size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    result = getAdaptersInfo(buffer.data(), &size);
    if (result == ERROR_NO_DATA) return adapters;
    if (result != ERROR_SUCCESS) return std::nullopt;
    for (const IP_ADAPTER_INFO* a = buffer.data(); a != nullptr; a = a->Next) {
        adapters.push_back({static_cast<uint32_t>(a->Type),
                            std::string(a->IpAddressList.IpAddress.String,
                                        strnlen(a->IpAddressList.IpAddress.String,
                                                sizeof a->IpAddressList.IpAddress.String))});
    }
    return adapters;
}

std::optional<std::string> DialUpAdapterAddressSource::FirstIPv4() {
    if (auto adapters = Adapters()) return AddressFromDialUpAdapters(*adapters);
    return WinsockHostAddressSource().FirstIPv4();
}

std::optional<std::string> WinsockHostAddressSource::FirstIPv4() {
    char name[128] = {};
    if (gethostname(name, sizeof name) != 0) return std::nullopt;
    const hostent* host = gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list == nullptr ||
        host->h_addr_list[0] == nullptr) {
        return std::nullopt;
    }
    in_addr address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    const char* text = inet_ntoa(address);
    if (text == nullptr) return std::nullopt;
    return std::string(text);
}

#else

// Why no getaddrinfo: with a name missing from the hosts file it asks a DNS server and can
// block for many seconds, and the probe runs inside the GUI thread's one-second tick. Reading
// the hosts file and the interface list touches only local files and the kernel.
std::optional<std::string> PosixHostAddressSource::FirstIPv4() {
    char name[128] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
    if (const auto hosts = ReadWholeFile(hostsFile_)) {
        if (auto address = FindInHostsText(*hosts, name)) return address;
    }
    return AddressFromInterfaces(ListInterfaces());
}

std::vector<InterfaceAddress> ListInterfaces() {
    std::vector<InterfaceAddress> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        sockaddr_in in{};
        std::memcpy(&in, i->ifa_addr, sizeof in);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof text) == nullptr) continue;
        interfaces.push_back({text, (i->ifa_flags & IFF_UP) != 0,
                              (i->ifa_flags & IFF_LOOPBACK) != 0,
                              i->ifa_name != nullptr ? i->ifa_name : ""});
    }
    freeifaddrs(list);
    return interfaces;
}

std::optional<std::string> DialUpInterfaceAddressSource::FirstIPv4() {
    return AddressFromDialUpInterfaces(ListInterfaces(), patterns_);
}

DialUpInterfaceAddressSource::~DialUpInterfaceAddressSource() {
    DialUpInterfaceAddressSource::StopTelling();
}

bool DialUpInterfaceAddressSource::TellChanges(const HandleWatch& loop,
                                               std::function<void()> changed) {
    HostAddressSource::TellChanges(loop, std::move(changed));
    auto events = std::make_unique<NetlinkAddressEvents>();
    if (events->Handle() < 0 || !loop.Watch) return false;
    NetlinkAddressEvents* heard = events.get();
    if (!loop.Watch(heard->Handle(), [this, heard] {
            if (heard->ReadChanges()) AnswerMayHaveChanged();
        })) {
        return false;
    }
    events_ = std::move(events);
    unwatch_ = loop.Unwatch;
    return true;
}

void DialUpInterfaceAddressSource::StopTelling() {
    if (events_ && unwatch_) unwatch_(events_->Handle());
    events_.reset();
    unwatch_ = nullptr;
    HostAddressSource::StopTelling();
}

#ifdef __linux__

namespace {

// Walks the messages of one datagram, copying each header out, so that a short or misaligned
// one is read safely; a length that does not fit ends the walk.
bool NetlinkBatchTellsChange(std::string_view batch) {
    constexpr size_t kAlign = NLMSG_ALIGNTO;
    size_t at = 0;
    bool changed = false;
    while (batch.size() - at >= sizeof(nlmsghdr)) {
        nlmsghdr header{};
        std::memcpy(&header, batch.data() + at, sizeof header);
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > batch.size() - at) break;
        switch (header.nlmsg_type) {
            case RTM_NEWLINK:
            case RTM_DELLINK:
            case NLMSG_OVERRUN:
                changed = true;
                break;
            case RTM_NEWADDR:
            case RTM_DELADDR:
                if (header.nlmsg_len >= sizeof header + sizeof(ifaddrmsg)) {
                    ifaddrmsg address{};
                    std::memcpy(&address, batch.data() + at + sizeof header, sizeof address);
                    if (address.ifa_family == AF_INET) changed = true;
                }
                break;
            default:
                break;
        }
        at += (header.nlmsg_len + kAlign - 1) & ~(kAlign - 1);
        if (at > batch.size()) break;
    }
    return changed;
}

}  // namespace

NetlinkAddressEvents::NetlinkAddressEvents() {
    socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (socket_ < 0) return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

bool NetlinkAddressEvents::ReadChanges() {
    if (socket_ < 0) return false;
    bool changed = false;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            // The kernel dropped news that did not fit: what changed is unknown.
            if (errno == ENOBUFS) changed = true;
            return changed;
        }
        if (got == 0) return changed;
        // Whoever sent it, a message only makes the probe ask the kernel again.
        if (NetlinkBatchTellsChange(std::string_view(buffer, static_cast<size_t>(got)))) {
            changed = true;
        }
    }
}

#else

NetlinkAddressEvents::NetlinkAddressEvents() = default;
bool NetlinkAddressEvents::ReadChanges() {
    return false;
}

#endif

NetlinkAddressEvents::~NetlinkAddressEvents() {
    if (socket_ >= 0) ::close(socket_);
}

std::unique_ptr<HostAddressSource> MakeOnlineAddressSource(const OnlineRule& rule) {
    if (rule.HostName) return std::make_unique<PosixHostAddressSource>();
    return std::make_unique<DialUpInterfaceAddressSource>(rule.Interfaces);
}

#endif

std::optional<std::string> LineHostAddressSource::FirstIPv4() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lineAddress_) return lineAddress_;
    }
    std::optional<std::string> address = system_->FirstIPv4();
    if (address && address->rfind("127.", 0) == 0) address = "127.0.0.1";
    return address;
}

void LineHostAddressSource::LineSays(std::optional<std::string> address) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (address && *address == "127.0.0.1") address.reset();
        if (address == lineAddress_) return;
        lineAddress_ = std::move(address);
    }
    AnswerMayHaveChanged();
}

bool LineHostAddressSource::TellChanges(const HandleWatch& loop, std::function<void()> changed) {
    HostAddressSource::TellChanges(loop, std::move(changed));
    return system_->TellChanges(loop, [this] { AnswerMayHaveChanged(); });
}

void LineHostAddressSource::StopTelling() {
    system_->StopTelling();
    HostAddressSource::StopTelling();
}

}  // namespace tt
