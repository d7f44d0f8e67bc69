#include "tools/report/chart.h"

#include <gtest/gtest.h>

#include "toolkit/gfx/png.h"

namespace tt {
namespace {

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

// A leap February: a limit of 580 is 20 a day; the highest day has 40 pulses, so the scale
// runs 0..40 in steps of 10 over the plot's 292 rows (84 to 376).
std::vector<int64_t> February() {
    std::vector<int64_t> days(29, 0);
    days[0] = 10;
    days[9] = 40;
    days[28] = 20;
    return days;
}

TEST(MonthChart, BarsAndTheLimitLineLandWhereTheFiguresSay) {
    const ChartPicture chart = MakeMonthChart(2024, 2, February(), 580, kPolish);
    EXPECT_EQ(chart.AxisMax, 40);
    EXPECT_EQ(chart.Plot.Top, 84);
    EXPECT_EQ(chart.Plot.Bottom, 376);
    ASSERT_EQ(chart.Bars.size(), 29u);
    EXPECT_EQ(chart.Bars[9].Top, 84);              // the full scale
    EXPECT_EQ(chart.Bars[0].Top, 376 - 73);        // a quarter of 292, rounded
    EXPECT_TRUE(chart.Bars[1].IsEmpty());          // no pulses, no bar
    EXPECT_EQ(chart.LimitLineTop, 376 - 146 - 1);  // half the scale, two rows thick

    const Bitmap png = RenderChartBitmap(chart);
    EXPECT_EQ(png.Width(), 800);
    EXPECT_EQ(png.Height(), 460);
    // Compressed: a month's chart in tens of kilobytes, not the 1.1 MB of its pixels.
    EXPECT_LT(EncodePng(png).size(), 100u * 1024);
    // A bar's top: its colour from the top row down, the background right above it.
    const TRect low = chart.Bars[0];
    const int mid = (low.Left + low.Right) / 2;
    EXPECT_EQ(png.GetPixel(mid, low.Top), kBarColor);
    EXPECT_EQ(png.GetPixel(mid, low.Bottom - 1), kBarColor);
    EXPECT_EQ(png.GetPixel(mid, low.Top - 1), clWhite);
    // Above the share the bar turns orange, and the limit's line crosses it.
    const TRect high = chart.Bars[9];
    const int highMid = (high.Left + high.Right) / 2;
    EXPECT_EQ(png.GetPixel(highMid, high.Top), kBarOverColor);
    EXPECT_EQ(png.GetPixel(highMid, chart.LimitLineTop), kLimitColor);
    // The line across a day without pulses: two rows, nothing more.
    const int empty = (chart.Bars[0].Right + chart.Bars[9].Left) / 2 + 40;
    EXPECT_EQ(png.GetPixel(empty, chart.LimitLineTop - 1), clWhite);
    EXPECT_EQ(png.GetPixel(empty, chart.LimitLineTop), kLimitColor);
    EXPECT_EQ(png.GetPixel(empty, chart.LimitLineTop + 1), kLimitColor);
    EXPECT_EQ(png.GetPixel(empty, chart.LimitLineTop + 2), clWhite);
    // A day exactly at the share is not above it.
    EXPECT_EQ(
        png.GetPixel((chart.Bars[28].Left + chart.Bars[28].Right) / 2, chart.Bars[28].Bottom - 1),
        kBarColor);
}

TEST(MonthChart, TheSvgShowsTheSameBoxesWithPolishTexts) {
    const ChartPicture chart = MakeMonthChart(2024, 2, February(), 580, kPolish);
    const std::string svg = RenderChartSvg(chart);
    const TRect bar = chart.Bars[9];
    EXPECT_NE(svg.find("<rect x=\"" + std::to_string(bar.Left) + "\" y=\"84\" width=\"" +
                       std::to_string(bar.Width()) + "\" height=\"292\" fill=\"#e69138\"/>"),
              std::string::npos);
    EXPECT_NE(svg.find(">Impulsy dzienne: luty 2024</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Dzień miesiąca</text>"), std::string::npos);
    EXPECT_NE(svg.find(">dzienny udział limitu miesiąca: 580 / 29 = 20,00</text>"),
              std::string::npos);
    EXPECT_NE(svg.find("Razem 70 impulsów w miesiącu, limit miesiąca 580 impulsów"),
              std::string::npos);
}

TEST(MonthChart, AnEmptyMonthAndAZeroLimitStillDrawAnAxis) {
    const ChartPicture chart = MakeMonthChart(2026, 4, std::vector<int64_t>(30, 0), 0, kPolish);
    EXPECT_EQ(chart.AxisMax, 1);
    EXPECT_EQ(chart.LimitLineTop, chart.Plot.Bottom - 2);
    const Bitmap png = RenderChartBitmap(chart);
    EXPECT_EQ(png.GetPixel(chart.Plot.Left + 5, chart.LimitLineTop), kLimitColor);
}

TEST(MonthChart, PolishPluralsOfPulses) {
    EXPECT_EQ(PulsesInPolish(1), "1 impuls");
    EXPECT_EQ(PulsesInPolish(3), "3 impulsy");
    EXPECT_EQ(PulsesInPolish(13), "13 impulsów");
    EXPECT_EQ(PulsesInPolish(22), "22 impulsy");
    EXPECT_EQ(PulsesInPolish(0), "0 impulsów");
    EXPECT_EQ(PulsesInPolish(105), "105 impulsów");
}

}  // namespace
}  // namespace tt
