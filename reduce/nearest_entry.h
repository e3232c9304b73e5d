// The nearest palette entry to an adjusted colour, as the remap looks for it:
// the smallest distance max(|dR|, |dG|, trunc(|dB| x 0.6)), the lowest index
// on a tie. Two searches give the same answers: NearestEntry scans a short
// list of candidates one entry at a time; NearestEntryAvx2 compares 16 at once
// behind a cache of recent choices. Each worker of the remap has its own
// search object, made before the workers start and prepared by the worker
// itself before its first search; a search object grows its lists as it
// meets new cells, and only its own worker uses it.
//
// Everything a worker calls stays inline here: the remap compiles each
// worker's function in one piece, for the vector unit where there is one,
// and listing the cells alone is a tenth of its work.
#pragma once

#include "palette.h"
#include "pass_internals.h"
#include "worker_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

inline std::int32_t distance(std::int32_t dR, std::int32_t dG, std::int32_t dB) {
    return std::max(std::max(std::abs(dR), std::abs(dG)), weightedBlue(std::abs(dB)));
}

// The colour of the palette entry chosen for a pixel.
struct Choice {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
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
        std::int32_t chosen = 0;
        std::int32_t best = std::numeric_limits<std::int32_t>::max();
        for (std::int32_t k = 0; k < count_; ++k) {
            const std::int32_t d = distance(palette_.red(k) - red, palette_.green(k) - green, palette_.blue(k) - blue);
            if (d < best) {
                best = d;
                chosen = k;
            }
        }
        return Choice{palette_.red(chosen), palette_.green(chosen), palette_.blue(chosen)};
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

// Nearest entry by scanning the cell's list one entry at a time. Cells are
// listed when first needed.
class NearestEntry {
public:
    NearestEntry(const Palette& palette, std::int32_t count);

    // On the worker's thread, before the first find.
    void prepare() { cellStart_.fill(0); }

    Choice find(std::int32_t red, std::int32_t green, std::int32_t blue) {
        const std::int32_t cell = cellOf(red, green, blue);
        if (cell < 0) return lister_.scanAll(red, green, blue);
        std::uint32_t start = cellStart_[static_cast<std::size_t>(cell)];
        if (start == 0) start = list(cell);
        const Entry* list = pool_.data() + start;
        const std::int32_t n = list[-1].red;
        std::int32_t chosen = 0;
        if (n > 1) {
            std::int32_t best = distance(list[0].red - red, list[0].green - green, list[0].blue - blue);
            for (std::int32_t i = 1; i < n; ++i) {
                const std::int32_t d = distance(list[i].red - red, list[i].green - green, list[i].blue - blue);
                if (d < best) {
                    best = d;
                    chosen = i;
                }
            }
        }
        return Choice{list[chosen].red, list[chosen].green, list[chosen].blue};
    }

private:
    struct Entry {
        std::int16_t red;
        std::int16_t green;
        std::int16_t blue;
        std::int16_t spare;
    };

    std::uint32_t list(std::int32_t cell) {
        std::int32_t listed[kMaxPaletteEntries];
        const std::int32_t n = lister_.list(cell, listed);
        pool_.push_back(Entry{static_cast<std::int16_t>(n), 0, 0, 0});
        const auto start = static_cast<std::uint32_t>(pool_.size());
        const Palette& palette = lister_.palette();
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t k = listed[i];
            pool_.push_back(Entry{palette.red(k), palette.green(k), palette.blue(k), 0});
        }
        cellStart_[static_cast<std::size_t>(cell)] = start;
        return start;
    }

    CellLister lister_;
    WorkerTable<std::uint32_t> cellStart_;  // where a cell's entries begin in pool_, after their number
    std::vector<Entry> pool_;
};

// Not on Windows: GCC there cannot keep 32-byte vectors aligned on the
// stack (the system's stack is only 16-byte aligned), so the plain search
// serves there.
#if defined(__x86_64__) && !defined(_WIN32)
#define CR_HAVE_AVX2_PATH 1

// Nearest entry by comparing 16 listed entries at once (AVX2). A cell's list
// is kept as three arrays of 16-bit values (red, green, blue), each padded
// to a multiple of 16, and to at least 32, with a colour far outside the
// grid. In front of the lists sits a direct-mapped cache of the choice for
// each recent adjusted colour: photographs meet the same adjusted colour
// again about nine times in ten.
class NearestEntryAvx2 {
public:
    NearestEntryAvx2(const Palette& palette, std::int32_t count);

    // On the worker's thread, before the first find.
    void prepare() {
        cellStart_.fill(0);
        cache_.fill(~std::uint64_t{0});
    }

    __attribute__((target("avx2"))) Choice find(std::int32_t red, std::int32_t green, std::int32_t blue) {
        // The cache holds the choice for an adjusted colour, its three offset
        // values packed 10 bits each (a value that does not fit skips it).
        const auto r = static_cast<std::uint32_t>(red + kOffset);
        const auto g = static_cast<std::uint32_t>(green + kOffset);
        const auto b = static_cast<std::uint32_t>(blue + kOffset);
        if ((r | g | b) >= 1024u) return findListed(red, green, blue);
        const std::uint64_t color = std::uint64_t{r} << 20 | std::uint64_t{g} << 10 | b;
        const std::size_t slot = static_cast<std::size_t>((color * 0x9E3779B97F4A7C15ull) >> (64 - kCacheBits));
        const std::uint64_t cached = cache_[slot];
        if ((cached >> 32) == color) {
            return Choice{static_cast<std::int32_t>((cached >> 16) & 0xFF), static_cast<std::int32_t>((cached >> 8) & 0xFF),
                          static_cast<std::int32_t>(cached & 0xFF)};
        }
        const Choice c = findListed(red, green, blue);
        cache_[slot] = color << 32 | static_cast<std::uint64_t>(c.red) << 16 | static_cast<std::uint64_t>(c.green) << 8 |
                       static_cast<std::uint64_t>(c.blue);
        return c;
    }

