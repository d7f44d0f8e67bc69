#include "tools/skingen/skin_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/gfx/canvas.h"

namespace tt {

namespace {

// Never part of a finished picture except the icon, where it marks the transparent pixels.
constexpr TColor kKey = kIconTransparentColor;

constexpr TColor kLightYellow = ColorRGB(255, 255, 128);
constexpr TColor kRed = ColorRGB(240, 32, 32);
constexpr TColor kGreen = ColorRGB(48, 232, 48);
constexpr TColor kOrange = ColorRGB(255, 140, 0);

void Fill(Bitmap& target, const TRect& rect, TColor color) {
    Canvas& canvas = target.GetCanvas();
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = color;
    canvas.FillRect(rect);
}

// Pixel art in rows separated by "|"; "." leaves the target alone, any other character is
// looked up in `inks`. A character without an ink is a slip in the art and stops the build of
// the skin rather than drawing something unintended.
struct Ink {
    char Symbol;
    TColor Color;
};

void DrawPattern(Bitmap& target, int x, int y, std::string_view art,
                 std::initializer_list<Ink> inks) {
    int row = 0;
    int column = 0;
    for (char c : art) {
        if (c == '|') {
            ++row;
            column = 0;
            continue;
        }
        if (c != '.') {
            const auto ink =
                std::find_if(inks.begin(), inks.end(), [c](const Ink& i) { return i.Symbol == c; });
            if (ink == inks.end()) throw std::logic_error("skin art: no ink for a symbol");
            target.SetPixel(x + column, y + row, ink->Color);
        }
        ++column;
    }
}

void DrawPattern(Bitmap& target, int x, int y, std::string_view art, TColor color) {
    DrawPattern(target, x, y, art, {{'#', color}});
}

struct PointF {
    double X;
    double Y;
};

// Filled by pixel centres with the even-odd rule: crisp edges and no dependence on the order
// of the points.
void FillPolygon(Bitmap& target, const std::vector<PointF>& p, TColor color) {
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            bool inside = false;
            for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
                if ((p[i].Y > py) != (p[j].Y > py) &&
                    px < p[j].X + (py - p[j].Y) * (p[i].X - p[j].X) / (p[i].Y - p[j].Y)) {
                    inside = !inside;
                }
            }
            if (inside) target.SetPixel(x, y, color);
        }
    }
}

enum class Face { Normal, Highlighted, Pressed };
constexpr Face kFaces[] = {Face::Normal, Face::Highlighted, Face::Pressed};

struct FaceLook {
    TColor Body;
    TColor TopLeft;      // bevel
    TColor BottomRight;  // bevel
    TColor Ink;
    TColor Shadow;
    int Shift;  // a pressed face shows its content pushed in
};

FaceLook LookOf(Face face) {
    switch (face) {
        case Face::Normal:
            return {ColorRGB(22, 22, 104), ColorRGB(78, 78, 168), ColorRGB(0, 0, 30),
                    kLightYellow,          ColorRGB(0, 0, 34),    0};
        case Face::Highlighted:
            return {ColorRGB(46, 46, 146),   ColorRGB(124, 124, 214), ColorRGB(4, 4, 52),
                    ColorRGB(255, 255, 184), ColorRGB(8, 8, 64),      0};
        case Face::Pressed:
            return {ColorRGB(8, 8, 70), ColorRGB(0, 0, 22), ColorRGB(62, 62, 146),
                    kLightYellow,       ColorRGB(0, 0, 26), 1};
    }
    return {};
}

// Draws the content of one face on a layer of the cell's size that starts as kKey; `ink` is
// the face's ink colour.
using Content = std::function<void(Bitmap& layer, TColor ink)>;

void DrawButtonCell(Bitmap& strip, int left, int width, int height, Face face,
                    const Content& content) {
    const FaceLook look = LookOf(face);
    const int right = left + width;
    Fill(strip, {left, 0, right, height}, look.Body);
    Fill(strip, {left, 0, right, 1}, look.TopLeft);
    Fill(strip, {left, 0, left + 1, height}, look.TopLeft);
    Fill(strip, {left, height - 1, right, height}, look.BottomRight);
    Fill(strip, {right - 1, 0, right, height}, look.BottomRight);

    Bitmap layer(width, height);
    Fill(layer, layer.BoundsRect(), kKey);
    content(layer, look.Ink);
    // The drop shadow is the content's own outline in a dark colour, one pixel down-right.
    Bitmap shadow = layer;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (shadow.GetPixel(x, y) != kKey) shadow.SetPixel(x, y, look.Shadow);
        }
    }
    Canvas& canvas = strip.GetCanvas();
    canvas.SetClipRect({left + 1, 1, right - 1, height - 1});
    canvas.TransparentDraw(left + look.Shift + 1, look.Shift + 1, shadow, shadow.BoundsRect(),
                           kKey);
    canvas.TransparentDraw(left + look.Shift, look.Shift, layer, layer.BoundsRect(), kKey);
    canvas.ResetClip();
}

