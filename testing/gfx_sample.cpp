// Draws one sheet of everything the canvas can do and writes it as a PNG at 4x, to be looked
// at after a change to the font or the primitives: gfx_sample out.png
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>

#include "toolkit/gfx/canvas.h"
#include "toolkit/gfx/image_list.h"
#include "toolkit/gfx/png.h"

using namespace tt;

namespace {

void Texts(Canvas& c) {
    const char* lines[] = {"Taktomat 2000: 00:12:34, Impulsy: 5, Koszt 1,45 zł",
                           "Zażółć gęślą jaźń. ZAŻÓŁĆ GĘŚLĄ JAŹŃ.",
                           "!\"#$%&'()*+,-./0123456789:;<=>?@[\\]^_`{|}~",
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz"};
    c.Brush().Style = TBrushStyle::bsClear;
    c.Font().Color = ColorRGB(255, 255, 128);
    int y = 4;
    for (bool bold : {false, true}) {
        for (const char* line : lines) {
            c.Font().Bold = bold;
            c.DrawTextAt(4, y, line);
            y += c.TextHeight(line);
        }
    }
    c.Font().Name = "Courier New";
    c.Font().Bold = true;
    c.DrawTextAt(4, y, "TAKTOMAT 2000 (Courier New, bold)");
    y += 13;
    c.Font() = TFont{};
    c.Font().Color = clWhite;
    c.Font().Height = -22;
    c.DrawTextAt(4, y, "Duży: Zażółć 0123");
    c.Font().Bold = true;
    c.DrawTextAt(200, y, "Gruby ĄĘŁ");
    y += 26;
    c.Font() = TFont{};
    c.Font().Color = clYellow;
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = clNavy;
    c.DrawTextLine({4, y, 120, y + 17}, "&Opcje && więcej", TextPrefix::Accelerator);
    c.DrawTextLine({130, y, 160, y + 17}, "obcięty tekst", TextPrefix::None);
    c.DrawFocusRect({128, y, 162, y + 17});
}

void Shapes(Canvas& c, int top) {
    c.Pen().Color = clBlack;
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = clWhite;
    c.Ellipse(4, top, 44, top + 30);
    for (int i = 0; i < 3; ++i) {
        const int left = 50 + i * 36;
        const double a = ((i + 1) * 25 * 0.02 + 0.5) * std::numbers::pi;
        const int mx = 16, my = 16;
        c.Brush().Color = clWhite;
        c.Ellipse(left, top, left + 33, top + 33);
        c.Brush().Color = clRed;
        c.Pie(left, top, left + 33, top + 33,
              left + static_cast<int>(std::lround(mx * (1 - std::cos(a)))),
              top + static_cast<int>(std::lround(my * (1 - std::sin(a)))), left + mx, top);
    }
    c.Brush().Color = clLime;
    c.Rectangle(160, top, 190, top + 20);
    c.Brush().Color = clBlue;
    c.FrameRect({195, top, 225, top + 20});
    c.Pen().Color = clYellow;
    for (int i = 0; i < 8; ++i) {
        c.MoveTo(240, top + 16);
        c.LineTo(240 + static_cast<int>(16 * std::cos(i * std::numbers::pi / 4)),
                 top + 16 - static_cast<int>(16 * std::sin(i * std::numbers::pi / 4)));
    }
}

// A gauge as the meter composes it: black frame, bar, inverted percentage.
void Gauge(Canvas& c, int left, int top) {
    Bitmap image(137, 13);
    Canvas& ic = image.GetCanvas();
    ic.BitBlt(0, 0, 137, 13, image, 0, 0, TRasterOp::Blackness);
    Bitmap overlay(137, 13);
    Canvas& oc = overlay.GetCanvas();
    oc.BitBlt(0, 0, 137, 13, overlay, 0, 0, TRasterOp::Blackness);
    oc.Brush().Color = clBlue;
    oc.FillRect({1, 1, 136, 12});
    oc.Brush().Color = clYellow;
    oc.FillRect({1, 1, 68, 12});
    ic.BitBlt(0, 0, 137, 13, overlay, 0, 0, TRasterOp::SrcInvert);
    Bitmap text(137, 13);
    Canvas& tc = text.GetCanvas();
    tc.BitBlt(0, 0, 137, 13, text, 0, 0, TRasterOp::Blackness);
    tc.Brush().Style = TBrushStyle::bsClear;
    tc.Font().Color = clWhite;
    tc.DrawTextAt((135 - tc.TextWidth("49%")) / 2, 0, "49%");
    ic.BitBlt(0, 0, 137, 13, text, 0, 0, TRasterOp::SrcInvert);
    c.Draw(left, top, image);
}

void Copies(Canvas& c, int top) {
    Bitmap glyph(19, 14);
    Canvas& g = glyph.GetCanvas();
    g.Brush().Color = clOlive;
    g.FillRect(glyph.BoundsRect());
    g.Pen().Color = clWhite;
    g.Brush().Color = clSilver;
    g.Rectangle(0, 1, 13, 13);
    g.Pen().Color = clBlue;
    g.MoveTo(3, 6);
    g.LineTo(6, 10);
    g.LineTo(16, 0);
    c.Brush().Color = ColorRGB(0, 0, 64);
    c.BrushCopy(4, top, glyph, glyph.BoundsRect(), clOlive);
    c.TransparentDraw(30, top, glyph, glyph.BoundsRect(), clOlive);
    c.StretchDraw({60, top, 98, top + 28}, glyph);
    c.StretchDraw({104, top, 117, top + 9}, glyph);

    ImageList cells(10, 12);
    Bitmap strip(40, 12);
    for (int i = 0; i < 4; ++i) {
        strip.GetCanvas().Brush().Color = ColorRGB(60 * i, 255 - 60 * i, 128);
        strip.GetCanvas().FillRect({i * 10, 0, i * 10 + 10, 12});
        strip.GetCanvas().Brush().Style = TBrushStyle::bsClear;
        strip.GetCanvas().Font().Color = clBlack;
        strip.GetCanvas().DrawTextAt(i * 10 + 3, 0, std::to_string(i));
        strip.GetCanvas().Brush().Style = TBrushStyle::bsSolid;
    }
    cells.Add(strip);
    for (int i = 0; i < 4; ++i) cells.Draw(c, 130 + i * 12, top, 3 - i);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gfx_sample OUT.png\n");
        return 2;
    }
    Bitmap sheet(320, 300);
    Canvas& c = sheet.GetCanvas();
    c.Brush().Color = ColorRGB(0, 0, 66);
    c.FillRect(sheet.BoundsRect());
    Texts(c);
    Shapes(c, 185);
    Gauge(c, 4, 225);
    Copies(c, 245);
    try {
        WritePng(sheet, argv[1], 4);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
