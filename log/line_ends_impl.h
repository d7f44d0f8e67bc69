// The body of FindLineEnds, compiled once per instruction set by the file that includes it.
// Everything here has internal linkage, so that no code built for one processor is shared
// with the build for another; for the same reason it calls no inline library functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/line_ends.h"

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tt {
namespace {

// Where the LFs and CRs are in 64 bytes, a bit for each byte.
struct ByteMasks {
    uint64_t Lf = 0;
    uint64_t Cr = 0;
};

#if defined(__AVX2__)

inline uint64_t Matches32(__m256i bytes, char c) {
    return static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c))));
}

inline ByteMasks Classify64(const char* p) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    return {Matches32(low, '\n') | (Matches32(high, '\n') << 32),
            Matches32(low, '\r') | (Matches32(high, '\r') << 32)};
}

#elif defined(__SSE2__)

inline uint64_t Matches16(__m128i bytes, char c) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}

inline ByteMasks Classify64(const char* p) {
    ByteMasks m;
    for (size_t k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        m.Lf |= Matches16(v, '\n') << (16 * k);
        m.Cr |= Matches16(v, '\r') << (16 * k);
    }
    return m;
}

#else

// Eight bytes at a time in a plain register, for processors without vector units (the
// 32-bit Windows build runs on those too).
inline uint64_t Matches8(uint64_t word, char c) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t x = word ^ (0x0101010101010101ull * static_cast<uint8_t>(c));
    // The top bit of a byte is set exactly where that byte of x is zero.
    const uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
    // Gathers the eight top bits into the low byte, byte 0 to bit 0.
    return ((zero >> 7) * 0x0102040810204080ull) >> 56;
}

inline ByteMasks Classify64(const char* p) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
    ByteMasks m;
    for (size_t k = 0; k < 8; ++k) {
        uint64_t word = 0;
        std::memcpy(&word, p + 8 * k, 8);
        m.Lf |= Matches8(word, '\n') << (8 * k);
        m.Cr |= Matches8(word, '\r') << (8 * k);
    }
    return m;
}

#endif

inline int CountBits(uint64_t x) {
#if defined(__POPCNT__)
    return __builtin_popcountll(x);
#else
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
#endif
}

// The lowest set bit's index; 63 for no bit, which callers write but never count.
inline uint32_t LowestBit(uint64_t x) {
    return static_cast<uint32_t>(__builtin_ctzll(x | (uint64_t{1} << 63)));
}

constexpr size_t kPrefetchAhead = 4096;

size_t FindLineEndsHere(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends) {
    // The LFs of a block are written four at a time whatever their number, so that the loop
    // does not branch on what each byte is.
    size_t count = 0;
    uint64_t crCarry = scan.CrBefore ? 1 : 0;
    for (size_t block = 0; block < n; block += 64) {
        const size_t size = n - block < 64 ? n - block : 64;
        ByteMasks m;
        if (size == 64) {
            // Text read a moment ago is no longer in the cache, and the processor's own
            // look-ahead is too timid for it: asking for it a few blocks early lets the scan
            // run at the speed of cached text. A hint only, so past the end it does no harm;
            // the address is reckoned as an integer, as pointer arithmetic past the end of the
            // text would be undefined.
            // NOLINTNEXTLINE(performance-no-int-to-ptr)
            __builtin_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(bytes) +
                                                             block + kPrefetchAhead));
            m = Classify64(bytes + block);
        } else {
            char tail[64] = {};
            std::memcpy(tail, bytes + block, size);
            m = Classify64(tail);
        }
        const uint64_t inBlock = size == 64 ? ~uint64_t{0} : (uint64_t{1} << size) - 1;
        const uint64_t stray = (m.Lf ^ ((m.Cr << 1) | crCarry)) & inBlock;
        crCarry = (m.Cr >> (size - 1)) & 1;
        uint64_t lfs = m.Lf;
        if (stray != 0) lfs &= (stray & (0 - stray)) - 1;  // only the line ends before it
        const uint32_t offset = static_cast<uint32_t>(block);
        const int found = CountBits(lfs);
        uint32_t* out = ends + count;
        for (int k = 0; k < 4; ++k) {
            out[k] = offset + LowestBit(lfs);
            lfs &= lfs - 1;
        }
        for (int k = 4; k < found; ++k) {
            out[k] = offset + LowestBit(lfs);
            lfs &= lfs - 1;
        }
        count += static_cast<size_t>(found);
        if (stray != 0) {
            scan.Stray = true;
            break;
        }
    }
    scan.CrBefore = crCarry != 0;
    return count;
}

}  // namespace
}  // namespace tt
