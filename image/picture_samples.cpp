#include "picture_samples.h"

namespace {

// Adam7: first column, column step, first row, row step of each pass.
constexpr int kAdam7[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                              {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};

int channelsOf(SampleLayout layout) {
    switch (layout) {
        case SampleLayout::grey:
        case SampleLayout::indexed: return 1;
        case SampleLayout::greyAlpha: return 2;
        case SampleLayout::rgb:
        case SampleLayout::bgr: return 3;
        default: return 4;
    }
}

inline std::uint8_t from16(std::uint32_t v) { return static_cast<std::uint8_t>((v * 255 + 32767) / 65535); }

inline std::uint8_t over(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

// Sample k of a row, as stored, at `Depth` bits.
template <int Depth, bool LittleEndian>
inline std::uint32_t sampleAt(const std::uint8_t* row, std::size_t k) {
    if constexpr (Depth == 16) {
        const std::uint8_t* p = row + 2 * k;
        return LittleEndian ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
    } else if constexpr (Depth == 8) {
        return row[k];
    } else {
        const std::size_t bit = k * Depth;
        return (row[bit / 8] >> (8 - Depth - bit % 8)) & ((1u << Depth) - 1);
    }
}

// A sample as an 8-bit value: rounded from 16 bits, replicated from fewer.
template <int Depth>
inline std::uint8_t eightBit(std::uint32_t v) {
    if constexpr (Depth == 16) return from16(v);
    return static_cast<std::uint8_t>(v * (255 / ((1u << Depth) - 1)));
}

struct Target {
    std::uint8_t* pixel;
    std::ptrdiff_t step;
    bool translucent = false;
    void put(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha) {
        if (alpha != 255) {
            translucent = true;
            red = over(red, alpha);
            green = over(green, alpha);
            blue = over(blue, alpha);
        }
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
        pixel += step;
    }
};

template <SampleLayout Layout, int Depth, bool LittleEndian>
void convertRow(const SampleFormat& f, const std::uint8_t* row, std::int32_t count, Target& out) {
    constexpr int channels = Layout == SampleLayout::grey || Layout == SampleLayout::indexed ? 1
                             : Layout == SampleLayout::greyAlpha                            ? 2
                             : Layout == SampleLayout::rgb || Layout == SampleLayout::bgr   ? 3
                                                                                            : 4;
    for (std::size_t x = 0; x < static_cast<std::size_t>(count); ++x) {
        const std::size_t k = x * channels;
        if constexpr (Layout == SampleLayout::indexed) {
            const std::uint32_t i = sampleAt<Depth, false>(row, k);
            if (i < static_cast<std::uint32_t>(f.paletteCount)) {
                const std::uint8_t* e = f.palette.data() + 4 * i;
                out.put(e[0], e[1], e[2], e[3]);
            } else {
                out.put(0, 0, 0, 255);
            }
        } else if constexpr (Layout == SampleLayout::grey) {
            const std::uint32_t v = sampleAt<Depth, LittleEndian>(row, k);
            const std::uint8_t g = eightBit<Depth>(v);
            out.put(g, g, g, f.hasKey && v == f.key[0] ? 0 : 255);
        } else if constexpr (Layout == SampleLayout::greyAlpha) {
            const std::uint8_t g = eightBit<Depth>(sampleAt<Depth, LittleEndian>(row, k));
            out.put(g, g, g, eightBit<Depth>(sampleAt<Depth, LittleEndian>(row, k + 1)));
        } else {
            constexpr bool bgrOrder = Layout == SampleLayout::bgr || Layout == SampleLayout::bgra;
            const std::uint32_t c0 = sampleAt<Depth, LittleEndian>(row, k);
            const std::uint32_t c1 = sampleAt<Depth, LittleEndian>(row, k + 1);
            const std::uint32_t c2 = sampleAt<Depth, LittleEndian>(row, k + 2);
            const std::uint32_t red = bgrOrder ? c2 : c0;
            const std::uint32_t blue = bgrOrder ? c0 : c2;
            std::uint8_t alpha = 255;
            if constexpr (channels == 4) {
                alpha = eightBit<Depth>(sampleAt<Depth, LittleEndian>(row, k + 3));
            } else {
                if (f.hasKey && red == f.key[0] && c1 == f.key[1] && blue == f.key[2]) alpha = 0;
            }
            out.put(eightBit<Depth>(red), eightBit<Depth>(c1), eightBit<Depth>(blue), alpha);
        }
    }
}

template <SampleLayout Layout>
void convertAtDepth(const SampleFormat& f, const std::uint8_t* row, std::int32_t count, Target& out) {
    switch (f.bitDepth) {
        case 1: convertRow<Layout, 1, false>(f, row, count, out); break;
        case 2: convertRow<Layout, 2, false>(f, row, count, out); break;
        case 4: convertRow<Layout, 4, false>(f, row, count, out); break;
        case 16:
            if (f.littleEndian) {
                convertRow<Layout, 16, true>(f, row, count, out);
            } else {
                convertRow<Layout, 16, false>(f, row, count, out);
            }
            break;
        default: convertRow<Layout, 8, false>(f, row, count, out); break;
    }
}

}  // namespace

std::size_t rowBytesOf(const SampleFormat& format, std::int32_t width) {
    const std::size_t bits = static_cast<std::size_t>(width) * channelsOf(format.layout) * format.bitDepth;
    return (bits + 7) / 8;
}

std::int32_t PictureBuilder::passColumns(int pass) const {
    const int* p = kAdam7[pass];
    return image_.width > p[0] ? (image_.width - p[0] + p[1] - 1) / p[1] : 0;
}

std::int32_t PictureBuilder::passRows(int pass) const {
    const int* p = kAdam7[pass];
    return image_.height > p[2] ? (image_.height - p[2] + p[3] - 1) / p[3] : 0;
}

void PictureBuilder::putRow(std::int32_t y, const std::uint8_t* samples) { convert(samples, image_.width, y, 0, 1); }

void PictureBuilder::putPassRow(int pass, std::int32_t row, const std::uint8_t* samples) {
    const int* p = kAdam7[pass];
    convert(samples, passColumns(pass), p[2] + row * p[3], p[0], p[1]);
}

void PictureBuilder::convert(const std::uint8_t* samples, std::int32_t count, std::int32_t y,
                             std::int32_t firstColumn, std::int32_t columnStep) {
    // The image is bottom-up: picture row y is buffer row height - 1 - y.
    std::uint8_t* row = image_.pixels + static_cast<std::int64_t>(image_.height - 1 - y) * image_.stride;
    Target out{row + 3 * static_cast<std::ptrdiff_t>(firstColumn), 3 * static_cast<std::ptrdiff_t>(columnStep)};
    switch (format_.layout) {
        case SampleLayout::grey: convertAtDepth<SampleLayout::grey>(format_, samples, count, out); break;
        case SampleLayout::greyAlpha: convertAtDepth<SampleLayout::greyAlpha>(format_, samples, count, out); break;
        case SampleLayout::rgb: convertAtDepth<SampleLayout::rgb>(format_, samples, count, out); break;
        case SampleLayout::rgba: convertAtDepth<SampleLayout::rgba>(format_, samples, count, out); break;
        case SampleLayout::bgr: convertAtDepth<SampleLayout::bgr>(format_, samples, count, out); break;
        case SampleLayout::bgra: convertAtDepth<SampleLayout::bgra>(format_, samples, count, out); break;
        case SampleLayout::indexed: convertAtDepth<SampleLayout::indexed>(format_, samples, count, out); break;
    }
    shownOverWhite_ = shownOverWhite_ || out.translucent;
}
