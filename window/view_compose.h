// What the viewer draws for a view (view_state.h), composed into a buffer
// of the client area's size that the window then copies 1:1, so that the
// pixels on screen are these on every system:
//  - a picture at a zoom: each picture pixel a square of zoom x zoom screen
//    pixels (nearest pixel), from the view's offset;
//  - the fitted picture: the whole picture reduced by area averaging, in
//    the middle of the client area;
//  - the palette (palette_grid.h);
// on the background grey wherever no picture is. The pictures are the
// reduced one, the original (as loaded), and the difference: each pixel in
// grey, the largest of its three channel differences, scaled so that the
// largest difference in the picture is white.
#pragma once

#include "image_view.h"
#include "palette.h"
#include "reduce_image.h"
#include "view_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

constexpr std::uint8_t kBackgroundGrey = 0x30;

// The largest channel difference between two pictures of one size; 0 when
// they are the same (or empty).
int largestDifference(const ImageView& original, const ImageView& reduced);
// A difference as grey: `largest` white, 0 black, rounded to the nearest.
std::uint8_t differenceGrey(int difference, int largest);

// The blue, green, red bytes of picture row y (counted from the top).
using RowSource = std::function<const std::uint8_t*(std::int32_t y)>;

// A picture of size `from` reduced to `to` (no side larger) by area
// averaging: each result pixel is the mean of the picture over the
// rectangle it covers, partly covered pixels weighing by the part covered,
// rounded to the nearest. Exact integer arithmetic. Rows top-down, 3 bytes a
// pixel, no padding.
std::vector<std::uint8_t> areaAverage(const RowSource& rows, Size from, Size to);

enum class Layer { Reduced, Original, Difference };

// Composes views of one reduced picture, with the original beside it when
// one was kept. What costs most is kept: the largest difference, and each
// picture's fitted form for the client's size.
class ViewComposer {
public:
    // `original` may be empty (no copy kept); then the view shows neither
    // the original nor the difference.
    ViewComposer(const ImageView& reduced, const ImageView& original, const Palette& palette,
                 const EntryCounts& counts);

    bool hasOriginal() const { return !original_.empty(); }
    // Which picture the view shows (when not the palette).
    Layer layerOf(const ViewState& view) const;
    // Draws the view into `target`, whose size is the view's client area.
    void compose(const ViewState& view, const ImageView& target);

private:
    // Columns [x0, x1) of row y of a picture; the difference is computed
    // into `scratch`.
    const std::uint8_t* rowOf(Layer layer, std::int32_t y, std::int32_t x0, std::int32_t x1,
                              std::vector<std::uint8_t>& scratch);
    void composeZoomed(const ViewState& view, Layer layer, const ImageView& target);
    void composeFitted(const ViewState& view, Layer layer, const ImageView& target);
    // The largest difference and the grey of each difference, once.
    void learnLargest();

    ImageView reduced_;
    ImageView original_;
    Palette palette_;
    EntryCounts counts_;
    int largest_ = -1;  // not yet known
    std::array<std::uint8_t, 256> grey_{};
    Size fittedSize_;
    std::array<std::vector<std::uint8_t>, 3> fitted_;  // by Layer; empty until needed
    std::vector<std::uint8_t> scratch_;
};
