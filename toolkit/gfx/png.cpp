#include "toolkit/gfx/png.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include <zlib.h>

#include "base/error.h"

namespace tt {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kMaxZoom = 16;

const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, std::string_view type,
              std::span<const std::uint8_t> data) {
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    PutU32(out, Crc32(std::span(out).subspan(typeAt)));
}

std::uint32_t GetU32(std::span<const std::uint8_t> in, std::size_t at) {
    return (std::uint32_t{in[at]} << 24) | (std::uint32_t{in[at + 1]} << 16) |
           (std::uint32_t{in[at + 2]} << 8) | std::uint32_t{in[at + 3]};
}

constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kColourRgba = 6;

// A whole PNG around filtered scanlines of the given colour type.
std::vector<std::uint8_t> WrapPng(const std::vector<std::uint8_t>& raw, std::uint32_t width,
                                  std::uint32_t height, std::uint8_t colourType) {
    // Charts and snapshots are mostly flat colour: deflate makes a month's chart a few dozen
    // kilobytes instead of a megabyte.
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> z(size);
    if (compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw std::bad_alloc();
    }
    z.resize(size);

    std::vector<std::uint8_t> png(kSignature.begin(), kSignature.end());
    std::vector<std::uint8_t> header;
    PutU32(header, width);
    PutU32(header, height);
    // 8 bits a sample, deflate, no filter, no interlace
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

[[noreturn]] void Damaged() {
    throw Error("Not a picture that this program wrote");
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
    const auto& table = CrcTable();
    crc = ~crc;
    for (std::uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler) {
    std::uint32_t a = adler & 0xFFFF;
    std::uint32_t b = adler >> 16;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap, int zoom) {
    if (bitmap.Empty()) throw std::invalid_argument("EncodePng: empty bitmap");
    if (zoom < 1 || zoom > kMaxZoom) throw std::invalid_argument("EncodePng: zoom out of range");
    const std::uint64_t width = static_cast<std::uint64_t>(bitmap.Width()) * zoom;
    const std::uint64_t height = static_cast<std::uint64_t>(bitmap.Height()) * zoom;
    const std::uint64_t rowBytes = 1 + width * 3;
    if (rowBytes * height > 0x7FFFFFFFu) throw std::invalid_argument("EncodePng: too large");

    // Filtered scanlines: filter type 0, then RGB triples.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(rowBytes * height));
    std::vector<std::uint8_t> line;
    for (int y = 0; y < bitmap.Height(); ++y) {
        line.assign(1, 0);
        const Pixel* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            const Pixel p = row[x];
            for (int i = 0; i < zoom; ++i) {
                line.push_back(static_cast<std::uint8_t>(p >> 16));
                line.push_back(static_cast<std::uint8_t>(p >> 8));
                line.push_back(static_cast<std::uint8_t>(p));
            }
        }
        for (int i = 0; i < zoom; ++i) raw.insert(raw.end(), line.begin(), line.end());
    }

    return WrapPng(raw, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   kColourRgb);
}

std::vector<std::uint8_t> EncodePngRgba(std::span<const std::uint32_t> argb, int width,
                                        int height) {
    if (width <= 0 || height <= 0 || argb.size() < static_cast<std::size_t>(width) * height)
        throw std::invalid_argument("EncodePngRgba: no picture");
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(width * 4 + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
            raw.insert(raw.end(),
                       {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                        static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 24)});
        }
    }
    return WrapPng(raw, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   kColourRgba);
}

void WritePng(const Bitmap& bitmap, const std::string& path, int zoom) {
    const std::vector<std::uint8_t> png = EncodePng(bitmap, zoom);
    const std::string temporary = path + ".tmp";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(png.data()),
                      static_cast<std::streamsize>(png.size()));
            out.flush();
            written = static_cast<bool>(out);
        }
    }
    std::error_code ec;
    if (written) std::filesystem::rename(temporary, path, ec);
    if (!written || ec) {
        std::filesystem::remove(temporary, ec);
        throw Error("Unable to write to " + path);
    }
}

Bitmap DecodePng(std::span<const std::uint8_t> data) {
    if (data.size() < kSignature.size() ||
        !std::equal(kSignature.begin(), kSignature.end(), data.begin())) {
        Damaged();
    }
    std::size_t at = kSignature.size();
    std::uint32_t width = 0, height = 0;
    bool haveHeader = false, ended = false;
    std::vector<std::uint8_t> z;
    while (!ended) {
        if (data.size() - at < 12) Damaged();
        const std::uint32_t len = GetU32(data, at);
        if (len > data.size() - at - 12) Damaged();
        const auto typeAndData = data.subspan(at + 4, 4 + std::size_t{len});
        if (Crc32(typeAndData) != GetU32(data, at + 8 + len)) Damaged();
        const std::string_view type(reinterpret_cast<const char*>(typeAndData.data()), 4);
        const auto body = typeAndData.subspan(4);
        if (type == "IHDR") {
            if (len != 13) Damaged();
            width = GetU32(body, 0);
            height = GetU32(body, 4);
            if (body[8] != 8 || body[9] != 2 || body[10] != 0 || body[11] != 0 || body[12] != 0) {
                Damaged();
            }
            if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) Damaged();
            haveHeader = true;
        } else if (type == "IDAT") {
            if (!haveHeader) Damaged();
            z.insert(z.end(), body.begin(), body.end());
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + std::size_t{len};
    }
    if (!haveHeader) Damaged();

    // One byte more than the picture needs, so that a stream that holds more is seen.
    const std::size_t rowBytes = 1 + std::size_t{width} * 3;
    // Deflate packs at most 1032 bytes into one: a larger picture is not in these bytes.
    if (rowBytes * height > z.size() * 1032) Damaged();
    std::vector<std::uint8_t> raw(rowBytes * height + 1);
    uLongf size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &size, z.data(), static_cast<uLong>(z.size())) != Z_OK) Damaged();
    raw.resize(size);

    if (raw.size() != rowBytes * height) Damaged();
    Bitmap bitmap(static_cast<int>(width), static_cast<int>(height));
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* line = raw.data() + y * rowBytes;
        if (line[0] != 0) Damaged();
        Pixel* row = bitmap.Row(static_cast<int>(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* rgb = line + 1 + std::size_t{x} * 3;
            row[x] =
                0xFF000000u | (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
        }
    }
    return bitmap;
}

}  // namespace tt
