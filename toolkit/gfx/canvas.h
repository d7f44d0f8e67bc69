#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/color.h"
#include "toolkit/gfx/font.h"
#include "toolkit/gfx/geometry.h"

namespace tt {

struct TPen {
    TColor Color = clBlack;
    bool operator==(const TPen&) const = default;
};

enum class TBrushStyle : std::uint8_t { bsSolid, bsClear };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
    bool operator==(const TBrush&) const = default;
};

// Block-transfer operations, by the platform's codes.
enum class TRasterOp : std::uint32_t {
    SrcCopy = 0x00CC0020,
    SrcInvert = 0x00660046,  // destination XOR source
    Blackness = 0x00000042,  // source ignored
};

enum class TextPrefix : std::uint8_t {
    None,         // "&" is an ordinary character
    Accelerator,  // "&x" underlines x, "&&" shows "&"
};

// Draws on a Bitmap with the platform's rules: rectangles and copies leave out their right
// column and bottom row, a line leaves out its end point. Coordinates are shifted by the
// origin, and nothing is drawn outside the clip rectangle, so a control can paint on its
// parent's surface at its own place as if the surface were its own.
class Canvas {
  public:
    // Refers to the bitmap, which must stay put while the canvas is used; a bitmap's own
    // canvas (Bitmap::GetCanvas) follows it when the bitmap is moved.
    explicit Canvas(Bitmap& target);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    Bitmap& Target() const { return *target_; }

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    const TPen& Pen() const { return pen_; }
    const TBrush& Brush() const { return brush_; }
    const TFont& Font() const { return font_; }

    // Where drawing coordinate (0, 0) lies in the target.
    TPoint Origin() const { return origin_; }
    void SetOrigin(TPoint origin) { origin_ = origin; }
    // In drawing coordinates. Until set, the clip is the whole target, whatever its size.
    TRect ClipRect() const;
    void SetClipRect(const TRect& rect);
    void IntersectClipRect(const TRect& rect);
    void ResetClip();

    // What a painter changes and its caller wants back.
    class State {
        friend class Canvas;
        TPen pen_;
        TBrush brush_;
        TFont font_;
        TPoint origin_;
        TPoint penPos_;
        bool clipped_ = false;
        TRect clip_;
    };
    State Save() const;
    void Restore(const State& state);

    TPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y);
    // Pen colour, width 1, from the pen position up to but not including (x, y).
    void LineTo(int x, int y);

    // Brush colour; nothing with a clear brush.
    void FillRect(const TRect& rect);
    // A one-pixel border inside rect, in the brush colour.
    void FrameRect(const TRect& rect);
    // Pen outline round (x1, y1)-(x2 - 1, y2 - 1), filled with the brush unless it is clear.
    void Rectangle(int x1, int y1, int x2, int y2);
    // The ellipse in the box (x1, y1)-(x2, y2), outlined and filled like Rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    // A wedge of that ellipse from the ray through (x3, y3) counter-clockwise to the ray
    // through (x4, y4); equal rays give the whole ellipse.
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

    void BitBlt(int x, int y, int width, int height, const Bitmap& source, int sourceX, int sourceY,
                TRasterOp op);
    void Draw(int x, int y, const Bitmap& source);
    // Nearest neighbour, each target pixel from the source pixel under its centre.
    void StretchBlt(const TRect& dest, const Bitmap& source, const TRect& sourceRect,
                    TRasterOp op = TRasterOp::SrcCopy);
    void StretchDraw(const TRect& dest, const Bitmap& source);
    // Copies sourceRect to (x, y), leaving the target alone where the source has `key`.
    void TransparentDraw(int x, int y, const Bitmap& source, const TRect& sourceRect, TColor key);
    // Copies sourceRect to (x, y) with `key` replaced by the brush colour; a clear brush
    // lets the target show through instead.
    void BrushCopy(int x, int y, const Bitmap& source, const TRect& sourceRect, TColor key);

    // The dotted focus frame, drawn by inverting; drawing it again restores the pixels.
    void DrawFocusRect(const TRect& rect);

    int TextWidth(std::string_view text) const;
    int TextHeight(std::string_view text) const;
    TSize TextExtent(std::string_view text) const;
    // Text with its cell's top-left at (x, y), in the font colour; with a solid brush the
    // cell is first filled with the brush colour. (Not TextOut: windows.h makes that a macro.)
    void DrawTextAt(int x, int y, std::string_view text);
    // The same, with nothing drawn outside rect (the background fill included).
    void TextRect(const TRect& rect, int x, int y, std::string_view text);
    // One line, left-aligned, vertically centred in rect and clipped to it, background as
    // DrawTextAt. Returns the width of the text as drawn.
    int DrawTextLine(const TRect& rect, std::string_view text, TextPrefix prefix);

  private:
    TRect AbsClip() const;
    void FillAbs(const TRect& abs, Pixel pixel);
    void FrameAbs(const TRect& r, Pixel pixel);
    void Plot(int x, int y, Pixel pixel);
    template <typename InsideFn>
    void FillShape(const TRect& box, InsideFn inside);
    void KeyedCopy(int x, int y, const Bitmap& source, const TRect& sourceRect, TColor key,
                   std::optional<Pixel> replacement);
    void PaintText(int absX, int absY, const TRect& absClip, std::string_view text);

    Bitmap* target_;
    friend class Bitmap;  // re-points target_ when a bitmap moves

    TPen pen_;
    TBrush brush_;
    TFont font_;
    TPoint origin_;
    TPoint penPos_;
    bool clipped_ = false;
    TRect clip_;  // target coordinates, valid while clipped_
};

}  // namespace tt
