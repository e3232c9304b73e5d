// The grid over adjusted colours that the nearest-entry searches share: the
// distance, the cell of a colour, and the list of the entries that can be
// nearest to some colour of a cell.
#pragma once

#include "palette.h"
#include "pass.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace pass {

// Adjusted values lie in -255 .. 510 (an error passed on is at most 255 in
// size and the weights reaching one pixel add up to 1.0). Offset by 256 they
// index a grid of cells, kCell values wide on each axis.
constexpr int kOffset = 256;
constexpr int kSpan = 768;
constexpr int kCellShift = 3;
constexpr int kCellsPerAxis = kSpan >> kCellShift;
constexpr int kCell = 1 << kCellShift;
constexpr std::size_t kCellCount = static_cast<std::size_t>(kCellsPerAxis) * kCellsPerAxis * kCellsPerAxis;

// weightedBlue(d) for 0 <= d <= 765 as (d x kBlueTimes65536) >> 16, the
// vector unit's high half of a 16-bit product: 39322 / 65536 exceeds 0.6 by
// less than 1 / 65536, too little to carry 3d / 5 past the next integer.
constexpr std::uint32_t kBlueTimes65536 = 39322;

inline std::int32_t distance(std::int32_t dR, std::int32_t dG, std::int32_t dB) {
    return std::max(std::max(std::abs(dR), std::abs(dG)), weightedBlue(std::abs(dB)));
}

// The palette entry chosen for a pixel: its colour and its number.
struct Choice {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
    std::int32_t entry;
};

// The grid cell of an adjusted colour, or -1 outside the grid.
inline std::int32_t cellOf(std::int32_t red, std::int32_t green, std::int32_t blue) {
    const auto r = static_cast<std::uint32_t>(red + kOffset);
    const auto g = static_cast<std::uint32_t>(green + kOffset);
    const auto b = static_cast<std::uint32_t>(blue + kOffset);
    if (r >= kSpan || g >= kSpan || b >= kSpan) return -1;
    return static_cast<std::int32_t>(((r >> kCellShift) * kCellsPerAxis + (g >> kCellShift)) * kCellsPerAxis +
                                     (b >> kCellShift));
}

// The entries that can be nearest to some colour of a grid cell, in index
// order: entry k is listed when its least distance to the cell does not
// exceed the smallest greatest distance of any entry to the cell. Every
// entry at the least distance from a colour of the cell is then listed, so a
// scan of the list that keeps the first of equal distances finds the same
// entry as a scan of the whole palette.
class CellLister {
public:
    // `count`: 1 to 256, as the remap requires.
    CellLister(const Palette& palette, std::int32_t count)
        : palette_(palette), count_(count), least_(static_cast<std::size_t>(count_)) {}

    std::int32_t count() const { return count_; }
    const Palette& palette() const { return palette_; }

    // Fills `listed` with the entry numbers for the cell; returns how many.
    std::int32_t list(std::int32_t cell, std::int32_t* listed) {
        std::int32_t lo[3];
        std::int32_t hi[3];
        std::int32_t rest = cell;
        for (int c = 2; c >= 0; --c) {
            lo[c] = (rest % kCellsPerAxis) * kCell - kOffset;
            hi[c] = lo[c] + kCell - 1;
            rest /= kCellsPerAxis;
        }
        std::int32_t bound = std::numeric_limits<std::int32_t>::max();
        for (std::int32_t k = 0; k < count_; ++k) {
            const std::int32_t r = palette_.red(k), g = palette_.green(k), b = palette_.blue(k);
            least_[static_cast<std::size_t>(k)] = std::max(std::max(leastOf(r, lo[0], hi[0]), leastOf(g, lo[1], hi[1])),
                                                           weightedBlue(leastOf(b, lo[2], hi[2])));
            const std::int32_t most = std::max(std::max(mostOf(r, lo[0], hi[0]), mostOf(g, lo[1], hi[1])),
                                               weightedBlue(mostOf(b, lo[2], hi[2])));
            bound = std::min(bound, most);
        }
        std::int32_t n = 0;
        for (std::int32_t k = 0; k < count_; ++k) {
            if (least_[static_cast<std::size_t>(k)] <= bound) listed[n++] = k;
        }
        return n;
    }

    // A scan of the whole palette; for values outside the grid, which the
    // diffusion never produces.
    Choice scanAll(std::int32_t red, std::int32_t green, std::int32_t blue) const {
        const std::int32_t chosen = nearestOfAll(red, green, blue);
        return Choice{palette_.red(chosen), palette_.green(chosen), palette_.blue(chosen), chosen};
    }
    std::int32_t nearestOfAll(std::int32_t red, std::int32_t green, std::int32_t blue) const {
        std::int32_t chosen = 0;
        std::int32_t best = std::numeric_limits<std::int32_t>::max();
        for (std::int32_t k = 0; k < count_; ++k) {
            const std::int32_t d = distance(palette_.red(k) - red, palette_.green(k) - green, palette_.blue(k) - blue);
            if (d < best) {
                best = d;
                chosen = k;
            }
        }
        return chosen;
    }

private:
    // Least and greatest difference between v and the values lo .. hi.
    static std::int32_t leastOf(std::int32_t v, std::int32_t lo, std::int32_t hi) {
        return v < lo ? lo - v : v > hi ? v - hi : 0;
    }
    static std::int32_t mostOf(std::int32_t v, std::int32_t lo, std::int32_t hi) { return std::max(v - lo, hi - v); }

    const Palette& palette_;
    const std::int32_t count_;
    std::vector<std::int32_t> least_;
};

}  // namespace pass
