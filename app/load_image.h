// Loading the image named on a command line, as both programs do it: a 1 x 1
// start-up image, the file opened for binary reading, readPicture (BMP, PNG
// or JPEG, told by the file's content), the file closed. "-" is standard
// input, read in binary mode and left open.
#pragma once

#include "dib24.h"
#include "picture_read_status.h"

#include <string>

// Why a load failed: the file could not be opened (openError, the system's
// error number), or the reader refused it (read).
struct LoadStatus {
    bool opened = false;
    int openError = 0;
    PictureReadStatus read;
};

// false: the file could not be opened or was refused; the caller reports it
// with "Cannot load input file : %s\n" on standard output and the reason
// (load_failure.h) on standard error.
bool loadImage(dib24& image, const char* path, LoadStatus& status);
bool loadImage(dib24& image, const char* path);

// What was loaded, for --verbose: "BMP, 24 bits per pixel, 320 x 240 pixels",
// "PNG, RGBA, 16 bits per sample, 320 x 240 pixels", "PNG, palette, 4 bits
// per index, ...", "JPEG, colour (3 components), 320 x 240 pixels".
std::string describeLoaded(const LoadStatus& status, const dib24& image);
