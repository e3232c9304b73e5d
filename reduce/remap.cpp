#include "remap.h"

#include "nearest_entry.h"
#include "pass_observer.h"
#include "wavefront.h"
#include "workers.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace pass {
namespace {

using wavefront::kBand;
using Wavefront = wavefront::Wavefront<>;

// One row on its way through the remap.
//
// The error that reaches a pixel is summed in the order the plain two-row
// scheme sums it: first what the row above passed down, in visiting order
// (0.05 from two to the left, 0.1 from the left, 0.35 from straight above,
// 0.05 from the right, each triple starting from zero), then 0.1 from two to
// the left and 0.35 from the left in this row. Each row writes the finished
// sums for the row below into its own error row of the ring, once per triple:
// triple x - 1 once pixel x has added to it.
struct PlainRow {
    std::uint8_t* pixels;
    std::uint8_t* entries;  // the entry each pixel chose, when the caller asked
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

    void start(const ImageView& image, std::uint8_t* chosen, std::int32_t y, const double* from, double* to) {
        pixels = image.at(0, y);
        entries = chosen ? chosen + static_cast<std::ptrdiff_t>(y) * image.width : nullptr;
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
        if (entries) entries[x] = static_cast<std::uint8_t>(chosen.entry);
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
    std::uint8_t* entries;
    const double* below;
    double* out;
    __m256d twoLeft;
    __m256d left;
    __m256d nextTwoLeft;
    __m256d sumLeft;
    __m256d sumHere;
    __m256d sumRight;

    __attribute__((target("avx2"))) void start(const ImageView& image, std::uint8_t* chosen, std::int32_t y,
                                               const double* from, double* to) {
        pixels = image.at(0, y);
        entries = chosen ? chosen + static_cast<std::ptrdiff_t>(y) * image.width : nullptr;
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
        const std::int32_t k = nearest.findEntry(_mm_cvtsi128_si32(adjusted), _mm_extract_epi32(adjusted, 1),
                                                 _mm_extract_epi32(adjusted, 2));
        const __m256d error = _mm256_cvtepi32_pd(_mm_sub_epi32(source, nearest.colourOf(k)));
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
        const Palette& palette = nearest.palette();
        p[0] = palette.blue(k);
        p[1] = palette.green(k);
        p[2] = palette.red(k);
        if (entries) entries[x] = static_cast<std::uint8_t>(k);
    }

    __attribute__((target("avx2"))) void finish(std::int32_t width) {
        const __m256i three = _mm256_setr_epi64x(-1, -1, -1, 0);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width - 1), three, sumLeft);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width), three, sumHere);
        _mm256_maskstore_pd(out + 3 * static_cast<std::ptrdiff_t>(width + 1), three, sumRight);
    }
};
#endif

// Tells the pass's observer how far the remap has come. Only worker 0 has
// one, which runs on the thread that called the pass; it reports as it
// starts a band, about every hundredth of the picture. The workers stay
// within a band or two of each other, so the rows above that band are done.
struct RowReport {
    PassObserver* observer;
    std::int32_t total;
    std::int32_t next = 0;

    void reached(std::int32_t y) {
        if (!observer || y < next) return;
        observer->rowsRemapped(y, total);
        next = y + std::max(total / 100, 1);
    }
};

// The rows of one band, as the wavefront drives them, and the search of the
// worker that runs them. The search is moved in (its tables were made before
// the workers started) so that it lives on the worker's own stack: the
// compiler then knows that no store to a pixel or an error row can change
// it, and keeps its table pointers in registers instead of reloading them
// after every store (a seventh more instructions in the remap).
template <typename Nearest, typename DiffusionRow>
struct Band {
    const ImageView& image;
    std::uint8_t* chosen;
    Nearest nearest;
    std::int32_t width;
    DiffusionRow rows[kBand];
    RowReport report;

    void start(std::int32_t i, std::int32_t y, const double* from, double* to) {
        if (i == 0) report.reached(y);
        rows[i].start(image, chosen, y, from, to);
    }
    void step(std::int32_t i, std::int32_t x) { rows[i].step(x, nearest); }
    void finish(std::int32_t i) { rows[i].finish(width); }
};

// Each instance is made one piece with everything it calls, so that the
// vector version's rows and search are compiled for the vector unit.
__attribute__((flatten)) void remapBandsPlain(Wavefront& wave, int worker, NearestEntry& nearest,
                                              const ImageView& image, std::uint8_t* chosen, PassObserver* observer) {
    nearest.prepare();
    Band<NearestEntry, PlainRow> band{image, chosen, std::move(nearest), image.width, {}, {observer, image.height}};
    wave.run(worker, band);
}

#ifdef CR_HAVE_AVX2_PATH
__attribute__((flatten, target("avx2"))) void remapBandsAvx2(Wavefront& wave, int worker, NearestEntryAvx2& nearest,
                                                             const ImageView& image, std::uint8_t* chosen,
                                                             PassObserver* observer) {
    nearest.prepare();
    Band<NearestEntryAvx2, RowAvx2> band{image, chosen, std::move(nearest), image.width, {}, {observer, image.height}};
    wave.run(worker, band);
}
#endif

template <typename Nearest>
void remapWith(void (*bands)(Wavefront&, int, Nearest&, const ImageView&, std::uint8_t*, PassObserver*),
               const ImageView& image, const Palette& palette, std::int32_t paletteCount, int workers,
               const double* firstRow, double* lastRow, PassObserver* observer, std::uint8_t* chosen) {
    Wavefront wave(image.width, image.height, workers, firstRow);
    // Every worker's search tables are made here, before any thread starts,
    // so that a shortage of memory is met on the calling thread.
    const typename Nearest::Shared shared(palette, paletteCount);
    std::vector<Nearest> searches;
    searches.reserve(static_cast<std::size_t>(wave.mostWorkers()));
    for (int w = 0; w < wave.mostWorkers(); ++w) searches.emplace_back(shared);
    runWorkers(
        wave.mostWorkers(), [&wave](int started) { wave.layOut(started); },
        [&](int worker) {
            bands(wave, worker, searches[static_cast<std::size_t>(worker)], image, chosen,
                  worker == 0 ? observer : nullptr);
        });
    if (lastRow) std::copy(wave.lastRow(), wave.lastRow() + wave.rowDoubles(), lastRow);
}

}  // namespace

void remapImage(const ImageView& image, const Palette& palette, std::int32_t paletteCount, int workers,
                const double* firstRow, double* lastRow, Variant variant, PassObserver* observer,
                std::uint8_t* chosen) {
    if (image.empty()) return;
    assert(paletteCount >= 1 && paletteCount <= kMaxPaletteEntries);
#ifdef CR_HAVE_AVX2_PATH
    if (variant == Variant::Best && haveAvx2()) {
        remapWith<NearestEntryAvx2>(remapBandsAvx2, image, palette, paletteCount, workers, firstRow, lastRow,
                                    observer, chosen);
        return;
    }
#else
    (void)variant;
#endif
    remapWith<NearestEntry>(remapBandsPlain, image, palette, paletteCount, workers, firstRow, lastRow, observer,
                            chosen);
}

}  // namespace pass
