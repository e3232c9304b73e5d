// The palette chosen by the pass: entry k is the colour of median-cut box k,
// stored red, green, blue (the reverse of the image's pixel order).
#pragma once

#include <array>
#include <cstdint>

constexpr int kMaxPaletteEntries = 256;

struct Palette {
    int count = 0;  // 1 to 256 once derived
    std::array<std::uint8_t, 3 * kMaxPaletteEntries> rgb{};

    std::uint8_t red(int k) const { return rgb[3 * k]; }
    std::uint8_t green(int k) const { return rgb[3 * k + 1]; }
    std::uint8_t blue(int k) const { return rgb[3 * k + 2]; }
};
