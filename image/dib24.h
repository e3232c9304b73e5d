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
#include "picture_geometry.h"
#include "picture_target.h"

class dib24 : public PictureTarget {
public:
    dib24();
    virtual ~dib24();
    dib24(const dib24&) = delete;
    dib24& operator=(const dib24&) = delete;

    // Rebuilds the image at the given size; the old buffer and its contents
    // are gone. Always true: when GDI cannot make the section (a zero side,
    // or too large) the image is empty.
    bool create(int width, int height, int resolution);
    // The same, for the readers (picture_target.h).
    ImageView make(std::int32_t width, std::int32_t height, std::int32_t resolution) override;
    // Frees the GDI objects and empties the image; safe to repeat.
    void release();
    void updateGeometry();
    // Copies the whole image (the header's full size) onto dc; nothing when empty.
    void draw(HDC dc, int x, int y, int cx, int cy, int srcX, int srcY);

    // Loads an uncompressed BMP of 1, 4, 8 or 24 bits per pixel from a stream
    // opened for binary reading at its first byte, through decodeBmp
    // (bmp_decoder.h), which says what it takes. false: the file was refused,
    // `status` says why, nothing was printed, and the image is exactly as it
    // was. true: the image was rebuilt at the file's size and filled.
    bool readBmp(std::FILE* file, BmpReadStatus& status);
    bool readBmp(std::FILE* file);
    // The same from an input whose first bytes may have been looked at.
    bool readBmp(FileInput& file, BmpReadStatus& status);

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
};

// Exchanges two images whole: buffers, GDI objects and geometry. The readers
// build a picture in an image of its own and swap it in once it is complete.
void swapImages(dib24& a, dib24& b);
