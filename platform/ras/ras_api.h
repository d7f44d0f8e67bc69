#pragma once
#include <cstdint>
#include <string>

#include "base/code_page.h"

// The remote-access records in their single-byte forms, laid out as platform version 4.0 lays
// them out on 32-bit Windows. The sizes are what the library checks in the first field, so they
// are pinned below on every build, also where the records never reach a real library.

// The entry points and the notifier use the platform's standard calling convention.
#ifdef _WIN32
#define TT_RAS_CALL __stdcall
#else
#define TT_RAS_CALL
#endif

namespace tt {

// A connection handle is 32 bits wide on the program's platform; the simulated line keeps it so.
using HRasConn = uint32_t;

constexpr int kRasMaxEntryName = 256;
constexpr int kRasMaxDeviceType = 16;
constexpr int kRasMaxDeviceName = 128;

struct RASDIALPARAMSA {
    uint32_t dwSize;
    char szEntryName[kRasMaxEntryName + 1];
    char szPhoneNumber[128 + 1];
    char szCallbackNumber[128 + 1];
    char szUserName[256 + 1];
    char szPassword[256 + 1];
    char szDomain[15 + 1];
};

struct RASENTRYNAMEA {
    uint32_t dwSize;
    char szEntryName[kRasMaxEntryName + 1];
};

struct RASCONNA {
    uint32_t dwSize;
    HRasConn hrasconn;
    char szEntryName[kRasMaxEntryName + 1];
    char szDeviceType[kRasMaxDeviceType + 1];
    char szDeviceName[kRasMaxDeviceName + 1];
};

struct RASCONNSTATUSA {
    uint32_t dwSize;
    uint32_t rasconnstate;
    uint32_t dwError;
    char szDeviceType[kRasMaxDeviceType + 1];
    char szDeviceName[kRasMaxDeviceName + 1];
};

using TRasConnStatusA = RASCONNSTATUSA;

static_assert(sizeof(RASDIALPARAMSA) == 1052);
static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(sizeof(RASCONNA) == 412);
static_assert(sizeof(RASCONNSTATUSA) == 160);

// Connection states the program itself tests for.
constexpr uint32_t RASCS_OpenPort = 0;
constexpr uint32_t RASCS_Authenticate = 5;
constexpr uint32_t RASCS_Authenticated = 14;
constexpr uint32_t RASCS_Connected = 8192;
constexpr uint32_t RASCS_Disconnected = 8193;

// The message code the library passes to a notifier of type 0.
constexpr uint32_t kRasDialEventMessage = 0xCCCD;

// Error codes with a meaning the program relies on or produces itself.
constexpr uint32_t kErrorInvalidHandle = 6;  // the connection no longer exists
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorTimeout = 1460;
constexpr uint32_t kErrorBufferTooSmall = 603;
constexpr uint32_t kErrorCannotFindPhonebookEntry = 623;
constexpr uint32_t kErrorInvalidSize = 632;

// The dial notifier: message code, new connection state, error code (0 when none).
using RasDialFunc = void(TT_RAS_CALL*)(uint32_t message, uint32_t state, uint32_t error);

// The seven remote-access operations the program uses, each with the arguments of its entry
// point and its 32-bit result (0 for success, otherwise a remote-access error code). What callers
// rely on: RasDialA without a notifier returns when the dial has ended, with one it returns at
// once and reports every state change through it, possibly on another thread; the listings fill
// their array from the start and fail as a whole when it is too small; RasGetConnectStatusA
// answers exactly kErrorInvalidHandle once a connection is gone; RasHangUpA only starts the
// hang-up. All of them are called on the GUI thread.
class RasApi {
  public:
    virtual ~RasApi() = default;

    virtual uint32_t RasDialA(void* dialExtensions, const char* phoneBook, RASDIALPARAMSA* params,
                              uint32_t notifierType, RasDialFunc notifier,
                              HRasConn* connection) = 0;
    virtual uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                         uint32_t* count) = 0;
    virtual uint32_t RasEnumEntriesA(const char* reserved, const char* phoneBook,
                                     RASENTRYNAMEA* entries, uint32_t* bufferSize,
                                     uint32_t* count) = 0;
    virtual uint32_t RasGetConnectStatusA(HRasConn connection, RASCONNSTATUSA* status) = 0;
    virtual uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) = 0;
    virtual uint32_t RasHangUpA(HRasConn connection) = 0;
    virtual uint32_t RasGetEntryDialParamsA(const char* phoneBook, RASDIALPARAMSA* params,
                                            int32_t* passwordSaved) = 0;

    // Beyond the library's own operations, for the user who wonders what went wrong; UTF-8.
    // Why a listing found no entry: where entries come from, or what keeps them from being read.
    virtual std::string EmptyPhoneBookReason() {
        return "Książka telefoniczna nie zawiera żadnego połączenia.";
    }
    // What the dialler itself said about the failure of a dial, in its own words; empty when
    // the error code says all there is.
    virtual std::string DialFailureReason(HRasConn /*connection*/) { return {}; }
};

// The records carry text in the platform's single-byte code page; the program works in UTF-8.
inline std::string RasTextToUtf8(const std::string& text) {
    return AnsiToUtf8(text);
}
inline std::string Utf8ToRasText(const std::string& text) {
    return Utf8ToAnsi(text);
}

}  // namespace tt
