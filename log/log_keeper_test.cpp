#include "log/log_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/files.h"
#include "testing/test_temp_folder.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tt {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

// The log holds A; a connection runs (P1, P2) and ends with a record that reads A again; a second
// connection ends with A too; its save fails; a third connection runs when the run ends hard.
const std::string A = "2026-12-06\t00:05:00\t2\t0,58\t";
const std::string P1 = "2026-12-07\t00:00:00\t1\t0,29\t";
const std::string P2 = "2026-12-07\t00:00:30\t2\t0,58\t";
const std::string B = "2026-12-07\t00:10:00\t1\t0,29\t";

// Set in a child: every later replace of the log fails (a full disk).
bool gFailRenames = false;

struct Folder {
    fs::path dir;
    fs::path Log() const { return dir / "raport.txt"; }
    fs::path Journal() const { return dir / "state" / "journal"; }
};

// Runs `body` in a child process that dies without a word just before its `crashAt`-th file
// step (0: never); the child reports each stage it completes through a pipe. Returns the last
// completed stage and whether it died.
std::pair<int, bool> RunChild(int crashAt,
                              const std::function<void(const std::function<void()>&)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {-1, false};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int calls = 0;
        SetFileFaultHook([&](FileStep step, const fs::path&) {
            if (++calls == crashAt) ::_exit(17);
            return gFailRenames && step == FileStep::Rename ? ENOSPC : 0;
        });
        body([&] { (void)!::write(fds[1], "s", 1); });
        ::_exit(0);
    }
    ::close(fds[1]);
    int stages = 0;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1) ++stages;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {stages, WIFEXITED(status) && WEXITSTATUS(status) == 17};
}

void OneRun(const Folder& f, const std::function<void()>& stage) {
    TLogKeeper keeper(f.Log(), f.Journal());
    keeper.Load(nullptr);
    keeper.TakeBack();
    std::string error;
    keeper.Running(P1);
    stage();  // 1
    keeper.Running(P2);
    stage();  // 2
    keeper.Add(A);
    stage();  // 3
    keeper.Save(error);
    stage();  // 4
    keeper.Add(A);
    stage();  // 5
    gFailRenames = true;
    keeper.Save(error);
    stage();  // 6
    keeper.Running(B);
    stage();  // 7
}

void NextStart(const Folder& f, const std::function<void()>& stage) {
    TLogKeeper keeper(f.Log(), f.Journal());
    keeper.Load(nullptr);
    keeper.TakeBack();
    stage();
}

std::vector<std::string> LogLines(const Folder& f) {
    TLogLines lines;
    LoadLog(f.Log(), lines);
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size(); ++i) out.emplace_back(lines[i]);
    return out;
}

// After a run that stopped after stage `s`, and a start that may have stopped too, one more start
// finds every confirmed record in the log once, and no record twice.
void CheckLog(const Folder& f, int s) {
    NextStart(f, [] {});
    const std::vector<std::string> log = LogLines(f);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], A);
    const auto count = [&](const std::string& text) {
        return static_cast<int>(std::count(log.begin(), log.end(), text));
    };
    const int a = count(A), p = count(P1) + count(P2), b = count(B);
    EXPECT_EQ(a + p + b, static_cast<int>(log.size())) << "a line that is no record of the run";
    // The first connection: its last journaled state, or its record once that was made.
    if (s >= 3) {
        EXPECT_EQ(p, 0);
    }
    if (s >= 2) {
        EXPECT_EQ(count(P1), 0);
    }
    const int first = s >= 1 ? 1 : 0;   // at least: P1 was kept
    const int second = s >= 5 ? 1 : 0;  // at least: its record was kept
    EXPECT_GE(a + p - 1, first + second);
    EXPECT_LE(a + p - 1, 1 + (s >= 4 ? 1 : 0));
    EXPECT_LE(b, 1);
    if (s >= 7) {
        EXPECT_EQ(b, 1);
    }
    if (s < 6) {
        EXPECT_EQ(b, 0);
    }
    // Nothing is kept twice: the second place is empty once the log holds everything.
    EXPECT_TRUE(TLogKeeper::KeptRecords(f.Journal()).empty());
}

// A hard end at every step of a run (each write and flush of the log and of the second place),
// and then at every step of the next start's take-back.
TEST(LogKeeperCrash, EveryRecordOnceAfterAHardEndAtAnyStep) {
    std::error_code ec;
    const testing::TempFolder temp("tt_keeper_crash", fs::is_directory("/dev/shm", ec)
                                                          ? fs::path("/dev/shm")
                                                          : fs::temp_directory_path());
    const Folder f{temp.Path() / "run"};
    const Folder saved{temp.Path() / "saved"};
    int runs = 0;
    for (int k = 1;; ++k) {
        fs::remove_all(f.dir);
        fs::create_directories(f.dir);
        std::ofstream(f.Log(), std::ios::binary) << A << "\r\n";
        const auto [stage, died] = RunChild(k, [&](const auto& st) { OneRun(f, st); });
        ++runs;
        SCOPED_TRACE("run stopped before file step " + std::to_string(k) + ", after stage " +
                     std::to_string(stage));
        fs::remove_all(saved.dir);
        fs::copy(f.dir, saved.dir, fs::copy_options::recursive);
        for (int j = 1;; ++j) {
            fs::remove_all(f.dir);
            fs::copy(saved.dir, f.dir, fs::copy_options::recursive);
            const auto [started, startDied] =
                RunChild(j, [&](const auto& st) { NextStart(f, st); });
            ++runs;
            SCOPED_TRACE("next start stopped before file step " + std::to_string(j));
            ASSERT_NO_FATAL_FAILURE(CheckLog(f, stage));
            if (!startDied) break;
        }
        if (!died) break;
    }
    EXPECT_GT(runs, 40);
}

#endif

}  // namespace
}  // namespace tt
