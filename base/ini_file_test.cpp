#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "base/error.h"
#include "base/files.h"
#include "base/test_temp_folder.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

using testing::TempFolder;

TEST(IniText, LookupRules) {
    const std::string text =
        "; comment\r\n[opcje]\r\n  impuls1 =  45  \r\nIMPULS1=99\n[Max]\rMAXIMP_P=\r\n"
        "[OPCJE]\r\nCENA1=1\r\n";
    EXPECT_EQ(FindIniValue(text, "OPCJE", "IMPULS1"), "45");  // first match, trimmed, any case
    EXPECT_EQ(FindIniValue(text, "MAX", "maximp_p"), "");     // present but empty
    EXPECT_EQ(FindIniValue(text, "MAX", "OODL"), std::nullopt);
    // Only the first section of a name is looked at.
    EXPECT_EQ(FindIniValue(text, "OPCJE", "CENA1"), std::nullopt);
    EXPECT_EQ(FindIniValue("IMPULS1=5\r\n", "OPCJE", "IMPULS1"), std::nullopt);
    EXPECT_EQ(FindIniValue("[OPCJE\r\nA=1", "OPCJE", "A"), "1");
    const std::string longValue(5000, 'x');
    EXPECT_EQ(FindIniValue("[S]\r\nK=" + longValue, "S", "K")->size(), 1023u);
    // A cut never splits a UTF-8 character ("ł" is two bytes).
    std::string polish(1022, 'a');
    polish += "łłł";
    EXPECT_EQ(FindIniValue("[S]\r\nK=" + polish, "S", "K")->size(), 1022u);
}

TEST(IniText, WritesInPlaceOrAppends) {
    EXPECT_EQ(SetIniValue("", "OPCJE", "IMPULS1", "45"), "[OPCJE]\r\nIMPULS1=45\r\n");
    const std::string text = "[OPCJE]\nimpuls1 = 1\nCENA1=0,29\n\n[MAX]\r\nOODL=20\r\n";
    EXPECT_EQ(SetIniValue(text, "opcje", "IMPULS1", "45"),
              "[OPCJE]\r\nIMPULS1=45\r\nCENA1=0,29\r\n\r\n[MAX]\r\nOODL=20\r\n");
    EXPECT_EQ(SetIniValue(text, "OPCJE", "PULPIT", "1"),
              "[OPCJE]\r\nimpuls1 = 1\r\nCENA1=0,29\r\nPULPIT=1\r\n\r\n[MAX]\r\nOODL=20\r\n");
    EXPECT_EQ(
        SetIniValue(text, "OKNO", "H", "80"),
        "[OPCJE]\r\nimpuls1 = 1\r\nCENA1=0,29\r\n\r\n[MAX]\r\nOODL=20\r\n\r\n[OKNO]\r\nH=80\r\n");
    // A value cannot smuggle in a line of its own.
    const std::string injected = SetIniValue("", "S", "K", "1\r\n[MAX]\r\nOODL=0");
    EXPECT_EQ(FindIniValue(injected, "MAX", "OODL"), std::nullopt);
}

TEST(IniFile, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    TempFolder dir;
    IniFile ini(dir / "taktomat.ini");
    EXPECT_EQ(ini.ReadString("OPCJE", "CENA1", "0,29"), "0,29");
    ini.WriteString("OPCJE", "CENA1", "0,35");
    ini.WriteString("MAX", "OODL", "25");
    ini.WriteString("OPCJE", "cena1", "0,40");
#ifndef _WIN32
    // The layout is our own writer's; on Windows the system writes the file.
    EXPECT_EQ(ReadWholeFile(dir / "taktomat.ini"),
              "[OPCJE]\r\ncena1=0,40\r\n\r\n[MAX]\r\nOODL=25\r\n");
#endif
    EXPECT_EQ(IniFile(dir / "taktomat.ini").ReadString("max", "oodl", "x"), "25");
    EXPECT_EQ(IniFile(dir / "taktomat.ini").ReadString("opcje", "CENA1", "x"), "0,40");
}

TEST(IniFile, RefusedWriteNamesTheFullPath) {
    TempFolder dir;
    // A folder that does not exist refuses every write, also to root.
    const fs::path file = dir / "gone" / "taktomat.ini";
    IniFile ini(file);
    try {
        ini.WriteString("A", "B", "2");
        FAIL() << "the write should have been refused";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file.string());
    }
    EXPECT_EQ(ini.ReadString("A", "B", "def"), "def");
}

// The one pass that start-up makes finds what a look-up of each key would find.
TEST(IniFile, OnePassFindsWhatEachLookUpFinds) {
    const std::string text =
        "[opcje]\r\nImpuls1 = 45 \r\nIMPULS1=99\r\n[MAX]\r\nOODL=3\r\n[OPCJE]\r\nCENA1=1\r\n"
        "[max]\nMAXIMP_P=7\rnoequals\n[OKNO]\nH=" +
        std::string(2000, 'y') + "\n";
    std::set<std::string> wanted;
    const std::pair<const char*, const char*> keys[] = {{"OPCJE", "IMPULS1"}, {"OPCJE", "CENA1"},
                                                        {"MAX", "OODL"},      {"MAX", "MAXIMP_P"},
                                                        {"OKNO", "H"},        {"NONE", "X"}};
    for (const auto& [section, key] : keys) {
        std::string name = std::string(section) + "\n" + key;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        wanted.insert(name);
    }
    const auto found = CollectIniValues(text, wanted);
    for (const auto& [section, key] : keys) {
        std::string name = std::string(section) + "\n" + key;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto it = found.find(name);
        const std::optional<std::string> one =
            it == found.end() ? std::nullopt : std::optional<std::string>(it->second);
        EXPECT_EQ(one, FindIniValue(text, section, key)) << section << "/" << key;
    }
}

}  // namespace
}  // namespace tt
