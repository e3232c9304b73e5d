// Fuzz target for the whole road of a file through the batch converter:
// bytes -> decodeBmp -> reduceImage -> writeIndexedBmp -> decodeBmp again,
// and writeIndexedPng -> decodePicture.
//
// Every input is read twice, once from a memory stream (the reader cannot
// learn the length and reads in bounded pieces) and once from an anonymous
// regular file (the reader checks the bytes left before allocating); both
// must agree, on acceptance and on the reason for a refusal, counts
// included. (That a refused file leaves the programs' image as it was is
// dib24's part, checked by its own tests; the target reads into plain
// memory and links no window system.) An accepted
// file goes through the reduction pass, which on small pictures must print
// and leave exactly what the plain reference pass does, and the written
// indexed BMP and PNG, read back, must give exactly the reduced pixels.
//
// Built with CR_FUZZ_READER_ONLY it stops after the reader: the pass costs
// a few milliseconds even for one pixel, the reader some microseconds, so
// the reader alone is searched far faster.
#include "bmp_decoder.h"
#include "decode_picture.h"
#include "memory_picture.h"
#include "reduce_image.h"
#include "reference_pass.h"
#include "text_sink.h"
#include "write_indexed_bmp.h"
#include "write_indexed_png.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_pass: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

bool readFromMemory(MemoryPicture& image, const std::uint8_t* data, std::size_t size, BmpReadStatus& status) {
    std::vector<std::uint8_t> copy(data, data + size);
    copy.push_back(0);  // fmemopen wants a writable buffer, of at least one byte
    std::FILE* file = fmemopen(copy.data(), size, "rb");
    if (!file) fail("fmemopen failed");
    FileInput input(file);
    const bool loaded = decodeBmp(input, image, status);
    std::fclose(file);
    return loaded;
}

bool readFromRegularFile(MemoryPicture& image, const std::uint8_t* data, std::size_t size, BmpReadStatus& status) {
    static const int fd = [] {
        const int made = memfd_create("fuzz_pass", 0);
        if (made < 0) fail("memfd_create failed");
        return made;
    }();
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) fail("memfd reset failed");
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote <= 0) fail("memfd write failed");
        done += static_cast<std::size_t>(wrote);
    }
    if (lseek(fd, 0, SEEK_SET) != 0) fail("memfd seek failed");
    std::FILE* file = fdopen(dup(fd), "rb");
    if (!file) fail("fdopen failed");
    FileInput input(file);
    const bool loaded = decodeBmp(input, image, status);
    std::fclose(file);
    return loaded;
}

bool sameStatus(const BmpReadStatus& a, const BmpReadStatus& b) {
    const BmpHeaderFields& x = a.header;
    const BmpHeaderFields& y = b.header;
    return a.refusal == b.refusal && a.needed == b.needed && a.present == b.present && a.systemError == b.systemError &&
           x.offBits == y.offBits && x.headerSize == y.headerSize && x.width == y.width && x.height == y.height &&
           x.bitCount == y.bitCount && x.compression == y.compression && x.xPelsPerMeter == y.xPelsPerMeter &&
           x.clrUsed == y.clrUsed && x.paletteEntries == y.paletteEntries;
}

bool samePixels(const MemoryPicture& a, const MemoryPicture& b) {
    if (a.width != b.width || a.height != b.height) return false;
    if (!a.pixels || !b.pixels) return a.pixels == b.pixels;
    for (std::int32_t r = 0; r < a.height; ++r) {
        const std::uint8_t* rowA = a.pixels + static_cast<std::int64_t>(r) * a.stride;
        const std::uint8_t* rowB = b.pixels + static_cast<std::int64_t>(r) * b.stride;
        if (std::memcmp(rowA, rowB, 3 * static_cast<std::size_t>(a.width)) != 0) return false;
    }
    return true;
}

#ifndef CR_FUZZ_READER_ONLY
// The pass costs about width x height x palette entries; beyond this many
// pixels an input would slow the search down without reaching new code
// (the bound is large enough for the pass to share its work between
// threads). Bounded here only: the programs take any picture the reader accepts.
constexpr std::int64_t kMaxPassPixels = std::int64_t{1} << 18;
// The reference pass rescans its whole table for every box: kept to small pictures.
constexpr std::int64_t kMaxReferencePixels = 4096;

