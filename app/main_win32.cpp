// taktomat.exe: the program on Windows, over user32/gdi32, Winsock 1.1 and the remote-access
// library loaded at run time.
#include <winsock2.h>
// Winsock 2 must come first: windows.h would otherwise bring in the old Winsock header.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "app/program.h"
#include "app/session_win32.h"
#include "app/single_copy.h"
#include "base/code_page.h"
#include "base/files.h"
#include "base/format.h"
#include "metering/online_probe.h"
#include "platform/net/host_address.h"
#include "platform/ras/ras_binding.h"
#include "platform/ras/simulated_line.h"
#include "platform/win32/win32_backend.h"
#include "session/session.h"
#include "settings/settings.h"
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

// With the simulated line, the probe sees the line's address while it has a connection up;
// otherwise the machine's own answer counts. The line tells us from its own thread.
// The GDI engine draws the program's text for as long as it lives, and no longer.
class FontEngineScope {
  public:
    explicit FontEngineScope(tt::FontEngine& engine) { tt::SetCurrentFontEngine(&engine); }
    ~FontEngineScope() { tt::SetCurrentFontEngine(nullptr); }
    FontEngineScope(const FontEngineScope&) = delete;
    FontEngineScope& operator=(const FontEngineScope&) = delete;
};

// A GUI program has no console to print to: what the command line asks to read is a message.
void Tell(const std::string& text, unsigned icon) {
    MessageBoxW(nullptr, tt::Utf8ToWide(text).c_str(), tt::Utf8ToWide(kTitle).c_str(),
                MB_OK | icon);
}

// A window program has no console of its own. What the command line asks to read goes where
// its output was sent (a file, a pipe) or to the console it was started from; false when there
// is neither, and the caller shows a box instead.
bool PrintToParent(const std::string& text, DWORD stream) {
    HANDLE sent = GetStdHandle(stream);
    const DWORD type =
        sent != nullptr && sent != INVALID_HANDLE_VALUE ? GetFileType(sent) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        std::string lines;
        for (const char c : text) {
            if (c == '\n') lines += '\r';
            lines += c;
        }
        DWORD written = 0;
        return WriteFile(sent, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) !=
                   0 &&
               written == lines.size();
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    bool printed = false;
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
        // The console's prompt came back as the program started: the text starts below it.
        const std::wstring wide = tt::Utf8ToWide("\n" + text);
        DWORD written = 0;
        printed = WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                                nullptr) != 0;
        CloseHandle(console);
    }
    FreeConsole();
    return printed;
}

// Runs the program until its main window closes; the session's end and a second copy's
// request reach it through the application window.
int RunUntilClosed(tt::win32::Win32Backend& backend, tt::TTaktomat& program,
                   const tt::TFolderLock& lock, const std::filesystem::path& folder) {
    tt::HookWindowsSession(backend, program);
    program.Start();
    // The program meters over a folder it cannot write; the user is told once where the
    // records go instead.
    if (!lock.FolderWritable()) {
        program.Session().SetToldUnsaved();
        Tell(tt::UnwritableFolderText(folder, tt::UnsavedLogPath(folder / "raport.txt")),
             MB_ICONEXCLAMATION);
    }
    const int code = program.Run();
    tt::UnhookWindowsSession(backend);
    return code;
}

