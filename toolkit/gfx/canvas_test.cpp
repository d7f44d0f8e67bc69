#include "toolkit/gfx/canvas.h"

#include <gtest/gtest.h>

#include <string>

namespace tt {
namespace {

Bitmap Filled(int w, int h, TColor color) {
    Bitmap b(w, h);
    Canvas& c = b.GetCanvas();
    c.Brush().Color = color;
    c.FillRect(b.BoundsRect());
    c.Brush().Color = clWhite;
    return b;
}

// One character per pixel, for readable expectations: '#' for `ink`, '.' for anything else.
std::string Row(const Bitmap& b, int y, TColor ink) {
    std::string s;
    for (int x = 0; x < b.Width(); ++x) s += b.GetPixel(x, y) == ink ? '#' : '.';
    return s;
}

std::string Column(const Bitmap& b, int x, TColor ink) {
    std::string s;
    for (int y = 0; y < b.Height(); ++y) s += b.GetPixel(x, y) == ink ? '#' : '.';
    return s;
}

TEST(Canvas, FillAndFrameLeaveOutRightColumnAndBottomRow) {
    Bitmap b = Filled(6, 5, clWhite);
    Canvas& c = b.GetCanvas();
    c.Brush().Color = clRed;
    c.FillRect({1, 1, 4, 3});
    EXPECT_EQ(Row(b, 0, clRed), "......");
    EXPECT_EQ(Row(b, 1, clRed), ".###..");
    EXPECT_EQ(Row(b, 2, clRed), ".###..");
    EXPECT_EQ(Row(b, 3, clRed), "......");

    // Inverted and empty rectangles fill nothing, and neither does a clear brush.
    c.FillRect({4, 4, 2, 2});
    c.Brush().Style = TBrushStyle::bsClear;
    c.FillRect(b.BoundsRect());
    EXPECT_EQ(b.GetPixel(0, 0), clWhite);
    EXPECT_EQ(b.GetPixel(5, 4), clWhite);

    b = Filled(6, 5, clWhite);
    Canvas& f = b.GetCanvas();
    f.Brush().Color = clBlue;
    f.FrameRect({0, 0, 5, 4});
    EXPECT_EQ(Row(b, 0, clBlue), "#####.");
    EXPECT_EQ(Row(b, 1, clBlue), "#...#.");
    EXPECT_EQ(Row(b, 3, clBlue), "#####.");
    EXPECT_EQ(Row(b, 4, clBlue), "......");
}

TEST(Canvas, RectangleOutlinesWithPenAndFillsWithBrush) {
    Bitmap b = Filled(5, 5, clWhite);
    Canvas& c = b.GetCanvas();
    c.Pen().Color = clBlack;
    c.Brush().Color = clYellow;
    c.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(Row(b, 0, clBlack), "####.");
    EXPECT_EQ(Row(b, 1, clYellow), ".##..");
    EXPECT_EQ(Row(b, 3, clBlack), "####.");
    EXPECT_EQ(b.GetPixel(4, 4), clWhite);
}

TEST(Canvas, LineLeavesOutItsEndPoint) {
    Bitmap b = Filled(6, 6, clWhite);
    Canvas& c = b.GetCanvas();
    c.Pen().Color = clRed;
    c.MoveTo(0, 0);
    c.LineTo(4, 0);
    EXPECT_EQ(Row(b, 0, clRed), "####..");
    EXPECT_EQ(c.PenPos(), (TPoint{4, 0}));

    c.MoveTo(0, 1);
    c.LineTo(4, 5);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.GetPixel(i, 1 + i), clRed) << i;
    EXPECT_EQ(b.GetPixel(4, 5), clWhite);

