// The census: the distinct colours of the image and their pixel counts.
#pragma once

#include "image_view.h"
#include "pass.h"

#include <cstdint>
#include <vector>

namespace pass {

// Which colours an image uses: one bit per possible colour (2 MB) and, per
// 64 colours, the number of used colours before them, so that every used
// colour has a dense number, its rank, in key order.
class ColorIndex {
public:
    // REQUIRES: workers >= 1.
    ColorIndex(const ImageView& image, int workers);
    std::uint32_t distinct() const { return distinct_; }
    __attribute__((always_inline)) std::uint32_t rank(std::uint32_t key) const {
        const std::uint32_t word = key >> 6;
        const std::uint64_t below = bits_[word] & ((std::uint64_t{1} << (key & 63)) - 1);
        return before_[word] + static_cast<std::uint32_t>(__builtin_popcountll(below));
    }
    // Calls f(rank, key) for every used key from firstKey / 64 * 64 up to,
    // not including, lastKey / 64 * 64, in ascending order.
    template <typename F>
    void forEachUsed(std::uint32_t firstKey, std::uint32_t lastKey, F f) const {
        for (std::uint32_t word = firstKey >> 6; word < lastKey >> 6; ++word) {
            std::uint32_t rank = before_[word];
            for (std::uint64_t bits = bits_[word]; bits != 0; bits &= bits - 1, ++rank) {
                f(rank, word << 6 | static_cast<std::uint32_t>(__builtin_ctzll(bits)));
            }
        }
    }

private:
    std::vector<std::uint64_t, UnsetAllocator<std::uint64_t>> bits_;
    std::vector<std::uint32_t, UnsetAllocator<std::uint32_t>> before_;
    std::uint32_t distinct_ = 0;
};

// The distinct colours of the image with their counts, in key order: the
// one array of 8 bytes per colour that the pass keeps. At most two workers
// count (the second into the key fields, which get their keys afterwards).
// REQUIRES: workers >= 1.
ColorList countColors(const ImageView& image, int workers, Variant variant = Variant::Best);

}  // namespace pass
