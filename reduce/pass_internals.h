// The working parts of the reduction pass, run by reduceImage and, through
// the adapters of phases.h, by the tests and tools that check one phase.
//
// The result of the pass depends on the colours and their counts, never on the
// order in which the colours are held: the spread, the mean and the partition
// of a box are the same for any order, box numbers follow the order of the
// splits, and the palette sums are whole numbers that doubles hold exactly.
// So the pass keeps its colours in key order in a compact array, and a box is
// a contiguous range of it.
#pragma once

#include "image_view.h"
#include "palette.h"
#include "pass_observer.h"
#include "process.h"
#include "text_sink.h"

#include <cstdint>
#include <vector>

namespace pass {

// How many threads to give a pass over this image: 1 for small images (a
// thread costs more than it saves there), else the cores, at most 4.
int workersFor(const ImageView& image);

// Which code the census and the remap run. Best takes what the processor
// offers: the population count instruction in the census, the vector search
// in the remap. Plain is the code for a processor without them, which every
// processor runs; the tests run both.
enum class Variant { Best, Plain };

// The whole pass, as reduceImage runs it with Variant::Best; `counts`, when
// given, receives each entry's count.
Palette reduce(const ImageView& image, TextSink& out, Variant variant, PassObserver* observer = nullptr,
               EntryCounts* counts = nullptr);

// One distinct colour: key red << 16 | green << 8 | blue, and its pixel count.
struct ColorCount {
    std::uint32_t key;
    std::uint32_t count;
};

// The weighted blue difference of the distance, trunc(d x 0.6), computed as
// 3d / 5: the same for every difference up to 1023 (the remap meets at most
// 510), as the tests check one by one.
inline std::int32_t weightedBlue(std::int32_t difference) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(3 * difference) / 5u);
}

inline std::int32_t channelOf(std::uint32_t key, int channel) {
    return static_cast<std::int32_t>((key >> (16 - 8 * channel)) & 0xFFu);
}

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
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint32_t> before_;
    std::uint32_t distinct_ = 0;
};

// The distinct colours of the image with their counts, in key order: the
// one array of 8 bytes per colour that the pass keeps. At most two workers
// count (the second into the key fields, which get their keys afterwards).
// REQUIRES: workers >= 1.
std::vector<ColorCount> countColors(const ImageView& image, int workers, Variant variant = Variant::Best);

// A box of the median cut: the colours [begin, end) of the array it cuts.
struct BoxRange {
    std::uint32_t begin;
    std::uint32_t end;
};

// How a box is cut: on `channel` (0 red, 1 green, 2 blue) at `mean`, colours
// at or below the mean going to the new box; channel -1 when the box holds
// one colour (or none) and stays whole.
struct Cut {
    int channel;
    std::int64_t mean;
};
// REQUIRES: every count at least 1.
Cut chooseCut(const ColorCount* first, const ColorCount* last, Variant variant = Variant::Best);

// Splits box `box` of `colors` at its cut: its colours at or below the mean
// move to the front of its range and become a new box, numbered
// boxes.size(), and box `box` keeps the rest. false, with nothing changed,
// when the box stays whole.
bool cutBox(ColorCount* colors, std::vector<BoxRange>& boxes, std::int32_t box, Variant variant = Variant::Best);

// Median cut over `colors` (reordered in place): fills `boxes`, indexed by
// box number, and returns the box count, 1 to limit. Up to `workers`
// workers share the colours of each depth of the cut.
// REQUIRES: limit >= 1, workers >= 1.
std::int32_t cutBoxes(ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                      std::vector<BoxRange>& boxes, Variant variant = Variant::Best, int workers = 1);

// The pixel count of a box and its count-weighted colour sums; exact.
struct BoxSums {
    std::int64_t total = 0;
    std::int64_t red = 0;
    std::int64_t green = 0;
    std::int64_t blue = 0;
    void add(std::uint32_t key, std::int64_t count) {
        total += count;
        red += channelOf(key, 0) * count;
        green += channelOf(key, 1) * count;
        blue += channelOf(key, 2) * count;
    }
};

// The sums of each box of `colors`, by box number.
std::vector<BoxSums> sumBoxes(const ColorCount* colors, const std::vector<BoxRange>& boxes);

// Makes entry k of the palette from sums[k] and writes its report line, for
// k = 0 .. paletteCount - 1.
// REQUIRES: 1 <= paletteCount <= 256.
void makePalette(const BoxSums* sums, std::int32_t paletteCount, Palette& palette, TextSink& out);

// The remap with error diffusion over the whole image. `firstRow`, when not
// null, holds (width + 2) x 3 doubles of error already waiting for the top
// row (zeros in the pass); when `lastRow` is not null it receives the
// (width + 2) x 3 doubles that the bottom row passed on. With more than one
// worker, rows go round the workers and each row trails the row above it
// (wavefront.h). `observer`, when not null, hears of the rows done
// (pass_observer.h). Running short of memory throws std::bad_alloc on the
// calling thread, once every worker has stopped.
// REQUIRES: 1 <= paletteCount <= 256 when the image has pixels.
void remapImage(const ImageView& image, const Palette& palette, std::int32_t paletteCount, int workers,
                const double* firstRow, double* lastRow, Variant variant = Variant::Best,
                PassObserver* observer = nullptr);

}  // namespace pass
