// Real faults under the log's write, where the system can make them: a disk that is full, one
// out of inodes, a read-only folder (these need root to mount; skipped with a line saying so
// otherwise) and "raport.txt" replaced by a folder. Each time the write fails, the old file is
// untouched, nothing is left behind, and once the fault is gone the next write holds every
// record once.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>

#include "base/error.h"
#include "base/files.h"
#include "log/log_file.h"
#include "log/log_keeper.h"
#include "testing/mounted_folder.h"
#include "testing/test_temp_folder.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

const std::string kOld = "2026-12-01\t00:05:00\t2\t0,58\t\r\n";
const std::string kNew = "2026-12-07\t00:01:30\t3\t0,87\t";

using testing::MountedFolder;

void Prepare(const fs::path& file, TLogLines& lines) {
    ASSERT_TRUE(ReplaceFileAtomically(file, kOld));
    ASSERT_TRUE(LoadLog(file, lines));
    lines.Add(kNew);
}

// The write fails while `fault` holds; after `mend` it writes everything once.
void ExpectKeptThenWritten(const fs::path& file, TLogLines& lines,
                           const std::function<void()>& mend) {
    EXPECT_THROW(SaveLog(lines, file), Error);
    EXPECT_EQ(ReadWholeFile(file), kOld);
    EXPECT_FALSE(fs::exists(TemporaryFor(file)));
    EXPECT_TRUE(lines.Unsaved());
    mend();
    SaveLog(lines, file);
    EXPECT_EQ(ReadWholeFile(file), kOld + kNew + "\r\n");
    EXPECT_FALSE(lines.Unsaved());
}

class LogRealFaults : public ::testing::Test {
  protected:
    // A tmpfs with `options` holding the old log; the test is skipped when it cannot be made.
    void OnTinyDisk(const char* options) {
        disk_.emplace(folder / "disk", "tmpfs", "tmpfs", 0, options);
        if (!disk_->Why().empty()) GTEST_SKIP() << disk_->Why();
        ASSERT_NO_FATAL_FAILURE(Prepare(file, lines));
    }
    const testing::TempFolder folder;
    const fs::path file = folder / "disk" / "raport.txt";
    TLogLines lines;

  private:
    std::optional<MountedFolder> disk_;
};

