#include "toolkit/gfx/color.h"

#include <array>

namespace tt {

namespace {

// The classic scheme, so that the same form looks the same on every backend and in tests.
constexpr std::array<TColor, 25> kClassicScheme = {
    0xC0C0C0,  // scroll bar
    0x808000,  // desktop
    0x800000,  // active caption
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application workspace
    0x800000,  // selection
    0xFFFFFF,  // selected text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // 3D dark shadow
    0xC0C0C0,  // 3D light
    0x000000,  // hint text
    0xE1FFFF,  // hint background
};

}  // namespace

TColor ColorToRGB(TColor color) {
    if ((color & kSystemColorFlag) == 0) return color & 0xFFFFFF;
    const TColor index = color & 0xFF;
    if ((color & 0x7FFFFF00) != 0 || index >= kClassicScheme.size()) return clBlack;
    return kClassicScheme[index];
}

}  // namespace tt
