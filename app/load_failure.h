// The reason a file could not be loaded, in words: the programs print
// "Cannot load input file : PATH" on standard output as they always have,
// then one line "PROGRAM: PATH: REASON" on standard error.
#pragma once

#include "load_image.h"

#include <cstdint>
#include <string>

// The reason alone, e.g. "32 bits per pixel is not supported (1, 4, 8 or 24 only)".
std::string loadFailureReason(const LoadStatus& status);

// Writes "PROGRAM: PATH: REASON\n" on standard error, once standard output
// has been flushed, so that the two lines keep their order on a terminal.
void reportLoadFailure(const char* program, const char* path, const LoadStatus& status);

// After a load: one line on standard error when the picture had transparent
// or translucent pixels, which were put over white. loadNotes gives the
// lines ("" for none) to a caller that writes them itself.
void reportLoadNotes(const char* program, const char* path, const LoadStatus& status);
std::string loadNotes(const char* program, const char* path, const LoadStatus& status);

// The words of the refusals of PNG and JPEG files, and of the formats that
// are named but not read (picture_failure.cpp).
std::string pictureFailureReason(const PictureReadStatus& status);

// Words that the readers' reasons and the description of what was read share.
const char* pictureFormatName(PictureFormat format);  // "PNG", "OS/2 icon"
const char* pngColorTypeName(int colorType);          // "greyscale with alpha"
std::string systemReason(const char* what, int error);  // "cannot read (Is a directory)"
std::string tooLargeReason(std::int64_t width, std::int64_t height);
std::string noMemoryReason(std::int64_t width, std::int64_t height);
