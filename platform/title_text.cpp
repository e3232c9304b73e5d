// Window titles: the narrow interface takes code page 932 text; X wants
// UTF-8 (_NET_WM_NAME) and COMPOUND_TEXT (WM_NAME), and the wide interface
// converts through UTF-8.
#include "title_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

bool leadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Runs text through the C library's converter. A sequence it cannot convert
// becomes one '?' (a broken UTF-8 character with all its continuation
// bytes). false when the library has no such converter.
bool convertText(const char* to, const char* from, const std::string& text, std::string& out) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    const bool fromUtf8 = std::strcmp(from, "UTF-8") == 0;
    out.clear();
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
            out += '?';
            ++in;
            --inLeft;
            while (fromUtf8 && inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
                ++in;
                --inLeft;
            }
        }
    }
    iconv_close(converter);
    return true;
}

// The title's characters, for a C library without a CP932 converter.
struct KnownCharacter {
    unsigned char lead, trail;
    std::uint32_t code;
    const char* utf8;
};
const KnownCharacter kKnownCharacters[] = {{0x8C, 0xB8, 0x6E1B, "\xE6\xB8\x9B"},
                                          {0x90, 0x46, 0x8272, "\xE8\x89\xB2"},
                                          {0x83, 0x65, 0x30C6, "\xE3\x83\x86"},
                                          {0x83, 0x58, 0x30B9, "\xE3\x82\xB9"},
                                          {0x83, 0x67, 0x30C8, "\xE3\x83\x88"}};

}  // namespace

std::string cp932ToUtf8ByTable(const std::string& text) {
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
            for (const KnownCharacter& k : kKnownCharacters)
                if (k.lead == c && k.trail == t) code = k.code;
            appendUtf8(out, code);
        } else {
            out += '?';
        }
    }
    return out;
}

std::string utf8ToCp932ByTable(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        const KnownCharacter* found = nullptr;
        for (const KnownCharacter& k : kKnownCharacters)
            if (text.compare(i, 3, k.utf8) == 0) found = &k;
        if (found) {
            out += static_cast<char>(found->lead);
            out += static_cast<char>(found->trail);
            i += 3;
            continue;
        }
        out += '?';
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return out;
}

void appendUtf8(std::string& out, std::uint32_t code) {
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

std::string cp932ToUtf8(const std::string& text) {
    std::string out;
    return convertText("UTF-8", "CP932", text, out) ? out : cp932ToUtf8ByTable(text);
}

std::string utf8ToCp932(const std::string& text) {
    std::string out;
    return convertText("CP932", "UTF-8", text, out) ? out : utf8ToCp932ByTable(text);
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
