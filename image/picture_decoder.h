// The decoding of a PNG or JPEG file held in memory, by the system's own
// libraries: libpng and libjpeg-turbo on Linux (picture_decoder_libs.cpp),
// the Windows Imaging Component on Windows (picture_decoder_wic.cpp). CMake
// builds the one that fits the system.
//
// A decoder only hands over samples as it stores them (SampleFormat); what
// they become is decided in picture_samples.cpp, the same on every system.
// The file has passed checkPng or checkJpeg (picture_container.h) first.
#pragma once

#include "picture_samples.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class PictureCodec { png, jpeg };

class PictureDecoder {
public:
    PictureDecoder(PictureCodec codec, const std::uint8_t* data, std::size_t size);
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    // Reads the headers: the picture's size and the format of its samples.
    // false: the decoder found the file damaged; message() says how.
    bool start(std::int32_t& width, std::int32_t& height, SampleFormat& format);
    // Hands every row to the builder (whole rows, or the passes of an
    // interlaced PNG), then reads to the file's end. false: damaged.
    bool readRows(PictureBuilder& builder);

    const std::string& message() const { return message_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string message_;
};
