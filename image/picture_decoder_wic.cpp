// PictureDecoder on the Windows Imaging Component. Each frame is read in its
// own pixel format, whose samples are exact (a 16-bit PNG as 64bppRGBA, a
// palette file as indices and its palette), and converted in
// picture_samples.cpp like the samples of libpng: WIC's own conversions
// round 16-bit samples otherwise (v >> 8) and do not reach every format.
#include "picture_decoder.h"

#include "wic_factory.h"

#include <vector>

namespace {

struct KnownFormat {
    const GUID* guid;
    SampleLayout layout;
    int bitDepth;
};

// WIC's native 16-bit samples are stored low byte first.
const KnownFormat kFormats[] = {
    {&GUID_WICPixelFormatBlackWhite, SampleLayout::grey, 1},
    {&GUID_WICPixelFormat2bppGray, SampleLayout::grey, 2},
    {&GUID_WICPixelFormat4bppGray, SampleLayout::grey, 4},
    {&GUID_WICPixelFormat8bppGray, SampleLayout::grey, 8},
    {&GUID_WICPixelFormat16bppGray, SampleLayout::grey, 16},
    {&GUID_WICPixelFormat1bppIndexed, SampleLayout::indexed, 1},
    {&GUID_WICPixelFormat2bppIndexed, SampleLayout::indexed, 2},
    {&GUID_WICPixelFormat4bppIndexed, SampleLayout::indexed, 4},
    {&GUID_WICPixelFormat8bppIndexed, SampleLayout::indexed, 8},
    {&GUID_WICPixelFormat24bppBGR, SampleLayout::bgr, 8},
    {&GUID_WICPixelFormat24bppRGB, SampleLayout::rgb, 8},
    {&GUID_WICPixelFormat32bppBGRA, SampleLayout::bgra, 8},
    {&GUID_WICPixelFormat32bppRGBA, SampleLayout::rgba, 8},
    {&GUID_WICPixelFormat48bppRGB, SampleLayout::rgb, 16},
    {&GUID_WICPixelFormat48bppBGR, SampleLayout::bgr, 16},
    {&GUID_WICPixelFormat64bppRGBA, SampleLayout::rgba, 16},
    {&GUID_WICPixelFormat64bppBGRA, SampleLayout::bgra, 16},
};

}  // namespace

struct PictureDecoder::State {
    PictureCodec codec;
    const std::uint8_t* data;
    std::size_t size;
    WicSession session;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;  // only for a format not in the table
    IWICBitmapSource* source = nullptr;      // the frame, or the converter over it
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint8_t> row;

    State(PictureCodec c, const std::uint8_t* d, std::size_t n) : codec(c), data(d), size(n) {}
};

PictureDecoder::PictureDecoder(PictureCodec codec, const std::uint8_t* data, std::size_t size)
    : state_(new State(codec, data, size)) {}

PictureDecoder::~PictureDecoder() = default;

bool PictureDecoder::start(std::int32_t& width, std::int32_t& height, SampleFormat& format) {
    State& s = *state_;
    IWICImagingFactory* factory = s.session.factory();
    if (!factory) {
        message_ = wicFailure("starting the Windows Imaging Component", s.session.error());
        return false;
    }
    HRESULT hr = factory->CreateStream(s.stream.out());
    if (SUCCEEDED(hr)) hr = s.stream->InitializeFromMemory(const_cast<BYTE*>(s.data), static_cast<DWORD>(s.size));
    if (FAILED(hr)) {
        message_ = wicFailure("opening the file's bytes", hr);
        return false;
    }
    const GUID& container = s.codec == PictureCodec::png ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg;
    hr = factory->CreateDecoder(container, nullptr, s.decoder.out());
    if (SUCCEEDED(hr)) hr = s.decoder->Initialize(s.stream.get(), WICDecodeMetadataCacheOnDemand);
    if (SUCCEEDED(hr)) hr = s.decoder->GetFrame(0, s.frame.out());
    if (SUCCEEDED(hr)) hr = s.frame->GetSize(&s.width, &s.height);
    WICPixelFormatGUID pixelFormat{};
    if (SUCCEEDED(hr)) hr = s.frame->GetPixelFormat(&pixelFormat);
    if (FAILED(hr)) {
        message_ = wicFailure("the system's decoder", hr);
        return false;
    }
    s.source = s.frame.get();
    const KnownFormat* known = nullptr;
    for (const KnownFormat& k : kFormats) {
        if (IsEqualGUID(*k.guid, pixelFormat)) known = &k;
    }
    if (known) {
        format.layout = known->layout;
        format.bitDepth = known->bitDepth;
        format.littleEndian = true;
    } else {
        // Any other format through WIC's own conversion to 8-bit BGRA.
        hr = factory->CreateFormatConverter(s.converter.out());
        if (SUCCEEDED(hr)) {
            hr = s.converter->Initialize(s.frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                         0.0, WICBitmapPaletteTypeCustom);
        }
        if (FAILED(hr)) {
            message_ = wicFailure("converting the system decoder's pixel format", hr);
            return false;
        }
        s.source = s.converter.get();
        format.layout = SampleLayout::bgra;
        format.bitDepth = 8;
    }
    if (format.layout == SampleLayout::indexed) {
        ComPtr<IWICPalette> palette;
        WICColor colors[256] = {};
        UINT count = 0;
        hr = factory->CreatePalette(palette.out());
        if (SUCCEEDED(hr)) hr = s.frame->CopyPalette(palette.get());
        if (SUCCEEDED(hr)) hr = palette->GetColors(256, colors, &count);
        if (FAILED(hr)) {
            message_ = wicFailure("reading the palette", hr);
            return false;
        }
        format.paletteCount = static_cast<int>(count);
        for (UINT k = 0; k < count; ++k) {
            std::uint8_t* e = format.palette.data() + 4 * k;
            e[0] = static_cast<std::uint8_t>(colors[k] >> 16);  // WICColor is 0xAARRGGBB
            e[1] = static_cast<std::uint8_t>(colors[k] >> 8);
            e[2] = static_cast<std::uint8_t>(colors[k]);
            e[3] = static_cast<std::uint8_t>(colors[k] >> 24);
        }
    }
    width = static_cast<std::int32_t>(s.width);
    height = static_cast<std::int32_t>(s.height);
    s.row.resize(rowBytesOf(format, width));
    return true;
}

bool PictureDecoder::readRows(PictureBuilder& builder) {
    State& s = *state_;
    const auto rowBytes = static_cast<UINT>(s.row.size());
    for (UINT y = 0; y < s.height; ++y) {
        const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(s.width), 1};
        const HRESULT hr = s.source->CopyPixels(&rect, rowBytes, rowBytes, s.row.data());
        if (FAILED(hr)) {
            message_ = wicFailure("the system's decoder", hr);
            return false;
        }
        builder.putRow(static_cast<std::int32_t>(y), s.row.data());
    }
    return true;
}
