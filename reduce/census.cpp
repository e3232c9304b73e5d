#include "census.h"

#include "workers.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

namespace pass {
namespace {

constexpr std::uint32_t kColors = 1u << 24;
constexpr std::uint32_t kWords = kColors / 64;

// The key of the pixel at `p`: its blue, green, red bytes read as one
// little-endian number. The wide form loads 4 bytes, so it is kept away
// from the last pixel of a row, which may end the buffer.
inline std::uint32_t keyAt(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16;
}
inline std::uint32_t keyAtWide(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;
}

// Calls f(key) for every pixel of buffer rows [firstRow, lastRow).
template <typename F>
__attribute__((always_inline)) inline void forEachKey(const ImageView& image, std::int32_t firstRow, std::int32_t lastRow, F f) {
    for (std::int32_t r = firstRow; r < lastRow; ++r) {
        const std::uint8_t* p = image.pixels + static_cast<std::int64_t>(r) * image.stride;
        const std::int32_t last = image.width - 1;
        for (std::int32_t x = 0; x < last; ++x, p += 3) f(keyAtWide(p));
        f(keyAt(p));
    }
}

std::int32_t bandStart(const ImageView& image, int band, int bands) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(image.height) * band / bands);
}

// Adds one to `field` of the colour of every pixel in buffer rows [first, last).
// With millions of colours nearly every count lies outside the caches: the
// ranks of a batch of pixels are found first and their counts fetched ahead,
// so that the batch's memory waits overlap instead of following one another.
using Counter = std::uint32_t ColorCount::*;
__attribute__((always_inline)) inline void countBand(const ColorIndex& index, const ImageView& image, std::int32_t first,
                                                     std::int32_t last, ColorCount* colors, Counter field) {
    constexpr int kBatch = 64;
    std::uint32_t ranks[kBatch];
    int waiting = 0;
    const auto count = [&] {
        for (int i = 0; i < waiting; ++i) ++(colors[ranks[i]].*field);
        waiting = 0;
    };
    forEachKey(image, first, last, [&](std::uint32_t key) {
        const std::uint32_t rank = index.rank(key);
        __builtin_prefetch(colors + rank, 1);
        ranks[waiting++] = rank;
        if (waiting == kBatch) count();
    });
    count();
}

#if defined(__x86_64__)
// The same with the processor's population count instruction, where it has one.
__attribute__((target("popcnt"))) void countBandPopcnt(const ColorIndex& index, const ImageView& image,
                                                       std::int32_t first, std::int32_t last, ColorCount* colors,
                                                       Counter field) {
    countBand(index, image, first, last, colors, field);
}

bool havePopcnt() {
    static const bool yes = __builtin_cpu_supports("popcnt");
    return yes;
}
#endif

// Fills before[i] with the number of bits set in words 0 .. i - 1 and
// before[kWords] with all of them; returns that total. A quarter of a million
// words: without the instruction, a call into the compiler's library each.
__attribute__((always_inline)) inline std::uint32_t countBefore(const std::uint64_t* bits, std::uint32_t* before) {
    std::uint32_t running = 0;
    for (std::uint32_t i = 0; i < kWords; ++i) {
        before[i] = running;
        running += static_cast<std::uint32_t>(__builtin_popcountll(bits[i]));
    }
    before[kWords] = running;
    return running;
}

#if defined(__x86_64__)
__attribute__((target("popcnt"))) std::uint32_t countBeforePopcnt(const std::uint64_t* bits, std::uint32_t* before) {
    return countBefore(bits, before);
}
#endif

}  // namespace

ColorIndex::ColorIndex(const ImageView& image, int workers) : bits_(kWords, 0), before_(kWords + 1, 0) {
    assert(workers >= 1);
    if (image.empty()) return;
    // Each worker marks its band of rows in a bitmap of its own; the bitmaps
    // are then merged. Bits are set, never cleared, so the order is free.
    // Any number of workers gives the same bits: the bands are laid out for
    // as many as could start.
    std::vector<std::vector<std::uint64_t, UnsetAllocator<std::uint64_t>>> extra(static_cast<std::size_t>(workers - 1));
    for (auto& bits : extra) bits.assign(kWords, 0);
    int bands = 1;
    runWorkers(
        workers,
        [&](int started) {
            bands = started;
            extra.resize(static_cast<std::size_t>(started - 1));
        },
        [&](int w) {
            std::uint64_t* bits = w == 0 ? bits_.data() : extra[static_cast<std::size_t>(w - 1)].data();
            forEachKey(image, bandStart(image, w, bands), bandStart(image, w + 1, bands),
                       [bits](std::uint32_t key) { bits[key >> 6] |= std::uint64_t{1} << (key & 63); });
        });
    for (const auto& bits : extra) {
        for (std::uint32_t i = 0; i < kWords; ++i) bits_[i] |= bits[i];
    }
#if defined(__x86_64__)
    distinct_ = havePopcnt() ? countBeforePopcnt(bits_.data(), before_.data())
                             : countBefore(bits_.data(), before_.data());
#else
    distinct_ = countBefore(bits_.data(), before_.data());
#endif
}

ColorList countColors(const ImageView& image, int workers, Variant variant) {
    assert(workers >= 1);
    const ColorIndex index(image, workers);
    const std::uint32_t distinct = index.distinct();
    ColorList colors(distinct);  // unset, cleared here by every worker
    if (distinct == 0) return colors;
    int running = 1;
    runWorkers(
        workers, [&](int started) { running = started; },
        [&](int w) {
            ColorCount* const first = colors.data() + shareStart(distinct, w, running);
            std::fill(first, colors.data() + shareStart(distinct, w + 1, running), ColorCount{0, 0});
        });
    // No table beside the colours: the first worker counts into `count`, the
    // second into `key` (distinct fields, so neither disturbs the other), and
    // the keys are written when both are done. Each worker takes a band of
    // rows; the counts are the same for any number of workers.
    runWorkers(
        std::min(workers, 2), [&](int started) { running = started; },
        [&](int w) {
            const std::int32_t first = bandStart(image, w, running);
            const std::int32_t last = bandStart(image, w + 1, running);
            const Counter field = w == 0 ? &ColorCount::count : &ColorCount::key;
#if defined(__x86_64__)
            if (variant == Variant::Best && havePopcnt()) {
                countBandPopcnt(index, image, first, last, colors.data(), field);
                return;
            }
#else
            (void)variant;
#endif
            countBand(index, image, first, last, colors.data(), field);
        });
    runWorkers(
        workers, [&](int started) { running = started; },
        [&](int w) {
            const auto addKey = [&colors](std::uint32_t rank, std::uint32_t key) {
                ColorCount& c = colors[rank];
                c.count += c.key;
                c.key = key;
            };
            index.forEachUsed(shareStart(kColors, w, running), shareStart(kColors, w + 1, running), addKey);
        });
    return colors;
}

}  // namespace pass
