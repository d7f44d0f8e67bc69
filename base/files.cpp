#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "base/code_page.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tt {

namespace fs = std::filesystem;

namespace {
FileFaultHook& FaultHook() {
    static FileFaultHook hook;
    return hook;
}
int Injected(FileStep step, const fs::path& file) {
    const FileFaultHook& hook = FaultHook();
    return hook ? hook(step, file) : 0;
}
}  // namespace

int InjectedFault(FileStep step, const fs::path& file) {
    return Injected(step, file);
}

void SetFileFaultHook(FileFaultHook hook) {
    FaultHook() = std::move(hook);
}

fs::path TemporaryFor(const fs::path& file) {
#ifdef _WIN32
    return fs::path(file).concat(L".tmp");
#else
    // Hidden, as a file manager should not offer it.
    return file.parent_path() / ("." + file.filename().string() + ".tmp");
#endif
}

fs::path WrittenFileOf(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_symlink(file, ec)) return file;
    const fs::path target = fs::weakly_canonical(file, ec);
    return ec ? file : target;
}

size_t RemoveStaleTemporaries(const fs::path& file) {
    // Only the one name this program writes: a name that merely looks like a temporary may be
    // the user's own (".raport.txt.backup").
    const fs::path temp = TemporaryFor(WrittenFileOf(file));
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(temp, ec)) && fs::remove(temp, ec) ? 1 : 0;
}

std::optional<char> LastByteOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size <= 0) return std::nullopt;
    in.seekg(size - 1);
    char c = 0;
    if (!in.get(c)) return std::nullopt;
    return c;
}

std::optional<std::string> ReadFileRange(const fs::path& file, uint64_t offset, size_t size) {
    if (Injected(FileStep::Read, file) != 0) return std::nullopt;
    // A pipe or a device in the file's place would hold the program up.
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in || !in.seekg(static_cast<std::streamoff>(offset))) return std::nullopt;
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

ReadChunks::ReadChunks(fs::path file) : file_(std::move(file)) {}

#ifdef _WIN32

ReadChunks::~ReadChunks() {
    if (stream_ != nullptr) std::fclose(stream_);
}

bool ReadChunks::Open() {
    if (Injected(FileStep::Read, file_) != 0) return false;
    std::error_code ec;
    if (!fs::is_regular_file(file_, ec)) return false;
    stream_ = _wfopen(file_.c_str(), L"rb");
    if (stream_ == nullptr) return false;
    sizeHint_ = static_cast<size_t>(fs::file_size(file_, ec));
    return true;
}

std::optional<size_t> ReadChunks::ReadInto(char* into, size_t max) {
    const size_t n = std::fread(into, 1, max, stream_);
    if (n == 0 && std::ferror(stream_)) return std::nullopt;
    return n;
}

#else

ReadChunks::~ReadChunks() {
    if (fd_ >= 0) ::close(fd_);
}

bool ReadChunks::Open() {
    if (Injected(FileStep::Read, file_) != 0) return false;
    // Non-blocking, so that a FIFO put in the file's place cannot hang the start.
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    sizeHint_ = static_cast<size_t>(st.st_size);
    return true;
}

std::optional<size_t> ReadChunks::ReadInto(char* into, size_t max) {
    for (;;) {
        const ssize_t n = ::read(fd_, into, max);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        return static_cast<size_t>(n);
    }
}

#endif

std::string FullPathText(const fs::path& file) {
    std::error_code ec;
    const fs::path full = fs::absolute(file, ec);
    const std::u8string text = (ec ? file : full).lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    if (Injected(FileStep::Read, file) != 0) return std::nullopt;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    in.seekg(0);
    if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

namespace {
bool WriteAll(HANDLE h, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written != chunk)
            return false;
        done += written;
    }
    return true;
}
}  // namespace

