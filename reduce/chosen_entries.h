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
        size_ = 0;
        entries_ = Entries(size > 0 ? static_cast<std::uint8_t*>(pass::allocateLarge(size)) : nullptr,
                           pass::LargeDelete<std::uint8_t>{size});
        size_ = size;
    }
    std::size_t size() const { return size_; }
    std::uint8_t* data() { return entries_.get(); }
    const std::uint8_t* data() const { return entries_.get(); }
    std::uint8_t operator[](std::size_t i) const { return entries_.get()[i]; }

private:
    using Entries = std::unique_ptr<std::uint8_t, pass::LargeDelete<std::uint8_t>>;
    Entries entries_;
    std::size_t size_ = 0;
};
