// The reader on hostile files and on every proper prefix of a valid file of
// each kind, from both kinds of stream it meets: a regular file (it checks
// the bytes left before allocating) and a memory stream, whose length it
// cannot learn (it reads in bounded pieces). A refusal leaves the image as
// it was, and gives the same reason from either kind of stream.
#include "bmp_cases.h"
#include "dib24.h"
#include "load_failure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace hostile {
namespace {

using testsupport::Bytes;

enum class Stream { regularFile, memory };

// Opens the first `length` bytes of `bytes` as the given kind of stream.
std::FILE* openPrefix(const Bytes& bytes, std::size_t length, Stream kind, Bytes& memoryCopy) {
    if (kind == Stream::memory) {
        memoryCopy.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        memoryCopy.push_back(0);  // fmemopen needs a buffer of at least one byte
        return fmemopen(memoryCopy.data(), length, "rb");
    }
    std::FILE* file = std::tmpfile();
    if (!file) return nullptr;
    if (length != 0 && std::fwrite(bytes.data(), 1, length, file) != length) {
        std::fclose(file);
        return nullptr;
    }
    std::rewind(file);
    return file;
}

struct LoadResult {
    bool loaded;
    bool unchanged;  // still the marked 1 x 1 start-up image
    BmpRefusal refusal;
    std::string reason;  // as the programs print it
};

LoadResult load(const Bytes& bytes, std::size_t length, Stream kind) {
    dib24 image;
    image.create(1, 1, 0);
    image.pixels[0] = 0x0A;
    image.pixels[1] = 0x0B;
    image.pixels[2] = 0x0C;
    Bytes copy;
    std::FILE* file = openPrefix(bytes, length, kind, copy);
    if (!file) throw std::runtime_error("cannot open a stream");
    LoadStatus status;
    status.opened = true;
    const bool loaded = image.readBmp(file, status.read);
    std::fclose(file);
    const bool unchanged = image.width == 1 && image.height == 1 && image.pixels && image.pixels[0] == 0x0A &&
                           image.pixels[1] == 0x0B && image.pixels[2] == 0x0C;
    return {loaded, unchanged, status.read.refusal, loadFailureReason(status)};
}

const char* name(Stream kind) { return kind == Stream::memory ? "memory stream" : "regular file"; }

TEST(ReaderRefusalTest, EveryHostileFileIsRefusedFromEitherKindOfStream) {
    for (const auto& file : hostileFiles()) {
        for (Stream kind : {Stream::regularFile, Stream::memory}) {
            const LoadResult result = load(file.bytes, file.bytes.size(), kind);
            EXPECT_FALSE(result.loaded) << file.name << " from a " << name(kind);
            EXPECT_TRUE(result.unchanged) << file.name << " from a " << name(kind);
            EXPECT_EQ(result.reason, file.reason) << file.name << " from a " << name(kind);
        }
    }
}

TEST(ReaderRefusalTest, EveryValidSeedLoadsFromEitherKindOfStream) {
    for (const auto& file : validFiles()) {
        for (Stream kind : {Stream::regularFile, Stream::memory}) {
            const LoadResult result = load(file.bytes, file.bytes.size(), kind);
            EXPECT_TRUE(result.loaded) << file.name << " from a " << name(kind) << ": " << result.reason;
            EXPECT_EQ(result.refusal, BmpRefusal::none) << file.name;
        }
    }
}

// A file cut anywhere before its last byte is refused, whatever the depth,
// row order, header length or palette size.
TEST(ReaderRefusalTest, EveryProperPrefixOfAValidFileIsRefused) {
    for (const auto& file : validFiles()) {
        if (file.name.find("trailing") != std::string::npos) continue;  // its prefixes may be whole files
        for (std::size_t length = 0; length < file.bytes.size(); ++length) {
            std::string reasons[2];
            for (Stream kind : {Stream::regularFile, Stream::memory}) {
                const LoadResult result = load(file.bytes, length, kind);
                EXPECT_FALSE(result.loaded) << file.name << " cut to " << length << " bytes, " << name(kind);
                EXPECT_TRUE(result.unchanged) << file.name << " cut to " << length << " bytes, " << name(kind);
                // Only a cut can be wrong with such a file.
                EXPECT_TRUE(result.refusal == BmpRefusal::truncatedHeaders ||
                            result.refusal == BmpRefusal::pixelArrayShort)
                    << file.name << " cut to " << length << " bytes: " << result.reason;
                reasons[kind == Stream::memory] = result.reason;
            }
            EXPECT_EQ(reasons[0], reasons[1]) << file.name << " cut to " << length << " bytes";
        }
    }
}

}  // namespace
}  // namespace hostile
