#pragma once
#include <memory>
#include <string>

#include "platform/ras/ras_api.h"

namespace tt {

// Loading a library at run time and finding its exports: LoadLibraryA and GetProcAddress on
// Windows, a fake in tests.
class LibraryLoader {
  public:
    using Handle = void*;     // nullptr: the library could not be loaded
    using Proc = void (*)();  // the generic entry-point type; nullptr: not exported

    virtual ~LibraryLoader() = default;
    virtual Handle Load(const char* name) = 0;
    virtual Proc GetProc(Handle library, const char* name) = 0;
    virtual void Free(Handle library) = 0;
};

#ifdef _WIN32
std::unique_ptr<LibraryLoader> MakeWin32LibraryLoader();
#endif

// The platform's remote-access library, bound on first use. The library is not linked when the
// program loads, so that the program starts (and meters) on machines without dial-up service;
// the first failed binding is what the user then sees. Used on the GUI thread only.
class RasBinding : public RasApi {
  public:
    explicit RasBinding(LibraryLoader& loader);
    ~RasBinding() override;
    RasBinding(const RasBinding&) = delete;
    RasBinding& operator=(const RasBinding&) = delete;

    // The named entry point of the bound library, binding first when nothing is bound yet.
    // Throws tt::Error with the text the user is to read when it cannot.
    LibraryLoader::Proc GetRasProc(const std::string& name);

    bool Bound() const { return bound_; }
    bool Fallback() const { return fallback_; }

    uint32_t RasDialA(void* dialExtensions, const char* phoneBook, RASDIALPARAMSA* params,
                      uint32_t notifierType, RasDialFunc notifier, HRasConn* connection) override;
    uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                 uint32_t* count) override;
    uint32_t RasEnumEntriesA(const char* reserved, const char* phoneBook, RASENTRYNAMEA* entries,
                             uint32_t* bufferSize, uint32_t* count) override;
    uint32_t RasGetConnectStatusA(HRasConn connection, RASCONNSTATUSA* status) override;
    uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) override;
    uint32_t RasHangUpA(HRasConn connection) override;
    uint32_t RasGetEntryDialParamsA(const char* phoneBook, RASDIALPARAMSA* params,
                                    int32_t* passwordSaved) override;

  private:
    LibraryLoader& loader_;
    LibraryLoader::Handle library_ = nullptr;
    bool bound_ = false;
    bool fallback_ = false;
};

// The entry points' own types, as the binding calls them.
namespace ras_entry {
using RasDialA = uint32_t(TT_RAS_CALL*)(void*, const char*, RASDIALPARAMSA*, uint32_t, RasDialFunc,
                                        HRasConn*);
using RasEnumConnectionsA = uint32_t(TT_RAS_CALL*)(RASCONNA*, uint32_t*, uint32_t*);
using RasEnumEntriesA = uint32_t(TT_RAS_CALL*)(const char*, const char*, RASENTRYNAMEA*, uint32_t*,
                                               uint32_t*);
using RasGetConnectStatusA = uint32_t(TT_RAS_CALL*)(HRasConn, RASCONNSTATUSA*);
using RasGetErrorStringA = uint32_t(TT_RAS_CALL*)(uint32_t, char*, uint32_t);
using RasHangUpA = uint32_t(TT_RAS_CALL*)(HRasConn);
using RasGetEntryDialParamsA = uint32_t(TT_RAS_CALL*)(const char*, RASDIALPARAMSA*, int32_t*);
}  // namespace ras_entry

}  // namespace tt
