// Wide (UTF-16) text for the viewer's title: MultiByteToWideChar from code
// page 932, and the wide default procedure's WM_SETTEXT and WM_GETTEXT.
// Windows here keep their title as narrow code page 932 text, so wide text
// is converted back to it on the way in and out.
#include "user_internal.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
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
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// UTF-8 to code page 932; what it cannot hold becomes '?'. Without the C
// library's converter only ASCII and the title's characters are known.
std::string utf8ToCp932(const std::string& text) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        struct Known {
            const char* utf8;
            const char* cp932;
        };
        static const Known known[] = {{"\xE6\xB8\x9B", "\x8C\xB8"}, {"\xE8\x89\xB2", "\x90\x46"},
                                      {"\xE3\x83\x86", "\x83\x65"}, {"\xE3\x82\xB9", "\x83\x58"},
                                      {"\xE3\x83\x88", "\x83\x67"}};
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            if (static_cast<unsigned char>(text[i]) < 0x80) {
                out += text[i++];
                continue;
            }
            bool found = false;
            for (const Known& k : known)
                if (text.compare(i, 3, k.utf8) == 0) {
                    out += k.cp932;
                    i += 3;
                    found = true;
                    break;
                }
            if (!found) {
                out += '?';
                ++i;
                while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
            }
        }
        return out;
    }
    std::string out;
    std::string input = text;
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';  // a character that code page 932 has not, or broken UTF-8
            ++in;
            --inLeft;
            while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
                ++in;
                --inLeft;
            }
        }
    }
    iconv_close(converter);
    return out;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength) {
    if (!text || flags != 0 || length < -1 || wideLength < 0 || (wideLength > 0 && !wide)) return 0;
    const std::size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    const std::string narrow(text, size);
    std::u16string converted;
    if (codePage == kShiftJis || codePage == CP_ACP) {
        // Converted piecewise at each zero so that a terminating zero survives.
        std::size_t start = 0;
        while (start <= narrow.size()) {
            const std::size_t end = std::min(narrow.find('\0', start), narrow.size());
            converted += utf8ToUtf16(platform::cp932ToUtf8(narrow.substr(start, end - start)));
            if (end < narrow.size()) converted += u'\0';
            start = end + 1;
        }
    } else if (codePage == CP_UTF8) {
        std::size_t start = 0;
        while (start <= narrow.size()) {
            const std::size_t end = std::min(narrow.find('\0', start), narrow.size());
            converted += utf8ToUtf16(narrow.substr(start, end - start));
            if (end < narrow.size()) converted += u'\0';
            start = end + 1;
        }
    } else {
        return 0;
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
        const std::string narrow = lParam ? utf8ToCp932(utf16ToUtf8(reinterpret_cast<LPCWSTR>(lParam))) : "";
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
