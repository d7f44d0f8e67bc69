#include "platform/net/host_address.h"

#include <gtest/gtest.h>
#include <cstdio>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#endif

#include "base/files.h"
#include "testing/test_temp_folder.h"

namespace tt {
namespace {

TEST(HostsFile, FirstIPv4LineThatNamesTheHostWins) {
    const std::string hosts =
        "# static table\n"
        "127.0.0.1\tlocalhost\n"
        "::1 ip6-localhost taktomat\n"
        "10.0.0.5   other   TAKTOMAT.local  Taktomat # the card\r\n"
        "212.160.1.2 taktomat\n";
    EXPECT_EQ(FindInHostsText(hosts, "taktomat"), "10.0.0.5");
    EXPECT_EQ(FindInHostsText(hosts, "taktomat.LOCAL"), "10.0.0.5");
    EXPECT_EQ(FindInHostsText(hosts, "localhost"), "127.0.0.1");
    EXPECT_EQ(FindInHostsText(hosts, "ip6-localhost"), std::nullopt);
    EXPECT_EQ(FindInHostsText(hosts, "the"), std::nullopt);  // a comment is no name
    EXPECT_EQ(FindInHostsText(hosts, "card"), std::nullopt);
    EXPECT_EQ(FindInHostsText("300.1.1.1 h\n1.2.3 h\nh 1.2.3.4\n", "h"), std::nullopt);
    EXPECT_EQ(FindInHostsText("1.2.3.4 h", ""), std::nullopt);
}

TEST(HostsFile, InterfacesStandInForAMissingName) {
    EXPECT_EQ(AddressFromInterfaces({}), "127.0.0.1");
    EXPECT_EQ(AddressFromInterfaces({{"127.0.0.1", true, true, "lo"},
                                     {"192.168.1.9", false, false, "eth1"},
                                     {"10.64.0.2", true, false, "eth0"}}),
              "10.64.0.2");
}

TEST(DialUpRule, OnlyAnUpDialUpInterfaceWithAnAddressCounts) {
    const std::vector<std::string> ppp = {"ppp*"};
    // A LAN and a wireless card are up: still off-line, they are no telephone connection.
    EXPECT_EQ(AddressFromDialUpInterfaces({{"127.0.0.1", true, true, "lo"},
                                           {"192.168.1.9", true, false, "eth0"},
                                           {"10.64.0.2", true, false, "wlan0"}},
                                          ppp),
              "127.0.0.1");
    EXPECT_EQ(AddressFromDialUpInterfaces({{"192.168.1.9", true, false, "eth0"},
                                           {"10.9.0.9", false, false, "ppp1"},
                                           {"0.0.0.0", true, false, "ppp2"},
                                           {"212.160.1.2", true, false, "ppp0"}},
                                          ppp),
              "212.160.1.2");
    EXPECT_EQ(AddressFromDialUpInterfaces({{"10.0.0.3", true, false, "wwan0"}}, ppp), "127.0.0.1");
    EXPECT_EQ(AddressFromDialUpInterfaces({{"10.0.0.3", true, false, "wwan0"}}, {"ppp*", "wwan?"}),
              "10.0.0.3");
}

TEST(DialUpRule, InterfaceNamesMatchWildcards) {
    EXPECT_TRUE(InterfaceNameMatches("ppp0", {"ppp*"}));
    EXPECT_TRUE(InterfaceNameMatches("ppp", {"ppp*"}));
    EXPECT_FALSE(InterfaceNameMatches("xppp0", {"ppp*"}));
    EXPECT_TRUE(InterfaceNameMatches("dsl-link", {"*-link"}));
    EXPECT_TRUE(InterfaceNameMatches("a1b", {"a?b"}));
    EXPECT_FALSE(InterfaceNameMatches("a12b", {"a?b"}));
    EXPECT_TRUE(InterfaceNameMatches("eth0", {"eth0"}));
    EXPECT_FALSE(InterfaceNameMatches("eth0", {}));
}

TEST(DialUpRule, OnlyAPppAdapterCountsOnWindows) {
    EXPECT_EQ(AddressFromDialUpAdapters({}), "127.0.0.1");
    EXPECT_EQ(AddressFromDialUpAdapters({{6, "192.168.1.9"}, {71, "10.64.0.2"}}), "127.0.0.1");
    EXPECT_EQ(
        AddressFromDialUpAdapters(
            {{6, "192.168.1.9"}, {kAdapterTypePpp, "0.0.0.0"}, {kAdapterTypePpp, "212.160.1.2"}}),
        "212.160.1.2");
}

TEST(HostAddressSources, Scripted) {
    ScriptedHostAddressSource scripted;
    EXPECT_EQ(scripted.FirstIPv4(), std::nullopt);
    scripted.SetText("10.0.0.5");
    EXPECT_EQ(scripted.FirstIPv4(), "10.0.0.5");
    scripted.SetText("none");
    EXPECT_EQ(scripted.FirstIPv4(), std::nullopt);
}

TEST(HostAddressSources, TheSimulatedLineAnswersWhileConnectedAndTheMachineOtherwise) {
    auto system = std::make_unique<ScriptedHostAddressSource>();
    ScriptedHostAddressSource& machine = *system;
    LineHostAddressSource host(std::move(system));
    machine.Set("127.0.1.1");  // the loopback by another name is still off-line
    EXPECT_EQ(host.FirstIPv4(), "127.0.0.1");
    host.LineSays("10.0.0.7");
    EXPECT_EQ(host.FirstIPv4(), "10.0.0.7");
    host.LineSays("127.0.0.1");  // the line's idle address hands back to the machine
    machine.Set("192.168.1.5");
    EXPECT_EQ(host.FirstIPv4(), "192.168.1.5");
    host.LineSays(std::nullopt);
    machine.Set(std::nullopt);
    EXPECT_EQ(host.FirstIPv4(), std::nullopt);
}

TEST(HostAddressSources, TheSimulatedLineTellsTheChangesOfTheLineAndOfTheMachine) {
    auto system = std::make_unique<ScriptedHostAddressSource>();
    ScriptedHostAddressSource& machine = *system;
    LineHostAddressSource host(std::move(system));
    int told = 0;
    EXPECT_TRUE(host.TellChanges({}, [&] { ++told; }));
    host.LineSays("10.0.0.7");
    host.LineSays("10.0.0.7");  // no change
    machine.Set("192.168.1.5");
    EXPECT_EQ(told, 2);
    host.StopTelling();
    host.LineSays(std::nullopt);
    machine.Set("192.168.1.6");
    EXPECT_EQ(told, 2);
    // A machine whose source must be polled makes the line's source polled too.
    machine.Tells = false;
    EXPECT_FALSE(host.TellChanges({}, [&] { ++told; }));
}

#ifdef __linux__
// The kernel's news as the probe's socket gets it, through a stand-in socket pair: one
// datagram of netlink messages each.
std::string NetlinkMessage(uint16_t type, unsigned char family = AF_INET, uint32_t length = 0) {
    std::string message(NLMSG_SPACE(sizeof(ifaddrmsg)), '\0');
    nlmsghdr header{};
    header.nlmsg_len = length != 0 ? length : NLMSG_LENGTH(sizeof(ifaddrmsg));
    header.nlmsg_type = type;
    ifaddrmsg body{};
    body.ifa_family = family;
    std::memcpy(message.data(), &header, sizeof header);
    std::memcpy(message.data() + NLMSG_HDRLEN, &body, sizeof body);
    return message;
}

TEST(NetlinkAddressEvents, TellsLinksAndIPv4AddressesAndNothingElse) {
    const std::string route = NetlinkMessage(RTM_NEWROUTE);
    const struct {
        const char* name;
        std::vector<std::string> datagrams;
        bool changed;
    } cases[] = {
        {"nothing waiting", {}, false},
        {"an IPv4 address came", {NetlinkMessage(RTM_NEWADDR)}, true},
        {"an IPv4 address went", {NetlinkMessage(RTM_DELADDR)}, true},
        {"an IPv6 address", {NetlinkMessage(RTM_NEWADDR, AF_INET6)}, false},
        {"a link went down", {NetlinkMessage(RTM_NEWLINK, AF_UNSPEC)}, true},
        {"a link went", {NetlinkMessage(RTM_DELLINK, AF_UNSPEC)}, true},
        {"a route", {route}, false},
        {"an address behind a route", {route + NetlinkMessage(RTM_NEWADDR)}, true},
        {"the second datagram", {route, NetlinkMessage(RTM_DELADDR)}, true},
        {"a length past the datagram", {NetlinkMessage(RTM_NEWADDR, AF_INET, 4096)}, false},
        {"a length shorter than a header", {NetlinkMessage(RTM_NEWADDR, AF_INET, 4)}, false},
        {"an address without its body",
         {NetlinkMessage(RTM_NEWADDR, AF_INET, NLMSG_HDRLEN).substr(0, NLMSG_HDRLEN)},
         false},
        {"a stray byte", {std::string(1, '\x14')}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, pair), 0);
        NetlinkAddressEvents events(pair[0]);
        for (const std::string& d : c.datagrams) {
            ASSERT_EQ(send(pair[1], d.data(), d.size(), 0), static_cast<ssize_t>(d.size()));
        }
        EXPECT_EQ(events.ReadChanges(), c.changed);
        // Everything was read: the loop is not called again for the same news.
        EXPECT_FALSE(events.ReadChanges());
        close(pair[1]);
    }
}

TEST(NetlinkAddressEvents, TheDialUpRuleIsToldThroughTheLoopWhenItCanWatchTheSocket) {
    DialUpInterfaceAddressSource source({"ppp*"});
    int watched = -1, unwatched = -1;
    std::function<void()> ready;
    HandleWatch loop;
    loop.Watch = [&](int handle, std::function<void()> r) {
        watched = handle;
        ready = std::move(r);
        return true;
    };
    loop.Unwatch = [&](int handle) { unwatched = handle; };
    int told = 0;
    if (!source.TellChanges(loop, [&] { ++told; })) GTEST_SKIP() << "no route netlink here";
    ASSERT_GE(watched, 0);
    ready();  // nothing waiting: nothing told
    EXPECT_EQ(told, 0);
    source.StopTelling();
    EXPECT_EQ(unwatched, watched);
    // A loop that cannot watch a socket: the source is polled.
    loop.Watch = [](int, std::function<void()>) { return false; };
    EXPECT_FALSE(source.TellChanges(loop, [] {}));
}
#endif

#ifdef _WIN32
TEST(HostAddressSources, WinsockAnswersTheLocalNameAsDottedText) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    const auto address = WinsockHostAddressSource().FirstIPv4();
    WSACleanup();
    ASSERT_TRUE(address.has_value());
    int a = 0, b = 0, c = 0, d = 0;
    char end = 0;
    EXPECT_EQ(std::sscanf(address->c_str(), "%d.%d.%d.%d%c", &a, &b, &c, &d, &end), 4) << *address;
}

