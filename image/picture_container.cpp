#include "picture_container.h"

#include "picture_geometry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr std::int64_t kInt31 = std::numeric_limits<std::int32_t>::max();

std::uint32_t u32be(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}
std::uint32_t u16be(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0]) << 8 | p[1]; }

bool refuse(PictureReadStatus& status, PictureRefusal why) {
    status.refusal = why;
    return false;
}

bool cutShort(PictureReadStatus& status, std::size_t size) {
    status.present = static_cast<std::int64_t>(size);
    return refuse(status, PictureRefusal::truncated);
}

bool checkSize(PictureReadStatus& status, std::int64_t width, std::int64_t height) {
    status.width = width;
    status.height = height;
    return withinSizeLimit(width, height) || refuse(status, PictureRefusal::tooLarge);
}

// ---- PNG ----------------------------------------------------------------

// The CRC-32 of PNG chunks (ISO 3309), over the chunk's type and data.
std::uint32_t chunkCrc(const std::uint8_t* bytes, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A critical chunk (its type's first letter upper case) must be intact: the
// systems' decoders do not all check (WIC under Wine reads past a bad CRC).
// Damage in an ancillary chunk is left to the decoder, which skips it.
bool criticalChunkIntact(const std::uint8_t* chunk, std::uint32_t length, PictureReadStatus& status) {
    if ((chunk[4] & 0x20) != 0) return true;
    if (chunkCrc(chunk + 4, std::size_t{length} + 4) == u32be(chunk + 8 + length)) return true;
    status.message = std::string(reinterpret_cast<const char*>(chunk + 4), 4) + ": CRC error";
    return refuse(status, PictureRefusal::damaged);
}

constexpr std::size_t kPngSignature = 8;
constexpr std::uint32_t chunkType(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

int channelsOf(int colorType) {
    switch (colorType) {
        case 0: return 1;  // greyscale
        case 2: return 3;  // RGB
        case 3: return 1;  // palette indices
        case 4: return 2;  // greyscale and alpha
        default: return 4;  // RGBA
    }
}

bool depthAllowed(int colorType, int bitDepth) {
    switch (colorType) {
        case 0: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
        case 3: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
        default: return bitDepth == 8 || bitDepth == 16;
    }
}

// The 13 bytes of IHDR: size, depth, colour type and the three methods.
bool readPngHeader(const std::uint8_t* h, PngFacts& facts, PictureReadStatus& status) {
    const std::int64_t width = u32be(h);
    const std::int64_t height = u32be(h + 4);
    status.width = width;
    status.height = height;
    if (width == 0 || height == 0 || width > kInt31 || height > kInt31) return refuse(status, PictureRefusal::pngBadSize);
    facts.bitDepth = status.bitDepth = h[8];
    facts.colorType = status.colorType = h[9];
    const int type = facts.colorType;
    if (type != 0 && type != 2 && type != 3 && type != 4 && type != 6) return refuse(status, PictureRefusal::pngColorType);
    if (!depthAllowed(type, facts.bitDepth)) return refuse(status, PictureRefusal::pngBitDepth);
    const PngMethod methods[] = {PngMethod::compression, PngMethod::filter, PngMethod::interlace};
    for (int k = 0; k < 3; ++k) {
        const int limit = methods[k] == PngMethod::interlace ? 1 : 0;
        if (h[10 + k] > limit) {
            status.method = methods[k];
            status.value = h[10 + k];
            return refuse(status, PictureRefusal::pngMethod);
        }
    }
    facts.width = static_cast<std::int32_t>(width);
    facts.height = static_cast<std::int32_t>(height);
    facts.interlaced = h[12] == 1;
    return checkSize(status, width, height);
}

// Bytes of filtered rows that the compressed data must give: a filter byte
// and the packed samples per row, for each pass of an interlaced file.
std::int64_t rawPngBytes(const PngFacts& f) {
    const std::int64_t bitsPerPixel = static_cast<std::int64_t>(channelsOf(f.colorType)) * f.bitDepth;
    auto rows = [&](std::int64_t width, std::int64_t height) {
        if (width == 0 || height == 0) return std::int64_t{0};
        return height * (1 + (width * bitsPerPixel + 7) / 8);
    };
    if (!f.interlaced) return rows(f.width, f.height);
    // Adam7: the first column, the column step, the first row, the row step of each pass.
    static const int pass[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                   {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
    std::int64_t total = 0;
    for (const auto& p : pass) {
        const std::int64_t w = f.width > p[0] ? (f.width - p[0] + p[1] - 1) / p[1] : 0;
        const std::int64_t h = f.height > p[2] ? (f.height - p[2] + p[3] - 1) / p[3] : 0;
        total += rows(w, h);
    }
    return total;
}

// No deflate stream expands more than 1032 to 1 (a 258-byte match in two
// bits), so compressed data shorter than this cannot give the rows.
constexpr std::int64_t kDeflateMaxRatio = 1032;

}  // namespace

bool withinSizeLimit(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0 || width > kInt31 || height > kInt31) return false;
    const std::int64_t stride = (3 * width + 3) / 4 * 4;
    return height == 0 || stride <= kMaxImageBytes / height;
}

bool checkPng(const std::uint8_t* data, std::size_t size, PngFacts& facts, PictureReadStatus& status) {
    std::size_t at = kPngSignature;
    bool first = true;
    std::int64_t imageData = 0;
    for (;;) {
        if (size - at < 8) return cutShort(status, size);
        const std::uint32_t length = u32be(data + at);
        const std::uint32_t type = u32be(data + at + 4);
        if (first && (type != chunkType("IHDR") || length != 13)) return refuse(status, PictureRefusal::pngNoHeader);
        if (length > kInt31) {
            status.value = length;
            return refuse(status, PictureRefusal::pngChunkLength);
        }
        // The chunk's data and its CRC (checked by the decoder).
        if (size - at - 8 < std::size_t{length} + 4) return cutShort(status, size);
        const std::uint8_t* body = data + at + 8;
        if (!criticalChunkIntact(data + at, length, status)) return false;
        if (first && !readPngHeader(body, facts, status)) return false;
        first = false;
        if (type == chunkType("IDAT")) imageData += length;
        // Pels per metre (unit 1) before the image data; an aspect ratio alone (unit 0) says nothing.
        if (type == chunkType("pHYs") && length == 9 && imageData == 0 && body[8] == 1) {
            const std::int64_t perMetre = u32be(body);
            facts.resolution = dpiFromPelsPerMetre(static_cast<std::int32_t>(perMetre > kInt31 ? kInt31 : perMetre));
        }
        at += 12 + std::size_t{length};
        if (type == chunkType("IEND")) break;
    }
    if (imageData == 0) return refuse(status, PictureRefusal::pngNoImageData);
    const std::int64_t raw = rawPngBytes(facts);
    if (raw > kDeflateMaxRatio * (imageData + 1)) {
        status.present = imageData;
        status.needed = raw;
        return refuse(status, PictureRefusal::pngDataTooShort);
    }
    return true;
}

// ---- JPEG ---------------------------------------------------------------

namespace {

bool isFrameMarker(int m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// The walk from SOI to EOI: segments by their lengths, and after each scan
// header the entropy-coded data up to the next marker that is not a restart.
struct JpegWalk {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 2;  // after SOI
    int frameMarker = 0;
    bool hierarchical = false;
    bool adobe = false;
    int adobeTransform = -1;
    int jfifUnits = 0;
    std::uint32_t jfifDensity = 0;
    bool sawScan = false;
    std::uint32_t restartInterval = 0;  // DRI: MCUs between restart markers; 0 for none
    int strayRestart = -1;              // a restart marker out of place (0 to 7), or -1
    std::int64_t scanBytes = 0;         // entropy-coded bytes of all scans

    // The next marker, past any bytes that are not one (libjpeg skips those
    // too, with a warning). 0 when the file ends first.
    int nextMarker() {
        while (at < size) {
            if (data[at] != 0xFF) {
                ++at;
                continue;
            }
            while (at < size && data[at] == 0xFF) ++at;  // fill bytes
            if (at == size) return 0;
            const int m = data[at++];
            if (m != 0x00) return m;
        }
        return 0;
    }

    // Entropy-coded data: stuffed zero bytes and restart markers belong to
    // it. Restart markers come only with a restart interval, counting RST0
    // to RST7 round from each scan's start; one out of place means lost or
    // spliced data, which some decoders would fill in.
    void skipScanData() {
        const std::size_t start = at;
        skipScan();
        scanBytes += static_cast<std::int64_t>(at - start);
    }

    void skipScan() {
        int expected = 0;
        while (at + 1 < size) {
            const int next = data[at + 1];
            if (data[at] == 0xFF && next >= 0xD0 && next <= 0xD7) {
                if ((restartInterval == 0 || next - 0xD0 != expected) && strayRestart < 0) strayRestart = next - 0xD0;
                expected = (next - 0xD0 + 1) % 8;
            } else if (data[at] == 0xFF && next != 0x00 && next != 0xFF) {
                return;
            }
            ++at;
        }
        at = size;
    }
};

}  // namespace

bool checkJpeg(const std::uint8_t* data, std::size_t size, JpegFacts& facts, PictureReadStatus& status) {
    JpegWalk walk{data, size};
    const std::uint8_t* frame = nullptr;
    for (;;) {
        const int m = walk.nextMarker();
        if (m == 0) return cutShort(status, size);
        if (m == 0xD9) break;                               // EOI
        if ((m >= 0xD0 && m <= 0xD7) || m == 0x01) continue;  // no length
        if (size - walk.at < 2) return cutShort(status, size);
        const std::uint32_t length = u16be(data + walk.at);
        if (length < 2 || size - walk.at < length) return cutShort(status, size);
        const std::uint8_t* body = data + walk.at + 2;
        const std::uint32_t bodyLength = length - 2;
        walk.at += length;
        if (isFrameMarker(m) && frame == nullptr) {
            if (bodyLength < 6 || bodyLength < 6 + 3 * std::uint32_t{body[5]}) return cutShort(status, size);
            walk.frameMarker = m;
            frame = body;
        } else if (m == 0xDD && bodyLength >= 2) {
            walk.restartInterval = u16be(body);
        } else if (m == 0xDE) {
            walk.hierarchical = true;  // DHP: a hierarchical file
        } else if (m == 0xE0 && bodyLength >= 12 && std::memcmp(body, "JFIF\0", 5) == 0) {
            walk.jfifUnits = body[7];
            walk.jfifDensity = u16be(body + 8);
        } else if (m == 0xEE && bodyLength >= 12 && std::memcmp(body, "Adobe", 5) == 0) {
            walk.adobe = true;
            walk.adobeTransform = body[11];
        } else if (m == 0xDA) {
            if (frame == nullptr) return refuse(status, PictureRefusal::jpegNoFrame);
            walk.sawScan = true;
            walk.skipScanData();
        }
    }
    if (frame == nullptr || !walk.sawScan) return refuse(status, PictureRefusal::jpegNoFrame);
    if (walk.strayRestart >= 0) {
        status.message = "restart marker RST" + std::to_string(walk.strayRestart) + " out of place";
        return refuse(status, PictureRefusal::damaged);
    }

    // Lossless (SOF3, 7, 11, 15) and hierarchical (SOF5 to 7, 13 to 15) coding.
    const int process = walk.frameMarker & 0x03;
    const bool differential = (walk.frameMarker >= 0xC5 && walk.frameMarker <= 0xC7) || walk.frameMarker >= 0xCD;
    if (process == 3 || differential || walk.hierarchical) {
        status.marker = walk.hierarchical ? 0xDE : walk.frameMarker;
        return refuse(status, PictureRefusal::jpegProcess);
    }
    status.value = frame[0];
    if (frame[0] != 8) return refuse(status, PictureRefusal::jpegPrecision);
    status.components = frame[5];
    if (frame[5] != 1 && frame[5] != 3) {
        // Four components are CMYK, or YCCK when an Adobe marker says transform 2.
        status.ycck = frame[5] == 4 && walk.adobe && walk.adobeTransform == 2;
        return refuse(status, PictureRefusal::jpegColorSpace);
    }
    status.height = u16be(frame + 1);
    status.width = u16be(frame + 3);
    // A height of 0 is given after the first scan (DNL), which the decoders do not read.
    if (status.width == 0 || status.height == 0) return refuse(status, PictureRefusal::jpegBadSize);
    if (!checkSize(status, status.width, status.height)) return false;
    // Huffman coding spends at least one bit on every block of every MCU
    // (its DC code), so a file whose scans are shorter cannot hold the
    // picture. Arithmetic coding (SOF9, SOF10) has no such bound.
    int hMax = 1;
    int vMax = 1;
    for (int c = 0; c < frame[5]; ++c) {
        hMax = std::max(hMax, frame[7 + 3 * c] >> 4);
        vMax = std::max(vMax, frame[7 + 3 * c] & 0x0F);
    }
    const std::int64_t mcus = (status.width + 8 * hMax - 1) / (8 * hMax) * ((status.height + 8 * vMax - 1) / (8 * vMax));
    facts.arithmetic = walk.frameMarker >= 0xC9;
    if (!facts.arithmetic && walk.scanBytes * 8 < mcus) {
        status.present = walk.scanBytes;
        status.needed = mcus;
        return refuse(status, PictureRefusal::jpegDataTooShort);
    }
    facts.width = static_cast<std::int32_t>(status.width);
    facts.height = static_cast<std::int32_t>(status.height);
    facts.components = frame[5];
    // JFIF density: 1 is dots per inch, 2 dots per centimetre; 0 an aspect ratio only.
    if (walk.jfifUnits == 1) facts.resolution = static_cast<std::int32_t>(walk.jfifDensity);
    if (walk.jfifUnits == 2) facts.resolution = dpiFromPelsPerMetre(static_cast<std::int32_t>(walk.jfifDensity * 100));
    return true;
}
