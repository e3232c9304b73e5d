// The format of a file, told by its first bytes rather than its name.
#pragma once

#include "picture_read_status.h"

#include <cstddef>
#include <cstdint>

// The bytes that tell every format apart (an OS/2 icon's file header and
// the length of the information header after it are the longest).
constexpr std::size_t kSignatureBytes = 18;

// `head` holds the file's first `size` bytes (all of them when the file is
// shorter than kSignatureBytes). Files that no signature claims are bmp:
// the BMP reader refuses them as it always has.
PictureFormat formatOf(const std::uint8_t* head, std::size_t size);

// True when `head` (the whole file) is a proper prefix of a PNG or JPEG
// signature: a PNG or JPEG file cut within its first bytes.
bool cutSignature(const std::uint8_t* head, std::size_t size, PictureFormat& format);
