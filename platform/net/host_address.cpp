#include "platform/net/host_address.h"

#include <cstring>

#include "base/files.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>
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

void ScriptedHostAddressSource::SetText(std::string_view text) {
    if (text == "none")
        address_.reset();
    else
        address_ = std::string(text);
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

#ifdef _WIN32

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
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<InterfaceAddress> interfaces;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        sockaddr_in in{};
        std::memcpy(&in, i->ifa_addr, sizeof in);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof text) == nullptr) continue;
        interfaces.push_back(
            {text, (i->ifa_flags & IFF_UP) != 0, (i->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return AddressFromInterfaces(interfaces);
}

#endif

}  // namespace tt
