#include "bmp_builder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    putU16(bytes, offset, static_cast<std::uint16_t>(value));
    putU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t getU32(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes.at(offset)) | static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16 | static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

namespace {

// Bytes in one row of the pixel array, padding included.
std::uint32_t rowStride(int bitCount, std::int32_t width) {
    const std::uint32_t rowBits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitCount);
    return ((rowBits + 7) / 8 + 3) / 4 * 4;
}

// File row r holds picture row height - 1 - r, or row r when top-down.
std::int32_t pictureRow(std::int32_t fileRow, std::int32_t height, bool topDown) {
    return topDown ? fileRow : height - 1 - fileRow;
}

Bytes rgbArray(const Picture& picture, bool topDown) {
    const std::uint32_t stride = rowStride(24, picture.width);
    Bytes out(static_cast<std::size_t>(stride) * static_cast<std::size_t>(picture.height), 0);
    for (std::int32_t r = 0; r < picture.height; ++r) {
        const std::int32_t y = pictureRow(r, picture.height, topDown);
        std::uint8_t* row = out.data() + static_cast<std::size_t>(r) * stride;
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const Bgr& p = picture.at(x, y);
            row[3 * x] = p.b;
            row[3 * x + 1] = p.g;
            row[3 * x + 2] = p.r;
        }
    }
    return out;
}

Bytes indexedArray(int bitCount, std::int32_t width, std::int32_t height, const std::vector<std::uint8_t>& indices,
                   bool topDown) {
    if (bitCount != 1 && bitCount != 4 && bitCount != 8) throw std::invalid_argument("bit count");
    const std::uint32_t stride = rowStride(bitCount, width);
    Bytes out(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    for (std::int32_t r = 0; r < height; ++r) {
        const std::int32_t y = pictureRow(r, height, topDown);
        std::uint8_t* row = out.data() + static_cast<std::size_t>(r) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t i = indices.at(static_cast<std::size_t>(y) * width + x);
            const std::uint32_t bit = static_cast<std::uint32_t>(x) * static_cast<std::uint32_t>(bitCount);
            const int shift = 8 - bitCount - static_cast<int>(bit % 8);
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (i << shift));
        }
    }
    return out;
}

std::uint32_t fixed2dot30(double value) { return static_cast<std::uint32_t>(value * (1u << 30) + 0.5); }
std::uint32_t fixed16dot16(double value) { return static_cast<std::uint32_t>(value * 65536 + 0.5); }

// The fields after the first 40 bytes of a longer header, as writers fill
// them; `at` is the header's first byte in the file.
void putLongerHeader(Bytes& out, std::size_t at, const BmpLayout& layout, std::size_t profileOffset) {
    if (layout.headerSize == kHeaderOs2v2) {
        putU16(out, at + 40, 0);       // usUnits: pels per metre
        putU16(out, at + 44, 0);       // usRecording: bottom-up
        putU16(out, at + 46, 3);       // usRendering: error diffusion ...
        putU32(out, at + 48, 50);      // cSize1: ... with 50 % damping
        putU32(out, at + 56, 0);       // ulColorEncoding: RGB
        putU32(out, at + 60, 0xBEEF);  // ulIdentifier: the application's own
        return;
    }
    if (layout.headerSize != kHeaderV4 && layout.headerSize != kHeaderV5) {
        throw std::invalid_argument("header size");
    }
    // Masks: written by ImageMagick and GIMP also for uncompressed files.
    putU32(out, at + 40, 0x00FF0000u);
    putU32(out, at + 44, 0x0000FF00u);
    putU32(out, at + 48, 0x000000FFu);
    putU32(out, at + 52, 0xFF000000u);
    switch (layout.colorSpace) {
        case ColorSpace::sRGB: putU32(out, at + 56, 0x73524742u); break;  // 'sRGB'
        case ColorSpace::calibrated: {
            putU32(out, at + 56, 0);  // LCS_CALIBRATED_RGB: the endpoints and gammas count
            const double endpoints[9] = {0.4124, 0.2126, 0.0193, 0.3576, 0.7152, 0.1192, 0.1805, 0.0722, 0.9505};
            for (std::size_t k = 0; k < 9; ++k) putU32(out, at + 60 + 4 * k, fixed2dot30(endpoints[k]));
            for (std::size_t k = 0; k < 3; ++k) putU32(out, at + 96 + 4 * k, fixed16dot16(2.2));
            break;
        }
        case ColorSpace::embeddedProfile:
            if (layout.headerSize != kHeaderV5) throw std::invalid_argument("profiles need a V5 header");
            putU32(out, at + 56, 0x4D424544u);  // 'MBED'
            break;
    }
    if (layout.headerSize == kHeaderV5) {
        putU32(out, at + 108, 4);  // bV5Intent: LCS_GM_IMAGES
        if (layout.colorSpace == ColorSpace::embeddedProfile) {
            putU32(out, at + 112, static_cast<std::uint32_t>(profileOffset));  // from the header's first byte
            putU32(out, at + 116, static_cast<std::uint32_t>(layout.gap));
        }
    }
}

