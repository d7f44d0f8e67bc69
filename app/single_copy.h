#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace tt {

// One running copy per program folder: a lock on "taktomat.lock" in the folder. The system
// drops the lock with the process, so a copy that crashed never blocks the next start.
class TFolderLock {
  public:
    explicit TFolderLock(const std::filesystem::path& folder);
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    bool Held() const { return held_; }
    // Leaves how to reach this copy (a process or window number) for a second start to read.
    void Publish(const std::string& note);
    // What the copy that holds the lock left there; nothing while it has not yet.
    static std::optional<std::string> NoteOf(const std::filesystem::path& folder);
    static std::filesystem::path FileOf(const std::filesystem::path& folder);

  private:
    bool held_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Asks the copy that holds the folder's lock to bring its main window up, as a click on its
// tray icon does. False when it cannot be reached. Tries for up to `patienceMs` while that copy
// is still starting and has not said how to reach it.
bool AskRunningCopyToShow(const std::filesystem::path& folder, int patienceMs = 2000);

#ifndef _WIN32
// SIGTERM, SIGINT and SIGHUP end the program, SIGUSR1 (a second start) shows its window. The
// handlers only write the signal's number into a pipe; a thread of its own reads it and calls
// back, so nothing unsafe runs inside a handler. The old handlers come back when it goes.
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

}  // namespace tt
