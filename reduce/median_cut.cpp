#include "median_cut.h"

#include "workers.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace pass {

namespace {

// Written so that the compiler can take many colours at once; kept apart in
// one function per instruction set.
__attribute__((always_inline)) inline Extent measure(const ColorCount* first, const ColorCount* last) {
    std::uint32_t minR = 255, minG = 255, minB = 255, maxR = 0, maxG = 0, maxB = 0;
    std::uint64_t sumR = 0, sumG = 0, sumB = 0, total = 0;
    for (const ColorCount* c = first; c != last; ++c) {
        const std::uint32_t r = c->key >> 16 & 0xFFu, g = c->key >> 8 & 0xFFu, b = c->key & 0xFFu;
        minR = std::min(minR, r);
        maxR = std::max(maxR, r);
        minG = std::min(minG, g);
        maxG = std::max(maxG, g);
        minB = std::min(minB, b);
        maxB = std::max(maxB, b);
        const std::uint64_t n = c->count;
        sumR += r * n;
        sumG += g * n;
        sumB += b * n;
        total += n;
    }
    return Extent{{minR, minG, minB}, {maxR, maxG, maxB}, {sumR, sumG, sumB}, total};
}

Extent measurePlain(const ColorCount* first, const ColorCount* last) { return measure(first, last); }

#ifdef CR_HAVE_AVX2_PATH
__attribute__((target("avx2"))) Extent measureAvx2(const ColorCount* first, const ColorCount* last) {
    return measure(first, last);
}

bool haveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

Extent measureWith(const ColorCount* first, const ColorCount* last, Variant variant) {
#ifdef CR_HAVE_AVX2_PATH
    if (variant == Variant::Best && haveAvx2()) return measureAvx2(first, last);
#else
    (void)variant;
#endif
    return measurePlain(first, last);
}

// Moves the colours of [first, last) at or below the cut to the front;
// returns where the rest begin.
ColorCount* partitionAt(ColorCount* first, ColorCount* last, const Cut& cut) {
    return std::partition(first, last, [&cut](const ColorCount& c) { return channelOf(c.key, cut.channel) <= cut.mean; });
}

// A run of one box's colours, given to one worker, and what the worker
// found there.
struct Piece {
    std::size_t box;  // place in the list of boxes shared out
    std::uint32_t begin;
    std::uint32_t end;
    Extent extent;
    std::uint32_t split;  // where the run's upper part begins
};

// Lays the boxes end to end and cuts the row into `parts` runs of nearly
// equal length, one per worker; a box may be cut between workers.
std::vector<std::vector<Piece>> shareOut(const std::vector<BoxRange>& boxes, int parts) {
    std::uint64_t total = 0;
    for (const BoxRange& b : boxes) total += b.end - b.begin;
    std::vector<std::vector<Piece>> shares(static_cast<std::size_t>(parts));
    std::uint64_t given = 0;
    int worker = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::uint32_t at = boxes[i].begin; at < boxes[i].end;) {
            const std::uint64_t quota = total * static_cast<std::uint64_t>(worker + 1) / static_cast<std::uint64_t>(parts);
            if (given >= quota && worker + 1 < parts) {
                ++worker;
                continue;
            }
            const std::uint32_t left = boxes[i].end - at;
            const auto take = worker + 1 == parts ? left : static_cast<std::uint32_t>(std::min<std::uint64_t>(left, quota - given));
            shares[static_cast<std::size_t>(worker)].push_back(Piece{i, at, at + take, {}, 0});
            at += take;
            given += take;
        }
    }
    return shares;
}

// Below this many colours a level is cut on the calling thread alone.
constexpr std::uint64_t kColorsWorthAThread = std::uint64_t{1} << 16;

int workersForLevel(const std::vector<BoxRange>& boxes, int workers) {
    std::uint64_t total = 0;
    for (const BoxRange& b : boxes) total += b.end - b.begin;
    return total < kColorsWorthAThread ? 1 : workers;
}

// Shares `boxes` among up to `workers` workers and runs job(piece) on every
// piece, each on its worker; returns the pieces, by worker.
template <typename Job>
std::vector<std::vector<Piece>> runOnPieces(const std::vector<BoxRange>& boxes, int workers, Job job) {
    std::vector<std::vector<Piece>> shares;
    runWorkers(
        workersForLevel(boxes, workers), [&](int started) { shares = shareOut(boxes, started); },
        [&](int w) {
            for (Piece& piece : shares[static_cast<std::size_t>(w)]) job(piece);
        });
    return shares;
}

// The extent of each of `boxes`, measured by up to `workers` workers.
std::vector<Extent> measureAll(const ColorCount* colors, const std::vector<BoxRange>& boxes, int workers,
                               Variant variant) {
    const std::vector<std::vector<Piece>> shares = runOnPieces(boxes, workers, [&](Piece& piece) {
        piece.extent = measureWith(colors + piece.begin, colors + piece.end, variant);
    });
    std::vector<Extent> extents(boxes.size(), Extent::none());
    for (const std::vector<Piece>& share : shares) {
        for (const Piece& piece : share) add(extents[piece.box], piece.extent);
    }
    return extents;
}

