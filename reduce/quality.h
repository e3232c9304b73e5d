// How far the reduced picture is from the original: the figures that both
// programs print with --verbose, from one definition.
//
//   quality: MSE 6.90 (R 5.29 G 5.81 B 9.61), PSNR 39.74 dB, max error 15, 256 of 256 entries used
//
// The mean squared error is taken over the three channels of every pixel
// (overall) and over each channel alone, on 0..255 values; the PSNR is
// 10 log10(255^2 / MSE), infinite for a picture that lost nothing; the max
// error is the largest difference of one channel of one pixel. An entry is
// used when some pixel holds its colour and no lower entry has that colour
// (the entry an indexed file stores for those pixels).
#pragma once

#include "image_view.h"
#include "palette.h"

#include <cstdint>
#include <string>

struct Quality {
    double mse = 0.0;
    double channelMse[3] = {0.0, 0.0, 0.0};  // red, green, blue
    double psnr = 0.0;                       // +infinity when mse is 0
    int maxError = 0;
    int entriesUsed = 0;
    int paletteCount = 0;
};

// REQUIRES: the two pictures have the same size. Holds for an empty
// picture too (no error, no entry used).
Quality measureQuality(const ImageView& original, const ImageView& reduced, const Palette& palette);

// The line above, ending in a newline; the PSNR is "inf" when infinite.
std::string formatQuality(const Quality& quality);
