#include "app/single_copy.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "base/files.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#endif

namespace tt {

namespace fs = std::filesystem;

std::string FolderTag(const fs::path& folder) {
    std::error_code ec;
    fs::path full = fs::canonical(folder, ec);
    if (ec) full = fs::absolute(folder, ec).lexically_normal();
    std::u8string text = full.generic_u8string();
#ifdef _WIN32
    // One folder, however its name is cased.
    for (auto& c : text) {
        if (c >= u8'A' && c <= u8'Z') c = static_cast<char8_t>(c - u8'A' + u8'a');
    }
#endif
    // FNV-1a: the same folder gives the same name in every run and on every build.
    uint64_t hash = 14695981039346656037ull;
    for (const auto c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char tag[17];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(hash));
    return tag;
}

fs::path TFolderLock::FileOf(const fs::path& folder) {
    return folder / "taktomat.lock";
}

fs::path TFolderLock::RuntimeFileOf(const fs::path& folder) {
    const fs::path runtime = RuntimeFolder();
    return runtime.empty() ? fs::path() : runtime / ("taktomat-" + FolderTag(folder) + ".lock");
}

fs::path TFolderLock::SocketOf(const fs::path& folder) {
    const fs::path runtime = RuntimeFolder();
    return runtime.empty() ? fs::path() : runtime / ("taktomat-" + FolderTag(folder) + ".sock");
}

std::string AlreadyRunningText(const fs::path& folder) {
    return "Taktomat 2000 już działa z folderem " + FullPathText(folder) +
           ", ale nie udało się przywołać jego okna.";
}

std::string NoLockText(const fs::path& folder) {
    return "Do folderu " + FullPathText(folder) +
           " nie można zapisywać, a folder tymczasowy użytkownika jest niedostępny, więc "
           "Taktomat 2000 nie może upewnić się, że z tym folderem działa tylko jedna jego kopia, "
           "i nie uruchomi się.";
}

std::string UnwritableFolderText(const fs::path& folder, const fs::path& secondPlace) {
    return "Do folderu " + FullPathText(folder) +
           " nie można zapisywać. Taktomat 2000 działa i mierzy połączenia, ale ich zapisy "
           "trafiają do pliku " +
           FullPathText(secondPlace) +
           ", a zmiany ustawień nie zostaną zachowane. Gdy do folderu znów będzie można "
           "zapisywać, następne uruchomienie przeniesie te zapisy do raport.txt.";
}

#ifdef _WIN32

namespace {

// The lock covers the first byte; the note starts after it, where a second copy may read even
// though Windows keeps others from reading what a lock covers.
constexpr long kNoteOffset = 16;

// Opens and locks `file`; nothing, with `busy` set when another process holds the lock.
HANDLE LockAt(const fs::path& file, DWORD access, DWORD disposition, bool& opened, bool& busy) {
    HANDLE h =
        CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    opened = h != INVALID_HANDLE_VALUE;
    if (!opened) return nullptr;
    OVERLAPPED at{};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return h;
    busy = true;
    CloseHandle(h);
    return nullptr;
}

void WriteNote(HANDLE h, const std::string& note) {
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

std::optional<std::string> ReadNote(const fs::path& file) {
    if (file.empty()) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(kNoteOffset);
    std::string note;
    std::getline(in, note);
    if (note.empty()) return std::nullopt;
    return note;
}

// The window a note names, when it is one of this program's and belongs to the process the
// note names: a note outlives the copy that wrote it, and its window's number may be another
// program's by now.
HWND OurWindow(const std::string& note) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(note.c_str(), &end, 10);
    const unsigned long process = std::strtoul(end, nullptr, 10);
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
    if (value == 0 || process == 0 || !IsWindow(window)) return nullptr;
    char name[64] = {};
    if (GetClassNameA(window, name, sizeof name) == 0 || std::strcmp(name, kWindowClassName) != 0)
        return nullptr;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == process ? window : nullptr;
}

}  // namespace

fs::path RuntimeFolder() {
    std::wstring buf(MAX_PATH + 1, L'\0');
    const DWORD n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0 || n > buf.size()) return {};
    buf.resize(n);
    return fs::path(buf);
}

