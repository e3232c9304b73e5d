// A worker's table: allocated on the calling thread, before any worker
// starts, so that a shortage of memory is met there; written first by the
// worker that uses it (fill). The first write is what makes the pages, and
// the workers then make theirs at the same time, instead of the calling
// thread making every worker's pages in turn.
#pragma once

#include "large_pages.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pass {

template <typename T>
class WorkerTable {
public:
    explicit WorkerTable(std::size_t count) : values_(count) {}

    // On the worker's thread, before the first use.
    void fill(T value) { std::fill(values_.begin(), values_.end(), value); }

    T& operator[](std::size_t i) { return values_[i]; }
    const T& operator[](std::size_t i) const { return values_[i]; }
    T* data() { return values_.data(); }

private:
    std::vector<T, UnsetAllocator<T>> values_;  // left unwritten until fill
};

}  // namespace pass
