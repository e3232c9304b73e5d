#include "key_order_cut.h"

#include "median_cut.h"
#include "workers.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace pass {
namespace {

// One run of colours for each red and green: rg = red << 8 | green.
constexpr std::uint32_t kRuns = std::uint32_t{1} << 16;

// The block of the colour cube that holds a box's colours: each channel
// from lo to hi, both included.
struct Block {
    std::int32_t lo[3];
    std::int32_t hi[3];
};

// Where each run begins: first[rg] is the place of the first colour whose
// key >> 8 is at least rg, first[kRuns] the colour count. Each worker takes
// a share of the colours and writes the runs that begin within it.
std::vector<std::uint32_t> runStarts(const ColorCount* colors, std::uint32_t count, int workers) {
    std::vector<std::uint32_t> first(kRuns + 1);
    int running = 1;
    runWorkers(
        workers, [&](int started) { running = started; },
        [&](int w) {
            const std::uint32_t begin = shareStart(count, w, running);
            const std::uint32_t end = shareStart(count, w + 1, running);
            std::uint32_t next = begin == 0 ? 0 : (colors[begin - 1].key >> 8) + 1;
            for (std::uint32_t i = begin; i < end; ++i) {
                const std::uint32_t rg = colors[i].key >> 8;
                for (; next <= rg; ++next) first[next] = i;
            }
            if (w == running - 1) {
                for (; next <= kRuns; ++next) first[next] = count;
            }
        });
    return first;
}

// The first colour of [begin, end) whose key is at least `key`, keys being
// ascending: a binary search whose steps choose without branching, since a
// run's stretches start anywhere and a guess would fail half the time.
const ColorCount* firstFrom(const ColorCount* begin, const ColorCount* end, std::uint32_t key) {
    std::ptrdiff_t n = end - begin;
    if (n == 0) return begin;
    while (n > 1) {
        const std::ptrdiff_t half = n / 2;
        begin = begin[half - 1].key < key ? begin + half : begin;
        n -= half;
    }
    return begin + (begin->key < key ? 1 : 0);
}

// Adds to `e` the colours of `block` in the run `rg`: the stretch of the
// block's blues (the run is in blue order).
inline void measureRun(const ColorCount* colors, const std::uint32_t* first, const Block& block, std::uint32_t rg,
                       Extent& e) {
    const ColorCount* begin = colors + first[rg];
    const ColorCount* end = colors + first[rg + 1];
    if (begin == end) return;
    if (end - begin == 256) {
        // Every blue of the run is there: blue v is at place v.
        end = begin + block.hi[2] + 1;
        begin += block.lo[2];
    } else {
        if (block.lo[2] > 0) begin = firstFrom(begin, end, rg << 8 | static_cast<std::uint32_t>(block.lo[2]));
        if (block.hi[2] < 255) end = firstFrom(begin, end, rg << 8 | static_cast<std::uint32_t>(block.hi[2] + 1));
        if (begin == end) return;
    }
    std::uint64_t pixels = 0;
    std::uint64_t blue = 0;
    for (const ColorCount* c = begin; c != end; ++c) {
        pixels += c->count;
        blue += std::uint64_t{c->key & 0xFFu} * c->count;
    }
    const std::uint32_t r = rg >> 8;
    const std::uint32_t g = rg & 0xFFu;
    e.minimum[0] = std::min(e.minimum[0], r);
    e.maximum[0] = std::max(e.maximum[0], r);
    e.minimum[1] = std::min(e.minimum[1], g);
    e.maximum[1] = std::max(e.maximum[1], g);
    e.minimum[2] = std::min(e.minimum[2], begin->key & 0xFFu);
    e.maximum[2] = std::max(e.maximum[2], (end - 1)->key & 0xFFu);
    e.weighted[0] += r * pixels;
    e.weighted[1] += g * pixels;
    e.weighted[2] += blue;
    e.total += pixels;
}

// The extents of the boxes numbered in `boxes`, by place in it. The colours
// are read in the order they lie: each worker takes a share of the reds,
// about as many colours each, and goes through its runs one after another,
// each run's boxes in blue order; the sums are exact, so who adds which run
// does not show.
std::vector<Extent> measureBlocks(const ColorCount* colors, const std::uint32_t* first,
                                  const std::vector<Block>& blocks, const std::vector<std::int32_t>& boxes,
                                  int workers) {
    // The places in `boxes`, in order of their lowest blue.
    std::vector<std::size_t> byBlue(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) byBlue[i] = i;
    const auto blockOf = [&](std::size_t i) -> const Block& { return blocks[static_cast<std::size_t>(boxes[i])]; };
    std::stable_sort(byBlue.begin(), byBlue.end(),
                     [&](std::size_t a, std::size_t b) { return blockOf(a).lo[2] < blockOf(b).lo[2]; });
    std::vector<std::vector<Extent>> partial;
    std::vector<std::int32_t> firstRed;
    runWorkers(
        workers,
        [&](int started) {
            partial.assign(static_cast<std::size_t>(started), std::vector<Extent>(boxes.size(), Extent::none()));
            firstRed.assign(static_cast<std::size_t>(started) + 1, 256);
            std::int32_t red = 0;
            for (int w = 0; w < started; ++w) {
                const std::uint32_t from = shareStart(first[kRuns], w, started);
                while (red < 256 && first[static_cast<std::uint32_t>(red) << 8] < from) ++red;
                firstRed[static_cast<std::size_t>(w)] = w == 0 ? 0 : red;
            }
        },
        [&](int w) {
            const auto worker = static_cast<std::size_t>(w);
            std::vector<Extent>& mine = partial[worker];
            std::vector<std::size_t> here;  // the boxes whose reds hold this red, in blue order
            for (std::int32_t red = firstRed[worker]; red < firstRed[worker + 1]; ++red) {
                here.clear();
                for (const std::size_t i : byBlue) {
                    if (blockOf(i).lo[0] <= red && red <= blockOf(i).hi[0]) here.push_back(i);
                }
                if (here.empty()) continue;
                for (std::int32_t green = 0; green < 256; ++green) {
                    const auto rg = static_cast<std::uint32_t>(red << 8 | green);
                    for (const std::size_t i : here) {
                        const Block& block = blockOf(i);
                        if (block.lo[1] <= green && green <= block.hi[1]) measureRun(colors, first, block, rg, mine[i]);
                    }
                }
            }
        });
    std::vector<Extent> extents(boxes.size(), Extent::none());
    for (const std::vector<Extent>& mine : partial) {
        for (std::size_t i = 0; i < boxes.size(); ++i) add(extents[i], mine[i]);
    }
    return extents;
}

}  // namespace

