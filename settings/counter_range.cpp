#include "settings/counter_range.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tt {

double RoundHalfEven(double x) {
    const double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
    return r;
}

std::int32_t CounterRound(double value) {
    if (std::isnan(value)) return 0;
    const double r = RoundHalfEven(value);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(r);
}

std::int32_t CounterClamp(double value, double minValue, double maxValue) {
    // As the counter does it: the bounds keep each other in order, the setter lifts to
    // the lower bound before cutting to the upper one, and the next render cuts again.
    if (maxValue < minValue) maxValue = minValue;
    std::int64_t v = CounterRound(value);
    if (static_cast<double>(v) < minValue) v = CounterRound(minValue);
    if (static_cast<double>(v) > maxValue) v = CounterRound(maxValue);
    if (static_cast<double>(v) > maxValue) v = CounterRound(maxValue);
    if (static_cast<double>(v) < minValue) v = CounterRound(minValue);
    return static_cast<std::int32_t>(v);
}

}  // namespace tt
