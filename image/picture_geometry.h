// The layout of the 24-bit pictures that the readers make and the writers
// take, whatever holds them: three bytes blue, green, red per pixel, rows
// bottom-up, each row width * 3 bytes rounded up to a multiple of 4; the
// resolution in dots per inch, which BMP files give in pels per metre.
#pragma once

#include <cstdint>

// Resolution conversions between dots per inch and pels per metre, each
// computed in double precision and truncated (72 dpi <-> 2835).
std::int32_t pelsPerMetreFromDpi(std::int32_t dotsPerInch);
std::int32_t dpiFromPelsPerMetre(std::int32_t pelsPerMetre);

// stride for a width: width * 3 rounded up to a multiple of 4.
std::int32_t strideForWidth(std::int32_t width);
