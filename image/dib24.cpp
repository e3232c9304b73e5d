#include "dib24.h"

#include <utility>

dib24::dib24()
    : oldBitmap(nullptr),
      bmi(),
      dibSection(nullptr),
      memoryDC(nullptr),
      pixels(nullptr),
      width(0),
      height(0),
      stride(0),
      resolution(0) {}

dib24::~dib24() { release(); }

bool dib24::create(int newWidth, int newHeight, int newResolution) {
    release();
    resolution = newResolution;

    BITMAPINFOHEADER& h = bmi.bmiHeader;
    h.biSize = 40;
    h.biWidth = newWidth;
    h.biHeight = newHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = 0;
    h.biXPelsPerMeter = pelsPerMetreFromDpi(resolution);
    h.biYPelsPerMeter = h.biXPelsPerMeter;
    h.biClrUsed = 0;
    h.biClrImportant = 0;

    void* bits = nullptr;
    dibSection = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = static_cast<std::uint8_t*>(bits);
    updateGeometry();
    h.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);

    memoryDC = CreateCompatibleDC(nullptr);
    oldBitmap = SelectObject(memoryDC, dibSection);
    return true;
}

ImageView dib24::make(std::int32_t newWidth, std::int32_t newHeight, std::int32_t newResolution) {
    create(newWidth, newHeight, newResolution);
    return view();
}

void dib24::release() {
    if (memoryDC) {
        SelectObject(memoryDC, oldBitmap);
        DeleteDC(memoryDC);
    }
    if (dibSection) DeleteObject(dibSection);
    dibSection = nullptr;
    oldBitmap = nullptr;
    memoryDC = nullptr;
    pixels = nullptr;
    width = 0;
    height = 0;
    stride = 0;
}

void dib24::updateGeometry() {
    if (dibSection) {
        width = bmi.bmiHeader.biWidth;
        height = bmi.bmiHeader.biHeight;
        stride = strideForWidth(width);
    } else {
        width = 0;
        height = 0;
        stride = 0;
        pixels = nullptr;
    }
}

void dib24::draw(HDC dc, int x, int y, int cx, int cy, int srcX, int srcY) {
    if (!pixels) return;
    StretchDIBits(dc, x, y, cx, cy, srcX, srcY, bmi.bmiHeader.biWidth, bmi.bmiHeader.biHeight, pixels, &bmi,
                  DIB_RGB_COLORS, SRCCOPY);
}

void swapImages(dib24& a, dib24& b) {
    std::swap(a.oldBitmap, b.oldBitmap);
    std::swap(a.bmi, b.bmi);
    std::swap(a.dibSection, b.dibSection);
    std::swap(a.memoryDC, b.memoryDC);
    std::swap(a.pixels, b.pixels);
    std::swap(a.width, b.width);
    std::swap(a.height, b.height);
    std::swap(a.stride, b.stride);
    std::swap(a.resolution, b.resolution);
}
