#include "base/format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace tt {
namespace {

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');
const FormatSettings kUs = MakeFormatSettings("m/d/yy", "h:nn:ss AM/PM", '.');

TEST(Format, SeparatorsComeFromThePatterns) {
    const FormatSettings de = MakeFormatSettings("dd.mm.yyyy", "hh.nn.ss", ',');
    EXPECT_EQ(de.DateSeparator, '.');
    EXPECT_EQ(de.TimeSeparator, '.');
    EXPECT_EQ(kUs.DateSeparator, '/');
    EXPECT_EQ(kPolish.DateSeparator, '-');
}

TEST(Format, DatesAndTimesByPattern) {
    const TDateTime v = EncodeDate(2000, 12, 31) + EncodeTime(13, 5, 9);
    EXPECT_EQ(DateToStr(v, kPolish), "2000-12-31");
    EXPECT_EQ(TimeToStr(v, kPolish), "13:05:09");  // mm right after hh is minutes
    EXPECT_EQ(DateToStr(EncodeDate(2009, 3, 4), kUs), "3/4/09");
    EXPECT_EQ(TimeToStr(v, kUs), "1:05:09 PM");
    EXPECT_EQ(TimeToStr(EncodeTime(0, 0, 7), kUs), "12:00:07 AM");
    EXPECT_EQ(FormatDateTime("d'.'m 'hh' yyyy", v, kPolish), "31.12 hh 2000");
    // Durations keep only the time within one day.
    EXPECT_EQ(TimeToStr(1.0 + EncodeTime(0, 0, 5), kPolish), "00:00:05");
}

TEST(Format, DurationsAreHoursMinutesSecondsInEveryLocale) {
    const FormatSettings fi = MakeFormatSettings("d.m.yyyy", "h.nn.ss", ',');
    const FormatSettings quoted = MakeFormatSettings("yyyy-mm-dd", "hh' h 'nn", ',');
    FormatSettings dots = MakeFormatSettings("yyyy-mm-dd", "h:mm:ss", ',');
    dots.TimeSeparator = '.';
    const struct {
        const FormatSettings& fs;
        int seconds;
        const char* text;
    } cases[] = {
        {kPolish, 600, "00:10:00"}, {kPolish, 86400 + 5, "00:00:05"},
        {kUs, 600, "00:10:00"},     {kUs, 13 * 3600 + 5, "13:00:05"},
        {fi, 600, "0.10.00"},       {quoted, 3600 + 120 + 3, "01:02:03"},
        {dots, 600, "0.10.00"},     {dots, 86400 + 11 * 3600 + 59, "11.00.59"},
    };
    for (const auto& c : cases) {
        const TDateTime d = static_cast<double>(c.seconds) / kSecondsPerDay;
        EXPECT_EQ(DurationToStr(d, c.fs), c.text) << c.fs.LongTimeFormat;
        TDateTime back = -1;
        EXPECT_TRUE(TryStrToTime(c.text, c.fs, back)) << c.text;
        EXPECT_EQ(SecondOfDay(back), c.seconds % kSecondsPerDay) << c.text;
    }
    // What the log held before still reads as the same ten minutes.
    TDateTime old = -1;
    ASSERT_TRUE(TryStrToTime("12:10:00 AM", kUs, old));
    EXPECT_EQ(SecondOfDay(old), 600);
}

TEST(Format, TimeTextRoundTripsAndRejectsGarbage) {
    TDateTime t = -1;
    ASSERT_TRUE(TryStrToTime(" 08:00:00 ", kPolish, t));
    EXPECT_EQ(SecondOfDay(t), 8 * 3600);
    ASSERT_TRUE(TryStrToTime("8:30", kPolish, t));
    EXPECT_EQ(SecondOfDay(t), 8 * 3600 + 1800);
    ASSERT_TRUE(TryStrToTime("1:05:09 PM", kUs, t));
    EXPECT_EQ(SecondOfDay(t), 13 * 3600 + 5 * 60 + 9);
    ASSERT_TRUE(TryStrToTime("12:00:00 am", kUs, t));
    EXPECT_EQ(SecondOfDay(t), 0);
    for (int s = 0; s < kSecondsPerDay; s += 59) {
        const TDateTime v = static_cast<double>(s) / kSecondsPerDay;
        ASSERT_TRUE(TryStrToTime(TimeToStr(v, kUs), kUs, t));
        ASSERT_EQ(SecondOfDay(t), s);
    }
    t = 0.25;
    for (const char* bad : {"", "24:00:00", "08:60:00", "08:00:60", "08", "08:00:", "08:00:00:00",
                            "x8:00:00", "08.00.00", "123:00:00", "-1:00:00"}) {
        EXPECT_FALSE(TryStrToTime(bad, kPolish, t)) << bad;
    }
    EXPECT_FALSE(TryStrToTime("13:00:00 PM", kUs, t));
    EXPECT_FALSE(TryStrToTime("0:00:00 AM", kUs, t));
    EXPECT_EQ(t, 0.25);
}

TEST(Format, DateTextFollowsPatternOrderAndIsStrict) {
    DateParts d;
    ASSERT_TRUE(TryParseDate("2000-12-31", kPolish, d));
    EXPECT_EQ(d, (DateParts{2000, 12, 31}));
    ASSERT_TRUE(TryParseDate("3/4/09", kUs, d));
    EXPECT_EQ(d, (DateParts{2009, 3, 4}));
    ASSERT_TRUE(TryParseDate("12/31/75", kUs, d));
    EXPECT_EQ(d.Year, 1975);
    const FormatSettings de = MakeFormatSettings("dd.mm.yyyy", "hh:nn:ss", ',');
    ASSERT_TRUE(TryParseDate("29.02.2000", de, d));
    EXPECT_EQ(d, (DateParts{2000, 2, 29}));
    for (const char* bad : {"29.02.2001", "31.04.2000", "00.01.2000", "01.13.2000", "01.01",
                            "01.01.2000x", "01-01-2000", "1.1.20000", "", "..", "\xff.01.2000"}) {
        EXPECT_FALSE(TryParseDate(bad, de, d)) << bad;
    }
}

TEST(Format, PatternsWithLiteralTextReadBack) {
    const FormatSettings fs = MakeFormatSettings("yyyy'年'm'月'd'日'", "h'h'nn", '.');
    const TDateTime v = EncodeDate(2001, 3, 4) + EncodeTime(8, 5, 0);
    EXPECT_EQ(DateToStr(v, fs), "2001年3月4日");
    EXPECT_EQ(TimeToStr(v, fs), "8h05");
    DateParts d;
    ASSERT_TRUE(TryParseDate("2001年3月4日", fs, d));
    EXPECT_EQ(d, (DateParts{2001, 3, 4}));
    EXPECT_FALSE(TryParseDate("2001年3月4", fs, d));
    TDateTime t = 0;
    ASSERT_TRUE(TryStrToTime("8h05", fs, t));
    EXPECT_EQ(SecondOfDay(t), 8 * 3600 + 5 * 60);
    EXPECT_FALSE(TryStrToTime("8h65", fs, t));
}

TEST(Format, GeneralNumberText) {
    EXPECT_EQ(FloatToStr(3 * 0.29L, kPolish), "0,87");
    EXPECT_EQ(FloatToStr(4 * 0.29L + 2 * 0.10L, kPolish), "1,36");
    EXPECT_EQ(FloatToStr(0, kPolish), "0");
    EXPECT_EQ(FloatToStr(-0.0L, kPolish), "0");
    EXPECT_EQ(FloatToStr(12, kPolish), "12");
    EXPECT_EQ(FloatToStr(-1.5L, kUs), "-1.5");
    EXPECT_EQ(FloatToStr(0.00001L, kPolish), "0,00001");
    EXPECT_EQ(FloatToStr(0.000001L, kPolish), "1E-6");
    EXPECT_EQ(FloatToStr(123456789012345.0L, kPolish), "123456789012345");
    EXPECT_EQ(FloatToStr(1234567890123456.0L, kPolish), "1,23456789012346E15");
    EXPECT_EQ(FloatToStr(1.0L / 3, kPolish), "0,333333333333333");
}

TEST(Format, PlainNumberTextHasNoExponent) {
    const struct {
        long double value;
        const char* text;
    } cases[] = {
        {4 * 0.29L + 2 * 0.10L, "1,36"},
        {0.000001L, "0,000001"},
        {-0.0000001234L, "-0,0000001234"},
        {1e-20L, "0"},
        {2147483647 * 1000.0L, "2147483647000"},
        {6e20L, "600000000000000000000"},
        {std::numeric_limits<long double>::infinity(), "0"},
        {std::numeric_limits<long double>::quiet_NaN(), "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToPlainStr(c.value, kPolish), c.text);
}

TEST(Format, NumberTextNeedsTheLocaleSeparator) {
    long double v = 7;
    ASSERT_TRUE(TryStrToFloat("0,29", kPolish, v));
    EXPECT_EQ(FloatToStr(v, kPolish), "0,29");
    ASSERT_TRUE(TryStrToFloat(" -1,5e2 ", kPolish, v));
    EXPECT_EQ(v, -150);
    ASSERT_TRUE(TryStrToFloat("5", kPolish, v));
    ASSERT_TRUE(TryStrToFloat(",5", kPolish, v));
    EXPECT_EQ(v, 0.5L);
    v = 7;
    for (const char* bad :
         {"0.29", "", ",", "1,2,3", "1 000", "1e", "abc", "1,5zł", "--1", "1e99999"}) {
        EXPECT_FALSE(TryStrToFloat(bad, kPolish, v)) << bad;
    }
    EXPECT_EQ(v, 7);
}

TEST(Format, IntegersWithTheHexRule) {
    int32_t v = 0;
    ASSERT_TRUE(TryStrToInt("0x3C", v));
    EXPECT_EQ(v, 60);
    ASSERT_TRUE(TryStrToInt("0XfF", v));
    EXPECT_EQ(v, 255);
    ASSERT_TRUE(TryStrToInt("0xFFFFFFFF", v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    ASSERT_TRUE(TryStrToInt("+45", v));
    EXPECT_EQ(v, 45);
    v = 9;
    for (const char* bad :
         {"abc", "", "0x", "0x1FFFFFFFF", "2147483648", "12a", "-", "0x-1", "$10"}) {
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    }
    EXPECT_EQ(v, 9);
    EXPECT_FALSE(TryDecimalToInt("0x10", v));
    EXPECT_EQ(IntToStr(-42), "-42");
}

TEST(Format, StrftimeFormatsBecomePatterns) {
    EXPECT_EQ(PatternFromStrftime("%d.%m.%Y"), "dd.mm.yyyy");
    EXPECT_EQ(PatternFromStrftime("%m/%d/%y"), "mm/dd/yy");
    EXPECT_EQ(PatternFromStrftime("%T"), "hh:nn:ss");
    EXPECT_EQ(PatternFromStrftime("%I:%M:%S %p"), "hh:nn:ss ampm");
    EXPECT_EQ(PatternFromStrftime("%Y年%m月"), "yyyy年mm月");
    const FormatSettings fs = MakeFormatSettings(PatternFromStrftime("%d de %m"), "hh:nn", ',');
    EXPECT_EQ(DateToStr(EncodeDate(2001, 2, 3), fs), "03 de 02");
}

#ifndef _WIN32
// Windows takes the user's settings from the locale info, which a test cannot set.
TEST(Format, UserSettingsFollowTheCLibraryLocale) {
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "C", 1);
    const FormatSettings fs = UserFormatSettings();
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_EQ(fs.ShortDateFormat, "mm/dd/yy");
    EXPECT_EQ(fs.LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(fs.DateSeparator, '/');
    EXPECT_EQ(fs.TimeSeparator, ':');
    EXPECT_EQ(fs.DecimalSeparator, '.');
}
#endif

}  // namespace
}  // namespace tt
