// The converter's output format, told by the output's name: ".png" (in any
// case) is an indexed PNG, ".bmp" an 8-bit indexed BMP. A name without an
// extension (a device such as /dev/null, a file named "out") is BMP, as
// before there was a choice; any other extension is refused before the
// pass, since the user asked for a format that is not written.
#pragma once

#include "image_view.h"
#include "palette.h"
#include "write_indexed_bmp.h"

#include <cstdint>
#include <optional>
#include <string>

enum class OutputFormat { bmp, png };

// Nothing for an extension that names neither format.
std::optional<OutputFormat> outputFormatOf(const std::string& path);

// "cannot tell the output format from "x.gif"; name it .bmp or .png"
std::string unknownOutputFormatMessage(const std::string& path);

// Writes the reduced image in the format; false when a piece could not be
// written or the format cannot hold the image (a PNG has at least one pixel).
// `chosen`, when not null, is the pass's entry for each pixel, which the BMP
// writer copies instead of looking the pixels up; the PNG writer's time goes
// to compression, and it looks them up.
bool writeReducedImage(OutputFormat format, const ImageView& image, const Palette& palette,
                       std::int32_t pelsPerMetre, const ByteWriter& write, const std::uint8_t* chosen = nullptr);
