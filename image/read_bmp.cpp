// The BMP reader of dib24: headers, file palette, pixel array, expansion.
//
// Every number in a header is chosen by whoever made the file, so sizes are
// computed in 64 bits and checked before use, and no buffer is made larger
// than the data that has actually arrived from the file.
#include "dib24.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr std::int64_t kFileHeaderSize = 14;
constexpr std::int64_t kInfoHeaderSize = 40;
// Largest piece read at once when the file's length is not known in advance.
constexpr std::int64_t kReadPiece = std::int64_t{1} << 20;

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }

// Bytes left in a regular file after the current position, or -1 when the
// stream cannot tell (a pipe, a device).
std::int64_t bytesLeft(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    const long position = std::ftell(file);
    if (position < 0) return -1;
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(info.st_size) - position);
}

// Reads exactly `count` bytes into `out`, which grows only as data arrives,
// so a header that claims more than the file holds costs no large buffer.
bool readExactly(std::FILE* file, std::int64_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    if (count <= 0) return count == 0;
    const std::int64_t left = bytesLeft(file);
    if (left >= 0 && left < count) return false;
    if (left >= 0) {
        out.resize(static_cast<std::size_t>(count));
        return std::fread(out.data(), 1, out.size(), file) == out.size();
    }
    std::int64_t have = 0;
    while (have < count) {
        const std::int64_t piece = std::min(kReadPiece, count - have);
        out.resize(static_cast<std::size_t>(have + piece));
        const std::size_t got = std::fread(out.data() + have, 1, static_cast<std::size_t>(piece), file);
        have += static_cast<std::int64_t>(got);
        if (got != static_cast<std::size_t>(piece)) return false;
    }
    return true;
}

// Reads and drops `count` bytes (the rest of a longer header, a gap).
bool skipExactly(std::FILE* file, std::int64_t count) {
    const std::int64_t left = bytesLeft(file);
    if (left >= 0 && left < count) return false;
    std::uint8_t scratch[4096];
    while (count > 0) {
        const auto piece = static_cast<std::size_t>(std::min<std::int64_t>(count, sizeof scratch));
        if (std::fread(scratch, 1, piece, file) != piece) return false;
        count -= static_cast<std::int64_t>(piece);
    }
    return true;
}

// Bytes of pixel data in one row of the file, before padding.
std::int64_t rowDataBytes(std::int32_t bitCount, std::int64_t width) {
    switch (bitCount) {
        case 1: return width / 8 + (width % 8 != 0 ? 1 : 0);
        case 4: return width % 2 != 0 ? (width + 1) / 2 : width / 2;
        case 8: return width;
        default: return 3 * width;
    }
}

std::int64_t roundUpTo4(std::int64_t n) { return 4 * (n / 4 + (n % 4 != 0 ? 1 : 0)); }

// Reads `rows` rows of `stride` bytes into a bottom-up buffer, in file order.
bool readRows(std::FILE* file, std::uint8_t* target, std::int64_t stride, std::int32_t rows, bool topDown) {
    if (!topDown) {
        const auto size = static_cast<std::size_t>(stride * rows);
        return std::fread(target, 1, size, file) == size;
    }
    for (std::int32_t r = rows - 1; r >= 0; --r) {
        if (std::fread(target + r * stride, 1, static_cast<std::size_t>(stride), file) != static_cast<std::size_t>(stride)) {
            return false;
        }
    }
    return true;
}

// Exchanges two images whole: buffers, GDI objects and geometry.
void swapImages(dib24& a, dib24& b) {
    std::swap(a.oldBitmap, b.oldBitmap);
    std::swap(a.bmi, b.bmi);
    std::swap(a.dibSection, b.dibSection);
    std::swap(a.memoryDC, b.memoryDC);
    std::swap(a.pixels, b.pixels);
    std::swap(a.width, b.width);
    std::swap(a.height, b.height);
    std::swap(a.stride, b.stride);
    std::swap(a.resolution, b.resolution);
}

}  // namespace

