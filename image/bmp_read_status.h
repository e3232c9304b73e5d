// What dib24::readBmp found: the header fields it read and, when it refused
// the file, why. The reader prints nothing; the programs turn this into
// words (app/load_failure.h).
#pragma once

#include <cstdint>
#include <limits>

// The refusals, in the order the reader meets them while it goes through
// the file: file header, information header, file palette, pixel array,
// expansion into the image.
enum class BmpRefusal {
    none,              // the file was read
    readError,         // the system reported an error while reading (systemError)
    truncatedHeaders,  // the file ends before its headers do (needed, present: file sizes in bytes)
    notBmp,            // the first two bytes are not "BM"
    headerTooShort,    // biSize below 40 (headerSize); 12 is an OS/2 1.x header
    compressed,        // biCompression is not 0 (compression; headerSize and bitCount to name it)
    unsupportedDepth,  // biBitCount is not 1, 4, 8 or 24 (bitCount)
    negativeWidth,     // biWidth below 0 (width)
    heightMin,         // biHeight is -2147483648, which has no top-down counterpart
    tooLarge,          // the image's buffer would exceed kMaxImageBytes (width, height)
    headerBlockShort,  // bfOffBits leaves too few bytes for the header and the palette
                       // (needed: biSize + 4 x entries; present: bfOffBits - 14, may be negative)
    pixelArrayShort,   // the pixel array ends early (needed, present: bytes of the array)
    noMemory,          // the image's buffer could not be made (width, height)
};

// The image's buffer, stride x height bytes, must be addressable with the
// image's signed 32-bit geometry.
constexpr std::int64_t kMaxImageBytes = std::numeric_limits<std::int32_t>::max();

// The header fields as they stand in the file, each zero until read.
struct BmpHeaderFields {
    std::int32_t offBits = 0;         // bfOffBits
    std::uint32_t headerSize = 0;     // biSize
    std::int32_t width = 0;           // biWidth
    std::int32_t height = 0;          // biHeight
    std::uint16_t bitCount = 0;       // biBitCount
    std::uint32_t compression = 0;    // biCompression
    std::int32_t xPelsPerMeter = 0;   // biXPelsPerMeter
    std::uint32_t clrUsed = 0;        // biClrUsed
    std::int64_t paletteEntries = 0;  // entries announced: biClrUsed, or 2, 16, 256; 0 for 24 bits
};

struct BmpReadStatus {
    BmpRefusal refusal = BmpRefusal::none;
    BmpHeaderFields header;
    // For truncatedHeaders, headerBlockShort and pixelArrayShort: the bytes
    // needed and the bytes there, as each refusal above describes them.
    std::int64_t needed = 0;
    std::int64_t present = 0;
    int systemError = 0;  // errno of readError
};
