#include "tools/report/money.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

Money M(std::string_view text, char sep = ',') {
    const std::optional<Money> m = Money::Parse(text, sep);
    EXPECT_TRUE(m.has_value()) << text;
    return m.value_or(Money{});
}

TEST(Money, AThousandCostsOf29GroschenAreExactly290) {
    Money sum;
    double binary = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(sum.Add(M("0,29")));
        binary += 0.29;
    }
    EXPECT_NE(binary, 290.0);  // the trap the decimal sum avoids
    EXPECT_EQ(sum.Fixed2(','), "290,00");
    EXPECT_EQ(sum.Exact('.'), "290");
    EXPECT_EQ(sum, Money::FromCents(29000));
}

TEST(Money, ReadsEveryFormTheLogWrites) {
    EXPECT_EQ(M("1,45").Exact('.'), "1.45");
    EXPECT_EQ(M("12").Exact('.'), "12");
    EXPECT_EQ(M("0").Exact('.'), "0");
    EXPECT_EQ(M(" -0,5 ").Exact('.'), "-0.5");
    EXPECT_EQ(M("1,5E-5").Exact('.'), "0.000015");
    EXPECT_EQ(M("1,2E3").Exact('.'), "1200");
    EXPECT_EQ(M("123456789012345").Exact('.'), "123456789012345");
    EXPECT_EQ(M("0,123456789012345").Exact(','), "0,123456789012345");
    EXPECT_EQ(M(",5").Exact('.'), "0.5");
    EXPECT_EQ(M("1.45", '.').Exact(','), "1,45");
}

TEST(Money, RefusesWhatIsNoNumberOrTooLarge) {
    for (const char* bad :
         {"", "-", ",", "1.45", "1,4,5", "1e", "abc", "1,45 zł", "1E16", "1234567890123456"}) {
        EXPECT_FALSE(Money::Parse(bad, ',').has_value()) << bad;
    }
    EXPECT_TRUE(Money::Parse("0E99999", ',').has_value());
    EXPECT_EQ(M("5E-400").Exact('.'), "0");
}

TEST(Money, RoundsToHundredthsHalfAwayFromZero) {
    EXPECT_EQ(M("2,675").Fixed2(','), "2,68");  // 2.67499... as a double
    EXPECT_EQ(M("0,005").Cents(), 1);
    EXPECT_EQ(M("-0,005").Cents(), -1);
    EXPECT_EQ(M("0,0049").Cents(), 0);
    EXPECT_EQ(M("-1,999").Fixed2('.'), "-2.00");
}

TEST(Money, SumsAcrossZeroAndStopsBeforeOverflow) {
    Money m = M("1,45");
    ASSERT_TRUE(m.Add(M("-2,5")));
    EXPECT_EQ(m.Exact('.'), "-1.05");
    EXPECT_EQ(m.Fixed2(','), "-1,05");
    ASSERT_TRUE(m.Add(M("1,05")));
    EXPECT_EQ(m.Exact('.'), "0");
    EXPECT_FALSE(m.IsNegative());

    Money big = M("999999999999999");
    int added = 0;
    while (big.Add(M("999999999999999"))) ++added;
    EXPECT_EQ(added, 9222);  // int64 holds 9.22e18 whole units
    const Money before = big;
    EXPECT_FALSE(big.Add(M("999999999999999")));
    EXPECT_EQ(big, before);
    // Far beyond hundredths in 64 bits, still written out whole.
    EXPECT_EQ(big.Fixed2(','), "9222999999999990777,00");
    EXPECT_EQ(big.Cents(), INT64_MAX);
    EXPECT_EQ(M("-0,001").Fixed2(','), "0,00");
}

TEST(Money, DivideRoundedRoundsHalvesOutwards) {
    EXPECT_EQ(DivideRounded(7, 2), 4);
    EXPECT_EQ(DivideRounded(-7, 2), -4);
    EXPECT_EQ(DivideRounded(10, 3), 3);
    EXPECT_EQ(DivideRounded(11, 3), 4);
}

}  // namespace
}  // namespace tt
