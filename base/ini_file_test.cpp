#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "base/error.h"
#include "base/files.h"
#include "testing/test_temp_folder.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

using testing::TempFolder;

std::string Read(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view def = "def") {
    return ReadIniValue(text, section, key, def);
}

TEST(IniText, LookupRules) {
    const std::string text =
        "; comment\r\n[opcje]\r\n  impuls1 =  45  \r\nIMPULS1=99\n[Max]\rMAXIMP_P=\r\n"
        "[OPCJE]\r\nCENA1=1\r\n";
    EXPECT_EQ(FindIniValue(text, "OPCJE", "IMPULS1"), "45");  // first match, trimmed, any case
    EXPECT_EQ(FindIniValue(text, "MAX", "maximp_p"), "");     // present but empty
    EXPECT_EQ(FindIniValue(text, "MAX", "OODL"), std::nullopt);
    // Only the first section of a name is looked at.
    EXPECT_EQ(FindIniValue(text, "OPCJE", "CENA1"), std::nullopt);
    // Keys before the first header belong to no section.
    EXPECT_EQ(FindIniValue("IMPULS1=5\r\n", "OPCJE", "IMPULS1"), std::nullopt);
    EXPECT_EQ(FindIniValue("K=5\r\n[]\r\nK=6\r\n", "", "K"), "6");
    // Only ASCII letters fold: "Ł" and "ł" are different names.
    EXPECT_EQ(FindIniValue("[\xC5\x81]\r\nk=1\r\n", "\xC5\x82", "k"), std::nullopt);
}

TEST(IniText, CutAtTheBufferSize) {
    const std::string longValue(5000, 'x');
    EXPECT_EQ(Read("[S]\r\nK=" + longValue, "S", "K").size(), 1023u);
    EXPECT_EQ(Read("[S]\r\n", "S", "K", longValue).size(), 1023u);
    // The cut counts characters and never splits one ("ł" is two bytes in UTF-8).
    std::string polish(1022, 'a');
    polish += "łłł";
    EXPECT_EQ(Read("[S]\r\nK=" + polish, "S", "K"), std::string(1022, 'a') + "ł");
}

TEST(IniText, EnclosingQuotesAreRemoved) {
    const std::string text =
        "[OPCJE]\r\nIMPULS1=\"45\"\r\nIMPULS2='60'\r\nIMPULS3=\"30'\r\nA=\"\r\nB=\"\"\r\n"
        "C=\" x \"\r\n";
    EXPECT_EQ(Read(text, "OPCJE", "IMPULS1"), "45");
    EXPECT_EQ(Read(text, "OPCJE", "IMPULS2"), "60");
    EXPECT_EQ(Read(text, "OPCJE", "IMPULS3"), "\"30'");  // not a pair
    EXPECT_EQ(Read(text, "OPCJE", "A"), "\"");           // one quote is no pair
    EXPECT_EQ(Read(text, "OPCJE", "B"), "");
    EXPECT_EQ(Read(text, "OPCJE", "C"), " x ");                   // what lies inside stays as it is
    EXPECT_EQ(FindIniValue(text, "OPCJE", "IMPULS1"), "\"45\"");  // the file keeps them
    // The default loses them too, and its trailing spaces, but not its leading ones.
    EXPECT_EQ(Read(text, "OPCJE", "MISSING", "'180'"), "180");
    EXPECT_EQ(Read(text, "OPCJE", "MISSING", "  one two  "), "  one two");
    EXPECT_EQ(Read(text, "OPCJE", "MISSING", "x\t"), "x\t");
    EXPECT_EQ(Read(text, "OPCJE", "MISSING", "   "), " ");
    // A quoted value longer than the buffer keeps its opening quote's place empty...
    EXPECT_EQ(Read("[S]\r\nK=\"" + std::string(2000, 'x') + "\"", "S", "K"),
              std::string(1023, 'x'));
    // ...and one that just fills it loses its last character with the quote that did not fit.
    EXPECT_EQ(Read("[S]\r\nK=\"" + std::string(1023, 'x') + "\"", "S", "K"),
              std::string(1022, 'x'));
}

