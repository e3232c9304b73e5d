#include "nearest_entry.h"

#include <algorithm>

namespace pass {

NearestEntry::NearestEntry(const Shared& shared)
    : lister_(shared.palette, shared.count), cellStart_(kCellCount) {
    pool_.reserve(1 << 16);
    pool_.push_back(Entry{0, 0, 0, 0});  // start 0 marks a cell not listed yet
}

#ifdef CR_HAVE_AVX2_PATH
DistanceRows::DistanceRows(const Palette& palette, std::int32_t count)
    : palette_(palette), count_(count), length_((count + 31) / 32 * 32),
      rows_(3 * static_cast<std::size_t>(kValues) * static_cast<std::size_t>(length_), std::uint8_t{kCap}) {
    for (std::int32_t k = 0; k < count; ++k) {
        for (int channel = 0; channel < 3; ++channel) {
            colours_[k][channel] = palette.rgb[static_cast<std::size_t>(3 * k + channel)];
        }
    }
    for (int channel = 0; channel < 3; ++channel) {
        for (std::int32_t v = -255; v <= 510; ++v) {
            std::uint8_t* row = rowAt(channel, v);
            for (std::int32_t k = 0; k < count; ++k) {
                const std::int32_t entry = palette.rgb[static_cast<std::size_t>(3 * k + channel)];
                std::int32_t part = std::abs(entry - v);
                if (channel == 2) part = weightedBlue(part);
                row[k] = static_cast<std::uint8_t>(std::min(part, kCap));
            }
        }
    }
}

// An entry can be nearest to some colour of the cell when its least
// distance to the cell is at most the smallest greatest distance of any
// entry to it. Per channel the least part over the cell's values is the
// least of their rows, the greatest part that of the two ends (the part
// grows with the difference); both are capped at 255 like the rows, which
// matters not once the bound is below 255.
__attribute__((target("avx2"))) std::uint16_t NearestEntryAvx2::listCell(std::int32_t cell) {
    const DistanceRows& rows = *rows_;
    std::int32_t lo[3];
    std::int32_t hi[3];
    std::int32_t rest = cell;
    for (int c = 2; c >= 0; --c) {
        const std::int32_t start = (rest % kCellsPerAxis) * kCell - kOffset;
        lo[c] = std::max(start, -255);
        hi[c] = std::min(start + kCell - 1, 510);
        rest /= kCellsPerAxis;
    }
    const std::int32_t length = rows.length();
    alignas(32) std::uint8_t least[kMaxPaletteEntries];
    __m256i bound = _mm256_set1_epi8(-1);
    for (std::int32_t i = 0; i < length; i += 32) {
        __m256i leastPart = _mm256_setzero_si256();
        __m256i mostPart = _mm256_setzero_si256();
        for (int c = 0; c < 3; ++c) {
            const __m256i low = load(rows.row(c, lo[c]) + i);
            const __m256i high = load(rows.row(c, hi[c]) + i);
            __m256i channelLeast = _mm256_min_epu8(low, high);
            for (std::int32_t v = lo[c] + 1; v < hi[c]; ++v) {
                channelLeast = _mm256_min_epu8(channelLeast, load(rows.row(c, v) + i));
            }
            leastPart = _mm256_max_epu8(leastPart, channelLeast);
            mostPart = _mm256_max_epu8(mostPart, _mm256_max_epu8(low, high));
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(least + i), leastPart);
        bound = _mm256_min_epu8(bound, mostPart);
    }
    alignas(32) std::uint8_t bounds[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(bounds), bound);
    const std::uint8_t smallest = *std::min_element(bounds, bounds + 32);
    if (smallest >= DistanceRows::kCap) return kWholePalette;
    if (candidates_.size() == candidates_.capacity() || candidates_.size() >= kMostCells) {
        if (cellSearches_ < kSearchesPerCell * candidates_.size()) {
            cellsFull_ = true;
            return kWholePalette;
        }
        // The cell being listed is set by the caller after this returns.
        candidates_.clear();
        cellOf_.fill(kUnlisted);
        cellSearches_ = 0;
    }

    // Places past the palette hold 255 in every row, above the bound.
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(smallest));
    std::uint8_t listed[kMaxPaletteEntries];
    int n = 0;
    for (std::int32_t i = 0; i < length; i += 32) {
        const __m256i part = load(least + i);
        const __m256i atMost = _mm256_cmpeq_epi8(_mm256_max_epu8(part, limit), limit);
        auto within = static_cast<std::uint32_t>(_mm256_movemask_epi8(atMost));
        while (within != 0) {
            listed[n++] = static_cast<std::uint8_t>(i + __builtin_ctz(within));
            within &= within - 1;
        }
    }
    if (n > 32) return kWholePalette;
    const Palette& palette = rows.palette();
    Candidates& kept = candidates_.emplace_back();
    for (int j = 0; j < 32; ++j) {
        const std::uint8_t k = listed[j < n ? j : 0];
        kept.red[j] = palette.red(k);
        kept.green[j] = palette.green(k);
        kept.blue[j] = palette.blue(k);
        kept.entry[j] = k;
    }
    return static_cast<std::uint16_t>((candidates_.size() + 1) | (n > 16 ? kWide : 0));
}

bool haveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

}  // namespace pass
