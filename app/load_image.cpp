#include "load_image.h"

#include "load_failure.h"
#include "read_picture.h"
#include "system_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool loadImage(dib24& image, const char* path, LoadStatus& status) {
    status = LoadStatus{};
    image.create(1, 1, 0);
    if (std::strcmp(path, "-") == 0) {
        setBinaryMode(stdin);
        status.opened = true;
        return readPicture(image, stdin, status.read);
    }
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        status.openError = errno;
        return false;
    }
    status.opened = true;
    const bool loaded = readPicture(image, file, status.read);
    std::fclose(file);
    return loaded;
}

bool loadImage(dib24& image, const char* path) {
    LoadStatus ignored;
    return loadImage(image, path, ignored);
}

std::string describeLoaded(const LoadStatus& status, const dib24& image) {
    const PictureReadStatus& read = status.read;
    std::string kind = pictureFormatName(read.format);
    switch (read.format) {
        case PictureFormat::png:
            kind += std::string(", ") + pngColorTypeName(read.colorType) + ", " + std::to_string(read.bitDepth) +
                    (read.colorType == 3 ? " bits per index" : " bits per sample");
            break;
        case PictureFormat::jpeg:
            kind += read.components == 1 ? ", greyscale (1 component)" : ", colour (3 components)";
            break;
        default: kind += ", " + std::to_string(read.bmp.header.bitCount) + " bits per pixel";
    }
    return kind + ", " + std::to_string(image.width) + " x " + std::to_string(image.height) + " pixels";
}