std::size_t countLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void reduceAndWrite(MemoryPicture& image) {
    const std::int64_t pixelCount = static_cast<std::int64_t>(image.width) * image.height;
    std::vector<std::uint8_t> referencePixels;
    StringSink referenceReport;
    if (pixelCount <= kMaxReferencePixels && image.pixels) {
        referencePixels.assign(image.pixels, image.pixels + static_cast<std::int64_t>(image.stride) * image.height);
        reference::reduceImage(ImageView{referencePixels.data(), image.width, image.height, image.stride},
                               referenceReport);
    }

    StringSink report;
    const Palette palette = reduceImage(image.view(), report);
    if (!referencePixels.empty()) {
        check(report.text() == referenceReport.text(), "the pass prints other lines than the reference pass");
        for (std::int32_t r = 0; r < image.height; ++r) {
            const std::int64_t start = static_cast<std::int64_t>(r) * image.stride;
            check(std::memcmp(image.pixels + start, referencePixels.data() + start,
                              3 * static_cast<std::size_t>(image.width)) == 0,
                  "the pass leaves other pixels than the reference pass");
        }
    }
    check(palette.count >= 1 && palette.count <= kMaxPaletteEntries, "palette count out of range");
    check(countLines(report.text()) == 2 + static_cast<std::size_t>(palette.count), "report has the wrong line count");

    std::vector<std::uint8_t> written;
    const bool ok = writeIndexedBmp(image.view(), palette, image.pelsPerMetre,
                                    [&](const std::uint8_t* data, std::size_t size) {
                                        written.insert(written.end(), data, data + size);
                                        return true;
                                    });
    check(ok, "writeIndexedBmp refused an image the reader made");

    MemoryPicture reread;
    BmpReadStatus status;
    check(readFromMemory(reread, written.data(), written.size(), status), "written file does not load");
    if (image.width == 0 || image.height == 0) {
        check(reread.width == 0 && reread.height == 0, "empty image written as a non-empty one");
        return;
    }
    check(samePixels(image, reread), "written file does not give the reduced pixels");

    // The same as an indexed PNG, read back as the programs read it.
    std::vector<std::uint8_t> png;
    check(writeIndexedPng(image.view(), palette, image.pelsPerMetre,
                          [&](const std::uint8_t* data, std::size_t size) {
                              png.insert(png.end(), data, data + size);
                              return true;
                          }),
          "writeIndexedPng refused an image the reader made");
    png.push_back(0);
    std::FILE* file = fmemopen(png.data(), png.size() - 1, "rb");
    if (!file) fail("fmemopen failed");
    MemoryPicture fromPng;
    PictureReadStatus pictureStatus;
    FileInput pngInput(file);
    const bool pngLoaded = decodePicture(pngInput, fromPng, pictureStatus);
    std::fclose(file);
    check(pngLoaded, "written PNG does not load");
    check(samePixels(image, fromPng), "written PNG does not give the reduced pixels");
    // A PNG holds no resolution of 0 or below (a BMP's header may).
    const bool positive = image.pelsPerMetre > 0;
    check(fromPng.resolution == (positive ? reread.resolution : 0), "written PNG and BMP give other resolutions");
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryPicture fromMemory;
    MemoryPicture fromFile;
    BmpReadStatus memoryStatus;
    BmpReadStatus fileStatus;
    const bool loadedFromMemory = readFromMemory(fromMemory, data, size, memoryStatus);
    const bool loadedFromFile = readFromRegularFile(fromFile, data, size, fileStatus);
    check(loadedFromMemory == loadedFromFile, "memory stream and regular file disagree on acceptance");
    check(sameStatus(memoryStatus, fileStatus), "memory stream and regular file disagree on the status");
    check(loadedFromMemory == (memoryStatus.refusal == BmpRefusal::none), "the result and the status disagree");
    if (!loadedFromMemory) return 0;
    check(samePixels(fromMemory, fromFile), "memory stream and regular file give different pixels");
    check(fromMemory.width >= 0 && fromMemory.height >= 0, "negative geometry");
    check((fromMemory.pixels != nullptr) == (fromMemory.width > 0 && fromMemory.height > 0),
          "buffer and geometry disagree");
#ifndef CR_FUZZ_READER_ONLY
    if (static_cast<std::int64_t>(fromMemory.width) * fromMemory.height <= kMaxPassPixels) reduceAndWrite(fromMemory);
#endif
    return 0;
}
