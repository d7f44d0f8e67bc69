#include "platform/ras/ras_binding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "base/error.h"

namespace tt {
namespace {

using ::testing::ElementsAre;

// Every fake entry point writes what it received here and answers with its own number.
std::vector<std::string> gCalls;

uint32_t TT_RAS_CALL FakeDial(void* extensions, const char* phoneBook, RASDIALPARAMSA* params,
                              uint32_t type, RasDialFunc notifier, HRasConn* connection) {
    gCalls.push_back("dial " + std::to_string(extensions == nullptr) +
                     std::to_string(phoneBook == nullptr) + " " + params->szEntryName + " " +
                     std::to_string(type) + " " + std::to_string(notifier != nullptr));
    *connection = 99;
    return 1;
}
uint32_t TT_RAS_CALL FakeEnumConnections(RASCONNA*, uint32_t* size, uint32_t*) {
    gCalls.push_back("connections " + std::to_string(*size));
    return 2;
}
uint32_t TT_RAS_CALL FakeEnumEntries(const char*, const char*, RASENTRYNAMEA*, uint32_t* size,
                                     uint32_t*) {
    gCalls.push_back("entries " + std::to_string(*size));
    return 3;
}
uint32_t TT_RAS_CALL FakeConnectStatus(HRasConn connection, RASCONNSTATUSA*) {
    gCalls.push_back("status " + std::to_string(connection));
    return 4;
}
uint32_t TT_RAS_CALL FakeErrorString(uint32_t error, char*, uint32_t size) {
    gCalls.push_back("error " + std::to_string(error) + " " + std::to_string(size));
    return 5;
}
uint32_t TT_RAS_CALL FakeHangUp(HRasConn connection) {
    gCalls.push_back("hangup " + std::to_string(connection));
    return 6;
}
uint32_t TT_RAS_CALL FakeDialParams(const char*, RASDIALPARAMSA* params, int32_t*) {
    gCalls.push_back(std::string("params ") + params->szEntryName);
    return 7;
}
void TT_RAS_CALL NoNotifier(uint32_t, uint32_t, uint32_t) {}

template <typename Fn>
LibraryLoader::Proc P(Fn fn) {
    return reinterpret_cast<LibraryLoader::Proc>(fn);
}

// The seven entry points under the names the platform's primary library exports.
std::map<std::string, LibraryLoader::Proc> AllEntryPoints() {
    return {{"RasDialA", P(&FakeDial)},
            {"RasEnumConnectionsA", P(&FakeEnumConnections)},
            {"RasEnumEntriesA", P(&FakeEnumEntries)},
            {"RasGetConnectStatusA", P(&FakeConnectStatus)},
            {"RasGetErrorStringA", P(&FakeErrorString)},
            {"RasHangUpA", P(&FakeHangUp)},
            {"RasGetEntryDialParamsA", P(&FakeDialParams)}};
}

class FakeLoader : public LibraryLoader {
  public:
    std::map<std::string, std::map<std::string, Proc>> libraries;
    std::vector<std::string> loads;
    std::vector<std::string> lookups;
    std::vector<std::string> frees;

    Handle Load(const char* name) override {
        loads.push_back(name);
        auto library = libraries.find(name);
        return library == libraries.end() ? nullptr : &*library;
    }

    Proc GetProc(Handle handle, const char* name) override {
        auto& library =
            *static_cast<std::pair<const std::string, std::map<std::string, Proc>>*>(handle);
        lookups.push_back(library.first + ":" + name);
        auto proc = library.second.find(name);
        return proc == library.second.end() ? nullptr : proc->second;
    }

