#include "picture_geometry.h"

#include <cmath>
#include <limits>

namespace {

// Truncation toward zero, saturated so that absurd header values cannot
// overflow the integer conversion.
std::int32_t truncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t pelsPerMetreFromDpi(std::int32_t dotsPerInch) {
    return truncateToInt(dotsPerInch * 39.37007874015748 + 0.5);
}

std::int32_t dpiFromPelsPerMetre(std::int32_t pelsPerMetre) { return truncateToInt(pelsPerMetre * 0.0254 + 0.5); }

std::int32_t strideForWidth(std::int32_t width) {
    const std::int32_t n = 3 * width;
    return 4 * (n / 4 + (n % 4 != 0 ? 1 : 0));
}