// A strip of buttons, three faces each, in the order the bars expect.
Bitmap ButtonStrip(int cellWidth, int cellHeight, const std::vector<Content>& buttons) {
    Bitmap strip(cellWidth * 3 * static_cast<int>(buttons.size()), cellHeight);
    int left = 0;
    for (const Content& content : buttons) {
        for (Face face : kFaces) {
            DrawButtonCell(strip, left, cellWidth, cellHeight, face, content);
            left += cellWidth;
        }
    }
    return strip;
}

// The buttons' letters, drawn here rather than taken from a font so that the artwork never
// changes behind the generator's back. Capitals are 8 rows high from row 0; lower case starts
// at row `top`, descenders go below row 7.
struct Letter {
    char Character;
    int Top;
    std::string_view Art;
};

constexpr Letter kLetters[] = {
    {'A', 0, "..#..|.#.#.|#...#|#...#|#####|#...#|#...#|#...#"},
    {'C', 0, ".###.|#...#|#....|#....|#....|#....|#...#|.###."},
    {'K', 0, "#...#|#..#.|#.#..|##...|##...|#.#..|#..#.|#...#"},
    {'M', 0, "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#|#...#"},
    {'O', 0, ".###.|#...#|#...#|#...#|#...#|#...#|#...#|.###."},
    {'P', 0, "####.|#...#|#...#|####.|#....|#....|#....|#...."},
    {'R', 0, "####.|#...#|#...#|####.|#.#..|#..#.|#...#|#...#"},
    {'X', 0, "#...#|#...#|.#.#.|..#..|..#..|.#.#.|#...#|#...#"},
    {'j', 0, ".#|..|.#|.#|.#|.#|.#|.#|.#|#."},
    {'l', 0, "#|#|#|#|#|#|#|#"},
    {'n', 2, "###.|#..#|#..#|#..#|#..#|#..#"},
    {'u', 2, "#..#|#..#|#..#|#..#|#..#|.###"},
};

const Letter& LetterOf(char c) {
    for (const Letter& letter : kLetters) {
        if (letter.Character == c) return letter;
    }
    throw std::logic_error("skin art: no letter for a character");
}

int LetterWidth(const Letter& letter) {
    return static_cast<int>(letter.Art.find('|'));
}

// Centred on the cell, capitals in the middle eight rows, one pixel between letters.
Content Lettering(std::string_view text) {
    return [text](Bitmap& layer, TColor ink) {
        int width = -1;
        for (char c : text) width += LetterWidth(LetterOf(c)) + 1;
        int x = (layer.Width() - width) / 2;
        const int y = (layer.Height() - 8) / 2;
        for (char c : text) {
            const Letter& letter = LetterOf(c);
            DrawPattern(layer, x, y + letter.Top, letter.Art, ink);
            x += LetterWidth(letter) + 1;
        }
    };
}

// The connect button's bolt: a zigzag that ends in a point, read as a spark running down the
// line. Coordinates are pixel edges within the 25 x 20 cell; `scale` shrinks it about the
// cell's centre, so that it fits inside a ring.
void DrawBolt(Bitmap& layer, TColor ink, double scale) {
    constexpr PointF kBolt[] = {{13, 2}, {7, 11}, {11, 11}, {9, 18}, {17, 8}, {13, 8}, {16, 2}};
    std::vector<PointF> points;
    for (const PointF& p : kBolt) {
        points.push_back({12.5 + (p.X - 12.5) * scale, 10 + (p.Y - 10) * scale});
    }
    FillPolygon(layer, points, ink);
}

Content Bolt() {
    return [](Bitmap& layer, TColor ink) { DrawBolt(layer, ink, 1.0); };
}

Content StruckBolt() {
    return [](Bitmap& layer, TColor ink) {
        DrawBolt(layer, ink, 0.75);
        // A red ring and a bar from top left to bottom right, as on a prohibition sign.
        const double cx = 12.5;
        const double cy = 10.0;
        for (int y = 0; y < layer.Height(); ++y) {
            for (int x = 0; x < layer.Width(); ++x) {
                const double dx = x + 0.5 - cx;
                const double dy = y + 0.5 - cy;
                const double r2 = dx * dx + dy * dy;
                const bool ring = r2 <= 8.4 * 8.4 && r2 >= 6.5 * 6.5;
                const bool bar = r2 < 6.5 * 6.5 && std::abs(dx - dy) <= 1.0;
                if (ring || bar) layer.SetPixel(x, y, kRed);
            }
        }
    };
}

