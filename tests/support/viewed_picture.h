// What the viewer shows of a picture at 1:1 or a zoom, by the definition:
// client pixel (x, y) is picture pixel ((offsetX + x) / zoom, (offsetY + y)
// / zoom), and the background grey beyond the picture. For the tests of the
// viewer on every display, which link the window code (view_state.h).
#pragma once

#include "bmp_builder.h"
#include "view_compose.h"
#include "view_state.h"

namespace testsupport {

inline Picture viewedAt(const Picture& picture, const ViewState& view) {
    Picture out(view.client.width, view.client.height, Bgr{kBackgroundGrey, kBackgroundGrey, kBackgroundGrey});
    for (std::int32_t y = 0; y < view.client.height; ++y)
        for (std::int32_t x = 0; x < view.client.width; ++x) {
            const std::int64_t px = (view.offsetX + x) / view.zoom, py = (view.offsetY + y) / view.zoom;
            if (px < picture.width && py < picture.height)
                out.at(x, y) = picture.at(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py));
        }
    return out;
}

}  // namespace testsupport
