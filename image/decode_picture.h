// Decoding a picture file of any format the programs read, told by its
// content rather than its name: "BM" goes to the BMP decoder (bmp_decoder.h),
// the PNG signature and JPEG's FF D8 FF to their decoders; a few other
// formats are named in the refusal, and anything else is refused by the BMP
// decoder as not a BMP file.
#pragma once

#include "bmp_read_status.h"
#include "file_input.h"
#include "picture_read_status.h"
#include "picture_target.h"

#include <cstdint>

// Reads the input from its first byte, without seeking. true: `target` was
// made at the picture's size and filled; a PNG or JPEG picture gives the
// same 24-bit pixels, with its resolution, that the same pixels saved as a
// 24-bit BMP give. false: refused, `status` says why, and `target` may have
// been made and part filled (the callers read into an image of their own).
bool decodePicture(FileInput& input, PictureTarget& target, PictureReadStatus& status);

// The most bytes a PNG or JPEG file may have: more than any picture within
// the size limit needs, even as 16-bit RGBA samples stored uncompressed.
constexpr std::int64_t kMaxPictureFileBytes = 4 * kMaxImageBytes;