    // Drawn backwards, the other end is the one left out.
    c.MoveTo(5, 3);
    c.LineTo(5, 0);
    EXPECT_EQ(Column(b, 5, clRed), ".###..");
}

TEST(Canvas, RasterOperations) {
    Bitmap src(3, 2);
    src.SetPixel(0, 0, 0x123456);
    src.SetPixel(1, 0, clRed);
    src.SetPixel(2, 1, clBlue);
    Bitmap dst = Filled(5, 4, 0x0F0F0F);
    const Bitmap before = dst;
    Canvas& c = dst.GetCanvas();

    c.BitBlt(1, 1, 3, 2, src, 0, 0, TRasterOp::SrcInvert);
    EXPECT_EQ(dst.GetPixel(1, 1), 0x123456u ^ 0x0F0F0Fu);
    EXPECT_EQ(dst.GetPixel(2, 1), clRed ^ 0x0F0F0Fu);
    c.BitBlt(1, 1, 3, 2, src, 0, 0, TRasterOp::SrcInvert);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.GetPixel(x, y), before.GetPixel(x, y));
    }

    c.BitBlt(1, 1, 3, 2, src, 0, 0, TRasterOp::SrcCopy);
    EXPECT_EQ(dst.GetPixel(1, 1), 0x123456u);
    EXPECT_EQ(dst.GetPixel(3, 2), clBlue);
    EXPECT_EQ(dst.GetPixel(4, 2), 0x0F0F0Fu);

    // Blackness needs no source and is clipped to the bitmap.
    c.BitBlt(-2, 3, 100, 100, src, 0, 0, TRasterOp::Blackness);
    EXPECT_EQ(Row(dst, 3, clBlack), "#####");
    EXPECT_EQ(dst.GetPixel(0, 2), 0x0F0F0Fu);

    // A source part beyond the source leaves the target alone there.
    Bitmap small = Filled(4, 1, clWhite);
    small.GetCanvas().BitBlt(0, 0, 4, 1, src, 1, 0, TRasterOp::SrcCopy);
    EXPECT_EQ(Row(small, 0, clRed), "#...");
    EXPECT_EQ(small.GetPixel(2, 0), clWhite);
    EXPECT_EQ(small.GetPixel(3, 0), clWhite);
}

TEST(Canvas, CopyOntoItselfReadsTheOldPixels) {
    Bitmap b(4, 1);
    for (int x = 0; x < 4; ++x) b.SetPixel(x, 0, static_cast<TColor>(x + 1));
    b.GetCanvas().BitBlt(1, 0, 3, 1, b, 0, 0, TRasterOp::SrcCopy);
    EXPECT_EQ(b.GetPixel(1, 0), 1u);
    EXPECT_EQ(b.GetPixel(2, 0), 2u);
    EXPECT_EQ(b.GetPixel(3, 0), 3u);
}

TEST(Canvas, StretchIsNearestNeighbour) {
    Bitmap src(2, 2);
    src.SetPixel(0, 0, clRed);
    src.SetPixel(1, 0, clLime);
    src.SetPixel(0, 1, clBlue);
    src.SetPixel(1, 1, clBlack);

    Bitmap twice(4, 4);
    twice.GetCanvas().StretchDraw(twice.BoundsRect(), src);
    const TColor expected[4][4] = {{clRed, clRed, clLime, clLime},
                                   {clRed, clRed, clLime, clLime},
                                   {clBlue, clBlue, clBlack, clBlack},
                                   {clBlue, clBlue, clBlack, clBlack}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(twice.GetPixel(x, y), expected[y][x]);
    }

    // 2 -> 3 columns: the source pixel under each target centre.
    Bitmap wider(3, 1);
    wider.GetCanvas().StretchBlt(wider.BoundsRect(), src, {0, 0, 2, 1});
    EXPECT_EQ(wider.GetPixel(0, 0), clRed);
    EXPECT_EQ(wider.GetPixel(1, 0), clLime);
    EXPECT_EQ(wider.GetPixel(2, 0), clLime);

    // Squeezing an 80-row skin into 25 rows keeps its two-row frame at both edges.
    Bitmap skin = Filled(1, 80, clNavy);
    for (int y : {0, 1, 78, 79}) skin.SetPixel(0, y, clGray);
    Bitmap strip(1, 25);
    strip.GetCanvas().StretchDraw(strip.BoundsRect(), skin);
    EXPECT_EQ(Column(strip, 0, clGray), "#" + std::string(23, '.') + "#");

    // XOR through a stretch, twice, restores.
    Bitmap target = Filled(4, 4, 0x404040);
    target.GetCanvas().StretchBlt(target.BoundsRect(), src, src.BoundsRect(), TRasterOp::SrcInvert);
    EXPECT_EQ(target.GetPixel(3, 0), clLime ^ 0x404040u);
    target.GetCanvas().StretchBlt(target.BoundsRect(), src, src.BoundsRect(), TRasterOp::SrcInvert);
    EXPECT_EQ(target.GetPixel(3, 0), 0x404040u);
}