std::int32_t cutInKeyOrder(const ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                           std::vector<BoxSums>& sums, int workers) {
    assert(limit >= 1 && workers >= 1);
    const std::vector<std::uint32_t> first = runStarts(colors, colorCount, workers);
    std::vector<Block> blocks{Block{{0, 0, 0}, {255, 255, 255}}};
    blocks.reserve(static_cast<std::size_t>(limit));
    std::vector<Extent> extents(1, Extent::none());  // by box number, as last measured
    // Depth by depth as cutBoxes goes: the boxes of a depth in order, each
    // split appending the two halves for the next depth, the lower half
    // taking the next number and the upper half keeping the box's.
    std::vector<std::int32_t> depth{0};
    while (!depth.empty() && static_cast<std::int32_t>(blocks.size()) < limit) {
        const std::vector<Extent> measured = measureBlocks(colors, first.data(), blocks, depth, workers);
        std::vector<std::pair<std::int32_t, Cut>> splits;
        for (std::size_t i = 0; i < depth.size(); ++i) {
            extents[static_cast<std::size_t>(depth[i])] = measured[i];
            if (static_cast<std::int32_t>(blocks.size() + splits.size()) >= limit) continue;
            const Cut cut = cutOf(measured[i]);
            if (cut.channel >= 0) splits.emplace_back(depth[i], cut);
        }
        std::vector<std::int32_t> next;
        for (const auto& [box, cut] : splits) {
            Block& upper = blocks[static_cast<std::size_t>(box)];
            Block lower = upper;
            lower.hi[cut.channel] = static_cast<std::int32_t>(cut.mean);
            upper.lo[cut.channel] = static_cast<std::int32_t>(cut.mean) + 1;
            blocks.push_back(lower);
            extents.push_back(Extent::none());
            next.push_back(box);
            next.push_back(static_cast<std::int32_t>(blocks.size()) - 1);
        }
        depth.swap(next);
    }
    // The halves of the last splits have not been measured yet.
    if (!depth.empty()) {
        const std::vector<Extent> measured = measureBlocks(colors, first.data(), blocks, depth, workers);
        for (std::size_t i = 0; i < depth.size(); ++i) extents[static_cast<std::size_t>(depth[i])] = measured[i];
    }
    sums.assign(blocks.size(), BoxSums{});
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        sums[k].total = static_cast<std::int64_t>(extents[k].total);
        sums[k].red = static_cast<std::int64_t>(extents[k].weighted[0]);
        sums[k].green = static_cast<std::int64_t>(extents[k].weighted[1]);
        sums[k].blue = static_cast<std::int64_t>(extents[k].weighted[2]);
    }
    return static_cast<std::int32_t>(blocks.size());
}

}  // namespace pass
