#include "remap.h"

#include "pass_internals.h"
#include "workers.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace pass {
namespace {

// Adjusted values lie in -255 .. 510 (an error passed on is at most 255 in
// size and the weights reaching one pixel add up to 1.0). Offset by 256 they
// index a grid of cells, kCell values wide on each axis.
constexpr int kOffset = 256;
constexpr int kSpan = 768;
constexpr int kCellShift = 3;
constexpr int kCellsPerAxis = kSpan >> kCellShift;
constexpr int kCell = 1 << kCellShift;

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

constexpr std::size_t kCellCount = static_cast<std::size_t>(kCellsPerAxis) * kCellsPerAxis * kCellsPerAxis;

// The entries that can be nearest to some colour of a grid cell, in index
// order: entry k is listed when its least distance to the cell does not
// exceed the smallest greatest distance of any entry to the cell. Every
// entry at the least distance from a colour of the cell is then listed, so a
// scan of the list that keeps the first of equal distances finds the same
// entry as a scan of the whole palette.
class CellLister {
public:
    CellLister(const Palette& palette, std::int32_t count)
        : palette_(palette), count_(std::clamp(count, 1, kMaxPaletteEntries)), least_(static_cast<std::size_t>(count_)) {}

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
// listed when first needed; each worker keeps its own lists.
class NearestEntry {
public:
    NearestEntry(const Palette& palette, std::int32_t count) : lister_(palette, count), cellStart_(kCellCount, 0) {
        pool_.reserve(1 << 16);
        pool_.push_back(Entry{0, 0, 0, 0});  // start 0 marks a cell not listed yet
    }

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
    std::vector<std::uint32_t> cellStart_;  // where a cell's entries begin in pool_, after their number
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
    NearestEntryAvx2(const Palette& palette, std::int32_t count) : lister_(palette, count), cellStart_(kCellCount, 0) {
        pool_.reserve(1 << 18);
        pool_.resize(kLanes, 0);  // start 0 marks a cell not listed yet
    }

    __attribute__((target("avx2"))) Choice find(std::int32_t red, std::int32_t green, std::int32_t blue) {
        // The cache holds the choice for an adjusted colour, its three offset
        // values packed 10 bits each (a value that does not fit skips it).
        const auto r = static_cast<std::uint32_t>(red + kOffset);
        const auto g = static_cast<std::uint32_t>(green + kOffset);
        const auto b = static_cast<std::uint32_t>(blue + kOffset);
        if ((r | g | b) >= 1024u) return findListed(red, green, blue);
        const std::uint64_t colour = std::uint64_t{r} << 20 | std::uint64_t{g} << 10 | b;
        const std::size_t slot = static_cast<std::size_t>((colour * 0x9E3779B97F4A7C15ull) >> (64 - kCacheBits));
        const std::uint64_t cached = cache_[slot];
        if ((cached >> 32) == colour) {
            return Choice{static_cast<std::int32_t>((cached >> 16) & 0xFF), static_cast<std::int32_t>((cached >> 8) & 0xFF),
                          static_cast<std::int32_t>(cached & 0xFF)};
        }
        const Choice c = findListed(red, green, blue);
        cache_[slot] = colour << 32 | static_cast<std::uint64_t>(c.red) << 16 | static_cast<std::uint64_t>(c.green) << 8 |
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
    std::vector<std::uint64_t> cache_ = std::vector<std::uint64_t>(std::size_t{1} << kCacheBits, ~std::uint64_t{0});
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
    std::vector<std::uint32_t> cellStart_;
    std::vector<std::int16_t> pool_;
};

bool haveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// Progress of a worker: the last row of the band it is on and how many
// error triples that row has finished for the row below, packed in one
// number that only grows.
constexpr std::int64_t kRowUnit = std::int64_t{1} << 32;

// Published by the worker every few pixels. A worker that has to wait
// spins briefly, then sleeps until the next publication: on a busy machine
// the worker it waits for may not be running, and yielding in a loop would
// only take turns away from it.
struct alignas(64) Progress {
    std::atomic<std::int64_t> value{-kRowUnit};
    std::atomic<std::int64_t> wanted{std::numeric_limits<std::int64_t>::max()};
    std::atomic<int> sleepers{0};
    std::mutex mutex;
    std::condition_variable published;