TEST(Canvas, TransparentAndBrushCopies) {
    Bitmap glyph = Filled(3, 2, clOlive);
    glyph.SetPixel(1, 0, clBlue);
    glyph.SetPixel(2, 1, clWhite);

    Bitmap t = Filled(4, 3, clRed);
    t.GetCanvas().TransparentDraw(1, 1, glyph, glyph.BoundsRect(), clOlive);
    EXPECT_EQ(Row(t, 0, clRed), "####");
    EXPECT_EQ(t.GetPixel(2, 1), clBlue);
    EXPECT_EQ(t.GetPixel(1, 1), clRed);
    EXPECT_EQ(t.GetPixel(3, 2), clWhite);

    Bitmap b = Filled(4, 3, clRed);
    Canvas& c = b.GetCanvas();
    c.Brush().Color = clGreen;
    c.BrushCopy(0, 0, glyph, {1, 0, 3, 2}, clOlive);  // only the right two columns
    EXPECT_EQ(b.GetPixel(0, 0), clBlue);
    EXPECT_EQ(b.GetPixel(1, 0), clGreen);
    EXPECT_EQ(b.GetPixel(0, 1), clGreen);
    EXPECT_EQ(b.GetPixel(1, 1), clWhite);
    EXPECT_EQ(b.GetPixel(2, 0), clRed);
}

TEST(Canvas, EllipseIsSymmetricAndFilled) {
    for (const TSize box : {TSize{9, 7}, TSize{10, 6}, TSize{1, 5}, TSize{15, 15}}) {
        Bitmap b = Filled(box.Width + 2, box.Height + 2, clWhite);
        Canvas& c = b.GetCanvas();
        c.Pen().Color = clRed;
        c.Brush().Color = clBlue;
        c.Ellipse(1, 1, 1 + box.Width, 1 + box.Height);
        for (int y = 0; y < b.Height(); ++y) {
            for (int x = 0; x < b.Width(); ++x) {
                const TColor p = b.GetPixel(x, y);
                EXPECT_EQ(p, b.GetPixel(b.Width() - 1 - x, y)) << x << "," << y;
                EXPECT_EQ(p, b.GetPixel(x, b.Height() - 1 - y)) << x << "," << y;
                if (x == 0 || y == 0 || x == b.Width() - 1 || y == b.Height() - 1) {
                    EXPECT_EQ(p, clWhite);
                }
            }
        }
        // The box's extreme rows and columns are touched in the middle, not at the corners.
        EXPECT_EQ(b.GetPixel(1 + box.Width / 2, 1), clRed);
        EXPECT_EQ(b.GetPixel(1, 1 + box.Height / 2), clRed);
        if (box.Width > 2 && box.Height > 2) {
            EXPECT_EQ(b.GetPixel(1, 1), clWhite);
            EXPECT_EQ(b.GetPixel(1 + box.Width / 2, 1 + box.Height / 2), clBlue);
        }
    }
}

TEST(Canvas, PieGrowsClockwiseFromTwelve) {
    // As a dial draws it: from the ray of the angle counter-clockwise to twelve o'clock.
    Bitmap b = Filled(21, 21, clWhite);
    Canvas& c = b.GetCanvas();
    c.Pen().Color = clBlack;
    c.Brush().Color = clRed;
    c.Pie(0, 0, 21, 21, 20, 10, 10, 0);  // a quarter: three o'clock to twelve
    EXPECT_EQ(b.GetPixel(15, 5), clRed);
    EXPECT_EQ(b.GetPixel(5, 5), clWhite);
    EXPECT_EQ(b.GetPixel(5, 15), clWhite);
    EXPECT_EQ(b.GetPixel(15, 15), clWhite);
    EXPECT_EQ(b.GetPixel(10, 3), clBlack);  // the edge along the vertical ray

    Bitmap half = Filled(21, 21, clWhite);
    Canvas& h = half.GetCanvas();
    h.Brush().Color = clRed;
    h.Pie(0, 0, 21, 21, 10, 20, 10, 0);
    EXPECT_EQ(half.GetPixel(15, 15), clRed);
    EXPECT_EQ(half.GetPixel(15, 5), clRed);
    EXPECT_EQ(half.GetPixel(5, 10), clWhite);

    // Equal rays: the whole ellipse.
    Bitmap whole = Filled(21, 21, clWhite);
    whole.GetCanvas().Brush().Color = clRed;
    whole.GetCanvas().Pie(0, 0, 21, 21, 10, 0, 10, 0);
    EXPECT_EQ(whole.GetPixel(5, 10), clRed);
    EXPECT_EQ(whole.GetPixel(15, 10), clRed);
}

