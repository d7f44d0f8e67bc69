#include "app/single_copy.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/test_temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "testing/mounted_folder.h"
#endif

namespace tt {
namespace {

TEST(SingleCopy, OneLockPerFolderAndNoneLeftByTheHolder) {
    const testing::TempFolder folder;
    {
        TFolderLock first(folder.Path());
        ASSERT_TRUE(first.Held());
        TFolderLock second(folder.Path());
        EXPECT_EQ(second.State(), TFolderLock::Outcome::Taken);
#ifdef _WIN32
        first.Publish("12345 678");
        EXPECT_EQ(TFolderLock::NoteOf(folder.Path()), "12345 678");
#endif
        const testing::TempFolder other;
        EXPECT_TRUE(TFolderLock(other.Path()).Held());
    }
    EXPECT_TRUE(TFolderLock(folder.Path()).Held());
}

#ifndef _WIN32
namespace fs = std::filesystem;

// A runtime folder of the test's own, as a desktop session has.
class SingleCopyLinux : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::permissions(runtime_.Path(), fs::perms::owner_all);
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (saved_) ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        if (!saved_) ::unsetenv("XDG_RUNTIME_DIR");
    }

  private:
    testing::TempFolder runtime_;
    std::optional<std::string> saved_;
};

// A copy killed while it holds the lock leaves the file but not the lock.
TEST_F(SingleCopyLinux, ACrashedCopyNeverBlocksTheNextStart) {
    const testing::TempFolder folder;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFolderLock lock(folder.Path());
        const char c = lock.Held() ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_FALSE(TFolderLock(folder.Path()).Held());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(std::filesystem::exists(TFolderLock::FileOf(folder.Path())));
    EXPECT_TRUE(TFolderLock(folder.Path()).Held());
    ::close(ready[0]);
    ::close(ready[1]);
}

// A lock file that is a link, or a second name of another file, is never emptied.
TEST_F(SingleCopyLinux, ALockFileThatLeadsElsewhereLeavesThatFileAlone) {
    const testing::TempFolder folder;
    const fs::path precious = folder / "precious.txt";
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "a second name" : "a link");
        std::ofstream(precious, std::ios::binary) << "keep";
        fs::remove(TFolderLock::FileOf(folder.Path()));
        if (hard) {
            fs::create_hard_link(precious, TFolderLock::FileOf(folder.Path()));
        } else {
            fs::create_symlink(precious, TFolderLock::FileOf(folder.Path()));
        }
        { TFolderLock lock(folder.Path()); }
        std::ifstream in(precious, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(text, "keep");
    }
}

// SIGUSR1 shows the window, SIGTERM asks the program to end. Both arrive on the watcher's
// thread, not in a handler.
TEST_F(SingleCopyLinux, Sigusr1ShowsTheWindowAndSigtermEndsIt) {
    const testing::TempFolder folder;
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFolderLock lock(folder.Path());
        if (!lock.Held()) ::_exit(2);
        bool ended = false;
        {
            TSignalWatcher watcher(
                [&] {
                    ended = true;
                    const char e = 'E';
                    if (::write(report[1], &e, 1) != 1) ::_exit(3);
                },
                [&] {
                    const char s = 'S';
                    if (::write(report[1], &s, 1) != 1) ::_exit(3);
                });
            const char ready = 'R';
            if (::write(report[1], &ready, 1) != 1) ::_exit(3);
            while (!ended) ::usleep(1000);
        }
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(report[0], &c, 1), 1);
    ASSERT_EQ(c, 'R');
    ::kill(child, SIGUSR1);
    ASSERT_EQ(::read(report[0], &c, 1), 1);
    EXPECT_EQ(c, 'S');
    ::kill(child, SIGTERM);
    ASSERT_EQ(::read(report[0], &c, 1), 1);
    EXPECT_EQ(c, 'E');
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nobody holds the folder any more: the note left behind reaches no one.
    EXPECT_TRUE(TFolderLock(folder.Path()).Held());
    ::close(report[0]);
    ::close(report[1]);
}
// A folder made read-only: a read-only bind mount as root (root writes whatever the modes say),
// the modes otherwise. Why not, when neither can be made.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const fs::path& at) {
        if (::geteuid() != 0) {
            fs::permissions(at, fs::perms::owner_read | fs::perms::owner_exec);
            return;
        }
        mount_.emplace(testing::MountedFolder::Bind(at, at));
        if (mount_->Why().empty()) mount_->SetReadOnly(true);
    }
    std::string Why() const { return mount_ ? mount_->Why() : std::string(); }

  private:
    std::optional<testing::MountedFolder> mount_;
};

