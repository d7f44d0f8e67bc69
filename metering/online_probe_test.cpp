#include "metering/online_probe.h"

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "testing/test_temp_folder.h"

namespace tt {
namespace {

TEST(ProbeOnline, OnlyTheWholeLoopbackOrNullAddressIsOffline) {
    ScriptedHostAddressSource source;
    struct Case {
        const char* address;
        bool online;
    };
    for (const Case c : {Case{"0.0.0.0", false}, Case{"127.0.0.1", false}, Case{"10.0.0.5", true},
                         Case{"212.160.1.2", true}, Case{"127.0.0.2", true},
                         Case{"127.0.0.10", true}, Case{"none", false}}) {
        source.SetText(c.address);
        bool IsOnline = !c.online;
        EXPECT_EQ(ProbeOnline(source, IsOnline), c.online) << c.address;
        EXPECT_EQ(IsOnline, c.online) << c.address;
    }
}

TEST(ProbeOnline, TheRuleComesFromTheSettingsFile) {
    const testing::TempFolder folder;
    TSettings settings(folder / "taktomat.ini");
    OnlineRule rule = ReadOnlineRule(settings);
    EXPECT_FALSE(rule.HostName);
    EXPECT_EQ(rule.Interfaces, std::vector<std::string>{"ppp*"});
    settings.WriteString("ONLINE", "RULE", "HostName");
    settings.WriteString("ONLINE", "INTERFACES", "ppp*, wwan0  dsl?");
    rule = ReadOnlineRule(settings);
    EXPECT_TRUE(rule.HostName);
    EXPECT_EQ(rule.Interfaces, (std::vector<std::string>{"ppp*", "wwan0", "dsl?"}));
    settings.WriteString("ONLINE", "RULE", "dialup");
    settings.WriteString("ONLINE", "INTERFACES", " , ");
    rule = ReadOnlineRule(settings);
    EXPECT_FALSE(rule.HostName);
    EXPECT_EQ(rule.Interfaces, std::vector<std::string>{"ppp*"});
#ifndef _WIN32
    // The rule's keys are among those read at start: asking for them reads the file no more.
    const TSettings fresh(folder / "taktomat.ini");
    EXPECT_EQ(ReadOnlineRule(fresh).Interfaces, std::vector<std::string>{"ppp*"});
    EXPECT_EQ(fresh.Readings(), 1u);
#endif
}

TEST(ProbeOnline, EveryCallOverwritesTheFlag) {
    ScriptedHostAddressSource source;
    bool IsOnline = true;
    ProbeOnline(source, IsOnline);  // the answer is ignored, the flag still changes
    EXPECT_FALSE(IsOnline);
    source.Set("10.0.0.5");
    ProbeOnline(source, IsOnline);
    EXPECT_TRUE(IsOnline);
}

}  // namespace
}  // namespace tt
