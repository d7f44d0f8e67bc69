#include "platform/ras/ras_binding.h"

#include "base/error.h"

namespace tt {
namespace {

constexpr const char* kPrimaryLibrary = "rasapi32.dll";
constexpr const char* kFallbackLibrary = "rnaph.dll";

template <typename Entry>
Entry As(LibraryLoader::Proc proc) {
    return reinterpret_cast<Entry>(proc);
}

}  // namespace

RasBinding::RasBinding(LibraryLoader& loader) : loader_(loader) {}

RasBinding::~RasBinding() {
    // The primary library stays loaded until the process ends; only a fallback one is ours to free.
    if (bound_ && fallback_ && library_ != nullptr) loader_.Free(library_);
}

LibraryLoader::Proc RasBinding::GetRasProc(const std::string& name) {
    const std::string withA = name + "A";
    if (!bound_) {
        library_ = loader_.Load(kPrimaryLibrary);
        if (library_ == nullptr) throw Error("Error opening rasapi.dll");
        LibraryLoader::Proc proc = loader_.GetProc(library_, withA.c_str());
        if (proc == nullptr) proc = loader_.GetProc(library_, name.c_str());
        if (proc != nullptr) {
            bound_ = true;
            return proc;
        }
        // Older systems ship the same entry points, without the "A" forms, in another library.
        library_ = loader_.Load(kFallbackLibrary);
        if (library_ == nullptr) throw Error("Error opening rnaph.dll");
        proc = loader_.GetProc(library_, name.c_str());
        if (proc == nullptr) throw Error("Function " + name + " not found!");
        bound_ = true;
        fallback_ = true;
        return proc;
    }
    LibraryLoader::Proc proc = nullptr;
    if (fallback_) {
        proc = loader_.GetProc(library_, name.c_str());
    } else {
        proc = loader_.GetProc(library_, withA.c_str());
        if (proc == nullptr) proc = loader_.GetProc(library_, name.c_str());
    }
    if (proc == nullptr) throw Error("Function " + name + " not found!");
    return proc;
}

// Every forwarder looks its entry point up again: nothing is cached between calls.

uint32_t RasBinding::RasDialA(void* dialExtensions, const char* phoneBook, RASDIALPARAMSA* params,
                              uint32_t notifierType, RasDialFunc notifier, HRasConn* connection) {
    auto entry = As<ras_entry::RasDialA>(GetRasProc("RasDialA"));
    return entry(dialExtensions, phoneBook, params, notifierType, notifier, connection);
}

uint32_t RasBinding::RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferSize,
                                         uint32_t* count) {
    auto entry = As<ras_entry::RasEnumConnectionsA>(GetRasProc("RasEnumConnectionsA"));
    return entry(connections, bufferSize, count);
}

uint32_t RasBinding::RasEnumEntriesA(const char* reserved, const char* phoneBook,
                                     RASENTRYNAMEA* entries, uint32_t* bufferSize,
                                     uint32_t* count) {
    auto entry = As<ras_entry::RasEnumEntriesA>(GetRasProc("RasEnumEntriesA"));
    return entry(reserved, phoneBook, entries, bufferSize, count);
}

uint32_t RasBinding::RasGetConnectStatusA(HRasConn connection, RASCONNSTATUSA* status) {
    auto entry = As<ras_entry::RasGetConnectStatusA>(GetRasProc("RasGetConnectStatusA"));
    return entry(connection, status);
}

uint32_t RasBinding::RasGetErrorStringA(uint32_t error, char* buffer, uint32_t bufferSize) {
    auto entry = As<ras_entry::RasGetErrorStringA>(GetRasProc("RasGetErrorStringA"));
    return entry(error, buffer, bufferSize);
}

uint32_t RasBinding::RasHangUpA(HRasConn connection) {
    auto entry = As<ras_entry::RasHangUpA>(GetRasProc("RasHangUpA"));
    return entry(connection);
}

uint32_t RasBinding::RasGetEntryDialParamsA(const char* phoneBook, RASDIALPARAMSA* params,
                                            int32_t* passwordSaved) {
    auto entry = As<ras_entry::RasGetEntryDialParamsA>(GetRasProc("RasGetEntryDialParamsA"));
    return entry(phoneBook, params, passwordSaved);
}

}  // namespace tt
