#include "app/options.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tt
