// The BMP decoder, in the stages of the file's layout: file header,
// information header, file palette, pixel array, expansion into the image.
// Each stage checks what it reads before the next one begins; the first
// refusal ends the read and says why (BmpReadStatus).
//
// Every number in a header is chosen by whoever made the file, so sizes are
// computed in 64 bits and checked before use, and no buffer is made larger
// than the data that has actually arrived from the file. The picture is
// made only once the headers have been checked, in the target that the
// caller gives (dib24::readBmp gives an image of its own, which takes the
// program's image's place once it is complete).
#include "bmp_decoder.h"

#include "picture_geometry.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int64_t kFileHeaderSize = 14;
// The fields read from every information header; V4 (108 bytes), V5 (124)
// and OS/2 2.x (64) headers begin with the same 40 bytes.
constexpr std::int64_t kInfoHeaderSize = 40;
// biCompression of an uncompressed file (BI_RGB).
constexpr std::uint32_t kUncompressed = 0;
// Largest piece read at once when the file's length is not known in advance.
constexpr std::int64_t kReadPiece = std::int64_t{1} << 20;

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }

// Reads up to `count` bytes into `out`, which grows only as data arrives, so
// a header that claims more than the file holds costs no large buffer.
Got readUpTo(FileInput& file, std::int64_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::int64_t left = file.bytesLeft();
    if (left >= 0 && left < count) return {left, 0};
    const std::int64_t piece = left >= 0 ? count : kReadPiece;
    std::int64_t have = 0;
    while (have < count) {
        const std::int64_t want = std::min(piece, count - have);
        out.resize(static_cast<std::size_t>(have + want));
        const Got got = file.read(out.data() + have, want);
        have += got.bytes;
        if (got.bytes != want) return {have, got.error};
    }
    return {have, 0};
}

// Reads and drops up to `count` bytes (the rest of a longer header, palette
// entries no index can reach, a gap before the pixels).
Got skipUpTo(FileInput& file, std::int64_t count) {
    const std::int64_t left = file.bytesLeft();
    if (left >= 0 && left < count) return {left, 0};
    std::uint8_t scratch[4096];
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t want = std::min<std::int64_t>(count - done, sizeof scratch);
        const Got got = file.read(scratch, want);
        done += got.bytes;
        if (got.bytes != want) return {done, got.error};
    }
    return {done, 0};
}

