#include "toolkit/gfx/font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/gfx/canvas.h"

namespace tt {
namespace {

const std::vector<std::string>& AllLetters() {
    static const std::vector<std::string> letters = [] {
        std::vector<std::string> v;
        for (char c = 0x20; c < 0x7F; ++c) v.emplace_back(1, c);
        for (const char* p : {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż", "Ą", "Ć", "Ę", "Ł", "Ń",
                              "Ó", "Ś", "Ź", "Ż"}) {
            v.emplace_back(p);
        }
        return v;
    }();
    return letters;
}

// The text drawn in black on white, in a bitmap just big enough for its cell.
Bitmap Render(std::string_view text, const TFont& font) {
    Bitmap measure(1, 1);
    measure.GetCanvas().Font() = font;
    const TSize extent = measure.GetCanvas().TextExtent(text);
    Bitmap b(std::max(extent.Width, 1), extent.Height);
    Canvas& c = b.GetCanvas();
    c.Font() = font;
    c.Font().Color = clBlack;
    c.Brush().Style = TBrushStyle::bsClear;
    c.DrawTextAt(0, 0, text);
    return b;
}

bool SamePicture(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
        }
    }
    return true;
}

int InkCount(const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) n += b.GetPixel(x, y) == clBlack;
    }
    return n;
}

TEST(BuiltinFont, WidthsOfTheMainWindowTexts) {
    Bitmap b(1, 1);
    Canvas& c = b.GetCanvas();
    EXPECT_EQ(c.TextHeight("x"), 13);
    EXPECT_EQ(c.TextHeight(""), 13);
    EXPECT_EQ(c.TextWidth(""), 0);
    // Digits share one width, so a running time does not jitter.
    EXPECT_EQ(c.TextWidth("00:00:00"), 34);
    EXPECT_EQ(c.TextWidth("11:11:11"), 34);
    EXPECT_EQ(c.TextWidth("Impulsy: 0"), 42);

    c.Font().Bold = true;
    EXPECT_EQ(c.TextWidth("ab"), 12);
    c.Font().Name = "Courier New";
    EXPECT_EQ(c.TextWidth("TAKTOMAT 2000"), 13 * 8);
    EXPECT_EQ(c.TextWidth("i"), c.TextWidth("W"));

    c.Font() = TFont{};
    c.Font().Height = -22;
    EXPECT_EQ(c.TextHeight("x"), 26);
    EXPECT_EQ(c.TextWidth("0"), 10);
    c.Font().Height = 0;
    EXPECT_EQ(c.TextHeight("x"), 13);
}

// Names and characters are looked up through caches; switching between faces and reaching
// past the cached range must still measure each text by its own face.
TEST(BuiltinFont, AlternatingFacesAndCharactersWithoutGlyphsMeasureByTheirOwnFace) {
    Bitmap b(1, 1);
    Canvas& c = b.GetCanvas();
    const auto width = [&](const char* name, const char* text) {
        c.Font().Name = name;
        return c.TextWidth(text);
    };
    const int fixed = width("Courier New", "iii");
    const int proportional = width("MS Sans Serif", "iii");
    ASSERT_NE(fixed, proportional);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(width("Lucida Console", "iii"), fixed);
        EXPECT_EQ(width("Arial", "iii"), proportional);
        EXPECT_EQ(width("COURIER", "iii"), fixed);
    }
    // A control character is skipped; one with no glyph takes the replacement box, in and
    // outside the ASCII range alike.
    c.Font() = TFont{};
    EXPECT_EQ(c.TextWidth("a\tb"), c.TextWidth("ab"));
    const int box = c.TextWidth("\xEF\xBF\xBD");
    EXPECT_GT(box, 0);
    EXPECT_EQ(c.TextWidth("\x7F"), box);
    EXPECT_EQ(c.TextWidth("\xE2\x98\x83"), box);
}

