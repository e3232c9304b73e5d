#include "format_g.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int kPrecision = 6;  // significant digits of %g

// Drops the trailing zeros of a fraction, and the point when nothing is left.
void trimFraction(std::string& digits) {
    if (digits.find('.') == std::string::npos) return;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
}

}  // namespace

std::string formatG(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

    // The decimal exponent that %e would print after rounding to six digits
    // decides between the fixed and the exponent form.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kPrecision - 1);
    std::string scientific(buffer, result.ptr);
    const std::size_t e = scientific.find('e');
    const int exponent = std::atoi(scientific.c_str() + e + 1);

    if (exponent < -4 || exponent >= kPrecision) {
        std::string mantissa = scientific.substr(0, e);
        trimFraction(mantissa);
        std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
        while (digits.size() < 3) digits.insert(digits.begin(), '0');
        return mantissa + 'e' + (exponent < 0 ? '-' : '+') + digits;
    }
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kPrecision - 1 - exponent);
    std::string fixed(buffer, result.ptr);
    trimFraction(fixed);
    return fixed;
}
