// taktomat.exe: the program on Windows, over user32/gdi32, Winsock 1.1 and the remote-access
// library loaded at run time.
#include <winsock2.h>
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/program.h"
#include "base/files.h"
#include "base/format.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_binding.h"
#include "platform/win32/win32_backend.h"
#include "toolkit/gfx/font.h"

namespace {

constexpr const char* kTitle = "Taktomat 2000";

// Winsock lives as long as the program: started before the first host look-up and cleaned up
// after the last window is gone, so the on-line probe never asks a library that is not there.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

  private:
    bool started_ = false;
};

// The GDI engine draws the program's text for as long as it lives, and no longer.
class FontEngineScope {
  public:
    explicit FontEngineScope(tt::FontEngine& engine) { tt::SetCurrentFontEngine(&engine); }
    ~FontEngineScope() { tt::SetCurrentFontEngine(nullptr); }
    FontEngineScope(const FontEngineScope&) = delete;
    FontEngineScope& operator=(const FontEngineScope&) = delete;
};

int RunProgram() {
    WinsockSession winsock;
    tt::win32::Win32Backend backend(kTitle);
    tt::win32::GdiFontEngine gdi;
    FontEngineScope fonts(gdi);
    tt::WinsockHostAddressSource host;
    const std::unique_ptr<tt::LibraryLoader> loader = tt::MakeWin32LibraryLoader();
    tt::RasBinding ras(*loader);

    // The program's files sit beside the executable, as a copy carried on a diskette expects.
    tt::TTaktomat program(
        tt::TProgramServices{backend, host, ras, tt::ExecutableFolder(), tt::UserFormatSettings()});
    program.Start();
    return program.Run();
}

}  // namespace

int main() {
    try {
        return RunProgram();
    } catch (const std::exception& e) {
        // Nothing else would tell the user why the program vanished at start.
        MessageBoxA(nullptr, tt::win32::ToAcp(e.what()).c_str(), kTitle, MB_OK | MB_ICONERROR);
        return 1;
    }
}
