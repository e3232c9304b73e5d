#include "pass_internals.h"
#include "phases.h"
#include "workers.h"
#include "worker_table.h"

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

// Adds one to the count of every pixel's colour in buffer rows [first, last).
__attribute__((always_inline)) inline void countBand(const ColorIndex& index, const ImageView& image, std::int32_t first, std::int32_t last,
                      std::uint32_t* count) {
    forEachKey(image, first, last, [&index, count](std::uint32_t key) { ++count[index.rank(key)]; });
}

#if defined(__x86_64__)
// The same with the processor's population count instruction, where it has one.
__attribute__((target("popcnt"))) void countBandPopcnt(const ColorIndex& index, const ImageView& image,
                                                       std::int32_t first, std::int32_t last, std::uint32_t* count) {
    countBand(index, image, first, last, count);
}

bool havePopcnt() {
    static const bool yes = __builtin_cpu_supports("popcnt");
    return yes;
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
    std::vector<std::vector<std::uint64_t>> extra(static_cast<std::size_t>(workers - 1));
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
    std::uint32_t running = 0;
    for (std::uint32_t i = 0; i < kWords; ++i) {
        before_[i] = running;
        running += static_cast<std::uint32_t>(__builtin_popcountll(bits_[i]));
    }
    before_[kWords] = running;
    distinct_ = running;
}

std::vector<std::uint32_t> ColorIndex::keys() const {
    std::vector<std::uint32_t> keys;
    keys.reserve(distinct_);
    for (std::uint32_t i = 0; i < kWords; ++i) {
        for (std::uint64_t bits = bits_[i]; bits != 0; bits &= bits - 1) {
            keys.push_back(i << 6 | static_cast<std::uint32_t>(__builtin_ctzll(bits)));
        }
    }
    return keys;
}

std::vector<ColorCount> countColors(const ImageView& image, int workers, Variant variant) {
    assert(workers >= 1);
    const ColorIndex index(image, workers);
    const std::uint32_t distinct = index.distinct();
    std::vector<ColorCount> colors;
    if (distinct == 0) return colors;
    // Counts per worker band, added up afterwards; all made before the
    // workers start, so that a shortage of memory is met on this thread.
    std::vector<WorkerTable<std::uint32_t>> counts;
    counts.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w) counts.emplace_back(distinct);
    int running = 1;
    runWorkers(
        workers,
        [&](int started) {
            running = started;
            counts.erase(counts.begin() + started, counts.end());
        },
        [&](int w) {
            WorkerTable<std::uint32_t>& table = counts[static_cast<std::size_t>(w)];
            table.fill(0);
            std::uint32_t* mine = table.data();
            const std::int32_t first = bandStart(image, w, running);
            const std::int32_t last = bandStart(image, w + 1, running);
#if defined(__x86_64__)
            if (variant == Variant::Best && havePopcnt()) {
                countBandPopcnt(index, image, first, last, mine);
                return;
            }
#else
            (void)variant;
#endif
            countBand(index, image, first, last, mine);
        });
    for (std::size_t w = 1; w < counts.size(); ++w) {
        for (std::uint32_t i = 0; i < distinct; ++i) counts[0][i] += counts[w][i];
    }
    counts.erase(counts.begin() + 1, counts.end());
    const std::vector<std::uint32_t> keys = index.keys();
    colors.resize(distinct);
    for (std::uint32_t i = 0; i < distinct; ++i) colors[i] = ColorCount{keys[i], counts[0][i]};
    return colors;
}

}  // namespace pass

ColorTable takeCensus(const ImageView& image, TextSink& out) {
    ColorTable table;
    if (image.empty()) return table;
    const std::int64_t pixelCount = static_cast<std::int64_t>(image.width) * image.height;
    const pass::ColorIndex index(image, pass::workersFor(image));
    // The record number of each colour, by rank; records are numbered as
    // their colours first appear, top row first, left to right.
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> recordOf(index.distinct(), kNone);
    table.reserve(index.distinct());
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.at(0, y);
        for (std::int32_t x = 0; x < image.width; ++x, p += 3) {
            std::uint32_t& record = recordOf[index.rank(pass::keyAt(p))];
            if (record != kNone) {
                ++table[record].count;
                continue;
            }
            record = static_cast<std::uint32_t>(table.size());
            table.push_back(ColorEntry{p[2], p[1], p[0], 0, 1});
            if (static_cast<std::int64_t>(table.size()) > pixelCount) out.write("Internal error in process()\n");
        }
    }
    return table;
}
