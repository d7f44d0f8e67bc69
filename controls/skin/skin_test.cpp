#include "controls/skin/skin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "testing/test_temp_folder.h"
#include "toolkit/gfx/image_list.h"
#include "toolkit/gfx/png.h"
#include "tools/skingen/icon_set.h"
#include "tools/skingen/skin_art.h"

namespace tt {
namespace {

constexpr SkinPicture kAll[] = {
    SkinPicture::Image1,    SkinPicture::Image2, SkinPicture::Image3,     SkinPicture::Image4,
    SkinPicture::Image5,    SkinPicture::Image6, SkinPicture::Checked,    SkinPicture::Grayed,
    SkinPicture::Unchecked, SkinPicture::Icon,   SkinPicture::IconOnline,
};

std::string SkinFolder() {
    return std::string(TT_SOURCE_DIR) + "/controls/skin/";
}

int Brightness(TColor c) {
    return (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF);
}

// Mean brightness of a rectangle of a strip.
double MeanBrightness(const Bitmap& b, const TRect& r) {
    double sum = 0;
    for (int y = r.Top; y < r.Bottom; ++y) {
        for (int x = r.Left; x < r.Right; ++x) sum += Brightness(b.GetPixel(x, y));
    }
    return sum / (r.Width() * r.Height());
}

std::set<TColor> ColorsIn(const Bitmap& b, const TRect& r) {
    std::set<TColor> colors;
    for (int y = r.Top; y < r.Bottom; ++y) {
        for (int x = r.Left; x < r.Right; ++x) colors.insert(b.GetPixel(x, y));
    }
    return colors;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
        }
    }
    return true;
}

bool SameCell(const Bitmap& strip, int cellWidth, int a, int b) {
    for (int y = 0; y < strip.Height(); ++y) {
        for (int x = 0; x < cellWidth; ++x) {
            if (strip.GetPixel(a * cellWidth + x, y) != strip.GetPixel(b * cellWidth + x, y)) {
                return false;
            }
        }
    }
    return true;
}

TEST(Skin, PicturesHaveTheSizesAndCellsThatTheBarsAndCountersCut) {
    struct Expect {
        SkinPicture picture;
        int width, height, cellWidth, cellHeight, cells;
    };
    const Expect expected[] = {
        {SkinPicture::Image1, 275, 80, 275, 80, 1},  {SkinPicture::Image2, 375, 20, 25, 20, 15},
        {SkinPicture::Image3, 180, 12, 20, 12, 9},   {SkinPicture::Image4, 225, 20, 25, 20, 9},
        {SkinPicture::Image5, 210, 20, 35, 20, 6},   {SkinPicture::Image6, 170, 20, 10, 20, 17},
        {SkinPicture::Checked, 19, 14, 19, 14, 1},   {SkinPicture::Grayed, 19, 14, 19, 14, 1},
        {SkinPicture::Unchecked, 19, 14, 19, 14, 1}, {SkinPicture::Icon, 32, 32, 32, 32, 1},
    };
    for (const Expect& e : expected) {
        const SkinPictureInfo& info = SkinInfo(e.picture);
        SCOPED_TRACE(std::string(info.Name));
        const Bitmap bitmap = LoadSkinPicture(e.picture);
        EXPECT_EQ(bitmap.Width(), e.width);
        EXPECT_EQ(bitmap.Height(), e.height);
        EXPECT_EQ(info.CellWidth, e.cellWidth);
        EXPECT_EQ(info.CellHeight, e.cellHeight);
        EXPECT_EQ(info.CellCount(), e.cells);
        // What the main window's image lists will hold.
        ImageList list(e.cellWidth, e.cellHeight);
        list.Add(bitmap);
        EXPECT_EQ(list.Count(), e.cells);
    }
}

TEST(Skin, BackgroundIsANavyFieldInsideTheFrame) {
    const Bitmap b = LoadSkinPicture(SkinPicture::Image1);
    EXPECT_EQ(kSkinFieldColor, ColorRGB(0, 0, 66));
    EXPECT_EQ(kSkinFrameColor, ColorRGB(24, 24, 90));
    // Frame two to three pixels wide on every side, including the rows a rolled-up window
    // samples when it squeezes 80 rows into 25.
    for (TPoint p :
         {TPoint{0, 0}, {2, 2}, {274, 79}, {272, 77}, {1, 40}, {273, 40}, {137, 1}, {137, 78}}) {
        EXPECT_EQ(b.GetPixel(p.X, p.Y), kSkinFrameColor) << p.X << "," << p.Y;
    }
    EXPECT_EQ(ColorsIn(b, {3, 3, 272, 77}), std::set<TColor>{kSkinFieldColor});
}