bool ReplaceFileAtomically(const fs::path& name, std::string_view bytes) {
    const fs::path file = WrittenFileOf(name);
    const fs::path temp = TemporaryFor(file);
    if (Injected(FileStep::CreateTemporary, name) != 0) return false;
    // A new file, never one that a link in its place leads to.
    DeleteFileW(temp.c_str());
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = Injected(FileStep::Write, name) == 0 && WriteAll(h, bytes);
    ok = ok && Injected(FileStep::Flush, name) == 0 && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    // The write-through move is as far as Windows lets a program flush the folder.
    ok =
        ok && Injected(FileStep::Rename, name) == 0 &&
        MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

bool AppendToFile(const fs::path& file, std::string_view bytes, uint64_t* at) {
    if (Injected(FileStep::Append, file) != 0) return false;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end{};
    bool ok = SetFilePointerEx(h, LARGE_INTEGER{}, &end, FILE_END) != 0;
    if (at) *at = static_cast<uint64_t>(end.QuadPart);
    ok = ok && WriteAll(h, bytes) && FlushFileBuffers(h);
    if (!ok && SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

HeldFile::HeldFile(const fs::path& file) {
    if (Injected(FileStep::Read, file) != 0) return;
    // Shared for deleting too: the replace must still be able to rename over it.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) handle_ = h;
}

HeldFile::~HeldFile() {
    Close();
}

void HeldFile::Close() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool HeldFile::IsOpen() const {
    return handle_ != nullptr;
}

FileStamp HeldFile::Stamp() const {
    FileStamp stamp;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle_ || !GetFileInformationByHandle(static_cast<HANDLE>(handle_), &info)) {
        return stamp;
    }
    stamp.Exists = true;
    stamp.Device = info.dwVolumeSerialNumber;
    stamp.Inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.Size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.ModifiedNs = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                            info.ftLastWriteTime.dwLowDateTime) *
                       100;
    return stamp;
}

std::optional<std::string> HeldFile::Read(uint64_t offset, uint64_t size) const {
    if (!handle_) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((offset + got) & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - got, 1u << 30));
        if (!ReadFile(static_cast<HANDLE>(handle_), bytes.data() + got, want, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return std::nullopt;
        }
        if (n == 0) break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

FileStamp StampOf(const fs::path& file) {
    FileStamp stamp;
    HANDLE h = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // A file that is there but cannot be opened is still there: it must not look deleted.
        stamp.Exists = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
        return stamp;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info)) {
        stamp.Exists = true;
        stamp.Device = info.dwVolumeSerialNumber;
        stamp.Inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
        stamp.Size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        stamp.ModifiedNs =
            static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                 info.ftLastWriteTime.dwLowDateTime) *
            100;
    } else {
        stamp.Exists = true;
    }
    CloseHandle(h);
    return stamp;
}

std::string TextFromDisk(std::string bytes) {
    return AnsiToUtf8(bytes);
}
std::string TextToDisk(std::string text) {
    return Utf8ToAnsi(text);
}

fs::path ExecutableFolder() {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    return fs::path(buf).parent_path();
}

#else

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    if (Injected(FileStep::Read, file) != 0) return std::nullopt;
    // Non-blocking, so that a FIFO put in the file's place cannot hang the start.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.emplace(static_cast<size_t>(st.st_size), '\0');
        size_t done = 0;
        // The file may grow or shrink while we read; what is there at the end is what counts.
        for (;;) {
            char spare[4096];
            const bool full = done == bytes->size();
            char* into = full ? spare : bytes->data() + done;
            const size_t room = full ? sizeof spare : bytes->size() - done;
            const ssize_t n = ::read(fd, into, room);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                bytes.reset();
                break;
            }
            if (n == 0) {
                bytes->resize(done);
                break;
            }
            if (full) bytes->append(spare, static_cast<size_t>(n));
            done += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return bytes;
}

namespace {
// True when a test makes this step fail, with errno set as the step would have left it.
bool Fails(FileStep step, const fs::path& file) {
    const int e = Injected(step, file);
    if (e != 0) errno = e;
    return e != 0;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Without this a power cut right after the rename can bring the old name back.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
}  // namespace

bool ReplaceFileAtomically(const fs::path& name, std::string_view bytes) {
    const fs::path file = WrittenFileOf(name);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const fs::path temp = TemporaryFor(file);
    if (Fails(FileStep::CreateTemporary, name)) return false;
    // A fixed name, made anew if a crash left it: one leftover at most, and the next start
    // removes it. Made new, not truncated, so that a link or a second name in its place never
    // empties another file. The folder lock keeps other copies of the program from writing it.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    // Keep the permissions of the file we replace; a new file gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    ok = ok && !Fails(FileStep::Write, name) && WriteAll(fd, bytes);
    // Without the flush a power cut right after the rename could leave an empty file.
    ok = ok && !Fails(FileStep::Flush, name) && fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && !Fails(FileStep::Rename, name) && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        const int e = errno;
        ::unlink(temp.c_str());
        errno = e;
        return false;
    }
    // A failed flush of the folder leaves the new file in place: nothing to undo, only less sure.
    if (!Fails(FileStep::FlushFolder, name)) SyncFolder(folder);
    return true;
}