TEST(IniText, HeadersEndAtTheLastBracket) {
    const std::string text = "[A]\r\n[B\r\nk=1\r\n[ C ] junk\r\nk=2\r\n[D]E]\r\nk=3\r\n[F=5\r\n";
    // "[B" is no header: its key "k" still lies in section A.
    EXPECT_EQ(Read(text, "A", "k"), "1");
    EXPECT_EQ(Read(text, "B", "k"), "def");
    EXPECT_EQ(Read(text, "C", "k"), "2");
    EXPECT_EQ(Read(text, "D]E", "k"), "3");
    EXPECT_EQ(Read(text, "D]E", "[F"), "5");
}

TEST(IniText, LineWithoutEqualsNamesAKeyWithoutValue) {
    const std::string text = "[S]\r\nk\r\nk=1\r\n";
    EXPECT_EQ(Read(text, "S", "k"), "def");
    // A write completes that line instead of adding a second key.
    EXPECT_EQ(SetIniValue(text, "S", "K", "2"), "[S]\r\nk=2\r\nk=1\r\n");
}

TEST(IniText, NulEndsTheText) {
    const std::string text = std::string("[S\0x]\r\nk\0junk=1\r\na=4\0 5\r\nb=6 \0\r\n", 32);
    EXPECT_EQ(Read(text, "S", "k"), "1");
    EXPECT_EQ(Read(text, "S", "a"), "4");
    EXPECT_EQ(Read(text, "S", "b"), "6 ");  // the blanks before the NUL are part of the value
}

TEST(IniText, TrimsOnlyTheSystemsBlanks) {
    const std::string text = "[S]\r\n\t\v\f k \x1a= \t1\x1a \r\n\x01u=\x02\x1f\r\n";
    EXPECT_EQ(Read(text, "S", "k"), "1");
    EXPECT_EQ(Read(text, "S", "\x01u"), "\x02\x1f");
    EXPECT_EQ(Read(text, "S", "u"), "def");
    // Names in the call are trimmed the same way.
    EXPECT_EQ(Read(text, " \tS ", "  k\t"), "1");
}

