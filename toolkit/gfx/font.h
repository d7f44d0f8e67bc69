#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "toolkit/gfx/color.h"
#include "toolkit/gfx/geometry.h"

namespace tt {

class Bitmap;

struct TFont {
    std::string Name = "MS Sans Serif";
    // Pixels, with the platform's sign rule: negative is the character height (what the
    // forms store, -11 is 8 points), positive the cell height, 0 the default size.
    int Height = -11;
    bool Bold = false;
    TColor Color = clWindowText;

    // Points at 96 pixels per inch, as the forms' designers count them.
    int Size() const;
    void SetSize(int points);

    bool operator==(const TFont&) const = default;
};

struct TFontMetrics {
    int Height = 0;  // the line's cell height; TextHeight of any text
    int Ascent = 0;  // rows above the baseline, from the top of the cell
};

// Measures and draws UTF-8 text into a Bitmap. The built-in engine draws a fixed bitmap font,
// the same on every machine, so that text can be checked pixel for pixel; a desktop backend
// installs one that draws native text into the same pixels.
class FontEngine {
  public:
    virtual ~FontEngine() = default;

    virtual TFontMetrics Metrics(const TFont& font) = 0;
    virtual int TextWidth(const TFont& font, std::string_view text) = 0;
    // Draws only the glyphs' own pixels, in `color` (a plain colour word), with the top-left of
    // the text's cell at (x, y) in bitmap coordinates; touches nothing outside `clip`.
    virtual void DrawGlyphs(Bitmap& target, const TRect& clip, int x, int y, const TFont& font,
                            std::string_view text, TColor color) = 0;
    // False while the engine has yet to load its fonts, which costs a native one megabytes
    // of libraries, font files and tables: until then the text of hidden windows is measured
    // only when they are shown (TControl::TextMeasuringWaits).
    virtual bool FontsLoaded() const { return true; }
};

FontEngine& BuiltinFontEngine();
// The engine every canvas measures and draws with. GUI thread only.
FontEngine& CurrentFontEngine();
// nullptr puts the built-in engine back. The engine must outlive its use.
void SetCurrentFontEngine(FontEngine* engine);

// A caption with "&" accelerators taken out: "&&" stands for "&", "&x" marks x (the first
// such mark counts), a lone "&" at the end is dropped.
struct PrefixedText {
    std::string Text;
    // Byte range of the marked character within Text; UnderlineLength 0 when none.
    std::size_t UnderlineStart = 0;
    std::size_t UnderlineLength = 0;
};
PrefixedText ParsePrefix(std::string_view caption);

}  // namespace tt
