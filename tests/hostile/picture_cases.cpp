#include "picture_cases.h"

#include "picture_files.h"
#include "pictures.h"

#include <string>

namespace hostile {

using testsupport::Bytes;
using testsupport::PngRecipe;

namespace {

PngRecipe pngRecipe(int colorType, int bitDepth, bool interlaced, std::int32_t width, std::int32_t height) {
    PngRecipe s = testsupport::rampPng(colorType, bitDepth, interlaced, width, height);
    s.pelsPerMetre = 2835;
    return s;
}

std::string name(const PngRecipe& s) {
    return "png-type" + std::to_string(s.colorType) + "-" + std::to_string(s.bitDepth) + "bit" +
           (s.interlaced ? "-interlaced" : "");
}

std::uint32_t be(std::uint32_t v) { return v >> 24 | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | v << 24; }

// A valid PNG with its IHDR rewritten: a header that claims a size, a depth or a type.
Bytes withHeader(const Bytes& png, std::size_t offset, std::uint32_t value, int bytes) {
    Bytes b = png;
    const std::size_t ihdr = testsupport::pngChunkAt(b, "IHDR") + 8;
    if (bytes == 4) {
        testsupport::putU32(b, ihdr + offset, be(value));
    } else {
        b[ihdr + offset] = static_cast<std::uint8_t>(value);
    }
    testsupport::refreshPngCrc(b, ihdr - 8);
    return b;
}

std::size_t markerAt(const Bytes& jpeg, std::uint8_t marker) {
    std::size_t at = 2;
    while (!(jpeg[at] == 0xFF && jpeg[at + 1] == marker)) ++at;
    return at;
}

// Bytes from the end of the first scan header to the end marker (one scan).
std::size_t scanBytes(const Bytes& jpeg) {
    const std::size_t sos = markerAt(jpeg, 0xDA);
    const std::size_t length = std::size_t{jpeg[sos + 2]} << 8 | jpeg[sos + 3];
    return jpeg.size() - 2 - (sos + 2 + length);
}

const char* const kDamagedPrefix = "-damaged";

}  // namespace

bool isDamagedCase(const NamedFile& file) { return file.name.find(kDamagedPrefix) != std::string::npos; }

std::vector<NamedFile> validPictureFiles() {
    std::vector<NamedFile> files;
    auto add = [&files](std::string name, Bytes bytes) { files.push_back({std::move(name), std::move(bytes), {}}); };
    const std::vector<std::pair<int, std::vector<int>>> kinds = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& [type, depths] : kinds) {
        for (const int depth : depths) {
            for (const bool interlaced : {false, true}) {
                const PngRecipe s = pngRecipe(type, depth, interlaced, 7, 5);
                add(name(s) + ".png", testsupport::pngFile(s));
            }
        }
    }
    PngRecipe palette = pngRecipe(3, 4, false, 6, 4);
    palette.paletteAlpha = {0, 128, 255, 7};
    add("png-palette-trns.png", testsupport::pngFile(palette));
    PngRecipe grey = pngRecipe(0, 2, true, 6, 4);
    grey.hasKey = true;
    grey.key = {2, 0, 0};
    add("png-grey-trns.png", testsupport::pngFile(grey));
    PngRecipe rgb = pngRecipe(2, 16, false, 6, 4);
    rgb.hasKey = true;
    rgb.key = {rgb.samples[0], rgb.samples[1], rgb.samples[2]};
    add("png-rgb16-trns.png", testsupport::pngFile(rgb));
    PngRecipe extras = pngRecipe(6, 8, false, 6, 4);
    extras.ancillaryChunks = true;
    add("png-ancillary-chunks.png", testsupport::pngFile(extras));

    const testsupport::Picture card = testsupport::testCard(19, 13, 5);
    testsupport::JpegRecipe j;
    add("jpeg-baseline.jpg", testsupport::jpegFile(card, j));
    j.grey = true;
    add("jpeg-grey.jpg", testsupport::jpegFile(card, j));
    j.grey = false;
    j.progressive = true;
    add("jpeg-progressive.jpg", testsupport::jpegFile(card, j));
    j.progressive = false;
    j.arithmetic = true;
    add("jpeg-arithmetic.jpg", testsupport::jpegFile(card, j));
    j.grey = j.progressive = true;
    add("jpeg-grey-progressive-arithmetic.jpg", testsupport::jpegFile(card, j));
    return files;
}

