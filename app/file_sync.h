// Pushes what a stream has written (already flushed out of its buffer) from
// the system's cache to the disk. Each system spells it differently, so each
// has its own source file; app/CMakeLists.txt picks the one that fits.
#pragma once

#include <cstdio>

// false with errno set when the system reports a failure.
bool syncToDisk(std::FILE* stream);