TEST(Skin, DigitStripIsLightYellowOnItsOwnNavy) {
    const Bitmap b = LoadSkinPicture(SkinPicture::Image6);
    EXPECT_EQ(kDigitInkColor, ColorRGB(255, 255, 191));
    EXPECT_EQ(kDigitBackColor, ColorRGB(0, 0, 64));
    for (int cell = 0; cell < 17; ++cell) {
        SCOPED_TRACE(cell);
        const TRect r = Bounds(cell * 10, 0, 10, 20);
        // The counter butts cells together: edges must be background so digits never touch.
        for (TPoint p : {TPoint{0, 0}, {9, 0}, {0, 19}, {9, 19}}) {
            EXPECT_EQ(b.GetPixel(r.Left + p.X, p.Y), kDigitBackColor);
        }
        const bool changer = cell >= 10 && cell <= 13;
        if (!changer) {
            EXPECT_EQ(ColorsIn(b, r), (std::set<TColor>{kDigitBackColor, kDigitInkColor}));
        }
    }
    // Every digit and sign has a face of its own.
    for (int a = 0; a < 17; ++a) {
        for (int c = a + 1; c < 17; ++c) EXPECT_FALSE(SameCell(b, 10, a, c)) << a << " " << c;
    }
}

TEST(Skin, ChangerFacesColourTheArrowThatSteps) {
    const Bitmap b = LoadSkinPicture(SkinPicture::Image6);
    // The counter steps up for a press on rows 0 to 10 and down below them.
    auto arrow = [&b](int cell, bool upper) {
        std::set<TColor> c =
            ColorsIn(b, upper ? Bounds(cell * 10, 0, 10, 11) : Bounds(cell * 10, 11, 10, 9));
        c.erase(kDigitBackColor);
        EXPECT_EQ(c.size(), 1u) << "cell " << cell;
        return c.empty() ? TColor{0} : *c.begin();
    };
    const TColor green = arrow(11, true);
    const TColor orange = arrow(12, false);
    EXPECT_EQ(arrow(10, true), kDigitInkColor);
    EXPECT_EQ(arrow(10, false), kDigitInkColor);
    EXPECT_EQ(arrow(11, false), green);
    EXPECT_EQ(arrow(12, true), green);
    EXPECT_EQ(arrow(13, true), orange);
    EXPECT_EQ(arrow(13, false), green);
    // Green and orange in fact: green's strongest channel is green, orange is red over green.
    EXPECT_GT((green >> 8) & 0xFF, green & 0xFF);
    EXPECT_GT(orange & 0xFF, (orange >> 8) & 0xFF);
    EXPECT_GT((orange >> 8) & 0xFF, (orange >> 16) & 0xFF);
}

TEST(Skin, ButtonStripsShowThreeDistinctFacesPerButton) {
    struct Strip {
        SkinPicture picture;
        int cellWidth;
    };
    for (Strip s : {Strip{SkinPicture::Image2, 25},
                    {SkinPicture::Image3, 20},
                    {SkinPicture::Image4, 25},
                    {SkinPicture::Image5, 35}}) {
        const Bitmap b = LoadSkinPicture(s.picture);
        SCOPED_TRACE(std::string(SkinInfo(s.picture).Name));
        const int h = b.Height();
        for (int button = 0; button < b.Width() / s.cellWidth / 3; ++button) {
            const int normal = 3 * button * s.cellWidth;
            const int lit = normal + s.cellWidth;
            const int pressed = lit + s.cellWidth;
            EXPECT_FALSE(SameCell(b, s.cellWidth, 3 * button, 3 * button + 1));
            EXPECT_FALSE(SameCell(b, s.cellWidth, 3 * button, 3 * button + 2));
            // Highlighted is lighter; pressed is darker and lit from the bottom right.
            const TRect body = Bounds(1, 1, s.cellWidth - 2, h - 2);
            EXPECT_GT(MeanBrightness(b, body.Offset(lit, 0)),
                      MeanBrightness(b, body.Offset(normal, 0)));
            EXPECT_LT(MeanBrightness(b, body.Offset(pressed, 0)),
                      MeanBrightness(b, body.Offset(normal, 0)));
            EXPECT_GT(Brightness(b.GetPixel(normal, 0)),
                      Brightness(b.GetPixel(normal + s.cellWidth - 1, h - 1)));
            EXPECT_LT(Brightness(b.GetPixel(pressed, 0)),
                      Brightness(b.GetPixel(pressed + s.cellWidth - 1, h - 1)));
        }
        // Buttons differ from each other, so that no two commands look alike.
        for (int a = 0; a < b.Width() / s.cellWidth; a += 3) {
            for (int c = a + 3; c < b.Width() / s.cellWidth; c += 3) {
                EXPECT_FALSE(SameCell(b, s.cellWidth, a, c)) << a << " " << c;
            }
        }
    }
}

