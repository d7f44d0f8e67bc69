#include "tools/skingen/icon_set.h"

#include <stdexcept>

#include "controls/skin/skin.h"
#include "tools/skingen/skin_art.h"

namespace tt {

namespace {

IconImage WithAlpha(const Bitmap& art) {
    IconImage image;
    image.Size = art.Width();
    const TColor key = kIconTransparentColor;
    for (int y = 0; y < art.Height(); ++y) {
        for (int x = 0; x < art.Width(); ++x) {
            const TColor c = art.GetPixel(x, y);
            image.Argb.push_back(c == key ? 0u : PixelFromRGB(c));
        }
    }
    return image;
}

Bitmap Nearest(const Bitmap& art, int factor) {
    Bitmap big(art.Width() * factor, art.Height() * factor);
    for (int y = 0; y < big.Height(); ++y)
        for (int x = 0; x < big.Width(); ++x)
            big.SetPixel(x, y, art.GetPixel(x / factor, y / factor));
    return big;
}

// Each 2 x 2 block becomes one pixel: its colour the average of its opaque pixels, its
// opacity the share of them, so the rim gets soft edges instead of a jagged one.
IconImage Halve(const IconImage& from) {
    IconImage half;
    half.Size = from.Size / 2;
    for (int y = 0; y < half.Size; ++y) {
        for (int x = 0; x < half.Size; ++x) {
            unsigned r = 0, g = 0, b = 0, opaque = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const std::uint32_t p = from.At(2 * x + dx, 2 * y + dy);
                    if ((p >> 24) == 0) continue;
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                    ++opaque;
                }
            }
            half.Argb.push_back(opaque == 0 ? 0u
                                            : ((opaque * 255 / 4) << 24) | ((r / opaque) << 16) |
                                                  ((g / opaque) << 8) | (b / opaque));
        }
    }
    return half;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One image as the .ico stores it: a BITMAPINFOHEADER of twice the height, the colour rows
// bottom-up (BGRA), then the mask rows bottom-up, each padded to 32 bits.
std::vector<std::uint8_t> IcoEntry(const IconImage& image) {
    const int n = image.Size;
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(n));
    Put32(out, static_cast<std::uint32_t>(2 * n));
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits a pixel
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x) Put32(out, image.At(x, y));
    const int maskStride = (n + 31) / 32 * 4;
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < n; ++x) {
            if ((image.At(x, y) >> 24) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

IconImage DrawIconImage(int size) {
    const Bitmap art = DrawIconArt();
    switch (size) {
        case 16:
            return WithAlpha(art);
        case 24:
            return Halve(DrawIconImage(48));
        case 32:
            return WithAlpha(ScaleArt2x(art));
        case 48:
            return WithAlpha(Nearest(art, 3));
        case 64:
            return WithAlpha(ScaleArt2x(ScaleArt2x(art)));
        case 128:
            return WithAlpha(Nearest(ScaleArt2x(ScaleArt2x(art)), 2));
        case 256:
            return WithAlpha(Nearest(ScaleArt2x(ScaleArt2x(art)), 4));
        default:
            throw std::invalid_argument("DrawIconImage: no icon of size " + std::to_string(size));
    }
}

std::vector<std::uint8_t> EncodeIco(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, static_cast<unsigned>(images.size()));
    std::vector<std::vector<std::uint8_t>> entries;
    for (const IconImage& image : images) {
        if (image.Size <= 0 || image.Size > 255) throw std::invalid_argument("EncodeIco: size");
        entries.push_back(IcoEntry(image));
    }
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(images[i].Size));
        out.push_back(static_cast<std::uint8_t>(images[i].Size));
        out.push_back(0);  // colours in a palette: none
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<std::uint32_t>(entries[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(entries[i].size());
    }
    for (const auto& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
    return out;
}

std::string ThemeIconFileName(int size) {
    return "taktomat-" + std::to_string(size) + ".png";
}

}  // namespace tt
