// Window titles: the narrow interface takes code page 932 text; X wants
// UTF-8 (_NET_WM_NAME) and COMPOUND_TEXT (WM_NAME).
#include "user_internal.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

bool leadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// When the C library has no CP932 converter: ASCII, half-width katakana and
// the characters of the viewer's title; anything else becomes '?'.
std::string fallbackUtf8(const std::string& text) {
    struct Known {
        unsigned char lead, trail;
        std::uint32_t code;
    };
    static const Known known[] = {{0x8C, 0xB8, 0x6E1B}, {0x90, 0x46, 0x8272}, {0x83, 0x65, 0x30C6},
                                  {0x83, 0x58, 0x30B9}, {0x83, 0x67, 0x30C8}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xA1 && c <= 0xDF) {
            appendUtf8(out, 0xFF61 + (c - 0xA1));
        } else if (leadByte(c) && i + 1 < text.size()) {
            const auto t = static_cast<unsigned char>(text[++i]);
            std::uint32_t code = '?';
            for (const Known& k : known)
                if (k.lead == c && k.trail == t) code = k.code;
            appendUtf8(out, code);
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

std::string cp932ToUtf8(const std::string& text) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return fallbackUtf8(text);
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
            // An invalid or incomplete sequence: one '?' for its first byte.
            out += '?';
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

// COMPOUND_TEXT: ASCII stays in GL; JIS X 0208 (the double-byte part of
// code page 932, without its vendor rows) and JIS X 0201 katakana are
// designated into GR as needed. Anything else becomes '?'.
std::string cp932ToCompoundText(const std::string& text) {
    enum class Right { latin1, jis0208, katakana } right = Right::latin1;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        if (c >= 0xA1 && c <= 0xDF) {
            if (right != Right::katakana) out += "\x1B)I";
            right = Right::katakana;
            out += static_cast<char>(c);
            continue;
        }
        if (!leadByte(c) || i + 1 >= text.size()) {
            out += '?';
            continue;
        }
        const auto t = static_cast<unsigned char>(text[++i]);
        if (c > 0xEF || t < 0x40 || t == 0x7F || t > 0xFC) {
            out += '?';
            continue;
        }
        // Shift-JIS to the JIS row and cell.
        int row = (c <= 0x9F ? c - 0x71 : c - 0xB1) * 2 + 1;
        int cell = t > 0x7F ? t - 1 : t;
        if (cell >= 0x9E) {
            ++row;
            cell -= 0x7D;
        } else {
            cell -= 0x1F;
        }
        if (row < 0x21 || row > 0x74 || (row >= 0x2D && row <= 0x2F)) {
            out += '?';  // vendor rows that JIS X 0208 does not have
            continue;
        }
        if (right != Right::jis0208) out += "\x1B$)B";
        right = Right::jis0208;
        out += static_cast<char>(row | 0x80);
        out += static_cast<char>(cell | 0x80);
    }
    return out;
}

}  // namespace platform
