// The one question about an open file that each system asks its own way, one
// source file per system (file_size_posix.cpp, file_size_windows.cpp), picked
// by image/CMakeLists.txt.
#pragma once

#include <cstdint>
#include <cstdio>

// The length in bytes of the file under the stream when it is a regular
// file; -1 for anything else (a pipe, a terminal, a device) or when the
// system cannot tell.
std::int64_t regularFileSize(std::FILE* file);
