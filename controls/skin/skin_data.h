#pragma once
#include <array>
#include <span>
#include <string_view>

#include "controls/skin/skin.h"
#include "toolkit/gfx/color.h"

namespace tt {

// The compiled-in form of a picture: a palette, and one string per row in which each
// character stands for the palette entry at its place in kSkinSymbols. It keeps the source
// small and lets a change to the artwork show as a readable diff.
struct EmbeddedSkinPicture {
    int Width = 0;
    int Height = 0;
    std::span<const TColor> Palette;
    std::span<const char* const> Rows;
};

// No quote, backslash or question mark, so that rows need no escapes in a string literal.
inline constexpr std::string_view kSkinSymbols =
    ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789#$%&*+-/:;<=>@^_~|";

// In the order of SkinPicture; written by tools/skingen into skin_data.cpp.
extern const std::array<EmbeddedSkinPicture, kSkinPictureCount> kEmbeddedSkin;

}  // namespace tt
