// PNG and JPEG files through the programs' reader, from a regular file and
// from a memory stream (whose length the reader cannot learn): the valid
// files load, every hostile file is refused with its reason, and every
// proper prefix of every valid file is refused with a reason of its own,
// the image left as it was. Linux only: the files are made with libpng and
// libjpeg (tests/windows/wine_pictures_test runs the same under Wine).
#include "dib24.h"
#include "load_failure.h"
#include "picture_cases.h"
#include "read_picture.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

namespace hostile {
namespace {

using testsupport::Bytes;

struct Result {
    bool loaded;
    bool unchanged;
    std::string reason;
};

Result loadFrom(std::FILE* stream) {
    dib24 image;
    image.create(1, 1, 0);
    image.pixels[0] = 0x0A;
    const std::uint8_t* start = image.pixels;
    LoadStatus status;
    status.opened = true;
    const bool loaded = readPicture(image, stream, status.read);
    std::fclose(stream);
    const bool unchanged = image.pixels == start && image.width == 1 && image.pixels[0] == 0x0A;
    return {loaded, unchanged, loaded ? std::string() : loadFailureReason(status)};
}

Result fromFile(const Bytes& bytes, std::size_t length) {
    std::FILE* f = std::tmpfile();
    if (length > 0) std::fwrite(bytes.data(), 1, length, f);
    std::rewind(f);
    return loadFrom(f);
}

Result fromMemory(const Bytes& bytes, std::size_t length) {
    static Bytes copy;
    copy.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    copy.push_back(0);  // fmemopen needs a buffer of at least one byte
    return loadFrom(fmemopen(copy.data(), length, "rb"));
}

TEST(PictureRefusalTest, EveryValidPictureLoadsFromEitherKindOfStream) {
    for (const auto& file : validPictureFiles()) {
        for (const Result& r : {fromFile(file.bytes, file.bytes.size()), fromMemory(file.bytes, file.bytes.size())}) {
            EXPECT_TRUE(r.loaded) << file.name << ": " << r.reason;
        }
    }
}

TEST(PictureRefusalTest, EveryHostilePictureIsRefusedWithItsReason) {
    for (const auto& file : hostilePictureFiles()) {
        for (const Result& r : {fromFile(file.bytes, file.bytes.size()), fromMemory(file.bytes, file.bytes.size())}) {
            EXPECT_FALSE(r.loaded) << file.name;
            EXPECT_TRUE(r.unchanged) << file.name;
            EXPECT_EQ(r.reason, file.reason) << file.name;
        }
    }
}

TEST(PictureRefusalTest, EveryProperPrefixOfAValidPictureIsRefusedWithAReason) {
    for (const auto& file : validPictureFiles()) {
        for (std::size_t length = file.bytes.size(); length-- > 0;) {
            const Result a = fromFile(file.bytes, length);
            const Result b = fromMemory(file.bytes, length);
            EXPECT_FALSE(a.loaded) << file.name << " cut to " << length;
            EXPECT_TRUE(a.unchanged) << file.name << " cut to " << length;
            EXPECT_FALSE(a.reason.empty()) << file.name << " cut to " << length;
            EXPECT_EQ(a.reason, b.reason) << file.name << " cut to " << length;
            if (length == 0) {
                EXPECT_EQ(a.reason, "the file is empty");
            } else {
                // The file ends early, and the reason says so.
                EXPECT_NE(a.reason.find("cut short"), std::string::npos) << file.name << " cut to " << length << ": " << a.reason;
            }
        }
    }
}

}  // namespace
}  // namespace hostile