// Drawing into a clip must give exactly the unclipped picture cut to the clip, for the bold
// face's extra column and for glyphs cut on either side alike.
TEST(BuiltinFont, ClippedGlyphsAreTheUnclippedPictureCutToTheClip) {
    FontEngine& engine = BuiltinFontEngine();
    for (const bool bold : {false, true}) {
        for (const int height : {-11, -22}) {
            TFont font;
            font.Bold = bold;
            font.Height = height;
            const std::string_view text = "Wm1%";
            Bitmap whole(60, 30);
            engine.DrawGlyphs(whole, whole.BoundsRect(), 3, 2, font, text, clBlack);
            for (int left = 0; left < 40; left += 3) {
                const TRect clip{left, 4, left + 7, 20};
                Bitmap cut(60, 30);
                engine.DrawGlyphs(cut, clip, 3, 2, font, text, clBlack);
                for (int y = 0; y < 30; ++y) {
                    for (int x = 0; x < 60; ++x) {
                        const TColor want = clip.Contains({x, y}) ? whole.GetPixel(x, y) : clWhite;
                        ASSERT_EQ(cut.GetPixel(x, y), want)
                            << bold << " " << height << " clip " << left << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(BuiltinFont, SizeInPoints) {
    TFont f;
    EXPECT_EQ(f.Size(), 8);
    f.SetSize(12);
    EXPECT_EQ(f.Height, -16);
    f.SetSize(8);
    EXPECT_EQ(f.Height, -11);
}

TEST(BuiltinFont, EveryGlyphStaysInsideItsCell) {
    for (int height : {-11, -22}) {
        for (bool bold : {false, true}) {
            TFont font;
            font.Height = height;
            font.Bold = bold;
            for (const std::string& letter : AllLetters()) {
                Bitmap big(80, 80);
                Canvas& c = big.GetCanvas();
                c.Font() = font;
                c.Font().Color = clBlack;
                c.Brush().Style = TBrushStyle::bsClear;
                const TSize extent = c.TextExtent(letter);
                c.DrawTextAt(20, 20, letter);
                int ink = 0;
                for (int y = 0; y < big.Height(); ++y) {
                    for (int x = 0; x < big.Width(); ++x) {
                        if (big.GetPixel(x, y) != clBlack) continue;
                        ++ink;
                        EXPECT_TRUE(x >= 20 && x < 20 + extent.Width && y >= 20 &&
                                    y < 20 + extent.Height)
                            << letter << " at " << x << "," << y << " height " << height;
                    }
                }
                if (letter != " ") {
                    EXPECT_GT(ink, 0) << letter;
                }
            }
        }
    }
}

TEST(BuiltinFont, PolishLettersHaveGlyphsOfTheirOwn) {
    const TFont font;
    const Bitmap missing = Render("\xEF\xBF\xBD", font);  // what an unknown letter shows
    const std::pair<const char*, const char*> pairs[] = {
        {"ą", "a"}, {"ć", "c"}, {"ę", "e"}, {"ł", "l"}, {"ń", "n"}, {"ó", "o"},
        {"ś", "s"}, {"ź", "z"}, {"ż", "z"}, {"Ą", "A"}, {"Ć", "C"}, {"Ę", "E"},
        {"Ł", "L"}, {"Ń", "N"}, {"Ó", "O"}, {"Ś", "S"}, {"Ź", "Z"}, {"Ż", "Z"}};
    for (const auto& [polish, base] : pairs) {
        const Bitmap p = Render(polish, font);
        EXPECT_FALSE(SamePicture(p, missing)) << polish;
        EXPECT_FALSE(SamePicture(p, Render(base, font))) << polish;
    }
    EXPECT_FALSE(SamePicture(Render("ź", font), Render("ż", font)));
    EXPECT_TRUE(SamePicture(Render("\xE2\x82\xAC", font), missing));  // the euro sign is not in
}

TEST(BuiltinFont, MalformedUtf8CostsOneCharacterAndNoMore) {
    Bitmap b(1, 1);
    Canvas& c = b.GetCanvas();
    const int box = c.TextWidth("\xEF\xBF\xBD");
    const int a = c.TextWidth("a");
    const int bw = c.TextWidth("b");
    EXPECT_EQ(c.TextWidth("a\xFF"
                          "b"),
              a + box + bw);
    EXPECT_EQ(c.TextWidth("a\xC5"), a + box);     // cut short at the end
    EXPECT_EQ(c.TextWidth("\xC0\xAF"), 2 * box);  // overlong "/"
    EXPECT_EQ(c.TextWidth("\xED\xA0\x80"
                          "b"),
              3 * box + bw);                   // a surrogate
    EXPECT_EQ(c.TextWidth("a\r\nb"), a + bw);  // control characters take no room
}

TEST(Prefix, AmpersandsAreParsedLikeTheDialogsDo) {
    PrefixedText p = ParsePrefix("&Opcje");
    EXPECT_EQ(p.Text, "Opcje");
    EXPECT_EQ(p.UnderlineStart, 0u);
    EXPECT_EQ(p.UnderlineLength, 1u);

    p = ParsePrefix("Tom && Jerry &x&y");
    EXPECT_EQ(p.Text, "Tom & Jerry xy");
    EXPECT_EQ(p.UnderlineStart, 12u);

    p = ParsePrefix("za&łóż");
    EXPECT_EQ(p.Text, "załóż");
    EXPECT_EQ(p.UnderlineStart, 2u);
    EXPECT_EQ(p.UnderlineLength, 2u);

    p = ParsePrefix("koniec&");
    EXPECT_EQ(p.Text, "koniec");
    EXPECT_EQ(p.UnderlineLength, 0u);
}

TEST(Canvas, TextLineIsCentredClippedAndUnderlinesTheAccelerator) {
    Bitmap b(40, 17);
    Canvas& c = b.GetCanvas();
    c.Font().Color = clBlack;
    c.Brush().Style = TBrushStyle::bsClear;
    const int width = c.DrawTextLine({2, 0, 40, 17}, "&Hi", TextPrefix::Accelerator);
    EXPECT_EQ(width, c.TextWidth("Hi"));
    // Cell of 13 rows centred in 17: top at row 2, so the H (rows 3-10) spans rows 5-12.
    EXPECT_EQ(b.GetPixel(2, 4), clWhite);
    EXPECT_EQ(b.GetPixel(2, 5), clBlack);
    EXPECT_EQ(b.GetPixel(2, 12), clBlack);
    // The underline one row below the baseline gap, as wide as the H's advance only.
    for (int x = 2; x < 8; ++x) EXPECT_EQ(b.GetPixel(x, 14), clBlack) << x;
    EXPECT_EQ(b.GetPixel(8, 14), clWhite);
    EXPECT_EQ(b.GetPixel(2, 13), clWhite);

    // Without prefix handling the ampersand is a letter of its own.
    Bitmap plain(40, 17);
    Canvas& p = plain.GetCanvas();
    EXPECT_EQ(p.DrawTextLine({0, 0, 40, 17}, "a&&b", TextPrefix::None), p.TextWidth("a&&b"));

    // A text longer than its rectangle is cut at the rectangle's edge, not beyond.
    Bitmap cut(30, 13);
    Canvas& k = cut.GetCanvas();
    k.Font().Color = clBlack;
    k.Brush().Color = clYellow;
    k.DrawTextLine({0, 0, 10, 13}, "MMMMMM", TextPrefix::None);
    for (int y = 0; y < 13; ++y) {
        for (int x = 10; x < 30; ++x) EXPECT_EQ(cut.GetPixel(x, y), clWhite);
    }
    EXPECT_EQ(cut.GetPixel(9, 0), clYellow);  // opaque background within the rectangle
}

TEST(Canvas, TextRectDrawsNothingOutsideItsRectangle) {
    Bitmap b(30, 15);
    Canvas& c = b.GetCanvas();
    c.Brush().Color = clNavy;
    c.Font().Color = clYellow;
    c.TextRect({3, 2, 8, 9}, 1, 0, "MM");
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 3 && x < 8 && y >= 2 && y < 9;
            if (!inside) {
                EXPECT_EQ(b.GetPixel(x, y), clWhite) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(b.GetPixel(3, 2), clNavy);
    EXPECT_EQ(b.GetPixel(7, 3), clYellow);  // the M's right stroke, x = 1 + 6
}

TEST(Canvas, OpaqueTextFillsItsCellTransparentTextDoesNot) {
    Bitmap b(30, 15);
    Canvas& c = b.GetCanvas();
    c.Brush().Color = clNavy;
    c.Font().Color = clYellow;
    c.DrawTextAt(1, 1, "ab");
    const int w = c.TextWidth("ab");
    EXPECT_EQ(b.GetPixel(1, 1), clNavy);
    EXPECT_EQ(b.GetPixel(w, 13), clNavy);
    EXPECT_EQ(b.GetPixel(w + 1, 13), clWhite);
    EXPECT_EQ(b.GetPixel(1, 14), clWhite);

    Bitmap t(30, 15);
    t.GetCanvas().Brush().Style = TBrushStyle::bsClear;
    t.GetCanvas().Font().Color = clYellow;
    t.GetCanvas().DrawTextAt(1, 1, "ab");
    EXPECT_EQ(t.GetPixel(1, 1), clWhite);
    EXPECT_GT(InkCount(Render("ab", TFont{})), 0);
}

TEST(FontEngine, ABackendEngineReplacesTheBuiltInOne) {
    struct Fixed final : FontEngine {
        TFontMetrics Metrics(const TFont&) override { return {20, 16}; }
        int TextWidth(const TFont&, std::string_view text) override {
            return static_cast<int>(text.size()) * 10;
        }
        void DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont&,
                        std::string_view, TColor color) override {
            if (clip.Contains({x, y})) target.SetPixel(x, y, color);
        }
    } fixed;
    SetCurrentFontEngine(&fixed);
    Bitmap b(50, 50);
    Canvas& c = b.GetCanvas();
    EXPECT_EQ(c.TextExtent("abc"), (TSize{30, 20}));
    c.Font().Color = clRed;
    c.Brush().Style = TBrushStyle::bsClear;
    c.DrawTextLine({5, 0, 50, 30}, "x", TextPrefix::None);
    EXPECT_EQ(b.GetPixel(5, 5), clRed);  // (30 - 20) / 2
    SetCurrentFontEngine(nullptr);
    EXPECT_EQ(c.TextHeight("abc"), 13);
}

}  // namespace
}  // namespace tt
