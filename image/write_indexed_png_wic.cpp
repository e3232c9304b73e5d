// writeIndexedPng on the Windows Imaging Component's PNG encoder, which
// writes 1-, 2-, 4- and 8-bit indexed PNGs with exactly the palette given,
// into a stream in memory that is then handed to the writer.
#include "write_indexed_png.h"

#include "wic_factory.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace {

const GUID& indexedFormat(int bitDepth) {
    switch (bitDepth) {
        case 1: return GUID_WICPixelFormat1bppIndexed;
        case 2: return GUID_WICPixelFormat2bppIndexed;
        case 4: return GUID_WICPixelFormat4bppIndexed;
        default: return GUID_WICPixelFormat8bppIndexed;
    }
}

bool encode(IWICImagingFactory* factory, IStream* stream, const ImageView& image, const Palette& palette,
            std::int32_t pelsPerMetre) {
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    HRESULT hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.out(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height));
    // The encoder writes pHYs in pels per metre from dots per inch.
    if (SUCCEEDED(hr) && pelsPerMetre > 0) hr = frame->SetResolution(pelsPerMetre * 0.0254, pelsPerMetre * 0.0254);
    const int depth = indexedPngBitDepth(palette.count);
    WICPixelFormatGUID format = indexedFormat(depth);
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (FAILED(hr) || !IsEqualGUID(format, indexedFormat(depth))) return false;

    ComPtr<IWICPalette> entries;
    WICColor colors[kMaxPaletteEntries];
    for (int k = 0; k < palette.count; ++k) {
        colors[k] = 0xFF000000u | static_cast<WICColor>(palette.red(k)) << 16 |
                    static_cast<WICColor>(palette.green(k)) << 8 | palette.blue(k);
    }
    hr = factory->CreatePalette(entries.out());
    if (SUCCEEDED(hr)) hr = entries->InitializeCustom(colors, static_cast<UINT>(palette.count));
    if (SUCCEEDED(hr)) hr = frame->SetPalette(entries.get());
    if (FAILED(hr)) return false;

    // Rows in blocks of about 256 KB.
    const ColorToIndex indexOf(palette);
    const std::size_t rowBytes = (static_cast<std::size_t>(image.width) * depth + 7) / 8;
    const std::int32_t blockRows = static_cast<std::int32_t>(std::max<std::size_t>(1, (std::size_t{1} << 18) / rowBytes));
    std::vector<std::uint8_t> block;
    for (std::int32_t first = 0; first < image.height; first += blockRows) {
        const std::int32_t rows = std::min(blockRows, image.height - first);
        block.assign(rowBytes * static_cast<std::size_t>(rows), 0);
        for (std::int32_t r = 0; r < rows; ++r) packIndexRow(image, indexOf, first + r, depth, block.data() + rowBytes * r);
        hr = frame->WritePixels(static_cast<UINT>(rows), static_cast<UINT>(rowBytes), static_cast<UINT>(block.size()),
                                block.data());
        if (FAILED(hr)) return false;
    }
    hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return SUCCEEDED(hr);
}

}  // namespace

bool writeIndexedPng(const ImageView& image, const Palette& palette, std::int32_t pelsPerMetre,
                     const ByteWriter& write) {
    assert(palette.count >= 1 && palette.count <= kMaxPaletteEntries);
    if (image.empty()) return false;
    const WicSession session;
    if (!session.factory()) return false;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out()))) return false;
    if (!encode(session.factory(), stream.get(), image, palette, pelsPerMetre)) return false;

    // The encoded file, from the start of the stream, in pieces.
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    std::vector<std::uint8_t> piece(std::size_t{1} << 18);
    for (ULONGLONG left = stat.cbSize.QuadPart; left > 0;) {
        const ULONG want = static_cast<ULONG>(std::min<ULONGLONG>(left, piece.size()));
        ULONG got = 0;
        if (FAILED(stream->Read(piece.data(), want, &got)) || got != want) return false;
        if (!write(piece.data(), got)) return false;
        left -= got;
    }
    return true;
}
