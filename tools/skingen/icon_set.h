#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tt {

// One size of the program's icon with real transparency: pixel words 0xAARRGGBB, rows
// top-down.
struct IconImage {
    int Size = 0;
    std::vector<std::uint32_t> Argb;

    std::uint32_t At(int x, int y) const {
        return Argb[static_cast<size_t>(y) * static_cast<size_t>(Size) + static_cast<size_t>(x)];
    }
};

// The sizes the desktops ask for: the hicolor theme's 16 to 256 on Linux.
inline constexpr int kThemeIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
// The sizes of the Windows .ico: what Explorer, the title bar and the tray show on the
// Windows versions the program runs on.
inline constexpr int kIcoSizes[] = {16, 24, 32, 48};

// The icon at `size` (one of kThemeIconSizes), drawn from the skin's pixel art: doubled with
// smoothed diagonals to the larger sizes, averaged down to 24, the key colour turned into
// transparency.
IconImage DrawIconImage(int size);

// A Windows .ico of the given images: 32-bit colour with its alpha channel and, for the
// systems that use it, the 1-bit mask of the transparent pixels.
std::vector<std::uint8_t> EncodeIco(const std::vector<IconImage>& images);

// The file name of the theme icon of `size` in controls/skin/icons.
std::string ThemeIconFileName(int size);

}  // namespace tt