// Who holds the folder when a second start comes: another program with a flock and a note
// naming an unrelated process, a running copy (in a child that does not handle SIGUSR1, so a
// signal would end it), or this process. The second start never runs alongside; it reaches
// only a copy, and never signals a process whose number is in a file.
TEST_F(SingleCopyLinux, ASecondStartReachesOnlyARunningCopy) {
    enum class By { Foreign, Copy, Us };
    const struct {
        const char* Name;
        By Holder;
        bool ReadOnly;
        bool Reached;
    } rows[] = {
        {"a foreign flock naming an unrelated process", By::Foreign, false, false},
        {"a running copy", By::Copy, false, true},
        {"a running copy over a read-only folder", By::Copy, true, true},
        {"a holder over a read-only folder that does not listen", By::Us, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const testing::TempFolder folder;
        std::optional<ReadOnlyFolder> readOnly;
        if (row.ReadOnly && !readOnly.emplace(folder.Path()).Why().empty()) {
            std::printf("[ SKIPPED  ] %s: %s\n", row.Name, readOnly->Why().c_str());
            continue;
        }
        int report[2];
        ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
        pid_t child = -1;
        int foreign = -1;
        std::optional<TFolderLock> ours;
        if (row.Holder == By::Foreign) {
            child = ::fork();
            if (child == 0) {
                ::execlp("sleep", "sleep", "30", nullptr);
                ::_exit(127);
            }
            foreign = ::open(TFolderLock::FileOf(folder.Path()).c_str(), O_RDWR | O_CREAT, 0644);
            const std::string note = std::to_string(child) + "\n";
            EXPECT_EQ(::pwrite(foreign, note.data(), note.size(), 16), ssize_t(note.size()));
            EXPECT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
        } else if (row.Holder == By::Copy) {
            child = ::fork();
            if (child == 0) {
                TFolderLock lock(folder.Path());
                TShowListener listener(lock, folder.Path(), [&] {
                    if (::write(report[1], "S", 1) != 1) ::_exit(3);
                });
                if (::write(report[1], listener.Listening() ? "y" : "n", 1) != 1) ::_exit(3);
                ::pause();
                ::_exit(0);
            }
            char c = 0;
            EXPECT_EQ(::read(report[0], &c, 1), 1);
            EXPECT_EQ(c, 'y');
        } else {
            ours.emplace(folder.Path());
            EXPECT_TRUE(ours->Held());
            EXPECT_EQ(ours->FolderWritable(), !row.ReadOnly);
            // Held elsewhere: the folder has no lock file, the runtime folder has.
            EXPECT_FALSE(fs::exists(TFolderLock::FileOf(folder.Path())));
            EXPECT_TRUE(fs::exists(ours->RuntimeFile()));
        }
        EXPECT_EQ(TFolderLock(folder.Path()).State(), TFolderLock::Outcome::Taken);
        EXPECT_EQ(AskRunningCopyToShow(folder.Path(), 300), row.Reached);
        ::close(report[1]);
        if (row.Holder == By::Copy) {
            pollfd shown{report[0], POLLIN, 0};
            char c = 0;
            EXPECT_TRUE(::poll(&shown, 1, 2000) == 1 && ::read(report[0], &c, 1) == 1 && c == 'S');
        }
        if (child > 0) {
            EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the holder's child was ended";
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        if (foreign >= 0) ::close(foreign);
        ::close(report[0]);
    }
}
#endif

}  // namespace
}  // namespace tt
