// The number of the entry each pixel chose: image.width bytes to a row, the
// rows from the top. A writer of indexed files takes it as it is, instead of
// looking up every pixel's colour in the palette again. Its bytes are not
// cleared when made (the remap writes every one), so that the pages are
// first touched by the remap's workers, side by side.
#pragma once

#include "large_pages.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class ChosenEntries {
public:
    void allocate(std::size_t size) {
        Entries().swap(entries_);  // the old ones go first: never both at once
        entries_.resize(size);
    }
    std::size_t size() const { return entries_.size(); }
    std::uint8_t* data() { return entries_.empty() ? nullptr : entries_.data(); }
    const std::uint8_t* data() const { return entries_.empty() ? nullptr : entries_.data(); }
    std::uint8_t operator[](std::size_t i) const { return entries_[i]; }

private:
    using Entries = std::vector<std::uint8_t, pass::UnsetAllocator<std::uint8_t>>;
    Entries entries_;
};
