// A worker's table: allocated on the calling thread, before any worker
// starts, so that a shortage of memory is met there; written first by the
// worker that uses it (fill). The first write is what makes the pages, and
// the workers then make theirs at the same time, instead of the calling
// thread making every worker's pages in turn.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

namespace pass {

template <typename T>
class WorkerTable {
public:
    explicit WorkerTable(std::size_t count) : values_(new T[count]), count_(count) {}

    // On the worker's thread, before the first use.
    void fill(T value) { std::fill(values_.get(), values_.get() + count_, value); }

    T& operator[](std::size_t i) { return values_[i]; }
    const T& operator[](std::size_t i) const { return values_[i]; }
    T* data() { return values_.get(); }

private:
    std::unique_ptr<T[]> values_;  // left unwritten until fill
    std::size_t count_;
};

}  // namespace pass
