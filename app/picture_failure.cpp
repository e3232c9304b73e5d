// The reasons for refusing a PNG or JPEG file, or a file of a format that
// is told by its signature and not read, in the words the programs print
// after "PROGRAM: PATH: ".
#include "load_failure.h"

#include <string>

namespace {

std::string n(std::int64_t value) { return std::to_string(value); }

const char* depthsOf(int type) {
    switch (type) {
        case 0: return "1, 2, 4, 8 or 16";
        case 3: return "1, 2, 4 or 8";
        default: return "8 or 16";
    }
}

const char* methodName(PngMethod method) {
    switch (method) {
        case PngMethod::compression: return "compression";
        case PngMethod::filter: return "filter";
        case PngMethod::interlace: return "interlace";
    }
    return "";
}

std::string jpegProcessReason(int marker) {
    const std::string sof = marker == 0xDE ? "DHP" : "SOF" + n(marker - 0xC0);
    const bool hierarchical = marker == 0xDE || (marker >= 0xC5 && marker <= 0xC7) || marker >= 0xCD;
    return std::string(hierarchical ? "hierarchical" : "lossless") + " JPEG (" + sof + ") is not supported";
}

std::string jpegColorReason(const PictureReadStatus& s) {
    if (s.components == 4) return std::string(s.ycck ? "YCCK" : "CMYK") + " JPEG is not supported; convert it to RGB";
    return "JPEG of " + n(s.components) + " colour components is not supported (1 or 3 only)";
}

}  // namespace

const char* pictureFormatName(PictureFormat format) {
    switch (format) {
        case PictureFormat::bmp: return "BMP";
        case PictureFormat::png: return "PNG";
        case PictureFormat::jpeg: return "JPEG";
        case PictureFormat::gif: return "GIF";
        case PictureFormat::tiff: return "TIFF";
        case PictureFormat::webp: return "WebP";
        case PictureFormat::os2BitmapArray: return "OS/2 bitmap array";
        case PictureFormat::os2Icon: return "OS/2 icon";
        case PictureFormat::os2ColorIcon: return "OS/2 colour icon";
        case PictureFormat::os2Pointer: return "OS/2 pointer";
        case PictureFormat::os2ColorPointer: return "OS/2 colour pointer";
    }
    return "this format";
}

const char* pngColorTypeName(int type) {
    switch (type) {
        case 0: return "greyscale";
        case 2: return "RGB";
        case 3: return "palette";
        case 4: return "greyscale with alpha";
        default: return "RGBA";
    }
}

std::string pictureFailureReason(const PictureReadStatus& s) {
    const std::string format = pictureFormatName(s.format);
    const std::string picture = n(s.width) + " x " + n(s.height);
    switch (s.refusal) {
        case PictureRefusal::none: return "no error";
        case PictureRefusal::readError: return systemReason("cannot read", s.systemError);
        case PictureRefusal::fileTooLong:
            return format + " file is too large: more than " + n(s.present - 1) + " bytes";
        case PictureRefusal::unsupportedFormat: return format + " is not supported; convert it to PNG";
        case PictureRefusal::truncated: return format + " file cut short: it ends after " + n(s.present) + " bytes";
        case PictureRefusal::pngNoHeader: return "PNG file does not begin with its header chunk (IHDR)";
        case PictureRefusal::pngChunkLength:
            return "PNG chunk length " + n(s.value) + " is not valid (2147483647 at most)";
        case PictureRefusal::pngBadSize: return "PNG picture of " + picture + " pixels is not valid";
        case PictureRefusal::pngColorType: return "PNG colour type " + n(s.colorType) + " is not valid (0, 2, 3, 4 or 6)";
        case PictureRefusal::pngBitDepth:
            return "PNG bit depth " + n(s.bitDepth) + " is not valid for " + pngColorTypeName(s.colorType) + " (" +
                   depthsOf(s.colorType) + ")";
        case PictureRefusal::pngMethod:
            return std::string("PNG ") + methodName(s.method) + " method " + n(s.value) + " is not known";
        case PictureRefusal::pngNoImageData: return "PNG file has no image data (IDAT)";
        case PictureRefusal::pngDataTooShort:
            return "PNG image data too short: " + n(s.present) + " compressed bytes cannot hold the " + n(s.needed) +
                   " bytes of rows of a picture of " + picture + " pixels";
        case PictureRefusal::jpegNoFrame: return "JPEG file has no frame header (SOF) before its scan";
        case PictureRefusal::jpegProcess: return jpegProcessReason(s.marker);
        case PictureRefusal::jpegPrecision:
            return n(s.value) + "-bit JPEG is not supported (8-bit samples only)";
        case PictureRefusal::jpegColorSpace: return jpegColorReason(s);
        case PictureRefusal::jpegBadSize:
            if (s.height == 0 && s.width != 0) {
                return "JPEG whose height is given after its first scan (DNL) is not supported";
            }
            return "JPEG picture of " + picture + " pixels is not valid";
        case PictureRefusal::jpegDataTooShort:
            return "JPEG scan data too short: " + n(s.present) + " bytes cannot code the " + n(s.needed) +
                   " minimum coded units of a picture of " + picture + " pixels";
        case PictureRefusal::tooLarge: return tooLargeReason(s.width, s.height);
        case PictureRefusal::damaged: return format + " file is damaged: " + s.message;
        case PictureRefusal::noMemory: return noMemoryReason(s.width, s.height);
    }
    return "refused";
}
