#include "nearest_entry.h"

namespace pass {

NearestEntry::NearestEntry(const Palette& palette, std::int32_t count)
    : lister_(palette, count), cellStart_(kCellCount) {
    pool_.reserve(1 << 16);
    pool_.push_back(Entry{0, 0, 0, 0});  // start 0 marks a cell not listed yet
}

#ifdef CR_HAVE_AVX2_PATH
NearestEntryAvx2::NearestEntryAvx2(const Palette& palette, std::int32_t count)
    : lister_(palette, count), cellStart_(kCellCount), cache_(std::size_t{1} << kCacheBits) {
    pool_.reserve(1 << 18);
    pool_.resize(kLanes, 0);  // start 0 marks a cell not listed yet
}

bool haveAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

}  // namespace pass
