#include "log/line_ends.h"

#include "log/line_ends_impl.h"

namespace tt {

size_t FindLineEndsPortable(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends) {
    return FindLineEndsHere(bytes, n, scan, ends);
}

#if TT_LINE_ENDS_AVX2
// The check includes that the system saves the registers AVX2 uses.
bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("popcnt");
}
#endif

size_t FindLineEnds(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends) {
    using Variant = size_t (*)(const char*, size_t, LineEndScan&, uint32_t*);
#if TT_LINE_ENDS_AVX2
    static const Variant variant = ProcessorHasAvx2() ? FindLineEndsAvx2 : FindLineEndsPortable;
#else
    static const Variant variant = FindLineEndsPortable;
#endif
    return variant(bytes, n, scan, ends);
}

}  // namespace tt
