// Loading the image named on a command line, as both programs do it: a 1 x 1
// start-up image, the file opened for binary reading, readBmp, the file closed.
#pragma once

#include "dib24.h"

// false: the file could not be opened or was refused; the caller reports it
// with "Cannot load input file : %s\n".
bool loadImage(dib24& image, const char* path);