TEST(IniText, WritesInPlaceOrAppends) {
    EXPECT_EQ(SetIniValue("", "OPCJE", "IMPULS1", "45"), "[OPCJE]\r\nIMPULS1=45\r\n");
    const std::string text = "[OPCJE]\nimpuls1 = 1\nCENA1=0,29\n\n[MAX]\r\nOODL=20\r\n";
    // The file's spelling of a key stays.
    EXPECT_EQ(SetIniValue(text, "opcje", "IMPULS1", "45"),
              "[OPCJE]\r\nimpuls1=45\r\nCENA1=0,29\r\n\r\n[MAX]\r\nOODL=20\r\n");
    EXPECT_EQ(SetIniValue(text, "OPCJE", "PULPIT", "1"),
              "[OPCJE]\r\nimpuls1 = 1\r\nCENA1=0,29\r\nPULPIT=1\r\n\r\n[MAX]\r\nOODL=20\r\n");
    // A new section follows the last line directly, as on Windows.
    EXPECT_EQ(SetIniValue(text, "OKNO", "H", "80"),
              "[OPCJE]\r\nimpuls1 = 1\r\nCENA1=0,29\r\n\r\n[MAX]\r\nOODL=20\r\n[OKNO]\r\nH=80\r\n");
    EXPECT_EQ(SetIniValue("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    // The value loses its leading blanks, like on the system.
    EXPECT_EQ(SetIniValue("", "S", "K", " \t 5 "), "[S]\r\nK=5 \r\n");
    // A value cannot smuggle in a line of its own.
    const std::string injected = *SetIniValue("", "S", "K", "1\r\n[MAX]\r\nOODL=0");
    EXPECT_EQ(FindIniValue(injected, "MAX", "OODL"), std::nullopt);
    EXPECT_EQ(FindIniValue(injected, "S", "K"), "1  [MAX]  OODL=0");
}

TEST(IniText, UnchangedValueLeavesTheTextAlone) {
    const std::string text = "[S]\r\n  k =  5\r\nq=\"7\"\r\n";
    EXPECT_EQ(SetIniValue(text, "s", "K", "5"), std::nullopt);
    EXPECT_EQ(SetIniValue(text, "s", "K", "  5"), std::nullopt);
    // The stored value is compared as stored: quotes and case count.
    EXPECT_EQ(SetIniValue(text, "S", "q", "7"), "[S]\r\n  k =  5\r\nq=7\r\n");
    EXPECT_EQ(SetIniValue(text, "S", "k", "5 "), "[S]\r\nk=5 \r\nq=\"7\"\r\n");
    // Written a second time, a value with blanks at its end (a line break becomes one) finds
    // its own line already there.
    const std::string once = *SetIniValue(text, "S", "k", "6\n");
    EXPECT_EQ(once, "[S]\r\nk=6 \r\nq=\"7\"\r\n");
    EXPECT_EQ(SetIniValue(once, "S", "k", "6\n"), std::nullopt);
    EXPECT_EQ(SetIniValue(once, "S", "k", "6 "), std::nullopt);
}

TEST(IniBytes, ByteOrderMarksAreReadAndKept) {
    const std::string utf8 = "\xEF\xBB\xBF[OPCJE]\r\nIMPULS1=45\r\nN=\xC5\x81\r\n";
    EXPECT_EQ(ReadIniBytes(utf8, "OPCJE", "IMPULS1", "180"), "45");
    EXPECT_EQ(ReadIniBytes(utf8, "OPCJE", "N", ""), "\xC5\x81");
    // The write goes into the section the mark hid before, and the mark stays.
    EXPECT_EQ(WriteIniBytes(utf8, "OPCJE", "IMPULS1", "60"),
              "\xEF\xBB\xBF[OPCJE]\r\nIMPULS1=60\r\nN=\xC5\x81\r\n");
    EXPECT_EQ(WriteIniBytes(utf8, "OPCJE", "IMPULS1", "45"), std::nullopt);

    const std::string le("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x41\x01", 18);  // "[S]\r\nk=Ł"
    EXPECT_EQ(ReadIniBytes(le, "S", "k", ""), "\xC5\x81");
    EXPECT_EQ(WriteIniBytes(le, "S", "k", "1"), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0"
                                                            "1\0\r\0\n\0",
                                                            22));
    const std::string be("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\x01\x41", 18);
    EXPECT_EQ(ReadIniBytes(be, "S", "k", ""), "\xC5\x81");
    EXPECT_EQ(WriteIniBytes(be, "S", "x", "\xF0\x9F\x98\x80"),  // a pair of surrogates
              std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\x01\x41\0\r\0\n"
                          "\0x\0=\xD8\x3D\xDE\x00\0\r\0\n",
                          34));
    EXPECT_EQ(DecodeIniFile(std::string("\xFF\xFE\x00\xD8z\0", 6)).Text, "\xEF\xBF\xBDz");
    // A missing file is written in the system's plain text.
    EXPECT_EQ(WriteIniBytes(std::nullopt, "S", "k", "1"), TextToDisk("[S]\r\nk=1\r\n"));
}

TEST(IniFile, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    TempFolder dir;
    IniFile ini(dir / "taktomat.ini");
    EXPECT_EQ(ini.ReadString("OPCJE", "CENA1", "0,29"), "0,29");
    ini.WriteString("OPCJE", "CENA1", "0,35");
    ini.WriteString("MAX", "OODL", "25");
    ini.WriteString("OPCJE", "cena1", "0,40");
    EXPECT_EQ(ReadWholeFile(dir / "taktomat.ini"), "[OPCJE]\r\nCENA1=0,40\r\n[MAX]\r\nOODL=25\r\n");
    EXPECT_EQ(IniFile(dir / "taktomat.ini").ReadString("max", "oodl", "x"), "25");
    EXPECT_EQ(IniFile(dir / "taktomat.ini").ReadString("opcje", "CENA1", "x"), "0,40");
}

TEST(IniFile, UnchangedWriteLeavesTheFileUntouched) {
    TempFolder dir;
    const fs::path file = dir / "taktomat.ini";
    IniFile ini(file);
    ini.WriteString("OPCJE", "IMPULS1", "45");
    const auto old = fs::last_write_time(file) - std::chrono::hours(24);
    fs::last_write_time(file, old);
    ini.WriteString("opcje", "impuls1", "45");
    EXPECT_EQ(fs::last_write_time(file), old);
    ini.WriteString("OPCJE", "IMPULS1", "46");
    EXPECT_NE(fs::last_write_time(file), old);
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
