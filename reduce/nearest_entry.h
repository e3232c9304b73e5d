// The nearest palette entry to an adjusted colour, as the remap looks for it:
// the smallest distance max(|dR|, |dG|, trunc(|dB| x 0.6)), the lowest index
// on a tie. Two searches give the same answers: NearestEntry scans a short
// list of candidates one entry at a time; NearestEntryAvx2 compares 32 at once
// from rows of distances, behind a cache of recent choices that switches
// itself off where neighbours seldom repeat a colour. Each worker of the
// remap has its own search object, made before the workers start and
// prepared by the worker itself before its first search; only its own worker
// uses it.
//
// Everything a worker calls stays inline here: the remap compiles each
// worker's function in one piece, for the vector unit where there is one,
// and listing the cells alone is a tenth of its work.
#pragma once

#include "cell_lister.h"
#include "palette.h"
#include "pass.h"
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

// Nearest entry by scanning the cell's list one entry at a time. Cells are
// listed when first needed.
class NearestEntry {
public:
    // What every worker's search is made from.
    struct Shared {
        Shared(const Palette& p, std::int32_t c) : palette(p), count(c) {}
        const Palette& palette;
        std::int32_t count;
    };
    explicit NearestEntry(const Shared& shared);

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
        return Choice{list[chosen].red, list[chosen].green, list[chosen].blue, list[chosen].entry};
    }

private:
    struct Entry {
        std::int16_t red;
        std::int16_t green;
        std::int16_t blue;
        std::int16_t entry;
    };

    std::uint32_t list(std::int32_t cell) {
        std::int32_t listed[kMaxPaletteEntries];
        const std::int32_t n = lister_.list(cell, listed);
        pool_.push_back(Entry{static_cast<std::int16_t>(n), 0, 0, 0});
        const auto start = static_cast<std::uint32_t>(pool_.size());
        const Palette& palette = lister_.palette();
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t k = listed[i];
            pool_.push_back(Entry{palette.red(k), palette.green(k), palette.blue(k), static_cast<std::int16_t>(k)});
        }
        cellStart_[static_cast<std::size_t>(cell)] = start;
        return start;
    }

    CellLister lister_;
    WorkerTable<std::uint32_t> cellStart_;  // where a cell's entries begin in pool_, after their number
    std::vector<Entry> pool_;
};

// CR_HAVE_AVX2_PATH comes from reduce/CMakeLists.txt, which knows the target.
#ifdef CR_HAVE_AVX2_PATH

// What NearestEntryAvx2 looks distances up in, made once per remap and read
// by every worker: for each channel and each adjusted value from -255 to 510
// a row of bytes, the channel's part of the distance to every entry
// (|dR|, |dG|, trunc(|dB| x 0.6)), capped at 255. The rows are as long as
// the palette rounded up to 32 entries, the spare places holding 255, so
// that a palette of 32 entries keeps its three channels' rows in 74 KB.
class DistanceRows {
public:
    static constexpr std::int32_t kValues = kSpan - 2;  // -255 .. 510
    static constexpr std::int32_t kCap = 255;

    DistanceRows(const Palette& palette, std::int32_t count);

    const Palette& palette() const { return palette_; }
    std::int32_t count() const { return count_; }
    std::int32_t length() const { return length_; }
    // Entry k's red, green, blue and 0, 16-byte aligned.
    const std::int32_t* colour(std::int32_t k) const { return colours_[k]; }
    // The row of `channel` for adjusted value v; REQUIRES -255 <= v <= 510.
    const std::uint8_t* row(int channel, std::int32_t v) const {
        return rows_.data() + (static_cast<std::size_t>(channel) * kValues + static_cast<std::size_t>(v + 255)) *
                                  static_cast<std::size_t>(length_);
    }

private:
    std::uint8_t* rowAt(int channel, std::int32_t v) { return const_cast<std::uint8_t*>(row(channel, v)); }

    const Palette& palette_;
    std::int32_t count_;
    std::int32_t length_;
    std::vector<std::uint8_t> rows_;
    alignas(16) std::int32_t colours_[kMaxPaletteEntries][4] = {};
};

