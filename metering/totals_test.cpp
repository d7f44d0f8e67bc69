#include "metering/totals.h"

#include <gtest/gtest.h>

#include <random>

#include "base/files.h"
#include "testing/test_temp_folder.h"
#include "testing/totals_by_definition.h"

namespace tt {
namespace {

using namespace std::string_literals;

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

TEST(ComputeTotals, DayAndMonthCompareTheWholeDate) {
    const TLogLines lines = TLogLines::FromText(
        "2001-03-15\t00:10:00\t4\t1,16\t\r\n"    // today
        "2001-03-15\t00:10:00\t6\t\r\n"          // today, short line
        "2000-03-15\t00:10:00\t10\t2,9\t\r\n"    // this day a year earlier
        "2000-03-20\t00:10:00\t10\t2,9\t\r\n"    // this month a year earlier
        "2002-03-15\t00:10:00\t10\t2,9\t\r\n"    // a year later (a clock set back)
        "2001-02-15\t00:10:00\t100\t29\t\r\n"    // another month
        "2001-03-01\t00:10:00\t1000\t290\t\r\n"  // this month
        "2001-3-15\t00:10:00\t20000\t0\t\r\n");  // today, written another way
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15) + 0.75, kPolish);
    EXPECT_EQ(totals.DayPulses, 20010);
    EXPECT_EQ(totals.MonthPulses, 21010);
}

TEST(ComputeTotals, UnreadableLinesArePassedOverAndKept) {
    const std::string text =
        "\r\n"
        "garbage\r\n"
        "2001-03-15\t00:10:00\tfive\t1\t\r\n"
        "2001-03-15\t00:10:00\t0x10\t1\t\r\n"
        "2001-03-15\t00:10:00\t 5\t1\t\r\n"
        "2001-02-30\t00:10:00\t5\t1\t\r\n"
        "15.03.2001\t00:10:00\t5\t1\t\r\n"
        "\0\xff\t\t7\r\n"
        "2001-03-15\t00:10:00\t3\t\r\n"s +
        std::string(3 << 20, 'x') + "\r\n";
    const TLogLines lines = TLogLines::FromText(text);
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, 3);
    EXPECT_EQ(totals.MonthPulses, 3);
    EXPECT_EQ(lines.FileImage(), text);
}

TEST(ComputeTotals, SumsStopAtTheLargestCount) {
    const TLogLines lines = TLogLines::FromText(
        "2001-03-15\t\t2147483647\t\r\n2001-03-15\t\t2147483647\t\r\n2001-03-14\t\t-5\t\r\n");
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, INT32_MAX);
    EXPECT_EQ(totals.MonthPulses, INT32_MAX);
}

TEST(ComputeTotals, NoLinesNoPulses) {
    const TTotals totals = ComputeTotals(TLogLines{}, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, 0);
    EXPECT_EQ(totals.MonthPulses, 0);
}

TEST(ComputeTotals, LoadingAndCountingAgreeWithTheDefinition) {
    // Runs of one date broken by near misses of it: a longer or shorter date, one that differs
    // in its last byte only, no TAB after it, odd pulse fields. Short, usual and long date
    // patterns take different ways through the comparison.
    const FormatSettings formats[] = {
        kPolish, MakeFormatSettings("m/d/yy", "h:nn:ss AM/PM", '.'),
        MakeFormatSettings("'dnia' dd.mm.yyyy 'r.'", "hh:mm:ss", ',')};
    const char* pulseFields[] = {"4", "0", "-3", "+5", "007", "2147483648", "", "1 ", "x", "12\t9"};
    testing::TempFolder dir;
    std::mt19937 random(11);
    for (const FormatSettings& fs : formats) {
        const TDateTime today = EncodeDate(2001, 3, 15);
        std::vector<std::string> dates;
        for (const TDateTime d : {today, today - 1, today + 1, today - 365, EncodeDate(2001, 2, 15),
                                  EncodeDate(1999, 3, 31), EncodeDate(2001, 4, 15)}) {
            dates.push_back(DateToStr(d, fs));
        }
        const std::string todayText = dates[0];
        dates.push_back(todayText + "x");
        dates.push_back(todayText.substr(0, todayText.size() - 1));
        dates.push_back(todayText.substr(0, todayText.size() - 1) + "9");
        dates.push_back("");
        std::string text;
        for (int run = 0; run < 400; ++run) {
            const std::string& date = dates[random() % dates.size()];
            for (int k = static_cast<int>(random() % 6); k >= 0; --k) {
                text += date;
                if (random() % 20 != 0) text += '\t';
                text += "00:10:00\t";
                text += pulseFields[random() % std::size(pulseFields)];
                text += random() % 2 ? "\t1,16\t\r\n" : "\r\n";
            }
        }
        const TLogLines lines = TLogLines::FromText(text);
        const TTotals expected = TotalsByDefinition(lines, today, fs);
        const TTotals counted = ComputeTotals(lines, today, fs);
        EXPECT_EQ(counted.DayPulses, expected.DayPulses) << fs.ShortDateFormat;
        EXPECT_EQ(counted.MonthPulses, expected.MonthPulses) << fs.ShortDateFormat;

        const std::filesystem::path file = dir / "raport.txt";
        ASSERT_TRUE(ReplaceFileAtomically(file, text));
        TLogLines loaded;
        TotalsCounter counter(today, fs);
        ASSERT_TRUE(LoadLog(file, loaded, &counter));
        EXPECT_EQ(counter.Result().DayPulses, expected.DayPulses) << fs.ShortDateFormat;
        EXPECT_EQ(counter.Result().MonthPulses, expected.MonthPulses) << fs.ShortDateFormat;
        EXPECT_GT(expected.DayPulses, 0);
    }
}

}  // namespace
}  // namespace tt
