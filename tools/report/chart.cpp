#include "tools/report/chart.h"

#include <algorithm>
#include <cstdio>

#include "base/datetime.h"
#include "toolkit/gfx/canvas.h"
#include "tools/report/money.h"

namespace tt {

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 460;
constexpr int kSmallCell = 13;  // the built-in font's small cell, 8 points
constexpr int kLargeCell = 26;  // and its doubled one

constexpr const char* kMonthNames[] = {"styczeń",  "luty",        "marzec",   "kwiecień",
                                       "maj",      "czerwiec",    "lipiec",   "sierpień",
                                       "wrzesień", "październik", "listopad", "grudzień"};

// A step of 1, 2 or 5 times a power of ten that cuts 0..top into about five parts.
int64_t NiceStep(int64_t top) {
    int64_t magnitude = 1;
    while (magnitude * 10 <= top / 5) magnitude *= 10;
    for (const int64_t factor : {1, 2, 5, 10}) {
        if (magnitude * factor * 5 >= top) return magnitude * factor;
    }
    return magnitude * 10;
}

// Hundredths as text with the user's separator: 2903 is "29,03".
std::string Hundredths(int64_t value, const FormatSettings& fs) {
    return Money::FromCents(value).Fixed2(fs.DecimalSeparator);
}

}  // namespace

std::string PulsesInPolish(int64_t count) {
    const int64_t ones = count % 10;
    const int64_t tens = count % 100;
    const char* word = "impulsów";
    if (count == 1) {
        word = "impuls";
    } else if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) {
        word = "impulsy";
    }
    return std::to_string(count) + " " + word;
}

ChartPicture MakeMonthChart(int year, int month, const std::vector<int64_t>& pulsesByDay,
                            int32_t monthLimit, const FormatSettings& fs) {
    ChartPicture c;
    c.Width = kWidth;
    c.Height = kHeight;
    const int days = static_cast<int>(pulsesByDay.size());
    auto box = [&c](TRect r, TColor color) { c.Items.emplace_back(ChartBox{r, color}); };
    auto label = [&c](int x, int y, std::string text, TextAnchor anchor, bool large = false,
                      TColor color = kTextColor) {
        c.Items.emplace_back(ChartLabel{x, y, std::move(text), anchor, large, color});
    };
    box({0, 0, kWidth, kHeight}, clWhite);

    int64_t total = 0;
    int64_t highest = 0;
    for (const int64_t p : pulsesByDay) {
        total += p;
        highest = std::max(highest, p);
    }
    // The share in hundredths of a pulse, as the legend shows it.
    const int64_t shareHundredths = days > 0 ? DivideRounded(int64_t{monthLimit} * 100, days) : 0;

    char monthText[32];
    std::snprintf(monthText, sizeof monthText, "%s %04d", kMonthNames[(month - 1) % 12], year);
    c.Title = std::string("Impulsy dzienne: ") + monthText;
    label(kWidth / 2, 12, c.Title, TextAnchor::Middle, true);
    label(kWidth / 2, 44,
          "Razem " + PulsesInPolish(total) + " w miesiącu, limit miesiąca " +
              PulsesInPolish(monthLimit) + " (MAXIMP_M)",
          TextAnchor::Middle);

    c.Plot = {70, 84, kWidth - 24, kHeight - 84};
    const TRect& plot = c.Plot;
    const int64_t top = std::max<int64_t>({highest, (shareHundredths + 99) / 100, 1});
    const int64_t step = NiceStep(top);
    c.AxisMax = (top + step - 1) / step * step;
    auto yOf = [&](int64_t hundredths) {
        return plot.Bottom -
               static_cast<int>(DivideRounded(hundredths * plot.Height(), c.AxisMax * 100));
    };

    // Grid and the pulse scale.
    for (int64_t v = 0; v <= c.AxisMax; v += step) {
        const int y = yOf(v * 100);
        if (v > 0) box({plot.Left, y, plot.Right, y + 1}, kGridColor);
        label(plot.Left - 8, y - kSmallCell / 2, std::to_string(v), TextAnchor::End);
    }
    label(plot.Left - 8, plot.Top - 26, "Impulsy", TextAnchor::Start);

    // The bars, centred in equal slots; a day above the share stands out in another colour.
    const int slot = days > 0 ? plot.Width() / days : plot.Width();
    const int gap = std::max(2, slot / 4);
    const int first = plot.Left + (plot.Width() - slot * days) / 2;
    c.Bars.assign(static_cast<size_t>(days), TRect{});
    for (int d = 0; d < days; ++d) {
        const int left = first + d * slot + gap / 2;
        const int64_t pulses = pulsesByDay[static_cast<size_t>(d)];
        const TRect bar{left, yOf(pulses * 100), left + slot - gap, plot.Bottom};
        if (pulses > 0 && !bar.IsEmpty()) {
            c.Bars[static_cast<size_t>(d)] = bar;
            box(bar, pulses * 100 > shareHundredths ? kBarOverColor : kBarColor);
        }
        label(left + (slot - gap) / 2, plot.Bottom + 6, std::to_string(d + 1), TextAnchor::Middle);
    }
    label((plot.Left + plot.Right) / 2, plot.Bottom + 24, "Dzień miesiąca", TextAnchor::Middle);

    // The axes over the bars' feet, the limit's line over everything.
    box({plot.Left - 1, plot.Top, plot.Left, plot.Bottom + 1}, kAxisColor);
    box({plot.Left - 1, plot.Bottom, plot.Right, plot.Bottom + 1}, kAxisColor);
    c.LimitLineTop = std::min(yOf(shareHundredths), plot.Bottom - 1) - 1;
    box({plot.Left, c.LimitLineTop, plot.Right, c.LimitLineTop + 2}, kLimitColor);

    // The legend.
    const int legendY = kHeight - 30;
    int x = plot.Left;
    box({x, legendY, x + 12, legendY + 12}, kBarColor);
    label(x + 18, legendY, "impulsy dnia", TextAnchor::Start);
    x += 120;
    box({x, legendY, x + 12, legendY + 12}, kBarOverColor);
    label(x + 18, legendY, "dzień ponad udział limitu", TextAnchor::Start);
    x += 200;
    box({x, legendY + 5, x + 20, legendY + 7}, kLimitColor);
    label(x + 26, legendY,
          "dzienny udział limitu miesiąca: " + std::to_string(monthLimit) + " / " +
              std::to_string(days) + " = " + Hundredths(shareHundredths, fs),
          TextAnchor::Start);
    return c;
}

