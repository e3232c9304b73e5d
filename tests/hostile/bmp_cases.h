// The BMP files that the robustness tests and the fuzz seeds share: small
// valid files of every kind the reader accepts, and hostile files that it
// must refuse without crashing, hanging or allocating what the file does not
// hold.
#pragma once

#include "bmp_builder.h"

#include <ostream>
#include <string>
#include <vector>

namespace hostile {

struct NamedFile {
    std::string name;  // a file name: letters, digits, '-' and '_' only
    testsupport::Bytes bytes;
    // Hostile files: the reason the programs give on standard error, after
    // "PROGRAM: PATH: ". Empty for valid files.
    std::string reason;
};

// A file by its name in test reports, rather than as bytes.
inline void PrintTo(const NamedFile& file, std::ostream* out) { *out << file.name; }

// Valid files: each depth, top-down rows, longer headers (V4, V5, OS/2 2.x,
// as writers fill them), biClrUsed variants, gaps, trailing bytes, empty
// pictures.
std::vector<NamedFile> validFiles();

// Files the reader must refuse, each with its reason: lying headers,
// overflowing sizes, offsets out of range, kinds it does not read,
// truncations.
std::vector<NamedFile> hostileFiles();

}  // namespace hostile
