#include "toolkit/gfx/image_list.h"

#include <gtest/gtest.h>

#include "toolkit/gfx/canvas.h"

namespace tt {
namespace {

// A strip whose cell i is coloured i + 1 all over.
Bitmap Strip(int cells, int cellWidth, int cellHeight, int extraColumns = 0) {
    Bitmap b(cells * cellWidth + extraColumns, cellHeight);
    for (int i = 0; i < cells; ++i) {
        Canvas& c = b.GetCanvas();
        c.Brush().Color = static_cast<TColor>(i + 1);
        c.FillRect(Bounds(i * cellWidth, 0, cellWidth, cellHeight));
    }
    return b;
}

TEST(ImageList, CutsStripsIntoCellsAndDrawsThem) {
    ImageList list(25, 20);
    EXPECT_EQ(list.Add(Strip(15, 25, 20)), 0);
    EXPECT_EQ(list.Count(), 15);
    EXPECT_EQ(list.Add(Strip(2, 25, 20, 24)), 15);  // the 24 columns left over are no cell
    EXPECT_EQ(list.Count(), 17);
    EXPECT_EQ(list.Add(Bitmap(24, 20)), -1);

    Bitmap target(60, 30);
    Canvas& c = target.GetCanvas();
    list.Draw(c, 5, 3, 7);
    EXPECT_EQ(target.GetPixel(5, 3), 8u);
    EXPECT_EQ(target.GetPixel(29, 22), 8u);
    EXPECT_EQ(target.GetPixel(30, 22), clWhite);
    EXPECT_EQ(target.GetPixel(29, 23), clWhite);
    list.Draw(c, 30, 0, 16);  // from the second strip
    EXPECT_EQ(target.GetPixel(30, 0), 2u);

    list.Draw(c, 0, 0, 17);
    list.Draw(c, 0, 0, -1);
    EXPECT_EQ(target.GetPixel(0, 0), clWhite);
}

TEST(ImageList, GetBitmapGivesTheSameCellAsDraw) {
    ImageList list(10, 20);
    Bitmap strip = Strip(3, 10, 20);
    strip.SetPixel(13, 7, clRed);
    list.Add(strip);
    Bitmap scratch(99, 99);
    list.GetBitmap(1, scratch);
    EXPECT_EQ(scratch.Width(), 10);
    EXPECT_EQ(scratch.Height(), 20);
    EXPECT_EQ(scratch.GetPixel(3, 7), clRed);
    EXPECT_EQ(scratch.GetPixel(0, 0), 2u);

    Bitmap direct(10, 20);
    list.Draw(direct.GetCanvas(), 0, 0, 1);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 10; ++x) EXPECT_EQ(direct.GetPixel(x, y), scratch.GetPixel(x, y));
    }

    // A strip shorter than the cells leaves the missing rows white.
    ImageList tall(4, 6);
    tall.Add(Strip(1, 4, 3));
    tall.GetBitmap(0, scratch);
    EXPECT_EQ(scratch.GetPixel(0, 2), 1u);
    EXPECT_EQ(scratch.GetPixel(0, 3), clWhite);
}

}  // namespace
}  // namespace tt
