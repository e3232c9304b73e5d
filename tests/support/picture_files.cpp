// libpng and libjpeg leave an error by longjmp: their calls are made from
// plain functions holding no C++ objects, as in the programs' own decoders.
#include "picture_files.h"

#include <png.h>

#include <jpeglib.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

namespace testsupport {

namespace {

// ---- PNG writing ----------------------------------------------------------

struct PngOut {
    Bytes bytes;
};

void appendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<PngOut*>(png_get_io_ptr(png));
    out->bytes.insert(out->bytes.end(), data, data + size);
}
void noFlush(png_structp) {}

struct PngWriteArgs {
    const PngRecipe* recipe;
    png_bytepp rows;
    png_colorp palette;
    int paletteCount;
    png_bytep alphas;
    int alphaCount;
};

bool writePngFrame(png_structp png, png_infop info, PngOut* out, const PngWriteArgs* a) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngRecipe& s = *a->recipe;
    png_set_write_fn(png, out, appendBytes, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), s.bitDepth,
                 s.colorType, s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (a->paletteCount > 0) png_set_PLTE(png, info, a->palette, a->paletteCount);
    if (s.colorType == 3 && a->alphaCount > 0) png_set_tRNS(png, info, a->alphas, a->alphaCount, nullptr);
    if (s.hasKey) {
        png_color_16 key{};
        key.gray = s.key[0];
        key.red = s.key[0];
        key.green = s.key[1];
        key.blue = s.key[2];
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (s.pelsPerMetre > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(s.pelsPerMetre), static_cast<png_uint_32>(s.pelsPerMetre),
                     PNG_RESOLUTION_METER);
    }
    if (s.ancillaryChunks) {
        png_color_8 bits{};
        const png_byte significant = static_cast<png_byte>(s.bitDepth > 8 || s.colorType == 3 ? 8 : s.bitDepth);
        bits.red = bits.green = bits.blue = bits.gray = bits.alpha = significant;
        png_set_sBIT(png, info, &bits);
        png_color_16 background{};
        background.index = 0;
        background.gray = 1;
        background.red = 1;
        png_set_bKGD(png, info, &background);
        png_set_gAMA(png, info, 0.8);
        png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
        png_text text{};
        text.compression = PNG_TEXT_COMPRESSION_zTXt;
        text.key = const_cast<png_charp>("Comment");
        text.text = const_cast<png_charp>("made by the tests, compressed");
        png_set_text(png, info, &text, 1);
        if (s.colorType == 2 || s.colorType == 6) {
            png_sPLT_entry entries[2] = {{1, 2, 3, 255, 1}, {250, 240, 230, 255, 1}};
            png_sPLT_t suggested{};
            suggested.name = const_cast<png_charp>("suggested");
            suggested.depth = 8;
            suggested.entries = entries;
            suggested.nentries = 2;
            png_set_sPLT(png, info, &suggested, 1);
        }
    }
    png_write_info(png, info);
    png_write_image(png, a->rows);
    png_write_end(png, info);
    return true;
}

// ---- PNG reading ----------------------------------------------------------

struct PngIn {
    const Bytes* bytes;
    std::size_t at;
};

void readBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* in = static_cast<PngIn*>(png_get_io_ptr(png));
    if (in->bytes->size() - in->at < size) png_error(png, "short");
    std::memcpy(data, in->bytes->data() + in->at, size);
    in->at += size;
}

void quietWarning(png_structp, png_const_charp) {}

bool readIndexedFrame(png_structp png, png_infop info, PngIn* in, IndexedPng* out, std::vector<png_bytep>* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, in, readBytes);
    png_read_info(png, info);
    out->width = static_cast<std::int32_t>(png_get_image_width(png, info));
    out->height = static_cast<std::int32_t>(png_get_image_height(png, info));
    out->bitDepth = png_get_bit_depth(png, info);
    out->colorType = png_get_color_type(png, info);
    png_colorp entries = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &entries, &count) != 0) {
        for (int k = 0; k < count; ++k) out->palette.push_back({entries[k].blue, entries[k].green, entries[k].red});
    }
    png_uint_32 x = 0;
    png_uint_32 y = 0;
    int unit = 0;
    out->hasPhys = png_get_pHYs(png, info, &x, &y, &unit) != 0 && unit == PNG_RESOLUTION_METER;
    out->pelsPerMetreX = x;
    out->pelsPerMetreY = y;
    out->hasGamma = png_get_valid(png, info, PNG_INFO_gAMA) != 0;
    out->hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_packing(png);  // one byte per index
    png_read_update_info(png, info);
    out->indices.assign(static_cast<std::size_t>(out->width) * out->height, 0);
    rows->resize(static_cast<std::size_t>(out->height));
    for (std::int32_t r = 0; r < out->height; ++r) (*rows)[r] = out->indices.data() + static_cast<std::size_t>(r) * out->width;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

