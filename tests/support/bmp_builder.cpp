#include "bmp_builder.h"

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

Bytes headers(int bitCount, std::int32_t width, std::int32_t height, std::uint32_t paletteEntries,
              std::uint32_t clrUsed, std::uint32_t arrayBytes, std::int32_t pelsPerMetre) {
    const std::uint32_t offBits = 54 + 4 * paletteEntries;
    Bytes out(offBits, 0);
    putU16(out, 0, 0x4D42);
    putU32(out, 2, offBits + arrayBytes);
    putU32(out, 10, offBits);
    putU32(out, 14, 40);
    putU32(out, 18, static_cast<std::uint32_t>(width));
    putU32(out, 22, static_cast<std::uint32_t>(height));
    putU16(out, 26, 1);
    putU16(out, 28, static_cast<std::uint16_t>(bitCount));
    putU32(out, 34, arrayBytes);
    putU32(out, 38, static_cast<std::uint32_t>(pelsPerMetre));
    putU32(out, 42, static_cast<std::uint32_t>(pelsPerMetre));
    putU32(out, 46, clrUsed);
    return out;
}

}  // namespace

Bytes bmp24(const Picture& picture, std::int32_t pelsPerMetre, bool topDown) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(picture.width) * 3 + 3) / 4 * 4;
    const std::uint32_t arrayBytes = stride * static_cast<std::uint32_t>(picture.height);
    Bytes out = headers(24, picture.width, topDown ? -picture.height : picture.height, 0, 0, arrayBytes, pelsPerMetre);
    const std::size_t start = out.size();
    out.resize(start + arrayBytes, 0);
    for (std::int32_t r = 0; r < picture.height; ++r) {
        const std::int32_t y = topDown ? r : picture.height - 1 - r;
        std::uint8_t* row = out.data() + start + static_cast<std::size_t>(r) * stride;
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const Bgr& p = picture.at(x, y);
            row[3 * x] = p.b;
            row[3 * x + 1] = p.g;
            row[3 * x + 2] = p.r;
        }
    }
    return out;
}

Bytes bmpIndexed(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
                 const std::vector<std::uint8_t>& indices, std::uint32_t clrUsed, std::int32_t pelsPerMetre) {
    if (bitCount != 1 && bitCount != 4 && bitCount != 8) throw std::invalid_argument("bit count");
    const std::uint32_t rowBits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitCount);
    const std::uint32_t stride = ((rowBits + 7) / 8 + 3) / 4 * 4;
    const std::uint32_t arrayBytes = stride * static_cast<std::uint32_t>(height);
    Bytes out = headers(bitCount, width, height, static_cast<std::uint32_t>(palette.size()), clrUsed, arrayBytes,
                        pelsPerMetre);
    for (std::size_t k = 0; k < palette.size(); ++k) {
        out[54 + 4 * k] = palette[k].b;
        out[54 + 4 * k + 1] = palette[k].g;
        out[54 + 4 * k + 2] = palette[k].r;
        out[54 + 4 * k + 3] = 0xEE;  // reserved: must never be read
    }
    const std::size_t start = out.size();
    out.resize(start + arrayBytes, 0);
    for (std::int32_t r = 0; r < height; ++r) {
        const std::int32_t y = height - 1 - r;
        std::uint8_t* row = out.data() + start + static_cast<std::size_t>(r) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t i = indices.at(static_cast<std::size_t>(y) * width + x);
            const std::uint32_t bit = static_cast<std::uint32_t>(x) * static_cast<std::uint32_t>(bitCount);
            const int shift = 8 - bitCount - static_cast<int>(bit % 8);
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (i << shift));
        }
    }
    return out;
}

FilePtr openBytes(const Bytes& bytes) {
    FilePtr file(std::tmpfile());
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
