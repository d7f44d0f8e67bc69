#include "base/files.h"

#include <algorithm>
#include <cerrno>
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
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tt {

namespace fs = std::filesystem;

ReadChunks::ReadChunks(fs::path file) : file_(std::move(file)) {}

#ifdef _WIN32

ReadChunks::~ReadChunks() {
    if (stream_ != nullptr) std::fclose(stream_);
}

bool ReadChunks::Open() {
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
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    in.seekg(0);
    if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
    return bytes;
}

bool ReplaceFileAtomically(const fs::path& file, std::string_view bytes) {
    const fs::path temp = fs::path(file).concat(L".tmp");
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    ok = ok && MoveFileExW(temp.c_str(), file.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
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

bool ReplaceFileAtomically(const fs::path& file, std::string_view bytes) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::string name = ".";
    name += file.filename().string();
    name += ".XXXXXX";
    std::string temp = (folder / name).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    // Keep the permissions of the file we replace; a new file gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    // Without the flush a power cut right after the rename could leave an empty file.
    ok = ok && fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
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
    if (!dirOption.empty()) return fs::path(dirOption);
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

fs::path ProgramFolder(const std::string& dirOption) {
    const fs::path folder = ChooseProgramFolder(dirOption, ExecutableFolder(),
                                                std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

}  // namespace tt