TEST_F(LogRealFaults, ADiskThatFillsUp) {
    OnTinyDisk("size=64k,nr_inodes=64");
    if (IsSkipped() || HasFatalFailure()) return;
    // Fill what is left, then take one more byte than fits.
    {
        std::ofstream filler(folder / "disk" / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    ExpectKeptThenWritten(file, lines, [&] { fs::remove(folder / "disk" / "filler"); });
}

// The log and its second place on one disk that fills up: the second place's room was taken
// while there was some, so the record is kept there, and the log gets it once there is room.
TEST_F(LogRealFaults, ADiskThatFillsUpKeepsTheRecordInTheRoomReservedForIt) {
    OnTinyDisk("size=512k,nr_inodes=64");
    if (IsSkipped() || HasFatalFailure()) return;
    const fs::path second = folder / "disk" / "state" / "raport-unsaved.txt";
    {
        TLogKeeper keeper(file, second);
        keeper.Load(nullptr);
        keeper.TakeBack();
        std::ofstream filler(folder / "disk" / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
        filler.close();
        for (int i = 0; i < 300; ++i) keeper.Add(kNew);
        std::string error;
        EXPECT_FALSE(keeper.Save(error));
        EXPECT_NE(keeper.Finish().find("Zapisy połączeń (300) zachowano"), std::string::npos);
    }
    EXPECT_EQ(TLogKeeper::KeptRecords(second).size(), 300u);
    fs::remove(folder / "disk" / "filler");
    TLogKeeper next(file, second);
    next.Load(nullptr);
    next.TakeBack();
    TLogLines written;
    ASSERT_TRUE(LoadLog(file, written));
    EXPECT_EQ(written.size(), 301u);
    EXPECT_TRUE(TLogKeeper::KeptRecords(second).empty());
}

// An append to a log that cannot be read whole, cut short by a full disk, is taken back to the
// old length: the next append must not follow half a line.
TEST_F(LogRealFaults, AnAppendThatFillsTheDiskIsCutBack) {
    OnTinyDisk("size=64k,nr_inodes=64");
    if (IsSkipped() || HasFatalFailure()) return;
    {
        std::ofstream filler(folder / "disk" / "filler", std::ios::binary);
        const std::string block(1024, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    // A page free again: the append gets part of its way.
    const fs::path filler = folder / "disk" / "filler";
    fs::resize_file(filler, fs::file_size(filler) - 4096);
    lines.FileUnread = true;
    lines.Add(std::string(16 * 1024, '7'));  // more than is left
    // Still too big to be read whole: the record goes at its end.
    SetFileFaultHook(
        [](FileStep step, const fs::path&) { return step == FileStep::Read ? ENOMEM : 0; });
    EXPECT_THROW(SaveLog(lines, file), Error);
    SetFileFaultHook(nullptr);
    EXPECT_EQ(ReadWholeFile(file), kOld);
}

TEST_F(LogRealFaults, ADiskOutOfInodes) {
    OnTinyDisk("size=1m,nr_inodes=8");
    if (IsSkipped() || HasFatalFailure()) return;
    int made = 0;
    while (made < 100 && std::ofstream(folder / "disk" / ("f" + std::to_string(made)))) ++made;
    // The last try made none: every inode is taken.
    ASSERT_FALSE(fs::exists(folder / "disk" / ("f" + std::to_string(made))));
    ExpectKeptThenWritten(file, lines, [&] { fs::remove(folder / "disk" / "f0"); });
}

TEST_F(LogRealFaults, AReadOnlyFolder) {
    fs::create_directories(folder / "real");
    ASSERT_NO_FATAL_FAILURE(Prepare(folder / "real" / "raport.txt", lines));
    MountedFolder view = MountedFolder::Bind(folder / "view", folder / "real");
    if (!view.Why().empty()) GTEST_SKIP() << view.Why();
    const fs::path viewed = folder / "view" / "raport.txt";
    ASSERT_TRUE(view.SetReadOnly(true)) << view.Why();
    ExpectKeptThenWritten(viewed, lines,
                          [&] { ASSERT_TRUE(view.SetReadOnly(false)) << view.Why(); });
}

// A log too big for the memory left is not loaded, and so it is never replaced: the new record
// goes at its end. Run in a child process under an address-space limit.
TEST(LogMemoryFault, ALogTooBigForTheMemoryLeftIsNeverReplacedByLess) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit leaves";
#else
    const testing::TempFolder folder;
    const fs::path file = folder / "raport.txt";
    std::string big;
    for (int i = 0; i < 1'500'000; ++i) big += kOld;  // about 45 MB
    ASSERT_TRUE(ReplaceFileAtomically(file, big));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for the program as it is and a little more, not for the log.
        std::ifstream status("/proc/self/status");
        std::string word;
        long long kb = 0;
        while (status >> word)
            if (word == "VmSize:" && (status >> kb)) break;
        const rlimit limit{static_cast<rlim_t>((kb + 24 * 1024) * 1024),
                           static_cast<rlim_t>((kb + 24 * 1024) * 1024)};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(10);
        TLogLines lines;
        if (LoadLog(file, lines)) ::_exit(11);  // loaded after all: the limit is too high
        if (!lines.FileUnread) ::_exit(12);
        lines.Add(kNew);
        try {
            SaveLog(lines, file);
        } catch (...) {
            ::_exit(13);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadWholeFile(file), big + kNew + "\r\n");
#endif
}

}  // namespace
}  // namespace tt
#endif