// Nearest entry by comparing 32 entries at once (AVX2). For most colours the
// comparison is among the few entries that can be nearest to some colour of
// the colour's grid cell (nearly always 32 or fewer, even in noise): their
// colours are kept per cell, listed when the cell is first met, and one
// round of 16-bit arithmetic gives every candidate's distance. A cell of
// more candidates compares the whole palette from the rows of distances:
// the largest of the three channels' bytes is each entry's distance.
//
// A worker keeps the candidates of kMostCells cells at most: a 12 MP
// photograph meets about 13 000, whose candidates stay in the processor's
// cache. When the cells kept are full, the worker looks at how often they
// served. Where each served at least kSearchesPerCell searches (a picture
// whose colours move slowly through the cube, such as a gradient or every
// colour in key order, which meets a few thousand cells in a hundred rows
// and never again), it forgets them all and lists cells afresh. Where they
// served less, as in noise, which meets tens of thousands of cells within
// its first pixels, the cells would be listed for little use and their
// candidates fetched from memory would cost more than the rows' eight
// rounds, which stay in the cache: every colour from then on is compared
// from the rows.
//
// Either way the smallest of distance << 8 | entry is the entry of the
// smallest distance and, among equals, of the lowest index; the cell's list holds
// every entry that can be at the least distance, so both give the same
// answer. A distance capped at 255 is no answer (some other entry may be
// nearer than its true distance): then, and for values outside the rows,
// the whole palette is scanned.
//
// In front of both sits a cache of the entry chosen for each recent
// adjusted colour: in a photograph of wide smooth surfaces (wood, sky) the
// same adjusted colour comes back about nine times in ten, and a hit costs
// one load instead of a search. In a busy photograph it comes back less
// than half the time, in noise or scientific data seldom, and a cache that
// misses costs a store and a mispredicted branch on every pixel; so the
// worker reviews the hits every kWindow searches and leaves the cache alone
// for kRestWindows windows when fewer than half hit. An answer is the same
// from the cache, the cell and the rows, so what they hold, and when each is
// used, never shows in the output.
class NearestEntryAvx2 {
public:
    using Shared = DistanceRows;
    // `mostCells`: how many cells' candidates the worker keeps at most (the
    // tests make it small to meet the switch to the rows).
    explicit NearestEntryAvx2(const DistanceRows& rows, std::size_t mostCells = kMostCells)
        : rows_(&rows), lister_(rows.palette(), rows.count()), recent_(kSlots), cellOf_(kCellCount) {
        // Reserved, not touched: only the cells met take memory.
        candidates_.reserve(std::min(mostCells, kMostCells));
    }
    // 2 MB of candidates per worker.
    static constexpr std::size_t kMostCells = std::size_t{1} << 14;
    static constexpr std::size_t kSearchesPerCell = 16;

    // On the worker's thread, before the first find.
    void prepare() {
        recent_.fill(0);
        cellOf_.fill(kUnlisted);
    }

    __attribute__((target("avx2"))) Choice find(std::int32_t red, std::int32_t green, std::int32_t blue) {
        const std::int32_t k = findEntry(red, green, blue);
        const Palette& palette = rows_->palette();
        return Choice{palette.red(k), palette.green(k), palette.blue(k), k};
    }

    // The number of the nearest entry.
    __attribute__((target("avx2"))) std::int32_t findEntry(std::int32_t red, std::int32_t green, std::int32_t blue) {
        if (static_cast<std::uint32_t>(red + 255) >= static_cast<std::uint32_t>(DistanceRows::kValues) ||
            static_cast<std::uint32_t>(green + 255) >= static_cast<std::uint32_t>(DistanceRows::kValues) ||
            static_cast<std::uint32_t>(blue + 255) >= static_cast<std::uint32_t>(DistanceRows::kValues)) {
            return lister_.nearestOfAll(red, green, blue);
        }
        const std::int32_t k = caching_ ? findRecent(red, green, blue) : search(red, green, blue);
        if (--untilReview_ == 0) review();
        return k;
    }

    // Entry k's red, green and blue in the first three of four 32-bit lanes:
    // one load where the remap takes the error, instead of three loads and
    // three inserts in the chain from one pixel to the next.
    __attribute__((target("avx2"))) __m128i colourOf(std::int32_t k) const {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(rows_->colour(k)));
    }
    const Palette& palette() const { return rows_->palette(); }

