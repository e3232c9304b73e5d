// wine_probe.exe: what the Windows side says about itself under Wine, for the
// Linux-side driver of the viewer tests (wine_viewer_test.cpp):
//
//   acp N                 the narrow (ANSI) code page of the process
//   dpi N                 the system DPI (LOGPIXELSY of the screen)
//   frame L T R B         AdjustWindowRectEx of an empty client rectangle for
//                         the viewer's style: the frame around the client area
//   workarea L T R B      SystemParametersInfoA(SPI_GETWORKAREA): the part of
//                         the screen that the viewer's window may take
//
// The probe is system-DPI-aware, as the viewer's manifest makes the viewer,
// so that it sees the DPI and the frame metrics the viewer sees.
#include <windows.h>

#include <cstdio>

int main() {
    SetProcessDPIAware();
    std::printf("acp %u\n", GetACP());
    const HDC screen = GetDC(nullptr);
    std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    RECT frame{0, 0, 0, 0};
    // The viewer's style: caption, system menu, minimise box; no menu, no ex-style.
    if (!AdjustWindowRectEx(&frame, 0x00CA0000, FALSE, 0)) return 1;
    std::printf("frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);
    RECT work{0, 0, 0, 0};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) return 1;
    std::printf("workarea %ld %ld %ld %ld\n", work.left, work.top, work.right, work.bottom);
    return 0;
}
