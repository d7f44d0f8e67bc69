#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/format.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/color.h"
#include "toolkit/gfx/geometry.h"

namespace tt {

// The chart as filled boxes and texts in whole pixels, so that the PNG and the SVG show the
// same picture and both stay sharp at 100 %.
struct ChartBox {
    TRect Box;
    TColor Color;
};
enum class TextAnchor { Start, Middle, End };
struct ChartLabel {
    int X = 0;
    int Y = 0;  // the top of the text's cell
    std::string Text;
    TextAnchor Anchor = TextAnchor::Start;
    bool Large = false;
    TColor Color = clBlack;
};

struct ChartPicture {
    int Width = 0;
    int Height = 0;
    std::string Title;
    std::vector<std::variant<ChartBox, ChartLabel>> Items;  // in drawing order

    // Where the data went, for whoever checks a drawn chart.
    TRect Plot;               // the bars stand on Plot.Bottom
    int64_t AxisMax = 0;      // the pulses at Plot.Top
    std::vector<TRect> Bars;  // one a day, empty for a day without pulses
    int LimitLineTop = 0;     // the limit's daily share: two rows from here
};

inline constexpr TColor kBarColor = 0xA56E3A;      // steel blue
inline constexpr TColor kBarOverColor = 0x3891E6;  // orange: a day above the share
inline constexpr TColor kLimitColor = 0x1E1EC8;    // red
inline constexpr TColor kGridColor = 0xE6E6E6;
inline constexpr TColor kAxisColor = 0x505050;
inline constexpr TColor kTextColor = 0x202020;

// Pulses of each day of the month (index 0 the 1st) as bars, and the month limit's daily
// share (monthLimit / days in the month) as a line; texts in Polish, numbers in `fs`.
ChartPicture MakeMonthChart(int year, int month, const std::vector<int64_t>& pulsesByDay,
                            int32_t monthLimit, const FormatSettings& fs);

// Drawn with the built-in pixel font.
Bitmap RenderChartBitmap(const ChartPicture& chart);
std::string RenderChartSvg(const ChartPicture& chart);

// "1 impuls", "3 impulsy", "5 impulsów".
std::string PulsesInPolish(int64_t count);

}  // namespace tt
