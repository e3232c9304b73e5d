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

// One of hostilePictureFiles() for each way a refusal comes about: a PNG
// header refused, damaged data and a file cut short; a JPEG kind not read and
// data damaged in libjpeg's own words; a picture far larger than its file in
// each format; a format named but not read. As hostileFilesOfEachKind() for BMP.
std::vector<NamedFile> hostilePictureFilesOfEachKind();

}  // namespace hostile
