// The BMP files that the robustness tests and the fuzz seeds share: small
// valid files of every kind the reader accepts, and hostile files that it
// must refuse without crashing, hanging or allocating what the file does not
// hold.
#pragma once

#include "bmp_builder.h"

#include <string>
#include <vector>

namespace hostile {

struct NamedFile {
    std::string name;  // a file name: letters, digits, '-' and '_' only
    testsupport::Bytes bytes;
};

// Valid files: each depth, top-down rows, longer headers, biClrUsed
// variants, gaps, trailing bytes, empty pictures.
std::vector<NamedFile> validFiles();

// Files the reader must refuse: lying headers, overflowing sizes, offsets
// out of range, truncations.
std::vector<NamedFile> hostileFiles();

}  // namespace hostile
