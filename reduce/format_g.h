// printf's "%g" for the palette report, with the exponent written as the
// report has always had it: a sign and at least three digits (1e+006,
// 1.23457e+006). Formatted here rather than by the C library so that every
// platform prints the same bytes.
#pragma once

#include <string>

std::string formatG(double value);