bool AppendToFile(const fs::path& file, std::string_view bytes, uint64_t* at) {
    if (Fails(FileStep::Append, file)) return false;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    const off_t end = st.st_size;
    if (at) *at = static_cast<uint64_t>(end);
    ok = ok && WriteAll(fd, bytes) && fdatasync(fd) == 0;
    if (!ok && end >= 0) {
        const int e = errno;
        if (::ftruncate(fd, end) != 0) { /* what is there stays; nothing more to do */
        }
        errno = e;
    }
    ::close(fd);
    if (ok) SyncFolder(file.has_parent_path() ? file.parent_path() : fs::path("."));
    return ok;
}

namespace {
FileStamp StampOfStat(const struct stat& st) {
    FileStamp stamp;
    stamp.Exists = true;
    stamp.Device = static_cast<uint64_t>(st.st_dev);
    stamp.Inode = static_cast<uint64_t>(st.st_ino);
    stamp.Size = static_cast<uint64_t>(st.st_size);
    stamp.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}
}  // namespace

FileStamp StampOf(const fs::path& file) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        // Only a file that is surely gone counts as deleted.
        stamp.Exists = errno != ENOENT && errno != ENOTDIR;
        return stamp;
    }
    return StampOfStat(st);
}

HeldFile::HeldFile(const fs::path& file) {
    if (Injected(FileStep::Read, file) != 0) return;
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
}

HeldFile::~HeldFile() {
    Close();
}

void HeldFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool HeldFile::IsOpen() const {
    return fd_ >= 0;
}

FileStamp HeldFile::Stamp() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return FileStamp{};
    return StampOfStat(st);
}

std::optional<std::string> HeldFile::Read(uint64_t offset, uint64_t size) const {
    if (fd_ < 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd_, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::string TextFromDisk(std::string bytes) {
    return bytes;
}
std::string TextToDisk(std::string text) {
    return text;
}

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

#endif

fs::path ChooseProgramFolder(const std::string& dirOption, const fs::path& exeFolder,
                             const char* xdgDataHome, const char* home) {
    // The option is UTF-8 text: on Windows a plain string would be read in the code page.
    if (!dirOption.empty()) return fs::path(std::u8string(dirOption.begin(), dirOption.end()));
#ifdef _WIN32
    (void)xdgDataHome;
    (void)home;
    return exeFolder;
#else
    std::error_code ec;
    if (fs::exists(exeFolder / "taktomat.ini", ec)) return exeFolder;
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return fs::path(xdgDataHome) / "taktomat";
    const fs::path base = (home != nullptr && home[0] != '\0') ? fs::path(home) : exeFolder;
    return base / ".local" / "share" / "taktomat";
#endif
}

fs::path UnsavedLogPath(const fs::path& log) {
    // One folder by any spelling: its links resolved, and on Windows in one case.
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(log, ec), ec);
    if (ec) full = fs::absolute(log, ec);
    if (ec) full = log;
#ifdef _WIN32
    std::wstring wide = full.lexically_normal().generic_wstring();
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    const auto text = fs::path(wide).generic_u8string();
#else
    const auto text = full.lexically_normal().generic_u8string();
#endif
    // FNV-1a: the same path gives the same name in every run and on every build.
    uint32_t hash = 2166136261u;
    for (const auto c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char tag[9];
    std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(hash));
#ifdef _WIN32
    std::wstring buf(MAX_PATH + 1, L'\0');
    const DWORD n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
    buf.resize(n);
    return fs::path(buf) / (std::string("taktomat-raport-unsaved-") + tag + ".txt");
#else
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    fs::path base;
    if (state != nullptr && state[0] == '/') {
        base = state;
    } else if (home != nullptr && home[0] == '/') {
        base = fs::path(home) / ".local" / "state";
    } else {
        // Never a folder that others share (/tmp): the user's home as the system knows it, or
        // no second place at all.
        const struct passwd* user = ::getpwuid(::getuid());
        if (user == nullptr || user->pw_dir == nullptr || user->pw_dir[0] != '/') return {};
        base = fs::path(user->pw_dir) / ".local" / "state";
    }
    return base / "taktomat" / (std::string("raport-unsaved-") + tag + ".txt");
#endif
}

fs::path ProgramFolder(const std::string& dirOption) {
    fs::path folder = ChooseProgramFolder(dirOption, ExecutableFolder(),
                                          std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

}  // namespace tt
