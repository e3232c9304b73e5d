// dib24: the program's one image, an uncompressed 24-bit bottom-up DIB
// section kept selected into a memory device context while it exists.
//
// Pixel layout: three bytes blue, green, red; buffer row r starts at
// pixels + r * stride; buffer row 0 is the bottom row of the picture;
// stride is width * 3 rounded up to a multiple of 4. An empty image has null
// `pixels` and zero width, height and stride; `bmi` still holds the last
// requested size.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "bmp_read_status.h"
#include "file_input.h"
#include "image_view.h"

class dib24 {
public:
    dib24();
    virtual ~dib24();
    dib24(const dib24&) = delete;
    dib24& operator=(const dib24&) = delete;

    // Rebuilds the image at the given size; the old buffer and its contents
    // are gone. Always true: when GDI cannot make the section (a zero side,
    // or too large) the image is empty.
    bool create(int width, int height, int resolution);
    // Frees the GDI objects and empties the image; safe to repeat.
    void release();
    void updateGeometry();
    // Copies the whole image (the header's full size) onto dc; nothing when empty.
    void draw(HDC dc, int x, int y, int cx, int cy, int srcX, int srcY);

    // Loads an uncompressed BMP of 1, 4, 8 or 24 bits per pixel from a stream
    // opened for binary reading at its first byte. Never seeks, rewinds or
    // closes it. The information header may be 40 bytes long or longer (V4,
    // V5, OS/2 2.x); its first 40 bytes are read, and the file palette
    // follows the biSize bytes of the header. false: the file was refused,
    // `status` says why, nothing was printed, and the image is exactly as it
    // was. true: the image was rebuilt at the file's size and filled.
    bool readBmp(std::FILE* file, BmpReadStatus& status);
    bool readBmp(std::FILE* file);
    // The same from an input whose first bytes may have been looked at.
    bool readBmp(FileInput& file, BmpReadStatus& status);

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
    void expand1Bit(const FilePalette& filePalette, const PixelArray& pixelBlock);
    void expand4Bit(const FilePalette& filePalette, const PixelArray& pixelBlock);
    void expand8Bit(const FilePalette& filePalette, const PixelArray& pixelBlock);

    ImageView view() const { return ImageView{pixels, width, height, stride}; }

    HGDIOBJ oldBitmap;
    BITMAPINFO bmi;
    HBITMAP dibSection;
    HDC memoryDC;
    std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    std::int32_t resolution;

private:
    template <typename IndexOf>
    void expand(const FilePalette& filePalette, const PixelArray& pixelBlock, IndexOf indexOf);
};

// Resolution conversions between dots per inch and pels per metre, each
// computed in double precision and truncated (72 dpi <-> 2835).
std::int32_t pelsPerMetreFromDpi(std::int32_t dotsPerInch);
std::int32_t dpiFromPelsPerMetre(std::int32_t pelsPerMetre);

// stride for a width: width * 3 rounded up to a multiple of 4.
std::int32_t strideForWidth(std::int32_t width);

// Exchanges two images whole: buffers, GDI objects and geometry. The readers
// build a picture in an image of its own and swap it in once it is complete.
void swapImages(dib24& a, dib24& b);
