// The reader on the hostile files, the valid files and every proper prefix
// of each valid file, from both kinds of stream it meets: a regular file
// (it checks the bytes left before allocating) and, on POSIX systems, a
// memory stream, whose length it cannot learn (it reads in bounded pieces).
// A refusal leaves the image as it was, and gives the reason the programs
// print, the same from either kind of stream. Built for Linux and for
// Windows, where it runs under Wine with the system's C runtime.
#include "bmp_cases.h"
#include "dib24.h"
#include "load_failure.h"
#include "read_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hostile {
namespace {

using testsupport::Bytes;

enum class Stream { regularFile, memory };

#ifdef _WIN32
const Stream kStreams[] = {Stream::regularFile};
#else
const Stream kStreams[] = {Stream::regularFile, Stream::memory};
#endif

const char* name(Stream kind) { return kind == Stream::memory ? "memory stream" : "regular file"; }

// A file's bytes, opened as either kind of stream with only its first bytes
// in it. The regular file is made once and cut shorter in place for each
// shorter prefix (a new file for each costs seconds under Wine): cuts come
// in decreasing length.
class Prefixes {
public:
    explicit Prefixes(const Bytes& bytes) : bytes_(bytes), file_(testsupport::openBytes(bytes)) {}

    std::FILE* open(std::size_t length, Stream kind) {
        if (kind == Stream::memory) return openInMemory(length);
        std::fflush(file_.get());
#ifdef _WIN32
        const bool cut = _chsize_s(_fileno(file_.get()), static_cast<long long>(length)) == 0;
#else
        const bool cut = ftruncate(fileno(file_.get()), static_cast<off_t>(length)) == 0;
#endif
        if (!cut) throw std::runtime_error("cannot cut the file");
        std::rewind(file_.get());
        return file_.get();
    }

private:
    std::FILE* openInMemory([[maybe_unused]] std::size_t length) {
#ifdef _WIN32
        throw std::logic_error("no memory streams here");
#else
        memoryCopy_.assign(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length));
        memoryCopy_.push_back(0);  // fmemopen needs a buffer of at least one byte
        memory_.reset(fmemopen(memoryCopy_.data(), length, "rb"));
        if (!memory_) throw std::runtime_error("cannot open a memory stream");
        return memory_.get();
#endif
    }

    const Bytes& bytes_;
    testsupport::FilePtr file_;
    Bytes memoryCopy_;
    testsupport::FilePtr memory_;
};

struct LoadResult {
    bool loaded;
    bool unchanged;  // still the marked 1 x 1 start-up image, in the same buffer
    BmpRefusal refusal;
    std::string reason;  // as the programs print it
};

LoadResult load(std::FILE* stream) {
    dib24 image;
    image.create(1, 1, 0);
    image.pixels[0] = 0x0A;
    image.pixels[1] = 0x0B;
    image.pixels[2] = 0x0C;
    const std::uint8_t* const startPixels = image.pixels;
    LoadStatus status;
    status.opened = true;
    const bool loaded = readPicture(image, stream, status.read);
    const bool unchanged = image.pixels == startPixels && image.width == 1 && image.height == 1 &&
                           image.stride == 4 && image.pixels[0] == 0x0A && image.pixels[1] == 0x0B &&
                           image.pixels[2] == 0x0C;
    return {loaded, unchanged, status.read.bmp.refusal, loadFailureReason(status)};
}

TEST(ReaderRefusalTest, EveryHostileFileIsRefusedFromEitherKindOfStream) {
    for (const auto& file : hostileFiles()) {
        Prefixes whole(file.bytes);
        for (const Stream kind : kStreams) {
            const LoadResult result = load(whole.open(file.bytes.size(), kind));
            EXPECT_FALSE(result.loaded) << file.name << " from a " << name(kind);
            EXPECT_TRUE(result.unchanged) << file.name << " from a " << name(kind);
            EXPECT_EQ(result.reason, file.reason) << file.name << " from a " << name(kind);
        }
    }
}

TEST(ReaderRefusalTest, EveryValidSeedLoadsFromEitherKindOfStream) {
    for (const auto& file : validFiles()) {
        Prefixes whole(file.bytes);
        for (const Stream kind : kStreams) {
            const LoadResult result = load(whole.open(file.bytes.size(), kind));
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
        Prefixes prefixes(file.bytes);
        for (std::size_t length = file.bytes.size(); length-- > 0;) {
            std::vector<std::string> reasons;
            for (const Stream kind : kStreams) {
                const LoadResult result = load(prefixes.open(length, kind));
                EXPECT_FALSE(result.loaded) << file.name << " cut to " << length << " bytes, " << name(kind);
                EXPECT_TRUE(result.unchanged) << file.name << " cut to " << length << " bytes, " << name(kind);
                // Only a cut can be wrong with such a file.
                EXPECT_TRUE(result.refusal == BmpRefusal::truncatedHeaders ||
                            result.refusal == BmpRefusal::pixelArrayShort)
                    << file.name << " cut to " << length << " bytes: " << result.reason;
                reasons.push_back(result.reason);
            }
            EXPECT_EQ(reasons.front(), reasons.back()) << file.name << " cut to " << length << " bytes";
        }
    }
}

}  // namespace
}  // namespace hostile