TEST(Skin, DisconnectButtonCarriesRedAndConnectDoesNot) {
    const Bitmap b = LoadSkinPicture(SkinPicture::Image2);
    auto reds = [&b](int cell) {
        int n = 0;
        for (TColor c : ColorsIn(b, Bounds(cell * 25, 0, 25, 20))) {
            if ((c & 0xFF) > 200 && ((c >> 8) & 0xFF) < 80 && ((c >> 16) & 0xFF) < 80) ++n;
        }
        return n;
    };
    for (int face = 0; face < 3; ++face) {
        EXPECT_EQ(reds(9 + face), 0);
        EXPECT_GT(reds(12 + face), 0);
    }
}

TEST(Skin, CheckBoxGlyphsShareTheBoxAndTheOliveKey) {
    const Bitmap unchecked = *LoadSkinResource("UNCHECKED");
    const Bitmap checked = *LoadSkinResource("CHECKED");
    const Bitmap grayed = *LoadSkinResource("GRAYED");
    EXPECT_FALSE(LoadSkinResource("ICON").has_value());
    EXPECT_FALSE(LoadSkinResource("checked").has_value());
    for (const Bitmap* g : {&unchecked, &checked, &grayed}) {
        ASSERT_EQ(g->Width(), 19);
        ASSERT_EQ(g->Height(), 14);
        // The box draws this colour as transparent because it is the bottom-left pixel.
        EXPECT_EQ(g->GetPixel(0, 13), kGlyphTransparentColor);
        EXPECT_EQ(kGlyphTransparentColor, ColorRGB(128, 128, 0));
        // A 13 x 12 box at the left: white top and left, grey bottom and right.
        EXPECT_EQ(g->GetPixel(0, 1), clWhite);
        EXPECT_EQ(g->GetPixel(1, 1), clWhite);
        EXPECT_EQ(g->GetPixel(0, 6), clWhite);
        EXPECT_EQ(g->GetPixel(6, 12), clGray);
        EXPECT_EQ(g->GetPixel(12, 6), clGray);
        EXPECT_EQ(g->GetPixel(1, 11), clSilver);
        EXPECT_EQ(g->GetPixel(13, 12), kGlyphTransparentColor);
    }
    EXPECT_EQ(ColorsIn(unchecked, unchecked.BoundsRect()),
              (std::set<TColor>{kGlyphTransparentColor, clWhite, clSilver, clGray}));
    // The check mark's stroke leaves the box to the right; the question mark stays inside.
    auto blueColumns = [](const Bitmap& g) {
        std::set<int> columns;
        for (int y = 0; y < g.Height(); ++y) {
            for (int x = 0; x < g.Width(); ++x) {
                if (g.GetPixel(x, y) == clBlue) columns.insert(x);
            }
        }
        return columns;
    };
    const std::set<int> check = blueColumns(checked);
    ASSERT_FALSE(check.empty());
    EXPECT_GT(*check.rbegin(), 13);
    EXPECT_LT(*check.begin(), 6);
    const std::set<int> question = blueColumns(grayed);
    ASSERT_FALSE(question.empty());
    EXPECT_GT(*question.begin(), 0);
    EXPECT_LT(*question.rbegin(), 12);
}

