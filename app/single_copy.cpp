#include "app/single_copy.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace tt {

namespace fs = std::filesystem;

namespace {
// The lock covers the first byte; the note starts after it, where a second copy may read even
// on a system whose locks keep others from reading what they cover.
constexpr long kNoteOffset = 16;
}  // namespace

fs::path TFolderLock::FileOf(const fs::path& folder) {
    return folder / "taktomat.lock";
}

std::optional<std::string> TFolderLock::NoteOf(const fs::path& folder) {
    std::ifstream in(FileOf(folder), std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(kNoteOffset);
    std::string note;
    std::getline(in, note);
    if (!in && !in.eof()) return std::nullopt;
    if (note.empty()) return std::nullopt;
    return note;
}

#ifdef _WIN32

TFolderLock::TFolderLock(const fs::path& folder) {
    HANDLE h = CreateFileW(FileOf(folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(h);
        return;
    }
    handle_ = h;
    held_ = true;
    // A crashed copy's note would name a window that is gone, or another program's.
    Publish("");
}

TFolderLock::~TFolderLock() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

void TFolderLock::Publish(const std::string& note) {
    if (!held_) return;
    HANDLE h = static_cast<HANDLE>(handle_);
    const std::string line = note + "\n";
    OVERLAPPED at{};
    at.Offset = kNoteOffset;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, &at);
    LARGE_INTEGER end{};
    end.QuadPart = kNoteOffset + static_cast<LONGLONG>(line.size());
    if (SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    FlushFileBuffers(h);
}

bool AskRunningCopyToShow(const fs::path& folder, int patienceMs) {
    const UINT message = RegisterWindowMessageA(kShowMessageName);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        if (const auto note = TFolderLock::NoteOf(folder)) {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(note->c_str(), &end, 10);
            HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
            if (value != 0 && IsWindow(window)) {
                // The running copy may bring its window to the front only if we let it.
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                AllowSetForegroundWindow(process);
                return PostMessageA(window, message, 0, 0) != 0;
            }
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        Sleep(100);
    }
}

#else

TFolderLock::TFolderLock(const fs::path& folder) {
    fd_ = ::open(FileOf(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    held_ = true;
    // A crashed copy's note would name a process number that another program may have now.
    Publish("");
}

TFolderLock::~TFolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

void TFolderLock::Publish(const std::string& note) {
    if (!held_) return;
    const std::string line = note + "\n";
    if (::ftruncate(fd_, kNoteOffset) != 0) return;
    if (::pwrite(fd_, line.data(), line.size(), kNoteOffset) < 0) return;
}

bool AskRunningCopyToShow(const fs::path& folder, int patienceMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        if (const auto note = TFolderLock::NoteOf(folder)) {
            char* end = nullptr;
            const long pid = std::strtol(note->c_str(), &end, 10);
            // The note is the holder's: while the lock is held, that process is alive.
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), SIGUSR1) == 0) return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        ::usleep(100 * 1000);
    }
}

namespace {

int g_signalPipe[2] = {-1, -1};
constexpr int kWatched[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1};
struct sigaction g_old[sizeof kWatched / sizeof kWatched[0]];

extern "C" void OnSignal(int number) {
    // Only async-signal-safe calls here: one write, errno kept for the code we interrupted.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (::write(g_signalPipe[1], &byte, 1) < 0) {
        // The pipe is full of earlier signals: one of them stands for this one too.
    }
    errno = saved;
}

}  // namespace

TSignalWatcher::TSignalWatcher(std::function<void()> onEnd, std::function<void()> onShow)
    : onEnd_(std::move(onEnd)), onShow_(std::move(onShow)) {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    for (size_t i = 0; i < std::size(kWatched); ++i) {
        struct sigaction action {};
        action.sa_handler = &OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(kWatched[i], &action, &g_old[i]);
    }
    const int readEnd = g_signalPipe[0];
    thread_ = std::thread([this, readEnd] {
        for (;;) {
            pollfd p{readEnd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            unsigned char byte = 0;
            const ssize_t n = ::read(readEnd, &byte, 1);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0 || byte == 0) return;  // 0: the watcher goes
            if (byte == SIGUSR1) {
                if (onShow_) onShow_();
            } else if (onEnd_) {
                onEnd_();
            }
        }
    });
}

TSignalWatcher::~TSignalWatcher() {
    if (g_signalPipe[1] < 0) return;
    for (size_t i = 0; i < std::size(kWatched); ++i) ::sigaction(kWatched[i], &g_old[i], nullptr);
    const unsigned char stop = 0;
    // The pipe may be full; the thread then drains it and still meets the end.
    while (::write(g_signalPipe[1], &stop, 1) < 0 && errno == EAGAIN) ::usleep(1000);
    if (thread_.joinable()) thread_.join();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

#endif

}  // namespace tt