private:
    static constexpr int kLowBits = 5;
    static constexpr std::uint32_t kLowMask = (1u << kLowBits) - 1;
    static constexpr std::size_t kSlots = std::size_t{1} << (3 * kLowBits);  // 128 KB of slots
    static constexpr std::uint32_t kFilled = 1u << (3 * kLowBits);
    static constexpr std::int32_t kWindow = 4096;
    static constexpr std::int32_t kRestWindows = 32;

    // A colour's slot is the low five bits of each channel, so that nearby
    // colours take different slots; the slot holds the rest of the colour,
    // a mark that it is filled, and the entry: filled << 23 | rest << 8 | k.
    // A table of zeros is empty.
    __attribute__((target("avx2"))) std::int32_t findRecent(std::int32_t red, std::int32_t green,
                                                             std::int32_t blue) {
        const auto r = static_cast<std::uint32_t>(red + 255);
        const auto g = static_cast<std::uint32_t>(green + 255);
        const auto b = static_cast<std::uint32_t>(blue + 255);
        const std::uint32_t slot = (r & kLowMask) << (2 * kLowBits) | (g & kLowMask) << kLowBits | (b & kLowMask);
        const std::uint32_t rest =
            kFilled | (r >> kLowBits) << (2 * kLowBits) | (g >> kLowBits) << kLowBits | (b >> kLowBits);
        std::uint32_t& held = recent_[slot];
        if ((held >> 8) == rest) {
            ++hits_;
            return static_cast<std::int32_t>(held & 0xFFu);
        }
        const std::int32_t k = search(red, green, blue);
        held = rest << 8 | static_cast<std::uint32_t>(k);
        return k;
    }

    void review() {
        if (caching_) {
            caching_ = hits_ * 2 >= kWindow;
            untilReview_ = caching_ ? kWindow : kWindow * kRestWindows;
        } else {
            caching_ = true;
            untilReview_ = kWindow;
        }
        hits_ = 0;
    }

    // The entries that can be nearest to some colour of a cell, at most 32,
    // in index order; places past the last repeat the first, which changes
    // no smallest distance << 8 | entry.
    struct alignas(32) Candidates {
        std::uint8_t red[32];
        std::uint8_t green[32];
        std::uint8_t blue[32];
        std::uint8_t entry[32];
    };
    // cellOf_ holds for each cell one of these or 2 + the cell's place in
    // candidates_, with kWide added when it has more than 16 candidates: a
    // cell of 16 or fewer (most cells of a photograph) is compared in one
    // round instead of two.
    static constexpr std::uint16_t kUnlisted = 0;
    static constexpr std::uint16_t kWholePalette = 1;
    static constexpr std::uint16_t kWide = 0x8000;
    static_assert(kMostCells + 2 < kWide, "a cell's place must leave the wide mark free");

    // REQUIRES each value within the rows.
    __attribute__((target("avx2"))) std::int32_t search(std::int32_t red, std::int32_t green, std::int32_t blue) {
        if (!cellsFull_) {
            ++cellSearches_;
            const auto cell = static_cast<std::size_t>(cellOf(red, green, blue));
            std::uint16_t listed = cellOf_[cell];
            if (listed == kUnlisted) listed = cellOf_[cell] = listCell(static_cast<std::int32_t>(cell));
            if (listed != kWholePalette) {
                return searchCell(candidates_[(listed & ~kWide) - 2u], (listed & kWide) != 0, red, green, blue);
            }
        }
        return searchRows(red, green, blue);
    }

    // Lists the cell's candidates when there are at most 32 and room for
    // them; returns the cell's value for cellOf_.
    std::uint16_t listCell(std::int32_t cell);

    __attribute__((target("avx2"))) std::int32_t searchCell(const Candidates& listed, bool wide, std::int32_t red,
                                                             std::int32_t green, std::int32_t blue) const {
        const __m256i r = _mm256_set1_epi16(static_cast<std::int16_t>(red));
        const __m256i g = _mm256_set1_epi16(static_cast<std::int16_t>(green));
        const __m256i b = _mm256_set1_epi16(static_cast<std::int16_t>(blue));
        __m256i both = keys(listed, 0, r, g, b);
        if (wide) both = _mm256_min_epu16(both, keys(listed, 16, r, g, b));
        const __m128i half = _mm_min_epu16(_mm256_castsi256_si128(both), _mm256_extracti128_si256(both, 1));
        const auto least = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(half))) & 0xFFFFu;
        if ((least >> 8) >= static_cast<std::uint32_t>(DistanceRows::kCap)) {
            return lister_.nearestOfAll(red, green, blue);
        }
        return static_cast<std::int32_t>(least & 0xFFu);
    }

    // min(distance, 255) << 8 | entry for the 16 candidates from `from`.
    __attribute__((target("avx2"))) static __m256i keys(const Candidates& listed, int from, __m256i r, __m256i g,
                                                        __m256i b) {
        const __m256i dr = _mm256_abs_epi16(_mm256_sub_epi16(widen(listed.red + from), r));
        const __m256i dg = _mm256_abs_epi16(_mm256_sub_epi16(widen(listed.green + from), g));
        const __m256i db = _mm256_abs_epi16(_mm256_sub_epi16(widen(listed.blue + from), b));
        const __m256i weighted = _mm256_mulhi_epu16(db, _mm256_set1_epi16(static_cast<std::int16_t>(kBlueTimes65536)));
        const __m256i d = _mm256_max_epi16(_mm256_max_epi16(dr, dg), weighted);
        const __m256i capped = _mm256_min_epi16(d, _mm256_set1_epi16(DistanceRows::kCap));
        return _mm256_or_si256(_mm256_slli_epi16(capped, 8), widen(listed.entry + from));
    }

    __attribute__((target("avx2"))) static __m256i widen(const std::uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
    }

    // REQUIRES each value within the rows.
    __attribute__((target("avx2"))) std::int32_t searchRows(std::int32_t red, std::int32_t green,
                                                             std::int32_t blue) const {
        const DistanceRows& rows = *rows_;
        const std::uint8_t* r = rows.row(0, red);
        const std::uint8_t* g = rows.row(1, green);
        const std::uint8_t* b = rows.row(2, blue);
        const std::int32_t length = rows.length();
        __m256i place = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m256i step = _mm256_set1_epi8(32);
        __m256i low = _mm256_set1_epi16(-1);
        __m256i high = low;
        for (std::int32_t i = 0; i < length; i += 32) {
            const __m256i d = _mm256_max_epu8(_mm256_max_epu8(load(r + i), load(g + i)), load(b + i));
            // Byte j of the entries pairs with byte j of their places, lane
            // by lane, whatever order the unpacking leaves the pairs in.
            low = _mm256_min_epu16(low, _mm256_unpacklo_epi8(place, d));
            high = _mm256_min_epu16(high, _mm256_unpackhi_epi8(place, d));
            place = _mm256_add_epi8(place, step);
        }
        const __m256i both = _mm256_min_epu16(low, high);
        const __m128i half = _mm_min_epu16(_mm256_castsi256_si128(both), _mm256_extracti128_si256(both, 1));
        const auto least = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(half))) & 0xFFFFu;
        if ((least >> 8) >= static_cast<std::uint32_t>(DistanceRows::kCap)) {
            return lister_.nearestOfAll(red, green, blue);
        }
        return static_cast<std::int32_t>(least & 0xFFu);
    }

    __attribute__((target("avx2"))) static __m256i load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    const DistanceRows* rows_;
    CellLister lister_;  // its whole-palette scan
    WorkerTable<std::uint32_t> recent_;
    WorkerTable<std::uint16_t> cellOf_;
    std::vector<Candidates, UnsetAllocator<Candidates>> candidates_;  // 2 MB: on a large page
    std::size_t cellSearches_ = 0;  // searches by cell since the cells kept were last forgotten
    bool cellsFull_ = false;
    bool caching_ = true;
    std::int32_t untilReview_ = kWindow;
    std::int32_t hits_ = 0;
};

// Whether this processor has the vector unit that NearestEntryAvx2 needs.
bool haveAvx2();
#endif

}  // namespace pass
