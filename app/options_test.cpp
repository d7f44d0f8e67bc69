#include "app/options.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/autostart.h"
#include "app/wayland.h"
#include "base/error.h"

namespace tt {
namespace {

TEST(Options, EveryOptionTogether) {
    ParsedOptions parsed = ParseOptions({"--simulate", "--dir", "/tmp/a b", "--locale",
                                         "dd.mm.yyyy", "hh:nn:ss", ",", "--version"});
    ASSERT_TRUE(parsed.Ok()) << parsed.Error;
    EXPECT_EQ(parsed.Options.Dir, "/tmp/a b");
    EXPECT_TRUE(parsed.Options.Simulate);
    EXPECT_TRUE(parsed.Options.Version);
    EXPECT_FALSE(parsed.Options.Help);
    ASSERT_TRUE(parsed.Options.Format.has_value());
    EXPECT_EQ(parsed.Options.Format->ShortDateFormat, "dd.mm.yyyy");
    EXPECT_EQ(parsed.Options.Format->DateSeparator, '.');
    EXPECT_EQ(parsed.Options.Format->DecimalSeparator, ',');
}

TEST(Options, AutostartTakesOnOrOffAndNothingElse) {
    EXPECT_EQ(ParseOptions({"--autostart", "on"}).Options.Autostart, true);
    EXPECT_EQ(ParseOptions({"--autostart=off"}).Options.Autostart, false);
    EXPECT_FALSE(ParseOptions({"--dir", "x"}).Options.Autostart.has_value());
    EXPECT_EQ(ParseOptions({"--autostart"}).Error, "--autostart needs on or off");
    EXPECT_EQ(ParseOptions({"--autostart", "yes"}).Error, "--autostart needs on or off, not: yes");
    EXPECT_FALSE(ParseOptions({"--autostart="}).Ok());
}

TEST(Session, WaylandWithXGoesThroughXUnlessThePlatformWasChosen) {
    EXPECT_TRUE(ShouldUseXWayland("wayland-0", ":0", nullptr));
    EXPECT_TRUE(ShouldUseXWayland("wayland-0", ":0", ""));
    EXPECT_FALSE(ShouldUseXWayland("wayland-0", nullptr, nullptr));  // no X: Wayland it is
    EXPECT_FALSE(ShouldUseXWayland("wayland-0", "", nullptr));
    EXPECT_FALSE(ShouldUseXWayland("wayland-0", ":0", "wayland"));  // the user's choice
    EXPECT_FALSE(ShouldUseXWayland(nullptr, ":0", nullptr));        // plain X
}

TEST(Options, NothingGivenKeepsTheUsersSettings) {
    ParsedOptions parsed = ParseOptions(std::vector<std::string>{});
    ASSERT_TRUE(parsed.Ok());
    EXPECT_TRUE(parsed.Options.Dir.empty());
    EXPECT_FALSE(parsed.Options.Format.has_value());
    EXPECT_FALSE(parsed.Options.Simulate);
}

TEST(Options, MistakesAreNamed) {
    EXPECT_NE(ParseOptions({"--dir"}).Error.find("--dir"), std::string::npos);
    EXPECT_NE(ParseOptions({"--dir="}).Error.find("--dir"), std::string::npos);
    EXPECT_NE(ParseOptions({"--locale", "dd.mm.yyyy", "hh:nn"}).Error.find("--locale"),
              std::string::npos);
    EXPECT_NE(ParseOptions({"--frobnicate"}).Error.find("--frobnicate"), std::string::npos);
    // A value that would be swallowed as a separator must be refused, not half-used.
    EXPECT_FALSE(ParseOptions({"--locale", "dd.mm.yyyy", "hh:nn:ss", "ab"}).Ok());
    EXPECT_FALSE(ParseOptions({"--locale", "dd.mm.yyyy", "hh:nn:ss", "\xC2\xB7"}).Ok());
    EXPECT_FALSE(ParseOptions({"--locale", "dd.mm.yyyy", "hh:nn:ss", "5"}).Ok());
}

// A TAB in a pattern or the separator would split a record's fields; a pattern that writes what
// cannot be read back would leave the totals blind.
TEST(Options, LocaleThatWouldCorruptTheLogIsRefused) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--locale", "dd.mm.yyyy", "hh:nn:ss", "\t"},
             {"--locale", "dd\tmm\tyyyy", "hh:nn:ss", ","},
             {"--locale", "dd.mm.yyyy", "hh:nn\nss", ","},
             {"--locale", "dd.mm.yyyy\x7F", "hh:nn:ss", ","},
             {"--locale", "dd", "hh:nn:ss", ","},
             {"--locale", "dd.mm.yyyy", "ss", ","},
         }) {
        const ParsedOptions parsed = ParseOptions(args);
        EXPECT_FALSE(parsed.Ok()) << args[1] << " " << args[2] << " " << args[3];
        EXPECT_NE(parsed.Error.find("--locale"), std::string::npos);
    }
    EXPECT_TRUE(ParseOptions({"--locale", "d/m/yy", "h:nn", "."}).Ok());
    EXPECT_TRUE(ParseOptions({"--locale", "yyyy-mm-dd", "hh:nn:ss", ","}).Ok());
}

