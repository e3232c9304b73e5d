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
    // Tries a few multipliers for the hash and keeps the first whose probes
    // reach at most two slots (nearly every palette has one among the first
    // few), or else the one that reaches fewest: every lookup then looks at
    // two slots, where one multiplier for all palettes often needs four.
    explicit ColorToIndex(const Palette& palette) {
        std::uint32_t best = 0;
        std::uint32_t bestReach = ~0u;
        for (std::uint32_t attempt = 0; attempt < kAttempts; ++attempt) {
            fill(palette, multiplierOf(attempt));
            if (reach_ < bestReach) {
                bestReach = reach_;
                best = multiplier_;
            }
            if (reach_ <= 2) return;
        }
        fill(palette, best);
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
    // The same with the number of slots looked at fixed at compile time, so
    // that the loop unrolls; REQUIRES Reach >= reach().
    template <std::uint32_t Reach>
    std::uint8_t findWithin(std::uint32_t color) const {
        const std::uint32_t slot = hash(color);
        std::uint32_t found = 0;
        for (std::uint32_t i = 0; i < Reach; ++i) {
            const std::uint32_t match = 0u - static_cast<std::uint32_t>(keys_[slot + i] == color);
            found |= values_[slot + i] & match;
        }
        return static_cast<std::uint8_t>(found);
    }
    // How many slots a lookup looks at.
    std::uint32_t reach() const { return reach_; }
    static std::uint32_t key(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return red << 16 | green << 8 | blue;
    }

private:
    static constexpr std::uint32_t kHashBits = 12;
    // A probe runs on past the last hashed slot instead of wrapping; with
    // every palette colour in one run it ends within the extra slots.
    static constexpr std::size_t kSlots = (std::size_t{1} << kHashBits) + kMaxPaletteEntries;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static constexpr std::uint32_t kAttempts = 16;
    static constexpr std::uint32_t kFirstMultiplier = 2654435761u;
    // The first, then odd numbers mixed from the attempt's number, so that
    // colours crowded by one multiplier are not crowded by the next.
    static std::uint32_t multiplierOf(std::uint32_t attempt) {
        if (attempt == 0) return kFirstMultiplier;
        std::uint32_t z = attempt * 0x9E3779B9u;
        z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
        z = (z ^ (z >> 13)) * 0xC2B2AE35u;
        return (z ^ (z >> 16)) | 1u;
    }
    std::uint32_t hash(std::uint32_t color) const { return (color * multiplier_) >> (32 - kHashBits); }
    void fill(const Palette& palette, std::uint32_t multiplier) {
        multiplier_ = multiplier;
        keys_.fill(kEmpty);
        values_.fill(0);
        reach_ = 0;
        for (int k = palette.count - 1; k >= 0; --k) insert(key(palette.red(k), palette.green(k), palette.blue(k)), k);
    }
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
    std::uint32_t multiplier_ = kFirstMultiplier;
};
