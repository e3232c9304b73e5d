#include "nearest_entry.h"

namespace pass {

NearestEntry::NearestEntry(const Shared& shared)
    : lister_(shared.palette, shared.count), cellStart_(kCellCount) {
    pool_.reserve(1 << 16);
    pool_.push_back(Entry{0, 0, 0, 0});  // start 0 marks a cell not listed yet
}

#ifdef CR_HAVE_AVX2_PATH
DistanceRows::DistanceRows(const Palette& palette, std::int32_t count)
    : palette_(palette), count_(count), length_((count + 31) / 32 * 32),
      rows_(3 * static_cast<std::size_t>(kValues) * static_cast<std::size_t>(length_), std::uint8_t{kCap}) {
    for (int channel = 0; channel < 3; ++channel) {
        for (std::int32_t v = -255; v <= 510; ++v) {
            std::uint8_t* row = rowAt(channel, v);
            for (std::int32_t k = 0; k < count; ++k) {
                const std::int32_t entry = palette.rgb[static_cast<std::size_t>(3 * k + channel)];
                std::int32_t part = std::abs(entry - v);
                if (channel == 2) part = weightedBlue(part);
                row[k] = static_cast<std::uint8_t>(std::min(part, kCap));
            }
        }
    }
}

bool haveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

}  // namespace pass
