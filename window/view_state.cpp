#include "view_state.h"

#include <algorithm>
#include <iterator>

namespace {

// Scrolled by (dx, dy) screen pixels, within the picture.
ViewState scrolled(ViewState view, std::int64_t dx, std::int64_t dy) {
    view.offsetX += dx;
    view.offsetY += dy;
    return clamped(view);
}

// A page: nine tenths of the client's height, so that a strip of what was
// shown stays in sight.
std::int64_t pageOf(std::int32_t extent) { return std::max<std::int64_t>(1, static_cast<std::int64_t>(extent) * 9 / 10); }

std::int64_t wheelPixels(int delta) {
    return static_cast<std::int64_t>(delta) * kLinesPerNotch * kLineStep / kWheelDelta;
}

bool pictureMoves(const ViewState& view) { return !view.palette || view.original; }

}  // namespace

bool ViewState::operator==(const ViewState& o) const {
    return picture == o.picture && client == o.client && fit == o.fit && zoom == o.zoom && offsetX == o.offsetX &&
           offsetY == o.offsetY && palette == o.palette && difference == o.difference && original == o.original &&
           wheelZoomRest == o.wheelZoomRest;
}

Size clientSizeFor(Size picture, Size largest) {
    if (picture.width <= largest.width && picture.height <= largest.height) return picture;
    return Size{std::max(1, std::min(picture.width, largest.width)), std::max(1, std::min(picture.height, largest.height))};
}

ViewState initialView(Size picture, Size client) {
    ViewState view;
    view.picture = picture;
    view.client = client;
    return view;
}

ViewState withClient(const ViewState& view, Size client) {
    ViewState resized = view;
    resized.client = client;
    return clamped(resized);
}

std::int64_t largestOffsetX(const ViewState& view) {
    if (view.fit) return 0;
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(view.picture.width) * view.zoom - view.client.width);
}

std::int64_t largestOffsetY(const ViewState& view) {
    if (view.fit) return 0;
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(view.picture.height) * view.zoom - view.client.height);
}

ViewState clamped(ViewState view) {
    view.offsetX = std::clamp<std::int64_t>(view.offsetX, 0, largestOffsetX(view));
    view.offsetY = std::clamp<std::int64_t>(view.offsetY, 0, largestOffsetY(view));
    return view;
}

FitLayout fitLayout(Size picture, Size client) {
    Size size = picture;
    if (picture.width > client.width || picture.height > client.height) {
        const std::int64_t w = std::max(picture.width, 1), h = std::max(picture.height, 1);
        const std::int64_t cw = std::max(client.width, 1), ch = std::max(client.height, 1);
        // The side that limits: the one whose client side is the smaller share.
        if (w * ch >= h * cw) {
            size = Size{static_cast<std::int32_t>(cw), static_cast<std::int32_t>(std::max<std::int64_t>(1, h * cw / w))};
        } else {
            size = Size{static_cast<std::int32_t>(std::max<std::int64_t>(1, w * ch / h)), static_cast<std::int32_t>(ch)};
        }
    }
    return FitLayout{size, Point{(client.width - size.width) / 2, (client.height - size.height) / 2}};
}

ViewState zoomedTo(const ViewState& view, int zoom, Point anchor) {
    ViewState next = view;
    next.fit = false;
    next.zoom = zoom;
    if (view.fit) {
        // The fitted picture's point under the anchor, at the new zoom.
        const FitLayout fit = fitLayout(view.picture, view.client);
        const auto along = [zoom](std::int64_t shown, std::int64_t whole, std::int64_t fitted) {
            return std::clamp<std::int64_t>(shown, 0, fitted) * whole * zoom / std::max<std::int64_t>(fitted, 1);
        };
        next.offsetX = along(anchor.x - fit.at.x, view.picture.width, fit.size.width) - anchor.x;
        next.offsetY = along(anchor.y - fit.at.y, view.picture.height, fit.size.height) - anchor.y;
    } else {
        next.offsetX = (view.offsetX + anchor.x) * zoom / view.zoom - anchor.x;
        next.offsetY = (view.offsetY + anchor.y) * zoom / view.zoom - anchor.y;
    }
    return clamped(next);
}

ViewState zoomStepped(const ViewState& view, int direction, Point anchor) {
    if (view.fit) {
        if (direction < 0) return view;
        // A picture that fits is shown whole at 1:1 already.
        const bool whole = fitLayout(view.picture, view.client).size == view.picture;
        return zoomedTo(view, whole ? kZoomSteps[1] : kZoomSteps[0], anchor);
    }
    const int* step = std::find(std::begin(kZoomSteps), std::end(kZoomSteps), view.zoom);
    if (step == std::end(kZoomSteps)) return view;
    if (direction > 0 && step + 1 != std::end(kZoomSteps)) return zoomedTo(view, *(step + 1), anchor);
    if (direction < 0 && step != std::begin(kZoomSteps)) return zoomedTo(view, *(step - 1), anchor);
    return view;
}

ViewState dragged(const ViewState& start, Point from, Point to) {
    if (start.fit || !pictureMoves(start)) return start;
    ViewState next = start;
    next.offsetX = start.offsetX - (static_cast<std::int64_t>(to.x) - from.x);
    next.offsetY = start.offsetY - (static_cast<std::int64_t>(to.y) - from.y);
    return clamped(next);
}

ViewState applied(const ViewState& view, Action action, Point anchor, int delta) {
    ViewState next = view;
    switch (action) {
    case Action::TogglePalette:
        next.palette = !view.palette;
        return next;
    case Action::ToggleDifference:
        // From the palette, straight to the difference.
        next.difference = view.palette ? true : !view.difference;
        next.palette = false;
        return next;
    case Action::ShowOriginal:
    case Action::Close:
    case Action::Drag:
        return view;
    default:
        break;
    }
    if (!pictureMoves(view)) return view;
    switch (action) {
    case Action::ScrollLeft: return scrolled(view, -kLineStep, 0);
    case Action::ScrollRight: return scrolled(view, kLineStep, 0);
    case Action::ScrollUp: return scrolled(view, 0, -kLineStep);
    case Action::ScrollDown: return scrolled(view, 0, kLineStep);
    case Action::PageUp: return scrolled(view, 0, -pageOf(view.client.height));
    case Action::PageDown: return scrolled(view, 0, pageOf(view.client.height));
    case Action::Home:
        next.offsetX = next.offsetY = 0;
        return next;
    case Action::End:
        next.offsetX = largestOffsetX(view);
        next.offsetY = largestOffsetY(view);
        return next;
    case Action::WheelScrollVertical: return scrolled(view, 0, -wheelPixels(delta));
    case Action::WheelScrollHorizontal: return scrolled(view, -wheelPixels(delta), 0);
    case Action::ZoomIn: return zoomStepped(view, 1, anchor);
    case Action::ZoomOut: return zoomStepped(view, -1, anchor);
    case Action::WheelZoom: {
        // Whole notches only; a finer wheel adds up to them.
        const int turned = view.wheelZoomRest + delta;
        const int notches = turned / kWheelDelta;
        next.wheelZoomRest = turned - notches * kWheelDelta;
        for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) next = zoomStepped(next, notches > 0 ? 1 : -1, anchor);
        return next;
    }
    case Action::Fit:
        next.fit = true;
        next.offsetX = next.offsetY = 0;
        return next;
    case Action::ActualSize: return zoomedTo(view, 1, anchor);
    default: return view;
    }
}