// Reads `rows` rows of `stride` bytes into a bottom-up buffer, in file order.
Got readRows(FileInput& file, std::uint8_t* target, std::int64_t stride, std::int32_t rows, bool topDown) {
    if (!topDown) return file.read(target, stride * rows);
    std::int64_t done = 0;
    for (std::int32_t r = rows - 1; r >= 0; --r) {
        const Got got = file.read(target + r * stride, stride);
        done += got.bytes;
        if (got.bytes != stride) return {done, got.error};
    }
    return {done, 0};
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

// The rows of a pixel array as read, and the file palette of 1, 4 and
// 8-bit files. Indices without a palette entry give black.
struct PixelArray {
    const std::uint8_t* data;
    std::int64_t sourceStride;
    bool topDown;  // rows stored top row first (negative biHeight)
    const std::uint8_t* row(std::int32_t bufferRow, std::int32_t rows) const {
        const std::int64_t r = topDown ? rows - 1 - bufferRow : bufferRow;
        return data + r * sourceStride;
    }
};
struct FilePalette {
    const std::uint8_t* entries;  // 4 bytes each: blue, green, red, reserved
    std::uint32_t count;
};

template <typename IndexOf>
void expand(const ImageView& image, const FilePalette& filePalette, const PixelArray& pixelBlock, IndexOf indexOf) {
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* source = pixelBlock.row(y, image.height);
        std::uint8_t* target = image.pixels + static_cast<std::int64_t>(y) * image.stride;
        for (std::int32_t x = 0; x < image.width; ++x, target += 3) {
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

void expand1Bit(const ImageView& image, const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(image, filePalette, pixelBlock,
           [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t { return (row[x / 8] >> (7 - x % 8)) & 1u; });
}

void expand4Bit(const ImageView& image, const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(image, filePalette, pixelBlock, [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t {
        return x % 2 == 0 ? static_cast<std::uint32_t>(row[x / 2] >> 4) : row[x / 2] & 0x0Fu;
    });
}

void expand8Bit(const ImageView& image, const FilePalette& filePalette, const PixelArray& pixelBlock) {
    expand(image, filePalette, pixelBlock,
           [](const std::uint8_t* row, std::int32_t x) -> std::uint32_t { return row[x]; });
}

// One read of one file, stage by stage. Each stage returns false when it
// refuses the file, with the reason in the status.
class BmpReader {
public:
    BmpReader(FileInput& file, BmpReadStatus& status) : file_(file), status_(status), fields_(status.header) {}

    bool readFileHeader();
    bool readInfoHeader();
    bool readFilePalette();
    bool readPixelArray(PictureTarget& target);
    bool expandInto(PictureTarget& target);

private:
    bool refuse(BmpRefusal why) {
        status_.refusal = why;
        return false;
    }
    bool acceptKind();
    bool measurePicture();
    bool refuseShort(BmpRefusal why, const Got& got, std::int64_t needed, std::int64_t present);
    // Header bytes: reads `count` bytes, or skips to file offset `target`.
    // A file that ends first is shorter than its headers.
    bool readHeaderBytes(std::uint8_t* out, std::int64_t count);
    bool skipTo(std::int64_t target);
    bool refuseHeaderBlock(std::int64_t needed) {
        status_.needed = needed;
        status_.present = headerBlock_;
        return refuse(BmpRefusal::headerBlockShort);
    }

    FileInput& file_;
    BmpReadStatus& status_;
    BmpHeaderFields& fields_;
    std::int64_t offset_ = 0;  // bytes taken from the file so far

    // What the headers give, stage by stage.
    std::int64_t headerBlock_ = 0;  // bfOffBits - 14: header, palette and any gap
    std::int32_t rows_ = 0;
    bool topDown_ = false;
    std::int64_t sourceStride_ = 0;
    std::int64_t arrayBytes_ = 0;
    std::vector<std::uint8_t> palette_;  // the entries an index of the depth can reach
    std::uint32_t paletteCount_ = 0;
    std::vector<std::uint8_t> pixelArray_;
    bool rowsInImage_ = false;  // a 24-bit array read straight into the made image
};

bool BmpReader::refuseShort(BmpRefusal why, const Got& got, std::int64_t needed, std::int64_t present) {
    if (got.error != 0) {
        status_.systemError = got.error;
        return refuse(BmpRefusal::readError);
    }
    status_.needed = needed;
    status_.present = present;
    return refuse(why);
}

bool BmpReader::readHeaderBytes(std::uint8_t* out, std::int64_t count) {
    const Got got = file_.read(out, count);
    offset_ += got.bytes;
    if (got.bytes == count) return true;
    return refuseShort(BmpRefusal::truncatedHeaders, got, offset_ - got.bytes + count, offset_);
}

bool BmpReader::skipTo(std::int64_t target) {
    const std::int64_t count = target - offset_;
    const Got got = skipUpTo(file_, count);
    offset_ += got.bytes;
    if (got.bytes == count) return true;
    return refuseShort(BmpRefusal::truncatedHeaders, got, target, offset_);
}

// 14 bytes: the signature and bfOffBits, where the pixel array starts.
bool BmpReader::readFileHeader() {
    std::uint8_t bytes[kFileHeaderSize];
    if (!readHeaderBytes(bytes, kFileHeaderSize)) return false;
    if (u16(bytes) != 0x4D42) return refuse(BmpRefusal::notBmp);
    // bfSize is unreliable in files found in the wild, so it is never read.
    fields_.offBits = s32(bytes + 10);
    headerBlock_ = static_cast<std::int64_t>(fields_.offBits) - kFileHeaderSize;
    return true;
}

// The first 40 bytes of the information header, whatever its length: the
// header's length, then the kind of file and the picture's size.
bool BmpReader::readInfoHeader() {
    std::uint8_t info[kInfoHeaderSize];
    // biSize first: it tells whether the fields are where this reader looks.
    if (!readHeaderBytes(info, 4)) return false;
    fields_.headerSize = u32(info);
    // OS/2 1.x headers (12 bytes: 16-bit sizes, 3-byte palette entries) and
    // short OS/2 2.x headers (16 bytes and up) have other fields at these places.
    if (fields_.headerSize < kInfoHeaderSize) return refuse(BmpRefusal::headerTooShort);
    if (headerBlock_ < static_cast<std::int64_t>(fields_.headerSize)) return refuseHeaderBlock(fields_.headerSize);
    if (!readHeaderBytes(info + 4, kInfoHeaderSize - 4)) return false;

    fields_.width = s32(info + 4);
    fields_.height = s32(info + 8);
    fields_.bitCount = u16(info + 14);
    fields_.compression = u32(info + 16);
    fields_.xPelsPerMeter = s32(info + 24);
    fields_.clrUsed = u32(info + 32);
    return acceptKind() && measurePicture();
}

// Uncompressed, 1, 4, 8 or 24 bits per pixel; the compression is looked at first.
bool BmpReader::acceptKind() {
    if (fields_.compression != kUncompressed) return refuse(BmpRefusal::compressed);
    const std::int32_t bits = fields_.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return refuse(BmpRefusal::unsupportedDepth);
    if (bits != 24) fields_.paletteEntries = fields_.clrUsed != 0 ? fields_.clrUsed : std::int64_t{1} << bits;
    return true;
}

// The picture's rows and the sizes of its pixel array, within the size limit.
bool BmpReader::measurePicture() {
    // Negative widths have no meaning; a negative height is a top-down file.
    if (fields_.width < 0) return refuse(BmpRefusal::negativeWidth);
    if (fields_.height == std::numeric_limits<std::int32_t>::min()) return refuse(BmpRefusal::heightMin);
    topDown_ = fields_.height < 0;
    rows_ = topDown_ ? -fields_.height : fields_.height;
    // The image's own buffer must be addressable with signed 32-bit geometry.
    // Tested by division: the product of two 32-bit header values times 3
    // does not fit in 64 bits either.
    const std::int64_t imageStride = roundUpTo4(3 * static_cast<std::int64_t>(fields_.width));
    if (rows_ != 0 && imageStride > kMaxImageBytes / rows_) return refuse(BmpRefusal::tooLarge);
    // No row of the file is wider than the image's row, so this fits as well.
    sourceStride_ = roundUpTo4(rowDataBytes(fields_.bitCount, fields_.width));
    arrayBytes_ = sourceStride_ * rows_;
    return true;
}

// 1, 4 and 8 bits: the entries after the biSize bytes of the header. A
// non-zero biClrUsed is taken as it stands; entries beyond what an index of
// the depth can reach are skipped with any gap before the pixels. 24-bit
// files have no palette, and their biClrUsed is not looked at.
bool BmpReader::readFilePalette() {
    if (fields_.paletteEntries == 0) return true;
    const std::int64_t paletteStart = kFileHeaderSize + fields_.headerSize;
    const std::int64_t paletteBytes = 4 * fields_.paletteEntries;
    if (headerBlock_ - fields_.headerSize < paletteBytes) return refuseHeaderBlock(fields_.headerSize + paletteBytes);
    // The rest of a longer header.
    if (!skipTo(paletteStart)) return false;
    const std::int64_t kept = std::min<std::int64_t>(fields_.paletteEntries, std::int64_t{1} << fields_.bitCount);
    palette_.resize(static_cast<std::size_t>(4 * kept));
    if (!readHeaderBytes(palette_.data(), 4 * kept)) return false;
    paletteCount_ = static_cast<std::uint32_t>(kept);
    return true;
}

// sourceStride x |biHeight| bytes from bfOffBits on; whatever lies between
// the headers and bfOffBits is skipped.
bool BmpReader::readPixelArray(PictureTarget& target) {
    if (!skipTo(kFileHeaderSize + headerBlock_)) return false;
    const std::int32_t resolution = dpiFromPelsPerMetre(fields_.xPelsPerMeter);
    // A 24-bit pixel array that the file holds in full is read straight into
    // the rows of the new image: no second copy of the pixels.
    if (fields_.bitCount == 24 && arrayBytes_ > 0 && file_.bytesLeft() >= arrayBytes_) {
        const ImageView image = target.make(fields_.width, rows_, resolution);
        if (!image.pixels) return refuse(BmpRefusal::noMemory);
        // For 24 bits the file's row is the image's row, padding included.
        const Got got = readRows(file_, image.pixels, sourceStride_, rows_, topDown_);
        if (got.bytes != arrayBytes_) return refuseShort(BmpRefusal::pixelArrayShort, got, arrayBytes_, got.bytes);
        rowsInImage_ = true;
        return true;
    }
    const Got got = readUpTo(file_, arrayBytes_, pixelArray_);
    if (got.bytes != arrayBytes_) return refuseShort(BmpRefusal::pixelArrayShort, got, arrayBytes_, got.bytes);
    return true;
}

// Builds the new image at the file's size and fills it from the pixel array.
bool BmpReader::expandInto(PictureTarget& target) {
    if (rowsInImage_) return true;
    const ImageView image = target.make(fields_.width, rows_, dpiFromPelsPerMetre(fields_.xPelsPerMeter));
    // A zero side gives an empty image, and that is the picture.
    if (!image.pixels) return fields_.width == 0 || rows_ == 0 || refuse(BmpRefusal::noMemory);

    const PixelArray block{pixelArray_.data(), sourceStride_, topDown_};
    const FilePalette palette{palette_.data(), paletteCount_};
    switch (fields_.bitCount) {
        case 1: expand1Bit(image, palette, block); break;
        case 4: expand4Bit(image, palette, block); break;
        case 8: expand8Bit(image, palette, block); break;
        default:
            // File row r becomes buffer row r, padding included.
            for (std::int32_t y = 0; y < image.height; ++y) {
                std::memcpy(image.pixels + static_cast<std::int64_t>(y) * image.stride, block.row(y, image.height),
                            static_cast<std::size_t>(image.stride));
            }
            break;
    }
    return true;
}

}  // namespace

bool decodeBmp(FileInput& file, PictureTarget& target, BmpReadStatus& status) {
    status = BmpReadStatus{};
    BmpReader reader(file, status);
    return reader.readFileHeader() && reader.readInfoHeader() && reader.readFilePalette() &&
           reader.readPixelArray(target) && reader.expandInto(target);
}
