#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

// A file of short entries, each written and flushed to the disk before Append returns, in room
// reserved ahead of need: the file is filled with zeros to `reserve` bytes when it is opened, so
// an entry still fits when the disk fills up later. Each entry carries a checksum, so one torn by
// a crash or a power cut ends what is read instead of being taken for an entry. Opened without
// following a link, and never truncating another file.
class JournalFile {
  public:
    static constexpr size_t kReserve = size_t{256} * 1024;

    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Opens (creating it, with its folder) and reads it. False when it cannot be opened as a
    // regular file of this user.
    bool Open(const std::filesystem::path& file, size_t reserve = kReserve);
    bool IsOpen() const;
    const std::filesystem::path& Path() const { return path_; }

    // The entries as read at Open and appended since.
    const std::vector<std::string>& Entries() const { return entries_; }
    // Lines of the file that are no entries of ours: an earlier version's plain records.
    const std::vector<std::string>& Foreign() const { return foreign_; }

    // Writes one entry (no line break in it) and flushes it. When the reserved room is used
    // up the file grows; if it cannot, the entries that `live` gives are written anew from the
    // start, followed by this one.
    using LiveEntries = std::function<std::vector<std::string>()>;
    bool Append(std::string_view entry, const LiveEntries& live = {});
    // Forgets every entry (and the foreign lines): what is read next is empty.
    bool Clear();

  private:
    bool WriteAt(uint64_t offset, std::string_view bytes);
    void Close();

    std::filesystem::path path_;
    std::vector<std::string> entries_;
    std::vector<std::string> foreign_;
    uint64_t end_ = 0;   // where the next entry goes
    uint64_t size_ = 0;  // the file's size, reserved room included
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Reads a journal's bytes: its entries, the plain lines before them, and where the next entry
// goes.
size_t ParseJournal(std::string_view bytes, std::vector<std::string>& entries,
                    std::vector<std::string>& foreign);
// The checksum of an entry (CRC-32, as zlib computes it).
uint32_t JournalChecksum(std::string_view text);

}  // namespace tt
