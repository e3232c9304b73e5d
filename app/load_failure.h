// The reason a file could not be loaded, in words: the programs print
// "Cannot load input file : PATH" on standard output as they always have,
// then one line "PROGRAM: PATH: REASON" on standard error.
#pragma once

#include "load_image.h"

#include <string>

// The reason alone, e.g. "32 bits per pixel is not supported (1, 4, 8 or 24 only)".
std::string loadFailureReason(const LoadStatus& status);

// Writes "PROGRAM: PATH: REASON\n" on standard error, once standard output
// has been flushed, so that the two lines keep their order on a terminal.
void reportLoadFailure(const char* program, const char* path, const LoadStatus& status);