// Partitions each of `boxes` at its cut, with up to `workers` workers; returns
// where each box's upper part begins. A box shared by several workers comes
// back from them as lower, upper, lower, upper, ...; each upper run is then
// swapped with the end of the lower run after it, which is cheaper than
// moving either run whole.
std::vector<std::uint32_t> partitionAll(ColorCount* colors, const std::vector<BoxRange>& boxes,
                                        const std::vector<Cut>& cuts, int workers) {
    const std::vector<std::vector<Piece>> shares = runOnPieces(boxes, workers, [&](Piece& piece) {
        piece.split = static_cast<std::uint32_t>(partitionAt(colors + piece.begin, colors + piece.end, cuts[piece.box]) - colors);
    });
    std::vector<std::uint32_t> split(boxes.size());
    std::vector<bool> begun(boxes.size(), false);
    for (const std::vector<Piece>& share : shares) {
        for (const Piece& piece : share) {
            if (!begun[piece.box]) {
                begun[piece.box] = true;
                split[piece.box] = piece.split;
                continue;
            }
            // [split, piece.begin) is upper, [piece.begin, piece.split) lower.
            const std::uint32_t upper = piece.begin - split[piece.box];
            const std::uint32_t lower = piece.split - piece.begin;
            const std::uint32_t swapped = std::min(upper, lower);
            std::swap_ranges(colors + split[piece.box], colors + split[piece.box] + swapped, colors + piece.split - swapped);
            split[piece.box] += lower;
        }
    }
    return split;
}

}  // namespace

void add(Extent& to, const Extent& e) {
    for (int ch = 0; ch < 3; ++ch) {
        to.minimum[ch] = std::min(to.minimum[ch], e.minimum[ch]);
        to.maximum[ch] = std::max(to.maximum[ch], e.maximum[ch]);
        to.weighted[ch] += e.weighted[ch];
    }
    to.total += e.total;
}

Cut cutOf(const Extent& e) {
    // Spreads are rounded by adding 0.5 and truncating; blue weighs 0.6.
    const auto spread = [&e](int ch) {
        return static_cast<std::int32_t>(e.maximum[ch]) - static_cast<std::int32_t>(e.minimum[ch]);
    };
    const auto red = static_cast<std::int32_t>(spread(0) + 0.5);
    const auto green = static_cast<std::int32_t>(spread(1) + 0.5);
    const auto blue = static_cast<std::int32_t>(spread(2) * 0.6 + 0.5);
    const std::int32_t largest = std::max(red, std::max(green, blue));
    if (largest <= 0) return Cut{-1, 0};
    const int channel = largest == red ? 0 : largest == green ? 1 : 2;
    // The count-weighted mean, rounded down; 64-bit sums keep it exact on
    // images of any size the reader accepts.
    return Cut{channel, static_cast<std::int64_t>(e.weighted[channel] / e.total)};
}

Cut chooseCut(const ColorCount* first, const ColorCount* last, Variant variant) {
    return cutOf(measureWith(first, last, variant));
}

bool cutBox(ColorCount* colors, std::vector<BoxRange>& boxes, std::int32_t box, Variant variant) {
    const BoxRange range = boxes[static_cast<std::size_t>(box)];
    const Cut cut = chooseCut(colors + range.begin, colors + range.end, variant);
    if (cut.channel < 0) return false;
    // The lower part becomes the new box, the upper part keeps the number.
    const ColorCount* middle = partitionAt(colors + range.begin, colors + range.end, cut);
    const auto split = static_cast<std::uint32_t>(middle - colors);
    boxes[static_cast<std::size_t>(box)].begin = split;
    boxes.push_back(BoxRange{range.begin, split});
    return true;
}

std::int32_t cutBoxes(ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                      std::vector<BoxRange>& boxes, Variant variant, int workers) {
    assert(limit >= 1);
    boxes.assign(1, BoxRange{0, colorCount});
    boxes.reserve(static_cast<std::size_t>(limit));
    // Boxes are split one depth at a time, in the order in which their
    // tasks were appended, each split appending the two halves for the next
    // depth: breadth-first. The boxes of a depth are disjoint, so all of
    // them are measured and partitioned together, shared among the workers;
    // only the numbering, which follows the order, is done one by one.
    std::vector<std::int32_t> depth{0};
    while (!depth.empty() && static_cast<std::int32_t>(boxes.size()) < limit) {
        std::vector<BoxRange> ranges;
        for (const std::int32_t box : depth) ranges.push_back(boxes[static_cast<std::size_t>(box)]);
        const std::vector<Extent> extents = measureAll(colors, ranges, workers, variant);
        // The boxes split at this depth, up to the limit, and their cuts.
        std::vector<std::int32_t> split;
        std::vector<BoxRange> splitRanges;
        std::vector<Cut> cuts;
        for (std::size_t i = 0; i < depth.size(); ++i) {
            if (static_cast<std::int32_t>(boxes.size() + split.size()) >= limit) break;
            const Cut cut = cutOf(extents[i]);
            if (cut.channel < 0) continue;
            split.push_back(depth[i]);
            splitRanges.push_back(ranges[i]);
            cuts.push_back(cut);
        }
        const std::vector<std::uint32_t> middles = partitionAll(colors, splitRanges, cuts, workers);
        // The lower part of each becomes a new box, the upper part keeps the number.
        std::vector<std::int32_t> next;
        for (std::size_t i = 0; i < split.size(); ++i) {
            boxes[static_cast<std::size_t>(split[i])].begin = middles[i];
            boxes.push_back(BoxRange{splitRanges[i].begin, middles[i]});
            next.push_back(split[i]);
            next.push_back(static_cast<std::int32_t>(boxes.size()) - 1);
        }
        depth.swap(next);
    }
    return static_cast<std::int32_t>(boxes.size());
}

}  // namespace pass
