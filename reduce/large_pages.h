// Large buffers on large pages. A picture's pixels and the entries the remap
// chose are tens of megabytes, written once and read a few times. On 4 KB pages a 12 MP picture takes 9 000 page
// faults to make, each clearing its page on the way; on 2 MB pages it takes
// 18, and the reads that follow miss the address cache less.
#pragma once

#include <cstddef>

namespace pass {

// Asks the system to back the whole 2 MB pieces of [data, data + bytes) with
// large pages when it makes them (Linux's transparent huge pages, where the
// system leaves them to the program's choice). Only a hint: where the system
// has no such pages or declines, nothing changes. Call before the first
// write, which is when the pages are made.
void preferLargePages(void* data, std::size_t bytes);

}  // namespace pass