// ---- JPEG -------------------------------------------------------------------

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf escape;
};

[[noreturn]] void jpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->escape, 1); }
void jpegQuiet(j_common_ptr, int) {}

bool compressFrame(jpeg_compress_struct* c, JpegErrors* errors, const JpegRecipe* recipe, std::int32_t width,
                   std::int32_t height, const std::uint8_t* samples, unsigned char** out, unsigned long* size) {
    if (setjmp(errors->escape)) return false;
    jpeg_create_compress(c);
    jpeg_mem_dest(c, out, size);
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    c->input_components = recipe->grey ? 1 : recipe->cmyk ? 4 : 3;
    c->in_color_space = recipe->grey ? JCS_GRAYSCALE : recipe->cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(c);
    if (recipe->cmyk && recipe->ycck) jpeg_set_colorspace(c, JCS_YCCK);
    jpeg_set_quality(c, recipe->quality, TRUE);
    if (recipe->progressive) jpeg_simple_progression(c);
    c->arith_code = recipe->arithmetic ? TRUE : FALSE;
    c->density_unit = static_cast<UINT8>(recipe->densityUnit);
    c->X_density = static_cast<UINT16>(recipe->density);
    c->Y_density = static_cast<UINT16>(recipe->density);
    jpeg_start_compress(c, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(c->input_components);
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples + c->next_scanline * rowBytes);
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

bool decompressFrame(jpeg_decompress_struct* d, JpegErrors* errors, const Bytes* jpeg, Picture* out,
                     std::vector<std::uint8_t>* row) {
    if (setjmp(errors->escape)) return false;
    jpeg_create_decompress(d);
    jpeg_mem_src(d, jpeg->data(), static_cast<unsigned long>(jpeg->size()));
    jpeg_read_header(d, TRUE);
    d->out_color_space = d->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(d);
    *out = Picture(static_cast<std::int32_t>(d->output_width), static_cast<std::int32_t>(d->output_height));
    const int n = d->output_components;
    row->resize(static_cast<std::size_t>(d->output_width) * n);
    while (d->output_scanline < d->output_height) {
        const auto y = static_cast<std::int32_t>(d->output_scanline);
        JSAMPROW r = row->data();
        jpeg_read_scanlines(d, &r, 1);
        for (std::int32_t x = 0; x < out->width; ++x) {
            const std::uint8_t* p = row->data() + static_cast<std::size_t>(x) * n;
            out->at(x, y) = n == 1 ? Bgr{p[0], p[0], p[0]} : Bgr{p[2], p[1], p[0]};
        }
    }
    jpeg_finish_decompress(d);
    return true;
}

std::uint8_t from16(std::uint32_t v) { return static_cast<std::uint8_t>((v * 255 + 32767) / 65535); }
std::uint8_t over(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

}  // namespace

int pngChannels(int colorType) {
    switch (colorType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

std::vector<std::uint16_t> rampSamples(const PngRecipe& recipe, std::uint32_t seed) {
    const std::size_t count = static_cast<std::size_t>(recipe.width) * recipe.height * pngChannels(recipe.colorType);
    const std::uint32_t limit =
        recipe.colorType == 3 ? static_cast<std::uint32_t>(recipe.palette.size()) : 1u << recipe.bitDepth;
    std::mt19937 random(seed);
    std::vector<std::uint16_t> out(count);
    for (std::size_t k = 0; k < count; ++k) {
        // Every value in turn for the first ones, then at random.
        const std::uint32_t v = k < limit ? static_cast<std::uint32_t>(k) : static_cast<std::uint32_t>(random() % limit);
        out[k] = static_cast<std::uint16_t>(v);
    }
    return out;
}

PngRecipe rampPng(int colorType, int bitDepth, bool interlaced, std::int32_t width, std::int32_t height) {
    PngRecipe s;
    s.width = width;
    s.height = height;
    s.colorType = colorType;
    s.bitDepth = bitDepth;
    s.interlaced = interlaced;
    if (colorType == 3) {
        for (int k = 0; k < (1 << bitDepth); ++k) {
            s.palette.push_back(Bgr{static_cast<std::uint8_t>(k * 3), static_cast<std::uint8_t>(255 - k),
                                    static_cast<std::uint8_t>(k * 11)});
        }
    }
    s.samples = rampSamples(s, static_cast<std::uint32_t>(colorType * 100 + bitDepth));
    return s;
}

Bytes pngFile(const PngRecipe& recipe) {
    const int channels = pngChannels(recipe.colorType);
    const std::size_t rowBytes = (static_cast<std::size_t>(recipe.width) * channels * recipe.bitDepth + 7) / 8;
    std::vector<std::uint8_t> pixels(rowBytes * recipe.height, 0);
    std::vector<png_bytep> rows(static_cast<std::size_t>(recipe.height));
    for (std::int32_t y = 0; y < recipe.height; ++y) {
        std::uint8_t* row = pixels.data() + rowBytes * y;
        rows[y] = row;
        for (std::size_t k = 0; k < static_cast<std::size_t>(recipe.width) * channels; ++k) {
            const std::uint32_t v = recipe.samples.at(static_cast<std::size_t>(y) * recipe.width * channels + k);
            if (recipe.bitDepth == 16) {
                row[2 * k] = static_cast<std::uint8_t>(v >> 8);
                row[2 * k + 1] = static_cast<std::uint8_t>(v);
            } else if (recipe.bitDepth == 8) {
                row[k] = static_cast<std::uint8_t>(v);
            } else {
                const std::size_t bit = k * recipe.bitDepth;
                row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | v << (8 - recipe.bitDepth - bit % 8));
            }
        }
    }
    std::vector<png_color> palette;
    for (const Bgr& c : recipe.palette) palette.push_back({c.r, c.g, c.b});
    // A suggested palette in a true-colour file stands in PLTE too.
    if (recipe.ancillaryChunks && (recipe.colorType == 2 || recipe.colorType == 6) && palette.empty()) {
        palette = {{9, 8, 7}, {200, 100, 0}};
    }
    std::vector<png_byte> alphas(recipe.paletteAlpha.begin(), recipe.paletteAlpha.end());
    const PngWriteArgs args{&recipe, rows.data(), palette.data(), static_cast<int>(palette.size()), alphas.data(),
                            static_cast<int>(alphas.size())};
    PngOut out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    png_infop info = png_create_info_struct(png);
    const bool written = writePngFrame(png, info, &out, &args);
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error("libpng could not write the test file");
    return out.bytes;
}

Picture expectedPngPicture(const PngRecipe& s) {
    Picture picture(s.width, s.height);
    const int channels = pngChannels(s.colorType);
    auto eight = [&](std::uint32_t v) -> std::uint32_t {
        if (s.bitDepth == 16) return from16(v);
        return v * 255 / ((1u << s.bitDepth) - 1);  // 1, 2, 4 bits: x 255, x 85, x 17
    };
    for (std::int32_t y = 0; y < s.height; ++y) {
        for (std::int32_t x = 0; x < s.width; ++x) {
            const std::uint16_t* v = s.samples.data() + (static_cast<std::size_t>(y) * s.width + x) * channels;
            std::uint32_t r = 0, g = 0, b = 0, a = 255;
            switch (s.colorType) {
                case 0:
                    r = g = b = eight(v[0]);
                    if (s.hasKey && v[0] == s.key[0]) a = 0;
                    break;
                case 2:
                    r = eight(v[0]), g = eight(v[1]), b = eight(v[2]);
                    if (s.hasKey && v[0] == s.key[0] && v[1] == s.key[1] && v[2] == s.key[2]) a = 0;
                    break;
                case 3: {
                    const Bgr& e = s.palette.at(v[0]);
                    r = e.r, g = e.g, b = e.b;
                    if (v[0] < s.paletteAlpha.size()) a = s.paletteAlpha[v[0]];
                    break;
                }
                case 4: r = g = b = eight(v[0]), a = eight(v[1]); break;
                default: r = eight(v[0]), g = eight(v[1]), b = eight(v[2]), a = eight(v[3]); break;
            }
            picture.at(x, y) = Bgr{over(b, a), over(g, a), over(r, a)};
        }
    }
    return picture;
}

Bytes pngOfPicture(const Picture& picture, std::int32_t pelsPerMetre) {
    PngRecipe recipe;
    recipe.width = picture.width;
    recipe.height = picture.height;
    recipe.colorType = 2;
    recipe.pelsPerMetre = pelsPerMetre;
    recipe.samples.reserve(picture.pixels.size() * 3);
    for (const Bgr& p : picture.pixels) recipe.samples.insert(recipe.samples.end(), {p.r, p.g, p.b});
    return pngFile(recipe);
}

std::size_t pngChunkAt(const Bytes& png, const char* type) {
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::uint32_t length = static_cast<std::uint32_t>(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 |
                                     png[at + 3];
        if (std::memcmp(png.data() + at + 4, type, 4) == 0) return at;
        at += 12 + std::size_t{length};
    }
    return std::string::npos;
}

void refreshPngCrc(Bytes& png, std::size_t chunk) {
    const std::uint32_t length = static_cast<std::uint32_t>(png[chunk]) << 24 | png[chunk + 1] << 16 |
                                 png[chunk + 2] << 8 | png[chunk + 3];
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + chunk + 4, length + 4));
    for (int k = 0; k < 4; ++k) png[chunk + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
}

Bytes withoutPngChunks(const Bytes& png, const char* type) {
    Bytes out = png;
    for (std::size_t at; (at = pngChunkAt(out, type)) != std::string::npos;) {
        const std::uint32_t length = static_cast<std::uint32_t>(out[at]) << 24 | out[at + 1] << 16 |
                                     out[at + 2] << 8 | out[at + 3];
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(at),
                  out.begin() + static_cast<std::ptrdiff_t>(at + 12 + length));
    }
    return out;
}

