// Wide (UTF-16) text for the viewer's title: MultiByteToWideChar from code
// page 932, and the wide default procedure's WM_SETTEXT and WM_GETTEXT.
// Windows here keep their title as narrow code page 932 text, so wide text
// is converted back to it on the way in and out.
#include "title_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr UINT kShiftJis = 932;

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) {  // not UTF-8, or cut short
            out += u'?';
            ++i;
            continue;
        }
        std::uint32_t code = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += static_cast<std::size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string utf16ToUtf8(const char16_t* text) {
    std::string out;
    for (; *text; ++text) {
        std::uint32_t code = *text;
        if (code >= 0xD800 && code < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(*++text) - 0xDC00);
        }
        platform::appendUtf8(out, code);
    }
    return out;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength) {
    if (!text || flags != 0 || length < -1 || wideLength < 0 || (wideLength > 0 && !wide)) return 0;
    const std::size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    const std::string narrow(text, size);
    const bool shiftJis = codePage == kShiftJis || codePage == CP_ACP;
    if (!shiftJis && codePage != CP_UTF8) return 0;
    std::u16string converted;
    // Converted piecewise at each zero so that a terminating zero survives.
    std::size_t start = 0;
    while (start <= narrow.size()) {
        const std::size_t end = std::min(narrow.find('\0', start), narrow.size());
        const std::string piece = narrow.substr(start, end - start);
        converted += utf8ToUtf16(shiftJis ? platform::cp932ToUtf8(piece) : piece);
        if (end < narrow.size()) converted += u'\0';
        start = end + 1;
    }
    const auto needed = static_cast<int>(converted.size());
    if (wideLength == 0) return needed;
    if (needed > wideLength) return 0;
    std::memcpy(wide, converted.data(), converted.size() * sizeof(char16_t));
    return needed;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const std::string narrow = lParam ? platform::utf8ToCp932(utf16ToUtf8(reinterpret_cast<LPCWSTR>(lParam))) : "";
        return DefWindowProcA(hwnd, message, wParam, reinterpret_cast<LPARAM>(narrow.c_str()));
    }
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        char narrow[1024];
        DefWindowProcA(hwnd, WM_GETTEXT, sizeof narrow, reinterpret_cast<LPARAM>(narrow));
        const std::u16string text = utf8ToUtf16(platform::cp932ToUtf8(narrow));
        const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        std::memcpy(out, text.data(), n * sizeof(char16_t));
        out[n] = u'\0';
        return static_cast<LRESULT>(n);
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
