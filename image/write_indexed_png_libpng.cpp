// writeIndexedPng on libpng. libpng leaves an error by longjmp, so the calls
// into it are made from a plain function whose locals are all trivial (no
// frame with C++ objects to destroy is jumped over).
#include "write_indexed_png.h"

#include <png.h>

#include <cassert>
#include <csetjmp>
#include <vector>

namespace {

struct PngWriteJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const ByteWriter* write = nullptr;
};

void pngWriteData(png_structp png, png_bytep data, png_size_t size) {
    auto* job = static_cast<PngWriteJob*>(png_get_io_ptr(png));
    bool written = false;
    try {
        written = (*job->write)(data, size);
    } catch (...) {
        written = false;
    }
    if (!written) png_error(png, "the output refused the bytes");
}

void pngFlush(png_structp) {}
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

bool pngWriteFrame(PngWriteJob* job, const ImageView* image, const Palette* palette, std::int32_t pelsPerMetre,
                   const ColorToIndex* indexOf, std::uint8_t* row) {
    if (setjmp(png_jmpbuf(job->png))) return false;
    const int depth = indexedPngBitDepth(palette->count);
    png_set_write_fn(job->png, job, pngWriteData, pngFlush);
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height),
                 depth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color entries[kMaxPaletteEntries];
    for (int k = 0; k < palette->count; ++k) entries[k] = {palette->red(k), palette->green(k), palette->blue(k)};
    png_set_PLTE(job->png, job->info, entries, palette->count);
    if (pelsPerMetre > 0) {
        const auto perMetre = static_cast<png_uint_32>(pelsPerMetre);
        png_set_pHYs(job->png, job->info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(job->png, job->info);
    for (std::int32_t y = 0; y < image->height; ++y) {
        packIndexRow(*image, *indexOf, y, depth, row);
        png_write_row(job->png, row);
    }
    png_write_end(job->png, job->info);
    return true;
}

}  // namespace

bool writeIndexedPng(const ImageView& image, const Palette& palette, std::int32_t pelsPerMetre,
                     const ByteWriter& write) {
    assert(palette.count >= 1 && palette.count <= kMaxPaletteEntries);
    if (image.empty()) return false;
    const ColorToIndex indexOf(palette);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) + 1);
    PngWriteJob job;
    job.write = &write;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (job.png) job.info = png_create_info_struct(job.png);
    const bool written = job.png && job.info && pngWriteFrame(&job, &image, &palette, pelsPerMetre, &indexOf, row.data());
    if (job.png) png_destroy_write_struct(&job.png, job.info ? &job.info : nullptr);
    return written;
}