    void publish(std::int64_t v) {
        value.store(v, std::memory_order_seq_cst);
        // Wake the sleeper once, when what it waits for has arrived.
        if (sleepers.load(std::memory_order_seq_cst) != 0 && v >= wanted.load(std::memory_order_seq_cst) &&
            v >= wanted.exchange(std::numeric_limits<std::int64_t>::max(), std::memory_order_seq_cst)) {
            const std::lock_guard<std::mutex> lock(mutex);
            published.notify_all();
        }
    }
};

// Rows go to the workers in bands of kBand rows: band b to worker b mod
// workers. Within a band each row trails the row above by kLag pixels, so one
// thread follows kBand independent chains of pixels at once; across bands the
// first row of a band waits for the last row of the band above.
constexpr std::int32_t kBand = 2;
constexpr std::int32_t kLag = 8;

struct RemapJob {
    ImageView image;
    const Palette* palette;
    std::int32_t paletteCount;
    int workers;
    std::size_t rowDoubles;  // (width + 2) x 3
    int ringRows;            // workers x kBand + 1
    double* ring;            // ringRows error rows; row y reads ring row y mod ringRows
    Progress* progress;      // one per worker
};

// Waits until the row above `row` has finished `needed` triples of its
// errors for `row` (`needed` at most width + 2); returns how many it has
// finished. Having to sleep means the other worker fell behind (on a busy
// machine it may not be running): sleep until it is well ahead again, so
// that a worker is not woken for every few pixels.
std::int64_t waitFor(Progress& upstream, std::int32_t row, std::int64_t needed, std::int64_t plenty) {
    const std::int64_t above = static_cast<std::int64_t>(row - 1) * kRowUnit;
    const auto finished = [&](std::int64_t v) {
        if (v >= above + kRowUnit) return std::numeric_limits<std::int64_t>::max();  // past that row
        return v - above;
    };
    for (int spins = 0; spins < 200; ++spins) {
        const std::int64_t done = finished(upstream.value.load(std::memory_order_seq_cst));
        if (done >= needed) return done;
        pause();
    }
    std::unique_lock<std::mutex> lock(upstream.mutex);
    const std::int64_t target = above + std::max(needed, plenty);
    upstream.wanted.store(target, std::memory_order_seq_cst);
    upstream.sleepers.fetch_add(1, std::memory_order_seq_cst);
    upstream.published.wait(lock, [&] { return upstream.value.load(std::memory_order_seq_cst) >= target; });
    upstream.sleepers.fetch_sub(1, std::memory_order_seq_cst);
    return finished(upstream.value.load(std::memory_order_seq_cst));
}

// One row on its way through the remap.
//
// The error that reaches a pixel is summed in the order the plain two-row
// scheme sums it: first what the row above passed down, in visiting order
// (0.05 from two to the left, 0.1 from the left, 0.35 from straight above,
// 0.05 from the right, each triple starting from zero), then 0.1 from two to
// the left and 0.35 from the left in this row. Each row writes the finished
// sums for the row below into its own error row of the ring, once per triple:
// triple x - 1 once pixel x has added to it.
struct Row {
    std::uint8_t* pixels;
    const double* below;  // errors passed down from the row above, finished
    double* out;          // errors for the row below
    // In this row: the 0.1 share from two to the left and the 0.35 share from
    // the left, and the 0.1 share that pixel x passes two to the right.
    double twoLeft[3];
    double left[3];
    double nextTwoLeft[3];
    // For the row below: the partial sums of triples x - 1, x and x + 1
    // before pixel x adds to them.
    double sumLeft[3];
    double sumHere[3];
    double sumRight[3];

    void start(const ImageView& image, std::int32_t y, const double* from, double* to) {
        pixels = image.at(0, y);
        below = from;
        out = to;
        for (int c = 0; c < 3; ++c) {
            twoLeft[c] = left[c] = nextTwoLeft[c] = 0.0;
            sumLeft[c] = sumHere[c] = sumRight[c] = 0.0;
        }
    }

    template <typename Nearest>
    __attribute__((always_inline)) inline void step(std::int32_t x, Nearest& nearest) {
        std::uint8_t* p = pixels + 3 * static_cast<std::ptrdiff_t>(x);
        const std::int32_t source[3] = {p[2], p[1], p[0]};
        std::int32_t adjusted[3];
        for (int c = 0; c < 3; ++c) {
            const double received = (below[3 * x + c] + twoLeft[c]) + left[c];
            adjusted[c] = static_cast<std::int32_t>(source[c] + received);
        }
        const Choice chosen = nearest.find(adjusted[0], adjusted[1], adjusted[2]);
        const std::int32_t chosenRgb[3] = {chosen.red, chosen.green, chosen.blue};
        for (int c = 0; c < 3; ++c) {
            // The error passed on comes from the source, not the adjusted value.
            const std::int32_t error = source[c] - chosenRgb[c];
            const double large = error * 0.35;
            const double small = error * 0.1;
            const double least = error * 0.05;
            twoLeft[c] = nextTwoLeft[c];
            nextTwoLeft[c] = small;
            left[c] = large;
            if (x > 0) out[3 * (x - 1) + c] = sumLeft[c] + least;
            sumLeft[c] = sumHere[c] + large;
            sumHere[c] = sumRight[c] + small;
            sumRight[c] = least;
        }
        p[0] = static_cast<std::uint8_t>(chosen.blue);
        p[1] = static_cast<std::uint8_t>(chosen.green);
        p[2] = static_cast<std::uint8_t>(chosen.red);
    }

