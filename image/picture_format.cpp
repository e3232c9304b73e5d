#include "picture_format.h"

#include <cstring>

namespace {

constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};

bool startsWith(const std::uint8_t* head, std::size_t size, const void* signature, std::size_t length) {
    return size >= length && std::memcmp(head, signature, length) == 0;
}

std::uint32_t u32le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// OS/2 icons and pointers have a BMP-like file header whose two letters
// differ from "BM"; the information header that follows (12 or 64 bytes,
// or 40) tells them from text that happens to begin with the same letters.
bool os2Header(const std::uint8_t* head, std::size_t size) {
    if (size < 18) return false;
    const std::uint32_t infoSize = u32le(head + 14);
    return infoSize == 12 || infoSize == 40 || infoSize == 64;
}

}  // namespace

PictureFormat formatOf(const std::uint8_t* head, std::size_t size) {
    if (startsWith(head, size, kPng, sizeof kPng)) return PictureFormat::png;
    if (startsWith(head, size, kJpeg, sizeof kJpeg)) return PictureFormat::jpeg;
    if (startsWith(head, size, "GIF87a", 6) || startsWith(head, size, "GIF89a", 6)) return PictureFormat::gif;
    // Classic and big TIFF, in either byte order.
    if (startsWith(head, size, "II*\0", 4) || startsWith(head, size, "MM\0*", 4) ||
        startsWith(head, size, "II+\0", 4) || startsWith(head, size, "MM\0+", 4)) {
        return PictureFormat::tiff;
    }
    if (startsWith(head, size, "RIFF", 4) && size >= 12 && std::memcmp(head + 8, "WEBP", 4) == 0) {
        return PictureFormat::webp;
    }
    // A bitmap array holds a file header of one of the other kinds at offset 14.
    if (startsWith(head, size, "BA", 2) && size >= 16) {
        for (const char* kind : {"BM", "CI", "CP", "IC", "PT"}) {
            if (std::memcmp(head + 14, kind, 2) == 0) return PictureFormat::os2BitmapArray;
        }
    }
    if (os2Header(head, size)) {
        if (startsWith(head, size, "IC", 2)) return PictureFormat::os2Icon;
        if (startsWith(head, size, "CI", 2)) return PictureFormat::os2ColorIcon;
        if (startsWith(head, size, "PT", 2)) return PictureFormat::os2Pointer;
        if (startsWith(head, size, "CP", 2)) return PictureFormat::os2ColorPointer;
    }
    return PictureFormat::bmp;
}

bool cutSignature(const std::uint8_t* head, std::size_t size, PictureFormat& format) {
    if (size == 0) return false;
    if (size < sizeof kPng && std::memcmp(head, kPng, size) == 0) {
        format = PictureFormat::png;
        return true;
    }
    if (size < sizeof kJpeg && std::memcmp(head, kJpeg, size) == 0) {
        format = PictureFormat::jpeg;
        return true;
    }
    return false;
}
