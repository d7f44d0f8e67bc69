#include "app/single_copy.h"

#include <gtest/gtest.h>

#include "testing/test_temp_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tt {
namespace {

TEST(SingleCopy, OneLockPerFolderAndNoneLeftByTheHolder) {
    const testing::TempFolder folder;
    {
        TFolderLock first(folder.Path());
        ASSERT_TRUE(first.Held());
        TFolderLock second(folder.Path());
        EXPECT_FALSE(second.Held());
        first.Publish("12345");
        EXPECT_EQ(TFolderLock::NoteOf(folder.Path()), "12345");
        const testing::TempFolder other;
        EXPECT_TRUE(TFolderLock(other.Path()).Held());
    }
    EXPECT_TRUE(TFolderLock(folder.Path()).Held());
}

#ifndef _WIN32
// A copy killed while it holds the lock leaves the file but not the lock.
TEST(SingleCopy, ACrashedCopyNeverBlocksTheNextStart) {
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

// The second start asks the first to show its window; SIGTERM asks it to end. Both arrive on
// the watcher's thread, not in a handler.
TEST(SingleCopy, SecondStartShowsTheFirstAndSigtermEndsIt) {
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
            lock.Publish(std::to_string(::getpid()));
            while (!ended) ::usleep(1000);
        }
        ::_exit(0);
    }
    EXPECT_TRUE(AskRunningCopyToShow(folder.Path(), 5000));
    char c = 0;
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
#endif

}  // namespace
}  // namespace tt