bool dib24::readBmp(std::FILE* file) {
    std::uint8_t fileHeader[kFileHeaderSize];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader) return false;
    if (u16(fileHeader) != 0x4D42) return false;
    // bfSize is unreliable in files found in the wild, so it is never read.
    const std::int64_t headerBlock = static_cast<std::int64_t>(s32(fileHeader + 10)) - kFileHeaderSize;
    // The header block must hold at least the 40-byte information header.
    if (headerBlock < kInfoHeaderSize) return false;

    std::uint8_t info[kInfoHeaderSize];
    if (std::fread(info, 1, sizeof info, file) != sizeof info) return false;
    const std::int32_t biWidth = s32(info + 4);
    const std::int32_t biHeight = s32(info + 8);
    const std::int32_t biBitCount = u16(info + 14);
    const std::uint32_t biCompression = u32(info + 16);
    const std::int32_t biXPelsPerMeter = s32(info + 24);
    const std::uint32_t biClrUsed = u32(info + 32);

    if (biCompression != BI_RGB) return false;
    if (biBitCount != 1 && biBitCount != 4 && biBitCount != 8 && biBitCount != 24) return false;

    // The file palette sits right after the 40-byte header, also when biSize
    // announces a longer one. A non-zero biClrUsed is taken as it stands;
    // entries beyond what an index of this depth can reach are read and dropped.
    std::vector<std::uint8_t> filePalette;
    std::uint32_t paletteEntries = 0;
    std::int64_t rest = headerBlock - kInfoHeaderSize;
    if (biBitCount != 24) {
        const std::int64_t declared = biClrUsed != 0 ? biClrUsed : (std::int64_t{1} << biBitCount);
        if (rest < 4 * declared) return false;
        const std::int64_t kept = std::min<std::int64_t>(declared, std::int64_t{1} << biBitCount);
        if (!readExactly(file, 4 * kept, filePalette)) return false;
        paletteEntries = static_cast<std::uint32_t>(kept);
        rest -= 4 * kept;
    }
    if (!skipExactly(file, rest)) return false;

    // Negative widths have no meaning; a negative height is a top-down file.
    if (biWidth < 0 || biHeight == std::numeric_limits<std::int32_t>::min()) return false;
    const bool topDown = biHeight < 0;
    const std::int32_t rows = topDown ? -biHeight : biHeight;
    // The image's own buffer must be addressable with signed 32-bit geometry.
    // Tested by division: the product of two 32-bit header values times 3
    // does not fit in 64 bits either.
    const std::int64_t imageStride = roundUpTo4(3 * static_cast<std::int64_t>(biWidth));
    if (rows != 0 && imageStride > std::numeric_limits<std::int32_t>::max() / rows) return false;
    // No row of the file is wider than the image's row, so this fits as well.
    const std::int64_t sourceStride = roundUpTo4(rowDataBytes(biBitCount, biWidth));
    const std::int64_t arrayBytes = sourceStride * rows;

    // A 24-bit pixel array that the file holds in full is read straight into
    // the rows of a new image, which then takes this one's place: no second
    // copy of the pixels. Should the read still come short, this image is
    // left as it was.
    if (biBitCount == 24 && arrayBytes > 0 && bytesLeft(file) >= arrayBytes) {
        dib24 staged;
        staged.create(biWidth, rows, dpiFromPelsPerMetre(biXPelsPerMeter));
        if (staged.pixels && staged.stride == sourceStride) {
            if (!readRows(file, staged.pixels, sourceStride, rows, topDown)) return false;
            swapImages(*this, staged);
            return true;
        }
    }

    std::vector<std::uint8_t> pixelArray;
    if (!readExactly(file, arrayBytes, pixelArray)) return false;

    create(biWidth, rows, dpiFromPelsPerMetre(biXPelsPerMeter));
    if (!pixels) return biWidth == 0 || rows == 0;

    const PixelArray block{pixelArray.data(), sourceStride, topDown};
    const FilePalette palette{filePalette.data(), paletteEntries};
    switch (biBitCount) {
        case 1: expand1Bit(palette, block); break;
        case 4: expand4Bit(palette, block); break;
        case 8: expand8Bit(palette, block); break;
        default:
            // File row r becomes buffer row r, padding included.
            for (std::int32_t y = 0; y < height; ++y) {
                std::memcpy(pixels + static_cast<std::int64_t>(y) * stride, block.row(y, height),
                            static_cast<std::size_t>(stride));
            }
            break;
    }
    return true;
}

template <typename IndexOf>
void dib24::expand(const FilePalette& filePalette, const PixelArray& pixelBlock, IndexOf indexOf) {
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* source = pixelBlock.row(y, height);
        std::uint8_t* target = pixels + static_cast<std::int64_t>(y) * stride;
        for (std::int32_t x = 0; x < width; ++x, target += 3) {
            const std::uint32_t i = indexOf(source, x);
            if (i < filePalette.count) {
                std::memcpy(target, filePalette.entries + 4 * i, 3);
            } else {
                // An index with no palette entry in the file reads as black.
                target[0] = target[1] = target[2] = 0;
            }
        }
    }
}

void dib24::expand1Bit(const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(filePalette, pixelBlock,
           [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t { return (row[x / 8] >> (7 - x % 8)) & 1u; });
}

void dib24::expand4Bit(const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(filePalette, pixelBlock, [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t {
        return x % 2 == 0 ? static_cast<std::uint32_t>(row[x / 2] >> 4) : row[x / 2] & 0x0Fu;
    });
}

void dib24::expand8Bit(const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(filePalette, pixelBlock, [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t { return row[x]; });
}