TEST(Options, ArgvSkipsTheProgramName) {
    const char* argv[] = {"taktomat", "--dir=/x", "--help"};
    ParsedOptions parsed = ParseOptions(3, argv);
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(parsed.Options.Dir, "/x");
    EXPECT_TRUE(parsed.Options.Help);
    EXPECT_NE(UsageText("taktomat").find("--simulate"), std::string::npos);
}

#ifndef _WIN32
TEST(Options, TheBoxsHelpKeepsEveryWordWholeInShortLines) {
    const auto words = [](const std::string& text) {
        std::multiset<std::string> all;
        std::istringstream in(text);
        for (std::string word; in >> word;) all.insert(word);
        return all;
    };
    const std::string box = UsageTextForBox("taktomat.exe", 40);
    EXPECT_EQ(words(box), words(UsageText("taktomat.exe")));
    std::istringstream lines(box);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 44u) << line;
    // Each option heads its own line, its text below it.
    EXPECT_NE(box.find("\n--autostart on|off\n    start with the desktop session from now\n"),
              std::string::npos)
        << box;
}

TEST(Autostart, EntryStartsTheProgramWithItsArgumentsQuotedAsDesktopFilesWantThem) {
    EXPECT_EQ(DesktopExecLine({"/usr/bin/taktomat"}), "/usr/bin/taktomat");
    EXPECT_EQ(DesktopExecLine({"/opt/t t/taktomat", "--dir", "/home/a/Mój 100%"}),
              "\"/opt/t t/taktomat\" --dir \"/home/a/Mój 100%%\"");
    // Quotes, dollars and backslashes are escaped inside the quotes, and the backslash of
    // that escape once more for the file.
    EXPECT_EQ(DesktopExecLine({"/a\"b$c"}), "\"/a\\\\\"b\\\\$c\"");
    const std::string entry = AutostartEntry({"/usr/bin/taktomat"});
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(entry.find("\nExec=/usr/bin/taktomat\n"), std::string::npos);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
}

TEST(Autostart, OnWritesTheEntryOffRemovesItAndBothMayBeRepeated) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("taktomat_autostart_" + std::to_string(::getpid())) / "autostart";
    std::filesystem::remove_all(folder.parent_path());
    const auto file = folder / "taktomat.desktop";
    SetAutostart(folder, false, {});  // nothing there: no error
    SetAutostart(folder, true, {"/usr/bin/taktomat"});
    SetAutostart(folder, true, {"/usr/bin/taktomat", "--dir", "/x"});
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), AutostartEntry({"/usr/bin/taktomat", "--dir", "/x"}));
    SetAutostart(folder, false, {});
    EXPECT_FALSE(std::filesystem::exists(file));
    // A file where the folder should be: the error names the entry.
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "x";
    try {
        SetAutostart(folder, true, {"/usr/bin/taktomat"});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(folder.parent_path());
}

TEST(Autostart, FolderFollowsXdgConfigHomeElseHome) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = oldConfig ? oldConfig : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(XdgAutostartFolder(), std::filesystem::path("/cfg/autostart"));
    setenv("XDG_CONFIG_HOME", "relative", 1);  // invalid: ignored
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(XdgAutostartFolder(), std::filesystem::path(home) / ".config" / "autostart");
    }
    if (oldConfig) {
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

#endif

}  // namespace
}  // namespace tt
