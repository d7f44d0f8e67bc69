#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

// The whole file as bytes, or nothing when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// A file read piece by piece straight into the caller's memory, which can grow between pieces
// when the file grows while it is read.
class ReadChunks {
  public:
    explicit ReadChunks(std::filesystem::path file);
    ~ReadChunks();
    ReadChunks(const ReadChunks&) = delete;
    ReadChunks& operator=(const ReadChunks&) = delete;

    // False when the file is missing, is no regular file or cannot be opened.
    bool Open();
    // The size when opened; the file may still grow or shrink while it is read.
    size_t SizeHint() const { return sizeHint_; }
    // The piece size that read fastest.
    static constexpr size_t kPiece = size_t{256} * 1024;
    // Reads the next piece into `into`, at most `max` bytes: how many, 0 at the end, nothing
    // on a read error.
    std::optional<size_t> ReadInto(char* into, size_t max);

  private:
    std::filesystem::path file_;
    size_t sizeHint_ = 0;
#ifdef _WIN32
    std::FILE* stream_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Writes `bytes` to a temporary file in the same folder, flushes it to the disk and renames it
// over `file`, then flushes the folder where the platform allows, so the old contents survive a
// crash, a power cut or a full disk untouched. False (and no temporary left behind) when any
// step fails. The temporary has one fixed name per file, so a crash leaves at most one. A
// `file` that is a symbolic link is written through it: the file it names is replaced, beside
// itself, and the link stays.
bool ReplaceFileAtomically(const std::filesystem::path& name, std::string_view bytes);

// The file that a write to `file` reaches: itself, or what its symbolic links lead to.
std::filesystem::path WrittenFileOf(const std::filesystem::path& file);
// The temporary that ReplaceFileAtomically writes for `file`.
std::filesystem::path TemporaryFor(const std::filesystem::path& file);
// Removes the temporary that a replace of `file` interrupted by a crash left; how many (0 or 1).
// Only names this program makes are touched. Only for a folder no other copy writes to.
size_t RemoveStaleTemporaries(const std::filesystem::path& file);

// The last byte of a file that is not empty, without reading the rest.
std::optional<char> LastByteOf(const std::filesystem::path& file);

// Adds `bytes` at the end of `file` (created if missing) and flushes it; on failure the file is
// cut back to where it ended, so a retry never writes anything twice. `at`, when given, gets
// where the bytes went.
bool AppendToFile(const std::filesystem::path& file, std::string_view bytes,
                  uint64_t* at = nullptr);
// At most `size` bytes of the file from `offset` on; nothing when it cannot be read.
std::optional<std::string> ReadFileRange(const std::filesystem::path& file, uint64_t offset,
                                         size_t size);

// Which file a path names and how it looked: another program's replace makes a new file, an
// append changes the size and the time.
struct FileStamp {
    bool Exists = false;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& file);

// A file held open for reading from a moment on: what another program adds to it stays
// readable here even after the file has been replaced under its name.
class HeldFile {
  public:
    explicit HeldFile(const std::filesystem::path& file);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool IsOpen() const;
    void Close();
    // How the held file looks now (not what its name leads to now).
    FileStamp Stamp() const;
    // At most `size` bytes from `offset` on; nothing when they cannot be read.
    std::optional<std::string> Read(uint64_t offset, uint64_t size) const;

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Faults put into the file layer by tests, where a real one cannot be made: called before each
// step with the file it acts on; a non-zero errno makes that step fail with it.
enum class FileStep {
    Read,
    CreateTemporary,
    Write,
    Flush,
    Rename,
    FlushFolder,
    Append,
    JournalWrite,
    JournalFlush
};
using FileFaultHook = std::function<int(FileStep, const std::filesystem::path&)>;
void SetFileFaultHook(FileFaultHook hook);
// The errno a test wants this step to fail with, 0 to go on.
int InjectedFault(FileStep step, const std::filesystem::path& file);

// Text is UTF-8 inside the program. On disk it is the system's single-byte code page on
// Windows and UTF-8 on Linux.
#ifdef _WIN32
inline constexpr bool kDiskTextIsUtf8 = false;
#else
inline constexpr bool kDiskTextIsUtf8 = true;
#endif
std::string TextFromDisk(std::string bytes);
std::string TextToDisk(std::string text);

// The absolute form of a path as the user should read it in a message.
std::string FullPathText(const std::filesystem::path& file);

// Where taktomat.ini, raport.txt and w95bug.txt live. An explicit folder (--dir) wins. On
// Windows it is the executable's folder. On Linux it is the executable's folder when that
// already holds "taktomat.ini" (a portable copy), otherwise $XDG_DATA_HOME/taktomat, or
// ~/.local/share/taktomat when that variable is unset or not absolute.
std::filesystem::path ChooseProgramFolder(const std::string& dirOption,
                                          const std::filesystem::path& exeFolder,
                                          const char* xdgDataHome, const char* home);
std::filesystem::path ExecutableFolder();
// Where records go that could not be written to `log` when the program ended: on Linux
// $XDG_STATE_HOME/taktomat (~/.local/state/taktomat), on Windows the user's temporary folder;
// one file for each log (its name carries a number made from the log's canonical path), so that
// the next start over that folder takes them back. Empty where the user has no private folder.
std::filesystem::path UnsavedLogPath(const std::filesystem::path& log);
// ChooseProgramFolder with this process's executable and environment; creates the folder.
std::filesystem::path ProgramFolder(const std::string& dirOption);

}  // namespace tt
