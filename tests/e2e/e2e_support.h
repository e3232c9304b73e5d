// What the end-to-end tests share: the programs under test and test files.
#pragma once

#include "bmp_builder.h"
#include "child_process.h"
#include "pictures.h"
#include "temp_dir.h"
#include "viewer_title.h"

#include <string>

namespace e2e {

inline const std::string reduceview = REDUCEVIEW_PATH;
inline const std::string reducebmp = REDUCEBMP_PATH;
inline const std::string windowTool = X11_WINDOW_TOOL_PATH;

// An 8-bit file with a palette of `colours` entries, drawn at random.
inline testsupport::Bytes indexedFile(int width, int height, int colors, std::uint32_t seed) {
    std::vector<testsupport::Bgr> palette;
    for (int i = 0; i < colors; ++i)
        palette.push_back(testsupport::Bgr{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                                           static_cast<std::uint8_t>(i * 91)});
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>((i * 2654435761u + seed) % static_cast<unsigned>(colors));
    return testsupport::bmpIndexed(8, width, height, palette, indices, static_cast<std::uint32_t>(colors));
}

// A 24-bit file made into a 16-bit one, which the reader refuses.
inline testsupport::Bytes sixteenBitFile() {
    testsupport::Bytes bytes = testsupport::bmp24(testsupport::gradient(8, 8));
    testsupport::putU16(bytes, 28, 16);
    return bytes;
}

}  // namespace e2e
