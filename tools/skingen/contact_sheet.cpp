#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/gfx/canvas.h"
#include "tools/skingen/skin_art.h"

namespace tt {

namespace {

constexpr int kZoom = 4;
constexpr int kMargin = 16;
constexpr TColor kGround = ColorRGB(150, 150, 150);
constexpr TColor kLabelInk = ColorRGB(16, 16, 16);
constexpr TColor kTick = ColorRGB(90, 90, 90);
constexpr TColor kWindowText = ColorRGB(255, 255, 128);

void Fill(Canvas& canvas, const TRect& rect, TColor color) {
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = color;
    canvas.FillRect(rect);
}

void Label(Canvas& canvas, int x, int y, std::string_view text, TColor color,
           const char* face = "MS Sans Serif", bool bold = false) {
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.Font() = TFont{};
    canvas.Font().Name = face;
    canvas.Font().Bold = bold;
    canvas.Font().Color = color;
    canvas.DrawTextAt(x, y, text);
}

// One cell of a strip, as an image list draws it.
void DrawCell(Canvas& canvas, int x, int y, const Bitmap& strip, int cellWidth, int index) {
    canvas.BitBlt(x, y, cellWidth, strip.Height(), strip, index * cellWidth, 0, TRasterOp::SrcCopy);
}

// A bar of buttons with one of them in `state` (0 none, 1 highlighted, 2 pressed).
void DrawBar(Canvas& canvas, int x, int y, const Bitmap& strip, int cellWidth, int active,
             int state) {
    const int buttons = strip.Width() / cellWidth / 3;
    for (int i = 0; i < buttons; ++i) {
        DrawCell(canvas, x + i * cellWidth, y, strip, cellWidth, 3 * i + (i == active ? state : 0));
    }
}

// Digits and changer the way a counter composes them.
void DrawCounter(Canvas& canvas, int x, int y, const Bitmap& digits, std::string_view text,
                 int changerCell) {
    for (char c : text) {
        const int cell = c == '-' ? 15 : c == '+' ? 14 : c == ',' ? 16 : c - '0';
        DrawCell(canvas, x, y, digits, 10, cell);
        x += 10;
    }
    if (changerCell >= 0) DrawCell(canvas, x, y, digits, 10, changerCell);
}

// A horizontal gauge with a single black frame.
void DrawGauge(Canvas& canvas, const TRect& r, TColor fore, TColor back, int percent) {
    Fill(canvas, r, clBlack);
    const TRect inside{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    Fill(canvas, inside, back);
    Fill(canvas,
         {inside.Left, inside.Top, inside.Left + inside.Width() * percent / 100, inside.Bottom},
         fore);
}

void DrawCheckBox(Canvas& canvas, int x, int y, int width, int height, const Bitmap& glyph) {
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = kSkinFieldColor;
    const int glyphWidth = std::min(width, glyph.Width());
    canvas.BrushCopy(x, y + (height - glyph.Height()) / 2, glyph,
                     {0, 0, glyphWidth, glyph.Height()}, glyph.GetPixel(0, glyph.Height() - 1));
}

Bitmap MainWindow(int height, bool rolled) {
    const Bitmap background = DrawSkinPicture(SkinPicture::Image1);
    const Bitmap commands = DrawSkinPicture(SkinPicture::Image2);
    const Bitmap window = DrawSkinPicture(SkinPicture::Image4);
    const Bitmap shade = DrawSkinPicture(SkinPicture::Image3);
    Bitmap form(275, height);
    Canvas& canvas = form.GetCanvas();
    canvas.StretchDraw(form.BoundsRect(), background);
    DrawCheckBox(canvas, 8, 4, 14, 16, DrawSkinPicture(SkinPicture::Checked));
    DrawGauge(canvas, Bounds(24, 8, 137, 9), clYellow, clBlue, 50);
    Label(canvas, 165, 6, "00:12:34", kWindowText);
    if (rolled) {
        DrawBar(canvas, 211, 7, shade, 20, 1, 1);
        return form;
    }
    DrawGauge(canvas, Bounds(8, 27, 153, 9), ColorRGB(0, 128, 255), clNavy, 30);
    Label(canvas, 165, 25, "Impulsy: 12", kWindowText);
    Label(canvas, 74, 64, "TAKTOMAT 2000", kWindowText, "Courier New", true);
    DrawBar(canvas, 8, 43, commands, 25, 3, 1);
    DrawBar(canvas, 192, 43, window, 25, 2, 2);
    return form;
}

// The limits window's kind of content: labels, counters in every changer state, OK/Anuluj.
Bitmap LimitsWindow() {
    const Bitmap digits = DrawSkinPicture(SkinPicture::Image6);
    Bitmap form(275, 80);
    Canvas& canvas = form.GetCanvas();
    canvas.StretchDraw(form.BoundsRect(), DrawSkinPicture(SkinPicture::Image1));
    Label(canvas, 8, 11, "MAX IMP/P", kWindowText);
    DrawCounter(canvas, 64, 8, digits, "0120", 10);
    Label(canvas, 8, 33, "MAX IMP/D", kWindowText);
    DrawCounter(canvas, 64, 30, digits, "0360", 11);
    Label(canvas, 140, 11, "MAX IMP/M", kWindowText);
    DrawCounter(canvas, 196, 8, digits, "04567", 12);
    Label(canvas, 140, 33, "OODL", kWindowText);
    DrawCounter(canvas, 196, 30, digits, "-,+9", 13);
    Label(canvas, 8, 57, "Opóźnienie", kWindowText);
    DrawBar(canvas, 200, 52, DrawSkinPicture(SkinPicture::Image5), 35, 0, 1);
    return form;
}

// The icon as a tray of 16 x 16 shows it: each pixel the mean of a 2 x 2 block.
Bitmap HalfSize(const Bitmap& icon) {
    Bitmap half(icon.Width() / 2, icon.Height() / 2);
    for (int y = 0; y < half.Height(); ++y) {
        for (int x = 0; x < half.Width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int i = 0; i < 4; ++i) {
                TColor c = icon.GetPixel(2 * x + i % 2, 2 * y + i / 2);
                if (c == kIconTransparentColor) c = ColorRGB(212, 208, 200);  // a taskbar grey
                r += static_cast<int>(c & 0xFF);
                g += static_cast<int>((c >> 8) & 0xFF);
                b += static_cast<int>((c >> 16) & 0xFF);
            }
            half.SetPixel(x, y, ColorRGB(r / 4, g / 4, b / 4));
        }
    }
    return half;
}

struct Item {
    std::string caption;
    std::vector<Bitmap> pictures;  // side by side
    int zoom = kZoom;
    int cellWidth = 0;  // ticks over the cell borders when set
};

}  // namespace

Bitmap DrawContactSheet() {
    std::vector<Item> items;
    for (int i = 0; i < kSkinPictureCount; ++i) {
        const auto picture = static_cast<SkinPicture>(i);
        if (picture == SkinPicture::Checked || picture == SkinPicture::Grayed ||
            picture == SkinPicture::Unchecked || picture == SkinPicture::Icon) {
            continue;
        }
        const SkinPictureInfo& info = SkinInfo(picture);
        items.push_back({std::string(info.Name) + "  " + std::to_string(info.Width) + " x " +
                             std::to_string(info.Height) + ", " + std::to_string(info.CellCount()) +
                             " cells of " + std::to_string(info.CellWidth) + " x " +
                             std::to_string(info.CellHeight),
                         {DrawSkinPicture(picture)},
                         kZoom,
                         info.CellCount() > 1 ? info.CellWidth : 0});
    }
    items.push_back({"CHECKED, GRAYED, UNCHECKED  19 x 14; icon 32 x 32 and averaged to 16 x 16",
                     {DrawSkinPicture(SkinPicture::Checked), DrawSkinPicture(SkinPicture::Grayed),
                      DrawSkinPicture(SkinPicture::Unchecked), DrawSkinPicture(SkinPicture::Icon),
                      HalfSize(DrawSkinPicture(SkinPicture::Icon))}});
    items.push_back({"Main window: full, rolled up; limits window (1x)",
                     {MainWindow(80, false), MainWindow(25, true), LimitsWindow()},
                     1});
    items.push_back({"Main window (4x)", {MainWindow(80, false)}});
    items.push_back({"Rolled up (4x)", {MainWindow(25, true)}});
    items.push_back({"Limits window (4x)", {LimitsWindow()}});

    constexpr int kCaption = 18;
    int width = 0;
    int height = kMargin;
    for (const Item& item : items) {
        int row = 0;
        int tallest = 0;
        for (const Bitmap& p : item.pictures) {
            row += p.Width() * item.zoom + kMargin;
            tallest = std::max(tallest, p.Height() * item.zoom);
        }
        width = std::max(width, row + kMargin);
        height += kCaption + 6 + tallest + kMargin;
    }

    Bitmap sheet(width, height);
    Canvas& canvas = sheet.GetCanvas();
    Fill(canvas, sheet.BoundsRect(), kGround);
    int y = kMargin;
    for (const Item& item : items) {
        Label(canvas, kMargin, y, item.caption, kLabelInk);
        y += kCaption;
        int x = kMargin;
        int tallest = 0;
        for (const Bitmap& p : item.pictures) {
            if (item.cellWidth > 0) {
                for (int cx = 0; cx <= p.Width(); cx += item.cellWidth) {
                    Fill(canvas, Bounds(x + cx * item.zoom - 1, y, 2, 5), kTick);
                }
            }
            canvas.StretchDraw(Bounds(x, y + 6, p.Width() * item.zoom, p.Height() * item.zoom), p);
            x += p.Width() * item.zoom + kMargin;
            tallest = std::max(tallest, p.Height() * item.zoom);
        }
        y += 6 + tallest + kMargin;
    }
    return sheet;
}

}  // namespace tt
