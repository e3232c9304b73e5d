// The palette index of each reduced pixel, for the indexed writers: the
// lowest index that holds the pixel's colour, which is the entry the remap
// chose for it.
#pragma once

#include "palette.h"

#include <algorithm>
#include <array>
#include <cstdint>

// Maps each palette colour to the lowest index that holds it.
//
// A picture of many colours meets the palette's colours in no order that a
// branch predictor could follow, so a lookup takes no branch that depends on
// the colour: it looks at every slot that any colour's probe reached when
// the table was filled (one to three in a table sixteen times the palette)
// and keeps the one that holds the colour.
class ColorToIndex {
public:
    explicit ColorToIndex(const Palette& palette) {
        keys_.fill(kEmpty);
        for (int k = palette.count - 1; k >= 0; --k) insert(key(palette.red(k), palette.green(k), palette.blue(k)), k);
    }
    // 0 for a colour that is not in the palette.
    std::uint8_t find(std::uint32_t color) const {
        const std::uint32_t slot = hash(color);
        // Colours are unique in the table: at most one slot matches, and
        // masking every other slot's value to zero keeps the compiler from
        // turning the choice back into a branch.
        std::uint32_t found = 0;
        for (std::uint32_t i = 0; i < reach_; ++i) {
            const std::uint32_t match = 0u - static_cast<std::uint32_t>(keys_[slot + i] == color);
            found |= values_[slot + i] & match;
        }
        return static_cast<std::uint8_t>(found);
    }
    static std::uint32_t key(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return red << 16 | green << 8 | blue;
    }

private:
    static constexpr std::uint32_t kHashBits = 12;
    // A probe runs on past the last hashed slot instead of wrapping; with
    // every palette colour in one run it ends within the extra slots.
    static constexpr std::size_t kSlots = (std::size_t{1} << kHashBits) + kMaxPaletteEntries;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static std::uint32_t hash(std::uint32_t color) { return (color * 2654435761u) >> (32 - kHashBits); }
    void insert(std::uint32_t color, int index) {
        std::uint32_t slot = hash(color);
        while (keys_[slot] != kEmpty && keys_[slot] != color) ++slot;
        keys_[slot] = color;  // later (lower) indices overwrite earlier ones
        values_[slot] = static_cast<std::uint8_t>(index);
        reach_ = std::max(reach_, slot - hash(color) + 1);
    }
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::uint8_t, kSlots> values_{};
    std::uint32_t reach_ = 0;
};
