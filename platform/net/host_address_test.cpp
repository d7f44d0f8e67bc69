#include "platform/net/host_address.h"

#include <gtest/gtest.h>
#include <cstdio>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <unistd.h>
#endif

#include "base/files.h"
#include "base/test_temp_folder.h"

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
    EXPECT_EQ(
        AddressFromInterfaces(
            {{"127.0.0.1", true, true}, {"192.168.1.9", false, false}, {"10.64.0.2", true, false}}),
        "10.64.0.2");
}

TEST(HostAddressSources, Scripted) {
    ScriptedHostAddressSource scripted;
    EXPECT_EQ(scripted.FirstIPv4(), std::nullopt);
    scripted.SetText("10.0.0.5");
    EXPECT_EQ(scripted.FirstIPv4(), "10.0.0.5");
    scripted.SetText("none");
    EXPECT_EQ(scripted.FirstIPv4(), std::nullopt);
}

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
#else
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
