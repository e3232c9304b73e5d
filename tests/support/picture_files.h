// PNG and JPEG files made in memory by libpng and libjpeg themselves, for
// the tests, the fuzz seeds and the benchmarks (Linux only: the Windows
// tests get these files from the Linux side), and the files' pictures read
// back by the same libraries.
#pragma once

#include "bmp_builder.h"

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

// A PNG as its samples are stored: `samples` holds width x height x
// channels values at `bitDepth` bits, top row first (palette indices for
// colour type 3).
struct PngRecipe {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int colorType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::uint16_t> samples;
    std::vector<Bgr> palette;              // colour type 3
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette file (may be shorter than the palette)
    bool hasKey = false;                   // tRNS of a grey or RGB file
    std::array<std::uint16_t, 3> key{};    // grey in key[0]
    std::int32_t pelsPerMetre = 0;         // pHYs in metres; none when 0
    // Chunks that do not change the samples: sBIT, bKGD, gAMA, cHRM, tEXt
    // and, in true-colour files, a suggested palette (sPLT) and PLTE.
    bool ancillaryChunks = false;
};

int pngChannels(int colorType);

// Samples that run through every value of the depth, for a recipe's size.
std::vector<std::uint16_t> rampSamples(const PngRecipe& recipe, std::uint32_t seed = 1);

// A recipe of the kind with samples through every value (rampSamples) and,
// for colour type 3, a full palette of the depth; no pHYs.
PngRecipe rampPng(int colorType, int bitDepth, bool interlaced, std::int32_t width, std::int32_t height);

Bytes pngFile(const PngRecipe& recipe);

// The picture a PNG stands for, by the rules the programs follow, worked
// out here one pixel at a time from the recipe: 16-bit samples rounded,
// sub-byte grey replicated, transparency (alpha, tRNS) put over white.
Picture expectedPngPicture(const PngRecipe& recipe);

// An RGB PNG of 8-bit samples of the picture (as the comparison benchmarks make).
Bytes pngOfPicture(const Picture& picture, std::int32_t pelsPerMetre = 2835);

// Chunks of a PNG file: the offset of the first chunk of the type (its
// length field), or npos; its CRC computed anew after a change to its data;
// the file without every chunk of the type.
std::size_t pngChunkAt(const Bytes& png, const char* type);
void refreshPngCrc(Bytes& png, std::size_t chunk);
Bytes withoutPngChunks(const Bytes& png, const char* type);

struct JpegRecipe {
    bool grey = false;
    bool progressive = false;
    bool arithmetic = false;
    int quality = 90;
    bool cmyk = false;  // four components: CMYK, or YCCK when ycck
    bool ycck = false;
    int densityUnit = 1;  // JFIF: 0 aspect only, 1 dots per inch, 2 dots per centimetre
    int density = 72;
};

// Greyscale takes the picture's green channel.
Bytes jpegFile(const Picture& picture, const JpegRecipe& recipe = {});

// The picture as libjpeg decodes it with its defaults (the slow integer
// IDCT and fancy upsampling), as other libjpeg-turbo programs give it.
Picture libjpegPicture(const Bytes& jpeg);

// The palette, the bit depth and the indices (top row first) of an indexed
// PNG, as libpng reads it; `ok` false when libpng refused it.
struct IndexedPng {
    bool ok = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitDepth = 0;
    int colorType = 0;
    std::vector<Bgr> palette;
    std::vector<std::uint8_t> indices;
    bool hasPhys = false;
    std::uint32_t pelsPerMetreX = 0;
    std::uint32_t pelsPerMetreY = 0;
    bool hasGamma = false;
    bool hasTransparency = false;
};
IndexedPng readIndexedPng(const Bytes& png);

}  // namespace testsupport
