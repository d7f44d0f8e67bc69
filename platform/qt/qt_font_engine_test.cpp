#include <QFont>

#include "platform/qt/qt_font_engine.h"
#include "testing/qt_test_util.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/canvas.h"

namespace tt::qt {
namespace {

using testing::QtTest;

// Pixels that text changed on a white bitmap; each must be the ink blended with white, which
// keeps the ink's full channels at full strength.
int Inked(const Bitmap& b, TRect area, TColor ink) {
    const Pixel white = PixelFromRGB(clWhite);
    const Pixel full = PixelFromRGB(ink) & 0x00FFFFFFu;
    int n = 0;
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) {
            const Pixel p = b.Bits()[y * b.Width() + x];
            if (p == white) continue;
            ++n;
            EXPECT_EQ(p & full, full) << "not the ink at " << x << "," << y;
        }
    }
    return n;
}

TEST_F(QtTest, FontSizesFollowThePlatformsSignRule) {
    QtFontEngine& fonts = dynamic_cast<QtFontEngine&>(CurrentFontEngine());
    TFont font;
    font.Height = -11;
    EXPECT_EQ(fonts.FontFor(font).pixelSize(), 11);
    font.Height = 20;  // the whole cell
    EXPECT_LE(fonts.Metrics(font).Height, 20);
    EXPECT_GE(fonts.Metrics(font).Height, 16);
    font.Height = 0;
    EXPECT_EQ(fonts.FontFor(font).pixelSize(), 11);
    font.Height = -22;
    font.Bold = true;
    EXPECT_TRUE(fonts.FontFor(font).bold());

    TFont small;
    TFont big;
    big.Height = -22;
    const TFontMetrics s = fonts.Metrics(small);
    const TFontMetrics b = fonts.Metrics(big);
    EXPECT_GT(s.Ascent, 0);
    EXPECT_GT(s.Height, s.Ascent);
    EXPECT_GT(b.Height, s.Height);
}

TEST_F(QtTest, TextWidthGrowsWithTheText) {
    FontEngine& fonts = CurrentFontEngine();
    TFont font;
    EXPECT_EQ(fonts.TextWidth(font, ""), 0);
    const int one = fonts.TextWidth(font, "W");
    EXPECT_GT(one, 0);
    EXPECT_GT(fonts.TextWidth(font, "WW"), one);
    EXPECT_GT(fonts.TextWidth(font, "Zażółć gęślą jaźń"), fonts.TextWidth(font, "Zazolc"));
}

TEST_F(QtTest, GlyphsGoIntoTheBitmapInTheirColourAndInsideTheClip) {
    Bitmap target(60, 20);  // white
    TFont font;
    font.Height = -14;
    font.Bold = true;
    CurrentFontEngine().DrawGlyphs(target, {0, 0, 30, 20}, 2, 2, font, "MMMMMMMM", clRed);
    EXPECT_GT(Inked(target, {0, 0, 30, 20}, clRed), 20);
    EXPECT_EQ(Inked(target, {30, 0, 60, 20}, clRed), 0) << "nothing past the clip";
    for (int i = 0; i < 60 * 20; ++i) {
        EXPECT_EQ(target.Bits()[i] >> 24, 0xFFu) << "the top byte stays as QImage wants it";
    }
}

TEST_F(QtTest, CanvasesDrawWithQtWhileTheBackendLives) {
    EXPECT_NE(&CurrentFontEngine(), &BuiltinFontEngine());
    Bitmap bitmap(80, 20);
    Canvas& c = bitmap.GetCanvas();
    c.Brush().Style = TBrushStyle::bsClear;
    c.Font().Color = clBlue;
    c.DrawTextAt(1, 1, "Taktomat");
    EXPECT_GT(Inked(bitmap, bitmap.BoundsRect(), clBlue), 20);
    backend.reset();
    EXPECT_EQ(&CurrentFontEngine(), &BuiltinFontEngine());
}

}  // namespace
}  // namespace tt::qt
