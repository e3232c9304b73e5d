#include "read_picture.h"

bool readPicture(dib24& image, std::FILE* file, PictureReadStatus& status) {
    FileInput input(file);
    // The picture is made in an image of its own, which takes this image's
    // place only once it is complete.
    dib24 staged;
    if (!decodePicture(input, staged, status)) return false;
    swapImages(image, staged);
    return true;
}
