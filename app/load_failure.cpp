#include "load_failure.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string n(std::int64_t value) { return std::to_string(value); }


// biCompression by name. 3 and 4 mean other things in an OS/2 2.x header (64 bytes).
std::string compressionReason(const BmpHeaderFields& h) {
    const char* const saveIt = " is not supported; save it uncompressed";
    const bool os2 = h.headerSize == 64;
    switch (h.compression) {
        case 1: return std::string("run-length compressed (RLE8) BMP") + saveIt;
        case 2: return std::string("run-length compressed (RLE4) BMP") + saveIt;
        case 3:
            if (os2) return std::string("Huffman 1D compressed OS/2 BMP") + saveIt;
            return "bit-field (BI_BITFIELDS) BMP of " + n(h.bitCount) +
                   " bits per pixel is not supported; save it uncompressed with 1, 4, 8 or 24 bits per pixel";
        case 4:
            if (os2) return std::string("run-length compressed (RLE24) OS/2 BMP") + saveIt;
            return std::string("JPEG compressed BMP") + saveIt;
        case 5: return std::string("PNG compressed BMP") + saveIt;
        default: return "compression type " + n(h.compression) + saveIt;
    }
}

std::string headerBlockReason(const BmpReadStatus& s) {
    const BmpHeaderFields& h = s.header;
    std::string room = s.present > 0 ? n(s.present) + " bytes" : std::string("no bytes");
    std::string text = "header block too short: bfOffBits " + n(h.offBits) + " leaves " + room + " for the " +
                       n(h.headerSize) + "-byte header";
    if (s.needed > static_cast<std::int64_t>(h.headerSize)) {
        text += " and " + n(h.paletteEntries) + " palette entries (" + n(s.needed) + " bytes)";
    }
    return text;
}

std::string readReason(const BmpReadStatus& s) {
    const BmpHeaderFields& h = s.header;
    const std::int64_t rows = h.height < 0 ? -static_cast<std::int64_t>(h.height) : h.height;
    switch (s.refusal) {
        case BmpRefusal::none: return "no error";
        case BmpRefusal::readError: return systemReason("cannot read", s.systemError);
        case BmpRefusal::truncatedHeaders:
            if (s.present == 0) return "the file is empty";
            return "the file is shorter than its headers: " + n(s.present) + " bytes, where they take " + n(s.needed);
        case BmpRefusal::notBmp: return "not a BMP file (it does not begin with \"BM\")";
        case BmpRefusal::headerTooShort:
            if (h.headerSize == 12) return "OS/2 1.x BMP (12-byte header) is not supported; save it as a Windows BMP";
            return "information header of " + n(h.headerSize) + " bytes is too short (40 at least)";
        case BmpRefusal::compressed: return compressionReason(h);
        case BmpRefusal::unsupportedDepth:
            return n(h.bitCount) + " bits per pixel is not supported (1, 4, 8 or 24 only)";
        case BmpRefusal::negativeWidth: return "negative width " + n(h.width) + " is not valid";
        case BmpRefusal::heightMin: return "height " + n(h.height) + " is not valid";
        case BmpRefusal::tooLarge: return tooLargeReason(h.width, rows);
        case BmpRefusal::headerBlockShort: return headerBlockReason(s);
        case BmpRefusal::pixelArrayShort:
            return "pixel array cut short: " + n(s.needed) + " bytes expected, " + n(s.present) + " present";
        case BmpRefusal::noMemory: return noMemoryReason(h.width, rows);
    }
    return "refused";
}

}  // namespace

std::string systemReason(const char* what, int error) {
    if (error == 0) return what;
    return std::string(what) + " (" + std::strerror(error) + ")";
}

std::string tooLargeReason(std::int64_t width, std::int64_t height) {
    return "picture of " + n(width) + " x " + n(height) + " pixels is too large (the limit is " + n(kMaxImageBytes) +
           " bytes of 24-bit image, about 715 million pixels)";
}

std::string noMemoryReason(std::int64_t width, std::int64_t height) {
    return "not enough memory for a picture of " + n(width) + " x " + n(height) + " pixels";
}

std::string loadFailureReason(const LoadStatus& status) {
    if (!status.opened) return systemReason("cannot open", status.openError);
    if (status.read.format != PictureFormat::bmp) return pictureFailureReason(status.read);
    return readReason(status.read.bmp);
}

void reportLoadFailure(const char* program, const char* path, const LoadStatus& status) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s: %s\n", program, path, loadFailureReason(status).c_str());
}

std::string loadNotes(const char* program, const char* path, const LoadStatus& status) {
    if (!status.read.shownOverWhite) return "";
    return std::string(program) + ": " + path + ": the picture's transparency is shown over white\n";
}

void reportLoadNotes(const char* program, const char* path, const LoadStatus& status) {
    const std::string notes = loadNotes(program, path, status);
    if (notes.empty()) return;
    std::fflush(stdout);
    std::fputs(notes.c_str(), stderr);
}