    // After the last pixel: the triples that no pixel to the right adds to.
    void finish(std::int32_t width) {
        for (int c = 0; c < 3; ++c) {
            out[3 * (width - 1) + c] = sumLeft[c];
            out[3 * width + c] = sumHere[c];
            out[3 * (width + 1) + c] = sumRight[c];
        }
    }
};

#ifdef CR_HAVE_AVX2_PATH
// The same row with the three channels side by side in one vector of four
// doubles (the fourth lane is carried along and never used). Each lane
// performs exactly the operations of the plain row, in the same order.
struct RowAvx2 {
    std::uint8_t* pixels;
    const double* below;
    double* out;
    __m256d twoLeft;
    __m256d left;
    __m256d nextTwoLeft;
    __m256d sumLeft;
    __m256d sumHere;
    __m256d sumRight;

    __attribute__((target("avx2"))) void start(const ImageView& image, std::int32_t y, const double* from, double* to) {
        pixels = image.at(0, y);
        below = from;
        out = to;
        twoLeft = left = nextTwoLeft = sumLeft = sumHere = sumRight = _mm256_setzero_pd();
    }

    template <typename Nearest>
    __attribute__((target("avx2"))) inline void step(std::int32_t x, Nearest& nearest) {
        std::uint8_t* p = pixels + 3 * static_cast<std::ptrdiff_t>(x);
        const __m128i source = _mm_setr_epi32(p[2], p[1], p[0], 0);
        // Reads triple x and the first value of triple x + 1 (within the error
        // row, which has two spare triples at its end); the worker waits until
        // both are finished.
        const __m256d fromAbove = _mm256_loadu_pd(below + 3 * static_cast<std::ptrdiff_t>(x));
        const __m256d received = _mm256_add_pd(_mm256_add_pd(fromAbove, twoLeft), left);
        const __m128i adjusted = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_cvtepi32_pd(source), received));
        const Choice chosen = nearest.find(_mm_cvtsi128_si32(adjusted), _mm_extract_epi32(adjusted, 1),
                                           _mm_extract_epi32(adjusted, 2));
        const __m256d error =
            _mm256_cvtepi32_pd(_mm_sub_epi32(source, _mm_setr_epi32(chosen.red, chosen.green, chosen.blue, 0)));
        const __m256d large = _mm256_mul_pd(error, _mm256_set1_pd(0.35));
        const __m256d small = _mm256_mul_pd(error, _mm256_set1_pd(0.1));
        const __m256d least = _mm256_mul_pd(error, _mm256_set1_pd(0.05));
        twoLeft = nextTwoLeft;
        nextTwoLeft = small;
        left = large;
        // Triple x - 1 is finished; the fourth lane lands on the first value
        // of triple x, which pixel x + 1 (or finish) writes again before the
        // row below may read it.
        if (x > 0) _mm256_storeu_pd(out + 3 * static_cast<std::ptrdiff_t>(x - 1), _mm256_add_pd(sumLeft, least));
        sumLeft = _mm256_add_pd(sumHere, large);
        sumHere = _mm256_add_pd(sumRight, small);
        sumRight = least;
        p[0] = static_cast<std::uint8_t>(chosen.blue);
        p[1] = static_cast<std::uint8_t>(chosen.green);
        p[2] = static_cast<std::uint8_t>(chosen.red);
    }

    __attribute__((target("avx2"))) void finish(std::int32_t width) {
        const __m256i three = _mm256_setr_epi64x(-1, -1, -1, 0);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width - 1), three, sumLeft);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width), three, sumHere);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width + 1), three, sumRight);
    }
};
#endif