Bytes jpegFile(const Picture& picture, const JpegRecipe& recipe) {
    std::vector<std::uint8_t> samples;
    for (const Bgr& p : picture.pixels) {
        if (recipe.grey) {
            samples.push_back(p.g);
        } else if (recipe.cmyk) {
            samples.insert(samples.end(), {static_cast<std::uint8_t>(255 - p.r), static_cast<std::uint8_t>(255 - p.g),
                                           static_cast<std::uint8_t>(255 - p.b), 0});
        } else {
            samples.insert(samples.end(), {p.r, p.g, p.b});
        }
    }
    jpeg_compress_struct c{};
    JpegErrors errors{};
    c.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = jpegFail;
    errors.mgr.emit_message = jpegQuiet;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool made = compressFrame(&c, &errors, &recipe, picture.width, picture.height, samples.data(), &out, &size);
    jpeg_destroy_compress(&c);
    Bytes bytes;
    if (made) bytes.assign(out, out + size);
    std::free(out);
    if (!made) throw std::runtime_error("libjpeg could not write the test file");
    return bytes;
}

Picture libjpegPicture(const Bytes& jpeg) {
    jpeg_decompress_struct d{};
    JpegErrors errors{};
    d.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = jpegFail;
    errors.mgr.emit_message = jpegQuiet;
    Picture picture;
    std::vector<std::uint8_t> row;
    const bool read = decompressFrame(&d, &errors, &jpeg, &picture, &row);
    jpeg_destroy_decompress(&d);
    if (!read) throw std::runtime_error("libjpeg could not read the test file");
    return picture;
}

IndexedPng readIndexedPng(const Bytes& bytes) {
    IndexedPng out;
    PngIn in{&bytes, 0};
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    png_infop info = png_create_info_struct(png);
    out.ok = readIndexedFrame(png, info, &in, &out, &rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

}  // namespace testsupport
