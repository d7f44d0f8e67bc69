// Built with AVX2, BMI and POPCNT switched on; called only where the processor has them.
#include "log/line_ends_impl.h"

namespace tt {

size_t FindLineEndsAvx2(const char* bytes, size_t n, LineEndScan& scan, uint32_t* ends) {
    return FindLineEndsHere(bytes, n, scan, ends);
}

}  // namespace tt
