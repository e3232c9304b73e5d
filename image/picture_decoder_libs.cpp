// PictureDecoder on libpng and libjpeg-turbo.
//
// Both libraries leave an error by longjmp to the point their caller set up
// with setjmp. A longjmp must not pass over a frame that holds C++ objects
// needing destruction, so every call into a library is made from a plain
// function ("frame") whose locals are all trivial, and which keeps its work
// in a plain struct owned by the decoder's state. The builder's row calls
// are made between library calls and never throw.
#include "picture_decoder.h"

#include <png.h>

// jpeglib.h first: its configuration decides which messages jerror.h has.
#include <jpeglib.h>

#include <jerror.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kMessageBytes = 200;

void copyMessage(char* target, const char* text) {
    std::snprintf(target, kMessageBytes, "%s", text ? text : "unknown error");
}

// ---- libpng ---------------------------------------------------------------

struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    char message[kMessageBytes] = {};
};

void pngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    // The container walk saw the whole file, so this happens only when the
    // decoder looks past the chunks it walked.
    if (job->size - job->at < count) png_error(png, "read past the end of the file");
    std::memcpy(out, job->data + job->at, count);
    job->at += count;
}

void pngError(png_structp png, png_const_charp text) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    copyMessage(job->message, text);
    png_longjmp(png, 1);
}

// Warnings are about ancillary chunks, which are not used.
void pngWarning(png_structp, png_const_charp) {}

// Ancillary chunks whose contents do not change the picture's samples:
// libpng skips them (checking their CRC) rather than decoding them.
const png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sCAL\0sBIT\0sPLT\0sRGB\0"
                                  "tEXt\0tIME\0zTXt";
constexpr int kIgnoredChunkCount = 16;

bool pngStartFrame(PngJob* job, std::int32_t* width, std::int32_t* height, SampleFormat* format) {
    if (setjmp(png_jmpbuf(job->png))) return false;
    png_set_read_fn(job->png, job, pngRead);
    png_set_keep_unknown_chunks(job->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(job->png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
    // The size was checked against the image limit already; these keep
    // libpng's own allocations for chunks within bounds too.
    png_set_user_limits(job->png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_chunk_malloc_max(job->png, 8u << 20);
    png_set_chunk_cache_max(job->png, 1000);
    png_read_info(job->png, job->info);

    *width = static_cast<std::int32_t>(png_get_image_width(job->png, job->info));
    *height = static_cast<std::int32_t>(png_get_image_height(job->png, job->info));
    const int type = png_get_color_type(job->png, job->info);
    format->bitDepth = png_get_bit_depth(job->png, job->info);
    format->littleEndian = false;
    switch (type) {
        case PNG_COLOR_TYPE_GRAY: format->layout = SampleLayout::grey; break;
        case PNG_COLOR_TYPE_GRAY_ALPHA: format->layout = SampleLayout::greyAlpha; break;
        case PNG_COLOR_TYPE_PALETTE: format->layout = SampleLayout::indexed; break;
        case PNG_COLOR_TYPE_RGB: format->layout = SampleLayout::rgb; break;
        default: format->layout = SampleLayout::rgba; break;
    }
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p key = nullptr;
    const bool transparency = png_get_tRNS(job->png, job->info, &alphas, &alphaCount, &key) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(job->png, job->info, &entries, &count) == 0) png_error(job->png, "no palette (PLTE)");
        format->paletteCount = count;
        for (int k = 0; k < count; ++k) {
            std::uint8_t* e = format->palette.data() + 4 * k;
            e[0] = entries[k].red;
            e[1] = entries[k].green;
            e[2] = entries[k].blue;
            e[3] = transparency && k < alphaCount ? alphas[k] : 255;
        }
    } else if (transparency && key && (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_RGB)) {
        format->hasKey = true;
        if (type == PNG_COLOR_TYPE_GRAY) {
            format->key = {key->gray, 0, 0};
        } else {
            format->key = {key->red, key->green, key->blue};
        }
    }
    return true;
}

bool pngRowsFrame(PngJob* job, PictureBuilder* builder, std::uint8_t* row, std::int32_t height, bool interlaced) {
    if (setjmp(png_jmpbuf(job->png))) return false;
    if (!interlaced) {
        for (std::int32_t y = 0; y < height; ++y) {
            png_read_row(job->png, row, nullptr);
            builder->putRow(y, row);
        }
    } else {
        // Without libpng's interlace handling each pass comes as a small
        // picture of its own; libpng skips the passes that have no pixels.
        for (int pass = 0; pass < 7; ++pass) {
            if (builder->passColumns(pass) == 0) continue;
            for (std::int32_t r = 0; r < builder->passRows(pass); ++r) {
                png_read_row(job->png, row, nullptr);
                builder->putPassRow(pass, r, row);
            }
        }
    }
    // The chunks after the image data, and the end of the compressed stream.
    png_read_end(job->png, nullptr);
    return true;
}

// ---- libjpeg --------------------------------------------------------------

struct JpegJob {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    std::jmp_buf escape{};
    bool created = false;
    char message[kMessageBytes] = {};
};

[[noreturn]] void jpegEscape(j_common_ptr cinfo) {
    auto* job = reinterpret_cast<JpegJob*>(cinfo->client_data);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    copyMessage(job->message, text);
    std::longjmp(job->escape, 1);
}

// libjpeg goes on after damage in the entropy-coded data, filling in grey;
// such a picture is refused. Other warnings (stray bytes between segments,
// an unknown Adobe transform) leave the pixels whole.
void jpegMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    switch (cinfo->err->msg_code) {
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_JPEG_EOF:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION: jpegEscape(cinfo);
        default: break;
    }
}

