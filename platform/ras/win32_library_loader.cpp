#ifdef _WIN32
#include <windows.h>

#include "platform/ras/ras_binding.h"

namespace tt {
namespace {

class Win32LibraryLoader : public LibraryLoader {
  public:
    Handle Load(const char* name) override { return LoadLibraryA(name); }

    Proc GetProc(Handle library, const char* name) override {
        return reinterpret_cast<Proc>(GetProcAddress(static_cast<HMODULE>(library), name));
    }

    void Free(Handle library) override { FreeLibrary(static_cast<HMODULE>(library)); }
};

}  // namespace

std::unique_ptr<LibraryLoader> MakeWin32LibraryLoader() {
    return std::make_unique<Win32LibraryLoader>();
}

}  // namespace tt
#endif
