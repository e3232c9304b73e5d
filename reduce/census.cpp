#include "census.h"

#include <map>

ColorTable takeCensus(const ImageView& image, TextSink& out) {
    ColorTable table;
    if (image.empty()) return table;
    const std::int64_t pixelCount = static_cast<std::int64_t>(image.width) * image.height;
    std::map<std::int32_t, std::int32_t> colorIndex;
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.at(0, y);
        for (std::int32_t x = 0; x < image.width; ++x, p += 3) {
            const std::int32_t key = colorKey(p[2], p[1], p[0]);
            auto found = colorIndex.find(key);
            if (found != colorIndex.end()) {
                ++table[static_cast<std::size_t>(found->second)].count;
                continue;
            }
            colorIndex.emplace(key, static_cast<std::int32_t>(table.size()));
            table.push_back(ColorEntry{p[2], p[1], p[0], 0, 1});
            if (static_cast<std::int64_t>(table.size()) > pixelCount) out.write("Internal error in process()\n");
        }
    }
    return table;
}