    __attribute__((target("avx2"))) Choice findListed(std::int32_t red, std::int32_t green, std::int32_t blue) {
        const std::int32_t cell = cellOf(red, green, blue);
        if (cell < 0) return lister_.scanAll(red, green, blue);
        std::uint32_t start = cellStart_[static_cast<std::size_t>(cell)];
        if (start == 0) start = list(cell);
        const std::int16_t* list = pool_.data() + start;
        const std::int32_t n = list[-kLanes];
        if (n > kMostListed) return lister_.scanAll(red, green, blue);
        const std::int32_t padded = paddedLength(n);
        const __m256i r = _mm256_set1_epi16(static_cast<std::int16_t>(red));
        const __m256i g = _mm256_set1_epi16(static_cast<std::int16_t>(green));
        const __m256i b = _mm256_set1_epi16(static_cast<std::int16_t>(blue));
        // Each lane's distance << 7 | its place in the list: the smallest such
        // key is the first listed entry at the smallest distance, that is the
        // one of the lowest index. Lists of up to 32 entries (nearly all) take
        // the same path every time, without a branch to mispredict.
        __m256i least = key(list, padded, 0, r, g, b);
        least = _mm256_min_epu16(least, key(list, padded, kLanes, r, g, b));
        for (std::int32_t i = 2 * kLanes; i < padded; i += kLanes) {
            least = _mm256_min_epu16(least, key(list, padded, i, r, g, b));
        }
        const __m128i half = _mm_min_epu16(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
        const std::int32_t chosen = _mm_cvtsi128_si32(_mm_minpos_epu16(half)) & 0x7F;
        return Choice{list[chosen], list[padded + chosen], list[2 * padded + chosen]};
    }

private:
    static constexpr std::int32_t kLanes = 16;
    static constexpr std::int16_t kFarAway = 16000;
    static constexpr int kCacheBits = 16;
    // A list's place must fit in 7 bits of a lane; a longer list (a palette
    // of many near-equal entries) is answered by a scan of the palette.
    static constexpr std::int32_t kMostListed = 128;

    __attribute__((target("avx2"))) static __m256i load(const std::int16_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    // Lists are padded to a multiple of 16 entries, and to at least 32.
    static std::int32_t paddedLength(std::int32_t n) { return std::max(2 * kLanes, (n + kLanes - 1) / kLanes * kLanes); }

    // distance << 7 | place for the 16 listed entries from place i on.
    __attribute__((target("avx2"))) static __m256i key(const std::int16_t* list, std::int32_t padded, std::int32_t i,
                                                        __m256i r, __m256i g, __m256i b) {
        // trunc(d x 0.6) as the high half of d x 39322 (checked by the tests).
        const __m256i sixTenths = _mm256_set1_epi16(static_cast<std::int16_t>(39322));
        // Real distances are at most 510; padding lanes are held at 511.
        const __m256i ceiling = _mm256_set1_epi16(511);
        const __m256i place = _mm256_add_epi16(_mm256_set1_epi16(static_cast<std::int16_t>(i)),
                                               _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
        const __m256i dR = _mm256_abs_epi16(_mm256_sub_epi16(load(list + i), r));
        const __m256i dG = _mm256_abs_epi16(_mm256_sub_epi16(load(list + padded + i), g));
        const __m256i dB = _mm256_abs_epi16(_mm256_sub_epi16(load(list + 2 * padded + i), b));
        __m256i d = _mm256_max_epu16(_mm256_max_epu16(dR, dG), _mm256_mulhi_epu16(dB, sixTenths));
        d = _mm256_min_epu16(d, ceiling);
        return _mm256_or_si256(_mm256_slli_epi16(d, 7), place);
    }

    std::uint32_t list(std::int32_t cell) {
        std::int32_t listed[kMaxPaletteEntries];
        const std::int32_t n = lister_.list(cell, listed);
        const std::int32_t padded = paddedLength(n);
        const std::size_t header = pool_.size();
        pool_.resize(header + kLanes + 3 * static_cast<std::size_t>(padded), kFarAway);
        pool_[header] = static_cast<std::int16_t>(n);
        const auto start = static_cast<std::uint32_t>(header + kLanes);
        const Palette& palette = lister_.palette();
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t k = listed[i];
            pool_[start + i] = palette.red(k);
            pool_[start + padded + i] = palette.green(k);
            pool_[start + 2 * padded + i] = palette.blue(k);
        }
        cellStart_[static_cast<std::size_t>(cell)] = start;
        return start;
    }

    CellLister lister_;
    WorkerTable<std::uint32_t> cellStart_;
    std::vector<std::int16_t> pool_;
    WorkerTable<std::uint64_t> cache_;
};

// Whether this processor has the vector unit that NearestEntryAvx2 needs.
bool haveAvx2();
#endif

}  // namespace pass
