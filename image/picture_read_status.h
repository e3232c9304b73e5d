// What the picture reader found: the file's format, told by its first bytes,
// and when it refused the file, why. BMP files keep the BMP reader's own
// status; PNG and JPEG files, and the formats named but not read, have the
// refusals below. The reader prints nothing; the programs turn this into
// words (app/load_failure.h).
#pragma once

#include "bmp_read_status.h"

#include <cstdint>
#include <string>

enum class PictureFormat {
    bmp,  // "BM", and every file that no other signature claims (the BMP reader refuses those)
    png,
    jpeg,
    // Told by their signatures, and not read:
    gif,
    tiff,
    webp,
    os2BitmapArray,
    os2Icon,
    os2ColorIcon,
    os2Pointer,
    os2ColorPointer,
};

// The refusals of PNG and JPEG files, in the order the reader meets them:
// the stream, the file's structure and header, the size, the decoder.
enum class PictureRefusal {
    none,
    readError,          // the system reported an error while reading (systemError)
    fileTooLong,        // more bytes than any picture within the size limit can take (present)
    unsupportedFormat,  // a format told by its signature that is not read (format)
    truncated,          // the file ends before the picture does (present: bytes in the file)
    pngNoHeader,        // the first chunk is not a 13-byte IHDR
    pngChunkLength,     // a chunk length above 2^31 - 1 (value)
    pngBadSize,         // a width or height of 0 or above 2^31 - 1 (width, height)
    pngColorType,       // colour type not 0, 2, 3, 4 or 6 (colorType)
    pngBitDepth,        // bit depth not allowed with the colour type (bitDepth, colorType)
    pngMethod,          // compression, filter or interlace method unknown (which, value)
    pngNoImageData,     // no IDAT chunk before IEND
    pngDataTooShort,    // the compressed data cannot hold the picture (present: IDAT bytes; needed: raw bytes)
    jpegNoFrame,        // no frame header (SOF) before the scan or the end
    jpegProcess,        // lossless or hierarchical coding (marker: the SOF marker)
    jpegPrecision,      // samples of other than 8 bits (value)
    jpegColorSpace,     // CMYK, YCCK or another count of components (components, ycck)
    jpegBadSize,        // a width or height of 0 (width, height)
    jpegDataTooShort,   // Huffman-coded scans too short for the picture (present: bytes; needed: MCUs)
    tooLarge,           // the image's buffer would exceed kMaxImageBytes (width, height)
    damaged,            // the decoder found the data damaged (message, in the decoder's words)
    noMemory,           // the image's buffer could not be made (width, height)
};

// Which method field of a PNG header is unknown (pngMethod).
enum class PngMethod { compression, filter, interlace };

struct PictureReadStatus {
    PictureFormat format = PictureFormat::bmp;
    BmpReadStatus bmp;  // the BMP reader's status, for format bmp
    PictureRefusal refusal = PictureRefusal::none;

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t present = 0;
    std::int64_t needed = 0;
    std::int64_t value = 0;  // a chunk length, a method, a precision
    int colorType = 0;
    int bitDepth = 0;
    PngMethod method = PngMethod::compression;
    int marker = 0;
    int components = 0;
    bool ycck = false;
    int systemError = 0;
    std::string message;  // damaged: what the decoder said

    // A picture read: some pixel was not opaque, and was put over white.
    bool shownOverWhite = false;

    bool refused() const {
        return format == PictureFormat::bmp ? bmp.refusal != BmpRefusal::none : refusal != PictureRefusal::none;
    }
};