// The first bytes of an ICC profile, as far as `size` allows.
void putProfile(Bytes& out, std::size_t at, std::size_t size) {
    struct Signature {
        std::size_t offset;
        const char* text;
    };
    const Signature signatures[] = {{4, "lcms"}, {12, "mntr"}, {16, "RGB "}, {20, "XYZ "}, {36, "acsp"}};
    for (std::size_t k = 0; k < size; ++k) out.at(at + k) = 0;
    if (size < 40) return;
    for (std::size_t k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(size >> (24 - 8 * k));  // big-endian
    for (const Signature& signature : signatures) std::memcpy(out.data() + at + signature.offset, signature.text, 4);
}

// File header, information header, palette (4-byte entries, reserved byte
// 0xEE, which must never be read), gap, pixel array.
Bytes assemble(const BmpLayout& layout, int bitCount, std::int32_t width, std::int32_t height,
               const std::vector<Bgr>& palette, std::uint32_t clrUsed, const Bytes& pixelArray) {
    const std::size_t paletteAt = 14 + layout.headerSize;
    const std::size_t gapAt = paletteAt + 4 * palette.size();
    const std::size_t offBits = gapAt + layout.gap;
    Bytes out(offBits, 0);
    putU16(out, 0, 0x4D42);
    putU32(out, 2, static_cast<std::uint32_t>(offBits + pixelArray.size()));
    putU32(out, 10, static_cast<std::uint32_t>(offBits));
    putU32(out, 14, layout.headerSize);
    putU32(out, 18, static_cast<std::uint32_t>(width));
    putU32(out, 22, static_cast<std::uint32_t>(layout.topDown ? -height : height));
    putU16(out, 26, 1);
    putU16(out, 28, static_cast<std::uint16_t>(bitCount));
    putU32(out, 34, static_cast<std::uint32_t>(pixelArray.size()));
    putU32(out, 38, static_cast<std::uint32_t>(layout.pelsPerMetre));
    putU32(out, 42, static_cast<std::uint32_t>(layout.pelsPerMetre));
    putU32(out, 46, clrUsed);
    if (layout.headerSize != kHeaderV3) putLongerHeader(out, 14, layout, gapAt - 14);
    for (std::size_t k = 0; k < palette.size(); ++k) {
        out[paletteAt + 4 * k] = palette[k].b;
        out[paletteAt + 4 * k + 1] = palette[k].g;
        out[paletteAt + 4 * k + 2] = palette[k].r;
        out[paletteAt + 4 * k + 3] = 0xEE;
    }
    if (layout.colorSpace == ColorSpace::embeddedProfile) {
        putProfile(out, gapAt, layout.gap);
    } else {
        for (std::size_t k = 0; k < layout.gap; ++k) out[gapAt + k] = 0xC3;
    }
    out.insert(out.end(), pixelArray.begin(), pixelArray.end());
    return out;
}

}  // namespace

BmpLayout layoutOf(std::uint32_t headerSize, ColorSpace colorSpace, std::size_t gap, bool topDown) {
    BmpLayout layout;
    layout.headerSize = headerSize;
    layout.colorSpace = colorSpace;
    layout.gap = gap;
    layout.topDown = topDown;
    return layout;
}

Bytes bmp24(const Picture& picture, const BmpLayout& layout) {
    return assemble(layout, 24, picture.width, picture.height, {}, 0, rgbArray(picture, layout.topDown));
}

Bytes bmp24(const Picture& picture, std::int32_t pelsPerMetre, bool topDown) {
    BmpLayout layout;
    layout.pelsPerMetre = pelsPerMetre;
    layout.topDown = topDown;
    return bmp24(picture, layout);
}

Bytes bmpIndexed(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
                 const std::vector<std::uint8_t>& indices, std::uint32_t clrUsed, const BmpLayout& layout) {
    return assemble(layout, bitCount, width, height, palette, clrUsed,
                    indexedArray(bitCount, width, height, indices, layout.topDown));
}

Bytes bmpIndexed(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
                 const std::vector<std::uint8_t>& indices, std::uint32_t clrUsed, std::int32_t pelsPerMetre) {
    BmpLayout layout;
    layout.pelsPerMetre = pelsPerMetre;
    return bmpIndexed(bitCount, width, height, palette, indices, clrUsed, layout);
}

Bytes bmpOs2v1(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
               const std::vector<std::uint8_t>& indices) {
    const Bytes pixelArray = indexedArray(bitCount, width, height, indices, false);
    const std::size_t entries = std::size_t{1} << bitCount;
    const std::size_t offBits = 14 + 12 + 3 * entries;
    Bytes out(offBits, 0);
    putU16(out, 0, 0x4D42);
    putU32(out, 2, static_cast<std::uint32_t>(offBits + pixelArray.size()));
    putU32(out, 10, static_cast<std::uint32_t>(offBits));
    putU32(out, 14, 12);
    putU16(out, 18, static_cast<std::uint16_t>(width));
    putU16(out, 20, static_cast<std::uint16_t>(height));
    putU16(out, 22, 1);
    putU16(out, 24, static_cast<std::uint16_t>(bitCount));
    for (std::size_t k = 0; k < entries && k < palette.size(); ++k) {
        out[26 + 3 * k] = palette[k].b;
        out[26 + 3 * k + 1] = palette[k].g;
        out[26 + 3 * k + 2] = palette[k].r;
    }
    out.insert(out.end(), pixelArray.begin(), pixelArray.end());
    return out;
}

namespace {

// An anonymous regular file, removed when closed.
std::FILE* temporaryFile() {
#ifdef _WIN32
    // The C runtime's tmpfile picks names that two test programs running at
    // once can both pick, and then one of them fails: a name of this
    // process's own instead, in the temporary folder, deleted on close ('D').
    static unsigned serial = 0;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("cr_bytes_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++) + ".tmp");
    return std::fopen(path.string().c_str(), "w+bD");
#else
    return std::tmpfile();
#endif
}

}  // namespace

FilePtr openBytes(const Bytes& bytes) {
    FilePtr file(temporaryFile());
    if (!file) throw std::runtime_error("tmpfile failed");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw std::runtime_error("tmpfile write failed");
    std::rewind(file.get());
    return file;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace testsupport
