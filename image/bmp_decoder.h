// The BMP decoder: uncompressed files of 1, 4, 8 or 24 bits per pixel, read
// from an input at its first byte (or after the bytes it was peeked at),
// never seeking, so that a pipe is read as well as a regular file. The
// information header may be 40 bytes long or longer (V4, V5, OS/2 2.x); its
// first 40 bytes are read, and the file palette follows the biSize bytes of
// the header.
#pragma once

#include "bmp_read_status.h"
#include "file_input.h"
#include "picture_target.h"

// true: `target` was made at the file's size and filled. false: the file was
// refused and `status` says why; nothing was printed, and `target` may have
// been made and part filled (the callers read into an image of their own).
bool decodeBmp(FileInput& file, PictureTarget& target, BmpReadStatus& status);
