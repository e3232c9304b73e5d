// The reduction pass inside: what reduceImage (reduce_image.h) runs, and what its
// phases hand each other. One header per phase: census.h, median_cut.h,
// derive_palette.h and remap.h.
//
// The result of the pass depends on the colours and their counts, never on the
// order in which the colours are held: the spread, the mean and the partition
// of a box are the same for any order, box numbers follow the order of the
// splits, and the palette sums are whole numbers that doubles hold exactly.
// So the pass keeps its colours in key order in a compact array, and a box is
// a contiguous range of it.
#pragma once

#include "image_view.h"
#include "large_pages.h"
#include "palette.h"
#include "pass_observer.h"
#include "reduce_image.h"
#include "text_sink.h"

#include <cstdint>
#include <memory>
#include <utility>
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
// given, receives each entry's count, and `chosen` the entry of each pixel.
Palette reduce(const ImageView& image, TextSink& out, Variant variant, PassObserver* observer = nullptr,
               EntryCounts* counts = nullptr, ChosenEntries* chosen = nullptr);

// One distinct colour: key red << 16 | green << 8 | blue, and its pixel count.
struct ColorCount {
    std::uint32_t key;
    std::uint32_t count;
};

// The census's colours: 8 bytes each, up to 128 MB, left unset when made (the
// census clears them on all its workers at once, instead of on the calling
// thread alone) and on large pages: on 4 KB pages the colours of a picture of
// millions of colours took 32 000 page faults to clear, two thirds of the
// census.
using ColorList = std::vector<ColorCount, UnsetAllocator<ColorCount>>;

// The weighted blue difference of the distance, trunc(d x 0.6), computed as
// 3d / 5: the same for every difference up to 1023 (the remap meets at most
// 510), as the tests check one by one.
inline std::int32_t weightedBlue(std::int32_t difference) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(3 * difference) / 5u);
}

inline std::int32_t channelOf(std::uint32_t key, int channel) {
    return static_cast<std::int32_t>((key >> (16 - 8 * channel)) & 0xFFu);
}

}  // namespace pass