TFolderLock::TFolderLock(const fs::path& folder) {
    bool opened = false;
    bool busy = false;
    const fs::path runtime = RuntimeFileOf(folder);
    if (!runtime.empty()) {
        runtimeHandle_ = LockAt(runtime, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, opened, busy);
        if (busy) {
            state_ = Outcome::Taken;
            return;
        }
    }
    folderHandle_ = LockAt(FileOf(folder), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, opened, busy);
    folderWritable_ = opened;
    if (!opened) folderHandle_ = LockAt(FileOf(folder), GENERIC_READ, OPEN_EXISTING, opened, busy);
    if (busy) {
        if (runtimeHandle_ != nullptr) CloseHandle(static_cast<HANDLE>(runtimeHandle_));
        runtimeHandle_ = nullptr;
        state_ = Outcome::Taken;
        return;
    }
    if (runtimeHandle_ == nullptr && folderHandle_ == nullptr) return;
    if (runtimeHandle_ != nullptr) runtimeFile_ = runtime;
    state_ = Outcome::Held;
    // A crashed copy's note would name a window that is gone, or another program's.
    Publish("");
}

TFolderLock::~TFolderLock() {
    if (folderHandle_ != nullptr) CloseHandle(static_cast<HANDLE>(folderHandle_));
    if (runtimeHandle_ != nullptr) CloseHandle(static_cast<HANDLE>(runtimeHandle_));
}

void TFolderLock::Publish(const std::string& note) {
    if (!Held()) return;
    if (runtimeHandle_ != nullptr) WriteNote(static_cast<HANDLE>(runtimeHandle_), note);
    if (folderHandle_ != nullptr && folderWritable_)
        WriteNote(static_cast<HANDLE>(folderHandle_), note);
}

std::optional<std::string> TFolderLock::NoteOf(const fs::path& folder) {
    if (auto note = ReadNote(RuntimeFileOf(folder))) return note;
    return ReadNote(FileOf(folder));
}

bool AskRunningCopyToShow(const fs::path& folder, int patienceMs) {
    const UINT message = RegisterWindowMessageA(kShowMessageName);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        // This user's copy leaves its note in the runtime folder; another user's only in the
        // program folder.
        for (const fs::path& file :
             {TFolderLock::RuntimeFileOf(folder), TFolderLock::FileOf(folder)}) {
            const auto note = ReadNote(file);
            HWND window = note ? OurWindow(*note) : nullptr;
            if (window == nullptr) continue;
            // The running copy may bring its window to the front only if we let it.
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            AllowSetForegroundWindow(process);
            return PostMessageA(window, message, 0, 0) != 0;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        Sleep(100);
    }
}

#else

