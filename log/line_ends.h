#pragma once
#include <cstddef>
#include <cstdint>

namespace tt {

// Where a scan for line ends stands between two stretches of bytes.
struct LineEndScan {
    bool CrBefore = false;  // the last byte looked at was a CR
    bool Stray = false;     // a CR or LF outside a CR LF pair was met, and the scan stopped there
};

// The most bytes one call looks at.
inline constexpr size_t kLineEndStretch = 4096;
// Room the caller gives for the offsets: a CR LF pair per two bytes, and four spare.
inline constexpr size_t kLineEndRoom = kLineEndStretch / 2 + 4;

// Writes the offsets of the LFs in bytes[0, n) to `ends` in order and returns how many, as
// long as every LF follows a CR and every CR is followed by an LF; the first line end that is
// not sets `scan.Stray`, and no LF from there on is given. A CR in the last byte is judged with
// the next stretch. Uses the fastest variant the processor runs.
size_t FindLineEnds(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends);

// The variants, for the tests: one for any processor, and one for processors with AVX2 where
// the build has it.
size_t FindLineEndsPortable(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends);
#if TT_LINE_ENDS_AVX2
size_t FindLineEndsAvx2(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends);
bool ProcessorHasAvx2();
#endif

}  // namespace tt
