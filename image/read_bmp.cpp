// dib24's BMP reading: the decoder fills an image of its own, which takes
// this image's place only once it is complete, so that a refused file leaves
// this image exactly as it was.
#include "bmp_decoder.h"
#include "dib24.h"

bool dib24::readBmp(std::FILE* file, BmpReadStatus& status) {
    FileInput input(file);
    return readBmp(input, status);
}

bool dib24::readBmp(FileInput& file, BmpReadStatus& status) {
    dib24 staged;
    if (!decodeBmp(file, staged, status)) return false;
    swapImages(*this, staged);
    return true;
}

bool dib24::readBmp(std::FILE* file) {
    BmpReadStatus ignored;
    return readBmp(file, ignored);
}