Content Pattern(int x, int y, std::string_view art) {
    return [x, y, art](Bitmap& layer, TColor ink) { DrawPattern(layer, x, y, art, ink); };
}

Bitmap Background() {
    Bitmap bitmap(275, 80);
    Fill(bitmap, bitmap.BoundsRect(), kSkinFrameColor);
    Fill(bitmap, {3, 3, 272, 77}, kSkinFieldColor);
    return bitmap;
}

Bitmap CommandButtons() {
    return ButtonStrip(
        25, 20, {Lettering("OPC"), Lettering("RAP"), Lettering("MAX"), Bolt(), StruckBolt()});
}

constexpr std::string_view kCross25 =
    "##.....##|###...###|.###.###.|..#####..|...###...|..#####..|.###.###.|###...###|##.....##";
constexpr std::string_view kTray25 =
    "....###....|....###....|....###....|....###....|..#######..|...#####...|#...###...#|"
    "#....#....#|#.........#|###########|###########";

Bitmap WindowButtons() {
    return ButtonStrip(
        25, 20,
        {Pattern(8, 9, "#########|#########"), Pattern(7, 4, kTray25), Pattern(8, 5, kCross25)});
}

constexpr std::string_view kTray12 =
    "...##...|...##...|.######.|..####..|#..##..#|#......#|########";
constexpr std::string_view kFramedCross12 =
    "########|#......#|#.#..#.#|#..##..#|#..##..#|#.#..#.#|#......#|########";

Bitmap ShadeButtons() {
    return ButtonStrip(
        20, 12,
        {Pattern(7, 5, "######|######"), Pattern(6, 2, kTray12), Pattern(6, 2, kFramedCross12)});
}

Bitmap ConfirmButtons() {
    return ButtonStrip(35, 20, {Lettering("OK"), Lettering("Anuluj")});
}

// Digits 6 x 11: two-pixel uprights, one-pixel bars, the way a bold bitmap face thickens.
constexpr std::string_view kDigitArt[10] = {
    ".####.|##..##|##..##|##..##|##..##|##..##|##..##|##..##|##..##|##..##|.####.",
    "..##..|.###..|####..|..##..|..##..|..##..|..##..|..##..|..##..|..##..|######",
    ".####.|##..##|....##|....##|...##.|..##..|.##...|##....|##....|##....|######",
    ".####.|##..##|....##|....##|..###.|....##|....##|....##|....##|##..##|.####.",
    "...##.|..###.|.####.|##.##.|##.##.|##.##.|######|...##.|...##.|...##.|...##.",
    "######|##....|##....|##....|#####.|....##|....##|....##|....##|##..##|.####.",
    ".####.|##..##|##....|##....|#####.|##..##|##..##|##..##|##..##|##..##|.####.",
    "######|....##|....##|...##.|...##.|..##..|..##..|..##..|.##...|.##...|.##...",
    ".####.|##..##|##..##|##..##|.####.|##..##|##..##|##..##|##..##|##..##|.####.",
    ".####.|##..##|##..##|##..##|##..##|.#####|....##|....##|....##|##..##|.####.",
};
constexpr int kDigitTop = 5;
constexpr std::string_view kUpArrow = "...##...|..####..|.######.|########";
constexpr std::string_view kDownArrow = "########|.######.|..####..|...##...";

Bitmap Digits() {
    Bitmap strip(170, 20);
    Fill(strip, strip.BoundsRect(), kDigitBackColor);
    for (int d = 0; d < 10; ++d) {
        DrawPattern(strip, d * 10 + 2, kDigitTop, kDigitArt[d], kDigitInkColor);
    }
    // The changer: idle, highlighted, stepping down, stepping up.
    const TColor upInk[4] = {kDigitInkColor, kGreen, kGreen, kOrange};
    const TColor downInk[4] = {kDigitInkColor, kGreen, kOrange, kGreen};
    for (int i = 0; i < 4; ++i) {
        const int left = (10 + i) * 10;
        DrawPattern(strip, left + 1, 4, kUpArrow, upInk[i]);
        DrawPattern(strip, left + 1, 12, kDownArrow, downInk[i]);
    }
    DrawPattern(strip, 142, 7, "..##..|..##..|######|######|..##..|..##..", kDigitInkColor);
    DrawPattern(strip, 152, 9, "######|######", kDigitInkColor);
    DrawPattern(strip, 164, 14, "##|##|.#|#.", kDigitInkColor);
    return strip;
}

// The check box's box: light grey, lit from the top left.
constexpr std::string_view kBoxArt =
    "WWWWWWWWWWWWG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|"
    "WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|WSSSSSSSSSSSG|GGGGGGGGGGGGG";

