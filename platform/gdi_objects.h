// GDI objects of the Win32 subset: DIB sections, device contexts and the
// surfaces that window device contexts draw on. Shared by the GDI calls and
// by the display backends; not part of the public subset.
#pragma once

#include <windows.h>

#include "large_pages.h"

#include <cstdint>
#include <memory>

namespace platform {

// A drawing target of a window: 0x00RRGGBB pixels, rows top-down.
struct Surface {
    int width = 0;
    int height = 0;
    std::unique_ptr<std::uint32_t[]> pixels;

    void resize(int newWidth, int newHeight);
    std::uint32_t* row(int y) { return pixels.get() + static_cast<std::ptrdiff_t>(y) * width; }
};

enum class GdiKind : std::uint32_t { bitmap = 0x424d5021u, dc = 0x44435f21u };

struct GdiObject {
    explicit GdiObject(GdiKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    GdiKind kind;
};

struct DibSection final : GdiObject {
    DibSection() : GdiObject(GdiKind::bitmap) {}
    BITMAPINFOHEADER header{};
    std::unique_ptr<std::uint8_t, pass::LargeDelete<std::uint8_t>> bits;
};

struct DeviceContext final : GdiObject {
    DeviceContext() : GdiObject(GdiKind::dc) {}
    HGDIOBJ selected = nullptr;  // the bitmap selected into a memory DC
    Surface* surface = nullptr;  // set for a window's paint DC
    HWND window = nullptr;
};

// Lookups that refuse handles which are not live objects of that kind.
DibSection* dibFromHandle(HGDIOBJ handle);
DeviceContext* dcFromHandle(HDC handle);

// Device contexts for a window's painting, made and freed by BeginPaint/EndPaint.
HDC createSurfaceDC(HWND window, Surface* surface);
void deleteSurfaceDC(HDC dc);

}  // namespace platform