    void Free(Handle handle) override {
        frees.push_back(
            static_cast<std::pair<const std::string, std::map<std::string, Proc>>*>(handle)->first);
    }
};

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

TEST(RasBinding, WithoutTheLibraryEveryCallTriesToLoadItAgain) {
    FakeLoader loader;
    RasBinding ras(loader);
    EXPECT_EQ(ErrorOf([&] { ras.RasHangUpA(1); }), "Error opening rasapi.dll");
    EXPECT_EQ(ErrorOf([&] { ras.RasGetConnectStatusA(1, nullptr); }), "Error opening rasapi.dll");
    EXPECT_THAT(loader.loads, ElementsAre("rasapi32.dll", "rasapi32.dll"));
    EXPECT_FALSE(ras.Bound());
}

TEST(RasBinding, PrimaryLibraryIsAskedForTheAFormFirstAndNothingIsCached) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = AllEntryPoints();
    loader.libraries["rnaph.dll"] = AllEntryPoints();
    {
        RasBinding ras(loader);
        gCalls.clear();
        EXPECT_EQ(ras.RasHangUpA(42), 6u);
        EXPECT_EQ(ras.RasHangUpA(43), 6u);
        EXPECT_THAT(gCalls, ElementsAre("hangup 42", "hangup 43"));
        EXPECT_THAT(loader.loads, ElementsAre("rasapi32.dll"));
        EXPECT_THAT(loader.lookups,
                    ElementsAre("rasapi32.dll:RasHangUpAA", "rasapi32.dll:RasHangUpA",
                                "rasapi32.dll:RasHangUpAA", "rasapi32.dll:RasHangUpA"));
        EXPECT_TRUE(ras.Bound());
        EXPECT_FALSE(ras.Fallback());
    }
    EXPECT_TRUE(loader.frees.empty());  // the primary library is never released
}

TEST(RasBinding, EachForwarderCallsItsOwnEntryPointWithItsArgumentsUnchanged) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = AllEntryPoints();
    RasBinding ras(loader);
    gCalls.clear();
    RASDIALPARAMSA params{};
    std::strcpy(params.szEntryName, "Net");
    HRasConn handle = 0;
    uint32_t size = 264;
    EXPECT_EQ(ras.RasDialA(nullptr, nullptr, &params, 0, &NoNotifier, &handle), 1u);
    EXPECT_EQ(handle, 99u);
    EXPECT_EQ(ras.RasEnumConnectionsA(nullptr, &size, nullptr), 2u);
    EXPECT_EQ(ras.RasEnumEntriesA(nullptr, nullptr, nullptr, &size, nullptr), 3u);
    EXPECT_EQ(ras.RasGetConnectStatusA(17, nullptr), 4u);
    EXPECT_EQ(ras.RasGetErrorStringA(678, nullptr, 100), 5u);
    EXPECT_EQ(ras.RasHangUpA(18), 6u);
    EXPECT_EQ(ras.RasGetEntryDialParamsA(nullptr, &params, nullptr), 7u);
    EXPECT_THAT(gCalls, ElementsAre("dial 11 Net 0 1", "connections 264", "entries 264",
                                    "status 17", "error 678 100", "hangup 18", "params Net"));
}

TEST(RasBinding, FallbackLibraryServesEveryLaterCallUnderTheNamesAsPassed) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = {};
    loader.libraries["rnaph.dll"] = AllEntryPoints();
    {
        RasBinding ras(loader);
        gCalls.clear();
        EXPECT_EQ(ras.RasHangUpA(1), 6u);
        EXPECT_EQ(ras.RasGetConnectStatusA(2, nullptr), 4u);
        EXPECT_TRUE(ras.Fallback());
        EXPECT_THAT(loader.loads, ElementsAre("rasapi32.dll", "rnaph.dll"));
        EXPECT_THAT(loader.lookups,
                    ElementsAre("rasapi32.dll:RasHangUpAA", "rasapi32.dll:RasHangUpA",
                                "rnaph.dll:RasHangUpA", "rnaph.dll:RasGetConnectStatusA"));
        EXPECT_THAT(gCalls, ElementsAre("hangup 1", "status 2"));
    }
    EXPECT_THAT(loader.frees, ElementsAre("rnaph.dll"));
}

TEST(RasBinding, NameMissingLaterIsReportedWithoutSwitchingLibrary) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = {{"RasHangUpA", P(&FakeHangUp)}};
    loader.libraries["rnaph.dll"] = AllEntryPoints();
    RasBinding ras(loader);
    ras.RasHangUpA(1);
    EXPECT_EQ(ErrorOf([&] { ras.RasEnumEntriesA(nullptr, nullptr, nullptr, nullptr, nullptr); }),
              "Function RasEnumEntriesA not found!");
    EXPECT_THAT(loader.loads, ElementsAre("rasapi32.dll"));
    EXPECT_TRUE(ras.Bound());
    EXPECT_FALSE(ras.Fallback());
    EXPECT_EQ(ras.RasHangUpA(2), 6u);  // the binding itself is still good
}

TEST(RasBinding, FirstNameMissingFromBothLibrariesLeavesTheNextCallToStartOver) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = {};
    loader.libraries["rnaph.dll"] = {{"RasHangUpA", P(&FakeHangUp)}};
    RasBinding ras(loader);
    EXPECT_EQ(ErrorOf([&] { ras.RasGetErrorStringA(1, nullptr, 100); }),
              "Function RasGetErrorStringA not found!");
    EXPECT_FALSE(ras.Bound());
    EXPECT_EQ(ras.RasHangUpA(5), 6u);
    EXPECT_THAT(loader.loads,
                ElementsAre("rasapi32.dll", "rnaph.dll", "rasapi32.dll", "rnaph.dll"));
    EXPECT_TRUE(ras.Fallback());
}

TEST(RasBinding, MissingFallbackLibraryIsReportedByItsOwnName) {
    FakeLoader loader;
    loader.libraries["rasapi32.dll"] = {};
    RasBinding ras(loader);
    EXPECT_EQ(ErrorOf([&] { ras.RasHangUpA(1); }), "Error opening rnaph.dll");
    EXPECT_EQ(ErrorOf([&] { ras.RasHangUpA(1); }), "Error opening rnaph.dll");
    EXPECT_THAT(loader.loads,
                ElementsAre("rasapi32.dll", "rnaph.dll", "rasapi32.dll", "rnaph.dll"));
}

}  // namespace
}  // namespace tt
