#include "platform/ras/simulated_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace tt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the line told the outside, from its own thread, in one list: notifications and addresses.
std::mutex gMutex;
std::vector<std::string> gHeard;
bool gHeardOnTestThread = false;
std::thread::id gTestThread;

void Hear(const std::string& what) {
    std::lock_guard lock(gMutex);
    gHeard.push_back(what);
    if (std::this_thread::get_id() == gTestThread) gHeardOnTestThread = true;
}

void TT_RAS_CALL Notifier(uint32_t message, uint32_t state, uint32_t error) {
    EXPECT_EQ(message, kRasDialEventMessage);
    Hear(std::to_string(state) + "/" + std::to_string(error));
}

std::vector<std::string> Heard() {
    std::lock_guard lock(gMutex);
    return gHeard;
}

struct LineTest : ::testing::Test {
    SimulatedLine line{SimulatedLine::Timing::Virtual, [](std::optional<std::string> address) {
                           Hear("address " + address.value_or("none"));
                       }};

    void SetUp() override {
        std::lock_guard lock(gMutex);
        gHeard.clear();
        gHeardOnTestThread = false;
        gTestThread = std::this_thread::get_id();
    }

    uint32_t Dial(const std::string& entry, HRasConn& handle, bool async = true) {
        RASDIALPARAMSA params{};
        params.dwSize = sizeof(params);
        std::strcpy(params.szEntryName, entry.c_str());
        return line.RasDialA(nullptr, nullptr, &params, 0, async ? &Notifier : nullptr, &handle);
    }

    RASCONNSTATUSA Status(HRasConn handle, uint32_t& result) {
        RASCONNSTATUSA status{};
        status.dwSize = sizeof(status);
        result = line.RasGetConnectStatusA(handle, &status);
        return status;
    }

    std::vector<HRasConn> Connections() {
        std::vector<RASCONNA> records(100);
        records[0].dwSize = sizeof(RASCONNA);
        uint32_t size = 100 * sizeof(RASCONNA), count = 0;
        EXPECT_EQ(line.RasEnumConnectionsA(records.data(), &size, &count), 0u);
        std::vector<HRasConn> handles;
        for (uint32_t i = 0; i < count; ++i) handles.push_back(records[i].hrasconn);
        return handles;
    }
};