int RunProgram(const tt::ProgramOptions& options) {
    // The program's files sit beside the executable unless --dir names another folder.
    const std::filesystem::path folder = tt::ProgramFolder(options.Dir);
    tt::TFolderLock lock(folder);
    if (!lock.Held()) {
        if (lock.State() == tt::TFolderLock::Outcome::Taken) {
            if (tt::AskRunningCopyToShow(folder)) return 0;
            Tell(tt::AlreadyRunningText(folder), MB_ICONERROR);
        } else {
            Tell(tt::NoLockText(folder), MB_ICONERROR);
        }
        return 1;
    }
    WinsockSession winsock;
    // On-line means a dial-up adapter is up, unless the settings ask for the host-name rule.
    // The program goes on with the same reading of the file.
    auto settings = std::make_unique<tt::TSettings>(folder / "taktomat.ini");
    const tt::OnlineRule rule = tt::ReadOnlineRule(*settings);
    tt::win32::Win32Backend backend(kTitle, tt::ReadClamped(*settings, tt::keys::SKALA));
    tt::win32::GdiFontEngine gdi;
    FontEngineScope fonts(gdi);
    lock.Publish(std::to_string(reinterpret_cast<uintptr_t>(backend.ApplicationWindow())) + " " +
                 std::to_string(GetCurrentProcessId()));
    const tt::FormatSettings format = options.Format ? *options.Format : tt::UserFormatSettings();

    if (options.Simulate) {
        tt::LineHostAddressSource host(tt::MakeOnlineAddressSource(rule));
        tt::SimulatedLine line(tt::SimulatedLine::Timing::Real,
                               [&host](std::optional<std::string> a) { host.LineSays(a); });
        line.SetPhoneBook({"Internet"});
        tt::TTaktomat program(
            tt::TProgramServices{backend, host, line, folder, format, {}, std::move(settings)});
        return RunUntilClosed(backend, program, lock, folder);
    }
    const std::unique_ptr<tt::HostAddressSource> host = tt::MakeOnlineAddressSource(rule);
    // Bound on first use, so that a machine without dial-up service still meters.
    const std::unique_ptr<tt::LibraryLoader> loader = tt::MakeWin32LibraryLoader();
    tt::RasBinding ras(*loader);
    tt::TTaktomat program(
        tt::TProgramServices{backend, *host, ras, folder, format, {}, std::move(settings)});
    return RunUntilClosed(backend, program, lock, folder);
}

// --autostart on|off: the user's Run key, starting this very executable (and its folder, when
// one was given) at log-on.
int SetWindowsAutostart(const tt::ProgramOptions& options) {
    constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    // Wide throughout: the paths may hold letters outside the code page.
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    std::wstring command = L"\"" + path + L"\"";
    if (!options.Dir.empty()) {
        const std::filesystem::path dir(std::u8string(options.Dir.begin(), options.Dir.end()));
        command += L" --dir \"" + std::filesystem::absolute(dir).wstring() + L"\"";
    }
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, tt::Utf8ToWide(kRunKey).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        const std::wstring name = tt::Utf8ToWide(kTitle);
        if (*options.Autostart) {
            result = RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(command.c_str()),
                                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        } else {
            result = RegDeleteValueW(key, name.c_str());
            if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    if (result != ERROR_SUCCESS) {
        Tell(std::string("Nie można zapisać klucza rejestru HKEY_CURRENT_USER\\") + kRunKey,
             MB_ICONERROR);
        return 1;
    }
    Tell(*options.Autostart ? "Taktomat 2000 będzie uruchamiany razem z Windows."
                            : "Taktomat 2000 nie będzie już uruchamiany razem z Windows.",
         MB_ICONINFORMATION);
    return 0;
}

// The command line as the user typed it: the "A" arguments would have mapped letters outside
// the code page (a folder with Polish letters on a Western system) to others.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(tt::WideToUtf8(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace

int main() {
    const tt::ParsedOptions parsed = tt::ParseOptions(Arguments());
    if (!parsed.Ok()) {
        if (!PrintToParent("taktomat.exe: " + parsed.Error + "\n" + tt::UsageText("taktomat.exe"),
                           STD_ERROR_HANDLE)) {
            Tell(parsed.Error + "\n\n" + tt::UsageTextForBox("taktomat.exe"), MB_ICONERROR);
        }
        return 2;
    }
    if (parsed.Options.Help) {
        if (!PrintToParent(tt::UsageText("taktomat.exe"), STD_OUTPUT_HANDLE)) {
            Tell(tt::UsageTextForBox("taktomat.exe"), MB_ICONINFORMATION);
        }
        return 0;
    }
    if (parsed.Options.Version) {
        if (!PrintToParent(tt::VersionText(), STD_OUTPUT_HANDLE)) {
            Tell(tt::VersionText(), MB_ICONINFORMATION);
        }
        return 0;
    }
    try {
        if (parsed.Options.Autostart) return SetWindowsAutostart(parsed.Options);
        return RunProgram(parsed.Options);
    } catch (const std::exception& e) {
        // Nothing else would tell the user why the program vanished at start.
        Tell(e.what(), MB_ICONERROR);
        return 1;
    }
}
