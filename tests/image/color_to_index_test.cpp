// The indexed writers' lookup: every palette colour to the lowest index that
// holds it, however the colours crowd the table's slots.
#include "color_to_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

Palette paletteOfKeys(const std::vector<std::uint32_t>& keys) {
    Palette p;
    p.count = static_cast<int>(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        p.rgb[3 * k] = static_cast<std::uint8_t>(keys[k] >> 16);
        p.rgb[3 * k + 1] = static_cast<std::uint8_t>(keys[k] >> 8);
        p.rgb[3 * k + 2] = static_cast<std::uint8_t>(keys[k]);
    }
    return p;
}

void expectEveryEntryFound(const Palette& palette) {
    const ColorToIndex indexOf(palette);
    for (int k = 0; k < palette.count; ++k) {
        const std::uint32_t key = ColorToIndex::key(palette.red(k), palette.green(k), palette.blue(k));
        int lowest = k;
        for (int j = 0; j < k; ++j) {
            if (ColorToIndex::key(palette.red(j), palette.green(j), palette.blue(j)) == key) {
                lowest = j;
                break;
            }
        }
        EXPECT_EQ(indexOf.find(key), lowest) << "entry " << k;
        if (indexOf.reach() <= 4) {
            EXPECT_EQ(indexOf.findWithin<4>(key), lowest) << "entry " << k;
        }
    }
}

TEST(ColorToIndex, FullRandomPalettesFindEveryEntry) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::uint32_t> keys(256);
        for (std::uint32_t& key : keys) key = random() & 0xFFFFFFu;
        expectEveryEntryFound(paletteOfKeys(keys));
    }
}

TEST(ColorToIndex, RepeatedColoursGiveTheLowestIndexAndOthersGiveZero) {
    std::vector<std::uint32_t> keys;
    for (int k = 0; k < 256; ++k) keys.push_back(static_cast<std::uint32_t>(k % 5) * 0x030507u);
    const Palette palette = paletteOfKeys(keys);
    expectEveryEntryFound(palette);
    const ColorToIndex indexOf(palette);
    EXPECT_EQ(indexOf.find(0x123456u), 0);
    EXPECT_EQ(indexOf.find(0xFFFFFFu), 0);
}

// The worst crowding for the table's first multiplier, 2654435761: 256
// colours that all hash to its last slot, so that one probe would run far
// past the slots a hash can name. The table tries other multipliers and
// finds one that spreads them.
TEST(ColorToIndex, ColoursThatAllTakeTheLastSlotAreAllFound) {
    std::vector<std::uint32_t> keys;
    for (std::uint32_t key = 0; key < (1u << 24) && keys.size() < 256; ++key) {
        if ((key * 2654435761u) >> 20 == 4095u) keys.push_back(key);
    }
    ASSERT_EQ(keys.size(), 256u);
    expectEveryEntryFound(paletteOfKeys(keys));
    const ColorToIndex indexOf(paletteOfKeys(keys));
    EXPECT_EQ(indexOf.find(keys.back() + 1), 0);
    EXPECT_LE(indexOf.reach(), 2u);
}

}  // namespace