// Rewrites the bands worker, worker + workers, ... of the image.
template <typename Nearest, typename Row>
inline void remapRows(const RemapJob& job, int worker) {
    const ImageView& image = job.image;
    const std::int32_t width = image.width;
    Nearest nearest(*job.palette, job.paletteCount);
    Progress& mine = job.progress[worker];
    constexpr std::int32_t kPublishEvery = 32;
    // The first row of a band keeps this many pixels behind the row above
    // where it can, so that the two threads never work on the same cache lines.
    constexpr std::int32_t kTrail = 256;
    // How far ahead the row above must be before a sleeping worker goes on.
    constexpr std::int32_t kWakeAhead = 2048;
    const auto ringRow = [&job](std::int32_t y) {
        return job.ring + static_cast<std::size_t>(y % job.ringRows) * job.rowDoubles;
    };

    Row rows[kBand];
    for (std::int32_t first = worker * kBand; first < image.height; first += job.workers * kBand) {
        const std::int32_t count = std::min(kBand, image.height - first);
        for (std::int32_t i = 0; i < count; ++i) rows[i].start(image, first + i, ringRow(first + i), ringRow(first + i + 1));
        const bool waits = first > 0 && job.workers > 1;
        Progress& upstream = job.progress[(first / kBand - 1 + job.workers) % job.workers];
        std::int64_t ready = waits ? 0 : std::numeric_limits<std::int64_t>::max();
        const std::int32_t last = first + count - 1;
        const std::int64_t lastTag = static_cast<std::int64_t>(last) * kRowUnit;

        const std::int32_t steps = width + (count - 1) * kLag;
        for (std::int32_t t = 0; t < steps; ++t) {
            if (t < width) {
                // Pixel t reads triple t and, in the vector row, the first
                // value of triple t + 1: both must be finished.
                if (t + 2 > ready) {
                    ready = waitFor(upstream, first, std::min<std::int64_t>(t + 2 + kTrail, width + 2),
                                    std::min<std::int64_t>(t + 2 + kWakeAhead, width + 2));
                }
                rows[0].step(t, nearest);
                if (t == width - 1) rows[0].finish(width);
            }
            for (std::int32_t i = 1; i < count; ++i) {
                const std::int32_t x = t - i * kLag;
                if (x < 0 || x >= width) continue;
                rows[i].step(x, nearest);
                if (x == width - 1) rows[i].finish(width);
            }
            const std::int32_t x = t - (count - 1) * kLag;
            if (x >= 0 && x % kPublishEvery == kPublishEvery - 1) mine.publish(lastTag + x);
        }
        mine.publish(lastTag + width + 2);
    }
}

// Each instance is made one piece with everything it calls, so that the
// vector version's rows and search are compiled for the vector unit.
__attribute__((flatten)) void remapRowsPlain(const RemapJob& job, int worker) {
    remapRows<NearestEntry, Row>(job, worker);
}

#ifdef CR_HAVE_AVX2_PATH
__attribute__((flatten, target("avx2"))) void remapRowsAvx2(const RemapJob& job, int worker) {
    remapRows<NearestEntryAvx2, RowAvx2>(job, worker);
}
#endif

}  // namespace

void remapImage(const ImageView& image, const Palette& palette, std::int32_t paletteCount, int workers,
                const double* firstRow, double* lastRow, Search search) {
    if (image.empty()) return;
    const std::int32_t bands = (image.height + kBand - 1) / kBand;
    workers = std::max(1, std::min(workers, bands));
    const std::size_t rowDoubles = (static_cast<std::size_t>(image.width) + 2) * 3;
    const int ringRows = workers * kBand + 1;
    std::vector<double> ring(rowDoubles * static_cast<std::size_t>(ringRows), 0.0);
    if (firstRow) std::copy(firstRow, firstRow + rowDoubles, ring.begin());
    std::unique_ptr<Progress[]> progress(new Progress[static_cast<std::size_t>(workers)]);
    const RemapJob job{image, &palette, paletteCount, workers, rowDoubles, ringRows, ring.data(), progress.get()};
    runWorkers(workers, [&job, search](int worker) {
#ifdef CR_HAVE_AVX2_PATH
        if (search == Search::Best && haveAvx2()) {
            remapRowsAvx2(job, worker);
            return;
        }
#endif
        remapRowsPlain(job, worker);
    });
    if (lastRow) {
        const double* last = ring.data() + static_cast<std::size_t>(image.height % ringRows) * rowDoubles;
        std::copy(last, last + rowDoubles, lastRow);
    }
}

}  // namespace pass

void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow) {
    if (image.empty()) return;
    const std::size_t rowDoubles = (static_cast<std::size_t>(image.width) + 2) * 3;
    // Leaves the rows as the two-row scheme does: the current row holds what
    // the bottom row passed on, the next row is zero.
    pass::remapImage(image, palette, paletteCount, pass::workersFor(image), currentRow, currentRow);
    std::fill(nextRow, nextRow + rowDoubles, 0.0);
}