Bitmap Glyph(SkinPicture picture) {
    Bitmap glyph(19, 14);
    Fill(glyph, glyph.BoundsRect(), kGlyphTransparentColor);
    DrawPattern(glyph, 0, 1, kBoxArt, {{'W', clWhite}, {'S', clSilver}, {'G', clGray}});
    if (picture == SkinPicture::Checked) {
        // The long stroke runs out of the box to the upper right.
        DrawPattern(glyph, 3, 0,
                    ".............##|............##.|...........##..|..........##...|"
                    ".........##....|........##.....|##.....##......|.##...##.......|"
                    "..##.##........|...###.........|....#..........",
                    clBlue);
    } else if (picture == SkinPicture::Grayed) {
        DrawPattern(glyph, 3, 3, ".####.|##..##|....##|...##.|..##..|..##..|......|..##..|..##..",
                    clBlue);
    }
    return glyph;
}

// Doubles pixel art with the Scale2x rule: diagonals come out as smooth slopes instead of
// blocks, and at least half of every 2 x 2 block keeps the original colour, so a tray that
// shows the icon at 16 x 16 gets back close to the art itself.
Bitmap Scale2x(const Bitmap& art) {
    Bitmap big(art.Width() * 2, art.Height() * 2);
    auto at = [&art](int x, int y) {
        x = std::clamp(x, 0, art.Width() - 1);
        y = std::clamp(y, 0, art.Height() - 1);
        return art.GetPixel(x, y);
    };
    for (int y = 0; y < art.Height(); ++y) {
        for (int x = 0; x < art.Width(); ++x) {
            const TColor p = at(x, y), a = at(x, y - 1), b = at(x + 1, y), c = at(x - 1, y),
                         d = at(x, y + 1);
            TColor e0 = p, e1 = p, e2 = p, e3 = p;
            if (b != c && a != d) {
                e0 = c == a ? c : p;
                e1 = a == b ? b : p;
                e2 = d == c ? c : p;
                e3 = b == d ? d : p;
            }
            big.SetPixel(2 * x, 2 * y, e0);
            big.SetPixel(2 * x + 1, 2 * y, e1);
            big.SetPixel(2 * x, 2 * y + 1, e2);
            big.SetPixel(2 * x + 1, 2 * y + 1, e3);
        }
    }
    return big;
}

}  // namespace

namespace {

// A meter's dial: a rim, hour marks, and the needle well into its sweep. Drawn as 16 x 16 pixel
// art, the size a tray shows, in the 16 standard colours.
Bitmap DialArt(TColor rim) {
    Bitmap art(16, 16);
    Fill(art, art.BoundsRect(), kKey);
    DrawPattern(art, 0, 0,
                ".....kkkkkk.....|"
                "...kkyyyyyykk...|"
                "..kyynnnnnnyyk..|"
                ".kynnnnyynnnnyk.|"
                ".kynnnnyynnnnyk.|"
                "kynnnnnnnnnwnnyk|"
                "kynnnnnnnnwnnnyk|"
                "kynyynnnnwnyynyk|"
                "kynyynnnrrnyynyk|"
                "kynnnnnnrrnnnnyk|"
                "kynnnnnnnnnnnnyk|"
                ".kynnnnyynnnnyk.|"
                ".kynnnnyynnnnyk.|"
                "..kyynnnnnnyyk..|"
                "...kkyyyyyykk...|"
                ".....kkkkkk.....",
                {{'k', clBlack}, {'y', rim}, {'n', clNavy}, {'w', clWhite}, {'r', clRed}});
    return art;
}

}  // namespace

// The program's own icon has a yellow rim, the tray's icon while a connection is metered a
// green one: the colour a tray shows plainest, at 16 pixels, in either theme.
Bitmap DrawIconArt() {
    return DialArt(clYellow);
}

Bitmap DrawOnlineIconArt() {
    return DialArt(clLime);
}

Bitmap ScaleArt2x(const Bitmap& art) {
    return Scale2x(art);
}

Bitmap DrawSkinPicture(SkinPicture picture) {
    switch (picture) {
        case SkinPicture::Image1:
            return Background();
        case SkinPicture::Image2:
            return CommandButtons();
        case SkinPicture::Image3:
            return ShadeButtons();
        case SkinPicture::Image4:
            return WindowButtons();
        case SkinPicture::Image5:
            return ConfirmButtons();
        case SkinPicture::Image6:
            return Digits();
        case SkinPicture::Checked:
        case SkinPicture::Grayed:
        case SkinPicture::Unchecked:
            return Glyph(picture);
        case SkinPicture::Icon:
            return Scale2x(DrawIconArt());
        case SkinPicture::IconOnline:
            return Scale2x(DrawOnlineIconArt());
    }
    throw std::invalid_argument("DrawSkinPicture: unknown picture");
}

}  // namespace tt
