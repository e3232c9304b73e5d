// Pictures as the programs read and reduce them, computed in the test's own
// process: what the tests compare a program's output with.
#pragma once

#include "bmp_builder.h"
#include "palette.h"
#include "pictures.h"

#include <string>

namespace testsupport {

// The picture of a BMP file, decoded as the programs decode it (bmp_decoder.h).
// false, with `picture` untouched, when the decoder refuses the file.
bool decodeBmpFile(const Bytes& file, Picture& picture);

// What the pass prints for a picture and the pixels and palette it leaves.
struct ExpectedReduction {
    std::string report;
    Picture reduced;
    Palette palette;
};
ExpectedReduction expectedReduction(const Picture& picture);

}  // namespace testsupport