bool jpegStartFrame(JpegJob* job, const std::uint8_t* data, std::size_t size, std::int32_t* width,
                    std::int32_t* height, SampleFormat* format) {
    if (setjmp(job->escape)) return false;
    job->cinfo.err = jpeg_std_error(&job->errors);
    job->errors.error_exit = jpegEscape;
    job->errors.emit_message = jpegMessage;
    job->cinfo.client_data = job;
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_mem_src(&job->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&job->cinfo, TRUE);
    const bool grey = job->cinfo.num_components == 1;
    // The accurate defaults, as other libjpeg-turbo programs decode.
    job->cinfo.dct_method = JDCT_ISLOW;
    job->cinfo.do_fancy_upsampling = TRUE;
    job->cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&job->cinfo);
    *width = static_cast<std::int32_t>(job->cinfo.output_width);
    *height = static_cast<std::int32_t>(job->cinfo.output_height);
    format->layout = grey ? SampleLayout::grey : SampleLayout::bgr;
    format->bitDepth = 8;
    return true;
}

bool jpegRowsFrame(JpegJob* job, PictureBuilder* builder, std::uint8_t* row) {
    if (setjmp(job->escape)) return false;
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        const auto y = static_cast<std::int32_t>(job->cinfo.output_scanline);
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&job->cinfo, rows, 1) != 1) return false;
        builder->putRow(y, row);
    }
    jpeg_finish_decompress(&job->cinfo);
    return true;
}

}  // namespace

struct PictureDecoder::State {
    State(PictureCodec c, const std::uint8_t* d, std::size_t n) : codec(c), data(d), size(n) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    PictureCodec codec;
    const std::uint8_t* data;
    std::size_t size;
    PngJob png;
    JpegJob jpeg;
    std::int32_t height = 0;
    bool interlaced = false;
    std::vector<std::uint8_t> row;

    ~State() {
        if (png.png) png_destroy_read_struct(&png.png, png.info ? &png.info : nullptr, nullptr);
        if (jpeg.created) jpeg_destroy_decompress(&jpeg.cinfo);
    }
};

PictureDecoder::PictureDecoder(PictureCodec codec, const std::uint8_t* data, std::size_t size)
    : state_(new State(codec, data, size)) {}

PictureDecoder::~PictureDecoder() = default;

bool PictureDecoder::start(std::int32_t& width, std::int32_t& height, SampleFormat& format) {
    State& s = *state_;
    bool started = false;
    const char* message = "";
    if (s.codec == PictureCodec::png) {
        s.png.data = s.data;
        s.png.size = s.size;
        s.png.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.png, pngError, pngWarning);
        if (s.png.png) s.png.info = png_create_info_struct(s.png.png);
        if (!s.png.png || !s.png.info) {
            message_ = "libpng could not start";
            return false;
        }
        started = pngStartFrame(&s.png, &width, &height, &format);
        s.interlaced = png_get_interlace_type(s.png.png, s.png.info) == PNG_INTERLACE_ADAM7;
        message = s.png.message;
    } else {
        started = jpegStartFrame(&s.jpeg, s.data, s.size, &width, &height, &format);
        message = s.jpeg.message;
    }
    if (!started) {
        message_ = message;
        return false;
    }
    s.height = height;
    s.row.resize(rowBytesOf(format, width));
    return true;
}

bool PictureDecoder::readRows(PictureBuilder& builder) {
    State& s = *state_;
    const bool read = s.codec == PictureCodec::png
                          ? pngRowsFrame(&s.png, &builder, s.row.data(), s.height, s.interlaced)
                          : jpegRowsFrame(&s.jpeg, &builder, s.row.data());
    if (!read) message_ = s.codec == PictureCodec::png ? s.png.message : s.jpeg.message;
    if (!read && message_.empty()) message_ = "the decoder stopped early";
    return read;
}
