// Reading a picture file of any format the programs read into the programs'
// image, through decodePicture (decode_picture.h), which tells the format.
#pragma once

#include "decode_picture.h"
#include "dib24.h"
#include "picture_read_status.h"

#include <cstdio>

// Reads from a stream opened for binary reading at its first byte, without
// seeking. false: refused, `status` says why, and the image is exactly as it
// was. true: the image was rebuilt at the picture's size and filled.
bool readPicture(dib24& image, std::FILE* file, PictureReadStatus& status);
