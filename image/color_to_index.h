// The palette index of each reduced pixel, for the indexed writers: the
// lowest index that holds the pixel's colour, which is the entry the remap
// chose for it.
#pragma once

#include "palette.h"

#include <array>
#include <cstdint>

// Maps each palette colour to the lowest index that holds it.
class ColorToIndex {
public:
    explicit ColorToIndex(const Palette& palette) {
        keys_.fill(kEmpty);
        for (int k = palette.count - 1; k >= 0; --k) insert(key(palette.red(k), palette.green(k), palette.blue(k)), k);
    }
    std::uint8_t find(std::uint32_t color) const {
        for (std::uint32_t slot = hash(color);; slot = (slot + 1) & kMask) {
            if (keys_[slot] == color) return values_[slot];
            if (keys_[slot] == kEmpty) return 0;
        }
    }
    static std::uint32_t key(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return red << 16 | green << 8 | blue;
    }

private:
    static constexpr std::uint32_t kSlots = 1024;
    static constexpr std::uint32_t kMask = kSlots - 1;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static std::uint32_t hash(std::uint32_t color) { return (color * 2654435761u) >> 22; }
    void insert(std::uint32_t color, int index) {
        std::uint32_t slot = hash(color);
        while (keys_[slot] != kEmpty && keys_[slot] != color) slot = (slot + 1) & kMask;
        keys_[slot] = color;  // later (lower) indices overwrite earlier ones
        values_[slot] = static_cast<std::uint8_t>(index);
    }
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::uint8_t, kSlots> values_{};
};
