#include "output_format.h"

#include "write_indexed_png.h"

#include <cctype>

namespace {

bool sameLetters(const std::string& text, const char* lower) {
    std::size_t k = 0;
    for (; lower[k] != '\0'; ++k) {
        if (k >= text.size() || std::tolower(static_cast<unsigned char>(text[k])) != lower[k]) return false;
    }
    return k == text.size();
}

}  // namespace

std::optional<OutputFormat> outputFormatOf(const std::string& path) {
    // The extension of the last component; a leading dot names a hidden file, not an extension.
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return OutputFormat::bmp;
    const std::string extension = name.substr(dot + 1);
    if (sameLetters(extension, "bmp")) return OutputFormat::bmp;
    if (sameLetters(extension, "png")) return OutputFormat::png;
    return std::nullopt;
}

std::string unknownOutputFormatMessage(const std::string& path) {
    return "cannot tell the output format from \"" + path + "\"; name it .bmp or .png";
}

bool writeReducedImage(OutputFormat format, const ImageView& image, const Palette& palette,
                       std::int32_t pelsPerMetre, const ByteWriter& write, const std::uint8_t* chosen) {
    if (format == OutputFormat::png) return writeIndexedPng(image, palette, pelsPerMetre, write);
    return writeIndexedBmp(image, palette, pelsPerMetre, write, chosen);
}
