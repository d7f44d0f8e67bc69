#pragma once
#include <cstdint>

namespace tt {

// Rounds half to even, as the digit counters round what is put into them.
double RoundHalfEven(double x);

// Rounds half to even and saturates to the range of a 32-bit value; NaN gives 0.
std::int32_t CounterRound(double value);

// What a counter holds after `value` is put into it with these bounds: lifted to the lower
// bound, then cut to the upper one, each bound rounded half to even. Settings that are
// shown in a counter are clamped by this rule so the stored and the shown number agree.
std::int32_t CounterClamp(double value, double minValue, double maxValue);

}  // namespace tt