namespace {

// Opens and locks `file`; -1, with `busy` set when another process holds the lock.
int LockAt(const fs::path& file, int flags, mode_t mode, bool& busy) {
    const int fd = ::open(file.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    busy = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
}

// The runtime folder's lock goes with its holder, so that the folder does not fill up with a
// file for every program folder ever used: whoever locked a file that has been removed from
// under it since locks the one there now.
int LockRemovable(const fs::path& file, bool& busy) {
    for (int tries = 0; tries < 8; ++tries) {
        const int fd = LockAt(file, O_RDWR | O_CREAT | O_NOFOLLOW, 0600, busy);
        if (fd < 0) return -1;
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::lstat(file.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
    return -1;
}

// Only the owner may write in it, or enter it.
bool OnlyMine(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// The request and its answer; whatever else a peer sends shows nothing.
constexpr std::string_view kRequest = "taktomat2000 show\n";
constexpr std::string_view kAnswer = "taktomat2000 shown\n";

bool AddressOf(const fs::path& path, sockaddr_un& address) {
    const std::string text = path.string();
    address = {};
    address.sun_family = AF_UNIX;
    if (text.empty() || text.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

bool SendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// One line of at most `max` bytes within `ms`; nothing when it does not come whole.
std::optional<std::string> ReadLine(int fd, size_t max, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::string line;
    while (line.size() < max && line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buf[64];
        const ssize_t n = ::recv(fd, buf, std::min(sizeof buf, max - line.size()), MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return std::nullopt;
        line.append(buf, static_cast<size_t>(n));
    }
    return line;
}

}  // namespace

fs::path RuntimeFolder() {
    struct stat st {};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && ::lstat(runtime, &st) == 0 && OnlyMine(st))
        return runtime;
    // No session folder: one of our own in the temporary folder, where nobody else can rename
    // or remove what we make (the sticky bit) or could have made it for us.
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const bool othersWrite = (st.st_mode & 022) != 0;
    const bool sticky = (st.st_mode & S_ISVTX) != 0;
    const bool trustedOwner = st.st_uid == 0 || st.st_uid == ::geteuid();
    if (!trustedOwner || (othersWrite && !sticky)) return {};
    fs::path mine = base / ("taktomat-" + std::to_string(::geteuid()));
    ::mkdir(mine.c_str(), 0700);
    if (::lstat(mine.c_str(), &st) != 0 || !OnlyMine(st)) return {};
    return mine;
}

TFolderLock::TFolderLock(const fs::path& folder) {
    folderWritable_ = ::access(folder.c_str(), W_OK | X_OK) == 0;
    bool busy = false;
    const fs::path runtime = RuntimeFileOf(folder);
    if (!runtime.empty()) {
        runtimeFd_ = LockRemovable(runtime, busy);
        if (busy) {
            state_ = Outcome::Taken;
            return;
        }
    }
    // Another user's copy over the same folder holds the file there; one that is only read
    // is locked all the same.
    // Never through a link: a lock file that leads elsewhere must not lock, let alone empty,
    // another file.
    folderFd_ = LockAt(FileOf(folder), O_RDWR | O_CREAT | O_NOFOLLOW, 0644, busy);
    if (folderFd_ < 0 && !busy) folderFd_ = LockAt(FileOf(folder), O_RDONLY | O_NOFOLLOW, 0, busy);
    if (busy) {
        if (runtimeFd_ >= 0) {
            ::unlink(runtime.c_str());
            ::close(runtimeFd_);
        }
        runtimeFd_ = -1;
        state_ = Outcome::Taken;
        return;
    }
    if (runtimeFd_ < 0 && folderFd_ < 0) return;
    // Earlier versions left their process number here for a second start to signal.
    struct stat lockFile {};
    const bool ownFile = folderFd_ >= 0 && ::fstat(folderFd_, &lockFile) == 0 &&
                         S_ISREG(lockFile.st_mode) && lockFile.st_nlink == 1;
    if (ownFile && ::ftruncate(folderFd_, 0) != 0) {
        // Only read: nothing to clear that we could.
    }
    if (runtimeFd_ >= 0) runtimeFile_ = runtime;
    state_ = Outcome::Held;
}

TFolderLock::~TFolderLock() {
    if (folderFd_ >= 0) ::close(folderFd_);
    if (runtimeFd_ >= 0) {
        // Removed while still locked, so that nobody locks a file that is no longer there.
        ::unlink(runtimeFile_.c_str());
        ::close(runtimeFd_);
    }
}

bool AskRunningCopyToShow(const fs::path& folder, int patienceMs) {
    sockaddr_un address{};
    if (!AddressOf(TFolderLock::SocketOf(folder), address)) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const bool shown = PeerIsThisUser(fd) && SendAll(fd, kRequest) &&
                               ReadLine(fd, kAnswer.size(), std::max(patienceMs, 1000)) == kAnswer;
            ::close(fd);
            return shown;
        }
        ::close(fd);
        // No socket yet, or one a crashed copy left: the copy may still be starting.
        if (std::chrono::steady_clock::now() >= until) return false;
        ::usleep(100 * 1000);
    }
}

TShowListener::TShowListener(const TFolderLock& lock, const fs::path& folder,
                             std::function<void()> onShow)
    : onShow_(std::move(onShow)) {
    if (!lock.Held() || lock.RuntimeFile().empty()) return;
    const fs::path path = TFolderLock::SocketOf(folder);
    sockaddr_un address{};
    if (!AddressOf(path, address)) return;
    // Not blocking: a peer that gave up between the poll and the accept leaves nothing to wait
    // for.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    // A crashed copy's socket: ours to replace, since the lock we hold guards its name.
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0 ||
        ::pipe2(stop_, O_CLOEXEC) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return;
    }
    socket_ = fd;
    path_ = path;
    thread_ = std::thread([this] {
        for (;;) {
            pollfd p[2] = {{socket_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (p[1].revents != 0 || (p[0].revents & (POLLERR | POLLNVAL)) != 0) return;
            const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                // Out of descriptors: the waiting peer stays, and the poll would say so at once.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    ::usleep(100 * 1000);
                continue;
            }
            Serve(client);
            ::close(client);
        }
    });
}

void TShowListener::Serve(int client) {
    // The folder's rights keep others out; a peer that got in all the same is not theirs.
    if (!PeerIsThisUser(client)) return;
    if (ReadLine(client, kRequest.size(), 1000) != kRequest) return;
    if (onShow_) onShow_();
    SendAll(client, kAnswer);
}

TShowListener::~TShowListener() {
    if (socket_ < 0) return;
    const char stop = 0;
    if (::write(stop_[1], &stop, 1) < 0) {
        // A pipe this new is never full; nothing else can fail here.
    }
    if (thread_.joinable()) thread_.join();
    ::close(socket_);
    // Still ours: the lock outlives the listener.
    ::unlink(path_.c_str());
    ::close(stop_[0]);
    ::close(stop_[1]);
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
