#include "controls/skin/skin.h"

#include <array>
#include <cstddef>
#include <string>

#include "base/error.h"
#include "controls/skin/skin_data.h"

namespace tt {

namespace {

// The sizes and cell grids are what the bars, counters and check boxes are built around.
constexpr std::array<SkinPictureInfo, kSkinPictureCount> kInfo = {{
    {"Image1", "image1.png", 275, 80, 275, 80},
    {"Image2", "image2.png", 375, 20, 25, 20},
    {"Image3", "image3.png", 180, 12, 20, 12},
    {"Image4", "image4.png", 225, 20, 25, 20},
    {"Image5", "image5.png", 210, 20, 35, 20},
    {"Image6", "image6.png", 170, 20, 10, 20},
    {"CHECKED", "checked.png", 19, 14, 19, 14},
    {"GRAYED", "grayed.png", 19, 14, 19, 14},
    {"UNCHECKED", "unchecked.png", 19, 14, 19, 14},
    {"ICON", "icon.png", 32, 32, 32, 32},
    {"ICONONLINE", "icon_online.png", 32, 32, 32, 32},
}};

[[noreturn]] void Damaged(const SkinPictureInfo& info) {
    throw Error("Damaged skin picture " + std::string(info.Name));
}

}  // namespace

const SkinPictureInfo& SkinInfo(SkinPicture picture) {
    return kInfo.at(static_cast<std::size_t>(picture));
}

Bitmap LoadSkinPicture(SkinPicture picture) {
    const SkinPictureInfo& info = SkinInfo(picture);
    const EmbeddedSkinPicture& data = kEmbeddedSkin.at(static_cast<std::size_t>(picture));
    // The data is generated, but a hand edit or a stale file must not read out of bounds.
    if (data.Width != info.Width || data.Height != info.Height ||
        data.Rows.size() != static_cast<std::size_t>(data.Height)) {
        Damaged(info);
    }
    Bitmap bitmap(data.Width, data.Height);
    for (int y = 0; y < data.Height; ++y) {
        const std::string_view row = data.Rows[static_cast<std::size_t>(y)];
        if (row.size() != static_cast<std::size_t>(data.Width)) Damaged(info);
        Pixel* out = bitmap.Row(y);
        for (int x = 0; x < data.Width; ++x) {
            const std::size_t index = kSkinSymbols.find(row[static_cast<std::size_t>(x)]);
            if (index >= data.Palette.size()) Damaged(info);
            out[x] = PixelFromRGB(data.Palette[index]);
        }
    }
    return bitmap;
}

std::optional<Bitmap> LoadSkinResource(std::string_view name) {
    for (SkinPicture glyph : {SkinPicture::Checked, SkinPicture::Grayed, SkinPicture::Unchecked}) {
        if (SkinInfo(glyph).Name == name) return LoadSkinPicture(glyph);
    }
    return std::nullopt;
}

}  // namespace tt
