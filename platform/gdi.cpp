// GDI32 subset: 24-bit DIB sections, memory device contexts, SelectObject
// bookkeeping and StretchDIBits onto a window's surface. No palettes, no
// other bitmap depths, no drawing into memory device contexts.
#include "gdi_objects.h"

#include "call_observer.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <new>
#include <unordered_set>

namespace platform {
namespace {

// The bits of a section. A picture's pixels are tens of megabytes, written
// once and read a few times: on large pages where the system has them.
// Null when there is no memory for them.
std::unique_ptr<std::uint8_t, pass::LargeDelete<std::uint8_t>> allocateBits(std::size_t size) {
    try {
        return {static_cast<std::uint8_t*>(pass::allocateLarge(size)), pass::LargeDelete<std::uint8_t>{size}};
    } catch (const std::bad_alloc&) {
        return {nullptr, pass::LargeDelete<std::uint8_t>{}};
    }
}

std::mutex gdiMutex;
std::unordered_set<GdiObject*>& liveObjects() {
    static std::unordered_set<GdiObject*> objects;
    return objects;
}

GdiObject* lookup(const void* handle, GdiKind kind) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    auto* object = static_cast<GdiObject*>(const_cast<void*>(handle));
    if (!handle || !liveObjects().count(object) || object->kind != kind) return nullptr;
    return object;
}

void track(GdiObject* object) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    liveObjects().insert(object);
}

bool untrack(GdiObject* object) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    return liveObjects().erase(object) == 1;
}

bool destroyDC(HDC handle) {
    DeviceContext* dc = dcFromHandle(handle);
    if (!dc || !untrack(dc)) return false;
    delete dc;
    return true;
}

}  // namespace

void Surface::resize(int newWidth, int newHeight) {
    width = std::max(newWidth, 0);
    height = std::max(newHeight, 0);
    pixels.reset(new std::uint32_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height) + 1]());
}

DibSection* dibFromHandle(HGDIOBJ handle) { return static_cast<DibSection*>(lookup(handle, GdiKind::bitmap)); }
DeviceContext* dcFromHandle(HDC handle) { return static_cast<DeviceContext*>(lookup(handle, GdiKind::dc)); }

HDC createSurfaceDC(HWND window, Surface* surface) {
    auto* dc = new DeviceContext;
    dc->surface = surface;
    dc->window = window;
    track(dc);
    return reinterpret_cast<HDC>(dc);
}

void deleteSurfaceDC(HDC handle) { destroyDC(handle); }

}  // namespace platform

using platform::DeviceContext;
using platform::DibSection;

// CreateDIBSection: bottom-up or top-down 24-bit BI_RGB sections only. The
// buffer holds stride x |height| bytes; a zero side, or a buffer beyond what
// signed 32-bit geometry can address, gives a null handle and null bits.
HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
    if (bits) *bits = nullptr;
    if (!platform::record("CreateDIBSection", nullptr, reinterpret_cast<std::uintptr_t>(info), usage)) return nullptr;
    if (!info || usage != DIB_RGB_COLORS || section || offset) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount != 24 || h.biCompression != BI_RGB || h.biPlanes != 1) return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min()) return nullptr;
    const std::int64_t stride = (static_cast<std::int64_t>(h.biWidth) * 3 + 3) / 4 * 4;
    const std::int64_t rows = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
    const std::int64_t size = stride * rows;
    if (size > std::numeric_limits<std::int32_t>::max()) return nullptr;

    auto* dib = new (std::nothrow) DibSection;
    if (!dib) return nullptr;
    dib->bits = platform::allocateBits(static_cast<std::size_t>(size));
    if (!dib->bits) {
        delete dib;
        return nullptr;
    }
    dib->header = h;
    platform::track(dib);
    if (bits) *bits = dib->bits.get();
    return reinterpret_cast<HBITMAP>(dib);
}

// CreateCompatibleDC: a memory device context holding no bitmap of its own;
// SelectObject on it hands back null the first time.
HDC CreateCompatibleDC(HDC) {
    platform::record("CreateCompatibleDC", nullptr);
    auto* dc = new DeviceContext;
    platform::track(dc);
    return reinterpret_cast<HDC>(dc);
}

// SelectObject: bitmaps into memory device contexts only. Selecting null
// (the empty start-up state) is allowed and returns the previous selection.
HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    platform::record("SelectObject", nullptr, reinterpret_cast<std::uintptr_t>(handle),
                     reinterpret_cast<std::uintptr_t>(object));
    DeviceContext* dc = platform::dcFromHandle(handle);
    if (!dc || dc->surface) return nullptr;
    if (object && !platform::dibFromHandle(object)) return nullptr;
    HGDIOBJ previous = dc->selected;
    dc->selected = object;
    return previous;
}

BOOL DeleteDC(HDC handle) {
    platform::record("DeleteDC", nullptr, reinterpret_cast<std::uintptr_t>(handle));
    return platform::destroyDC(handle) ? TRUE : FALSE;
}

BOOL DeleteObject(HGDIOBJ handle) {
    platform::record("DeleteObject", nullptr, reinterpret_cast<std::uintptr_t>(handle));
    DibSection* dib = platform::dibFromHandle(handle);
    if (!dib || !platform::untrack(dib)) return FALSE;
    delete dib;
    return TRUE;
}

// StretchDIBits: 24-bit BI_RGB sources onto a window surface, nearest-pixel
// scaling, SRCCOPY only. Returns the number of scan lines copied.
int StretchDIBits(HDC handle, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    DeviceContext* dc = platform::dcFromHandle(handle);
    platform::record("StretchDIBits", dc ? dc->window : nullptr, reinterpret_cast<std::uintptr_t>(handle),
                     static_cast<std::uintptr_t>(srcWidth), static_cast<std::uintptr_t>(srcHeight));
    if (!dc || !dc->surface || !bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount != 24 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == std::numeric_limits<LONG>::min())
        return 0;
    if (destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
    const bool bottomUp = h.biHeight > 0;
    const std::int64_t rows = bottomUp ? h.biHeight : -static_cast<std::int64_t>(h.biHeight);
    const std::int64_t stride = (static_cast<std::int64_t>(h.biWidth) * 3 + 3) / 4 * 4;
    const auto* source = static_cast<const std::uint8_t*>(bits);
    platform::Surface& target = *dc->surface;

    for (int dy = 0; dy < destHeight; ++dy) {
        const std::int64_t ty = static_cast<std::int64_t>(yDest) + dy;
        if (ty < 0 || ty >= target.height) continue;
        // Source rows are counted from the top of the picture.
        const std::int64_t sy = ySrc + static_cast<std::int64_t>(dy) * srcHeight / destHeight;
        if (sy < 0 || sy >= rows) continue;
        const std::int64_t bufferRow = bottomUp ? rows - 1 - sy : sy;
        const std::uint8_t* row = source + bufferRow * stride;
        std::uint32_t* out = target.row(static_cast<int>(ty));
        for (int dx = 0; dx < destWidth; ++dx) {
            const std::int64_t tx = static_cast<std::int64_t>(xDest) + dx;
            if (tx < 0 || tx >= target.width) continue;
            const std::int64_t sx = xSrc + static_cast<std::int64_t>(dx) * srcWidth / destWidth;
            if (sx < 0 || sx >= h.biWidth) continue;
            const std::uint8_t* p = row + sx * 3;
            out[tx] = (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
        }
    }
    return destHeight;
}
