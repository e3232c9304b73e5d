#include "load_image.h"

#include "read_picture.h"

#include <cerrno>
#include <cstdio>

bool loadImage(dib24& image, const char* path, LoadStatus& status) {
    status = LoadStatus{};
    image.create(1, 1, 0);
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