// The mend: Wine, like any Windows PC with a network card, lists its LAN adapter and gives the
// host name a LAN address; the dial-up rule no longer counts that as on-line.
TEST(HostAddressSources, TheLanAdapterIsNoDialUpConnection) {
    DialUpAdapterAddressSource source;
    const auto adapters = source.Adapters();
    ASSERT_TRUE(adapters.has_value()) << "the IP Helper could not list the adapters";
    bool lan = false;
    for (const AdapterAddress& a : *adapters) {
        std::printf("adapter type %u address %s\n", static_cast<unsigned>(a.Type),
                    a.Address.c_str());
        if (a.Type != kAdapterTypePpp && a.Address != "0.0.0.0" && !a.Address.empty()) lan = true;
    }
    if (!lan) GTEST_SKIP() << "no LAN adapter with an address here";
    EXPECT_EQ(source.FirstIPv4(), "127.0.0.1");
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    const auto byHostName = WinsockHostAddressSource().FirstIPv4();
    WSACleanup();
    std::printf("the host-name rule would answer %s\n", byHostName.value_or("nothing").c_str());
}
#else
TEST(HostAddressSources, TheDialUpRuleCountsNoLanInterface) {
    bool lan = false;
    for (const InterfaceAddress& i : ListInterfaces()) {
        if (i.Up && !i.Loopback && !InterfaceNameMatches(i.Name, {"ppp*"})) lan = true;
        if (InterfaceNameMatches(i.Name, {"ppp*"})) GTEST_SKIP() << "a dial-up link is up here";
    }
    if (!lan) GTEST_SKIP() << "no LAN interface here";
    EXPECT_EQ(DialUpInterfaceAddressSource({"ppp*"}).FirstIPv4(), "127.0.0.1");
    EXPECT_EQ(MakeOnlineAddressSource(OnlineRule{})->FirstIPv4(), "127.0.0.1");
}

TEST(HostAddressSources, PosixReadsTheHostsFileThenTheInterfaces) {
    char name[128] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    const testing::TempFolder folder;
    const std::string hosts = (folder / "hosts").string();
    ASSERT_TRUE(ReplaceFileAtomically(hosts, "212.160.1.2 " + std::string(name) + "\n"));
    EXPECT_EQ(PosixHostAddressSource(hosts).FirstIPv4(), "212.160.1.2");
    std::remove(hosts.c_str());
    // Without a hosts file the answer comes from the interfaces: always some address.
    EXPECT_TRUE(PosixHostAddressSource(hosts).FirstIPv4().has_value());
}
#endif

}  // namespace
}  // namespace tt
