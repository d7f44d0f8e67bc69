#include "base/journal_file.h"

#include <array>
#include <cstdio>
#include <system_error>

#include "base/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tt {

namespace fs = std::filesystem;

namespace {

constexpr size_t kChecksumDigits = 8;

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

std::string Framed(std::string_view entry) {
    char digits[kChecksumDigits + 2];
    std::snprintf(digits, sizeof digits, "%08x ", JournalChecksum(entry));
    std::string line(digits, kChecksumDigits + 1);
    line += entry;
    line += '\n';
    return line;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The entry a framed line holds, or nothing.
bool Unframe(std::string_view line, std::string& entry) {
    if (line.size() <= kChecksumDigits || line[kChecksumDigits] != ' ') return false;
    uint32_t sum = 0;
    for (size_t i = 0; i < kChecksumDigits; ++i) {
        if (!IsHex(line[i])) return false;
        sum = sum * 16 + static_cast<uint32_t>(line[i] <= '9' ? line[i] - '0' : line[i] - 'a' + 10);
    }
    const std::string_view text = line.substr(kChecksumDigits + 1);
    if (JournalChecksum(text) != sum) return false;
    entry.assign(text);
    return true;
}

bool LooksFramed(std::string_view line) {
    if (line.size() <= kChecksumDigits || line[kChecksumDigits] != ' ') return false;
    for (size_t i = 0; i < kChecksumDigits; ++i) {
        if (!IsHex(line[i])) return false;
    }
    return true;
}

}  // namespace

size_t ParseJournal(std::string_view bytes, std::vector<std::string>& entries,
                    std::vector<std::string>& foreign) {
    // Entries end at the first zero byte (the reserved room) or at the first line that does not
    // check out (torn by a crash). Plain lines before the first entry are an earlier version's.
    const size_t text = std::min(bytes.find('\0'), bytes.size());
    size_t at = 0;
    while (at < text) {
        const size_t nl = bytes.find('\n', at);
        if (nl == std::string_view::npos || nl >= text) break;
        std::string_view line = bytes.substr(at, nl - at);
        std::string entry;
        if (Unframe(line, entry)) {
            entries.push_back(std::move(entry));
        } else if (entries.empty() && !LooksFramed(line)) {
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!line.empty()) foreign.emplace_back(line);
        } else {
            break;
        }
        at = nl + 1;
    }
    return at;
}

uint32_t JournalChecksum(std::string_view text) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (const char ch : text) c = table[(c ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

JournalFile::~JournalFile() {
    Close();
}

bool JournalFile::Open(const fs::path& file, size_t reserve) {
    Close();
    path_ = file;
    entries_.clear();
    foreign_.clear();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
#ifndef _WIN32
    // Records that another user could plant or read here would enter the owner's log.
    struct stat folder {};
    if (::stat(file.parent_path().c_str(), &folder) != 0 || folder.st_uid != ::geteuid() ||
        (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return false;
    }
#endif
    std::string bytes;
#ifdef _WIN32
    // A link in the file's place is opened as itself, not followed.
    HANDLE h =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    size_ = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    bytes.resize(static_cast<size_t>(size_));
    DWORD got = 0;
    if (size_ > 0 &&
        (!ReadFile(h, bytes.data(), static_cast<DWORD>(size_), &got, nullptr) || got != size_)) {
        Close();
        return false;
    }
#else
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    bytes.resize(static_cast<size_t>(size_));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got != bytes.size()) {
        Close();
        return false;
    }
#endif
    end_ = ParseJournal(bytes, entries_, foreign_);
    if (size_ < reserve) {
        // Zeros, not a hole: the room must be the disk's now, not when it is full.
        const std::string zeros(reserve - static_cast<size_t>(size_), '\0');
        if (WriteAt(size_, zeros)) size_ = reserve;
    }
    return true;
}

bool JournalFile::IsOpen() const {
#ifdef _WIN32
    return handle_ != nullptr;
#else
    return fd_ >= 0;
#endif
}

void JournalFile::Close() {
#ifdef _WIN32
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
#else
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
#endif
}

bool JournalFile::WriteAt(uint64_t offset, std::string_view bytes) {
    if (!IsOpen()) return false;
    if (InjectedFault(FileStep::JournalWrite, path_) != 0) return false;
#ifdef _WIN32
    HANDLE h = static_cast<HANDLE>(handle_);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return false;
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return false;
    }
    return InjectedFault(FileStep::JournalFlush, path_) == 0 && FlushFileBuffers(h);
#else
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return InjectedFault(FileStep::JournalFlush, path_) == 0 && ::fdatasync(fd_) == 0;
#endif
}

bool JournalFile::Append(std::string_view entry, const LiveEntries& live) {
    const std::string line = Framed(entry);
    // The zero after the entry ends what is read, whatever an earlier, longer content left
    // behind it.
    std::string bytes = line + '\0';
    if (end_ + bytes.size() > size_) {
        std::string grown = bytes + std::string(kReserve, '\0');
        if (WriteAt(end_, grown)) {
            size_ = end_ + grown.size();
            end_ += line.size();
            entries_.emplace_back(entry);
            return true;
        }
        // The disk is full: what still matters is written anew into the room there is.
        std::vector<std::string> kept = live ? live() : std::vector<std::string>{};
        std::string fresh;
        for (const std::string& e : kept) fresh += Framed(e);
        fresh += line;
        fresh += '\0';
        if (fresh.size() > size_ || !WriteAt(0, fresh)) return false;
        entries_ = std::move(kept);
        entries_.emplace_back(entry);
        foreign_.clear();
        end_ = fresh.size() - 1;
        return true;
    }
    if (!WriteAt(end_, bytes)) return false;
    end_ += line.size();
    entries_.emplace_back(entry);
    return true;
}

bool JournalFile::Clear() {
    if (!WriteAt(0, std::string_view("\0", 1))) return false;
    entries_.clear();
    foreign_.clear();
    end_ = 0;
    return true;
}

}  // namespace tt
