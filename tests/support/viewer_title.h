// The viewer's window title, "減色テスト", in each encoding the tests meet
// it in. Written out byte by byte here, independently of the program's own
// copy, so that a test comparing the two catches a title that went wrong.
#pragma once

namespace testsupport {

// Code page 932 (Shift_JIS): what the program hands to CreateWindowExA.
inline constexpr char kViewerTitleCp932[] = "\x8C\xB8\x90\x46\x83\x65\x83\x58\x83\x67";
// UTF-8: what X shows in _NET_WM_NAME, and what a window is found by.
inline constexpr char kViewerTitleUtf8[] = "\xE6\xB8\x9B\xE8\x89\xB2\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
// UTF-16 code units: what the window holds as wide text on Windows.
inline constexpr unsigned kViewerTitleUtf16[] = {0x6E1B, 0x8272, 0x30C6, 0x30B9, 0x30C8};
// COMPOUND_TEXT: JIS X 0208 designated to G1, what X keeps in WM_NAME.
inline constexpr char kViewerTitleCompoundText[] = "\x1B$)B\xB8\xBA\xBF\xA7\xA5\xC6\xA5\xB9\xA5\xC8";

}  // namespace testsupport
