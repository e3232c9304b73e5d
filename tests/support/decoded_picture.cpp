#include "decoded_picture.h"

#include "bmp_decoder.h"
#include "memory_picture.h"
#include "reduce_image.h"
#include "text_sink.h"

namespace testsupport {

bool decodeBmpFile(const Bytes& file, Picture& picture) {
    FilePtr stream = openBytes(file);
    if (!stream) return false;
    FileInput input(stream.get());
    MemoryPicture decoded;
    BmpReadStatus status;
    if (!decodeBmp(input, decoded, status)) return false;
    picture = pictureOf(decoded.view());
    return true;
}

ExpectedReduction expectedReduction(const Picture& picture) {
    OwnedImage copy(picture);
    StringSink report;
    const Palette palette = reduceImage(copy.view(), report);
    return {report.text(), copy.picture(), palette};
}

}  // namespace testsupport
