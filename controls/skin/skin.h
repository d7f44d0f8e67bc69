#pragma once
#include <optional>
#include <string_view>

#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/color.h"

namespace tt {

// The program's artwork: the main window's picture holders Image1 to Image6, the check box's
// default glyphs and the program icon. The pixels are compiled in; tools/skingen draws them
// and writes both the PNG files beside this header and the data.
enum class SkinPicture {
    Image1,   // window background
    Image2,   // command buttons: OPC, RAP, MAX, connect, disconnect
    Image3,   // shade buttons: unroll, hide, close
    Image4,   // window buttons: roll up, hide, close
    Image5,   // OK and Anuluj
    Image6,   // digits 0-9, four changer faces, "+", "-", ","
    Checked,  // check-box glyphs
    Grayed,
    Unchecked,
    Icon,        // the program's 32 x 32 icon
    IconOnline,  // the tray icon while a connection is metered
};
inline constexpr int kSkinPictureCount = 11;

struct SkinPictureInfo {
    std::string_view Name;      // the holder's or the resource's name: "Image2", "CHECKED"
    std::string_view FileName;  // the PNG beside this header
    int Width = 0;
    int Height = 0;
    // A picture that is not cut into cells is one cell of its own size.
    int CellWidth = 0;
    int CellHeight = 0;

    int CellCount() const { return (Width / CellWidth) * (Height / CellHeight); }
};

const SkinPictureInfo& SkinInfo(SkinPicture picture);

// A fresh copy each call: the callers own and may draw on what they get.
Bitmap LoadSkinPicture(SkinPicture picture);

// The check box's default glyphs by resource name: "CHECKED", "GRAYED", "UNCHECKED". Their
// bottom-left pixel is the olive background that is drawn as transparent.
std::optional<Bitmap> LoadSkinResource(std::string_view name);

// The icon is opaque where it is not this colour; the tray backends turn it into the
// platform's mask or alpha.
inline constexpr TColor kIconTransparentColor = clFuchsia;

// Colours that other code draws next to the skin.
inline constexpr TColor kSkinFieldColor = ColorRGB(0, 0, 66);
inline constexpr TColor kSkinFrameColor = ColorRGB(24, 24, 90);
inline constexpr TColor kDigitInkColor = ColorRGB(255, 255, 191);
inline constexpr TColor kDigitBackColor = ColorRGB(0, 0, 64);
inline constexpr TColor kGlyphTransparentColor = ColorRGB(128, 128, 0);

}  // namespace tt
