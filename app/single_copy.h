#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace tt {

// This user's own folder for what only this user's copies may see and make: on Linux
// $XDG_RUNTIME_DIR, else "taktomat-<uid>" made by us (mode 0700) in a temporary folder that
// others cannot rename things in; on Windows the user's temporary folder. Empty when there is
// no such folder that only this user can write to.
std::filesystem::path RuntimeFolder();
// A number made from the program folder's canonical path, the same in every run: the name of
// that folder's lock and socket in the runtime folder.
std::string FolderTag(const std::filesystem::path& folder);

// One running copy per program folder. The copy holds a lock on "taktomat-<tag>.lock" in the
// runtime folder (this user's copies) and one on "taktomat.lock" in the program folder (every
// user's), both dropped by the system with the process, so a copy that crashed never blocks
// the next start. A folder that cannot be written and holds no "taktomat.lock" yet keeps only
// the first; a locked file only read is still locked.
class TFolderLock {
  public:
    explicit TFolderLock(const std::filesystem::path& folder);
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    enum class Outcome {
        Held,
        Taken,    // another process holds one of the locks: most likely a running copy
        Nowhere,  // neither place could take a lock
    };
    Outcome State() const { return state_; }
    bool Held() const { return state_ == Outcome::Held; }
    // Whether this process may write into the program folder; the program runs either way.
    bool FolderWritable() const { return folderWritable_; }
    // The lock in the runtime folder when this process holds it, else empty.
    const std::filesystem::path& RuntimeFile() const { return runtimeFile_; }
    static std::filesystem::path FileOf(const std::filesystem::path& folder);
    // The runtime folder's lock file and socket of a program folder; empty without a runtime
    // folder.
    static std::filesystem::path RuntimeFileOf(const std::filesystem::path& folder);
    static std::filesystem::path SocketOf(const std::filesystem::path& folder);

#ifdef _WIN32
    // Leaves how to reach this copy ("<window> <process>") for a second start to read.
    void Publish(const std::string& note);
    // What the copy that holds the lock left there; nothing while it has not yet.
    static std::optional<std::string> NoteOf(const std::filesystem::path& folder);
#endif

  private:
    Outcome state_ = Outcome::Nowhere;
    bool folderWritable_ = false;
    std::filesystem::path runtimeFile_;
#ifdef _WIN32
    void* folderHandle_ = nullptr;
    void* runtimeHandle_ = nullptr;
#else
    int folderFd_ = -1;
    int runtimeFd_ = -1;
#endif
};

// Asks the copy that holds the folder's lock to bring its main window up, as a click on its
// tray icon does. False when no copy of this program of this user answers. Tries for up to
// `patienceMs` while that copy is still starting and cannot be reached yet. On Linux it asks
// over the folder's socket in the runtime folder, never by a signal to a process number read
// from a file; on Windows only a window of this program's class whose process wrote the note.
bool AskRunningCopyToShow(const std::filesystem::path& folder, int patienceMs = 2000);

// What the windowed program says when a second start could not reach the running copy, when
// no lock could be had anywhere, and when it runs over a folder it cannot write.
std::string AlreadyRunningText(const std::filesystem::path& folder);
std::string NoLockText(const std::filesystem::path& folder);
std::string UnwritableFolderText(const std::filesystem::path& folder,
                                 const std::filesystem::path& secondPlace);

#ifndef _WIN32
// The running copy's end of the folder's socket: a second start of this user that connects and
// asks gets its window shown. A thread of its own accepts; what it calls must only post to the
// window thread. Needs the lock's runtime part; without it nothing listens.
class TShowListener {
  public:
    TShowListener(const TFolderLock& lock, const std::filesystem::path& folder,
                  std::function<void()> onShow);
    ~TShowListener();
    TShowListener(const TShowListener&) = delete;
    TShowListener& operator=(const TShowListener&) = delete;

    bool Listening() const { return socket_ >= 0; }

  private:
    void Serve(int client);

    std::function<void()> onShow_;
    std::filesystem::path path_;
    int socket_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
};

// SIGTERM, SIGINT and SIGHUP end the program, SIGUSR1 shows its window (a second start no
// longer sends it, but it does no harm). The handlers only write the signal's number into a
// pipe; a thread of its own reads it and calls back, so nothing unsafe runs inside a handler.
// The old handlers come back when it goes.
class TSignalWatcher {
  public:
    TSignalWatcher(std::function<void()> onEnd, std::function<void()> onShow);
    ~TSignalWatcher();
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

  private:
    std::function<void()> onEnd_;
    std::function<void()> onShow_;
    std::thread thread_;
};
#endif

// The registered window message that asks a running copy to show its window.
inline constexpr const char* kShowMessageName = "Taktomat2000.ShowMainWindow";
// The class of the program's windows on Windows; a second start shows only a window of it.
inline constexpr const char* kWindowClassName = "TaktomatWindow";

}  // namespace tt
