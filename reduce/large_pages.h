// Tables that the pass reads and writes in no order and that run to tens of
// megabytes (the census's colours and its bitmaps): on 4 KB pages nearly
// every access to them misses the address cache as well as the data cache,
// and each page costs a fault when first written. On 2 MB pages both fall
// away. Where the system offers no such pages this changes nothing.
#pragma once

#include <cstddef>
#include <vector>

namespace pass {

// Asks the system to back the whole pages within [start, start + bytes)
// with large pages when they are first written; a hint, never a failure.
void preferLargePages(void* start, std::size_t bytes);

// `values` (empty) given `count` copies of `value`, in memory that was
// offered large pages before its first write.
template <typename T>
void fillOnLargePages(std::vector<T>& values, std::size_t count, const T& value) {
    values.reserve(count);
    preferLargePages(values.data(), count * sizeof(T));
    values.assign(count, value);
}

}  // namespace pass
