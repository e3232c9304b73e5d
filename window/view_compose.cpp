#include "view_compose.h"

#include "palette_grid.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

void fillBackground(std::uint8_t* out, std::int64_t pixels) {
    std::memset(out, kBackgroundGrey, static_cast<std::size_t>(pixels) * 3);
}

int channelDifference(const std::uint8_t* a, const std::uint8_t* b) {
    int largest = 0;
    for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(static_cast<int>(a[c]) - static_cast<int>(b[c])));
    return largest;
}

// Where each picture pixel of a row (or each row) goes when `from` pixels
// become `to`: measured in units of 1 / (from x to) of a pixel, picture
// pixel i spans [i * to, (i + 1) * to) and result pixel j spans
// [j * from, (j + 1) * from). Since to <= from, a picture pixel overlaps
// result pixel `first` by `weight` units and the next one by to - weight.
struct Share {
    std::int64_t first;
    std::int64_t weight;
};

std::vector<Share> sharesOf(std::int64_t from, std::int64_t to) {
    std::vector<Share> shares(static_cast<std::size_t>(from));
    for (std::int64_t i = 0; i < from; ++i) {
        const std::int64_t first = i * to / from;
        shares[static_cast<std::size_t>(i)] = Share{first, std::min((i + 1) * to, (first + 1) * from) - i * to};
    }
    return shares;
}

}  // namespace

int largestDifference(const ImageView& original, const ImageView& reduced) {
    if (original.empty() || reduced.empty()) return 0;
    assert(original.width == reduced.width && original.height == reduced.height);
    int largest = 0;
    for (std::int32_t y = 0; y < original.height && largest < 255; ++y) {
        const std::uint8_t* a = original.at(0, y);
        const std::uint8_t* b = reduced.at(0, y);
        for (std::int32_t x = 0; x < original.width; ++x, a += 3, b += 3) largest = std::max(largest, channelDifference(a, b));
    }
    return largest;
}

std::uint8_t differenceGrey(int difference, int largest) {
    if (largest <= 0) return 0;
    return static_cast<std::uint8_t>((difference * 255 + largest / 2) / largest);
}

std::vector<std::uint8_t> areaAverage(const RowSource& rows, Size from, Size to) {
    assert(to.width <= from.width && to.height <= from.height);
    if (from.width <= 0 || from.height <= 0 || to.width <= 0 || to.height <= 0) return {};
    const std::vector<Share> across = sharesOf(from.width, to.width);
    const std::vector<Share> down = sharesOf(from.height, to.height);
    const std::size_t rowValues = static_cast<std::size_t>(to.width) * 3;
    // Every result pixel weighs from.width x from.height units in all.
    const std::uint64_t total = static_cast<std::uint64_t>(from.width) * static_cast<std::uint64_t>(from.height);
    std::vector<std::uint8_t> result(rowValues * static_cast<std::size_t>(to.height));
    std::vector<std::uint64_t> row(rowValues), current(rowValues, 0), next(rowValues, 0);
    std::int64_t resultRow = 0;
    for (std::int32_t y = 0; y < from.height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        const std::uint8_t* source = rows(y);
        for (std::int32_t x = 0; x < from.width; ++x, source += 3) {
            const Share& s = across[static_cast<std::size_t>(x)];
            const std::uint64_t inFirst = static_cast<std::uint64_t>(s.weight);
            const std::uint64_t inNext = static_cast<std::uint64_t>(to.width - s.weight);
            std::uint64_t* first = &row[static_cast<std::size_t>(s.first) * 3];
            for (int c = 0; c < 3; ++c) first[c] += inFirst * source[c];
            if (inNext)
                for (int c = 0; c < 3; ++c) first[3 + c] += inNext * source[c];
        }
        const Share& s = down[static_cast<std::size_t>(y)];
        assert(s.first == resultRow);
        const auto inFirst = static_cast<std::uint64_t>(s.weight);
        const auto inNext = static_cast<std::uint64_t>(to.height - s.weight);
        for (std::size_t i = 0; i < rowValues; ++i) current[i] += inFirst * row[i];
        if (inNext)
            for (std::size_t i = 0; i < rowValues; ++i) next[i] += inNext * row[i];
        // The result row is whole once the picture rows reach its lower edge.
        if (static_cast<std::int64_t>(y + 1) * to.height >= (resultRow + 1) * from.height) {
            std::uint8_t* out = &result[static_cast<std::size_t>(resultRow) * rowValues];
            for (std::size_t i = 0; i < rowValues; ++i) out[i] = static_cast<std::uint8_t>((current[i] + total / 2) / total);
            current.swap(next);
            std::fill(next.begin(), next.end(), 0);
            ++resultRow;
        }
    }
    return result;
}

ViewComposer::ViewComposer(const ImageView& reduced, const ImageView& original, const Palette& palette,
                           const EntryCounts& counts)
    : reduced_(reduced), original_(original), palette_(palette), counts_(counts) {
    if (original_.empty() || original_.width != reduced_.width || original_.height != reduced_.height)
        original_ = ImageView{};
}

