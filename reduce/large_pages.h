// Large buffers on large pages. A picture's pixels, the census's colours and
// the entries the remap chose are tens of megabytes, written once and read a
// few times. On 4 KB pages a 12 MP picture takes 9 000 page faults to make,
// each clearing its page on the way, and under a hypervisor a fault costs
// some 10 µs; on 2 MB pages it takes 18, and the reads that follow miss the
// address cache less.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace pass {

// Memory for a buffer of `bytes` that is written whole. From 1 MB up it is
// a mapping of its own that starts on a 2 MB boundary and takes whole 2 MB
// pieces, all of them offered large pages where the system has them
// (Linux's transparent huge pages, where it leaves them to the program's
// choice): a buffer placed anywhere leaves up to 4 MB at its ends to small
// pages. Smaller buffers are plain memory, aligned to `alignment`.
// The contents are unset. Throws std::bad_alloc when there is not enough
// memory.
void* allocateLarge(std::size_t bytes, std::size_t alignment = alignof(std::max_align_t));
// Gives back what allocateLarge(bytes, alignment) returned; null is ignored.
void freeLarge(void* data, std::size_t bytes, std::size_t alignment = alignof(std::max_align_t)) noexcept;

// For a std::unique_ptr of such a buffer of T.
template <typename T>
struct LargeDelete {
    std::size_t bytes = 0;
    void operator()(T* data) const noexcept { freeLarge(data, bytes, alignof(T)); }
};

// The standard allocator, except that a vector of it given only a size
// leaves its elements unset (for tables that their workers clear, or that
// are written whole), and that its memory comes from allocateLarge.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <typename U>
    UnsetAllocator(const UnsetAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocateLarge(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T), alignof(T)); }
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <typename T, typename U>
bool operator==(const UnsetAllocator<T>&, const UnsetAllocator<U>&) {
    return true;
}
template <typename T, typename U>
bool operator!=(const UnsetAllocator<T>&, const UnsetAllocator<U>&) {
    return false;
}

}  // namespace pass