TEST_F(LineTest, ListsThePhoneBookInItsOrderAndRefusesTooSmallBuffers) {
    std::vector<RASENTRYNAMEA> records(3);
    uint32_t size = 3 * sizeof(RASENTRYNAMEA), count = 0;
    EXPECT_EQ(line.RasEnumEntriesA(nullptr, nullptr, records.data(), &size, &count),
              kErrorInvalidSize);  // the caller must set the record size

    records[0].dwSize = sizeof(RASENTRYNAMEA);
    line.SetPhoneBook({"Zeta", "Alfa"});
    EXPECT_EQ(line.RasEnumEntriesA(nullptr, nullptr, records.data(), &size, &count), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(records[0].szEntryName, "Zeta");
    EXPECT_STREQ(records[1].szEntryName, "Alfa");

    line.SetPhoneBook({"A", "B", "C", "D"});
    size = 3 * sizeof(RASENTRYNAMEA);
    EXPECT_EQ(line.RasEnumEntriesA(nullptr, nullptr, records.data(), &size, &count),
              kErrorBufferTooSmall);
    EXPECT_EQ(size, 4 * sizeof(RASENTRYNAMEA));
}

TEST_F(LineTest, AsyncDialReportsEachStepOnTheLinesThreadAsVirtualTimeReachesIt) {
    line.SetDialPlan("Net", *ParseDialPlan({"0", "1", "8192", "address=212.160.1.2"}));
    HRasConn handle = 0;
    ASSERT_EQ(Dial("Net", handle), 0u);
    EXPECT_NE(handle, 0u);
    line.AdvanceTo(499);
    EXPECT_THAT(Heard(), IsEmpty());
    line.AdvanceTo(1000);
    EXPECT_THAT(Heard(), ElementsAre("0/0", "1/0"));
    line.AdvanceTo(5000);
    // The address is in place before anyone hears of the connection.
    EXPECT_THAT(Heard(), ElementsAre("0/0", "1/0", "address 212.160.1.2", "8192/0"));
    EXPECT_FALSE(gHeardOnTestThread);
    uint32_t result = 0;
    EXPECT_EQ(Status(handle, result).rasconnstate, RASCS_Connected);
    EXPECT_EQ(result, 0u);
}

TEST_F(LineTest, HangUpLingersThenTheHandleIsInvalidAndTheIdleAddressReturns) {
    line.SetPhoneBook({"Net"});
    line.SetHangUpDelay(300);
    HRasConn handle = 0;
    Dial("Net", handle);
    line.AdvanceTo(10000);
    ASSERT_EQ(line.RasHangUpA(handle), 0u);
    uint32_t result = 0;
    EXPECT_EQ(Status(handle, result).rasconnstate, RASCS_Disconnected);
    EXPECT_EQ(result, 0u);
    EXPECT_THAT(Connections(), ElementsAre(handle));
    line.AdvanceTo(10299);
    Status(handle, result);
    EXPECT_EQ(result, 0u);
    line.AdvanceTo(10300);
    Status(handle, result);
    EXPECT_EQ(result, kErrorInvalidHandle);
    EXPECT_THAT(Connections(), IsEmpty());
    EXPECT_EQ(Heard().back(), "address 127.0.0.1");
    EXPECT_EQ(line.RasHangUpA(handle), kErrorInvalidHandle);
    EXPECT_EQ(line.RasHangUpA(0), kErrorInvalidHandle);
}

TEST_F(LineTest, FailedDialStaysListedUntilHungUpAndHangUpSilencesADial) {
    line.SetDialPlan("Busy", *ParseDialPlan({"0", "2/676"}));
    line.SetDialPlan("Slow", *ParseDialPlan({"0", "1", "2"}));
    line.SetHangUpDelay(0);
    HRasConn busy = 0, slow = 0;
    Dial("Busy", busy);
    Dial("Slow", slow);
    line.AdvanceTo(1000);
    uint32_t result = 0;
    const RASCONNSTATUSA status = Status(busy, result);
    EXPECT_EQ(status.rasconnstate, 2u);
    EXPECT_EQ(status.dwError, SimulatedLine::kErrorLineBusy);
    EXPECT_THAT(Connections(), ElementsAre(busy, slow));

    EXPECT_EQ(line.RasHangUpA(slow), 0u);
    EXPECT_EQ(line.RasHangUpA(busy), 0u);
    line.AdvanceTo(5000);
    EXPECT_THAT(Connections(), IsEmpty());
    // Neither was ever connected, so the host address never changed.
    EXPECT_THAT(Heard(), ElementsAre("0/0", "0/0", "2/676", "1/0"));
}

TEST_F(LineTest, HangUpThatNeverFinishesKeepsTheConnection) {
    line.SetPhoneBook({"Net"});
    line.SetHangUpDelay(std::nullopt);
    HRasConn handle = 0;
    Dial("Net", handle);
    line.RasHangUpA(handle);
    line.AdvanceTo(1000000);
    uint32_t result = 0;
    Status(handle, result);
    EXPECT_EQ(result, 0u);
}

TEST_F(LineTest, SyncDialWaitsForTheEndAndLeavesAFailedHandleToHangUp) {
    line.SetPhoneBook({"Net"});
    line.SetDialPlan("Busy", *ParseDialPlan({"0", "2/676"}));
    HRasConn handle = 0;
    EXPECT_EQ(Dial("Net", handle, false), 0u);
    EXPECT_EQ(line.NowMs(), 4000);
    EXPECT_THAT(Heard(), ElementsAre("address 10.0.0.2"));

    HRasConn failed = 0;
    EXPECT_EQ(Dial("Busy", failed, false), SimulatedLine::kErrorLineBusy);
    EXPECT_NE(failed, 0u);
    EXPECT_THAT(Connections(), ElementsAre(handle, failed));
}

TEST_F(LineTest, UnknownEntriesAndBadRecordsAreRefused) {
    line.SetPhoneBook({"Net"});
    RASDIALPARAMSA params{};
    params.dwSize = sizeof(params);
    std::strcpy(params.szEntryName, "Nowhere");
    EXPECT_EQ(line.RasGetEntryDialParamsA(nullptr, &params, nullptr),
              kErrorCannotFindPhonebookEntry);
    HRasConn handle = 0;
    EXPECT_EQ(Dial("Nowhere", handle), kErrorCannotFindPhonebookEntry);
    EXPECT_EQ(handle, 0u);
    std::strcpy(params.szEntryName, "Net");
    EXPECT_EQ(line.RasGetEntryDialParamsA(nullptr, &params, nullptr), 0u);
    params.dwSize = 1049;
    EXPECT_EQ(line.RasGetEntryDialParamsA(nullptr, &params, nullptr), kErrorInvalidSize);
}

TEST_F(LineTest, ErrorStringsFitTheBufferAndUnknownCodesHaveNone) {
    char buffer[100];
    ASSERT_EQ(line.RasGetErrorStringA(SimulatedLine::kErrorNoAnswer, buffer, 100), 0u);
    EXPECT_STREQ(buffer, "The remote computer did not answer.");
    char small[8];
    ASSERT_EQ(line.RasGetErrorStringA(SimulatedLine::kErrorNoAnswer, small, 8), 0u);
    EXPECT_STREQ(small, "The rem");
    EXPECT_NE(line.RasGetErrorStringA(12345, buffer, 100), 0u);
}

TEST(DialPlanText, ReadsStatesErrorsAndAddress) {
    const auto plan = ParseDialPlan({"0", "5/691", "address=10.1.2.3"});
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->Steps.size(), 2u);
    EXPECT_EQ(plan->Steps[1].State, 5u);
    EXPECT_EQ(plan->Steps[1].Error, 691u);
    EXPECT_EQ(plan->Steps[1].DelayMs, 500);
    EXPECT_EQ(plan->Address, "10.1.2.3");
    for (const char* bad : {"x", "5/", "/5", "-1", "5/6/7", "address=10.1.2", "address=1.2.3.256",
                            "address=1.2.3.4.5", "address=", "99999999999"}) {
        EXPECT_FALSE(ParseDialPlan({bad})) << bad;
    }
    // Nothing can follow the step that ends the dial.
    EXPECT_FALSE(ParseDialPlan({"8192", "1"}));
    EXPECT_FALSE(ParseDialPlan({"3/678", "4"}));
    EXPECT_TRUE(ParseDialPlan({"8192", "address=1.2.3.4"}));
}

std::atomic<int> gReports = 0;
void TT_RAS_CALL CountReport(uint32_t, uint32_t, uint32_t) {
    ++gReports;
}

TEST(SimulatedLineRealTime, DeliversOnTheRealClock) {
    gReports = 0;
    SimulatedLine line(SimulatedLine::Timing::Real);
    DialPlan plan;
    plan.Steps = {{0, 0, 1}, {RASCS_Connected, 0, 1}};
    line.SetDialPlan("Net", plan);
    RASDIALPARAMSA params{};
    params.dwSize = sizeof(params);
    std::strcpy(params.szEntryName, "Net");
    HRasConn handle = 0;
    ASSERT_EQ(line.RasDialA(nullptr, nullptr, &params, 0, &CountReport, &handle), 0u);
    for (int i = 0; i < 5000 && gReports < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(gReports, 2);
    // Without a notifier the call itself waits for the end.
    EXPECT_EQ(line.RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle), 0u);
}

}  // namespace
}  // namespace tt
