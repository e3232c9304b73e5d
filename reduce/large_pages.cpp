#include "large_pages.h"

#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace pass {
namespace {

constexpr std::size_t kLargePage = std::size_t{1} << 21;
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

bool onLargePages(std::size_t bytes) { return bytes >= kLargeFrom; }
bool overAligned(std::size_t alignment) { return alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__; }
std::size_t wholePieces(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

}  // namespace

void* allocateLarge(std::size_t bytes, std::size_t alignment) {
    if (!onLargePages(bytes)) {
        return overAligned(alignment) ? ::operator new(bytes, std::align_val_t{alignment}) : ::operator new(bytes);
    }
    // Rounded up without overflow: a size this close to the end of the
    // address space cannot be had anyway.
    if (bytes > static_cast<std::size_t>(-1) - 2 * kLargePage) throw std::bad_alloc();
    const std::size_t whole = wholePieces(bytes);
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    // A mapping of its own: memory the heap has used before may already have
    // small pages in a piece, which then cannot become a large page.
    void* mapped = mmap(nullptr, whole + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    auto* const begin = static_cast<std::uint8_t*>(mapped);
    const auto at = reinterpret_cast<std::uintptr_t>(begin);
    std::uint8_t* const data = begin + (((at + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1}) - at);
    std::uint8_t* const end = data + whole;
    if (data > begin) (void)munmap(begin, static_cast<std::size_t>(data - begin));
    if (begin + whole + kLargePage > end) (void)munmap(end, static_cast<std::size_t>(begin + whole + kLargePage - end));
#ifdef MADV_HUGEPAGE
    // Only a hint: where the system has no large pages, or has switched them
    // off, the buffer keeps small ones.
    (void)madvise(data, whole, MADV_HUGEPAGE);
#endif
    return data;
#else
    // Under the address checker, heap memory, which it guards.
    return ::operator new(whole, std::align_val_t{kLargePage});
#endif
}

void freeLarge(void* data, std::size_t bytes, std::size_t alignment) noexcept {
    if (!data) return;
    if (onLargePages(bytes)) {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
        (void)munmap(data, wholePieces(bytes));
#else
        ::operator delete(data, std::align_val_t{kLargePage});
#endif
    } else if (overAligned(alignment)) {
        ::operator delete(data, std::align_val_t{alignment});
    } else {
        ::operator delete(data);
    }
}

}  // namespace pass
