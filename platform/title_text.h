// Title text: windows keep their title as narrow code page 932 text; X
// wants it as UTF-8 and as COMPOUND_TEXT, and the wide calls convert
// through UTF-8. Not part of the public subset.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Through the C library's converter, or, where it has none for code page
// 932, through the small tables below. What cannot be converted becomes '?'.
std::string cp932ToUtf8(const std::string& text);
std::string utf8ToCp932(const std::string& text);

// The tables for a C library without a code page 932 converter: ASCII,
// half-width katakana (to UTF-8 only) and the characters of the viewer's
// title; anything else becomes '?'.
std::string cp932ToUtf8ByTable(const std::string& text);
std::string utf8ToCp932ByTable(const std::string& text);

void appendUtf8(std::string& out, std::uint32_t code);
std::string cp932ToCompoundText(const std::string& text);

}  // namespace platform
