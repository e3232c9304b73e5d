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

// A few of `files`, by name, in the order given. A name the table lacks gives
// an empty file with the reason "<not in the table>", which no test passes.
std::vector<NamedFile> chosenFiles(const std::vector<NamedFile>& files, const std::vector<std::string>& names);

// One hostile file for each way the reader comes to refuse: not a BMP, a
// header it refuses, a kind it does not read, a header block too short, a
// picture too large, a pixel array cut short, and every claim far beyond the
// file's bytes (the memory bound is a whole program's fact, measured only
// above the reader). The reader's own tests (tests/app) hold the
// whole table with every reason; the layers above it check with these that
// a refusal reaches them, without repeating each reason.
std::vector<NamedFile> hostileFilesOfEachKind();

}  // namespace hostile