Layer ViewComposer::layerOf(const ViewState& view) const {
    if (!hasOriginal()) return Layer::Reduced;
    if (view.original) return Layer::Original;
    return view.difference ? Layer::Difference : Layer::Reduced;
}

void ViewComposer::learnLargest() {
    if (largest_ >= 0) return;
    largest_ = largestDifference(original_, reduced_);
    for (int d = 0; d < 256; ++d) grey_[static_cast<std::size_t>(d)] = differenceGrey(d, largest_);
}

const std::uint8_t* ViewComposer::rowOf(Layer layer, std::int32_t y, std::int32_t x0, std::int32_t x1,
                                        std::vector<std::uint8_t>& scratch) {
    if (layer == Layer::Reduced) return reduced_.at(x0, y);
    if (layer == Layer::Original) return original_.at(x0, y);
    learnLargest();
    scratch.resize(static_cast<std::size_t>(x1 - x0) * 3);
    const std::uint8_t* a = original_.at(x0, y);
    const std::uint8_t* b = reduced_.at(x0, y);
    std::uint8_t* out = scratch.data();
    for (std::int32_t x = x0; x < x1; ++x, a += 3, b += 3, out += 3)
        out[0] = out[1] = out[2] = grey_[static_cast<std::size_t>(channelDifference(a, b))];
    return scratch.data();
}

void ViewComposer::compose(const ViewState& view, const ImageView& target) {
    if (target.empty()) return;
    if (view.palette && !(view.original && hasOriginal())) {
        composePalette(target, palette_, counts_);
        return;
    }
    const Layer layer = layerOf(view);
    if (view.fit) composeFitted(view, layer, target);
    else composeZoomed(view, layer, target);
}

void ViewComposer::composeZoomed(const ViewState& view, Layer layer, const ImageView& target) {
    const std::int64_t zoom = view.zoom, width = view.picture.width;
    const std::int64_t zoomedHeight = static_cast<std::int64_t>(view.picture.height) * zoom;
    const std::int64_t shown = target.width;
    // The picture columns that reach the client area.
    const auto x0 = static_cast<std::int32_t>(std::min(view.offsetX / zoom, width));
    const auto x1 = static_cast<std::int32_t>(std::min(width, (view.offsetX + shown - 1) / zoom + 1));
    std::int64_t lastRow = -1;
    const std::uint8_t* previous = nullptr;
    for (std::int32_t ty = 0; ty < target.height; ++ty) {
        std::uint8_t* out = target.at(0, ty);
        const std::int64_t sy = view.offsetY + ty;
        if (sy >= zoomedHeight || x0 >= x1) {
            fillBackground(out, shown);
            continue;
        }
        const std::int64_t py = sy / zoom;
        if (py == lastRow) {
            std::memcpy(out, previous, static_cast<std::size_t>(shown) * 3);
            continue;
        }
        const std::uint8_t* source = rowOf(layer, static_cast<std::int32_t>(py), x0, x1, scratch_);
        if (zoom == 1) {
            const std::int64_t copied = std::min<std::int64_t>(shown, x1 - x0);
            std::memcpy(out, source, static_cast<std::size_t>(copied) * 3);
            fillBackground(out + copied * 3, shown - copied);
        } else {
            // Runs of `zoom` screen pixels per picture pixel, the first cut
            // short by the offset.
            std::int64_t tx = 0, run = zoom - view.offsetX % zoom;
            for (std::int32_t px = x0; px < x1 && tx < shown; ++px, run = zoom) {
                const std::uint8_t* p = source + static_cast<std::size_t>(px - x0) * 3;
                for (const std::int64_t end = std::min(shown, tx + run); tx < end; ++tx) std::memcpy(out + tx * 3, p, 3);
            }
            fillBackground(out + tx * 3, shown - tx);
        }
        lastRow = py;
        previous = out;
    }
}

void ViewComposer::composeFitted(const ViewState& view, Layer layer, const ImageView& target) {
    const FitLayout fit = fitLayout(view.picture, Size{target.width, target.height});
    for (std::int32_t y = 0; y < target.height; ++y) fillBackground(target.at(0, y), target.width);
    const bool whole = fit.size == view.picture;
    if (!whole) {
        if (fittedSize_ != fit.size) {
            for (auto& f : fitted_) std::vector<std::uint8_t>().swap(f);
            fittedSize_ = fit.size;
        }
        std::vector<std::uint8_t>& fitted = fitted_[static_cast<std::size_t>(layer)];
        if (fitted.empty()) {
            const std::int32_t width = view.picture.width;
            fitted = areaAverage([&](std::int32_t y) { return rowOf(layer, y, 0, width, scratch_); }, view.picture,
                                 fit.size);
        }
    }
    const std::size_t rowBytes = static_cast<std::size_t>(fit.size.width) * 3;
    for (std::int32_t r = 0; r < fit.size.height; ++r) {
        const std::uint8_t* source = whole ? rowOf(layer, r, 0, fit.size.width, scratch_)
                                           : &fitted_[static_cast<std::size_t>(layer)][r * rowBytes];
        std::memcpy(target.at(fit.at.x, fit.at.y + r), source, rowBytes);
    }
}
