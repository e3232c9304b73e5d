// The PNG and JPEG files that the robustness tests, the fuzz seeds and the
// Windows comparison share, made with libpng and libjpeg (so Linux only):
// small valid files of every kind the decoders read, and files that must be
// refused, each with its reason.
#pragma once

#include "bmp_cases.h"

#include <vector>

namespace hostile {

// Valid files: every PNG colour type and depth, interlaced or not, with
// tRNS and with chunks that change nothing; JPEG baseline, progressive and
// arithmetic-coded, greyscale and colour. Names end in .png or .jpg.
std::vector<NamedFile> validPictureFiles();

// Files to refuse, with the reason the programs give. `damaged` files have
// a reason in the Linux decoders' words (other systems' decoders use their
// own, and WIC under Wine reads damaged JPEG scan data without a word).
std::vector<NamedFile> hostilePictureFiles();
bool isDamagedCase(const NamedFile& file);

}  // namespace hostile
