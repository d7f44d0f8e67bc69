#include "base/files.h"
#include "base/journal_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "testing/test_temp_folder.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

TEST(Files, AtomicReplaceLeavesNoTemporaryAndKeepsOldFileOnFailure) {
    const testing::TempFolder folder;
    const fs::path& dir = folder.Path();
    const fs::path file = dir / "raport.txt";
    ASSERT_TRUE(ReplaceFileAtomically(file, "one\r\n"));
    ASSERT_TRUE(ReplaceFileAtomically(file, std::string("two\0\r\n", 6)));
    EXPECT_EQ(ReadWholeFile(file), std::string("two\0\r\n", 6));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // The target is a folder: the rename fails, nothing is left behind.
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "sub" / "x");
    EXPECT_FALSE(ReplaceFileAtomically(dir / "sub", "data"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_EQ(ReadWholeFile(dir / "missing"), std::nullopt);
}

// The order that keeps the old file until the new one is whole on the disk, and the folder
// flushed after the rename so that a power cut cannot undo it; a failed step leaves no
// temporary, and a crash leaves the one fixed temporary that the next start removes.
TEST(Files, ReplaceFlushesBeforeTheRenameAndTheFolderAfterIt) {
    const testing::TempFolder folder;
    const fs::path file = folder / "raport.txt";
    std::vector<FileStep> steps;
    FileStep failAt = FileStep::Read;
    SetFileFaultHook([&](FileStep step, const fs::path&) {
        steps.push_back(step);
        return step == failAt ? EIO : 0;
    });
    ASSERT_TRUE(ReplaceFileAtomically(file, "one\r\n"));
#ifdef _WIN32
    const std::vector<FileStep> order = {FileStep::CreateTemporary, FileStep::Write,
                                         FileStep::Flush, FileStep::Rename};
#else
    const std::vector<FileStep> order = {FileStep::CreateTemporary, FileStep::Write,
                                         FileStep::Flush, FileStep::Rename, FileStep::FlushFolder};
#endif
    EXPECT_EQ(steps, order);
    for (const FileStep step : {FileStep::Write, FileStep::Flush, FileStep::Rename}) {
        failAt = step;
        EXPECT_FALSE(ReplaceFileAtomically(file, "two\r\n"));
        EXPECT_EQ(ReadWholeFile(file), "one\r\n");
        EXPECT_FALSE(fs::exists(TemporaryFor(file)));
    }
    SetFileFaultHook(nullptr);
    // What a crash leaves is the fixed temporary; names that only look like one are the user's.
    ASSERT_TRUE(ReplaceFileAtomically(TemporaryFor(file), "half"));
    for (const char* name : {".raport.txt.backup", ".raport.txt.a1B2c3", ".raport.txt.keep.me"}) {
        ASSERT_TRUE(ReplaceFileAtomically(folder / name, "the user's"));
    }
    EXPECT_EQ(RemoveStaleTemporaries(file), 1u);
    EXPECT_FALSE(fs::exists(TemporaryFor(file)));
    for (const char* name : {".raport.txt.backup", ".raport.txt.a1B2c3", ".raport.txt.keep.me"}) {
        EXPECT_EQ(ReadWholeFile(folder / name), "the user's") << name;
    }
    EXPECT_EQ(ReadWholeFile(file), "one\r\n");
}

#ifndef _WIN32
// A log kept elsewhere through a link is written there and the link stays; a temporary or a
// second place that is a link (or a second name of another file) never empties that file.
TEST(Files, LinksAreWrittenThroughOrLeftAlone) {
    const testing::TempFolder folder;
    fs::create_directories(folder / "other disk");
    const fs::path real = folder / "other disk" / "raport.txt";
    const fs::path log = folder / "raport.txt";
    ASSERT_TRUE(ReplaceFileAtomically(real, "old\r\n"));
    fs::create_symlink(real, log);
    ASSERT_TRUE(ReplaceFileAtomically(log, "new\r\n"));
    EXPECT_TRUE(fs::is_symlink(log));
    EXPECT_EQ(ReadWholeFile(real), "new\r\n");

    const fs::path precious = folder / "precious.txt";
    ASSERT_TRUE(ReplaceFileAtomically(precious, "keep\r\n"));
    fs::create_symlink(precious, TemporaryFor(real));
    ASSERT_TRUE(ReplaceFileAtomically(log, "newer\r\n"));
    fs::create_hard_link(precious, TemporaryFor(real));
    ASSERT_TRUE(ReplaceFileAtomically(log, "newest\r\n"));
    EXPECT_EQ(ReadWholeFile(precious), "keep\r\n");
    EXPECT_EQ(ReadWholeFile(real), "newest\r\n");

    JournalFile journal;
    fs::create_symlink(precious, folder / "second");
    EXPECT_FALSE(journal.Open(folder / "second"));
    EXPECT_EQ(ReadWholeFile(precious), "keep\r\n");
}
#endif

#ifdef _WIN32
TEST(Files, ProgramFolderIsTheExecutablesUnlessGiven) {
    const testing::TempFolder folder;
    EXPECT_EQ(ChooseProgramFolder("C:/given", folder.Path(), "/xdg", "/home/u"),
              fs::path("C:/given"));
    EXPECT_EQ(ChooseProgramFolder("", folder.Path(), "/xdg", "/home/u"), folder.Path());
}
#else
TEST(Files, ProgramFolderChoice) {
    const testing::TempFolder folder;
    const fs::path& dir = folder.Path();
    EXPECT_EQ(ChooseProgramFolder("/given", dir, "/xdg", "/home/u"), fs::path("/given"));
    EXPECT_EQ(ChooseProgramFolder("", dir, "/xdg", "/home/u"), fs::path("/xdg/taktomat"));
    EXPECT_EQ(ChooseProgramFolder("", dir, nullptr, "/home/u"),
              fs::path("/home/u/.local/share/taktomat"));
    EXPECT_EQ(ChooseProgramFolder("", dir, "relative", "/home/u"),
              fs::path("/home/u/.local/share/taktomat"));
    ASSERT_TRUE(ReplaceFileAtomically(dir / "taktomat.ini", ""));
    EXPECT_EQ(ChooseProgramFolder("", dir, "/xdg", "/home/u"), dir);
}
#endif

// Each log has its own second place, so records go back only into the log they came from.
TEST(Files, EachLogHasASecondPlaceOfItsOwn) {
    const fs::path a = UnsavedLogPath("/home/u/taktomat/raport.txt");
    EXPECT_EQ(UnsavedLogPath("/home/u/taktomat/./raport.txt"), a);
    EXPECT_NE(UnsavedLogPath("/home/u/other/raport.txt"), a);
    EXPECT_EQ(a.parent_path(), UnsavedLogPath("/media/stick/raport.txt").parent_path());
    EXPECT_EQ(a.extension(), ".txt");
#ifndef _WIN32
    EXPECT_EQ(a.filename().string().rfind("raport-unsaved-", 0), 0u);
    EXPECT_EQ(a.parent_path().filename(), "taktomat");
    // A folder by another spelling (a link to it) has the same second place.
    const testing::TempFolder folder;
    fs::create_directories(folder / "real");
    fs::create_directory_symlink(folder / "real", folder / "link");
    EXPECT_EQ(UnsavedLogPath(folder / "link" / "raport.txt"),
              UnsavedLogPath(folder / "real" / "raport.txt"));
    // Without HOME, never the shared /tmp; a second place in a folder others may write is refused.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::unsetenv("HOME");
    const fs::path homeless = UnsavedLogPath("/home/u/taktomat/raport.txt");
    if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
    EXPECT_NE(homeless.string().rfind("/tmp", 0), 0u) << homeless;
    fs::create_directories(folder / "shared");
    fs::permissions(folder / "shared", fs::perms::all);
    JournalFile journal;
    EXPECT_FALSE(journal.Open(folder / "shared" / "raport-unsaved.txt"));
#else
    EXPECT_EQ(UnsavedLogPath("C:/TMP/raport.txt"), UnsavedLogPath("c:/tmp/raport.txt"));
#endif
}

}  // namespace
}  // namespace tt
