// Fuzz target for the PNG reader (built as fuzz_png) or the JPEG reader
// (CR_FUZZ_JPEG, built as fuzz_jpeg), through decodePicture as the programs'
// readPicture calls it: the container walk, libpng or libjpeg-turbo, and the conversion
// of the samples.
//
// The input gets the format's signature when it lacks it, and for PNG every
// complete chunk gets its right CRC, so that mutations reach the chunks and
// the decoder instead of stopping at the checks (those are tested on their
// own). Every input is read from a memory stream and from a regular file,
// which must agree. (That a refused file leaves the programs' image as it
// was is dib24's part, checked by its own tests.) The
// pass and the writers are fuzz_pass's: a pass costs milliseconds, a read
// of a small PNG microseconds.
#include "decode_picture.h"
#include "memory_picture.h"
#include "picture_container.h"
#include "picture_read_status.h"

#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_picture: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

#ifdef CR_FUZZ_JPEG
const std::uint8_t kSignature[] = {0xFF, 0xD8, 0xFF};
#else
const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
#endif

#ifndef CR_FUZZ_JPEG
std::uint32_t be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
#endif

std::vector<std::uint8_t> prepared(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes;
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0) {
        bytes.assign(kSignature, kSignature + sizeof kSignature);
    }
    bytes.insert(bytes.end(), data, data + size);
#ifndef CR_FUZZ_JPEG
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = be32(bytes.data() + at);
        if (length > bytes.size() - at - 12) break;
        const auto crc = static_cast<std::uint32_t>(crc32(0, bytes.data() + at + 4, length + 4));
        for (int k = 0; k < 4; ++k) bytes[at + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        at += 12 + std::size_t{length};
    }
#endif
    return bytes;
}

bool readFromMemory(MemoryPicture& image, std::vector<std::uint8_t> bytes, PictureReadStatus& status) {
    const std::size_t size = bytes.size();
    bytes.push_back(0);
    std::FILE* file = fmemopen(bytes.data(), size, "rb");
    if (!file) fail("fmemopen failed");
    FileInput input(file);
    const bool loaded = decodePicture(input, image, status);
    std::fclose(file);
    return loaded;
}

bool readFromRegularFile(MemoryPicture& image, const std::vector<std::uint8_t>& bytes, PictureReadStatus& status) {
    static const int fd = [] {
        const int made = memfd_create("fuzz_picture", 0);
        if (made < 0) fail("memfd_create failed");
        return made;
    }();
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) fail("memfd reset failed");
    if (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        fail("memfd write failed");
    }
    if (lseek(fd, 0, SEEK_SET) != 0) fail("memfd seek failed");
    std::FILE* file = fdopen(dup(fd), "rb");
    if (!file) fail("fdopen failed");
    FileInput input(file);
    const bool loaded = decodePicture(input, image, status);
    std::fclose(file);
    return loaded;
}

#ifdef CR_FUZZ_JPEG
constexpr std::int64_t kMaxArithmeticPixels = std::int64_t{1} << 22;
#endif

bool samePixels(const MemoryPicture& a, const MemoryPicture& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (std::int32_t r = 0; r < a.height; ++r) {
        if (std::memcmp(a.pixels + static_cast<std::int64_t>(r) * a.stride,
                        b.pixels + static_cast<std::int64_t>(r) * b.stride, 3 * static_cast<std::size_t>(a.width)) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes = prepared(data, size);
#ifdef CR_FUZZ_JPEG
    // A few bytes of arithmetic-coded data can rightly describe a huge
    // uniform picture; decoding one would only measure the allocator.
    JpegFacts facts;
    PictureReadStatus walked;
    if (checkJpeg(bytes.data(), bytes.size(), facts, walked) && facts.arithmetic &&
        static_cast<std::int64_t>(facts.width) * facts.height > kMaxArithmeticPixels) {
        return 0;
    }
#endif
    MemoryPicture fromMemory;
    MemoryPicture fromFile;
    PictureReadStatus memoryStatus;
    PictureReadStatus fileStatus;
    const bool loadedFromMemory = readFromMemory(fromMemory, bytes, memoryStatus);
    const bool loadedFromFile = readFromRegularFile(fromFile, bytes, fileStatus);
    check(loadedFromMemory == loadedFromFile, "memory stream and regular file disagree on acceptance");
    check(memoryStatus.refusal == fileStatus.refusal && memoryStatus.message == fileStatus.message &&
              memoryStatus.format == fileStatus.format,
          "memory stream and regular file disagree on the reason");
    check(loadedFromMemory != memoryStatus.refused(), "the result and the status disagree");
    if (!loadedFromMemory) return 0;
    check(fromMemory.width > 0 && fromMemory.height > 0 && fromMemory.pixels, "an accepted picture has no pixels");
    check(samePixels(fromMemory, fromFile), "memory stream and regular file give different pixels");
    check(fromMemory.resolution >= 0, "a negative resolution");
    return 0;
}
