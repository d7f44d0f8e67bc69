#include "controls/Gauges.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "testing/toolkit_test_util.h"

namespace tt::testing {
namespace {

// Counts the repaints, which must stay rare: the meter sets the gauge every second.
class TCountingGauge : public TGauge {
  public:
    using TGauge::TGauge;
    int paints = 0;
    void Paint() override {
        ++paints;
        TGauge::Paint();
    }
};

class GaugeTest : public ToolkitTest {
  protected:
    TForm& form = app->CreateForm<TForm>();
    TCountingGauge* gauge = nullptr;

    void SetUp() override {
        form.SetName("frmGauge");
        form.SetBorderStyle(TFormBorderStyle::bsNone);
        form.SetBounds(0, 0, 200, 120);
        form.SetColor(clGray);
        gauge = new TCountingGauge(&form);
        gauge->SetName("gImpuls");
        gauge->SetParent(&form);
        gauge->SetBounds(10, 10, 137, 9);
        gauge->SetShowText(false);
        gauge->SetForeColor(clYellow);
        gauge->SetBackColor(clBlue);
        form.Show();
        app->ProcessMessages();
        gauge->paints = 0;
    }
    // The screen shows the gauge as a fresh gauge of the same look paints it whole.
    void ExpectAsFresh(const TGauge& shown, const std::string& step) {
        // Built with the look already set, so its first paint is the one compared.
        TGauge fresh(nullptr);
        fresh.SetForeColor(shown.ForeColor());
        fresh.SetBackColor(shown.BackColor());
        fresh.SetBorderStyle(shown.BorderStyle());
        fresh.SetBounds(110, 10, shown.Width(), shown.Height());
        fresh.SetKind(shown.Kind());
        fresh.SetShowText(shown.ShowText());
        fresh.SetMaxValue(shown.MaxValue());
        fresh.SetProgress(shown.Progress());
        fresh.SetParent(shown.Parent());
        app->ProcessMessages();
        const Bitmap shot = driver.Snapshot("frmGauge");
        for (int y = 0; y < shown.Height(); ++y) {
            for (int x = 0; x < shown.Width(); ++x) {
                ASSERT_EQ(shot.GetPixel(10 + x, 10 + y), shot.GetPixel(110 + x, 10 + y))
                    << step << " at " << x << "," << y;
            }
        }
    }
    // A pixel of the gauge, in its own coordinates, as the screen shows it.
    TColor At(int x, int y) { return driver.Snapshot("frmGauge").GetPixel(10 + x, 10 + y); }
    std::string RangeError(const std::function<void()>& set) {
        try {
            set();
        } catch (const EInvalidOperation& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(GaugeTest, PercentAndPixelsTruncateWithoutLosingTheWholeLength) {
    EXPECT_EQ(PartOf(50, 136), 68);
    for (int n = 0; n <= 5000; ++n) ASSERT_EQ(PartOf(100, n), n) << n;
    gauge->SetMaxValue(3);
    gauge->SetProgress(2);
    EXPECT_EQ(gauge->Percent(), 66);
    gauge->SetMinValue(INT_MIN);  // a span that overflows 32 bits
    gauge->SetMaxValue(INT_MAX);
    gauge->SetProgress(0);
    EXPECT_EQ(gauge->Percent(), 50);
    gauge->SetMinValue(0);
    gauge->SetMaxValue(0);
    gauge->SetProgress(7);
    EXPECT_EQ(gauge->Progress(), 0);
    EXPECT_EQ(gauge->GetProperty("Percent"), "0");
}

TEST_F(GaugeTest, ProgressIsClampedAndRepaintsOnlyWhenThePercentMoves) {
    gauge->SetProgress(150);
    EXPECT_EQ(gauge->Progress(), 100);
    gauge->SetProgress(-5);
    EXPECT_EQ(gauge->Progress(), 0);
    gauge->SetMaxValue(100000);
    gauge->SetProgress(1000);
    gauge->paints = 0;
    gauge->SetProgress(1001);  // still 1 %
    EXPECT_EQ(gauge->Progress(), 1001);
    gauge->SetMaxValue(100000);
    gauge->SetForeColor(clYellow);
    EXPECT_EQ(gauge->paints, 0);
    gauge->SetProgress(2000);
    EXPECT_EQ(gauge->paints, 1);

    // New bounds pull Progress along, and repaint at once.
    gauge->SetMinValue(3000);
    EXPECT_EQ(gauge->Progress(), 3000);
    gauge->SetProgress(9000);
    gauge->SetMaxValue(5000);
    EXPECT_EQ(gauge->Progress(), 5000);
    EXPECT_EQ(gauge->paints, 4);
}

TEST_F(GaugeTest, CrossedBoundsAreRefusedWithTheirMessageAndChangeNothing) {
    gauge->SetMaxValue(50);
    gauge->SetProgress(20);
    EXPECT_EQ(RangeError([&] { gauge->SetMinValue(51); }),
              "Value must be between -2147483647 and 49");
    EXPECT_EQ(gauge->MinValue(), 0);
    gauge->SetMinValue(10);
    EXPECT_EQ(RangeError([&] { gauge->SetMaxValue(9); }),
              "Value must be between 11 and 2147483647");
    EXPECT_EQ(gauge->MaxValue(), 50);
    EXPECT_EQ(gauge->Progress(), 20);
    EXPECT_THROW(gauge->SetProperty("MaxValue", "-1"), EInvalidOperation);

    // Equal bounds are accepted even though the message names a narrower range.
    gauge->SetMinValue(50);
    EXPECT_EQ(gauge->Progress(), 50);
    EXPECT_EQ(gauge->Percent(), 0);

    // A form setting up its stored values may give the bounds in either order.
    gauge->SetLoading(true);
    gauge->SetMinValue(200);
    gauge->SetMaxValue(300);
    gauge->SetLoading(false);
    EXPECT_EQ(gauge->MinValue(), 200);
    EXPECT_EQ(gauge->MaxValue(), 300);
    EXPECT_EQ(gauge->Progress(), 200);
}

TEST_F(GaugeTest, BarFillsFromTheLeftInsideItsBlackFrame) {
    gauge->SetProgress(50);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 137; ++x) {
            const bool frame = x == 0 || y == 0 || x == 136 || y == 8;
            const TColor want = frame ? clBlack : x <= 67 ? clYellow : clBlue;
            ASSERT_EQ(At(x, y), want) << x << "," << y;
        }
    }
    gauge->SetProgress(100);
    EXPECT_EQ(At(135, 7), clYellow);
    EXPECT_EQ(At(136, 7), clBlack);
    gauge->SetProgress(0);
    EXPECT_EQ(At(1, 1), clBlue);

    gauge->SetBorderStyle(TBorderStyle::bsNone);
    gauge->SetProgress(100);
    EXPECT_EQ(At(0, 0), clYellow);
    EXPECT_EQ(At(136, 8), clYellow);
}

TEST_F(GaugeTest, VerticalBarGrowsUpAndNeverTakesTheTopRowWithoutAFrame) {
    gauge->SetBounds(10, 10, 10, 40);
    gauge->SetKind(TGaugeKind::gkVerticalBar);
    gauge->SetBorderStyle(TBorderStyle::bsNone);
    gauge->SetProgress(100);
    EXPECT_EQ(At(5, 0), clBlue);
    EXPECT_EQ(At(5, 1), clYellow);
    EXPECT_EQ(At(9, 39), clYellow);
    gauge->SetProgress(50);  // 20 of the 41 rows counted, from the bottom
    EXPECT_EQ(At(5, 21), clYellow);
    EXPECT_EQ(At(5, 20), clBlue);
}

TEST_F(GaugeTest, TextIsCentredAndInvertsWhateverLiesBeneath) {
    const int w = 50;
    const int h = 30;
    gauge->SetBounds(10, 10, w, h);
    gauge->SetShowText(true);
    gauge->SetProgress(42);
    const TSize text = MeasureText(gauge->Font(), "42%");
    // Centred on the interior's width and height plus one, as coordinates of the gauge.
    const int left = (w - 1 - text.Width) / 2;
    const int top = (h - 1 - text.Height) / 2;
    const int barEnd = PartOf(42, w - 1);  // first column the bar leaves empty
    ASSERT_GT(barEnd, left);
    int onBar = 0;
    int onEmpty = 0;
    int outside = 0;
    for (int y = 1; y < h - 1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            const TColor c = At(x, y);
            const bool inText =
                x >= left && x < left + text.Width && y >= top && y < top + text.Height;
            const TColor bar = x < barEnd ? clYellow : clBlue;
            if (c == bar) continue;
            ASSERT_EQ(c, bar ^ 0xFFFFFF) << x << "," << y;  // the inverse, nothing else
            if (!inText) ++outside;
            (bar == clYellow ? onBar : onEmpty)++;
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(onBar, 0);
    EXPECT_GT(onEmpty, 0);
}

TEST_F(GaugeTest, PieGrowsClockwiseFromTwelveAndTheNeedleSweepsTheDial) {
    gauge->SetBounds(10, 10, 41, 41);
    gauge->SetKind(TGaugeKind::gkPie);
    gauge->SetProgress(25);
    EXPECT_EQ(At(28, 12), clYellow);  // upper right
    EXPECT_EQ(At(12, 12), clBlue);
    EXPECT_EQ(At(28, 28), clBlue);
    EXPECT_EQ(At(1, 1), clGray);  // round the pie, the form's colour
    gauge->SetProgress(50);
    EXPECT_EQ(At(28, 28), clYellow);
    EXPECT_EQ(At(12, 28), clBlue);

    gauge->SetBounds(10, 10, 61, 31);
    gauge->SetKind(TGaugeKind::gkNeedle);
    gauge->SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_EQ(At(30, 15), clYellow);  // 50 %: straight up from the hub
    EXPECT_EQ(At(20, 15), clBlue);
    gauge->SetProgress(0);
    EXPECT_EQ(At(30, 15), clBlue);
}

// The layers outlive each paint; whatever one paint leaves in them (a clear brush from the
// text, a pen colour, an old size) must not show in the next.
TEST_F(GaugeTest, RepaintsOfOneGaugeMatchAFreshGaugeOfTheSameLook) {
    const auto same = [&](const char* step) { ExpectAsFresh(*gauge, step); };
    gauge->SetBounds(10, 10, 60, 40);
    gauge->SetShowText(true);
    gauge->SetProgress(37);
    same("text over the bar");
    gauge->SetShowText(false);
    gauge->SetProgress(81);
    same("bar after text");
    gauge->SetKind(TGaugeKind::gkPie);
    same("pie");
    gauge->SetKind(TGaugeKind::gkNeedle);
    gauge->SetShowText(true);
    same("needle with text");
    gauge->SetBounds(10, 10, 30, 20);
    gauge->SetKind(TGaugeKind::gkVerticalBar);
    same("smaller vertical bar");
    gauge->SetBounds(10, 10, 80, 50);
    gauge->SetKind(TGaugeKind::gkHorizontalBar);
    same("larger bar");
}

// The meter moves the bar every second: a step repaints and presents only the columns between
// the bar's old end and its new one, and leaves the screen as a whole repaint would.
TEST_F(GaugeTest, AStepOfTheBarPresentsOnlyTheColumnsItMoved) {
    for (const TBorderStyle border : {TBorderStyle::bsSingle, TBorderStyle::bsNone}) {
        gauge->SetBounds(10, 10, 90, 9);  // room for the fresh one beside it
        gauge->SetBorderStyle(border);
        gauge->SetMaxValue(180);
        gauge->SetProgress(0);
        app->ProcessMessages();
        const int inner = border == TBorderStyle::bsSingle ? 1 : 0;
        for (const int to : {1, 2, 45, 46, 179, 180, 90, 3, 0}) {
            app->ProcessMessages();  // where the last fresh gauge was
            const int from = gauge->Progress();
            const int presents = backend.WindowInfo(form.WindowId())->presents;
            gauge->SetProgress(to);
            const auto* window = backend.WindowInfo(form.WindowId());
            const std::string step = std::to_string(from) + " to " + std::to_string(to);
            const auto end = [&](int p) {
                const int w = gauge->Width() - 2 * inner + 1;
                // Without a frame the full bar's end lies past the control's last column.
                return std::min(std::max(inner, std::min(PartOf(p * 100 / 180, w), w)),
                                gauge->Width());
            };
            if (end(from) == end(to)) {
                EXPECT_EQ(window->presents, presents) << step;
                continue;
            }
            EXPECT_EQ(window->presents, presents + 1) << step;
            EXPECT_EQ(window->lastPresent,
                      (ui::Rect{10 + std::min(end(from), end(to)), 10,
                                10 + std::max(end(from), end(to)), 10 + gauge->Height()}))
                << step;
            ExpectAsFresh(*gauge, step);
        }
    }
}

}  // namespace
}  // namespace tt::testing