std::vector<NamedFile> hostilePictureFiles() {
    std::vector<NamedFile> files;
    auto add = [&files](std::string name, Bytes bytes, std::string reason) {
        files.push_back({std::move(name), std::move(bytes), std::move(reason)});
    };
    const Bytes png = testsupport::pngFile(pngRecipe(2, 8, false, 40, 30));
    const std::size_t idat = testsupport::pngChunkAt(png, "IDAT");
    const std::size_t idatEnd = idat + 8 + (std::size_t{png[idat + 2]} << 8 | png[idat + 3]);

    add("png-100000x100000.png", withHeader(withHeader(png, 0, 100000, 4), 4, 100000, 4),
        "picture of 100000 x 100000 pixels is too large (the limit is 2147483647 bytes of 24-bit image, about "
        "715 million pixels)");
    add("png-20000x20000-little-data.png", withHeader(withHeader(png, 0, 20000, 4), 4, 20000, 4),
        "PNG image data too short: " + std::to_string(idatEnd - idat - 8) +
            " compressed bytes cannot hold the 1200020000 bytes of rows of a picture of 20000 x 20000 pixels");
    add("png-colour-type-5.png", withHeader(png, 9, 5, 1), "PNG colour type 5 is not valid (0, 2, 3, 4 or 6)");
    add("png-bit-depth-3.png", withHeader(png, 8, 3, 1), "PNG bit depth 3 is not valid for RGB (8 or 16)");
    add("png-damaged-no-plte.png", withHeader(png, 9, 3, 1),
        "PNG file is damaged: IDAT: Missing PLTE before IDAT");
    add("png-interlace-2.png", withHeader(png, 12, 2, 1), "PNG interlace method 2 is not known");
    add("png-height-0.png", withHeader(png, 4, 0, 4), "PNG picture of 40 x 0 pixels is not valid");
    add("png-no-idat.png", testsupport::withoutPngChunks(png, "IDAT"), "PNG file has no image data (IDAT)");
    Bytes noHeader = testsupport::withoutPngChunks(png, "IHDR");
    add("png-no-ihdr.png", noHeader, "PNG file does not begin with its header chunk (IHDR)");
    Bytes crc = png;
    crc[testsupport::pngChunkAt(png, "IHDR") + 21] ^= 1;
    add("png-damaged-ihdr-crc.png", crc, "PNG file is damaged: IHDR: CRC error");
    crc = png;
    crc[idatEnd] ^= 1;
    add("png-damaged-idat-crc.png", crc, "PNG file is damaged: IDAT: CRC error");
    Bytes adler = png;
    adler[idatEnd - 1] ^= 1;
    testsupport::refreshPngCrc(adler, idat);
    add("png-damaged-zlib-check.png", adler, "PNG file is damaged: IDAT: incorrect data check");
    Bytes longChunk = png;
    testsupport::putU32(longChunk, idat, 0xFFFFFFFFu);
    add("png-chunk-length-4294967295.png", longChunk, "PNG chunk length 4294967295 is not valid (2147483647 at most)");
    Bytes cut = png;
    cut.resize(idatEnd - 10);
    add("png-cut-in-idat.png", cut, "PNG file cut short: it ends after " + std::to_string(cut.size()) + " bytes");
    add("png-cut-in-signature.png", Bytes(png.begin(), png.begin() + 5), "PNG file cut short: it ends after 5 bytes");

    const testsupport::Picture card = testsupport::testCard(24, 16, 2);
    const Bytes jpeg = testsupport::jpegFile(card);
    const std::size_t sof = markerAt(jpeg, 0xC0);
    Bytes large = jpeg;
    for (int k = 0; k < 4; ++k) large[sof + 5 + k] = 0xFF;
    add("jpeg-65535x65535.jpg", large,
        "picture of 65535 x 65535 pixels is too large (the limit is 2147483647 bytes of 24-bit image, about 715 "
        "million pixels)");
    Bytes wide = jpeg;
    wide[sof + 5] = 0x08;  // 65299 x 2061, as a fuzzer once made it: 400 MB from a few hundred bytes
    wide[sof + 6] = 0x0D;
    wide[sof + 7] = 0xFF;
    wide[sof + 8] = 0x13;
    add("jpeg-65299x2061-little-data.jpg", wide,
        "JPEG scan data too short: " + std::to_string(scanBytes(jpeg)) +
            " bytes cannot code the 526578 minimum coded units of a picture of 65299 x 2061 pixels");
    Bytes twelve = jpeg;
    twelve[sof + 4] = 12;
    add("jpeg-12-bit.jpg", twelve, "12-bit JPEG is not supported (8-bit samples only)");
    Bytes lossless = jpeg;
    lossless[sof + 1] = 0xC3;
    add("jpeg-lossless.jpg", lossless, "lossless JPEG (SOF3) is not supported");
    Bytes hierarchical = jpeg;
    hierarchical[sof + 1] = 0xC5;
    add("jpeg-hierarchical.jpg", hierarchical, "hierarchical JPEG (SOF5) is not supported");
    testsupport::JpegRecipe cmyk;
    cmyk.cmyk = true;
    add("jpeg-cmyk.jpg", testsupport::jpegFile(card, cmyk), "CMYK JPEG is not supported; convert it to RGB");
    cmyk.ycck = true;
    add("jpeg-ycck.jpg", testsupport::jpegFile(card, cmyk), "YCCK JPEG is not supported; convert it to RGB");
    Bytes dnl = jpeg;
    dnl[sof + 5] = dnl[sof + 6] = 0;
    add("jpeg-height-0.jpg", dnl, "JPEG whose height is given after its first scan (DNL) is not supported");
    Bytes noEnd = jpeg;
    noEnd.resize(noEnd.size() - 2);
    add("jpeg-no-end-marker.jpg", noEnd, "JPEG file cut short: it ends after " + std::to_string(noEnd.size()) + " bytes");
    Bytes damaged = jpeg;
    const std::size_t scan = markerAt(jpeg, 0xDA);
    const std::size_t middle = scan + (jpeg.size() - scan) / 2;
    damaged[middle] = 0xFF;
    damaged[middle + 1] = 0xD3;
    add("jpeg-stray-restart-marker.jpg", damaged, "JPEG file is damaged: restart marker RST3 out of place");
    // Bytes of all ones in the scan data: no Huffman code is all ones. Only
    // the decoder sees this (libjpeg does; WIC under Wine fills the picture in).
    Bytes huffman = jpeg;
    for (int k = 0; k < 8; ++k) {
        huffman[middle + 2 * k] = 0xFF;
        huffman[middle + 2 * k + 1] = 0x00;
    }
    add("jpeg-damaged-huffman.jpg", huffman, "JPEG file is damaged: Corrupt JPEG data: bad Huffman code");

    auto head = [](const std::string& signature) {
        Bytes b(64, 0x20);
        std::copy(signature.begin(), signature.end(), b.begin());
        return b;
    };
    add("animation.gif", head("GIF89a"), "GIF is not supported; convert it to PNG");
    add("scan.tif", head(std::string("II*\0", 4)), "TIFF is not supported; convert it to PNG");
    add("photo.webp", head(std::string("RIFF\x38\0\0\0WEBPVP8 ", 16)), "WebP is not supported; convert it to PNG");
    Bytes icon = head("IC");
    testsupport::putU32(icon, 14, 12);
    add("os2.ico", icon, "OS/2 icon is not supported; convert it to PNG");
    return files;
}

std::vector<NamedFile> hostilePictureFilesOfEachKind() {
    return chosenFiles(hostilePictureFiles(),
                       {"png-colour-type-5.png", "png-damaged-idat-crc.png", "png-cut-in-idat.png", "jpeg-cmyk.jpg",
                        "jpeg-stray-restart-marker.jpg", "png-20000x20000-little-data.png",
                        "jpeg-65299x2061-little-data.jpg", "animation.gif"});
}

}  // namespace hostile
