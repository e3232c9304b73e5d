// Large buffers on large pages. A picture's pixels, its census's colours and
// the entries the remap chose are tens or hundreds of megabytes, written
// once and read a few times. On 4 KB pages a 12 MP picture takes 9 000 page
// faults to make, each clearing its page on the way; on 2 MB pages it takes
// 18, and the reads that follow miss the address cache less.
#pragma once

#include <cstddef>
#include <memory>

namespace pass {

// Asks the system to back the whole 2 MB pieces of [data, data + bytes) with
// large pages when it makes them (Linux's transparent huge pages, where the
// system leaves them to the program's choice). Only a hint: where the system
// has no such pages or declines, nothing changes. Call before the first
// write, which is when the pages are made.
void preferLargePages(void* data, std::size_t bytes);

// The standard allocator, asking for large pages for what it hands out.
template <typename T>
struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) {}

    T* allocate(std::size_t n) {
        T* p = std::allocator<T>{}.allocate(n);
        preferLargePages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, std::size_t n) { std::allocator<T>{}.deallocate(p, n); }

    friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }
    friend bool operator!=(const LargePageAllocator&, const LargePageAllocator&) { return false; }
};

}  // namespace pass
