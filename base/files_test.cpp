#include "base/files.h"

#include <gtest/gtest.h>

#include "base/test_temp_folder.h"

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

}  // namespace
}  // namespace tt
