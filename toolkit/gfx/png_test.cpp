#include "toolkit/gfx/png.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include <zlib.h>

#include "base/error.h"

namespace tt {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& v, std::size_t at) {
    return (std::uint32_t{v[at]} << 24) | (std::uint32_t{v[at + 1]} << 16) |
           (std::uint32_t{v[at + 2]} << 8) | v[at + 3];
}

TEST(Png, ChecksumsMatchTheirStandardValues) {
    EXPECT_EQ(Crc32(Bytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32(Bytes("IEND")), 0xAE426082u);
    EXPECT_EQ(Crc32(Bytes("6789"), Crc32(Bytes("12345"))), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("Wikipedia")), 0x11E60398u);
    EXPECT_EQ(Adler32({}), 1u);
}

TEST(Png, TinyImageHasTheExpectedLayout) {
    Bitmap b(1, 1);
    b.SetPixel(0, 0, clRed);
    const std::vector<std::uint8_t> png = EncodePng(b);
    const std::vector<std::uint8_t> head = {0x89, 'P', 'N', 'G', 13,  10,  26, 10, 0, 0,
                                            0,    13,  'I', 'H', 'D', 'R', 0,  0,  0, 1,
                                            0,    0,   0,   1,   8,   2,   0,  0,  0};
    ASSERT_GT(png.size(), head.size() + 4);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), png.begin()));
    EXPECT_EQ(BigEndian(png, head.size()),
              Crc32(std::span(png).subspan(12, 17)));  // IHDR's CRC over type and data
    // IDAT, a zlib stream of the one scanline: filter 0 and the red pixel as R, G, B.
    const std::size_t idat = head.size() + 4;
    ASSERT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    std::vector<std::uint8_t> scanline(5);
    uLongf size = scanline.size();
    ASSERT_EQ(uncompress(scanline.data(), &size, png.data() + idat + 8, BigEndian(png, idat)),
              Z_OK);
    scanline.resize(size);
    EXPECT_EQ(scanline, (std::vector<std::uint8_t>{0, 0xFF, 0, 0}));
    const std::vector<std::uint8_t> tail = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), png.end() - tail.size()));
}

TEST(Png, RoundTripWithZoomAndCompression) {
    Bitmap b(200, 120);  // 72 kB of scanlines
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, ColorRGB(x, y, (x * y) & 0xFF));
    }
    const Bitmap same = DecodePng(EncodePng(b));
    ASSERT_EQ(same.Width(), 200);
    ASSERT_EQ(same.Height(), 120);
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) ASSERT_EQ(same.GetPixel(x, y), b.GetPixel(x, y));
    }

    const Bitmap zoomed = DecodePng(EncodePng(b, 3));
    ASSERT_EQ(zoomed.Width(), 600);
    ASSERT_EQ(zoomed.Height(), 360);
    for (int y = 0; y < zoomed.Height(); y += 7) {
        for (int x = 0; x < zoomed.Width(); x += 5) {
            ASSERT_EQ(zoomed.GetPixel(x, y), b.GetPixel(x / 3, y / 3));
        }
    }

    // Flat colour, as most of a chart or a window is, takes a small part of its pixels' bytes.
    const Bitmap flat(400, 300);
    EXPECT_LT(EncodePng(flat).size(), 400u * 300 * 3 / 100);
}

TEST(Png, BadInputIsRefused) {
    Bitmap b(3, 2);
    EXPECT_THROW(EncodePng(Bitmap()), std::invalid_argument);
    EXPECT_THROW(EncodePng(b, 0), std::invalid_argument);
    EXPECT_THROW(EncodePng(b, 17), std::invalid_argument);

    std::vector<std::uint8_t> png = EncodePng(b);
    std::vector<std::uint8_t> damaged = png;
    damaged[damaged.size() - 20] ^= 0x01;
    EXPECT_THROW(DecodePng(damaged), Error);
    for (std::size_t len : {0, 8, 20, 40}) {
        EXPECT_THROW(DecodePng(std::span(png).first(len)), Error) << len;
    }
    EXPECT_THROW(DecodePng(std::span(png).first(png.size() - 1)), Error);
}

TEST(Png, WriteReplacesTheFileOrSaysItCannot) {
    const auto dir = std::filesystem::temp_directory_path() / "tt_gfx_png_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "snap.png").string();
    { std::ofstream(path) << "old"; }
    Bitmap b(2, 2);
    b.SetPixel(1, 0, clBlue);
    WritePng(b, path, 2);
    std::vector<std::uint8_t> data;
    {
        // Closed before the folder is removed: Windows refuses to delete an open file.
        std::ifstream in(path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(DecodePng(data).GetPixel(3, 1), clBlue);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    const std::string nowhere = (dir / "no" / "such" / "dir.png").string();
    try {
        WritePng(b, nowhere);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tt