TEST(Canvas, FocusRectIsDottedAndUndoesItself) {
    Bitmap b = Filled(8, 6, clNavy);
    b.SetPixel(3, 0, clYellow);
    const Bitmap before = b;
    Canvas& c = b.GetCanvas();
    c.DrawFocusRect({1, 1, 7, 5});
    EXPECT_EQ(b.GetPixel(1, 1), clNavy ^ 0xFFFFFFu);
    EXPECT_EQ(b.GetPixel(2, 1), clNavy);
    EXPECT_EQ(b.GetPixel(3, 1), clNavy ^ 0xFFFFFFu);
    EXPECT_EQ(b.GetPixel(3, 3), clNavy);  // inside untouched
    EXPECT_EQ(b.GetPixel(6, 4), clNavy ^ 0xFFFFFFu);
    EXPECT_EQ(b.GetPixel(5, 4), clNavy);
    c.DrawFocusRect({1, 1, 7, 5});
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(b.GetPixel(x, y), before.GetPixel(x, y));
    }
    // A one-row rectangle must not invert its pixels twice.
    c.DrawFocusRect({0, 2, 8, 3});
    EXPECT_EQ(b.GetPixel(0, 2), clNavy ^ 0xFFFFFFu);
}

TEST(Canvas, OriginAndClipPlaceAControlOnItsParent) {
    Bitmap parent = Filled(10, 8, clWhite);
    Canvas& c = parent.GetCanvas();
    const Canvas::State saved = c.Save();
    c.SetOrigin({3, 2});
    c.IntersectClipRect({0, 0, 4, 3});
    EXPECT_EQ(c.ClipRect(), (TRect{0, 0, 4, 3}));
    c.Brush().Color = clRed;
    c.FillRect({-5, -5, 50, 50});
    c.Pen().Color = clBlue;
    c.MoveTo(-3, 1);
    c.LineTo(20, 1);
    c.Restore(saved);

    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
            const TColor expected = !inside ? clWhite : y == 3 ? clBlue : clRed;
            EXPECT_EQ(parent.GetPixel(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(c.Origin(), (TPoint{0, 0}));
    EXPECT_EQ(c.ClipRect(), parent.BoundsRect());
    EXPECT_EQ(c.Brush().Color, clWhite);

    // Copies, stretches and text obey the same clip.
    c.SetClipRect({0, 0, 2, 2});
    Bitmap src = Filled(5, 5, clGreen);
    c.Draw(0, 0, src);
    c.StretchDraw({0, 0, 10, 8}, src);
    c.Font().Color = clRed;
    c.Brush().Style = TBrushStyle::bsClear;
    c.DrawTextAt(0, -5, "WWWW");
    c.ResetClip();
    EXPECT_EQ(parent.GetPixel(1, 1), clGreen);
    EXPECT_EQ(parent.GetPixel(0, 1), clRed);    // the W's left stroke
    EXPECT_EQ(parent.GetPixel(2, 1), clWhite);  // its middle stroke falls outside
    EXPECT_EQ(parent.GetPixel(2, 0), clWhite);
    EXPECT_EQ(parent.GetPixel(0, 2), clWhite);
}

TEST(Bitmap, ResizeKeepsSharedPixelsAndMoveKeepsCanvasWorking) {
    Bitmap b(2, 2);
    b.SetPixel(1, 1, clRed);
    b.SetSize(3, 3);
    EXPECT_EQ(b.GetPixel(1, 1), clRed);
    EXPECT_EQ(b.GetPixel(2, 2), clWhite);
    EXPECT_EQ(b.GetPixel(3, 0), 0xFFFFFFFFu);
    b.SetPixel(-1, 0, clRed);  // ignored
    // Stored as both backends show them: 0x..RRGGBB.
    EXPECT_EQ(b.Row(1)[1] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(b.GetPixel(1, 1), clRed);

    b.GetCanvas().Brush().Color = clBlue;
    Bitmap moved = std::move(b);
    moved.GetCanvas().FillRect({0, 0, 1, 1});
    EXPECT_EQ(moved.GetPixel(0, 0), clBlue);

    b.SetSize(0, 20);
    EXPECT_EQ(b.Height(), 20);
    EXPECT_TRUE(b.Empty());
    b.GetCanvas().FillRect({0, 0, 5, 5});  // nothing to draw on, nothing breaks
}

TEST(Color, SystemColoursResolveToTheClassicScheme) {
    EXPECT_EQ(ColorToRGB(clBtnFace), clSilver);
    EXPECT_EQ(ColorToRGB(clHighlight), clNavy);
    EXPECT_EQ(ColorToRGB(clRed), clRed);
    EXPECT_EQ(ColorToRGB(0x12FFFFFF), clWhite);
    EXPECT_EQ(ColorToRGB(kSystemColorFlag | 200), clBlack);
    EXPECT_EQ(ColorRGB(0, 128, 255), 0xFF8000u);
    Bitmap b(1, 1);
    b.GetCanvas().Brush().Color = clBtnFace;
    b.GetCanvas().FillRect({0, 0, 1, 1});
    EXPECT_EQ(b.GetPixel(0, 0), clSilver);
}

}  // namespace
}  // namespace tt
