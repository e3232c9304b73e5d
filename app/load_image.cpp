#include "load_image.h"

#include <cstdio>

bool loadImage(dib24& image, const char* path) {
    image.create(1, 1, 0);
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    const bool loaded = image.readBmp(file);
    std::fclose(file);
    return loaded;
}