TEST(Skin, IconIsSixteenColoursWithATransparentKey) {
    const Bitmap icon = LoadSkinPicture(SkinPicture::Icon);
    for (TPoint p : {TPoint{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
        EXPECT_EQ(icon.GetPixel(p.X, p.Y), kIconTransparentColor);
    }
    EXPECT_NE(icon.GetPixel(16, 16), kIconTransparentColor);
    const std::set<TColor> standard = {clBlack, clMaroon,  clGreen,  clOlive, clNavy, clPurple,
                                       clTeal,  clGray,    clSilver, clRed,   clLime, clYellow,
                                       clBlue,  clFuchsia, clAqua,   clWhite};
    for (TColor c : ColorsIn(icon, icon.BoundsRect()))
        EXPECT_TRUE(standard.count(c)) << std::hex << c;
    // The rim is what a tray of 16 pixels still shows: green on-line, else yellow.
    EXPECT_EQ(icon.GetPixel(15, 2), clYellow);
    EXPECT_EQ(LoadSkinPicture(SkinPicture::IconOnline).GetPixel(15, 2), clLime);
}

// The committed files must be what the generator draws now: a change to the drawing code
// without running skingen again fails here.
TEST(Skin, CommittedFilesAreWhatTheGeneratorDrawsNow) {
    for (SkinPicture picture : kAll) {
        const SkinPictureInfo& info = SkinInfo(picture);
        SCOPED_TRACE(std::string(info.Name));
        const Bitmap drawn = DrawSkinPicture(picture);
        EXPECT_TRUE(SamePixels(LoadSkinPicture(picture), drawn));
        const std::vector<std::uint8_t> png = EncodePng(drawn);
        EXPECT_TRUE(testing::ReadText(SkinFolder() + std::string(info.FileName)) ==
                    std::string(png.begin(), png.end()))
            << "run skingen to regenerate " << info.FileName;
    }
    EXPECT_TRUE(testing::ReadText(SkinFolder() + "skin_data.cpp") == SkinDataSource())
        << "run skingen to regenerate skin_data.cpp";
}

TEST(Skin, DesktopIconsAreTransparentOutsideTheDialInEverySize) {
    for (const int size : kThemeIconSizes) {
        SCOPED_TRACE(size);
        const IconImage icon = DrawIconImage(size);
        ASSERT_EQ(icon.Argb.size(), static_cast<size_t>(size * size));
        const auto at = [&](int x, int y) { return icon.Argb[static_cast<size_t>(y * size + x)]; };
        // The corners let the desktop through, whatever its colour; no key colour is left.
        for (TPoint p : {TPoint{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(at(p.X, p.Y) >> 24, 0u);
        EXPECT_EQ(at(size / 2, size / 2) >> 24, 0xFFu);
        for (std::uint32_t p : icon.Argb) {
            if (p >> 24) {
                EXPECT_NE(p & 0xFFFFFF, PixelFromRGB(kIconTransparentColor) & 0xFFFFFF);
            }
        }
        const std::vector<std::uint8_t> png = EncodePngRgba(icon.Argb, size, size);
        EXPECT_TRUE(testing::ReadText(SkinFolder() + "icons/" + ThemeIconFileName(size)) ==
                    std::string(png.begin(), png.end()))
            << "run skingen to regenerate " << ThemeIconFileName(size);
    }
}

TEST(Skin, WindowsIconHoldsEverySizeWithAMaskOfTheTransparentPixels) {
    std::vector<IconImage> images;
    for (const int size : kIcoSizes) images.push_back(DrawIconImage(size));
    const std::vector<std::uint8_t> ico = EncodeIco(images);
    const auto u16 = [&](size_t at) { return ico[at] | (ico[at + 1] << 8); };
    const auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    ASSERT_EQ(u16(2), 1);  // an icon
    ASSERT_EQ(u16(4), static_cast<int>(std::size(kIcoSizes)));
    for (size_t i = 0; i < std::size(kIcoSizes); ++i) {
        const int size = kIcoSizes[i];
        SCOPED_TRACE(size);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(ico[entry], size);
        const size_t image = static_cast<size_t>(u32(entry + 12));
        EXPECT_EQ(u32(image + 8), 2 * size);  // colour and mask
        EXPECT_EQ(u16(image + 14), 32);
        // The mask follows the colour rows, bottom row first: the corners are set, the middle
        // clear, and the colour under a set bit is fully transparent.
        const size_t mask = image + 40 + static_cast<size_t>(size * size) * 4;
        const size_t stride = static_cast<size_t>((size + 31) / 32 * 4);
        EXPECT_TRUE(ico[mask] & 0x80);                        // bottom-left
        EXPECT_TRUE(ico[mask + stride * (size - 1)] & 0x80);  // top-left
        const size_t middle = mask + stride * static_cast<size_t>(size / 2) + size / 2 / 8;
        EXPECT_FALSE(ico[middle] & (0x80 >> (size / 2 % 8)));
        EXPECT_EQ(ico[image + 40 + 3], 0);  // alpha of the bottom-left pixel
    }
    EXPECT_TRUE(testing::ReadText(SkinFolder() + "icons/taktomat.ico") ==
                std::string(ico.begin(), ico.end()))
        << "run skingen to regenerate taktomat.ico";
}

}  // namespace
}  // namespace tt
