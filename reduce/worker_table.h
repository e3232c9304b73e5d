// A worker's table: allocated on the calling thread, before any worker
// starts, so that a shortage of memory is met there; written first by the
// worker that uses it (fill). The first write is what makes the pages, and
// the workers then make theirs at the same time, instead of the calling
// thread making every worker's pages in turn.
#pragma once

#include "large_pages.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

namespace pass {

template <typename T>
class WorkerTable {
public:
    explicit WorkerTable(std::size_t count)
        : values_(static_cast<T*>(allocateLarge(bytesOf(count), alignof(T))), LargeDelete<T>{bytesOf(count)}), count_(count) {}

    // On the worker's thread, before the first use.
    void fill(T value) { std::fill(values_.get(), values_.get() + count_, value); }

    T& operator[](std::size_t i) { return values_.get()[i]; }
    const T& operator[](std::size_t i) const { return values_.get()[i]; }
    T* data() { return values_.get(); }

private:
    static std::size_t bytesOf(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return count * sizeof(T);
    }

    std::unique_ptr<T, LargeDelete<T>> values_;  // left unwritten until fill
    std::size_t count_;
};

}  // namespace pass