Bitmap RenderChartBitmap(const ChartPicture& chart) {
    Bitmap bitmap(chart.Width, chart.Height);
    Canvas& canvas = bitmap.GetCanvas();
    for (const auto& item : chart.Items) {
        if (const auto* b = std::get_if<ChartBox>(&item)) {
            canvas.Brush().Style = TBrushStyle::bsSolid;
            canvas.Brush().Color = b->Color;
            canvas.FillRect(b->Box);
            continue;
        }
        const auto& l = std::get<ChartLabel>(item);
        canvas.Brush().Style = TBrushStyle::bsClear;
        canvas.Font().Height = l.Large ? -(kLargeCell - 4) : -(kSmallCell - 2);
        canvas.Font().Bold = l.Large;
        canvas.Font().Color = l.Color;
        const int width = canvas.TextWidth(l.Text);
        const int x = l.Anchor == TextAnchor::Start    ? l.X
                      : l.Anchor == TextAnchor::Middle ? l.X - width / 2
                                                       : l.X - width;
        canvas.DrawTextAt(x, l.Y, l.Text);
    }
    return bitmap;
}

namespace {

std::string Hex(TColor color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return text;
}

std::string EscapeXml(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

}  // namespace

std::string RenderChartSvg(const ChartPicture& chart) {
    const std::string w = std::to_string(chart.Width);
    const std::string h = std::to_string(chart.Height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h +
           "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\">\n";
    svg += "<title>" + EscapeXml(chart.Title) + "</title>\n";
    svg += "<g shape-rendering=\"crispEdges\">\n";
    for (const auto& item : chart.Items) {
        if (const auto* b = std::get_if<ChartBox>(&item)) {
            svg += "<rect x=\"" + std::to_string(b->Box.Left) + "\" y=\"" +
                   std::to_string(b->Box.Top) + "\" width=\"" + std::to_string(b->Box.Width()) +
                   "\" height=\"" + std::to_string(b->Box.Height()) + "\" fill=\"" + Hex(b->Color) +
                   "\"/>\n";
            continue;
        }
        const auto& l = std::get<ChartLabel>(item);
        // The SVG places text by its baseline, the cell's top plus the font's ascent.
        const int baseline = l.Y + (l.Large ? 21 : 10);
        const char* anchor = l.Anchor == TextAnchor::Start    ? "start"
                             : l.Anchor == TextAnchor::Middle ? "middle"
                                                              : "end";
        svg += "<text x=\"" + std::to_string(l.X) + "\" y=\"" + std::to_string(baseline) +
               "\" font-size=\"" + (l.Large ? "20" : "11") + "\"" +
               (l.Large ? " font-weight=\"bold\"" : "") + " text-anchor=\"" + anchor +
               "\" fill=\"" + Hex(l.Color) + "\">" + EscapeXml(l.Text) + "</text>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}

}  // namespace tt
