// Reading a picture file of any format the programs read, told by its
// content rather than its name: "BM" goes to the BMP reader (dib24::readBmp),
// the PNG signature and JPEG's FF D8 FF to their decoders; a few other
// formats are named in the refusal, and anything else is refused by the BMP
// reader as not a BMP file.
#pragma once

#include "dib24.h"
#include "picture_read_status.h"

#include <cstdio>

// Reads from a stream opened for binary reading at its first byte, without
// seeking. false: refused, `status` says why, and the image is exactly as it
// was. true: the image was rebuilt at the picture's size and filled; a PNG
// or JPEG picture becomes the same 24-bit image, with its resolution, that
// the same pixels saved as a 24-bit BMP give.
bool readPicture(dib24& image, std::FILE* file, PictureReadStatus& status);

// The most bytes a PNG or JPEG file may have: more than any picture within
// the size limit needs, even as 16-bit RGBA samples stored uncompressed.
constexpr std::int64_t kMaxPictureFileBytes = 4 * kMaxImageBytes;
