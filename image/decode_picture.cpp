#include "decode_picture.h"

#include "bmp_decoder.h"
#include "picture_container.h"
#include "picture_decoder.h"
#include "picture_format.h"

#include <vector>

namespace {

bool refuse(PictureReadStatus& status, PictureRefusal why) {
    status.refusal = why;
    return false;
}

// Decodes a PNG or JPEG file that passed its walk into a new image.
bool decodeInto(PictureTarget& target, PictureCodec codec, const std::vector<std::uint8_t>& file,
                std::int32_t resolution, PictureReadStatus& status) {
    PictureDecoder decoder(codec, file.data(), file.size());
    std::int32_t width = 0;
    std::int32_t height = 0;
    SampleFormat format;
    if (!decoder.start(width, height, format)) {
        status.message = decoder.message();
        return refuse(status, PictureRefusal::damaged);
    }
    // The walk read the size from the same header; a decoder that disagrees
    // has not read the file the walk checked.
    if (width != status.width || height != status.height) {
        status.message = "the decoder reads another size";
        return refuse(status, PictureRefusal::damaged);
    }
    const ImageView image = target.make(width, height, resolution);
    if (!image.pixels) return refuse(status, PictureRefusal::noMemory);
    PictureBuilder builder(image, format);
    if (!decoder.readRows(builder)) {
        status.message = decoder.message();
        return refuse(status, PictureRefusal::damaged);
    }
    status.shownOverWhite = builder.shownOverWhite();
    return true;
}

bool readPng(PictureTarget& target, const std::vector<std::uint8_t>& file, PictureReadStatus& status) {
    PngFacts facts;
    if (!checkPng(file.data(), file.size(), facts, status)) return false;
    return decodeInto(target, PictureCodec::png, file, facts.resolution, status);
}

bool readJpeg(PictureTarget& target, const std::vector<std::uint8_t>& file, PictureReadStatus& status) {
    JpegFacts facts;
    if (!checkJpeg(file.data(), file.size(), facts, status)) return false;
    return decodeInto(target, PictureCodec::jpeg, file, facts.resolution, status);
}

}  // namespace

bool decodePicture(FileInput& input, PictureTarget& target, PictureReadStatus& status) {
    status = PictureReadStatus{};
    std::uint8_t head[kSignatureBytes];
    const Got peeked = input.peek(head, kSignatureBytes);
    const auto headSize = static_cast<std::size_t>(peeked.bytes);
    status.format = formatOf(head, headSize);
    if (peeked.error == 0 && headSize < kSignatureBytes && cutSignature(head, headSize, status.format)) {
        status.present = peeked.bytes;
        return refuse(status, PictureRefusal::truncated);
    }
    switch (status.format) {
        case PictureFormat::bmp: return decodeBmp(input, target, status.bmp);
        case PictureFormat::png:
        case PictureFormat::jpeg: break;
        default: return refuse(status, PictureRefusal::unsupportedFormat);
    }

    std::vector<std::uint8_t> bytes;
    const GotAll got = readRest(input, kMaxPictureFileBytes, bytes);
    if (got.got.error != 0) {
        status.systemError = got.got.error;
        return refuse(status, PictureRefusal::readError);
    }
    if (got.tooLong) {
        status.present = got.got.bytes;
        return refuse(status, PictureRefusal::fileTooLong);
    }
    return status.format == PictureFormat::png ? readPng(target, bytes, status) : readJpeg(target, bytes, status);
}
