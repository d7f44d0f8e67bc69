#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

// A PNG (8-bit RGB) of the bitmap, each pixel blown up to zoom x zoom (1..16) so that a
// snapshot can be looked at closely. Throws std::invalid_argument for an empty bitmap or a
// zoom out of range.
std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap, int zoom = 1);
// A PNG (8-bit RGBA) of pixel words 0xAARRGGBB, rows top-down: pictures with real
// transparency, such as icons.
std::vector<std::uint8_t> EncodePngRgba(std::span<const std::uint32_t> argb, int width, int height);
// Writes EncodePng's result through a temporary file in the same folder, renamed over the
// target at the end; throws tt::Error "Unable to write to <path>" on failure.
void WritePng(const Bitmap& bitmap, const std::string& path, int zoom = 1);

// Reads back what EncodePng writes (8-bit RGB, non-interlaced, no filter); for tests. Throws
// tt::Error for anything else or a damaged file.
Bitmap DecodePng(std::span<const std::uint8_t> data);

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);
std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler = 1);

}  // namespace tt
