#include "picture_copy.h"

#include <cstring>
#include <new>

PictureCopy PictureCopy::of(const ImageView& picture) {
    PictureCopy copy;
    if (picture.empty()) return copy;
    const auto size = static_cast<std::size_t>(picture.stride) * static_cast<std::size_t>(picture.height);
    copy.bytes_.reset(new (std::nothrow) std::uint8_t[size]);
    if (!copy.bytes_) return copy;
    std::memcpy(copy.bytes_.get(), picture.pixels, size);
    copy.view_ = ImageView{copy.bytes_.get(), picture.width, picture.height, picture.stride};
    return copy;
}
