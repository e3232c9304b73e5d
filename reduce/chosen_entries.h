// The number of the entry each pixel chose: image.width bytes to a row, the
// rows from the top. A writer of indexed files takes it as it is, instead of
// looking up every pixel's colour in the palette again. Its bytes are not
// cleared when made (the remap writes every one), so that the pages are
// first touched by the remap's workers, side by side.
#pragma once

#include "large_pages.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class ChosenEntries {
public:
    void allocate(std::size_t size) {
        entries_.reset();
        entries_.reset(size > 0 ? new std::uint8_t[size] : nullptr);
        size_ = size;
        pass::preferLargePages(entries_.get(), size);
    }
    std::size_t size() const { return size_; }
    std::uint8_t* data() { return entries_.get(); }
    const std::uint8_t* data() const { return entries_.get(); }
    std::uint8_t operator[](std::size_t i) const { return entries_[i]; }

private:
    std::unique_ptr<std::uint8_t[]> entries_;
    std::size_t size_ = 0;
};
