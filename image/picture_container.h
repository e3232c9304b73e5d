// A first walk over a whole PNG or JPEG file, before any decoder sees it:
// the file's structure (chunks, markers) from its signature to its end, and
// the header facts that decide whether it is read at all. A file that ends
// before its last chunk or its end marker is cut short, whatever a decoder
// would make of it; a header that announces a kind that is not read, or a
// picture beyond the size limit, is refused here, before anything is
// allocated for its pixels. The pixels themselves are the decoder's.
#pragma once

#include "picture_read_status.h"

#include <cstddef>
#include <cstdint>

struct PngFacts {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitDepth = 0;
    int colorType = 0;
    bool interlaced = false;
    std::int32_t resolution = 0;  // dots per inch from pHYs in pels per metre; 0 without
};

struct JpegFacts {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int components = 0;           // 1 (greyscale) or 3 (YCbCr or RGB)
    bool arithmetic = false;      // arithmetic-coded (SOF9, SOF10); else Huffman
    std::int32_t resolution = 0;  // dots per inch from the JFIF header; 0 without
};

// false: refused, with the reason in `status` (refusal and its fields).
bool checkPng(const std::uint8_t* data, std::size_t size, PngFacts& facts, PictureReadStatus& status);
bool checkJpeg(const std::uint8_t* data, std::size_t size, JpegFacts& facts, PictureReadStatus& status);

// Whether an image of this size fits the buffer limit that BMP files have
// (kMaxImageBytes of 24-bit rows padded to 4 bytes).
bool withinSizeLimit(std::int64_t width, std::int64_t height);
